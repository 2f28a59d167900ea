// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/libav/LibavVideoAnalyzer.h"

#include "media/ErrorMessage.h"
#include "media/libav/LibavDecoder.h"
#include "media/libav/LibavFrameConverter.h"
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavSupport.h"
#include "media/libav/UniformTailRule.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/dict.h>
}

namespace ovra::media::libav {
namespace {

QString cancelledMessage()
{
    return LibavVideoAnalyzer::tr("Video analysis was cancelled.");
}

// Converts a decoded frame into an upright RGBA image for the first-frame preview; a null
// image when the conversion is not possible.
QImage previewImage(const AVFrame *frame, int rotationDegrees)
{
    LibavFrameConverter converter;
    LibavFrameConverter::Result result = LibavFrameConverter::Result::Converted;
    const QImage image = converter.convert(frame, &result);
    // Only right angles turn the picture; other angles keep it as analysed (and as sized).
    return rotationDegrees % 90 == 0 ? uprightImage(image, rotationDegrees) : image;
}

// The running state of one pass over the decoded frames.
class TimeGridScan
{
public:
    TimeGridScan(double nominalFrameRate, double timeBase, qint64 declaredFrameCount, qint64 durationUs,
                 const LibavVideoAnalyzer::ProgressCallback &progress)
        : m_timeBase(timeBase)
        , m_referenceInterval(nominalFrameRate > 0.0 ? 1.0 / nominalFrameRate : 0.0)
        , m_intervalTolerance(intervalTolerance(m_referenceInterval, timeBase))
        , m_declaredFrameCount(declaredFrameCount)
        , m_durationUs(durationUs)
        , m_progress(progress)
    {
        m_progressTimer.start();
    }

    void addFrame(qint64 timestamp)
    {
        ++m_decodedCount;
        const bool present = timestamp != AV_NOPTS_VALUE;
        if (!present || (!m_timestamps.isEmpty() && timestamp <= m_timestamps.constLast()))
            m_monotonic = false;
        m_timestamps.append(timestamp);

        if (present) {
            const double time = static_cast<double>(timestamp) * m_timeBase;
            if (!std::isfinite(time)) {
                m_irregular = true;
            } else {
                if (m_havePrevious) {
                    const double interval = time - m_previousTime;
                    if (interval <= 0.0
                        || (m_referenceInterval > 0.0
                            && std::abs(interval - m_referenceInterval) > m_intervalTolerance))
                        m_irregular = true;
                }
                m_previousTime = time;
                m_havePrevious = true;
            }
        } else {
            m_irregular = true;
        }
        if (!m_haveFirst && m_havePrevious) {
            m_firstTime = m_previousTime;
            m_haveFirst = true;
        }
        reportProgress();
    }

    qint64 decodedCount() const { return m_decodedCount; }
    bool monotonic() const { return m_monotonic; }
    bool irregular() const { return m_irregular; }
    bool sawUsableTime() const { return m_havePrevious; }
    // From the first usable frame time to the last, in seconds.
    double spanSeconds() const { return m_haveFirst ? m_previousTime - m_firstTime : 0.0; }
    const QList<qint64> &timestamps() const { return m_timestamps; }

private:
    void reportProgress()
    {
        if (!m_progress)
            return;
        if (m_decodedCount != 1 && m_progressTimer.elapsed() < 100)
            return;
        m_progressTimer.restart();
        double value = -1.0;
        if (m_declaredFrameCount >= 1)
            value = static_cast<double>(m_decodedCount) / static_cast<double>(m_declaredFrameCount);
        else if (m_durationUs > 0 && m_haveFirst)
            value = (m_previousTime - m_firstTime) * 1000000.0 / static_cast<double>(m_durationUs);
        if (std::isnan(value) || value < 0.0)
            value = -1.0;
        m_progress(std::min(value, 0.99));
    }

