#include "processing/VideoProcessingPipeline.h"

#include "media/NoReplaceRename.h"
#include "media/libav/LibavVideoSource.h"
#include "motion_core/PhaseMotionProcessor.h"
#include "motion_core/TemporalBandpassFilter.h"
#include "processing/FrameDestination.h"
#include "processing/ProcessingParametersWriter.h"
#include "processing/VideoWatermarkRenderer.h"
#include "project_data/TemporaryVideo.h"
#include "project_data/TemporaryVideoSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUuid>

#include <cmath>
#include <optional>
#include <vector>

namespace ovra::processing {

using media::VideoFrame;
using media::VideoReadStatus;
using project_data::ProcessingPerformance;
using project_data::ProcessingProgress;
using project_data::ProcessingRequest;
using project_data::ProcessingResult;
using project_data::ProcessingState;
using project_data::joinMessages;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("VideoProcessingPipeline", text);
}

qint64 elapsedUs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1000;
}

// The purpose part of a staging name: the word plus the target's suffix, if it has one.
QString purposeFor(const QString &target, const QString &word)
{
    const QString suffix = QFileInfo(target).suffix();
    return suffix.isEmpty() ? word : word + QLatin1Char('.') + suffix;
}

bool metadataReusable(const media::VideoMetadata &metadata)
{
    return !metadata.filePath.isEmpty() && metadata.hasValidFrameSize() && metadata.nominalFrameRate > 0.0
        && metadata.hasTiming() && (!metadata.variableFrameRate || metadata.hasTimeGrid());
}

// The state of one run; each step returns a finished result when the run must end there.
class PipelineRun
{
public:
    PipelineRun(const ProcessingRequest &request, const ProgressCallback &progressCallback,
                const media::CancellationCheck &cancellationCheck)
        : m_request(request)
        , m_settings(request.settings)
        , m_progressCallback(progressCallback)
        , m_cancellation(cancellationCheck)
    {
        m_totalTimer.start();
        const int processors = QThread::idealThreadCount();
        m_performance.availableLogicalProcessorCount = processors < 2 ? 1 : processors;
        m_performance.requestedMotionWorkerThreadCount = m_settings.workerThreadCount;
        m_performance.motionWorkerThreadCount = motion_core::effectiveWorkerThreadCount(m_settings);
    }

    ProcessingResult execute()
    {
        if (auto ended = prepare())
            return *ended;
        if (auto ended = openSource())
            return *ended;
        if (auto ended = planFragment())
            return *ended;
        if (auto ended = openDestination())
            return *ended;
        if (auto ended = processFrames())
            return *ended;
        if (auto ended = finishDestination())
            return *ended;
        if (m_request.analysisMode) {
            if (cancellationRequested())
                return ProcessingResult::cancelled();
            ProcessingResult result;
            result.state = ProcessingState::Succeeded;
            result.temporaryVideo = m_store;
            result.performance = m_performance;
            return result;
        }
        return publish();
    }

private:
    bool cancellationRequested() { return m_cancellation.query(); }

    QString removeFiles() { return VideoProcessingPipeline::removeFilesQuietly({m_videoStaging, m_jsonStaging}); }

    ProcessingResult fail(const QString &message, const QString &warnings = {})
    {
        return ProcessingResult::failed(message, warnings);
    }

    // Aborts the destination and removes the staging files; returns the warnings.
    QString dropDestination()
    {
        m_destination->abort();
        return joinMessages(m_destination->cleanupMessage(), removeFiles());
    }

    // After a failed destination operation: abort it if still open and collect warnings.
    ProcessingResult destinationFailure(const QString &error)
    {
        if (m_destination->isOpen())
            m_destination->abort();
        const QString warnings = joinMessages(m_destination->cleanupMessage(), removeFiles());
        return m_destination->cancelled() ? ProcessingResult::cancelled(warnings) : fail(error, warnings);
    }

