// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "processing/ProgressThrottle.h"
#include "ui/controllers/WorkerThread.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace ovra::ui::controllers {

class BackgroundJob;

// Raised on the user-interface thread to stop a run; read by the run's cancellation check.
using CancelToken = std::shared_ptr<std::atomic_bool>;

// What a running job's work holds on its thread: its cancellation check, and the way back to
// the owner, which drops every answer of a run that is no longer the latest.
class JobRun
{
public:
    JobRun(BackgroundJob *job, quint64 number, CancelToken token)
        : m_job(job)
        , m_number(number)
        , m_token(std::move(token))
    {
    }

    media::CancellationCheck cancellationCheck() const
    {
        return [token = m_token] { return token->load(); };
    }
    // Runs call on the owner's thread while this run is still the latest one.
    void answer(std::function<void()> call) const;
    // Progress records for onProgress on the owner's thread, about ten a second (see
    // throttledProgress).
    processing::ProgressCallback
    progress(std::function<void(const project_data::ProcessingProgress &)> onProgress) const;

private:
    BackgroundJob *m_job;
    quint64 m_number;
    CancelToken m_token;
};

// The lifecycle every background operation of a controller shares: one low-priority thread of
// its own, one run at a time, a cancel token and a number per run so that only the latest run is
// heard, and a shutdown that joins the thread before anything the work uses goes away. The
// owner is the controller that holds the job as a member; answers reach it on its thread.
class BackgroundJob
{
public:
    BackgroundJob(const QString &threadName, QObject *owner);
    ~BackgroundJob() { stop(); }
    BackgroundJob(const BackgroundJob &) = delete;
    BackgroundJob &operator=(const BackgroundJob &) = delete;

    // Runs work(run) on the job's thread and hands its result to onFinished on the owner's
    // thread. A run still going is cancelled and never heard again; the thread takes this one
    // up as soon as that one has stopped. False once the job is stopped.
    template <typename Work, typename Finish> bool start(Work work, Finish onFinished)
    {
        if (stopped())
            return false;
        cancel();
        m_token = std::make_shared<std::atomic_bool>(false);
        const JobRun run(this, ++m_number, m_token);
        m_thread.post([this, run, work = std::move(work), onFinished = std::move(onFinished)](QObject *) {
            auto result = work(run);
            run.answer([this, result = std::move(result), onFinished] {
                m_token.reset();
                onFinished(result);
            });
        });
        return true;
    }

    // As start, for work(progress, cancellationCheck): its progress records reach
    // (owner->*onProgress) and its result (owner->*onFinished).
    template <typename Work, typename Owner, typename Result>
    bool startReporting(Work work, Owner *owner, void (Owner::*onProgress)(const project_data::ProcessingProgress &),
                        void (Owner::*onFinished)(const Result &))
    {
        return start(
            [work = std::move(work), owner, onProgress](const JobRun &run) {
                return work(run.progress([owner, onProgress](const auto &record) { (owner->*onProgress)(record); }),
                            run.cancellationCheck());
            },
            [owner, onFinished](const Result &result) { (owner->*onFinished)(result); });
    }

    // Raises the token of the running run, which stays running until its answer arrives; false
    // when nothing runs or the run is already cancelling.
    bool cancel();
    bool running() const { return bool(m_token); }
    bool cancelling() const { return m_token && m_token->load(); }
    // Cancels, ends the thread and waits for it; later answers are dropped and nothing starts.
    void stop();
    bool stopped() const { return m_thread.stopped(); }

private:
    friend class JobRun;
    void answer(quint64 number, std::function<void()> call);

    WorkerThread<QObject> m_thread;
    QObject *m_owner;
    CancelToken m_token;
    quint64 m_number = 0;
};

// The states that an owner's job decides, most urgent first: cancelling, running, and then the
// failure of the latest run; nothing when the owner's own facts decide.
template <typename State> std::optional<State> jobState(const BackgroundJob &job, bool failed)
{
    if (job.cancelling())
        return State::Cancelling;
    if (job.running())
        return State::Processing;
    if (failed)
        return State::Error;
    return std::nullopt;
}

} // namespace ovra::ui::controllers
