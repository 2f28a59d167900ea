// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/libav/LibavVideoSink.h"

#include "media/ErrorMessage.h"

#include "media/NoReplaceRename.h"
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavSupport.h"
#include "media/libav/Rgb32ToYuv420.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/dict.h>
}

namespace ovra::media::libav {
namespace {

int roundedUpToEven(int value)
{
    return value + value % 2;
}

// A 32-bit picture enlarged to size (at most one more column and row), its last column and
// row repeated into the new ones; null when the copy cannot be allocated.
QImage edgeRepeatedTo(const QImage &image, QSize size)
{
    QImage larger(size, image.format());
    if (larger.isNull() || image.isNull())
        return {};
    const qsizetype rowBytes = qsizetype(image.width()) * 4;
    for (int row = 0; row < size.height(); ++row) {
        const uchar *from = image.constScanLine(std::min(row, image.height() - 1));
        uchar *to = larger.scanLine(row);
        std::memcpy(to, from, rowBytes);
        if (size.width() > image.width())
            std::memcpy(to + rowBytes, from + rowBytes - 4, 4);
    }
    return larger;
}

// message has "%1" for FFmpeg's own description of errorCode.
bool failWithCode(QString *errorMessage, const QString &message, int errorCode)
{
    return reportFailure(errorMessage, message.arg(ffmpegErrorText(errorCode)));
}

QString encodingCancelledMessage()
{
    return LibavVideoSink::tr("Video encoding was cancelled.");
}

QString finalizingCancelledMessage()
{
    return LibavVideoSink::tr("Finalizing the video was cancelled.");
}

QString destinationAppearedMessage()
{
    return LibavVideoSink::tr("The output file appeared during processing; the existing file was not overwritten.");
}

// The scaler's name for a picture layout it reads as it is; none for layouts converted first.
AVPixelFormat directScalerInput(QImage::Format format)
{
    switch (format) {
    case QImage::Format_ARGB32:
    case QImage::Format_RGB32:
        return AV_PIX_FMT_RGB32; // one native-endian 0xAARRGGBB word per pixel, as in QImage
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBX8888:
        return AV_PIX_FMT_RGBA;
    default:
        return AV_PIX_FMT_NONE;
    }
}

// The converter for pictures of this layout; the one of the previous picture when it matches.
bool useScalerInput(ScaleContextPtr &scaler, const AVCodecContext *codec, AVPixelFormat input)
{
    scaler.reset(sws_getCachedContext(scaler.release(), codec->width, codec->height, input, codec->width, codec->height,
                                      codec->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr));
    return scaler != nullptr;
}

// Exists also as a dangling symbolic link, which a rename would not replace either.
bool pathTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

struct LibavVideoSink::EncoderState
{
    OutputContextPtr output;
    CodecContextPtr codec;
    AVStream *stream = nullptr;
    PacketPtr packet;
    FramePtr frame;
    ScaleContextPtr scaler;
    qint64 nextFrame = 0;
};

LibavVideoSink::LibavVideoSink(CancellationCheck cancellationCheck)
    : m_cancellation(std::move(cancellationCheck))
{
}

LibavVideoSink::~LibavVideoSink()
{
    abort();
}

bool LibavVideoSink::open(const QString &outputFilePath, const VideoMetadata &metadata,
                          const VideoEncodingSettings &settings, QString *errorMessage)
{
    abort();
    if (!m_cleanupMessage.isEmpty())
        return reportFailure(errorMessage, m_cleanupMessage);
    m_cancellation.reset();
    if (!LibavRuntime::checkCompatibility(errorMessage))
        return false;

    const QFileInfo target(outputFilePath);
    if (outputFilePath.isEmpty() || pathTaken(outputFilePath))
        return reportFailure(errorMessage, tr("The output file was not specified or already exists."));
    const double frameRate = metadata.uniformFrameRate();
    if (!metadata.hasValidFrameSize() || !isValidRate(frameRate))
        return reportFailure(errorMessage, tr("The frame size or frame rate is unknown for export."));
    const std::optional<VideoOutputKind> kind = videoOutputKind(settings);
    if (!kind || settings.includeAudio || !settings.preserveFrameSize || !settings.preserveFrameRate)
        return reportFailure(errorMessage, tr("The requested video output format is unsupported."));
    if (static_cast<unsigned>(settings.qualityPercent) > 100u)
        return reportFailure(errorMessage, tr("Export quality must be between 0 and 100."));
    if (!target.absoluteDir().exists())
        return reportFailure(errorMessage, tr("The output directory does not exist."));
    if (m_cancellation.query())
        return reportFailure(errorMessage, tr("Starting video encoding was cancelled."));

    m_finalPath = target.absoluteFilePath();
    m_frameSize = metadata.frameSize;
    m_pixelAspectRatio = metadata.pixelAspectRatio;
    if (!m_staging.reserve(m_finalPath, errorMessage)
        || !startEncoder(*kind, frameRate, settings.qualityPercent, errorMessage)) {
        abort();
        return false;
    }
    m_open = true;
    if (errorMessage)
        errorMessage->clear();
    return true;
}

bool LibavVideoSink::startEncoder(VideoOutputKind kind, double frameRate, int qualityPercent, QString *errorMessage)
{
    const AVCodec *encoder = nullptr;
    for (const QByteArray &name : encoderCandidates(kind)) {
        encoder = avcodec_find_encoder_by_name(name.constData());
        if (encoder)
            break;
    }
    if (!encoder)
        return reportFailure(errorMessage,
                             kind == VideoOutputKind::H264
                                 ? tr("The system's FFmpeg libraries have no supported H.264 encoder.")
                                 : tr("The system's FFmpeg libraries have no FFV1 encoder."));

    m_encoder = std::make_unique<EncoderState>();
    EncoderState &state = *m_encoder;
    AVFormatContext *output = nullptr;
    const int result = avformat_alloc_output_context2(
        &output, nullptr, kind == VideoOutputKind::H264 ? "mp4" : "matroska", m_staging.path().toUtf8().constData());
    if (result < 0 || !output)
        return failWithCode(errorMessage, tr("Could not create the FFmpeg output context: %1"), result);
    state.output.reset(output);
    state.stream = avformat_new_stream(output, nullptr);
    state.codec.reset(avcodec_alloc_context3(encoder));
    state.packet.reset(av_packet_alloc());
    state.frame.reset(av_frame_alloc());
    if (!state.stream || !state.codec || !state.packet || !state.frame)
        return reportFailure(errorMessage, tr("Could not allocate FFmpeg encoder buffers."));
    return openCodec(kind, videoEncoderSettings(kind, encoder->name, m_frameSize, frameRate, qualityPercent),
                     errorMessage)
        && prepareConversion(errorMessage) && writeHeader(kind, errorMessage);
}

bool LibavVideoSink::openCodec(VideoOutputKind kind, const VideoEncoderSettings &settings, QString *errorMessage)
{
    if (settings.frameRateNumerator < 1 || settings.frameRateDenominator < 1)
        return reportFailure(errorMessage, tr("Could not represent the output frame rate."));
    EncoderState &state = *m_encoder;
    AVCodecContext *codec = state.codec.get();
    const AVRational rate{settings.frameRateNumerator, settings.frameRateDenominator};
    // 4:2:0 needs an even size: an odd one gains a repeated last column or row, so that every
    // source pixel is kept and the file still plays everywhere.
    const bool evenOnly = kind == VideoOutputKind::H264;
    codec->width = evenOnly ? roundedUpToEven(m_frameSize.width()) : m_frameSize.width();
    codec->height = evenOnly ? roundedUpToEven(m_frameSize.height()) : m_frameSize.height();
    // Players then show non-square source pixels in the source's shape, as the application does.
    if (std::isfinite(m_pixelAspectRatio) && m_pixelAspectRatio > 0.0)
        codec->sample_aspect_ratio = av_d2q(m_pixelAspectRatio, 65535);
    codec->framerate = rate;
    codec->time_base = av_inv_q(rate);
    codec->gop_size = settings.gopSize;
    codec->max_b_frames = 0;
    if (settings.bitRate > 0)
        codec->bit_rate = settings.bitRate;
    if (kind == VideoOutputKind::H264) {
        codec->pix_fmt = AV_PIX_FMT_YUV420P;
        // The converter uses the BT.601 matrix and limited range; say so, or players guess.
        codec->colorspace = AVCOL_SPC_SMPTE170M;
        codec->color_range = AVCOL_RANGE_MPEG;
    } else {
        codec->pix_fmt = AV_PIX_FMT_BGRA;
    }
    if (state.output->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary *options = nullptr;
    for (const auto &[key, value] : settings.options)
        av_dict_set(&options, key.constData(), value.constData(), 0);
    int result = avcodec_open2(codec, codec->codec, &options);
    av_dict_free(&options);
    if (result < 0)
        return failWithCode(errorMessage, tr("Could not start the FFmpeg video encoder: %1"), result);
    result = avcodec_parameters_from_context(state.stream->codecpar, codec);
    if (result < 0)
        return failWithCode(errorMessage, tr("Could not configure the output video stream: %1"), result);
    state.stream->time_base = codec->time_base;
    state.stream->avg_frame_rate = rate;
    state.stream->sample_aspect_ratio = codec->sample_aspect_ratio;
    return true;
}

// The frame the pictures are converted into, and the converter.
bool LibavVideoSink::prepareConversion(QString *errorMessage)
{
    EncoderState &state = *m_encoder;
    const AVCodecContext *codec = state.codec.get();
    state.frame->format = codec->pix_fmt;
    state.frame->width = codec->width;
    state.frame->height = codec->height;
    const int result = av_frame_get_buffer(state.frame.get(), 32);
    if (result < 0)
        return failWithCode(errorMessage, tr("Could not allocate the output video frame: %1"), result);
    if (codec->pix_fmt == AV_PIX_FMT_YUV420P)
        return true; // converted without the scaler
    state.scaler.reset(sws_getContext(codec->width, codec->height, AV_PIX_FMT_RGBA, codec->width, codec->height,
                                      codec->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!state.scaler)
        return reportFailure(errorMessage, tr("Could not initialize video color conversion."));
    return true;
}

bool LibavVideoSink::writeHeader(VideoOutputKind kind, QString *errorMessage)
{
    AVFormatContext *output = m_encoder->output.get();
    int result = 0;
    if (!(output->oformat->flags & AVFMT_NOFILE)) {
        result = avio_open(&output->pb, m_staging.path().toUtf8().constData(), AVIO_FLAG_WRITE);
        if (result < 0)
            return failWithCode(errorMessage, tr("Could not open the output video file: %1"), result);
    }
    AVDictionary *muxerOptions = nullptr;
    if (kind == VideoOutputKind::H264)
        av_dict_set(&muxerOptions, "movflags", "+faststart", 0);
    result = avformat_write_header(output, &muxerOptions);
    av_dict_free(&muxerOptions);
    if (result < 0)
        return failWithCode(errorMessage, tr("Could not write the output video header: %1"), result);
    return true;
}

bool LibavVideoSink::writeFrame(const QImage &image, QString *errorMessage)
{
    if (m_cancellation.query()) {
        abort();
        return reportFailure(errorMessage, encodingCancelledMessage());
    }
    if (!m_open || image.isNull())
        return reportFailure(errorMessage, tr("The video sink is not open or the frame is invalid."));
    if (image.size() != m_frameSize)
        return reportFailure(errorMessage, tr("The exported frame size differs from the source frame size."));
    EncoderState &state = *m_encoder;
    AVFrame *frame = state.frame.get();
    const int result = av_frame_make_writable(frame);
    if (result < 0)
        return failWithCode(errorMessage, tr("Could not prepare the output frame: %1"), result);
    if (!convertInto(frame, image, errorMessage))
        return false;
    frame->pts = state.nextFrame++;
    frame->pkt_duration = 1;
    const int sent = avcodec_send_frame(state.codec.get(), frame);
    if (sent < 0)
        return failWithCode(errorMessage, tr("Could not submit the output frame for encoding: %1"), sent);
    return drainPackets(false, errorMessage);
}

// H.264 frames take our own 4:2:0 conversion of 32-bit RGB pixels; FFV1 keeps every byte
// through the scaler.
bool LibavVideoSink::convertInto(AVFrame *frame, const QImage &image, QString *errorMessage)
{
    if (frame->format == AV_PIX_FMT_YUV420P) {
        const bool rgb32 = image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_RGB32;
        QImage pixels = rgb32 ? image : image.convertToFormat(QImage::Format_ARGB32);
        if (pixels.size() != QSize(frame->width, frame->height))
            pixels = edgeRepeatedTo(pixels, QSize(frame->width, frame->height));
        if (pixels.isNull())
            return reportFailure(errorMessage, tr("Could not convert the frame for export."));
        convertToYuv420(pixels, frame);
        return true;
    }
    // The motion core's ARGB32 pictures reach the scaler without a copy in another byte order.
    const AVPixelFormat direct = directScalerInput(image.format());
    const QImage pixels = direct == AV_PIX_FMT_NONE ? image.convertToFormat(QImage::Format_RGBA8888) : image;
    if (pixels.isNull())
        return reportFailure(errorMessage, tr("Could not convert the frame for export."));
    EncoderState &state = *m_encoder;
    if (!useScalerInput(state.scaler, state.codec.get(), direct == AV_PIX_FMT_NONE ? AV_PIX_FMT_RGBA : direct))
        return reportFailure(errorMessage, tr("Could not initialize video color conversion."));
    const uint8_t *const sourceData[] = {pixels.constBits()};
    const int sourceStride[] = {static_cast<int>(pixels.bytesPerLine())};
    if (sws_scale(state.scaler.get(), sourceData, sourceStride, 0, pixels.height(), frame->data, frame->linesize)
        != pixels.height())
        return reportFailure(errorMessage, tr("FFmpeg did not convert the complete output frame."));
    return true;
}

bool LibavVideoSink::drainPackets(bool flushing, QString *errorMessage)
{
    if (m_cancellation.query())
        return reportFailure(errorMessage, encodingCancelledMessage());
    EncoderState &state = *m_encoder;
    AVPacket *packet = state.packet.get();
    for (;;) {
        int result = avcodec_receive_packet(state.codec.get(), packet);
        if (result == AVERROR_EOF)
            return true;
        if (result == AVERROR(EAGAIN)) {
            if (!flushing)
                return true;
            return reportFailure(errorMessage, tr("The video encoder did not finish after flushing."));
        }
        if (result < 0)
            return failWithCode(errorMessage, tr("Could not receive an encoded video packet: %1"), result);
        av_packet_rescale_ts(packet, state.codec->time_base, state.stream->time_base);
        packet->stream_index = state.stream->index;
        result = av_interleaved_write_frame(state.output.get(), packet);
        av_packet_unref(packet);
        if (result < 0)
            return failWithCode(errorMessage, tr("Could not write an encoded video packet: %1"), result);
        if (m_cancellation.query())
            return reportFailure(errorMessage, encodingCancelledMessage());
    }
}

bool LibavVideoSink::finish(QString *errorMessage)
{
    if (!m_open)
        return reportFailure(errorMessage, tr("The video sink is not open."));
    if (m_cancellation.query()) {
        abort();
        return reportFailure(errorMessage, finalizingCancelledMessage());
    }
    EncoderState &state = *m_encoder;
    int result = avcodec_send_frame(state.codec.get(), nullptr);
    if (result < 0 && result != AVERROR_EOF) {
        abort();
        return failWithCode(errorMessage, tr("Could not flush the video encoder: %1"), result);
    }
    if (!drainPackets(true, errorMessage)) {
        abort();
        return false;
    }
    if (m_cancellation.query()) {
        abort();
        return reportFailure(errorMessage, finalizingCancelledMessage());
    }
    // With "+faststart" this rewrites the MP4 so that its index comes first.
    result = av_write_trailer(state.output.get());
    // Closing writes what is still buffered; a failure there would leave a truncated file.
    if (result >= 0 && !(state.output->oformat->flags & AVFMT_NOFILE))
        result = avio_closep(&state.output->pb);
    if (result < 0) {
        abort();
        return failWithCode(errorMessage, tr("Could not finalize the output video: %1"), result);
    }
    m_encoder.reset();
    m_open = false;

    if (QFileInfo(m_staging.path()).size() <= 0)
        return failPublication(errorMessage, tr("FFmpeg did not create a non-empty video file."));
    return publish(errorMessage);
}

bool LibavVideoSink::publish(QString *errorMessage)
{
    if (pathTaken(m_finalPath))
        return failPublication(errorMessage, destinationAppearedMessage());
    QString errorText;
    switch (renameWithoutReplacing(m_staging.path(), m_finalPath, &errorText)) {
    case RenameOutcome::Renamed:
        break;
    // Created between the check above and the rename: the same case, and still not replaced.
    case RenameOutcome::TargetExists:
        return failPublication(errorMessage, destinationAppearedMessage());
    case RenameOutcome::Failed:
        return failPublication(errorMessage,
                               tr("Could not safely assign the final video file name: %1").arg(errorText));
    }
    m_staging.release();
    m_finalPath.clear();
    if (errorMessage)
        errorMessage->clear();
    return true;
}

bool LibavVideoSink::failPublication(QString *errorMessage, const QString &message)
{
    m_cleanupMessage = m_staging.remove();
    m_finalPath.clear();
    return reportFailure(errorMessage,
                         m_cleanupMessage.isEmpty() ? message : message + QLatin1Char(' ') + m_cleanupMessage);
}

// A staging file that cannot be removed keeps its path, so that the next abort tries again.
void LibavVideoSink::abort()
{
    m_encoder.reset();
    m_cleanupMessage = m_staging.remove();
    m_finalPath.clear();
    m_frameSize = QSize();
    m_open = false;
}

} // namespace ovra::media::libav