    const double m_timeBase;
    const double m_referenceInterval;
    const double m_intervalTolerance;
    const qint64 m_declaredFrameCount;
    const qint64 m_durationUs;
    const LibavVideoAnalyzer::ProgressCallback &m_progress;
    QElapsedTimer m_progressTimer;
    qint64 m_decodedCount = 0;
    bool m_monotonic = true;
    bool m_irregular = false;
    bool m_havePrevious = false;
    double m_previousTime = 0.0;
    bool m_haveFirst = false;
    double m_firstTime = 0.0;
    QList<qint64> m_timestamps;
};

} // namespace

bool hasSlowMotionPlaybackIntent(const AVDictionary *metadata)
{
    static const QString suffix = QStringLiteral("full-frame-rate-playback-intent");
    const AVDictionaryEntry *entry = nullptr;
    while ((entry = av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        if (!QString::fromUtf8(entry->key).endsWith(suffix, Qt::CaseInsensitive))
            continue;
        const QString value = QString::fromUtf8(entry->value).trimmed();
        return value == QLatin1String("0") || value.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0;
    }
    return false;
}

LibavVideoAnalyzer::LibavVideoAnalyzer(CancellationCheck cancellationCheck)
    : m_cancellation(std::move(cancellationCheck))
{
}

namespace {

QString failureMessage(const LibavDecoder::Failure &failure)
{
    const QString code = ffmpegErrorText(failure.code);
    switch (failure.step) {
    case LibavDecoder::Step::AllocateInput:
        return LibavVideoAnalyzer::tr("Could not allocate the FFmpeg input context.");
    case LibavDecoder::Step::OpenInput:
        return LibavVideoAnalyzer::tr("Could not open the video through FFmpeg libraries: %1").arg(code);
    case LibavDecoder::Step::ReadStreamInfo:
        return LibavVideoAnalyzer::tr("Could not read video stream information: %1").arg(code);
    case LibavDecoder::Step::FindStream:
        return LibavVideoAnalyzer::tr("No supported video stream was found in the input file.");
    case LibavDecoder::Step::AllocateDecoder:
        return LibavVideoAnalyzer::tr("Could not allocate the FFmpeg decoder context.");
    case LibavDecoder::Step::ConfigureDecoder:
    case LibavDecoder::Step::StartDecoder:
        return LibavVideoAnalyzer::tr("Could not start time-grid analysis: %1").arg(code);
    case LibavDecoder::Step::AllocateBuffers:
        return LibavVideoAnalyzer::tr("Could not start time-grid analysis: %1")
            .arg(LibavVideoAnalyzer::tr("FFmpeg frame buffers are unavailable."));
    case LibavDecoder::Step::Seek:
    case LibavDecoder::Step::ReadPacket:
        return LibavVideoAnalyzer::tr("Could not read the video time grid: %1").arg(code);
    case LibavDecoder::Step::SendPacket:
        return LibavVideoAnalyzer::tr("Could not submit a frame for time-grid analysis: %1").arg(code);
    case LibavDecoder::Step::Flush:
        return LibavVideoAnalyzer::tr("Could not finish time-grid analysis: %1").arg(code);
    case LibavDecoder::Step::Receive:
        return LibavVideoAnalyzer::tr("Could not decode the video time grid: %1").arg(code);
    case LibavDecoder::Step::Cancelled:
        break;
    }
    return cancelledMessage();
}

// The sample aspect ratio as width over height of a pixel of the upright picture; square when
// the file declares none. A quarter turn swaps what is wide and what is tall.
double pixelAspectRatio(const LibavDecoder &decoder)
{
    const double ratio
        = positiveRationalValue(av_guess_sample_aspect_ratio(decoder.input(), decoder.stream(), nullptr));
    if (ratio <= 0.0)
        return 1.0;
    const int rotation = decoder.rotationDegrees();
    return rotation == 90 || rotation == 270 ? 1.0 / ratio : ratio;
}

// What the container and the stream declare, before any frame is decoded.
VideoMetadata declaredMetadata(const QString &filePath, const LibavDecoder &decoder)
{
    const AVFormatContext *input = decoder.input();
    AVStream *stream = decoder.stream();
    VideoMetadata declared;
    declared.filePath = filePath;
    if (input->iformat && input->iformat->name)
        declared.containerName = QString::fromUtf8(input->iformat->name);
    declared.codecName = QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id));
    declared.frameSize = decoder.displaySize();
    declared.pixelAspectRatio = pixelAspectRatio(decoder);
    if (stream->duration != AV_NOPTS_VALUE && stream->duration >= 1) {
        const qint64 streamDurationUs = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000000});
        if (streamDurationUs >= 1)
            declared.durationUs = streamDurationUs;
    }
    if (declared.durationUs < 1 && input->duration != AV_NOPTS_VALUE && input->duration >= 1)
        declared.durationUs = input->duration;
    declared.frameCount = stream->nb_frames > 0 ? stream->nb_frames : 0;
    declared.nominalFrameRate = positiveRationalValue(stream->avg_frame_rate);
    if (declared.nominalFrameRate <= 0.0)
        declared.nominalFrameRate
            = positiveRationalValue(av_guess_frame_rate(const_cast<AVFormatContext *>(input), stream, nullptr));
    if (declared.nominalFrameRate <= 0.0)
        declared.nominalFrameRate = positiveRationalValue(stream->r_frame_rate);
    declared.slowMotionPlaybackIntent
        = hasSlowMotionPlaybackIntent(stream->metadata) || hasSlowMotionPlaybackIntent(input->metadata);
    return declared;
}

