// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/VideoProcessingPipeline.h"

#include "media/NoReplaceRename.h"
#include "media/StagingFile.h"
#include "media/libav/LibavVideoSink.h"
#include "media/libav/LibavVideoSource.h"
#include "motion_core/PhaseMotionProcessor.h"
#include "motion_core/TemporalBandpassFilter.h"
#include "processing/ComparisonComposer.h"
#include "processing/FrameDestination.h"
#include "processing/FrameReader.h"
#include "processing/FrameWriter.h"
#include "processing/ProcessingParametersWriter.h"
#include "processing/SettingsValidation.h"
#include "processing/SourceFrameFeed.h"
#include "processing/StabilizedVideoSource.h"
#include "processing/VideoWatermarkRenderer.h"
#include "project_data/AnalysisResult.h"
#include "project_data/AnalysisResultSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cmath>
#include <new>
#include <optional>
#include <system_error>
#include <vector>

#include <sys/stat.h>

namespace ovra::processing {

using media::VideoFrame;
using media::VideoReadStatus;
using project_data::joinMessages;
using project_data::ProcessingPerformance;
using project_data::ProcessingProgress;
using project_data::ProcessingRequest;
using project_data::ProcessingResult;
using project_data::ProcessingState;

namespace {

qint64 elapsedUs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1000;
}

// The state of one run; each step returns a finished result when the run must end there.
class PipelineRun
{
public:
    // Analyse: source -> motion -> watermark -> new store. ExportStored: a stored result ->
    // staged MP4. ExportDirect: source -> motion -> watermark -> staged MP4.
    enum class Mode {
        Analyse,
        ExportStored,
        ExportDirect
    };

    // The request's flag and stored result name the mode; an analysis into a stored result
    // names none.
    static std::optional<Mode> modeOf(const ProcessingRequest &request)
    {
        if (request.analysisMode)
            return request.sourceResult ? std::nullopt : std::optional(Mode::Analyse);
        return request.sourceResult ? Mode::ExportStored : Mode::ExportDirect;
    }

    PipelineRun(Mode mode, const ProcessingRequest &request, const ProgressCallback &progressCallback,
                const media::CancellationCheck &cancellationCheck)
        : m_mode(mode)
        , m_request(request)
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

    // Memory that runs out, or a thread that the system cannot start, ends the run like any
    // failure: with a message, and with what it created removed.
    ProcessingResult execute()
    {
        try {
            return executeSteps();
        } catch (const std::bad_alloc &) {
            return fail(VideoProcessingPipeline::tr("There is not enough memory to process the video."), cleanUp());
        } catch (const std::system_error &error) {
            return fail(VideoProcessingPipeline::tr("The system could not start a thread for processing: %1")
                            .arg(QString::fromLocal8Bit(error.code().message().c_str())),
                        cleanUp());
        }
    }

private:
    ProcessingResult executeSteps()
    {
        if (auto ended = prepare())
            return *ended;
        if (auto ended = openSource())
            return *ended;
        if (auto ended = planFragment())
            return *ended;
        if (auto ended = prepareComparison())
            return *ended;
        if (auto ended = openDestination())
            return *ended;
        if (auto ended = processFrames())
            return *ended;
        return m_mode == Mode::Analyse ? finishAnalysis() : publish();
    }

    bool cancellationRequested() { return m_cancellation.query(); }
    // Frames come from the source and go through the motion processor and the watermark.
    bool processesMotion() const { return m_mode != Mode::ExportStored; }
    // Each output frame shows its source frame beside or above it.
    bool compares() const { return m_mode != Mode::Analyse && m_request.layout != project_data::OutputLayout::Result; }

    // The caller's check runs on the caller's thread only; the reading and writing threads see
    // its sticky answer, which the frame loop refreshes before every frame.
    media::CancellationCheck componentCancellationCheck() { return m_cancellation.sharedCheck(); }

    // The reading and writing threads end before anything they use is closed or aborted.
    void stopWorkers()
    {
        if (m_reader)
            m_reader->stop();
        if (m_writer)
            m_writer->discard();
        m_sourceFeed.stop();
        takeWorkerTimes();
        m_reader.reset();
        m_writer.reset();
    }

