// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

namespace ovra::ui::playback {
class PlaybackController;
}

namespace ovra::ui::controllers {

class AnalysisFragmentController;
class ExportController;
class MediaRuntimeController;
class PreviewController;
class ProcessingSettingsController;
class SpectrumController;
class VideoSessionController;

// The root of the controller graph: creates the controllers in their dependency order, keeps
// the interaction locks in step with preview and export, and shuts the workers down first.
class ApplicationController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString applicationDisplayName READ applicationDisplayName CONSTANT FINAL)
    Q_PROPERTY(Operation currentOperation READ currentOperation NOTIFY currentOperationChanged FINAL)
    Q_PROPERTY(QObject *videoSession READ videoSessionObject CONSTANT FINAL)
    Q_PROPERTY(QObject *mediaRuntime READ mediaRuntimeObject CONSTANT FINAL)
    Q_PROPERTY(QObject *analysisFragment READ analysisFragmentObject CONSTANT FINAL)
    Q_PROPERTY(QObject *processingSettings READ processingSettingsObject CONSTANT FINAL)
    Q_PROPERTY(QObject *playback READ playbackObject CONSTANT FINAL)
    Q_PROPERTY(QObject *preview READ previewObject CONSTANT FINAL)
    Q_PROPERTY(QObject *exporter READ exporterObject CONSTANT FINAL)
    Q_PROPERTY(QObject *spectrum READ spectrumObject CONSTANT FINAL)

public:
    explicit ApplicationController(QObject *parent = nullptr);
    ~ApplicationController() override;

    static QString applicationDisplayName();

    // The one long operation that runs, which blocks opening, closing and editing and which the
    // status bar shows and cancels. At most one runs at a time; saving wins over the others.
    enum class Operation { None, SourceAnalysis, Preview, Export };
    Q_ENUM(Operation)
    Operation currentOperation() const { return m_currentOperation; }
    // Cancels the current operation; false when none runs.
    Q_INVOKABLE bool cancelCurrentOperation();
    MediaRuntimeController *mediaRuntime() const { return m_mediaRuntime; }
    VideoSessionController *videoSession() const { return m_videoSession; }
    AnalysisFragmentController *analysisFragment() const { return m_analysisFragment; }
    ProcessingSettingsController *processingSettings() const { return m_processingSettings; }
    playback::PlaybackController *playback() const { return m_playback; }
    PreviewController *preview() const { return m_preview; }
    ExportController *exporter() const { return m_exporter; }
    SpectrumController *spectrum() const { return m_spectrum; }

signals:
    void currentOperationChanged();

private:
    QObject *videoSessionObject() const;
    QObject *mediaRuntimeObject() const;
    QObject *analysisFragmentObject() const;
    QObject *processingSettingsObject() const;
    QObject *playbackObject() const;
    QObject *previewObject() const;
    QObject *exporterObject() const;
    QObject *spectrumObject() const;
    void updateInteractionLocks();
    void handleOperationStateChanged();
    Operation computeCurrentOperation() const;

    MediaRuntimeController *m_mediaRuntime = nullptr;
    VideoSessionController *m_videoSession = nullptr;
    AnalysisFragmentController *m_analysisFragment = nullptr;
    ProcessingSettingsController *m_processingSettings = nullptr;
    playback::PlaybackController *m_playback = nullptr;
    PreviewController *m_preview = nullptr;
    ExportController *m_exporter = nullptr;
    SpectrumController *m_spectrum = nullptr;
    Operation m_currentOperation = Operation::None;
};

} // namespace ovra::ui::controllers
