// SPDX-License-Identifier: GPL-3.0-or-later
#include "MotionCoreTesting.h"

#include "motion_core/KernelConstants.h"
#include "motion_core/Luminance.h"
#include "motion_core/PlaneOperations.h"
#include "motion_core/SpatialPyramid.h"

#include <QMutex>
#include <QSet>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>

using namespace ovra::motion_core;
using ovra::tests::identical;
using ovra::tests::randomPlane;

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
        chunks.push_back(
            {chunk.index, chunk.begin, chunk.end, QThread::currentThread() == caller, QThread::currentThread()});
    };
    runChunks(pool, count, cost, body);
    std::sort(chunks.begin(), chunks.end(), [](const Chunk &a, const Chunk &b) { return a.begin < b.begin; });
    return chunks;
}

FloatPlane rampPlane(int width, int height)
{
    FloatPlane plane(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            plane.at(x, y) = static_cast<float>(x + 10 * y);
    return plane;
}

float maximumDifference(const FloatPlane &a, const FloatPlane &b)
{
    float worst = 0.0f;
    for (int i = 0; i < a.sampleCount(); ++i)
        worst = std::max(worst, std::abs(a.data()[i] - b.data()[i]));
    return worst;
}

// Direct evaluation of the separable blur in double precision, one output sample at a time,
// rows then columns.
FloatPlane naiveBlur(const FloatPlane &in, const std::vector<float> &kernel)
{
    auto reflect = [](int i, int n) {
        while (n > 1 && (i < 0 || i >= n))
            i = i < 0 ? -i - 1 : 2 * n - i - 1;
        return n > 1 ? i : 0;
    };
    const int r = int(kernel.size()) / 2;
    FloatPlane passes[2] = {FloatPlane(in.width(), in.height()), FloatPlane(in.width(), in.height())};
    for (int pass = 0; pass < 2; ++pass) {
        const FloatPlane &from = pass == 0 ? in : passes[0];
        for (int y = 0; y < in.height(); ++y)
            for (int x = 0; x < in.width(); ++x) {
                double sum = 0.0;
                for (int j = -r; j <= r; ++j)
                    sum += (pass == 0 ? from.at(reflect(x + j, in.width()), y)
                                      : from.at(x, reflect(y + j, in.height())))
                        * double(kernel[size_t(j + r)]);
                passes[pass].at(x, y) = float(sum);
            }
    }
    return passes[1];
}

} // namespace