    void takeWorkerTimes()
    {
        if (m_reader)
            m_performance.decoderUs = m_reader->busyUs();
        if (m_writer)
            m_performance.encoderWriteUs = m_writer->busyUs();
    }

    QString removeFiles() { return m_jsonStaging.remove(); }

    ProcessingResult fail(const QString &message, const QString &warnings = {})
    {
        return ProcessingResult::failed(message, warnings);
    }

    // Aborts the destination and removes the staging files; returns the warnings.
    QString dropDestination()
    {
        stopWorkers();
        m_destination->abort();
        return joinMessages(m_destination->cleanupMessage(), removeFiles());
    }

    // Whatever the run has created so far goes; returns the warnings.
    QString cleanUp() { return m_destination ? dropDestination() : removeFiles(); }

    // After a failed destination operation: abort it if still open and collect warnings.
    ProcessingResult destinationFailure(const QString &error)
    {
        stopWorkers();
        if (m_destination->isOpen())
            m_destination->abort();
        const QString warnings = joinMessages(m_destination->cleanupMessage(), removeFiles());
        return m_cancellation.cancelled() ? ProcessingResult::cancelled(warnings) : fail(error, warnings);
    }

    // A failed read: cancelled when the source saw a cancellation.
    ProcessingResult sourceFailure(const QString &error, const QString &warnings)
    {
        return m_source->cancelled() ? ProcessingResult::cancelled(warnings) : fail(error, warnings);
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
            return fail(VideoProcessingPipeline::tr("The input and output video paths are required."));
        if (m_mode == Mode::Analyse)
            return std::nullopt;

        m_parametersPath = m_request.parametersFilePath.isEmpty() ? m_request.outputVideoPath + QStringLiteral(".json")
                                                                  : m_request.parametersFilePath;
        const QString &output = m_request.outputVideoPath;
        if (VideoProcessingPipeline::sameFile(m_request.sourceMetadata.filePath, output)
            || VideoProcessingPipeline::sameFile(output, m_parametersPath) || QFileInfo::exists(output)
            || QFileInfo::exists(m_parametersPath))
            return fail(
                VideoProcessingPipeline::tr("An output path matches the input file or a result file already exists."));
        if (cancellationRequested())
            return ProcessingResult::cancelled();
        // What killed runs left beside the destinations goes before this run adds its own.
        media::StagingFile::removeAbandoned(QFileInfo(output).absolutePath());
        media::StagingFile::removeAbandoned(QFileInfo(m_parametersPath).absolutePath());
        QString error;
        if (!m_jsonStaging.reserve(m_parametersPath, &error))
            return fail(error);
        if (cancellationRequested())
            return ProcessingResult::cancelled(removeFiles());
        return std::nullopt;
    }

    std::optional<ProcessingResult> openSource()
    {
        report(VideoProcessingPipeline::tr("Opening source video"), 0, 0);
        if (!processesMotion())
            m_source = std::make_unique<project_data::AnalysisResultSource>(m_request.sourceResult);
        else
            m_source = decoder();

        QElapsedTimer timer;
        timer.start();
        QString error;
        const bool opened = openForReading(*m_source, m_request.sourceMetadata, &error);
        m_performance.sourceOpeningUs += elapsedUs(timer);
        if (!opened)
            return sourceFailure(error, removeFiles());
        if (cancellationRequested()) {
            m_source->close();
            return ProcessingResult::cancelled(removeFiles());
        }
        m_opened = m_source->metadata();
        return std::nullopt;
    }

    // The source's decoder, behind the camera motion compensation when the settings ask for it.
    std::unique_ptr<media::IVideoSource> decoder()
    {
        auto decoder = std::make_unique<media::libav::LibavVideoSource>(componentCancellationCheck(), 0);
        if (!m_settings.cameraMotionCompensationEnabled)
            return decoder;
        auto stabilized
            = std::make_unique<StabilizedVideoSource>(std::move(decoder), m_settings.stabilizationReferenceRegion);
        m_stabilizer = stabilized.get();
        return stabilized;
    }

