#include "media/libav/LibavVideoSource.h"

#include "media/ErrorMessage.h"

#include "media/libav/LibavFrameConverter.h"
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavSupport.h"
#include "media/libav/LibavVideoAnalyzer.h"

#include <QCoreApplication>

#include <cmath>
#include <optional>

namespace ovra::media::libav {
namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("LibavVideoSource", text);
}

VideoReadStatus failRead(QString *errorMessage, const QString &message)
{
    reportFailure(errorMessage, message);
    return VideoReadStatus::Failed;
}

QString decodingCancelledMessage()
{
    return tr("Video decoding was cancelled.");
}

} // namespace

struct LibavVideoSource::DecoderState
{
    InputContextPtr input;
    CodecContextPtr codec;
    PacketPtr packet;
    FramePtr frame;
    LibavFrameConverter converter;
    AVStream *stream = nullptr;
    int streamIndex = -1;
    std::optional<qint64> skipUntilTimestamp;
    int rotationDegrees = 0;
    bool reachedEndOfFile = false;
    bool flushSent = false;
};

LibavVideoSource::LibavVideoSource(CancellationCheck cancellationCheck, int decoderThreadCount)
    : m_cancellation(std::move(cancellationCheck))
    , m_decoderThreadCount(std::max(decoderThreadCount, 0))
{
}

LibavVideoSource::~LibavVideoSource() = default;

bool LibavVideoSource::open(const QString &filePath, QString *errorMessage)
{
    close();
    m_cancellation.reset();
    LibavVideoAnalyzer analyzer(m_cancellation.check());
    VideoMetadata analysed;
    if (!analyzer.analyze(filePath, &analysed, errorMessage)) {
        if (analyzer.cancelled())
            m_cancellation.markCancelled();
        return false;
    }
    return openWithMetadata(analysed, errorMessage);
}

bool LibavVideoSource::openWithMetadata(const VideoMetadata &metadata, QString *errorMessage)
{
    close();
    m_cancellation.reset();
    if (!LibavRuntime::checkCompatibility(errorMessage))
        return false;
    if (metadata.filePath.isEmpty() || !metadata.hasValidFrameSize() || !(metadata.nominalFrameRate > 0.0)
        || !metadata.hasTiming() || (metadata.variableFrameRate && !metadata.hasTimeGrid()))
        return reportFailure(errorMessage, tr("The prepared video metadata is incomplete or unsupported."));
    if (m_cancellation.query())
        return reportFailure(errorMessage, tr("Starting video decoding was cancelled."));

    m_metadata = metadata;
    m_decoder = std::make_unique<DecoderState>();
    if (!openDecoder(errorMessage)) {
        close();
        return false;
    }
    m_cursor = 0;
    m_open = true;
    return true;
}

