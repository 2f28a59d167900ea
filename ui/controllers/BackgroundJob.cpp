// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/BackgroundJob.h"

namespace ovra::ui::controllers {

void JobRun::answer(std::function<void()> call) const
{
    m_job->answer(m_number, std::move(call));
}

processing::ProgressCallback
JobRun::progress(std::function<void(const project_data::ProcessingProgress &)> onProgress) const
{
    return processing::throttledProgress([run = *this, onProgress](const project_data::ProcessingProgress &record) {
        run.answer([onProgress, record] { onProgress(record); });
    });
}

BackgroundJob::BackgroundJob(const QString &threadName, QObject *owner)
    : m_thread(threadName)
    , m_owner(owner)
{
    m_thread.start();
}

bool BackgroundJob::cancel()
{
    return m_token && !m_token->exchange(true);
}

void BackgroundJob::stop()
{
    cancel();
    m_thread.stop(nullptr);
}

// Called on the job's thread. The owner holds the job, so the queued call never outlives it.
void BackgroundJob::answer(quint64 number, std::function<void()> call)
{
    QMetaObject::invokeMethod(
        m_owner,
        [this, number, call = std::move(call)] {
            if (number == m_number && !stopped())
                call();
        },
        Qt::QueuedConnection);
}

} // namespace ovra::ui::controllers