    // How far the camera moved: measured by this run, or by the analysis whose store it exports;
    // about the centre of the frame as opened, since the source is closed once it is read.
    std::optional<motion_core::CameraMotionSummary> cameraMotion() const
    {
        if (m_stabilizer)
            return motion_core::summarizeCameraMotion(m_stabilizer->transforms(), m_opened.frameSize,
                                                      m_opened.pixelAspectRatio);
        if (m_mode == Mode::ExportStored && !m_request.sourceResult->cameraTransforms().empty())
            return motion_core::summarizeCameraMotion(m_request.sourceResult->cameraTransforms(), m_opened.frameSize,
                                                      m_opened.pixelAspectRatio);
        return std::nullopt;
    }

    std::optional<ProcessingResult> planFragment()
    {
        if (auto ended = processesMotion() ? requestedFragment() : storedFragment())
            return ended;
        m_count = m_end - m_start;

        m_captureFps = m_request.sourceMetadata.captureFrameRate > 0.0 ? m_request.sourceMetadata.captureFrameRate
                                                                       : m_opened.captureFrameRate;
        if (!std::isfinite(m_captureFps) || m_captureFps <= 0.0)
            return fail(
                VideoProcessingPipeline::tr("The camera capture frame rate is required before motion processing."),
                removeFiles());
        if (processesMotion()) {
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
            return fail(VideoProcessingPipeline::tr("The saved result does not match its frame range."), removeFiles());
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
                return fail(VideoProcessingPipeline::tr(
                                "The selected fragment contains irregular frame intervals. Select a verified uniform "
                                "section."),
                            removeFiles());
        }
        if (hasFrameRange) {
            if (m_opened.frameCount < 2 || first < 0 || endExclusive <= first || endExclusive - first < 2
                || endExclusive > m_opened.frameCount)
                return fail(VideoProcessingPipeline::tr("The selected frame range is invalid."), removeFiles());
            m_start = first;
            m_end = endExclusive;
            return std::nullopt;
        }
        const qint64 startUs = m_settings.playbackStartUs;
        const qint64 endUs = m_settings.playbackEndUs < 0 ? m_opened.durationUs : m_settings.playbackEndUs;
        if (startUs < 0 || m_opened.durationUs < 1 || startUs >= m_opened.durationUs || endUs <= startUs
            || endUs > m_opened.durationUs)
            return fail(VideoProcessingPipeline::tr("The selected time range is invalid."), removeFiles());
        const double rate = m_opened.nominalFrameRate;
        // -1 stands for "no frame" and fails the check below.
        m_start = media::firstFrameAtOrAfter(startUs, rate).value_or(-1);
        m_end
            = m_settings.playbackEndUs < 0 ? m_opened.frameCount : media::firstFrameAtOrAfter(endUs, rate).value_or(-1);
        if (m_opened.frameCount > 0)
            m_end = std::min(m_end, m_opened.frameCount);
        if (m_start < 0 || m_end <= m_start)
            return fail(
                VideoProcessingPipeline::tr("The time range contains no frames after alignment to frame boundaries."),
                removeFiles());
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
        if (!fragmentLongEnough(m_settings, m_captureFps, m_count))
            return fail(fragmentTooShortMessage(m_settings, m_captureFps), removeFiles());
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
            return sourceFailure(error, removeFiles());
        return std::nullopt;
    }

    // A stored result reads its source frames from the source video; a direct export keeps the
    // frames it decodes.
    std::optional<ProcessingResult> prepareComparison()
    {
        if (!compares())
            return std::nullopt;
        QString error;
        if (!m_composer.prepare(m_request.layout, m_opened.frameSize, ComparisonComposer::resultLabel(m_settings),
                                &error))
            return fail(error, removeFiles());
        if (processesMotion())
            return std::nullopt;
        if (!m_sourceFeed.openReading(m_request.sourceMetadata, m_start, m_count,
                                      m_request.sourceResult->cameraTransforms(), componentCancellationCheck(),
                                      &error)) {
            const bool cancelled = m_sourceFeed.cancelled();
            m_sourceFeed.stop();
            return cancelled ? ProcessingResult::cancelled(removeFiles()) : fail(error, removeFiles());
        }
        return std::nullopt;
    }

