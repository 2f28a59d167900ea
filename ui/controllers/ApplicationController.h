// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QtQmlIntegration/qqmlintegration.h>

namespace ovra::ui::controllers {

class PlaybackController;
class AnalysisFragmentController;
class AnalysisSettingsSnapshot;
class ExportController;
class MeasurementScaleController;
class MediaRuntimeController;
class AnalysisController;
class ProcessingSettingsController;
class SaveWorkflowController;
class SpectrumController;
class StatusLine;
class VibrationMapController;
class VideoSessionController;

// The root of the controller graph: creates the controllers in their dependency order, keeps
// the interaction locks in step with analysis and export, and shuts the workers down first.
class ApplicationController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString applicationDisplayName READ applicationDisplayName CONSTANT FINAL)
    Q_PROPERTY(Operation currentOperation READ currentOperation NOTIFY currentOperationChanged FINAL)
    Q_PROPERTY(ovra::ui::controllers::VideoSessionController *videoSession READ videoSession CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::MediaRuntimeController *mediaRuntime READ mediaRuntime CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::AnalysisFragmentController *analysisFragment READ analysisFragment CONSTANT FINAL)
    Q_PROPERTY(
        ovra::ui::controllers::ProcessingSettingsController *processingSettings READ processingSettings CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::PlaybackController *playback READ playback CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::AnalysisController *analysis READ analysis CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::ExportController *exporter READ exporter CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::SpectrumController *spectrum READ spectrum CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::MeasurementScaleController *measurementScale READ measurementScale CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::VibrationMapController *vibrationMap READ vibrationMap CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::SaveWorkflowController *saveWorkflow READ saveWorkflow CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::AnalysisSettingsSnapshot *settingsSnapshot READ settingsSnapshot CONSTANT FINAL)
    Q_PROPERTY(ovra::ui::controllers::StatusLine *statusLine READ statusLine CONSTANT FINAL)
    QML_ELEMENT
    QML_UNCREATABLE("The application creates its one controller.")
    Q_MOC_INCLUDE("ui/controllers/AnalysisFragmentController.h")
    Q_MOC_INCLUDE("ui/controllers/AnalysisSettingsSnapshot.h")
    Q_MOC_INCLUDE("ui/controllers/ExportController.h")
    Q_MOC_INCLUDE("ui/controllers/MeasurementScaleController.h")
    Q_MOC_INCLUDE("ui/controllers/MediaRuntimeController.h")
    Q_MOC_INCLUDE("ui/controllers/AnalysisController.h")
    Q_MOC_INCLUDE("ui/controllers/ProcessingSettingsController.h")
    Q_MOC_INCLUDE("ui/controllers/SaveWorkflowController.h")
    Q_MOC_INCLUDE("ui/controllers/SpectrumController.h")
    Q_MOC_INCLUDE("ui/controllers/StatusLine.h")
    Q_MOC_INCLUDE("ui/controllers/VibrationMapController.h")
    Q_MOC_INCLUDE("ui/controllers/VideoSessionController.h")
    Q_MOC_INCLUDE("ui/controllers/PlaybackController.h")

public:
    explicit ApplicationController(QObject *parent = nullptr);
    ~ApplicationController() override;

    static QString applicationDisplayName();

    // The one long operation that runs, which blocks opening, closing and editing and which the
    // status bar shows and cancels. At most one runs at a time; saving wins over the others.
    enum class Operation {
        None,
        SourceAnalysis,
        Analysis,
        Export
    };
    Q_ENUM(Operation)
    Operation currentOperation() const { return m_currentOperation; }
    // Cancels the current operation; false when none runs.
    Q_INVOKABLE bool cancelCurrentOperation();
    MediaRuntimeController *mediaRuntime() const { return m_mediaRuntime; }
    VideoSessionController *videoSession() const { return m_videoSession; }
    AnalysisFragmentController *analysisFragment() const { return m_analysisFragment; }
    ProcessingSettingsController *processingSettings() const { return m_processingSettings; }
    PlaybackController *playback() const { return m_playback; }
    AnalysisController *analysis() const { return m_analysis; }
    ExportController *exporter() const { return m_exporter; }
    SpectrumController *spectrum() const { return m_spectrum; }
    MeasurementScaleController *measurementScale() const { return m_measurementScale; }
    VibrationMapController *vibrationMap() const { return m_vibrationMap; }
    SaveWorkflowController *saveWorkflow() const { return m_saveWorkflow; }
    AnalysisSettingsSnapshot *settingsSnapshot() const { return m_settingsSnapshot; }
    StatusLine *statusLine() const { return m_statusLine; }

signals:
    void currentOperationChanged();

private:
    void updateInteractionLocks();
    void handleOperationStateChanged();
    Operation computeCurrentOperation() const;

    MediaRuntimeController *m_mediaRuntime = nullptr;
    VideoSessionController *m_videoSession = nullptr;
    AnalysisFragmentController *m_analysisFragment = nullptr;
    ProcessingSettingsController *m_processingSettings = nullptr;
    PlaybackController *m_playback = nullptr;
    AnalysisController *m_analysis = nullptr;
    ExportController *m_exporter = nullptr;
    SpectrumController *m_spectrum = nullptr;
    MeasurementScaleController *m_measurementScale = nullptr;
    VibrationMapController *m_vibrationMap = nullptr;
    Operation m_currentOperation = Operation::None;
    SaveWorkflowController *m_saveWorkflow = nullptr;
    AnalysisSettingsSnapshot *m_settingsSnapshot = nullptr;
    StatusLine *m_statusLine = nullptr;
};

} // namespace ovra::ui::controllers
