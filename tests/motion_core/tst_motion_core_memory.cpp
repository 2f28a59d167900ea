#include "motion_core/PhaseMotionProcessor.h"

#include <QtTest>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

using namespace ovra;
using namespace ovra::motion_core;

// This executable replaces the global allocation functions so that large allocations can
// be made to fail on demand, as they do when the machine runs out of memory.
namespace {

std::atomic<size_t> failingSize{std::numeric_limits<size_t>::max()};

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

media::VideoMetadata metadata()
{
    media::VideoMetadata result;
    result.frameSize = frameSize;
    result.captureFrameRate = 240.0;
    return result;
}

MotionSettings settings(int threads)
{
    MotionSettings result;
    result.lowerFrequencyHz = 8.0;
    result.upperFrequencyHz = 12.0;
    result.amplificationFactor = 10.0;
    result.workerThreadCount = threads;
    return result;
}

media::VideoFrame frame(qint64 index)
{
    QImage image(frameSize, QImage::Format_RGBA8888);
    for (int y = 0; y < frameSize.height(); ++y)
        for (int x = 0; x < frameSize.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + index) % 256, (y * 5) % 256, (x + y) % 256));
    media::VideoFrame result;
    result.image = image;
    result.frameIndex = index;
    result.presentationTimeUs = index * 1000000 / 240;
    return result;
}

} // namespace

class MotionCoreMemoryTest : public QObject
{
    Q_OBJECT

private slots:
    void configureReportsMissingMemory()
    {
        PhaseMotionProcessor processor;
        QString error;
        {
            AllocationFailure failure(largePlaneBytes);
            QVERIFY(!processor.configure(metadata(), settings(1), &error));
        }
        QCOMPARE(error, QStringLiteral("There is not enough memory to create the spatial pyramid."));
        std::vector<media::VideoFrame> output;
        QVERIFY(!processor.processFrame(frame(0), &output, &error));
        QCOMPARE(error, QStringLiteral("The phase motion processor has not been configured."));
    }

    void frameReportsMissingMemory_data()
    {
        QTest::addColumn<int>("threads");
        QTest::newRow("one thread") << 1;
        QTest::newRow("two threads") << 2;
    }

    void frameReportsMissingMemory()
    {
        // The first frame creates the phase and filter state, so it is the one that runs out.
        QFETCH(int, threads);
        PhaseMotionProcessor processor;
        QVERIFY(processor.configure(metadata(), settings(threads), nullptr));
        const media::VideoFrame input = frame(0);
        std::vector<media::VideoFrame> output(2);
        QString error;
        {
            AllocationFailure failure(largePlaneBytes);
            QVERIFY(!processor.processFrame(input, &output, &error));
        }
        QCOMPARE(error, QStringLiteral("There is not enough memory to process the frame."));
        QVERIFY(output.empty());

        // After a reset the processor works, and gives what a fresh one gives.
        processor.reset();
        PhaseMotionProcessor fresh;
        QVERIFY(fresh.configure(metadata(), settings(threads), nullptr));
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
