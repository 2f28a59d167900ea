// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/ExportController.h"

#include "processing/VideoProcessingPipeline.h"
#include "project_data/AnalysisResult.h"
#include "ui/controllers/AnalysisController.h"
#include "ui/controllers/MediaRuntimeController.h"
#include "ui/controllers/PlaybackController.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace ovra::ui::controllers {

using project_data::ProcessingState;

ExportController::ExportController(VideoSessionController *videoSession, MediaRuntimeController *mediaRuntime,
                                   ProcessingSettingsController *settingsController, PlaybackController *playback,
                                   AnalysisController *analysis, QObject *parent)
    : JobController(QStringLiteral("Processed video export"), parent)
    , m_videoSession(videoSession)
    , m_mediaRuntime(mediaRuntime)
    , m_settingsController(settingsController)
    , m_playback(playback)
    , m_analysis(analysis)
{
    connect(videoSession, &VideoSessionController::sourceChanged, this, &ExportController::handleSourceChanged);
    connect(settingsController, &ProcessingSettingsController::settingsChanged, this, &ExportController::refresh);
    connect(playback, &PlaybackController::stateChanged, this, &ExportController::refresh);
    connect(analysis, &AnalysisController::stateChanged, this, &ExportController::refresh);
    m_available = computeAvailable();
}

ExportController::State ExportController::state() const
{
    if (const auto state = jobState<State>(m_job, hasError()))
        return *state;
    if (completed())
        return State::Completed;
    if (canStart())
        return State::Ready;
    return available() ? State::Available : State::Unavailable;
}

ExportController::~ExportController()
{
    shutdown();
}

void ExportController::shutdown()
{
    if (m_job.stopped())
        return;
    m_job.stop();
    m_playback->setExportActive(false);
}

QString ExportController::preferredDirectoryPath() const
{
    if (!m_preferredDirectory.isEmpty())
        return m_preferredDirectory;
    return m_videoSession->hasSource() ? QFileInfo(m_videoSession->filePath()).absolutePath() : QString();
}

bool ExportController::computeAvailable() const
{
    return !busy() && m_mediaRuntime->available() && m_videoSession->ready() && m_analysis->ready()
        && !m_analysis->busy() && m_playback->idle();
}

bool ExportController::canStart() const
{
    return m_available && !m_destinationFilePath.isEmpty() && validateDestination(m_destinationFilePath, nullptr);
}

QString ExportController::destinationFileName() const
{
    return QFileInfo(m_destinationFilePath).fileName();
}

void ExportController::refresh()
{
    const bool available = computeAvailable();
    if (m_completed && m_analysis->resultFinishedAt() != m_exportedResultFinishedAt) {
        m_completed = false;
        m_available = available;
        emit stateChanged();
    } else if (available != m_available) {
        m_available = available;
        emit stateChanged();
    }
}

void ExportController::refuse(const QString &message)
{
    m_errorMessage = message;
    m_available = computeAvailable();
    emit stateChanged();
}

bool ExportController::validateDestination(const QString &path, QString *errorMessage) const
{
    QString message;
    const QFileInfo file(path.trimmed());
    const QFileInfo folder(file.absolutePath());
    if (path.trimmed().isEmpty())
        message = tr("Choose where to save the processed MP4 file.");
    else if (file.suffix().compare(QLatin1String("mp4"), Qt::CaseInsensitive) != 0
             && file.suffix().compare(QLatin1String("mkv"), Qt::CaseInsensitive) != 0)
        message = tr("The processed video must use the .mp4 or the lossless .mkv extension.");
    else if (!folder.exists() || !folder.isDir())
        message = tr("The destination folder does not exist.");
    else if (!folder.isWritable())
        message = tr("The destination folder is not writable.");
    else if (m_videoSession->hasSource()
             && processing::VideoProcessingPipeline::sameFile(file.absoluteFilePath(), m_videoSession->filePath()))
        message = tr("The output file must differ from the source video.");
    else if (file.exists())
        message = tr("The selected output file already exists.");
    else if (QFileInfo::exists(file.filePath() + QStringLiteral(".json")))
        message = tr("The export parameters file already exists.");
    if (errorMessage)
        *errorMessage = message;
    return message.isEmpty();
}

bool ExportController::setDestination(const QUrl &fileUrl)
{
    if (!fileUrl.isValid() || !fileUrl.isLocalFile()) {
        refuse(tr("Choose a local MP4 file."));
        return false;
    }
    return setDestinationPath(fileUrl.toLocalFile());
}

bool ExportController::setDestinationPath(const QString &path, QString *errorText)
{
    QString error;
    if (busy())
        error = tr("Wait until the current export finishes.");
    QString p = path.trimmed();
    if (!p.isEmpty()) {
        p = QDir::cleanPath(QFileInfo(p).absoluteFilePath());
        if (QFileInfo(p).suffix().isEmpty())
            p += QStringLiteral(".mp4");
    }
    if (error.isEmpty())
        validateDestination(p, &error);
    if (!error.isEmpty()) {
        if (errorText)
            *errorText = error;
        refuse(error);
        return false;
    }
    m_destinationFilePath = p;
    m_parametersFilePath = p + QStringLiteral(".json");
    m_completed = false;
    m_frameCount = m_durationUs = m_remainingTimeUs = 0;
    m_progress = 0.0;
    m_stageName = tr("Destination is ready");
    m_performance = project_data::ProcessingPerformance();
    m_errorMessage.clear();
    m_available = computeAvailable();
    emit stateChanged();
    emit progressChanged();
    return true;
}