// Some containers (NUT among them) end the duration where the last frame starts. On a regular
// grid that frame lasts an interval too; without it the playback rate comes out too fast and
// the last frame's time lies outside the video. lastFrameStartUs counts from the first frame.
void coverLastFrame(VideoMetadata &analysed, double lastFrameStartUs, qint64 frameCount)
{
    const double intervalUs = lastFrameStartUs / static_cast<double>(frameCount - 1);
    if (static_cast<double>(analysed.durationUs) < lastFrameStartUs + intervalUs / 2.0)
        analysed.durationUs = roundHalfAwayFromZero(lastFrameStartUs + intervalUs);
}

// Completes the declared metadata with what decoding every frame showed.
void applyScan(VideoMetadata &analysed, const TimeGridScan &scan, const StreamTiming &timing)
{
    const qint64 declaredFrameCount = analysed.frameCount;
    analysed.variableFrameRate = scan.irregular() || scan.decodedCount() < 2 || !scan.sawUsableTime();
    analysed.frameCount = scan.decodedCount() > 0 ? scan.decodedCount() : declaredFrameCount;
    if (scan.monotonic())
        analysed.frameTimestamps = scan.timestamps();
    applyUniformTailRule(analysed, timing);
    if (!analysed.variableFrameRate)
        coverLastFrame(analysed, scan.spanSeconds() * 1000000.0, scan.decodedCount());

    const double nominalRate = analysed.nominalFrameRate;
    const double baseRate = timing.baseFrameRate;
    const bool ratesMatch = baseRate <= 0.0 || ratesAgree(baseRate, nominalRate);
    if (!analysed.variableFrameRate && !analysed.slowMotionPlaybackIntent && ratesMatch && nominalRate > 0.0) {
        analysed.detectedCaptureFrameRate = nominalRate;
        analysed.captureFrameRate = nominalRate;
    }
    if (analysed.durationUs < 1 && analysed.frameCount >= 1 && nominalRate > 0.0)
        analysed.durationUs = roundHalfAwayFromZero(static_cast<double>(analysed.frameCount) * 1000000.0 / nominalRate);
}

} // namespace

bool LibavVideoAnalyzer::analyze(const QString &filePath, VideoMetadata *metadata, QString *errorMessage,
                                 const FirstFrameCallback &firstFrameReady, const ProgressCallback &progress)
{
    m_cancellation.reset();
    if (filePath.isEmpty() || !metadata)
        return reportFailure(errorMessage, tr("No input video file was specified."));
    if (!LibavRuntime::checkCompatibility(errorMessage))
        return false;
    if (m_cancellation.query())
        return reportFailure(errorMessage, cancelledMessage());

    LibavDecoder decoder(&m_cancellation);
    LibavDecoder::Failure failure;
    // Every frame is decoded: a thread per core.
    if (!decoder.open(filePath, 0, &failure))
        return reportFailure(errorMessage, failureMessage(failure));
    VideoMetadata analysed = declaredMetadata(filePath, decoder);
    const double timeBase = av_q2d(decoder.stream()->time_base);
    TimeGridScan scan(analysed.nominalFrameRate, timeBase, analysed.frameCount, analysed.durationUs, progress);
    VideoReadStatus status = VideoReadStatus::Frame;
    while ((status = decoder.decodeNext(&failure)) == VideoReadStatus::Frame) {
        if (scan.decodedCount() == 0 && firstFrameReady && !m_cancellation.query()) {
            const QImage preview = previewImage(decoder.frame(), decoder.rotationDegrees());
            if (!preview.isNull())
                firstFrameReady(preview);
        }
        scan.addFrame(decoder.frame()->best_effort_timestamp);
    }
    if (status == VideoReadStatus::Failed)
        return reportFailure(errorMessage, failureMessage(failure));

    applyScan(analysed, scan, StreamTiming{timeBase, positiveRationalValue(decoder.stream()->r_frame_rate)});
    if (!analysed.hasValidFrameSize() || !analysed.hasTiming())
        return reportFailure(errorMessage,
                             tr("The FFmpeg libraries could not determine the video size, duration, or frame rate."));
    *metadata = analysed;
    m_rotationDegrees = decoder.rotationDegrees();
    if (errorMessage)
        errorMessage->clear();
    return true;
}

} // namespace ovra::media::libav