    void report(const QString &stage, qint64 processed, qint64 total)
    {
        m_performance.totalElapsedUs = elapsedUs(m_totalTimer);
        if (!m_progressCallback)
            return;
        ProcessingProgress progress;
        progress.state = ProcessingState::Running;
        progress.stageName = stage;
        progress.processedFrames = processed;
        progress.totalFrames = total;
        progress.performance = m_performance;
        try {
            m_progressCallback(progress);
        } catch (...) {
            // A failing observer must not end the run.
        }
    }

    std::optional<ProcessingResult> prepare()
    {
        if (!m_request.acceptable())
            return fail(tr("The input and output video paths are required."));
        if (m_request.analysisMode && m_request.sourceResult)
            return fail(tr("Invalid analysis destination."));
        if (m_request.analysisMode)
            return std::nullopt;

        m_parametersPath = m_request.parametersFilePath.isEmpty() ? m_request.outputVideoPath + QStringLiteral(".json")
                                                                  : m_request.parametersFilePath;
        const QString &output = m_request.outputVideoPath;
        if (VideoProcessingPipeline::sameFile(m_request.sourceMetadata.filePath, output)
            || VideoProcessingPipeline::sameFile(output, m_parametersPath) || QFileInfo::exists(output)
            || QFileInfo::exists(m_parametersPath))
            return fail(tr("An output path matches the input file or a result file already exists."));
        if (cancellationRequested())
            return ProcessingResult::cancelled();
        QString error;
        if (!VideoProcessingPipeline::reserveStagingFile(output, purposeFor(output, QStringLiteral("staging")),
                                                         &m_videoStaging, &error))
            return fail(error);
        if (!VideoProcessingPipeline::reserveStagingFile(m_parametersPath, QStringLiteral("staging.json"),
                                                         &m_jsonStaging, &error))
            return fail(error, removeFiles());
        if (cancellationRequested())
            return ProcessingResult::cancelled(removeFiles());
        return std::nullopt;
    }

    std::optional<ProcessingResult> openSource()
    {
        report(tr("Opening source video"), 0, 0);
        const media::CancellationCheck check = [this] { return cancellationRequested(); };
        if (m_request.sourceResult)
            m_source = std::make_unique<project_data::TemporaryVideoSource>(m_request.sourceResult);
        else
            m_source = std::make_unique<media::libav::LibavVideoSource>(check, 0);

        QElapsedTimer timer;
        timer.start();
        QString error;
        const QString &inputPath = m_request.sourceMetadata.filePath;
        bool opened = false;
        if (metadataReusable(m_request.sourceMetadata)) {
            opened = m_source->openWithMetadata(m_request.sourceMetadata, &error);
            if (!opened && !m_source->cancelled()) {
                error.clear();
                opened = m_source->open(inputPath, &error);
            }
        } else {
            opened = m_source->open(inputPath, &error);
        }
        m_performance.sourceOpeningUs += elapsedUs(timer);
        if (!opened)
            return m_source->cancelled() ? ProcessingResult::cancelled(removeFiles()) : fail(error, removeFiles());
        if (cancellationRequested()) {
            m_source->close();
            return ProcessingResult::cancelled(removeFiles());
        }
        m_opened = m_source->metadata();
        return std::nullopt;
    }

    std::optional<ProcessingResult> planFragment()
    {
        if (auto ended = m_request.sourceResult ? storedFragment() : requestedFragment())
            return ended;
        m_count = m_end - m_start;

        m_captureFps = m_request.sourceMetadata.captureFrameRate > 0.0 ? m_request.sourceMetadata.captureFrameRate
                                                                      : m_opened.captureFrameRate;
        if (!std::isfinite(m_captureFps) || m_captureFps <= 0.0)
            return fail(tr("The camera capture frame rate is required before motion processing."), removeFiles());
        if (!m_request.sourceResult) {
            if (auto ended = prepareProcessing())
                return ended;
        }
        return seekToStart();
    }

