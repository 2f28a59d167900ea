// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/controllers/WorkerThread.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QtQmlIntegration/qqmlintegration.h>

#include <atomic>
#include <memory>
#include <optional>

class ControllerTestAccess;

namespace ovra::project_data {
class AnalysisResult;
}

namespace ovra::ui::controllers {
class AnalysisFragmentController;
class MediaRuntimeController;
class VideoSessionController;
} // namespace ovra::ui::controllers

namespace ovra::ui::controllers {

class PlaybackWorker;

// The player's state machine in the user-interface thread. The worker on the "Source video
// playback" thread decodes; answers whose request number is not the latest are dropped.
class PlaybackController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged FINAL)
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the player.")
    Q_PROPERTY(bool ready READ ready NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool busy READ busy NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool playing READ playing NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool hasFrame READ hasFrame NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool canPlay READ canPlay NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool canNavigate READ canNavigate NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool playPending READ playPending NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool pausePending READ pausePending NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool hasError READ hasError NOTIFY errorMessageChanged FINAL)
    Q_PROPERTY(bool hasResultFrame READ hasResultFrame NOTIFY resultStateChanged FINAL)
    Q_PROPERTY(qint64 currentFrameIndex READ currentFrameIndex NOTIFY positionChanged FINAL)
    Q_PROPERTY(double progress READ progress NOTIFY positionChanged FINAL)
    Q_PROPERTY(qint64 frameCount READ frameCount NOTIFY timelineChanged FINAL)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged FINAL)
    Q_PROPERTY(QString resultErrorMessage READ resultErrorMessage NOTIFY resultStateChanged FINAL)
    Q_PROPERTY(bool stabilizedSourceAvailable READ stabilizedSourceAvailable NOTIFY resultStateChanged FINAL)
    Q_PROPERTY(bool sourceStabilized READ sourceStabilized WRITE setSourceStabilized NOTIFY resultStateChanged FINAL)

public:
    PlaybackController(controllers::VideoSessionController *session, controllers::AnalysisFragmentController *fragment,
                       controllers::MediaRuntimeController *mediaRuntime, QObject *parent = nullptr);
    ~PlaybackController() override;

    // The one word for what the player is doing, the most urgent fact first. An error also
    // changes the state, so stateChanged follows every errorMessageChanged.
    enum class State {
        Unavailable,
        Ready,
        Loading,
        Starting,
        Playing,
        Pausing,
        Error
    };
    Q_ENUM(State)
    State state() const;

    bool ready() const { return m_ready; }
    bool busy() const { return m_busy; }
    bool playing() const { return m_playing; }
    bool hasFrame() const { return m_hasFrame; }
    bool canPlay() const;
    bool canNavigate() const { return canPlay() && !m_playing && m_frameCount >= 1; }
    // Nothing is being loaded, sought, played or paused. Unlike canNavigate also true after a
    // failure: the analysis result in its store may still be readable and worth saving.
    bool idle() const { return !m_busy && !m_playing && !m_playPending && !m_pausePending; }
    bool playPending() const { return m_playPending; }
    bool pausePending() const { return m_pausePending; }
    bool hasError() const { return !m_errorMessage.isEmpty(); }
    bool resultAvailable() const { return m_resultAvailable; }
    bool hasResultFrame() const { return m_hasResultFrame; }
    bool analysisRunning() const { return m_analysisRunning; }
    bool exportActive() const { return m_exportActive; }
    double playbackSpeed() const { return m_playbackSpeed; }
    qint64 positionUs() const { return m_positionUs; }
    qint64 currentFrameIndex() const { return m_currentFrameIndex; }
    double progress() const;
    qint64 durationUs() const { return m_durationUs; }
    qint64 frameCount() const { return m_frameCount; }
    QString errorMessage() const { return m_errorMessage; }
    QString resultErrorMessage() const { return m_resultErrorMessage; }
    // The result compensated the camera's motion: the source can be shown as the result saw it.
    bool stabilizedSourceAvailable() const;
    bool sourceStabilized() const { return m_sourceStabilized; }
    QImage currentFrame() const { return m_currentFrame; }
    QImage currentResultFrame() const { return m_resultFrame; }

    Q_INVOKABLE void togglePlayback();
    Q_INVOKABLE void setPlaybackSpeed(double speedFactor);
    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void seekToFraction(double fraction);
    Q_INVOKABLE void stepForward();
    Q_INVOKABLE void stepBackward();
    Q_INVOKABLE void retry();
    // Shows the source frames of the result's fragment stabilised, so that both sides line up.
    Q_INVOKABLE void setSourceStabilized(bool stabilized);

    // For the analysis and export controllers.
    bool configureResult(const std::shared_ptr<project_data::AnalysisResult> &result, qint64 startFrame,
                         qint64 endFrameExclusive);
    void clearResult();
    void setAnalysisRunning(bool active);
    void setExportActive(bool active);

signals:
    void stateChanged();
    void positionChanged();
    void timelineChanged();
    void playbackModeChanged();
    void errorMessageChanged();
    void frameReady(const QImage &image);
    void frameCleared();
    void resultStateChanged();
    void resultFrameReady(const QImage &image);
    void resultFrameCleared();

private:
    friend class ::ControllerTestAccess; // the tests feed stale answers and analysis outcomes

    struct Flags;
    Flags flags() const;
    // Runs change and emits stateChanged when one of the state flags changed.
    template <typename Change> void changeState(Change change);
    void refreshSource();
    void loadSource();
    void unloadSource();
    void setErrorMessage(const QString &message);
    void clearShownFrame();
    void clearResultState();
    void prepareNavigation();
    void activityChanged(bool *member, bool active);
    void handleFirstFrame(const QImage &image);
    void handleFramePair(qulonglong runNumber, const QImage &sourceImage, const QImage &resultImage,
                         qlonglong frameIndex, qlonglong presentationTimeUs);
    void handlePlayingChanged(qulonglong runNumber, bool playing);
    void handleEndReached(qulonglong runNumber);
    void handleOperationFailed(qulonglong runNumber, const QString &message);
    void handleResultConfiguration(qulonglong runNumber, bool available, const QString &message);

    controllers::VideoSessionController *m_session = nullptr;
    controllers::AnalysisFragmentController *m_fragment = nullptr;
    controllers::MediaRuntimeController *m_mediaRuntime = nullptr;
    controllers::WorkerThread<PlaybackWorker> m_worker;
    std::shared_ptr<std::atomic_bool> m_cancelFlag;
    QImage m_currentFrame;
    QImage m_resultFrame;
    QString m_loadedSourcePath;
    QString m_errorMessage;
    QString m_resultErrorMessage;
    // The result last paired with the source, paired again when a retry has reloaded the source.
    struct ResultPairing
    {
        std::shared_ptr<project_data::AnalysisResult> result;
        qint64 startFrame = 0;
        qint64 endFrameExclusive = 0;
    };
    std::optional<ResultPairing> m_pairing;
    bool m_pairAfterLoad = false;
    quint64 m_runNumber = 0;
    qint64 m_positionUs = 0;
    qint64 m_durationUs = 0;
    qint64 m_currentFrameIndex = -1;
    qint64 m_frameCount = 0;
    bool m_ready = false;
    bool m_busy = false;
    bool m_playing = false;
    bool m_playPending = false;
    bool m_pausePending = false;
    bool m_resultAvailable = false;
    bool m_hasResultFrame = false;
    bool m_analysisRunning = false;
    bool m_exportActive = false;
    bool m_hasFrame = false;
    bool m_sourceStabilized = false;
    double m_playbackSpeed = 1.0;
};

} // namespace ovra::ui::controllers
