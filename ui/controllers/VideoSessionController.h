// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoMetadata.h"
#include "ui/controllers/BackgroundJob.h"

#include <QImage>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQmlIntegration/qqmlintegration.h>

class ControllerTestAccess;

namespace ovra::ui::controllers {

class MediaRuntimeController;

// The outcome of one source analysis, handed from the analysis thread to the controller.
struct VideoAnalysisResult
{
    media::VideoMetadata metadata;
    QString errorMessage;
    bool succeeded = false;
    bool cancelled = false;

    static VideoAnalysisResult success(const media::VideoMetadata &metadata);
    static VideoAnalysisResult failure(const QString &message);
    static VideoAnalysisResult cancellation();
};

// The source video: which file is open, its analysed metadata and the capture rate in force.
// Lives in the user-interface thread; the analysis runs on a thread of its own.
class VideoSessionController : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the video session.")
    Q_PROPERTY(AnalysisState state READ state NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool busy READ busy NOTIFY stateChanged FINAL)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged FINAL)
    Q_PROPERTY(bool progressKnown READ progressKnown NOTIFY progressChanged FINAL)
    Q_PROPERTY(bool cancelling READ cancelling NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool ready READ ready NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool hasError READ hasError NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool cancelled READ cancelled NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool hasSource READ hasSource NOTIFY sourceChanged FINAL)
    Q_PROPERTY(QString fileName READ fileName NOTIFY sourceChanged FINAL)
    Q_PROPERTY(QString filePath READ filePath NOTIFY sourceChanged FINAL)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged FINAL)
    Q_PROPERTY(QString containerName READ containerName NOTIFY videoInfoChanged FINAL)
    Q_PROPERTY(QString codecName READ codecName NOTIFY videoInfoChanged FINAL)
    Q_PROPERTY(int frameWidth READ frameWidth NOTIFY videoInfoChanged FINAL)
    Q_PROPERTY(int frameHeight READ frameHeight NOTIFY videoInfoChanged FINAL)
    Q_PROPERTY(double pixelAspectRatio READ pixelAspectRatio NOTIFY videoInfoChanged FINAL)
    Q_PROPERTY(qint64 frameCount READ frameCount NOTIFY videoInfoChanged FINAL)
    Q_PROPERTY(double captureFrameRate READ captureFrameRate NOTIFY videoInfoChanged FINAL)
    Q_PROPERTY(bool captureFrameRateManual READ captureFrameRateManual NOTIFY videoInfoChanged FINAL)
    Q_PROPERTY(bool captureTimingMapRequired READ captureTimingMapRequired NOTIFY videoInfoChanged FINAL)
    Q_PROPERTY(bool variableFrameRate READ variableFrameRate NOTIFY videoInfoChanged FINAL)
    Q_PROPERTY(bool captureFrameRateRequired READ captureFrameRateRequired NOTIFY videoInfoChanged FINAL)

public:
    enum class AnalysisState {
        Empty = 0,
        Analyzing = 1,
        Cancelling = 2,
        Ready = 3,
        Error = 4,
        Cancelled = 5
    };
    Q_ENUM(AnalysisState)

    explicit VideoSessionController(MediaRuntimeController *mediaRuntime, QObject *parent = nullptr);
    ~VideoSessionController() override;

    AnalysisState state() const { return m_state; }
    bool busy() const { return m_state == AnalysisState::Analyzing || m_state == AnalysisState::Cancelling; }
    double progress() const { return m_progress; }
    bool progressKnown() const { return m_progressKnown; }
    bool cancelling() const { return m_state == AnalysisState::Cancelling; }
    bool ready() const { return m_state == AnalysisState::Ready; }
    bool hasError() const { return m_state == AnalysisState::Error; }
    bool cancelled() const { return m_state == AnalysisState::Cancelled; }
    bool hasSource() const { return !m_filePath.isEmpty(); }
    QString fileName() const { return m_fileName; }
    QString filePath() const { return m_filePath; }
    QString errorMessage() const { return m_errorMessage; }
    QString containerName() const { return m_metadata.containerName; }
    QString codecName() const { return m_metadata.codecName; }
    int frameWidth() const { return m_metadata.frameSize.width(); }
    int frameHeight() const { return m_metadata.frameSize.height(); }
    double pixelAspectRatio() const { return m_metadata.pixelAspectRatio; }
    qint64 durationUs() const { return m_metadata.durationUs; }
    qint64 frameCount() const { return m_metadata.frameCount; }
    double nominalFrameRate() const { return m_metadata.nominalFrameRate; }
    double playbackFrameRate() const { return m_metadata.playbackFrameRate(); }
    double detectedCaptureFrameRate() const { return m_metadata.detectedCaptureFrameRate; }
    double captureFrameRate() const { return m_metadata.captureFrameRate; }
    double effectiveFrameRate() const { return m_metadata.effectiveFrameRate(); }
    double averageSlowMotionFactor() const { return m_metadata.averageSlowMotionFactor(); }
    bool captureFrameRateKnown() const { return m_metadata.captureFrameRateKnown(); }
    bool captureFrameRateManual() const { return m_metadata.captureFrameRateManual; }
    bool captureTimingMapRequired() const { return m_metadata.captureTimingMapRequired(); }
    bool variableFrameRate() const { return m_metadata.variableFrameRate; }
    bool captureFrameRateRequired() const
    {
        return !m_metadata.filePath.isEmpty() && !m_metadata.captureFrameRateKnown();
    }
    qint64 estimatedRecordingDurationUs() const { return m_metadata.estimatedRecordingDurationUs(); }

    const media::VideoMetadata &metadata() const { return m_metadata; }

    // Interaction locks, set by the application controller.
    void setEditingLocked(bool locked) { m_editingLocked = locked; }
    void setUnsavedResultPending(bool pending) { m_unsavedResultPending = pending; }
    bool editingLocked() const { return m_editingLocked; }
    bool unsavedResultPending() const { return m_unsavedResultPending; }

    Q_INVOKABLE void openSource(const QUrl &fileUrl);
    Q_INVOKABLE void retryAnalysis();
    Q_INVOKABLE void cancelAnalysis();
    Q_INVOKABLE bool setCaptureFrameRate(double framesPerSecond);
    Q_INVOKABLE void clearCaptureFrameRateOverride();

signals:
    void progressChanged();
    void firstFrameReady(const QImage &image);
    void stateChanged();
    void sourceChanged();
    void videoInfoChanged();
    void errorMessageChanged();

private:
    friend class ::ControllerTestAccess; // the tests feed stale answers and analysis outcomes

    void setErrorMessage(const QString &message);
    void resetMetadata();
    void setState(AnalysisState state);
    void refuse(const QString &fileName, const QString &message);
    void startAnalysis();
    void applyProgress(double value);
    void applyFirstFrame(const QImage &image);
    void completeAnalysis(const VideoAnalysisResult &result);
    VideoAnalysisResult analyse(const QString &filePath, const JobRun &run);

    bool m_editingLocked = false;
    bool m_unsavedResultPending = false;
    MediaRuntimeController *m_mediaRuntime = nullptr;
    media::VideoMetadata m_metadata;
    AnalysisState m_state = AnalysisState::Empty;
    QString m_fileName;
    QString m_filePath;
    QString m_errorMessage;
    double m_progress = 0.0;
    bool m_progressKnown = false;
    BackgroundJob m_job; // last: it stops before anything its runs use goes away
};

} // namespace ovra::ui::controllers

Q_DECLARE_METATYPE(ovra::ui::controllers::VideoAnalysisResult)
