// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/ProcessingRecords.h"
#include "ui/controllers/JobController.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtQmlIntegration/qqmlintegration.h>

#include <optional>

class ControllerTestAccess;

namespace ovra::ui::controllers {

class PlaybackController;
class MediaRuntimeController;
class AnalysisController;
class ProcessingSettingsController;
class VideoSessionController;

// Saves the current analysis result as MP4 plus parameters file on its own
// low-priority thread. Only the latest started export is listened to.
class ExportController : public ovra::ui::controllers::JobController
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the export.")
    Q_PROPERTY(State state READ state NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool available READ available NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool completed READ completed NOTIFY stateChanged FINAL)
    Q_PROPERTY(qint64 frameCount READ frameCount NOTIFY stateChanged FINAL)
    // What the saved video shows, as an index into layoutNames, in the order of OutputLayout.
    Q_PROPERTY(QStringList layoutNames READ layoutNames CONSTANT FINAL)
    Q_PROPERTY(int layoutIndex READ layoutIndex WRITE setLayoutIndex NOTIFY layoutChanged FINAL)

public:
    ExportController(VideoSessionController *videoSession, MediaRuntimeController *mediaRuntime,
                     ProcessingSettingsController *settingsController, PlaybackController *playback,
                     AnalysisController *analysis, QObject *parent = nullptr);
    ~ExportController() override;

    // The one word for what saving is doing, the most urgent fact first; Ready means a
    // destination is set and a result can be saved to it.
    enum class State {
        Unavailable,
        Available,
        Ready,
        Processing,
        Cancelling,
        Completed,
        Error
    };
    Q_ENUM(State)
    State state() const;

    QString preferredDirectoryPath() const;
    bool available() const { return m_available; }
    bool canStart() const;
    bool completed() const { return m_completed; }
    bool hasDestination() const { return !m_destinationFilePath.isEmpty(); }
    QString destinationFilePath() const { return m_destinationFilePath; }
    QString destinationFileName() const;
    QString parametersFilePath() const { return m_parametersFilePath; }
    QUrl suggestedFileUrl() const;
    qint64 frameCount() const { return m_frameCount; }
    qint64 durationUs() const { return m_durationUs; }
    quint64 exportRevision() const { return m_exportRevision; }
    const project_data::ProcessingPerformance &performance() const { return m_performance; }
    QStringList layoutNames() const;
    int layoutIndex() const { return static_cast<int>(m_layout); }
    // An index outside layoutNames is ignored.
    void setLayoutIndex(int index);

    Q_INVOKABLE bool setPreferredDirectory(const QUrl &directory);
    Q_INVOKABLE bool setDestination(const QUrl &fileUrl);
    Q_INVOKABLE void startExport();
    Q_INVOKABLE void cancel();
    Q_INVOKABLE bool openOutputFolder() const;

    // The destination as a local path; on refusal the reason also goes to errorText.
    bool setDestinationPath(const QString &path, QString *errorText = nullptr);
    bool validateDestination(const QString &path, QString *errorMessage) const;
    // The scale the next export records in its parameters file.
    void setMeasurementScale(const std::optional<processing::MeasurementScale> &scale) { m_measurementScale = scale; }
    void shutdown();

signals:
    void layoutChanged();

private:
    friend class ::ControllerTestAccess; // the tests feed stale answers and analysis outcomes

    bool computeAvailable() const;
    void refresh();
    void refuse(const QString &message);
    void handleProgress(const project_data::ProcessingProgress &progress);
    void handleFinished(const project_data::ProcessingResult &result);
    void handleSourceChanged();

    VideoSessionController *m_videoSession = nullptr;
    MediaRuntimeController *m_mediaRuntime = nullptr;
    ProcessingSettingsController *m_settingsController = nullptr;
    PlaybackController *m_playback = nullptr;
    AnalysisController *m_analysis = nullptr;
    QString m_preferredDirectory;
    QDateTime m_exportedResultFinishedAt;
    QString m_destinationFilePath;
    QString m_parametersFilePath;
    std::optional<processing::MeasurementScale> m_measurementScale;
    project_data::ProcessingPerformance m_performance;
    quint64 m_exportRevision = 0;
    qint64 m_exportStartFrame = 0;
    qint64 m_exportEndFrame = 0;
    qint64 m_frameCount = 0;
    qint64 m_durationUs = 0;
    double m_playbackFrameRate = 0.0;
    project_data::OutputLayout m_layout = project_data::OutputLayout::Result;
    bool m_completed = false;
    bool m_available = false;
};

} // namespace ovra::ui::controllers