bool ExportController::setPreferredDirectory(const QUrl &directory)
{
    if (busy() || !directory.isLocalFile() || !QFileInfo(directory.toLocalFile()).isDir())
        return false;
    m_preferredDirectory = QDir::cleanPath(directory.toLocalFile());
    m_available = computeAvailable();
    emit stateChanged();
    return true;
}

QUrl ExportController::suggestedFileUrl() const
{
    if (!m_videoSession->hasSource())
        return {};
    const QString base = QFileInfo(m_videoSession->filePath()).completeBaseName();
    const QString name = base.isEmpty() ? QStringLiteral("processed-video")
                                        : base + QStringLiteral("_analysis_")
            + m_analysis->resultFinishedAt().toLocalTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QDir folder(preferredDirectoryPath());
    QString candidate = folder.filePath(name + QStringLiteral(".mp4"));
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo::exists(candidate + QStringLiteral(".json")); ++n)
        candidate = folder.filePath(name + QStringLiteral("-%1.mp4").arg(n));
    return QUrl::fromLocalFile(candidate);
}

QStringList ExportController::layoutNames() const
{
    //: What a saved video shows: the result alone, the source beside it, or the source above it.
    return {tr("Result only"), tr("Side by side"), tr("Stacked")};
}

void ExportController::setLayoutIndex(int index)
{
    if (index < 0 || index >= layoutNames().size() || index == layoutIndex())
        return;
    m_layout = static_cast<project_data::OutputLayout>(index);
    emit layoutChanged();
}

void ExportController::startExport()
{
    if (busy() || m_job.stopped())
        return;
    m_errorMessage.clear();
    QString error;
    if (!validateDestination(m_destinationFilePath, &error))
        return refuse(error);
    project_data::ProcessingRequest request;
    // Without a result the user must create one; with one, the player or the analysis must settle first.
    if (!m_analysis->exportRequest(&request))
        return refuse(tr("Create an analysis result before saving."));
    if (!computeAvailable())
        return refuse(tr("Pause playback and wait until video processing is ready before exporting."));
    request.outputVideoPath = m_destinationFilePath;
    request.parametersFilePath = m_parametersFilePath;
    request.encoding = media::VideoEncodingSettings::forOutputPath(m_destinationFilePath);
    request.measurementScale = m_measurementScale;
    request.layout = m_layout;
    // The stored result's own fragment, which is what the export writes.
    m_exportStartFrame = request.sourceResult->firstFrameIndex();
    m_exportEndFrame = m_exportStartFrame + request.sourceResult->frameCount();
    m_playbackFrameRate = request.sourceMetadata.playbackFrameRate();
    const auto save = [request](const auto &progress, const auto &cancelled) {
        return processing::VideoProcessingPipeline().run(request, progress, cancelled);
    };
    m_job.startReporting(save, this, &ExportController::handleProgress, &ExportController::handleFinished);
    m_completed = false;
    m_frameCount = m_durationUs = 0;
    beginProgress(tr("Preparing processed video export"));
    m_performance = project_data::ProcessingPerformance();
    m_available = computeAvailable();
    emit stateChanged();
    emit progressChanged();
    m_playback->setExportActive(true);
}

void ExportController::cancel()
{
    if (!m_job.cancel())
        return;
    m_stageName = tr("Cancelling processed video export");
    m_available = computeAvailable();
    emit stateChanged();
    emit progressChanged();
}

void ExportController::handleProgress(const project_data::ProcessingProgress &progress)
{
    m_performance = progress.performance;
    showProgress(progress);
}

void ExportController::handleFinished(const project_data::ProcessingResult &result)
{
    m_remainingTimeUs = 0;
    if (result.performance.hasData())
        m_performance = result.performance;
    if (result.state == ProcessingState::Succeeded) {
        m_destinationFilePath = result.outputVideoPath;
        m_parametersFilePath = result.parametersFilePath;
        m_frameCount = std::max<qint64>(m_exportEndFrame - m_exportStartFrame, 0);
        m_durationUs = m_playbackFrameRate > 0.0 ? std::llround(double(m_frameCount) * 1e6 / m_playbackFrameRate) : 0;
        m_progress = 1.0;
        m_exportedResultFinishedAt = m_analysis->resultFinishedAt();
        m_completed = true;
        ++m_exportRevision;
        m_stageName = tr("Processed video was saved");
        m_errorMessage.clear();
    } else if (result.state == ProcessingState::Cancelled) {
        m_progress = 0.0;
        m_completed = false;
        m_stageName = tr("Processed video export was cancelled");
        m_errorMessage.clear();
    } else {
        m_progress = 0.0;
        m_completed = false;
        m_stageName = tr("Processed video export failed");
        m_errorMessage
            = result.errorMessage.isEmpty() ? tr("Could not export the processed video.") : result.errorMessage;
    }
    m_playback->setExportActive(false);
    // Before this controller tells anyone, so that whoever continues after the save finds the
    // result saved and the session free to open another video.
    if (m_completed)
        m_analysis->markSaved();
    m_available = computeAvailable();
    emit stateChanged();
    emit progressChanged();
}

void ExportController::handleSourceChanged()
{
    if (busy()) {
        m_job.cancel();
    } else {
        m_destinationFilePath.clear();
        m_parametersFilePath.clear();
        m_stageName.clear();
        m_progress = 0.0;
        m_completed = false;
        m_frameCount = m_durationUs = m_remainingTimeUs = 0;
        m_performance = project_data::ProcessingPerformance();
        m_errorMessage.clear();
    }
    m_available = computeAvailable();
    emit stateChanged();
    emit progressChanged();
}

bool ExportController::openOutputFolder() const
{
    if (m_destinationFilePath.isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(m_destinationFilePath).absolutePath()));
}

} // namespace ovra::ui::controllers