class MotionPlanesTest : public QObject
{
    Q_OBJECT

private slots:
    void oversizedInputsThrow()
    {
        // 65536 x 65536 samples overflow an int count: refused, not wrapped to a small buffer.
        FloatPlane plane;
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, plane.reshape(65536, 65536));
        // A kernel wider than the blur's sample window, or one it would fold wrongly: refused.
        MotionWorkerPool pool;
        FloatPlane output, scratch;
        for (const std::vector<float> &kernel :
             {std::vector<float>(11, 1.0f / 11), std::vector<float>{0.5f, 0.3f, 0.2f}})
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                     blur(pool, randomPlane(QSize(20, 20), 1), kernel, output, scratch));
    }

    void luminance_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<float>("luma");
        QTest::newRow("red") << QColor(255, 0, 0) << 54.213f;
        QTest::newRow("green") << QColor(0, 255, 0) << 182.376f;
        QTest::newRow("blue") << QColor(0, 0, 255) << 18.411f;
        QTest::newRow("white") << QColor(255, 255, 255) << 255.0f;
    }

    void luminance()
    {
        QFETCH(QColor, color);
        QFETCH(float, luma);
        MotionWorkerPool pool;
        // The same value whether the pixels are read in place or converted first.
        for (QImage::Format format : {QImage::Format_RGBA8888, QImage::Format_ARGB32, QImage::Format_RGB888}) {
            QImage image(5, 3, format);
            image.fill(color);
            FloatPlane plane;
            extractLuminance(pool, image, plane);
            QCOMPARE(QSize(plane.width(), plane.height()), QSize(5, 3));
            QVERIFY2(std::abs(plane.at(4, 2) - luma) < 1e-3f, qPrintable(QString::number(plane.at(4, 2))));
        }
    }

    void blurMatchesDirectEvaluation_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("23x17") << 23 << 17;
        QTest::newRow("3x3, kernel wider than the plane") << 3 << 3;
        QTest::newRow("one row") << 12 << 1;
        QTest::newRow("one column") << 1 << 9;
    }

    void blurMatchesDirectEvaluation()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        MotionWorkerPool pool;
        const FloatPlane input = randomPlane(QSize(width, height), 7);
        for (const std::vector<float> *kernel : {&pyramidKernel(), &phaseDenoisingKernel()}) {
            FloatPlane output;
            FloatPlane scratch;
            blur(pool, input, *kernel, output, scratch);
            // Samples up to 255: a few single-precision roundings apart at most.
            QVERIFY(maximumDifference(output, naiveBlur(input, *kernel)) < 1e-3f);
            // In place gives the same values.
            FloatPlane inPlace = input;
            blur(pool, inPlace, *kernel, inPlace, scratch);
            QVERIFY(identical(inPlace, output));
        }
    }

    void phaseAngleFollowsAtan2()
    {
        // Every reduction branch and both half planes, at lengths far apart, and the axes.
        for (double length : {1e-5, 1.0, 3e4}) {
            for (int step = 0; step <= 3600; ++step) {
                const double turn = M_PI * step / 3600.0;
                const float y = float(length * std::sin(turn));
                const float x = float(length * std::cos(turn));
                const float got = ovra::motion_core::kernel::halfTurnAngle(y, x);
                const double want = std::atan2(double(y), double(x));
                const double ulp = std::nextafter(float(want), 4.0f) - float(want);
                QVERIFY2(std::abs(got - want) <= 3.0 * ulp,
                         qPrintable(QStringLiteral("atan2(%1, %2): %3, exactly %4").arg(y).arg(x).arg(got).arg(want)));
            }
        }
        QCOMPARE(ovra::motion_core::kernel::halfTurnAngle(0.0f, -2.0f), float(M_PI));
        QCOMPARE(ovra::motion_core::kernel::halfTurnAngle(2.0f, 0.0f), float(M_PI / 2));
    }

    void resampling()
    {
        // Downsampling keeps the even samples; a linear ramp upsampled comes back exactly at
        // the clamped bilinear source positions (pixel centres aligned).
        MotionWorkerPool pool;
        FloatPlane output;
        downsample(pool, rampPlane(5, 3), output);
        QCOMPARE(QSize(output.width(), output.height()), QSize(3, 2));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                QCOMPARE(output.at(x, y), float(2 * x + 20 * y));
        upsample(pool, rampPlane(3, 2), 5, 3, output);
        QCOMPARE(QSize(output.width(), output.height()), QSize(5, 3));
        const float columns[] = {0.0f, 0.4f, 1.0f, 1.6f, 2.0f};
        const float rows[] = {0.0f, 0.5f, 1.0f};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                QVERIFY(std::abs(output.at(x, y) - (columns[x] + 10.0f * rows[y])) < 1e-5f);
        upsample(pool, rampPlane(3, 2), 0, 3, output);
        QVERIFY(output.isEmpty());
    }

    void decomposeThenReconstruct_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("levels");
        QTest::newRow("37x29, 3 levels") << 37 << 29 << 3;
        QTest::newRow("64x48, 2 levels") << 64 << 48 << 2;
        QTest::newRow("33x100, 4 levels") << 33 << 100 << 4;
        QTest::newRow("250x131, 4 levels") << 250 << 131 << 4;
        QTest::newRow("32x1, 1 level") << 32 << 1 << 1;
    }

    void decomposeThenReconstruct()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, levels);
        MotionWorkerPool pool;
        SpatialPyramid spatialPyramid(levels, pool);
        const FloatPlane luminance = randomPlane(QSize(width, height), quint32(width * height));
        Pyramid pyramid;
        spatialPyramid.decompose(luminance, pyramid);
        QCOMPARE(int(pyramid.levels.size()), levels);
        const std::vector<QSize> sizes = spatialPyramid.planeSizes(QSize(width, height));
        for (int level = 0; level < levels; ++level)
            QCOMPARE(QSize(pyramid.levels[size_t(level)].width(), pyramid.levels[size_t(level)].height()),
                     sizes[size_t(level)]);
        QCOMPARE(QSize(pyramid.residual.width(), pyramid.residual.height()), sizes.back());

        FloatPlane reconstructed;
        spatialPyramid.reconstruct(pyramid, reconstructed);
        QCOMPARE(QSize(reconstructed.width(), reconstructed.height()), QSize(width, height));
        QVERIFY2(maximumDifference(reconstructed, luminance) < 2e-4f,
                 qPrintable(QString::number(maximumDifference(reconstructed, luminance))));
        // The band-pass levels carry detail: a random plane is far from its residual.
        QVERIFY(maximumDifference(pyramid.levels[0], FloatPlane(width, height)) > 10.0f);
    }

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

QTEST_GUILESS_MAIN(MotionPlanesTest)
#include "tst_motion_planes.moc"