    // An export of a stored result writes exactly the fragment the store holds.
    std::optional<ProcessingResult> storedFragment()
    {
        m_start = m_request.sourceResult->firstFrameIndex();
        m_end = m_start + m_request.sourceResult->frameCount();
        if (m_start < 0 || (m_opened.frameCount > 0 && m_end > m_opened.frameCount))
            return fail(tr("The saved result does not match its frame range."), removeFiles());
        return std::nullopt;
    }

    std::optional<ProcessingResult> requestedFragment()
    {
        const bool hasFrameRange = m_settings.startFrame >= 0 || m_settings.endFrameExclusive >= 0;
        const qint64 first = m_settings.startFrame;
        const qint64 endExclusive = m_settings.endFrameExclusive;
        if (m_opened.variableFrameRate) {
            const bool uniformRange = hasFrameRange && first >= 0 && endExclusive <= m_opened.frameCount
                && endExclusive - first >= 2 && m_opened.uniformStartFrame >= 0 && first >= m_opened.uniformStartFrame;
            if (!uniformRange)
                return fail(tr("The selected fragment contains irregular frame intervals. Select a verified uniform "
                               "section."),
                            removeFiles());
        }
        if (hasFrameRange) {
            if (m_opened.frameCount < 2 || first < 0 || endExclusive <= first || endExclusive - first < 2
                || endExclusive > m_opened.frameCount)
                return fail(tr("The selected frame range is invalid."), removeFiles());
            m_start = first;
            m_end = endExclusive;
            return std::nullopt;
        }
        const qint64 startUs = m_settings.playbackStartUs;
        const qint64 endUs = m_settings.playbackEndUs < 0 ? m_opened.durationUs : m_settings.playbackEndUs;
        if (startUs < 0 || m_opened.durationUs < 1 || startUs >= m_opened.durationUs || endUs <= startUs
            || endUs > m_opened.durationUs)
            return fail(tr("The selected time range is invalid."), removeFiles());
        const double rate = m_opened.nominalFrameRate;
        // -1 stands for "no frame" and fails the check below.
        m_start = media::firstFrameAtOrAfter(startUs, rate).value_or(-1);
        m_end = m_settings.playbackEndUs < 0 ? m_opened.frameCount : media::firstFrameAtOrAfter(endUs, rate).value_or(-1);
        if (m_opened.frameCount > 0)
            m_end = std::min(m_end, m_opened.frameCount);
        if (m_start < 0 || m_end <= m_start)
            return fail(tr("The time range contains no frames after alignment to frame boundaries."), removeFiles());
        return std::nullopt;
    }

    std::optional<ProcessingResult> prepareProcessing()
    {
        QString error;
        media::VideoMetadata motionMetadata = m_opened;
        motionMetadata.captureFrameRate = m_captureFps;
        motionMetadata.variableFrameRate = false;
        m_processor = std::make_unique<motion_core::PhaseMotionProcessor>();
        if (!m_processor->configure(motionMetadata, m_settings, &error))
            return fail(error, removeFiles());
        if (!m_watermark.prepare(m_opened.frameSize, &error))
            return fail(error, removeFiles());
        const qint64 minimum = motion_core::recommendedMinimumFrameCount(m_settings, m_captureFps);
        if (minimum >= 1 && m_count < minimum)
            return fail(tr("The selected fragment is too short for the configured frequency band. Select at least "
                           "%1 frames.")
                            .arg(minimum),
                        removeFiles());
        return std::nullopt;
    }

    std::optional<ProcessingResult> seekToStart()
    {
        if (m_start == 0)
            return std::nullopt;
        QElapsedTimer timer;
        timer.start();
        QString error;
        const bool sought = m_source->seekToFrame(m_start, &error);
        m_performance.sourceSeekUs += elapsedUs(timer);
        if (!sought)
            return m_source->cancelled() ? ProcessingResult::cancelled(removeFiles()) : fail(error, removeFiles());
        return std::nullopt;
    }

