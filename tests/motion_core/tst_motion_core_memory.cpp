// SPDX-License-Identifier: GPL-3.0-or-later
#include "MotionCoreTesting.h"
#include "TestMedia.h"

#include "motion_core/PhaseMotionProcessor.h"

#include <QtTest>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>
#include <optional>
#include <system_error>

using namespace ovra;
using namespace ovra::motion_core;

// This executable replaces the global allocation functions so that large allocations can
// be made to fail on demand, as they do when the machine runs out of memory, and so that
// allocations can be counted.
namespace {

std::atomic<size_t> failingSize{std::numeric_limits<size_t>::max()};
std::atomic<qint64> allocationCount{0};
std::atomic<qint64> allocatedBytes{0};

// Fails every allocation of at least bytes until the object goes out of scope.
class AllocationFailure
{
public:
    explicit AllocationFailure(size_t bytes) { failingSize = bytes; }
    ~AllocationFailure() { failingSize = std::numeric_limits<size_t>::max(); }
};

} // namespace

void *operator new(size_t size)
{
    if (size >= failingSize.load(std::memory_order_relaxed))
        throw std::bad_alloc();
    ++allocationCount;
    allocatedBytes += qint64(size);
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void *memory) noexcept
{
    std::free(memory);
}

void operator delete(void *memory, size_t) noexcept
{
    std::free(memory);
}

namespace {

constexpr size_t largePlaneBytes = 64 * 1024;
const QSize frameSize(256, 192);

// Allocations made through operator new while the object lives.
class AllocationCounter
{
public:
    AllocationCounter()
        : m_count(allocationCount)
        , m_bytes(allocatedBytes)
    {
    }
    qint64 count() const { return allocationCount - m_count; }
    qint64 bytes() const { return allocatedBytes - m_bytes; }

private:
    qint64 m_count;
    qint64 m_bytes;
};

media::VideoFrame frame(qint64 index)
{
    return tests::motionFrame(index, tests::gratingFrame(frameSize, tests::inBandShift(index)));
}

} // namespace

class MotionCoreMemoryTest : public QObject
{
    Q_OBJECT

private slots:
    void steadyStateFramesAllocateOnlyTheirImage_data()
    {
        QTest::addColumn<KernelSet>("kernels");
        QTest::addColumn<int>("threads");
        QTest::addColumn<QRectF>("region");
        if (!kernelSetSupported(KernelSet::Sse2))
            QSKIP("This build runs the reference kernels only, which allocate per stage.");
        for (KernelSet set : tests::supportedKernelSets(false)) {
            for (int threads : {1, 2}) {
                QTest::addRow("%s, %d threads, whole frame", kernelSetName(set), threads)
                    << set << threads << QRectF(0, 0, 1, 1);
                QTest::addRow("%s, %d threads, region", kernelSetName(set), threads)
                    << set << threads << QRectF(0.3, 0.3, 0.4, 0.4);
            }
        }
    }

    void steadyStateFramesAllocateOnlyTheirImage()
    {
        // Once the first frame has created the phase and filter state, a frame allocates
        // only the output image it hands over (which the caller owns and may paint on).
        QFETCH(KernelSet, kernels);
        QFETCH(int, threads);
        QFETCH(QRectF, region);
        PhaseMotionProcessor processor(kernels);
        MotionSettings settings = tests::motionSettings(10.0, threads);
        settings.regionOfInterest = region;
        QVERIFY(processor.configure(tests::motionMetadata(frameSize), settings, nullptr));
        std::vector<media::VideoFrame> inputs;
        for (qint64 index = 0; index < 8; ++index)
            inputs.push_back(frame(index));
        std::vector<media::VideoFrame> output;
        for (qint64 index = 0; index < 3; ++index)
            QVERIFY(processor.processFrame(inputs[size_t(index)], &output, nullptr));

        qint64 imageAllocations = 0;
        qint64 imageBytes = 0;
        {
            const AllocationCounter counter;
            const QImage image(frameSize, QImage::Format_ARGB32);
            imageAllocations = counter.count();
            imageBytes = counter.bytes();
        }
        const AllocationCounter counter;
        for (qint64 index = 3; index < 8; ++index)
            QVERIFY(processor.processFrame(inputs[size_t(index)], &output, nullptr));
        QCOMPARE(counter.count(), 5 * imageAllocations);
        QCOMPARE(counter.bytes(), 5 * imageBytes);
        QCOMPARE(processor.stageTimings().framesProcessed, 8);
    }

    void frameReportsMissingResources_data()
    {
        QTest::addColumn<int>("threads");
        QTest::addColumn<bool>("threadsStart"); // false: the memory is there, the worker threads are not
        QTest::addColumn<QString>("message");
        const QString memory = "There is not enough memory to process the frame.";
        QTest::newRow("memory, one thread") << 1 << true << memory;
        QTest::newRow("memory, two threads") << 2 << true << memory;
        QTest::newRow("worker threads that cannot start")
            << 2 << false
            << "The system could not start a thread for motion processing: "
                + QString::fromStdString(std::make_error_code(std::errc::resource_unavailable_try_again).message());
    }

    void frameReportsMissingResources()
    {
        // The first frame creates the phase and filter state and starts the worker threads, so
        // it is the one that fails, and it fails at once instead of waiting for chunks that never run.
        QFETCH(int, threads);
        QFETCH(bool, threadsStart);
        PhaseMotionProcessor processor;
        QVERIFY(processor.configure(tests::motionMetadata(frameSize), tests::motionSettings(10.0, threads), nullptr));
        const media::VideoFrame input = frame(0);
        std::vector<media::VideoFrame> output(2);
        QString error;
        {
            std::optional<AllocationFailure> noMemory;
            std::optional<tests::NoNewThreads> noThreads;
            if (threadsStart) {
                noMemory.emplace(largePlaneBytes);
            } else {
                noThreads.emplace();
                QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^QThread::start: Thread creation error"));
            }
            QVERIFY(!processor.processFrame(input, &output, &error));
        }
        QTEST(error, "message");
        QVERIFY(output.empty());

        // After a reset the processor works, and gives what a fresh one gives.
        processor.reset();
        PhaseMotionProcessor fresh;
        QVERIFY(fresh.configure(tests::motionMetadata(frameSize), tests::motionSettings(10.0, threads), nullptr));
        std::vector<media::VideoFrame> expected;
        for (qint64 index = 0; index < 3; ++index) {
            QVERIFY(processor.processFrame(frame(index), &output, &error));
            QVERIFY(fresh.processFrame(frame(index), &expected, nullptr));
            QVERIFY(output[0].image == expected[0].image);
        }
    }
};

QTEST_GUILESS_MAIN(MotionCoreMemoryTest)
#include "tst_motion_core_memory.moc"
