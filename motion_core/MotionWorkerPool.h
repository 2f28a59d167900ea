// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSemaphore>
#include <QtGlobal>

#include <memory>
#include <type_traits>
#include <vector>

namespace ovra::motion_core {

// One chunk of a parallel loop: its number (0 .. chunks - 1) and its half-open index range.
struct ChunkRange
{
    int index;
    int begin;
    int end;
};

// A non-owning reference to the loop body, so that starting a loop never allocates.
class ChunkBody
{
public:
    template <typename Callable, typename = std::enable_if_t<!std::is_same_v<std::decay_t<Callable>, ChunkBody>>>
    ChunkBody(Callable &callable) // implicit on purpose, like a function reference
        : m_object(const_cast<void *>(static_cast<const void *>(&callable)))
        , m_call([](void *object, const ChunkRange &chunk) { (*static_cast<Callable *>(object))(chunk); })
    {
    }

    void operator()(const ChunkRange &chunk) const { m_call(m_object, chunk); }

private:
    void *m_object;
    void (*m_call)(void *, const ChunkRange &);
};

class ChunkWorker;

// The motion core's own low-priority threads, kept alive for the whole run so that
// per-stage fork-join costs neither thread start-up nor allocation: every thread runs one
// long-lived worker that waits for chunks.
class MotionWorkerPool
{
public:
    MotionWorkerPool();
    ~MotionWorkerPool();

    MotionWorkerPool(const MotionWorkerPool &) = delete;
    MotionWorkerPool &operator=(const MotionWorkerPool &) = delete;

    // Ends the workers (between loops, when they are idle) before changing the count; never below 1.
    void setThreadCount(int count);
    int threadCount() const { return m_threadCount; }

private:
    friend void runChunks(MotionWorkerPool &pool, int count, qint64 costPerItem, ChunkBody body);

    // The worker of chunk index, started on first use; throws when it cannot be created
    // (std::system_error when the system cannot start its thread).
    ChunkWorker &worker(int index);

    int m_threadCount = 1;
    QSemaphore m_finished; // declared before the workers, which release it until they end
    std::vector<std::unique_ptr<ChunkWorker>> m_workers;
};

// Runs body over 0..count in contiguous chunks and returns when all have finished.
//
// Contract:
// - One chunk per 65 536 units of count x costPerItem, at most one per thread and per item.
//   With fewer than two chunks (or a one-thread pool) body runs once on the calling thread
//   as chunk 0.
// - Otherwise every chunk runs on its own pool thread, concurrently with the others; the
//   calling thread only waits. Chunk i covers [i x count / chunks, (i + 1) x count / chunks).
//   A chunk may write only the outputs of its own indices (and scratch owned by its chunk
//   number, which is below threadCount()) and may read shared inputs.
// - An exception thrown in a chunk is rethrown here after all started chunks have finished:
//   a failure to launch a chunk first, otherwise the lowest-numbered failed chunk's.
// - One calling thread at a time.
void runChunks(MotionWorkerPool &pool, int count, qint64 costPerItem, ChunkBody body);

// runChunks for bodies that take (begin, end) and need no chunk number.
template <typename RangeBody> void parallelFor(MotionWorkerPool &pool, int count, qint64 costPerItem, RangeBody &&body)
{
    auto chunkBody = [&body](const ChunkRange &chunk) { body(chunk.begin, chunk.end); };
    runChunks(pool, count, costPerItem, chunkBody);
}

} // namespace ovra::motion_core
