// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QThread>

#include <utility>

namespace ovra::ui::controllers {

// A worker object on a low-priority thread of its own, deleted on that thread when it ends.
// stop() cuts the worker's answers to the controller, ends the thread and waits for it, so that
// nothing the worker uses is destroyed while it still runs; after that worker() is null.
template <typename Worker> class WorkerThread
{
public:
    explicit WorkerThread(const QString &name)
        : m_worker(new Worker)
    {
        m_thread.setObjectName(name);
        m_worker->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    }
    ~WorkerThread() { stop(nullptr); }
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;

    Worker *worker() const { return m_worker; }
    bool stopped() const { return !m_worker; }
    void start() { m_thread.start(QThread::LowPriority); }
    // Runs request(worker) on the worker's thread, after what was posted before it.
    template <typename Request> void post(Request request)
    {
        if (!m_worker)
            return;
        Worker *worker = m_worker;
        QMetaObject::invokeMethod(
            worker, [worker, request = std::move(request)] { request(worker); }, Qt::QueuedConnection);
    }
    void stop(QObject *controller)
    {
        if (!m_worker)
            return;
        if (controller)
            m_worker->disconnect(controller);
        m_thread.quit();
        m_thread.wait();
        m_worker = nullptr;
    }

private:
    QThread m_thread;
    Worker *m_worker;
};

} // namespace ovra::ui::controllers
