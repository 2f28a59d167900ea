// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/VideoSessionController.h"

#include "media/libav/LibavVideoAnalyzer.h"
#include "ui/controllers/MediaRuntimeController.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace ovra::ui::controllers {

VideoAnalysisResult VideoAnalysisResult::success(const media::VideoMetadata &metadata)
{
    VideoAnalysisResult result;
    result.metadata = metadata;
    result.succeeded = true;
    return result;
}

VideoAnalysisResult VideoAnalysisResult::failure(const QString &message)
{
    VideoAnalysisResult result;
    result.errorMessage = message;
    return result;
}

VideoAnalysisResult VideoAnalysisResult::cancellation()
{
    VideoAnalysisResult result;
    result.cancelled = true;
    return result;
}

VideoSessionController::VideoSessionController(MediaRuntimeController *mediaRuntime, QObject *parent)
    : QObject(parent)
    , m_mediaRuntime(mediaRuntime)
    , m_job(QStringLiteral("Source video analysis"), this)
{
}

VideoSessionController::~VideoSessionController() = default;

void VideoSessionController::setErrorMessage(const QString &message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = message;
    emit errorMessageChanged();
}

void VideoSessionController::resetMetadata()
{
    m_metadata = media::VideoMetadata();
    emit videoInfoChanged();
}

void VideoSessionController::setState(AnalysisState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void VideoSessionController::openSource(const QUrl &fileUrl)
{
    if (m_editingLocked)
        return;
    if (m_unsavedResultPending) {
        setErrorMessage(tr("Save or discard the current analysis result before opening another video."));
        return;
    }
    if (busy())
        return;
    if (!fileUrl.isValid() || fileUrl.isEmpty())
        return refuse(QString(), tr("No video file was selected."));
    if (!fileUrl.isLocalFile())
        return refuse(fileUrl.fileName(QUrl::FullyDecoded), tr("Only local video files can be analyzed."));
    const QString path = QFileInfo(fileUrl.toLocalFile()).absoluteFilePath();
    if (path.isEmpty())
        return refuse(fileUrl.fileName(QUrl::FullyDecoded), tr("No video file was selected."));
    m_fileName = QFileInfo(path).fileName();
    m_filePath = path;
    setErrorMessage(QString());
    resetMetadata();
    emit sourceChanged();
    startAnalysis();
}

void VideoSessionController::refuse(const QString &fileName, const QString &message)
{
    m_fileName = fileName;
    m_filePath.clear();
    setErrorMessage(message);
    resetMetadata();
    emit sourceChanged();
    setState(AnalysisState::Error);
}

void VideoSessionController::startAnalysis()
{
    if (!m_mediaRuntime || !m_mediaRuntime->available()) {
        setErrorMessage(m_mediaRuntime ? m_mediaRuntime->errorMessage()
                                       : tr("The system's FFmpeg libraries are unavailable."));
        setState(AnalysisState::Error);
        return;
    }
    setState(AnalysisState::Analyzing);
    m_progress = 0.0;
    m_progressKnown = false;
    emit progressChanged();
    m_job.start([this, path = m_filePath](const JobRun &run) { return analyse(path, run); },
                [this](const VideoAnalysisResult &result) { completeAnalysis(result); });
}

// On the analysis thread: only the analyser's own state and the run are touched here.
VideoAnalysisResult VideoSessionController::analyse(const QString &filePath, const JobRun &run)
{
    const media::CancellationCheck cancelled = run.cancellationCheck();
    media::libav::LibavVideoAnalyzer analyzer(cancelled);
    const auto progress = [this, run](double value) { run.answer([this, value] { applyProgress(value); }); };
    const auto firstFrame = [this, run](const QImage &image) { run.answer([this, image] { applyFirstFrame(image); }); };
    media::VideoMetadata metadata;
    QString error;
    const bool ok = analyzer.analyze(filePath, &metadata, &error, firstFrame, progress);
    if (ok && !cancelled())
        return VideoAnalysisResult::success(metadata);
    if (!ok && !analyzer.cancelled() && !cancelled())
        return VideoAnalysisResult::failure(error);
    return VideoAnalysisResult::cancellation();
}

void VideoSessionController::applyProgress(double value)
{
    if (m_job.cancelling())
        return;
    m_progressKnown = std::isfinite(value) && value >= 0.0;
    if (m_progressKnown)
        m_progress = std::max(m_progress, std::clamp(value, 0.0, 0.99));
    emit progressChanged();
}

void VideoSessionController::applyFirstFrame(const QImage &image)
{
    if (!m_job.cancelling())
        emit firstFrameReady(image);
}

void VideoSessionController::completeAnalysis(const VideoAnalysisResult &result)
{
    if (m_state == AnalysisState::Cancelling || result.cancelled) {
        setErrorMessage(QString());
        resetMetadata();
        setState(AnalysisState::Cancelled);
    } else if (result.succeeded) {
        setErrorMessage(QString());
        m_metadata = result.metadata;
        m_metadata.captureFrameRate = 240.0;
        m_metadata.captureFrameRateManual = true;
        m_progress = 1.0;
        m_progressKnown = true;
        emit progressChanged();
        emit videoInfoChanged();
        setState(AnalysisState::Ready);
    } else {
        setErrorMessage(result.errorMessage.isEmpty() ? tr("Video analysis failed.") : result.errorMessage);
        resetMetadata();
        setState(AnalysisState::Error);
    }
}

void VideoSessionController::cancelAnalysis()
{
    if (m_state != AnalysisState::Analyzing)
        return;
    m_job.cancel();
    setState(AnalysisState::Cancelling);
}

void VideoSessionController::retryAnalysis()
{
    if (m_editingLocked || busy() || m_filePath.isEmpty())
        return;
    setErrorMessage(QString());
    resetMetadata();
    startAnalysis();
}

bool VideoSessionController::setCaptureFrameRate(double framesPerSecond)
{
    if (m_editingLocked || m_metadata.filePath.isEmpty() || !std::isfinite(framesPerSecond) || framesPerSecond <= 0.0
        || framesPerSecond > 10000.0)
        return false;
    if (framesPerSecond == m_metadata.captureFrameRate && m_metadata.captureFrameRateManual)
        return true;
    m_metadata.captureFrameRate = framesPerSecond;
    m_metadata.captureFrameRateManual = true;
    emit videoInfoChanged();
    return true;
}

void VideoSessionController::clearCaptureFrameRateOverride()
{
    if (m_editingLocked || !m_metadata.captureFrameRateManual)
        return;
    m_metadata.captureFrameRate = m_metadata.detectedCaptureFrameRate;
    m_metadata.captureFrameRateManual = false;
    emit videoInfoChanged();
}

} // namespace ovra::ui::controllers