    std::optional<ProcessingResult> openDestination()
    {
        QString error;
        std::unique_ptr<media::IVideoSink> sink;
        if (m_mode == Mode::Analyse) {
            m_store = std::make_shared<project_data::AnalysisResult>(m_opened, m_start, m_count);
            if (!project_data::AnalysisResult::checkFreeSpace(m_opened.frameSize, m_count, &error)
                || !m_store->create(&error))
                return fail(error);
        } else {
            sink = std::make_unique<media::libav::LibavVideoSink>(componentCancellationCheck());
        }
        m_destination = std::make_unique<FrameDestination>(m_store, std::move(sink));
        media::VideoMetadata written = m_opened;
        if (compares())
            written.frameSize = m_composer.composedSize();
        QElapsedTimer timer;
        timer.start();
        const bool opened = m_destination->open(m_request.outputVideoPath, written, m_request.encoding, &error);
        m_performance.encoderStartupUs += elapsedUs(timer);
        if (!opened)
            return destinationFailure(error);
        return std::nullopt;
    }

    // Watermarks (for freshly processed frames) and writes one output frame.
    std::optional<ProcessingResult> writeOutput(VideoFrame &frame)
    {
        QString error;
        if (processesMotion() && !m_watermark.apply(frame.image, &error))
            return fail(error, dropDestination());
        if (compares()) {
            QImage source;
            if (!m_sourceFeed.next(&source, &error))
                return m_sourceFeed.cancelled() ? ProcessingResult::cancelled(dropDestination())
                                                : fail(error, dropDestination());
            if (!m_composer.compose(source, frame.image, &frame.image, &error))
                return fail(error, dropDestination());
        }
        if (!m_writer->write(std::move(frame), &error))
            return destinationFailure(error);
        ++m_framesWritten;
        return std::nullopt;
    }

    void takeStageTimings() { m_performance.takeStageTimings(m_processor->stageTimings()); }

    std::optional<ProcessingResult> processFrames()
    {
        report(VideoProcessingPipeline::tr("Processing frames"), 0, m_count);
        m_loopTimer.start();
        m_reader = std::make_unique<FrameReader>(*m_source, m_count);
        m_writer = std::make_unique<FrameWriter>(*m_destination);
        while (m_framesRead < m_count) {
            if (cancellationRequested()) {
                const QString warnings = dropDestination();
                m_source->close();
                return ProcessingResult::cancelled(warnings);
            }
            if (auto ended = processNextFrame())
                return ended;
            ++m_framesRead;
            m_performance.measuredFrames = m_framesRead;
            m_performance.frameLoopElapsedUs = elapsedUs(m_loopTimer);
            takeWorkerTimes();
            report(VideoProcessingPipeline::tr("Processing frames"), m_framesRead, m_count);
        }
        m_reader->stop();
        m_source->close();
        if (auto ended = flushProcessor())
            return ended;
        QString error;
        if (!m_writer->drain(&error))
            return destinationFailure(error);
        stopWorkers();
        m_performance.frameLoopElapsedUs = elapsedUs(m_loopTimer);
        m_performance.totalElapsedUs = elapsedUs(m_totalTimer);
        if (m_framesWritten != m_framesRead)
            return fail(VideoProcessingPipeline::tr(
                            "The number of frames returned by motion processing does not match the input."),
                        dropDestination());
        if (cancellationRequested())
            return ProcessingResult::cancelled(dropDestination());
        return std::nullopt;
    }