    std::optional<ProcessingResult> openDestination()
    {
        QString error;
        if (m_request.analysisMode) {
            m_store = std::make_shared<project_data::TemporaryVideo>(m_opened, m_start);
            if (!project_data::TemporaryVideo::checkFreeSpace(m_opened.frameSize, m_count, &error)
                || !m_store->create(&error))
                return fail(error);
        }

        m_destination = std::make_unique<FrameDestination>(m_store, [this] { return cancellationRequested(); });
        QElapsedTimer timer;
        timer.start();
        const bool opened = m_destination->open(m_videoStaging, m_opened, m_request.encoding, &error);
        m_performance.encoderStartupUs += elapsedUs(timer);
        if (!opened) {
            const QString warnings = joinMessages(m_destination->cleanupMessage(), removeFiles());
            return m_destination->cancelled() ? ProcessingResult::cancelled(warnings) : fail(error, warnings);
        }
        return std::nullopt;
    }

    // Watermarks (for freshly processed frames) and writes one output frame.
    std::optional<ProcessingResult> writeOutput(VideoFrame &frame)
    {
        QString error;
        if (!m_request.sourceResult && !m_watermark.apply(frame.image, &error))
            return fail(error, dropDestination());
        QElapsedTimer timer;
        timer.start();
        const bool written = m_destination->writeFrame(frame, &error);
        m_performance.encoderWriteUs += elapsedUs(timer);
        if (!written)
            return destinationFailure(error);
        ++m_framesWritten;
        return std::nullopt;
    }

    void takeStageTimings() { m_performance.takeStageTimings(m_processor->stageTimings()); }

    std::optional<ProcessingResult> processFrames()
    {
        report(tr("Processing frames"), 0, m_count);
        QElapsedTimer loopTimer;
        loopTimer.start();
        std::vector<VideoFrame> outputs;
        QString error;
        bool cancelled = false;
        for (;;) {
            cancelled = cancellationRequested();
            if (m_framesRead >= m_count)
                break;
            if (cancelled) {
                const QString warnings = dropDestination();
                m_source->close();
                return ProcessingResult::cancelled(warnings);
            }

            VideoFrame decoded;
            QElapsedTimer timer;
            timer.start();
            const VideoReadStatus status = m_source->readFrame(&decoded, &error);
            m_performance.decoderUs += elapsedUs(timer);
            if (status == VideoReadStatus::Failed) {
                const QString warnings = dropDestination();
                return m_source->cancelled() ? ProcessingResult::cancelled(warnings) : fail(error, warnings);
            }
            if (status == VideoReadStatus::EndOfStream)
                return fail(tr("The decoder reached the end of the stream before the calculated end of the time "
                               "range."),
                            dropDestination());

            // The processor always sees a uniform capture-time grid numbered from the fragment start.
            decoded.presentationTimeUs = std::llround(static_cast<double>(m_framesRead) * 1e6 / m_captureFps);
            decoded.frameIndex = m_framesRead;
            outputs.clear();
            if (m_request.sourceResult) {
                outputs.push_back(std::move(decoded));
            } else {
                timer.restart();
                const bool processed = m_processor->processFrame(decoded, &outputs, &error);
                m_performance.motionProcessingUs += elapsedUs(timer);
                if (!processed)
                    return fail(error, dropDestination());
                takeStageTimings();
            }
            for (VideoFrame &output : outputs) {
                if (auto ended = writeOutput(output))
                    return ended;
            }
            ++m_framesRead;
            m_performance.measuredFrames = m_framesRead;
            m_performance.frameLoopElapsedUs = elapsedUs(loopTimer);
            report(tr("Processing frames"), m_framesRead, m_count);
        }
        if (cancelled)
            return ProcessingResult::cancelled(dropDestination());

        if (!m_request.sourceResult) {
            std::vector<VideoFrame> remaining;
            QElapsedTimer timer;
            timer.start();
            const bool flushed = m_processor->flush(&remaining, &error);
            m_performance.motionProcessingUs += elapsedUs(timer);
            if (!flushed)
                return fail(error, dropDestination());
            takeStageTimings();
            for (VideoFrame &output : remaining) {
                if (cancellationRequested())
                    return ProcessingResult::cancelled(dropDestination());
                if (auto ended = writeOutput(output))
                    return ended;
            }
        }
        m_performance.frameLoopElapsedUs = elapsedUs(loopTimer);
        m_performance.totalElapsedUs = elapsedUs(m_totalTimer);
        m_source->close();

        if (m_framesWritten != m_framesRead)
            return fail(tr("The number of frames returned by motion processing does not match the input."),
                        dropDestination());
        if (cancellationRequested())
            return ProcessingResult::cancelled(dropDestination());
        return std::nullopt;
    }

