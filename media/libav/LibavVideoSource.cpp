// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/libav/LibavVideoSource.h"

#include "media/ErrorMessage.h"

#include "media/libav/LibavDecoder.h"
#include "media/libav/LibavFrameConverter.h"
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavSupport.h"
#include "media/libav/LibavVideoAnalyzer.h"

#include <QCoreApplication>

#include <cmath>
#include <optional>

namespace ovra::media::libav {
namespace {

VideoReadStatus failRead(QString *errorMessage, const QString &message)
{
    reportFailure(errorMessage, message);
    return VideoReadStatus::Failed;
}

QString decodingCancelledMessage()
{
    return LibavVideoSource::tr("Video decoding was cancelled.");
}

QString notOpenMessage()
{
    return LibavVideoSource::tr("The video source is not open or no frame output was provided.");
}

QString failureMessage(const LibavDecoder::Failure &failure)
{
    const QString code = ffmpegErrorText(failure.code);
    switch (failure.step) {
    case LibavDecoder::Step::AllocateInput:
        return LibavVideoSource::tr("Could not allocate the FFmpeg input context.");
    case LibavDecoder::Step::OpenInput:
        return LibavVideoSource::tr("Could not open the video through FFmpeg libraries: %1").arg(code);
    case LibavDecoder::Step::ReadStreamInfo:
        return LibavVideoSource::tr("Could not read video stream information: %1").arg(code);
    case LibavDecoder::Step::FindStream:
        return LibavVideoSource::tr("The file contains no video stream supported by this FFmpeg build.");
    case LibavDecoder::Step::AllocateDecoder:
        return LibavVideoSource::tr("Could not allocate the FFmpeg decoder context.");
    case LibavDecoder::Step::ConfigureDecoder:
        return LibavVideoSource::tr("Could not configure the FFmpeg decoder: %1").arg(code);
    case LibavDecoder::Step::StartDecoder:
        return LibavVideoSource::tr("Could not start the FFmpeg decoder: %1").arg(code);
    case LibavDecoder::Step::AllocateBuffers:
        return LibavVideoSource::tr("Could not allocate FFmpeg frame buffers.");
    case LibavDecoder::Step::Seek:
        return LibavVideoSource::tr("Could not seek through the FFmpeg libraries: %1").arg(code);
    case LibavDecoder::Step::ReadPacket:
        return LibavVideoSource::tr("FFmpeg could not read the next video packet: %1").arg(code);
    case LibavDecoder::Step::SendPacket:
        return LibavVideoSource::tr("FFmpeg could not submit a video packet to the decoder: %1").arg(code);
    case LibavDecoder::Step::Flush:
        return LibavVideoSource::tr("FFmpeg could not flush the video decoder: %1").arg(code);
    case LibavDecoder::Step::Receive:
        return LibavVideoSource::tr("FFmpeg could not return a decoded frame: %1").arg(code);
    case LibavDecoder::Step::Cancelled:
        break;
    }
    return decodingCancelledMessage();
}

} // namespace

struct LibavVideoSource::DecoderState
{
    explicit DecoderState(CancellationState *cancellation)
        : decoder(cancellation)
    {
    }

    LibavDecoder decoder;
    LibavFrameConverter converter;
    std::optional<qint64> skipUntilTimestamp;
    int rotationDegrees = 0;
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
    m_decoder = std::make_unique<DecoderState>(&m_cancellation);
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
    LibavDecoder::Failure failure;
    if (!state.decoder.open(m_metadata.filePath, m_decoderThreadCount, &failure))
        return reportFailure(errorMessage, failureMessage(failure));
    state.rotationDegrees = state.decoder.rotationDegrees();
    if (state.rotationDegrees % 90 != 0)
        return reportFailure(errorMessage, tr("This video uses an unsupported non-right-angle display rotation."));
    if (state.decoder.displaySize() != m_metadata.frameSize)
        return reportFailure(errorMessage, tr("Decoded video dimensions do not match the analyzed metadata."));
    return true;
}

void LibavVideoSource::close()
{
    m_decoder.reset();
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
    const AVStream *stream = state.decoder.stream();
    qint64 target = 0;
    if (m_metadata.hasTimeGrid()) {
        target = m_metadata.frameTimestamps.at(frameIndex);
    } else {
        target = av_rescale_q(frameTimeUs(frameIndex, m_metadata.nominalFrameRate), AVRational{1, 1000000},
                              stream->time_base);
        if (stream->start_time != AV_NOPTS_VALUE)
            target += stream->start_time;
    }
    LibavDecoder::Failure failure;
    if (!state.decoder.seek(target, &failure))
        return reportFailure(errorMessage, failureMessage(failure));
    state.skipUntilTimestamp = target;
    m_cursor = frameIndex;
    return true;
}

// Decodes up to the frame the cursor names: frames before a seek's target are dropped.
VideoReadStatus LibavVideoSource::decodeNextFrame(QString *errorMessage)
{
    DecoderState &state = *m_decoder;
    for (;;) {
        LibavDecoder::Failure failure;
        const VideoReadStatus status = state.decoder.decodeNext(&failure);
        if (status == VideoReadStatus::Failed)
            return failRead(errorMessage, failureMessage(failure));
        if (status == VideoReadStatus::EndOfStream)
            return status;
        const qint64 timestamp = state.decoder.frame()->best_effort_timestamp;
        if (!state.skipUntilTimestamp || timestamp == AV_NOPTS_VALUE || timestamp >= *state.skipUntilTimestamp) {
            state.skipUntilTimestamp.reset();
            return VideoReadStatus::Frame;
        }
    }
}

VideoReadStatus LibavVideoSource::readFrame(VideoFrame *frame, QString *errorMessage)
{
    if (!frame)
        return failRead(errorMessage, notOpenMessage());
    frame->image = QImage();
    return advance(&frame->image, &frame->frameIndex, &frame->presentationTimeUs, errorMessage);
}

VideoReadStatus LibavVideoSource::skipFrame(qint64 *frameIndex, qint64 *presentationTimeUs, QString *errorMessage)
{
    return advance(nullptr, frameIndex, presentationTimeUs, errorMessage);
}

VideoReadStatus LibavVideoSource::advance(QImage *image, qint64 *frameIndex, qint64 *presentationTimeUs,
                                          QString *errorMessage)
{
    if (!m_open)
        return failRead(errorMessage, notOpenMessage());
    if (m_metadata.frameCount >= 1 && m_cursor >= m_metadata.frameCount)
        return VideoReadStatus::EndOfStream;
    const VideoReadStatus status = decodeNextFrame(errorMessage);
    if (status != VideoReadStatus::Frame)
        return status;
    if (image && !convertDecodedFrame(image, errorMessage))
        return VideoReadStatus::Failed;
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
    QImage converted = state.converter.convert(state.decoder.frame(), &result);
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
