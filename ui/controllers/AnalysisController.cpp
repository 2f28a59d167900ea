// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/AnalysisController.h"

#include "processing/VideoProcessingPipeline.h"
#include "project_data/AnalysisResult.h"
#include "ui/controllers/MediaRuntimeController.h"
#include "ui/controllers/PlaybackController.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/VideoSessionController.h"

#include <cmath>

namespace ovra::ui::controllers {

using project_data::ProcessingState;

AnalysisController::AnalysisController(VideoSessionController *videoSession, MediaRuntimeController *mediaRuntime,
                                       ProcessingSettingsController *settingsController, PlaybackController *playback,
                                       QObject *parent)
    : JobController(QStringLiteral("Processed video preview"), parent)
    , m_videoSession(videoSession)
    , m_mediaRuntime(mediaRuntime)
    , m_settingsController(settingsController)
    , m_playback(playback)
{
    connect(settingsController, &ProcessingSettingsController::settingsChanged, this,
            &AnalysisController::handleSettingsChanged);
    connect(videoSession, &VideoSessionController::sourceChanged, this, &AnalysisController::handleSourceChanged);
    connect(playback, &PlaybackController::stateChanged, this, &AnalysisController::checkAvailability);
    m_available = computeAvailable();
}

AnalysisController::State AnalysisController::state() const
{
    if (const auto state = jobState<State>(m_job, hasError()))
        return *state;
    if (ready())
        return stale() ? State::Stale : State::Ready;
    return available() ? State::Available : State::Unavailable;
}

AnalysisController::~AnalysisController()
{
    shutdown();
}

void AnalysisController::shutdown()
{
    m_job.stop();
}

qint64 AnalysisController::storageBytes() const
{
    return m_result ? m_result->storageBytes() : 0;
}

bool AnalysisController::computeAvailable() const
{
    return !busy() && m_mediaRuntime->available() && m_videoSession->ready() && m_playback->canNavigate()
        && m_settingsController->settingsValid();
}

void AnalysisController::refresh()
{
    m_available = computeAvailable();
    emit stateChanged();
}

void AnalysisController::checkAvailability()
{
    if (computeAvailable() != m_available)
        refresh();
}

void AnalysisController::startAnalysis()
{
    if (busy() || m_job.stopped())
        return;
    if (m_ready && m_unsavedFlag) {
        m_errorMessage = tr("Save or discard the current result before starting another analysis.");
        return refresh();
    }
    m_errorMessage.clear();
    project_data::ProcessingRequest request;
    QString error;
    if (!m_settingsController->buildRequest(&request, &error)) {
        m_errorMessage = error;
        return refresh();
    }
    if (!m_mediaRuntime->available()) {
        m_errorMessage = tr("Source playback and FFmpeg must be ready before starting analysis.");
        return refresh();
    }
    if (!m_playback->canNavigate()) {
        m_errorMessage = tr("Pause playback and wait until video navigation is ready before starting analysis.");
        return refresh();
    }
    request.analysisMode = true;
    m_pendingRequest = request;
    m_requestedStartFrame = request.settings.startFrame;
    m_requestedEndFrame = request.settings.endFrameExclusive;
    m_requestedSettingsRevision = m_settingsRevision;
    m_discardPending = false;
    const auto analyse = [request](const auto &progress, const auto &cancelled) {
        return processing::VideoProcessingPipeline().run(request, progress, cancelled);
    };
    m_job.startReporting(analyse, this, &AnalysisController::handleProgress, &AnalysisController::handleFinished);
    beginProgress(tr("Preparing analysis result"));
    m_performance = project_data::ProcessingPerformance();
    if (m_ready)
        m_stale = true;
    m_available = computeAvailable();
    emit stateChanged();
    emit progressChanged();
    m_playback->setAnalysisRunning(true);
}

void AnalysisController::cancel()
{
    if (!m_job.cancel())
        return;
    m_stageName = tr("Cancelling analysis result");
    refresh();
    emit progressChanged();
}

void AnalysisController::handleProgress(const project_data::ProcessingProgress &progress)
{
    m_performance = progress.performance;
    showProgress(progress);
}

void AnalysisController::handleFinished(const project_data::ProcessingResult &result)
{
    m_playback->setAnalysisRunning(false);
    if (m_discardPending) {
        m_stageName.clear();
        m_progress = 0.0;
        m_remainingTimeUs = 0;
        m_discardPending = false;
    } else {
        if (result.performance.hasData())
            m_performance = result.performance;
        if (result.state == ProcessingState::Succeeded) {
            if (m_playback->configureResult(result.analysisResult, m_requestedStartFrame, m_requestedEndFrame)) {
                m_result = result.analysisResult;
                m_resultRequest = m_pendingRequest;
                m_cameraMotion = result.cameraMotion;
                m_startFrame = m_requestedStartFrame;
                m_endFrameExclusive = m_requestedEndFrame;
                m_unsavedFlag = true;
                m_resultRevision = m_requestedSettingsRevision;
                const double rate = m_videoSession->playbackFrameRate();
                m_durationUs = rate > 0.0
                    ? std::llround(double(std::max<qint64>(m_endFrameExclusive - m_startFrame, 0)) * 1e6 / rate)
                    : 0;
                m_ready = true;
                m_stale = !isResultCurrent();
                m_progress = 1.0;
                m_remainingTimeUs = 0;
                m_stageName = tr("Analysis result is ready");
                m_errorMessage.clear();
            } else {
                m_stageName = tr("Analysis result failed");
                m_errorMessage = tr("Could not prepare the analysis result for playback.");
            }
        } else if (result.state == ProcessingState::Cancelled) {
            m_stageName = tr("Analysis result was cancelled");
            m_progress = 0.0;
            m_remainingTimeUs = 0;
            m_errorMessage.clear();
        } else {
            m_stageName = tr("Analysis result failed");
            m_progress = 0.0;
            m_remainingTimeUs = 0;
            m_errorMessage
                = result.errorMessage.isEmpty() ? tr("Could not create the analysis result.") : result.errorMessage;
        }
    }
    m_available = computeAvailable();
    emit stateChanged();
    emit progressChanged();
}

void AnalysisController::handleSettingsChanged()
{
    ++m_settingsRevision;
    if (m_ready)
        m_stale = !isResultCurrent();
    refresh();
}

void AnalysisController::handleSourceChanged()
{
    ++m_settingsRevision;
    if (busy()) {
        m_discardPending = true;
        m_job.cancel();
    }
    resetResult();
    m_performance = project_data::ProcessingPerformance();
    m_errorMessage.clear();
    refresh();
}

void AnalysisController::resetResult()
{
    m_result.reset();
    m_resultRequest = project_data::ProcessingRequest();
    m_cameraMotion.reset();
    m_unsavedFlag = m_ready = m_stale = false;
    m_resultRevision = 0;
    m_startFrame = m_endFrameExclusive = m_durationUs = 0;
    m_progress = 0.0;
    m_remainingTimeUs = 0;
    m_stageName.clear();
}

void AnalysisController::discardResult()
{
    if (busy() || m_playback->exportActive())
        return;
    m_playback->clearResult();
    resetResult();
    refresh();
}

void AnalysisController::acknowledgeDiscard()
{
    if (busy())
        return;
    m_unsavedFlag = false;
    refresh();
}

void AnalysisController::markSaved()
{
    m_unsavedFlag = false;
    refresh();
}

bool AnalysisController::isResultCurrent() const
{
    if (!m_result)
        return false;
    const project_data::ProcessingRequest &request = m_resultRequest;
    const motion_core::MotionSettings now = m_settingsController->settings();
    const motion_core::MotionSettings &then = request.settings;
    return m_videoSession->filePath() == request.sourceMetadata.filePath
        && m_videoSession->captureFrameRate() == request.sourceMetadata.captureFrameRate
        && now.startFrame == then.startFrame && now.endFrameExclusive == then.endFrameExclusive
        && now.lowerFrequencyHz == then.lowerFrequencyHz && now.upperFrequencyHz == then.upperFrequencyHz
        && now.amplificationFactor == then.amplificationFactor && now.regionOfInterest == then.regionOfInterest
        && now.cameraMotionCompensationEnabled == then.cameraMotionCompensationEnabled
        && (!now.cameraMotionCompensationEnabled
            || now.stabilizationReferenceRegion == then.stabilizationReferenceRegion)
        && now.regionProcessingOptimizationEnabled == then.regionProcessingOptimizationEnabled
        && now.workerThreadCount == then.workerThreadCount && now.rotationSpeedRpm == then.rotationSpeedRpm;
}

bool AnalysisController::exportRequest(project_data::ProcessingRequest *request) const
{
    if (!m_ready || !m_result || !request)
        return false;
    *request = m_resultRequest;
    request->analysisMode = false;
    request->sourceResult = m_result;
    return true;
}

QDateTime AnalysisController::resultFinishedAt() const
{
    return m_result ? m_result->finishedAt() : QDateTime();
}

} // namespace ovra::ui::controllers