    std::optional<ProcessingResult> finishDestination()
    {
        report(m_request.analysisMode ? tr("Finalizing the analysis result") : tr("Finalizing the staging video file"),
               m_framesRead, m_framesRead);
        QElapsedTimer timer;
        timer.start();
        QString error;
        const bool finished = m_destination->finish(&error);
        m_performance.encoderFinalizeUs += elapsedUs(timer);
        m_performance.totalElapsedUs = elapsedUs(m_totalTimer);
        if (!finished) {
            const QString warnings = joinMessages(m_destination->cleanupMessage(), removeFiles());
            return m_destination->cancelled() ? ProcessingResult::cancelled(warnings) : fail(error, warnings);
        }
        return std::nullopt;
    }

    ProcessingResult publish()
    {
        if (cancellationRequested())
            return ProcessingResult::cancelled(removeFiles());
        report(tr("Preparing the parameters file"), m_framesRead, m_framesRead);

        ProcessingRequest parametersRequest = m_request;
        parametersRequest.parametersFilePath = m_parametersPath;
        const double rate = m_opened.nominalFrameRate;
        parametersRequest.settings.startFrame = m_start;
        parametersRequest.settings.endFrameExclusive = m_end;
        parametersRequest.settings.playbackStartUs = media::frameTimeUs(m_start, rate);
        parametersRequest.settings.playbackEndUs = media::frameTimeUs(m_end, rate);

        QElapsedTimer timer;
        timer.start();
        QString error;
        const bool written = ProcessingParametersWriter::writeStagingFile(m_jsonStaging, parametersRequest, m_opened,
                                                                          m_captureFps, m_framesRead, &error);
        m_performance.parametersWriteUs += elapsedUs(timer);
        m_performance.totalElapsedUs = elapsedUs(m_totalTimer);
        if (!written)
            return fail(error, removeFiles());
        if (cancellationRequested())
            return ProcessingResult::cancelled(removeFiles());
        const QString &output = m_request.outputVideoPath;
        if (QFileInfo::exists(output) || QFileInfo::exists(m_parametersPath))
            return fail(tr("A final output file appeared during processing; publishing was cancelled."), removeFiles());

        report(tr("Publishing the result"), m_framesRead, m_framesRead);
        timer.restart();
        QString renameError;
        if (media::renameWithoutReplacing(m_videoStaging, output, &renameError) != media::RenameOutcome::Renamed)
            return fail(tr("Could not publish the video: %1").arg(renameError), removeFiles());
        m_videoStaging.clear();
        if (media::renameWithoutReplacing(m_jsonStaging, m_parametersPath, &renameError)
            != media::RenameOutcome::Renamed)
            return fail(tr("Could not publish the JSON file: %1").arg(renameError), rollBackVideo(output));
        m_jsonStaging.clear();
        m_performance.publicationUs += elapsedUs(timer);
        report(tr("Publishing the result"), m_framesRead, m_framesRead);

        ProcessingResult result;
        result.state = ProcessingState::Succeeded;
        result.outputVideoPath = output;
        result.parametersFilePath = m_parametersPath;
        result.performance = m_performance;
        return result;
    }

