#pragma once

#include <QThreadPool>
#include <QtGlobal>

#include <functional>

namespace ovra::motion_core {

// The motion core's own low-priority threads, kept alive for the whole run so that
// per-stage fork-join costs no thread start-up.
class MotionWorkerPool
{
public:
    MotionWorkerPool();
    ~MotionWorkerPool();

    MotionWorkerPool(const MotionWorkerPool &) = delete;
    MotionWorkerPool &operator=(const MotionWorkerPool &) = delete;

    // Waits for running tasks before changing the count; never below 1.
    void setThreadCount(int count);
    int threadCount() const { return m_threadCount; }
    QThreadPool &threads() { return m_pool; }

private:
    QThreadPool m_pool;
    int m_threadCount = 1;
};

// Processes the half-open range [begin, end) of item indices.
using RangeBody = std::function<void(int begin, int end)>;

// Runs body over 0..count in contiguous chunks and returns when all have finished.
//
// Contract:
// - One chunk per 65 536 units of count x costPerItem, at most one per thread and per item.
//   With fewer than two chunks (or a one-thread pool) body runs once on the calling thread.
// - Otherwise every chunk is one pool task running concurrently with the others; the
//   calling thread only waits. A chunk may write only the outputs of its own indices and
//   may read shared inputs.
// - An exception thrown in a chunk is rethrown here after all started chunks have finished:
//   a failure to launch a chunk first, otherwise the lowest-numbered failed chunk's.
void parallelFor(MotionWorkerPool &pool, int count, qint64 costPerItem, const RangeBody &body);

} // namespace ovra::motion_core
