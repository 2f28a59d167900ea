#include "motion_core/MotionWorkerPool.h"

#include <QMutex>
#include <QSet>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

using namespace ovra::motion_core;

namespace {

struct Chunk
{
    int index;
    int begin;
    int end;
    bool onCaller;
    QThread *thread;
};

// Records every chunk that body receives.
std::vector<Chunk> recordChunks(MotionWorkerPool &pool, int count, qint64 cost)
{
    QMutex mutex;
    std::vector<Chunk> chunks;
    QThread *caller = QThread::currentThread();
    auto body = [&](const ChunkRange &chunk) {
        QMutexLocker locker(&mutex);
        chunks.push_back({chunk.index, chunk.begin, chunk.end, QThread::currentThread() == caller,
                          QThread::currentThread()});
    };
    runChunks(pool, count, cost, body);
    std::sort(chunks.begin(), chunks.end(), [](const Chunk &a, const Chunk &b) { return a.begin < b.begin; });
    return chunks;
}

} // namespace

class MotionWorkerPoolTest : public QObject
{
    Q_OBJECT

private slots:
    void chunkCount_data()
    {
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("count");
        QTest::addColumn<qint64>("cost");
        QTest::addColumn<int>("chunks");
        QTest::newRow("64x64 plane, cost 2") << 8 << 64 * 64 << qint64(2) << 1;
        QTest::newRow("one thread") << 1 << 1000000 << qint64(100) << 1;
        QTest::newRow("just over one unit") << 4 << 65537 << qint64(1) << 2;
        QTest::newRow("cost below 1 counts as 1") << 4 << 65536 * 3 << qint64(0) << 3;
        QTest::newRow("more threads than items") << 8 << 3 << qint64(1000000) << 3;
        QTest::newRow("overflowing cost saturates") << 4 << 10 << std::numeric_limits<qint64>::max() << 4;
    }

    void chunkCount()
    {
        QFETCH(int, threads);
        QFETCH(int, count);
        QFETCH(qint64, cost);
        QFETCH(int, chunks);
        MotionWorkerPool pool;
        pool.setThreadCount(threads);
        const std::vector<Chunk> recorded = recordChunks(pool, count, cost);
        QCOMPARE(int(recorded.size()), chunks);
        // Contiguous, numbered in order, complete, each on its own thread, and on the
        // caller exactly when there is one chunk.
        int next = 0;
        QSet<QThread *> threadsUsed;
        for (size_t i = 0; i < recorded.size(); ++i) {
            const Chunk &chunk = recorded[i];
            QCOMPARE(chunk.index, int(i));
            threadsUsed.insert(chunk.thread);
            QCOMPARE(chunk.begin, next);
            QVERIFY(chunk.end > chunk.begin);
            QCOMPARE(chunk.onCaller, chunks == 1);
            next = chunk.end;
        }
        QCOMPARE(next, count);
        QCOMPARE(int(threadsUsed.size()), chunks);
    }

    void threadCountChangesBetweenLoops()
    {
        // The long-lived workers end and start again; every loop still sees all its chunks.
        MotionWorkerPool pool;
        for (int threads : {4, 2, 3, 1, 2}) {
            pool.setThreadCount(threads);
            QCOMPARE(pool.threads().maxThreadCount(), threads);
            for (int repeat = 0; repeat < 3; ++repeat)
                QCOMPARE(int(recordChunks(pool, 1000, 1000).size()), threads);
        }
    }

    void lowestChunkExceptionWinsAfterAllFinished()
    {
        // Chunk 3 fails first with an allocation failure; chunk 1 fails late, after the
        // others are done. The caller sees chunk 1's exception, and the pool stays usable.
        MotionWorkerPool pool;
        pool.setThreadCount(4);
        std::atomic<int> finishedChunks{0};
        try {
            parallelFor(pool, 4, 65536, [&](int begin, int) {
                // Chunk 1 fails last: once the others are done (bounded, should one thread run two chunks).
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                while (begin == 1 && finishedChunks < 3 && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::yield();
                ++finishedChunks;
                if (begin == 1)
                    throw std::runtime_error("chunk 1");
                if (begin == 3)
                    throw std::bad_alloc();
            });
            QFAIL("the exception was swallowed");
        } catch (const std::runtime_error &error) {
            QCOMPARE(QByteArray(error.what()), QByteArray("chunk 1"));
        }
        QCOMPARE(finishedChunks.load(), 4);
        QCOMPARE(recordChunks(pool, 1000, 1000).size(), size_t(4));
    }
};

QTEST_GUILESS_MAIN(MotionWorkerPoolTest)
#include "tst_motion_worker_pool.moc"
