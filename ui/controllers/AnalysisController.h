// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/ProcessingRecords.h"
#include "ui/controllers/JobController.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QtQmlIntegration/qqmlintegration.h>

#include <algorithm>
#include <memory>
#include <optional>

class ControllerTestAccess;

namespace ovra::project_data {
class AnalysisResult;
}

namespace ovra::ui::controllers {

class PlaybackController;
class MediaRuntimeController;
class ProcessingSettingsController;
class VideoSessionController;

// Creates the analysis result on its own low-priority thread and tracks whether it is current,
// saved or being replaced. Only the latest started run is listened to.
class AnalysisController : public ovra::ui::controllers::JobController
{
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged FINAL)
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the analysis.")
    Q_PROPERTY(bool available READ available NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool ready READ ready NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool stale READ stale NOTIFY stateChanged FINAL)
    Q_PROPERTY(qint64 startFrame READ startFrame NOTIFY stateChanged FINAL)
    Q_PROPERTY(qint64 endFrameExclusive READ endFrameExclusive NOTIFY stateChanged FINAL)
    Q_PROPERTY(qint64 frameCount READ frameCount NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool cameraMotionMeasured READ cameraMotionMeasured NOTIFY stateChanged FINAL)
    Q_PROPERTY(double cameraMotionRmsPixels READ cameraMotionRmsPixels NOTIFY stateChanged FINAL)
    Q_PROPERTY(double cameraMotionPeakPixels READ cameraMotionPeakPixels NOTIFY stateChanged FINAL)

public:
    AnalysisController(VideoSessionController *videoSession, MediaRuntimeController *mediaRuntime,
                       ProcessingSettingsController *settingsController, PlaybackController *playback,
                       QObject *parent = nullptr);
    ~AnalysisController() override;

    // The one word for what the analysis is doing, the most urgent fact first.
    enum class State {
        Unavailable,
        Available,
        Processing,
        Cancelling,
        Ready,
        Stale,
        Error
    };
    Q_ENUM(State)
    State state() const;

    bool unsaved() const { return m_ready && m_unsavedFlag; }
    qint64 storageBytes() const;
    bool available() const { return m_available; }
    bool ready() const { return m_ready; }
    bool stale() const { return m_stale; }
    qint64 startFrame() const { return m_startFrame; }
    qint64 endFrameExclusive() const { return m_endFrameExclusive; }
    qint64 frameCount() const { return std::max<qint64>(m_endFrameExclusive - m_startFrame, 0); }
    qint64 durationUs() const { return m_durationUs; }
    quint64 settingsRevision() const { return m_settingsRevision; }
    quint64 resultRevision() const { return m_resultRevision; }
    // How far the camera moved in the result's fragment, when the result compensated it.
    bool cameraMotionMeasured() const { return m_cameraMotion.has_value(); }
    double cameraMotionRmsPixels() const { return m_cameraMotion ? m_cameraMotion->rmsPixels : 0.0; }
    double cameraMotionPeakPixels() const { return m_cameraMotion ? m_cameraMotion->peakPixels : 0.0; }

    Q_INVOKABLE void acknowledgeDiscard();
    Q_INVOKABLE void discardResult();
    Q_INVOKABLE void startAnalysis();
    Q_INVOKABLE void cancel();

    // For the export controller, the diagnostics and the application controller.
    bool exportRequest(project_data::ProcessingRequest *request) const;
    QDateTime resultFinishedAt() const;
    void markSaved();
    const project_data::ProcessingPerformance &performance() const { return m_performance; }
    void shutdown();

private:
    friend class ::ControllerTestAccess; // the tests feed stale answers and analysis outcomes

    bool computeAvailable() const;
    void refresh();
    void checkAvailability();
    void resetResult();
    bool isResultCurrent() const;
    void handleProgress(const project_data::ProcessingProgress &progress);
    void handleFinished(const project_data::ProcessingResult &result);
    void handleSettingsChanged();
    void handleSourceChanged();

    VideoSessionController *m_videoSession = nullptr;
    MediaRuntimeController *m_mediaRuntime = nullptr;
    ProcessingSettingsController *m_settingsController = nullptr;
    PlaybackController *m_playback = nullptr;
    std::shared_ptr<project_data::AnalysisResult> m_result;
    project_data::ProcessingRequest m_pendingRequest;
    project_data::ProcessingRequest m_resultRequest;
    std::optional<motion_core::CameraMotionSummary> m_cameraMotion;
    bool m_unsavedFlag = false;
    project_data::ProcessingPerformance m_performance;
    quint64 m_settingsRevision = 1;
    quint64 m_requestedSettingsRevision = 0;
    quint64 m_resultRevision = 0;
    qint64 m_requestedStartFrame = 0;
    qint64 m_requestedEndFrame = 0;
    qint64 m_startFrame = 0;
    qint64 m_endFrameExclusive = 0;
    qint64 m_durationUs = 0;
    bool m_ready = false;
    bool m_stale = false;
    bool m_discardPending = false;
    bool m_available = false;
};

} // namespace ovra::ui::controllers
