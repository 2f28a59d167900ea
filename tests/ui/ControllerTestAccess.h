// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/controllers/AnalysisController.h"
#include "ui/controllers/PlaybackController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QFileInfo>
#include <QSignalSpy>

#include <functional>

// The tests' door into the controllers: finished analyses without decoding, answers of
// superseded requests, and navigation that waits for its frame.
class ControllerTestAccess
{
public:
    // Runs a navigation request and returns the index of the frame it shows (-2 when none comes).
    static qint64 navigate(ovra::ui::controllers::PlaybackController *playback, const std::function<void()> &request)
    {
        QSignalSpy frame(playback, &ovra::ui::controllers::PlaybackController::frameReady);
        request();
        return frame.wait(10000) ? playback->currentFrameIndex() : -2;
    }

    using Session = ovra::ui::controllers::VideoSessionController;

    // The session as a successful analysis of metadata leaves it (capture rate preset to 240).
    static void makeReady(Session *session, const ovra::media::VideoMetadata &metadata)
    {
        session->m_fileName = QFileInfo(metadata.filePath).fileName();
        session->m_filePath = metadata.filePath;
        emit session->sourceChanged();
        session->completeAnalysis(ovra::ui::controllers::VideoAnalysisResult::success(metadata));
    }

    // Progress values of the current run, as the analyser reports them.
    static void reportProgress(Session *session, double value)
    {
        session->setState(Session::AnalysisState::Analyzing);
        session->applyProgress(value);
    }

    // The worker's answers to request number (current - age) as frame 77: a pair, and for an old
    // request also its end and a failure.
    static void answer(ovra::ui::controllers::PlaybackController *playback, quint64 age, const QImage &source,
                       const QImage &analysis = {})
    {
        const quint64 id = playback->m_runNumber - age;
        playback->handleFramePair(id, source, analysis, 77, 0);
        if (age > 0) {
            playback->handleEndReached(id);
            playback->handleOperationFailed(id, QStringLiteral("late failure"));
        }
    }

    // The store of the current result, which the tests damage as a failing disk would.
    static std::shared_ptr<ovra::project_data::AnalysisResult>
    result(ovra::ui::controllers::AnalysisController *analysis)
    {
        return analysis->m_result;
    }

    // A run's end as the pipeline reports a failure.
    static void analysisFailure(ovra::ui::controllers::AnalysisController *analysis, const QString &message)
    {
        analysis->handleFinished(ovra::project_data::ProcessingResult::failed(message));
    }
};
