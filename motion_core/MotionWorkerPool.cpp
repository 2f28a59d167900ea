// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/MotionWorkerPool.h"

#include <QThread>

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>
#include <system_error>

namespace ovra::motion_core {

namespace {

// A frame runs a few dozen short loops back to back. Waiting threads first poll for a
// while, so that a hand-over mostly needs no wake-up of a sleeping thread (tens of
// microseconds in a virtual machine); only then do they block. Polling yields the CPU, so
// that on a machine with no more cores than workers it takes no time from a thread that
// has work. Workers poll longer than the caller: the caller's wait ends after a whole loop.
constexpr std::chrono::microseconds workerPolling{50};
constexpr std::chrono::microseconds callerPolling{20};

void acquireAfterPolling(QSemaphore &semaphore, int tokens, std::chrono::microseconds polling)
{
    const auto deadline = std::chrono::steady_clock::now() + polling;
    while (semaphore.available() < tokens && std::chrono::steady_clock::now() < deadline)
        QThread::yieldCurrentThread();
    semaphore.acquire(tokens);
}

constexpr qint64 costPerChunk = 65536;

int chunkCount(int threads, int count, qint64 costPerItem)
{
    const qint64 cost = std::max<qint64>(costPerItem, 1);
    const qint64 total
        = cost > std::numeric_limits<qint64>::max() / count ? std::numeric_limits<qint64>::max() : count * cost;
    const qint64 wanted = total / costPerChunk + (total % costPerChunk != 0 ? 1 : 0);
    return static_cast<int>(std::max<qint64>(1, std::min<qint64>({threads, count, wanted})));
}

} // namespace

// Runs the chunks handed to it, one at a time, on a low-priority thread of its own until it is
// destroyed. The calling thread and the worker hand over through two semaphores, which order
// every write before the hand-over against every read after it.
class ChunkWorker
{
public:
    explicit ChunkWorker(QSemaphore &finished)
        : m_finished(finished)
    {
    }

    ~ChunkWorker()
    {
        if (!m_thread)
            return;
        m_body = nullptr;
        m_wake.release();
        m_thread->wait();
    }

    ChunkWorker(const ChunkWorker &) = delete;
    ChunkWorker &operator=(const ChunkWorker &) = delete;

    // Throws when the system cannot create the thread. QThread::start reports that only in the
    // log and leaves the thread not running, which a QThreadPool would wait for without end.
    void launch()
    {
        m_thread.reset(QThread::create([this] { run(); }));
        m_thread->start(QThread::LowPriority);
        if (!m_thread->isRunning())
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                    "cannot start a motion worker thread");
    }

    void start(const ChunkBody &body, const ChunkRange &chunk)
    {
        m_body = &body;
        m_chunk = chunk;
        m_failure = nullptr;
        m_wake.release();
    }

    const std::exception_ptr &failure() const { return m_failure; }

private:
    void run()
    {
        for (;;) {
            acquireAfterPolling(m_wake, 1, workerPolling);
            if (!m_body)
                return;
            try {
                (*m_body)(m_chunk);
            } catch (...) {
                m_failure = std::current_exception();
            }
            // Nothing of the caller's frame may be touched after this release.
            m_finished.release();
        }
    }

    QSemaphore &m_finished;
    QSemaphore m_wake;
    const ChunkBody *m_body = nullptr;
    ChunkRange m_chunk{0, 0, 0};
    std::exception_ptr m_failure;
    std::unique_ptr<QThread> m_thread;
};

MotionWorkerPool::MotionWorkerPool() = default;

MotionWorkerPool::~MotionWorkerPool() = default;

void MotionWorkerPool::setThreadCount(int count)
{
    const int threads = std::max(1, count);
    if (threads == m_threadCount)
        return;
    m_workers.clear();
    m_threadCount = threads;
}

ChunkWorker &MotionWorkerPool::worker(int index)
{
    while (static_cast<int>(m_workers.size()) <= index) {
        auto worker = std::make_unique<ChunkWorker>(m_finished);
        worker->launch();
        m_workers.push_back(std::move(worker));
    }
    return *m_workers[static_cast<size_t>(index)];
}

void runChunks(MotionWorkerPool &pool, int count, qint64 costPerItem, ChunkBody body)
{
    if (count < 1)
        return;
    const int threads = pool.threadCount();
    const int chunks = threads < 2 || count < 2 ? 1 : chunkCount(threads, count, costPerItem);
    if (chunks < 2) {
        body({0, 0, count});
        return;
    }

    std::exception_ptr launchFailure;
    int started = 0;
    try {
        for (int i = 0; i < chunks; ++i) {
            const int begin = static_cast<int>(static_cast<qint64>(i) * count / chunks);
            const int end = static_cast<int>(static_cast<qint64>(i + 1) * count / chunks);
            pool.worker(i).start(body, {i, begin, end});
            ++started;
        }
    } catch (...) {
        launchFailure = std::current_exception();
    }
    acquireAfterPolling(pool.m_finished, started, callerPolling);

    if (launchFailure)
        std::rethrow_exception(launchFailure);
    for (int i = 0; i < started; ++i) {
        if (const std::exception_ptr &failure = pool.m_workers[static_cast<size_t>(i)]->failure())
            std::rethrow_exception(failure);
    }
}

} // namespace ovra::motion_core