    // Takes the published video back after the parameters file could not be published.
    QString rollBackVideo(const QString &publishedPath)
    {
        const QString rollbackPath =
            VideoProcessingPipeline::stagingFileName(publishedPath, purposeFor(publishedPath, QStringLiteral("rollback")));
        if (media::renameWithoutReplacing(publishedPath, rollbackPath) == media::RenameOutcome::Renamed)
            return VideoProcessingPipeline::removeFilesQuietly({rollbackPath, m_jsonStaging});
        QFile published(publishedPath);
        if (published.remove())
            return VideoProcessingPipeline::removeFilesQuietly({m_jsonStaging});
        return joinMessages(
            tr("Could not roll back the published video %1: %2").arg(publishedPath, published.errorString()),
            VideoProcessingPipeline::removeFilesQuietly({m_jsonStaging}));
    }

    const ProcessingRequest &m_request;
    const motion_core::MotionSettings &m_settings;
    const ProgressCallback &m_progressCallback;
    media::CancellationState m_cancellation;
    QElapsedTimer m_totalTimer;
    ProcessingPerformance m_performance;

    QString m_parametersPath;
    QString m_videoStaging;
    QString m_jsonStaging;

    std::unique_ptr<media::IVideoSource> m_source;
    media::VideoMetadata m_opened;
    double m_captureFps = 0.0;
    qint64 m_start = 0;
    qint64 m_end = 0;
    qint64 m_count = 0;
    std::unique_ptr<motion_core::PhaseMotionProcessor> m_processor;
    VideoWatermarkRenderer m_watermark;
    std::shared_ptr<project_data::TemporaryVideo> m_store;
    std::unique_ptr<FrameDestination> m_destination;
    qint64 m_framesRead = 0;
    qint64 m_framesWritten = 0;
};

} // namespace

ProcessingResult VideoProcessingPipeline::run(const ProcessingRequest &request, const ProgressCallback &progressCallback,
                                              const media::CancellationCheck &cancellationCheck)
{
    return PipelineRun(request, progressCallback, cancellationCheck).execute();
}

QString VideoProcessingPipeline::stagingFileName(const QString &target, const QString &purpose)
{
    const QFileInfo info(target);
    const QString name = QStringLiteral(".%1.%2.%3")
                             .arg(info.fileName(), QUuid::createUuid().toString(QUuid::WithoutBraces), purpose);
    return QFileInfo(info.absoluteDir(), name).absoluteFilePath();
}

bool VideoProcessingPipeline::reserveStagingFile(const QString &target, const QString &purpose, QString *stagingPath,
                                                 QString *errorMessage)
{
    const QFileInfo info(target);
    const QString directory = info.absoluteDir().absolutePath();
    const auto fail = [errorMessage](const QString &message) {
        if (errorMessage)
            *errorMessage = message;
        return false;
    };
    if (info.fileName().isEmpty() || !info.absoluteDir().exists())
        return fail(tr("The output directory does not exist: %1").arg(directory));
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString candidate = stagingFileName(target, purpose);
        QFile file(candidate);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            file.close();
            *stagingPath = candidate;
            return true;
        }
        if (!QFileInfo::exists(candidate))
            return fail(tr("Could not create a staging file in %1: %2").arg(directory, file.errorString()));
    }
    return fail(tr("Could not choose a unique staging file name in %1.").arg(directory));
}

QString VideoProcessingPipeline::removeFilesQuietly(const QStringList &paths)
{
    QStringList warnings;
    for (const QString &path : paths) {
        if (path.isEmpty() || !QFileInfo::exists(path))
            continue;
        QFile file(path);
        if (!file.remove())
            warnings.append(tr("A file may remain at %1: %2").arg(path, file.errorString()));
    }
    return warnings.join(QLatin1Char(' '));
}

bool VideoProcessingPipeline::sameFile(const QString &first, const QString &second)
{
    if (first.isEmpty() || second.isEmpty())
        return false;
    const QFileInfo a(first);
    const QFileInfo b(second);
    if (QDir::cleanPath(a.absoluteFilePath()).compare(QDir::cleanPath(b.absoluteFilePath()), Qt::CaseInsensitive) == 0)
        return true;
    // Different spellings can still name one file (links); only existing files can tell.
    return a.exists() && b.exists() && a.canonicalFilePath() == b.canonicalFilePath();
}

} // namespace ovra::processing
