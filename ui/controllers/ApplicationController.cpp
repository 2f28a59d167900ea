// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/ApplicationController.h"

#include "ovra/Version.h"
#include "ui/controllers/AnalysisController.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/AnalysisSettingsSnapshot.h"
#include "ui/controllers/ExportController.h"
#include "ui/controllers/MeasurementScaleController.h"
#include "ui/controllers/MediaRuntimeController.h"
#include "ui/controllers/PlaybackController.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/SaveWorkflowController.h"
#include "ui/controllers/SpectrumController.h"
#include "ui/controllers/StatusLine.h"
#include "ui/controllers/VibrationMapController.h"
#include "ui/controllers/VideoSessionController.h"

namespace ovra::ui::controllers {

ApplicationController::ApplicationController(QObject *parent)
    : QObject(parent)
    , m_mediaRuntime(new MediaRuntimeController(this))
    , m_videoSession(new VideoSessionController(m_mediaRuntime, this))
    , m_analysisFragment(new AnalysisFragmentController(m_videoSession, this))
    , m_processingSettings(new ProcessingSettingsController(m_videoSession, m_analysisFragment, this))
    , m_playback(new PlaybackController(m_videoSession, m_analysisFragment, m_mediaRuntime, this))
    , m_analysis(new AnalysisController(m_videoSession, m_mediaRuntime, m_processingSettings, m_playback, this))
    , m_exporter(
          new ExportController(m_videoSession, m_mediaRuntime, m_processingSettings, m_playback, m_analysis, this))
    , m_spectrum(new SpectrumController(m_videoSession, m_processingSettings, this))
    , m_measurementScale(new MeasurementScaleController(m_videoSession, this))
    , m_vibrationMap(new VibrationMapController(m_videoSession, m_processingSettings, m_spectrum, this))
    , m_settingsSnapshot(new AnalysisSettingsSnapshot(m_videoSession, m_processingSettings, this))
    , m_statusLine(new StatusLine(m_exporter, m_videoSession, m_analysis, m_playback, this))
{
    connect(m_analysis, &AnalysisController::stateChanged, this, &ApplicationController::handleOperationStateChanged);
    connect(m_exporter, &ExportController::stateChanged, this, &ApplicationController::handleOperationStateChanged);
    connect(m_videoSession, &VideoSessionController::stateChanged, this,
            &ApplicationController::handleOperationStateChanged);
    // The spectrum and the vibration map show and write, and an export records, the scale in force.
    connect(m_measurementScale, &MeasurementScaleController::scaleChanged, this, [this] {
        m_spectrum->setMeasurementScale(m_measurementScale->scale());
        m_vibrationMap->setMeasurementScale(m_measurementScale->scale());
        m_exporter->setMeasurementScale(m_measurementScale->scale());
    });
    m_saveWorkflow = new SaveWorkflowController(this);
}

ApplicationController::~ApplicationController()
{
    // The workers stop before anything they use is destroyed.
    m_vibrationMap->shutdown();
    m_spectrum->shutdown();
    m_exporter->shutdown();
    m_analysis->shutdown();
    delete m_saveWorkflow;
    delete m_statusLine;
    delete m_vibrationMap;
    delete m_spectrum;
    delete m_exporter;
    delete m_analysis;
    delete m_playback;
}

QString ApplicationController::applicationDisplayName()
{
    return QStringLiteral(OVRA_DISPLAY_NAME);
}

bool ApplicationController::cancelCurrentOperation()
{
    switch (m_currentOperation) {
    case Operation::Export:
        m_exporter->cancel();
        return true;
    case Operation::Analysis:
        m_analysis->cancel();
        return true;
    case Operation::SourceAnalysis:
        m_videoSession->cancelAnalysis();
        return true;
    case Operation::None:
        break;
    }
    return false;
}

ApplicationController::Operation ApplicationController::computeCurrentOperation() const
{
    if (m_exporter->busy())
        return Operation::Export;
    if (m_analysis->busy())
        return Operation::Analysis;
    return m_videoSession->busy() ? Operation::SourceAnalysis : Operation::None;
}

void ApplicationController::handleOperationStateChanged()
{
    updateInteractionLocks();
    const Operation operation = computeCurrentOperation();
    if (operation == m_currentOperation)
        return;
    m_currentOperation = operation;
    emit currentOperationChanged();
}

void ApplicationController::updateInteractionLocks()
{
    const bool processingActive = m_analysis->busy() || m_exporter->busy();
    m_videoSession->setEditingLocked(processingActive);
    m_videoSession->setUnsavedResultPending(m_analysis->unsaved());
    m_analysisFragment->setEditingLocked(processingActive || m_videoSession->busy());
    m_processingSettings->setEditingLocked(processingActive || m_videoSession->busy());
}

} // namespace ovra::ui::controllers