    // Reads one frame, processes it unless it comes from a stored result, and writes what the
    // processor gives back.
    std::optional<ProcessingResult> processNextFrame()
    {
        FrameReader::Read read = m_reader->next();
        if (read.status == VideoReadStatus::Failed)
            return sourceFailure(read.error, dropDestination());
        if (read.status == VideoReadStatus::EndOfStream)
            return fail(VideoProcessingPipeline::tr(
                            "The decoder reached the end of the stream before the calculated end of the time range."),
                        dropDestination());
        // The processor always sees a uniform capture-time grid numbered from the fragment start.
        VideoFrame &decoded = read.frame;
        decoded.presentationTimeUs = media::frameTimeUs(m_framesRead, m_captureFps);
        decoded.frameIndex = m_framesRead;
        if (!processesMotion())
            return writeOutput(decoded);
        if (compares())
            m_sourceFeed.keep(decoded.image);

        m_outputs.clear();
        QString error;
        QElapsedTimer timer;
        timer.start();
        const bool processed = m_processor->processFrame(decoded, &m_outputs, &error);
        m_performance.motionProcessingUs += elapsedUs(timer);
        if (!processed)
            return fail(error, dropDestination());
        takeStageTimings();
        return writeOutputs();
    }

    // The frames the processor still holds back at the end of the fragment.
    std::optional<ProcessingResult> flushProcessor()
    {
        if (!processesMotion())
            return std::nullopt;
        m_outputs.clear();
        QString error;
        QElapsedTimer timer;
        timer.start();
        const bool flushed = m_processor->flush(&m_outputs, &error);
        m_performance.motionProcessingUs += elapsedUs(timer);
        if (!flushed)
            return fail(error, dropDestination());
        takeStageTimings();
        return writeOutputs();
    }

    std::optional<ProcessingResult> writeOutputs()
    {
        for (VideoFrame &output : m_outputs) {
            if (auto ended = writeOutput(output))
                return ended;
        }
        return std::nullopt;
    }

    std::optional<ProcessingResult> finishDestination(const QString &stage)
    {
        report(stage, m_framesRead, m_framesRead);
        QElapsedTimer timer;
        timer.start();
        QString error;
        const bool finished = m_destination->finish(&error);
        m_performance.encoderFinalizeUs += elapsedUs(timer);
        m_performance.totalElapsedUs = elapsedUs(m_totalTimer);
        if (!finished)
            return destinationFailure(error);
        return std::nullopt;
    }

    ProcessingResult finishAnalysis()
    {
        if (auto ended = finishDestination(VideoProcessingPipeline::tr("Finalizing the analysis result")))
            return *ended;
        if (cancellationRequested())
            return ProcessingResult::cancelled();
        if (m_stabilizer)
            m_store->setCameraTransforms(m_stabilizer->transforms());
        ProcessingResult result;
        result.state = ProcessingState::Succeeded;
        result.analysisResult = m_store;
        result.performance = m_performance;
        result.cameraMotion = cameraMotion();
        return result;
    }

    // The parameters file is staged first, so that nothing can fail between the video's
    // publication (by the sink, at its finish) and the parameters file's.
    ProcessingResult publish()
    {
        if (auto ended = writeParameters())
            return *ended;
        const QString &output = m_request.outputVideoPath;
        if (QFileInfo::exists(output) || QFileInfo::exists(m_parametersPath))
            return fail(VideoProcessingPipeline::tr(
                            "A final output file appeared during processing; publishing was cancelled."),
                        dropDestination());
        if (auto ended = finishDestination(VideoProcessingPipeline::tr("Finalizing the staging video file")))
            return *ended;

        report(VideoProcessingPipeline::tr("Publishing the result"), m_framesRead, m_framesRead);
        QElapsedTimer timer;
        timer.start();
        QString renameError;
        if (media::renameWithoutReplacing(m_jsonStaging.path(), m_parametersPath, &renameError)
            != media::RenameOutcome::Renamed)
            return fail(VideoProcessingPipeline::tr("Could not publish the JSON file: %1").arg(renameError),
                        rollBackVideo(output));
        m_jsonStaging.release();
        m_performance.publicationUs += elapsedUs(timer);
        report(VideoProcessingPipeline::tr("Publishing the result"), m_framesRead, m_framesRead);

        ProcessingResult result;
        result.state = ProcessingState::Succeeded;
        result.outputVideoPath = output;
        result.parametersFilePath = m_parametersPath;
        result.performance = m_performance;
        result.cameraMotion = cameraMotion();
        return result;
    }

