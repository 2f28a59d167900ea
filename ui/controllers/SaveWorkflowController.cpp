// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/SaveWorkflowController.h"

#include "ui/controllers/AnalysisController.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/ExportController.h"
#include "ui/controllers/PlaybackController.h"
#include "ui/controllers/VideoSessionController.h"

namespace ovra::ui::controllers {

SaveWorkflowController::SaveWorkflowController(ApplicationController *application)
    : QObject(application)
    , m_application(application)
    , m_videoSession(application->videoSession())
    , m_analysis(application->analysis())
    , m_exporter(application->exporter())
    , m_playback(application->playback())
{
    connect(m_exporter, &ExportController::stateChanged, this, &SaveWorkflowController::handleExporterChanged);
    connect(application, &ApplicationController::currentOperationChanged, this,
            &SaveWorkflowController::handleOperationsChanged);
}

void SaveWorkflowController::openSource(const QUrl &fileUrl)
{
    request({Action::OpenSource, fileUrl});
}

void SaveWorkflowController::startAnalysis()
{
    request({Action::Analyse, {}});
}

bool SaveWorkflowController::approveClose()
{
    if (m_closeApproved)
        return true;
    if (operationRunning())
        emit closeDuringOperationRequested();
    else
        requestLater(Action::Close); // a question of its own, once the window's close event is over
    return false;
}

void SaveWorkflowController::cancelAction()
{
    if (m_step == Step::AwaitingDecision)
        dropPendingAction();
}

void SaveWorkflowController::discardAndContinue()
{
    if (m_step != Step::AwaitingDecision)
        return;
    m_analysis->acknowledgeDiscard();
    continueWithPendingAction();
}

void SaveWorkflowController::saveAndContinue()
{
    if (m_step == Step::AwaitingDecision)
        beginSave();
}

void SaveWorkflowController::save()
{
    if (m_step == Step::Idle)
        beginSave();
}

void SaveWorkflowController::saveTo(const QUrl &fileUrl)
{
    if (m_step != Step::ChoosingDestination)
        return;
    if (!m_exporter->setDestination(fileUrl) || !m_exporter->canStart())
        return dropPendingAction();
    m_step = Step::Exporting;
    m_exporter->startExport();
    if (m_step == Step::Exporting && !m_exporter->busy())
        dropPendingAction();
}

void SaveWorkflowController::cancelSave()
{
    if (m_step == Step::ChoosingDestination)
        dropPendingAction();
}

void SaveWorkflowController::cancelOperationsAndClose()
{
    m_closeAfterCancel = true;
    handleOperationsChanged();
}

bool SaveWorkflowController::operationRunning() const
{
    return m_application->currentOperation() != ApplicationController::Operation::None;
}

void SaveWorkflowController::request(const PendingAction &action)
{
    if (operationRunning() || m_step != Step::Idle)
        return;
    if (!m_analysis->unsaved())
        return run(action);
    m_pending = action;
    m_step = Step::AwaitingDecision;
    emit decisionRequested();
}

void SaveWorkflowController::requestLater(Action action)
{
    QMetaObject::invokeMethod(
        this,
        [this, action] {
            request({action, {}});
        },
        Qt::QueuedConnection);
}

void SaveWorkflowController::run(const PendingAction &action)
{
    switch (action.action) {
    case Action::OpenSource:
        m_videoSession->openSource(action.fileUrl);
        break;
    case Action::Analyse:
        m_analysis->startAnalysis();
        break;
    case Action::Close:
        m_closeApproved = true;
        emit closeApproved();
        break;
    }
}

void SaveWorkflowController::continueWithPendingAction()
{
    const std::optional<PendingAction> action = m_pending;
    dropPendingAction();
    if (action)
        run(*action);
}

void SaveWorkflowController::continueOnceSaved()
{
    // Queued: the export tells of its end while the result and the player still learn of it,
    // and the action must find the result saved and the session free.
    m_step = Step::Continuing;
    QMetaObject::invokeMethod(this, &SaveWorkflowController::continueWithPendingAction, Qt::QueuedConnection);
}

void SaveWorkflowController::dropPendingAction()
{
    m_pending.reset();
    m_step = Step::Idle;
}

void SaveWorkflowController::beginSave()
{
    if (!m_analysis->ready() || operationRunning())
        return dropPendingAction();
    if (m_exporter->available())
        return askForDestination();
    // The player holds the result while it plays, loads or seeks.
    m_step = Step::Pausing;
    m_playback->pause();
}

void SaveWorkflowController::askForDestination()
{
    m_step = Step::ChoosingDestination;
    emit destinationRequested(m_exporter->suggestedFileUrl());
}

void SaveWorkflowController::handleExporterChanged()
{
    if (m_step == Step::Pausing && m_exporter->available())
        askForDestination();
    else if (m_step == Step::Exporting && !m_exporter->busy() && m_exporter->completed())
        continueOnceSaved();
    else if (m_step == Step::Exporting && !m_exporter->busy())
        dropPendingAction();
}

void SaveWorkflowController::handleOperationsChanged()
{
    // Each operation that is still running, or that takes over from a cancelled one, is
    // cancelled in turn; the window closes once none is left.
    if (!m_closeAfterCancel || m_application->cancelCurrentOperation())
        return;
    m_closeAfterCancel = false;
    requestLater(Action::Close);
}

} // namespace ovra::ui::controllers
