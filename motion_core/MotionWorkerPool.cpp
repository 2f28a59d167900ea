#include "motion_core/MotionWorkerPool.h"

#include <QRunnable>
#include <QSemaphore>
#include <QThread>

#include <algorithm>
#include <exception>
#include <limits>
#include <memory>
#include <vector>

namespace ovra::motion_core {

namespace {

constexpr qint64 costPerChunk = 65536;

class ChunkTask : public QRunnable
{
public:
    ChunkTask(const RangeBody &body, int begin, int end, std::exception_ptr &failure, QSemaphore &finished)
        : m_body(body), m_begin(begin), m_end(end), m_failure(failure), m_finished(finished)
    {
    }

    void run() override
    {
        try {
            m_body(m_begin, m_end);
        } catch (...) {
            m_failure = std::current_exception();
        }
        // Nothing of the caller's frame may be touched after this release.
        m_finished.release();
    }

private:
    RangeBody m_body;
    int m_begin;
    int m_end;
    std::exception_ptr &m_failure;
    QSemaphore &m_finished;
};

int chunkCount(int threads, int count, qint64 costPerItem)
{
    const qint64 cost = std::max<qint64>(costPerItem, 1);
    const qint64 total = cost > std::numeric_limits<qint64>::max() / count
        ? std::numeric_limits<qint64>::max()
        : count * cost;
    const qint64 wanted = total / costPerChunk + (total % costPerChunk != 0 ? 1 : 0);
    return static_cast<int>(std::max<qint64>(1, std::min<qint64>({threads, count, wanted})));
}

} // namespace

MotionWorkerPool::MotionWorkerPool()
{
    m_pool.setExpiryTimeout(-1);
    m_pool.setThreadPriority(QThread::LowPriority);
    m_pool.setMaxThreadCount(1);
}

MotionWorkerPool::~MotionWorkerPool()
{
    m_pool.waitForDone();
}

void MotionWorkerPool::setThreadCount(int count)
{
    const int threads = std::max(1, count);
    if (threads == m_threadCount)
        return;
    m_pool.waitForDone();
    m_threadCount = threads;
    m_pool.setMaxThreadCount(threads);
}

void parallelFor(MotionWorkerPool &pool, int count, qint64 costPerItem, const RangeBody &body)
{
    if (count < 1 || !body)
        return;
    const int threads = pool.threadCount();
    if (threads < 2 || count < 2) {
        body(0, count);
        return;
    }
    const int chunks = chunkCount(threads, count, costPerItem);
    if (chunks < 2) {
        body(0, count);
        return;
    }

    std::vector<std::exception_ptr> chunkFailures(static_cast<size_t>(chunks));
    std::exception_ptr launchFailure;
    QSemaphore finished;
    int started = 0;
    try {
        for (int i = 0; i < chunks; ++i) {
            const int begin = static_cast<int>(static_cast<qint64>(i) * count / chunks);
            const int end = static_cast<int>(static_cast<qint64>(i + 1) * count / chunks);
            auto task = std::make_unique<ChunkTask>(body, begin, end, chunkFailures[static_cast<size_t>(i)],
                                                    finished);
            pool.threads().start(task.get(), 0);
            task.release(); // the pool deletes it after run()
            ++started;
        }
    } catch (...) {
        launchFailure = std::current_exception();
    }
    finished.acquire(started);

    if (launchFailure)
        std::rethrow_exception(launchFailure);
    for (const std::exception_ptr &failure : chunkFailures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}

} // namespace ovra::motion_core