    std::optional<ProcessingResult> writeParameters()
    {
        report(VideoProcessingPipeline::tr("Preparing the parameters file"), m_framesRead, m_framesRead);
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
        const bool written = ProcessingParametersWriter::writeStagingFile(
            m_jsonStaging.path(), parametersRequest, m_opened, m_captureFps, m_framesRead, cameraMotion(), &error);
        m_performance.parametersWriteUs += elapsedUs(timer);
        m_performance.totalElapsedUs = elapsedUs(m_totalTimer);
        if (!written)
            return fail(error, dropDestination());
        if (cancellationRequested())
            return ProcessingResult::cancelled(dropDestination());
        return std::nullopt;
    }

    // Takes the published video back after the parameters file could not be published: first
    // out of sight under a staging name, then away.
    QString rollBackVideo(const QString &publishedPath)
    {
        const QString rollbackPath = media::StagingFile::pathFor(publishedPath);
        if (media::renameWithoutReplacing(publishedPath, rollbackPath) == media::RenameOutcome::Renamed)
            return joinMessages(media::removeFile(rollbackPath), removeFiles());
        QFile published(publishedPath);
        if (published.remove())
            return removeFiles();
        return joinMessages(VideoProcessingPipeline::tr("Could not roll back the published video %1: %2")
                                .arg(publishedPath, published.errorString()),
                            removeFiles());
    }

    const Mode m_mode;
    const ProcessingRequest &m_request;
    const motion_core::MotionSettings &m_settings;
    const ProgressCallback &m_progressCallback;
    media::CancellationState m_cancellation;
    QElapsedTimer m_totalTimer;
    ProcessingPerformance m_performance;

    QString m_parametersPath;
    media::StagingFile m_jsonStaging;

    std::unique_ptr<media::IVideoSource> m_source;
    StabilizedVideoSource *m_stabilizer = nullptr; // m_source, when it compensates camera motion
    media::VideoMetadata m_opened;
    double m_captureFps = 0.0;
    qint64 m_start = 0;
    qint64 m_end = 0;
    qint64 m_count = 0;
    std::unique_ptr<motion_core::PhaseMotionProcessor> m_processor;
    VideoWatermarkRenderer m_watermark;
    ComparisonComposer m_composer;
    SourceFrameFeed m_sourceFeed;
    std::shared_ptr<project_data::AnalysisResult> m_store;
    std::unique_ptr<FrameDestination> m_destination;
    // Declared after what they use, so that they end first.
    std::unique_ptr<FrameReader> m_reader;
    std::unique_ptr<FrameWriter> m_writer;
    std::vector<VideoFrame> m_outputs;
    QElapsedTimer m_loopTimer;
    qint64 m_framesRead = 0;
    qint64 m_framesWritten = 0;
};

} // namespace

ProcessingResult VideoProcessingPipeline::run(const ProcessingRequest &request,
                                              const ProgressCallback &progressCallback,
                                              const media::CancellationCheck &cancellationCheck)
{
    const std::optional<PipelineRun::Mode> mode = PipelineRun::modeOf(request);
    if (!mode)
        return ProcessingResult::failed(tr("Invalid analysis destination."));
    return PipelineRun(*mode, request, progressCallback, cancellationCheck).execute();
}

bool VideoProcessingPipeline::sameFile(const QString &first, const QString &second)
{
    if (first.isEmpty() || second.isEmpty())
        return false;
    // stat follows links, so hard links, symbolic links and other spellings all meet here.
    struct stat a = {};
    struct stat b = {};
    if (::stat(QFile::encodeName(first).constData(), &a) == 0 && ::stat(QFile::encodeName(second).constData(), &b) == 0)
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    return QDir::cleanPath(QFileInfo(first).absoluteFilePath())
        == QDir::cleanPath(QFileInfo(second).absoluteFilePath());
}

} // namespace ovra::processing
