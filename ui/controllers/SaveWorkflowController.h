// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QUrl>
#include <QtQmlIntegration/qqmlintegration.h>

#include <optional>

namespace ovra::ui::controllers {

class AnalysisController;
class ApplicationController;
class ExportController;
class PlaybackController;
class VideoSessionController;

// What the window does before an action that would drop an unsaved analysis result (opening a
// video, starting an analysis, closing): it asks, then cancels, discards and continues, or saves
// first and continues once the result is saved. Saving pauses the player, asks for the
// destination and exports. Closing while an operation runs first cancels it, when the user agrees.
// The window shows each question this controller signals and hands the answer back.
class SaveWorkflowController : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the save workflow.")

public:
    explicit SaveWorkflowController(ApplicationController *application);

    // The actions: each runs at once unless an unsaved result asks first (decisionRequested).
    // Ignored while an operation runs or another action waits.
    Q_INVOKABLE void openSource(const QUrl &fileUrl);
    Q_INVOKABLE void startAnalysis();
    // Whether the window may close now. If not, the user is asked, and closeApproved follows
    // once it may.
    Q_INVOKABLE bool approveClose();

    // The answers to decisionRequested.
    Q_INVOKABLE void cancelAction();
    Q_INVOKABLE void discardAndContinue();
    Q_INVOKABLE void saveAndContinue();

    // Saves the result: destinationRequested asks where, once the player has paused.
    Q_INVOKABLE void save();
    // The answers to destinationRequested.
    Q_INVOKABLE void saveTo(const QUrl &fileUrl);
    Q_INVOKABLE void cancelSave();

    // The user's yes to closeDuringOperationRequested.
    Q_INVOKABLE void cancelOperationsAndClose();

signals:
    void decisionRequested();
    void destinationRequested(const QUrl &suggestedFileUrl);
    void closeDuringOperationRequested();
    void closeApproved();

private:
    enum class Action {
        OpenSource,
        Analyse,
        Close
    };
    struct PendingAction
    {
        Action action;
        QUrl fileUrl;
    };
    enum class Step {
        Idle,
        AwaitingDecision,
        Pausing,
        ChoosingDestination,
        Exporting,
        Continuing
    };

    bool operationRunning() const;
    void request(const PendingAction &action);
    void requestLater(Action action);
    void run(const PendingAction &action);
    void continueWithPendingAction();
    void continueOnceSaved();
    void dropPendingAction();
    void beginSave();
    void askForDestination();
    void handleExporterChanged();
    void handleOperationsChanged();

    ApplicationController *m_application = nullptr;
    VideoSessionController *m_videoSession = nullptr;
    AnalysisController *m_analysis = nullptr;
    ExportController *m_exporter = nullptr;
    PlaybackController *m_playback = nullptr;
    std::optional<PendingAction> m_pending;
    Step m_step = Step::Idle;
    bool m_closeAfterCancel = false;
    bool m_closeApproved = false;
};

} // namespace ovra::ui::controllers