bool LibavVideoSource::openDecoder(QString *errorMessage)
{
    DecoderState &state = *m_decoder;
    state.input.reset(avformat_alloc_context());
    if (!state.input)
        return reportFailure(errorMessage, tr("Could not allocate the FFmpeg input context."));
    installInterruptCallback(state.input.get(), &m_cancellation);
    AVFormatContext *opening = state.input.release();
    int result = avformat_open_input(&opening, m_metadata.filePath.toUtf8().constData(), nullptr, nullptr);
    if (result < 0)
        return reportFailure(errorMessage, tr("Could not open the video through FFmpeg libraries: %1").arg(ffmpegErrorText(result)));
    state.input.reset(opening);
    result = avformat_find_stream_info(state.input.get(), nullptr);
    if (result < 0)
        return reportFailure(errorMessage, tr("Could not read video stream information: %1").arg(ffmpegErrorText(result)));

    const AVCodec *decoder = nullptr;
    state.streamIndex = av_find_best_stream(state.input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (state.streamIndex < 0 || !decoder)
        return reportFailure(errorMessage, tr("The file contains no video stream supported by this FFmpeg build."));
    state.stream = state.input->streams[state.streamIndex];

    state.codec.reset(avcodec_alloc_context3(decoder));
    if (!state.codec)
        return reportFailure(errorMessage, tr("Could not allocate the FFmpeg decoder context."));
    result = avcodec_parameters_to_context(state.codec.get(), state.stream->codecpar);
    if (result < 0)
        return reportFailure(errorMessage, tr("Could not configure the FFmpeg decoder: %1").arg(ffmpegErrorText(result)));
    // 0 lets FFmpeg pick a thread per core; its own option default would be a single thread.
    state.codec->thread_count = m_decoderThreadCount;
    result = avcodec_open2(state.codec.get(), decoder, nullptr);
    if (result < 0)
        return reportFailure(errorMessage, tr("Could not start the FFmpeg decoder: %1").arg(ffmpegErrorText(result)));

    state.packet.reset(av_packet_alloc());
    state.frame.reset(av_frame_alloc());
    if (!state.packet || !state.frame)
        return reportFailure(errorMessage, tr("Could not allocate FFmpeg frame buffers."));

    state.rotationDegrees = displayRotationDegrees(state.stream);
    if (state.rotationDegrees % 90 != 0)
        return reportFailure(errorMessage, tr("This video uses an unsupported non-right-angle display rotation."));
    const bool sideways = state.rotationDegrees == 90 || state.rotationDegrees == 270;
    const QSize displaySize = sideways ? QSize(state.stream->codecpar->height, state.stream->codecpar->width)
                                       : QSize(state.stream->codecpar->width, state.stream->codecpar->height);
    if (displaySize != m_metadata.frameSize)
        return reportFailure(errorMessage, tr("Decoded video dimensions do not match the analyzed metadata."));
    return true;
}

void LibavVideoSource::close()
{
    // Frees packet, frame and scaler before the decoder, and the decoder before the input.
    if (m_decoder) {
        m_decoder->packet.reset();
        m_decoder->frame.reset();
        m_decoder->codec.reset();
        m_decoder->input.reset();
        m_decoder.reset();
    }
    m_metadata = VideoMetadata();
    m_cursor = 0;
    m_open = false;
}

bool LibavVideoSource::seekToTime(qint64 timeUs, QString *errorMessage)
{
    if (!m_open)
        return reportFailure(errorMessage, tr("The video file is not open."));
    if (timeUs < 0 || (m_metadata.durationUs >= 1 && timeUs >= m_metadata.durationUs))
        return reportFailure(errorMessage, tr("The seek position is outside the video."));
    const std::optional<qint64> frameIndex = firstFrameAtOrAfter(timeUs, m_metadata.nominalFrameRate);
    if (!frameIndex || *frameIndex < 0 || (m_metadata.frameCount >= 1 && *frameIndex >= m_metadata.frameCount))
        return reportFailure(errorMessage, tr("The frame index is outside the video."));
    return seekToValidFrame(*frameIndex, errorMessage);
}

bool LibavVideoSource::seekToFrame(qint64 frameIndex, QString *errorMessage)
{
    if (!m_open)
        return reportFailure(errorMessage, tr("The video file is not open."));
    if (frameIndex < 0 || (m_metadata.frameCount >= 1 && frameIndex >= m_metadata.frameCount))
        return reportFailure(errorMessage, tr("The frame index is outside the video."));
    return seekToValidFrame(frameIndex, errorMessage);
}

bool LibavVideoSource::seekToValidFrame(qint64 frameIndex, QString *errorMessage)
{
    if (m_cancellation.query())
        return reportFailure(errorMessage, decodingCancelledMessage());
    DecoderState &state = *m_decoder;
    qint64 target = 0;
    if (m_metadata.hasTimeGrid()) {
        target = m_metadata.frameTimestamps.at(frameIndex);
    } else {
        target = av_rescale_q(frameTimeUs(frameIndex, m_metadata.nominalFrameRate), AVRational{1, 1000000},
                              state.stream->time_base);
        if (state.stream->start_time != AV_NOPTS_VALUE)
            target += state.stream->start_time;
    }
    const int result = av_seek_frame(state.input.get(), state.streamIndex, target, AVSEEK_FLAG_BACKWARD);
    if (result < 0)
        return reportFailure(errorMessage, tr("Could not seek through the FFmpeg libraries: %1").arg(ffmpegErrorText(result)));
    avcodec_flush_buffers(state.codec.get());
    av_packet_unref(state.packet.get());
    av_frame_unref(state.frame.get());
    state.reachedEndOfFile = false;
    state.flushSent = false;
    state.skipUntilTimestamp = target;
    m_cursor = frameIndex;
    return true;
}

VideoReadStatus LibavVideoSource::decodeNextFrame(QString *errorMessage)
{
    if (m_cancellation.query())
        return failRead(errorMessage, decodingCancelledMessage());
    DecoderState &state = *m_decoder;
    for (;;) {
        const int received = avcodec_receive_frame(state.codec.get(), state.frame.get());
        if (received >= 0) {
            const qint64 timestamp = state.frame->best_effort_timestamp;
            if (state.skipUntilTimestamp && timestamp != AV_NOPTS_VALUE && timestamp < *state.skipUntilTimestamp) {
                av_frame_unref(state.frame.get());
            } else {
                state.skipUntilTimestamp.reset();
                return VideoReadStatus::Frame;
            }
        } else if (received == AVERROR_EOF) {
            return VideoReadStatus::EndOfStream;
        } else if (received == AVERROR(EAGAIN)) {
            if (state.reachedEndOfFile) {
                if (state.flushSent)
                    return VideoReadStatus::EndOfStream;
                const int flushed = avcodec_send_packet(state.codec.get(), nullptr);
                if (flushed < 0 && flushed != AVERROR_EOF)
                    return failRead(errorMessage,
                                    tr("FFmpeg could not flush the video decoder: %1").arg(ffmpegErrorText(flushed)));
                state.flushSent = true;
            } else {
                const int read = av_read_frame(state.input.get(), state.packet.get());
                if (read == AVERROR_EOF) {
                    state.reachedEndOfFile = true;
                } else if (read < 0) {
                    if (m_cancellation.query())
                        return failRead(errorMessage, decodingCancelledMessage());
                    return failRead(errorMessage,
                                    tr("FFmpeg could not read the next video packet: %1").arg(ffmpegErrorText(read)));
                } else if (state.packet->stream_index == state.streamIndex) {
                    const int sent = avcodec_send_packet(state.codec.get(), state.packet.get());
                    av_packet_unref(state.packet.get());
                    if (sent < 0)
                        return failRead(errorMessage, tr("FFmpeg could not submit a video packet to the decoder: %1")
                                                          .arg(ffmpegErrorText(sent)));
                } else {
                    av_packet_unref(state.packet.get());
                }
            }
        } else {
            return failRead(errorMessage, tr("FFmpeg could not return a decoded frame: %1").arg(ffmpegErrorText(received)));
        }
        if (m_cancellation.query())
            return failRead(errorMessage, decodingCancelledMessage());
    }
}

VideoReadStatus LibavVideoSource::readFrame(VideoFrame *frame, QString *errorMessage)
{
    if (!m_open || !frame)
        return failRead(errorMessage, tr("The video source is not open or no frame output was provided."));
    if (m_metadata.frameCount >= 1 && m_cursor >= m_metadata.frameCount)
        return VideoReadStatus::EndOfStream;
    const VideoReadStatus status = decodeNextFrame(errorMessage);
    if (status != VideoReadStatus::Frame)
        return status;
    frame->image = QImage();
    const bool converted = convertDecodedFrame(&frame->image, errorMessage);
    av_frame_unref(m_decoder->frame.get());
    if (!converted)
        return VideoReadStatus::Failed;
    frame->frameIndex = m_cursor;
    frame->presentationTimeUs = frameTimeUs(m_cursor, m_metadata.nominalFrameRate);
    ++m_cursor;
    return VideoReadStatus::Frame;
}

VideoReadStatus LibavVideoSource::skipFrame(qint64 *frameIndex, qint64 *presentationTimeUs, QString *errorMessage)
{
    if (!m_open)
        return failRead(errorMessage, tr("The video source is not open or no frame output was provided."));
    if (m_metadata.frameCount >= 1 && m_cursor >= m_metadata.frameCount)
        return VideoReadStatus::EndOfStream;
    const VideoReadStatus status = decodeNextFrame(errorMessage);
    if (status != VideoReadStatus::Frame)
        return status;
    av_frame_unref(m_decoder->frame.get());
    if (frameIndex)
        *frameIndex = m_cursor;
    if (presentationTimeUs)
        *presentationTimeUs = frameTimeUs(m_cursor, m_metadata.nominalFrameRate);
    ++m_cursor;
    return VideoReadStatus::Frame;
}

bool LibavVideoSource::convertDecodedFrame(QImage *image, QString *errorMessage)
{
    DecoderState &state = *m_decoder;
    LibavFrameConverter::Result result = LibavFrameConverter::Result::Converted;
    QImage converted = state.converter.convert(state.frame.get(), &result);
    switch (result) {
    case LibavFrameConverter::Result::Converted:
        break;
    case LibavFrameConverter::Result::InvalidSize:
        return reportFailure(errorMessage, tr("FFmpeg returned a decoded frame with invalid dimensions."));
    case LibavFrameConverter::Result::OutOfMemory:
        return reportFailure(errorMessage, tr("Could not allocate memory for the decoded frame."));
    case LibavFrameConverter::Result::Unsupported:
        return reportFailure(errorMessage, tr("Could not prepare FFmpeg pixel conversion."));
    case LibavFrameConverter::Result::RowTooLarge:
        return reportFailure(errorMessage, tr("The decoded frame row is too large for FFmpeg pixel conversion."));
    case LibavFrameConverter::Result::Incomplete:
        return reportFailure(errorMessage, tr("FFmpeg could not convert the decoded frame to RGBA."));
    }
    converted = uprightImage(converted, state.rotationDegrees);
    if (converted.isNull() || converted.size() != m_metadata.frameSize)
        return reportFailure(errorMessage, tr("The decoded frame does not match the expected display size."));
    *image = std::move(converted);
    return true;
}

} // namespace ovra::media::libav
