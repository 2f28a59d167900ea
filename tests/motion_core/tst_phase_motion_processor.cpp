// SPDX-License-Identifier: GPL-3.0-or-later
#include "MotionCoreTesting.h"
#include "TestMedia.h"

#include "motion_core/PhaseMotionProcessor.h"

#include <QtTest>

#include <functional>
#include <limits>
#include <memory>

using namespace ovra;
using namespace ovra::motion_core;
using tests::gratingFrame;
using tests::inBandShift;
using tests::motionFrame;
using tests::motionMetadata;
using tests::motionSettings;
using tests::verifyRefusal;

using Change = std::function<void(media::VideoMetadata &, MotionSettings &)>;
Q_DECLARE_METATYPE(Change)

class PhaseMotionProcessorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Set when the tests run on an emulated CPU, to make sure it hides what it should.
        const QByteArray expected = qgetenv("OVRA_EXPECTED_BEST_KERNELS");
        if (!expected.isEmpty())
            QCOMPARE(QByteArray(kernelSetName(bestKernelSet())), expected);
    }

    void configureChecks_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, Change change, const QString &message = {}) {
            QTest::newRow(name) << change << message;
        };
        row(
            "no frame size", [](auto &m, auto &) { m.frameSize = QSize(0, 1080); },
            "Could not determine the source video's frame size.");
        row(
            "no capture rate", [](auto &m, auto &) { m.captureFrameRate = std::numeric_limits<double>::quiet_NaN(); },
            "The camera capture frame rate is required to configure the motion filter.");
        row(
            "variable rate before band",
            [](auto &m, auto &s) {
                m.variableFrameRate = true;
                s.upperFrequencyHz = 200;
            },
            "The phase core prototype supports only a uniform time grid.");
        row(
            "band at Nyquist", [](auto &, auto &s) { s.upperFrequencyHz = tests::motionCaptureFps / 2; },
            "The amplification band must lie between 0 Hz and the Nyquist frequency.");
        const QString invalidRegion = "The amplification region or stabilization reference region is invalid.";
        row(
            "region too narrow", [](auto &, auto &s) { s.regionOfInterest = QRectF(0.4, 0.4, 0.01, 0.1); },
            invalidRegion);
        row(
            "compensation without reference", [](auto &, auto &s) { s.cameraMotionCompensationEnabled = true; },
            invalidRegion);
        row(
            "reference region too small",
            [](auto &, auto &s) {
                s.cameraMotionCompensationEnabled = true;
                s.stabilizationReferenceRegion = QRectF(0.1, 0.1, 0.01, 0.2);
            },
            invalidRegion);
        row(
            "factor", [](auto &, auto &s) { s.amplificationFactor = 50.0001; },
            "The prototype amplification factor must be between 1 and 50.");
        row(
            "workers", [](auto &, auto &s) { s.workerThreadCount = -1; },
            "The worker thread count must be between 0 and 256; 0 selects automatic mode.");
        row(
            "31 pixels wide", [](auto &m, auto &) { m.frameSize = QSize(31, 1000); },
            "The minimum frame size for processing is 32 x 32 pixels.");
        row("accepted", [](auto &, auto &) {});
        row("256 workers, factor 50", [](auto &, auto &s) {
            s.workerThreadCount = 256;
            s.amplificationFactor = 50;
        });
    }

    void configureChecks()
    {
        QFETCH(Change, change);
        QFETCH(QString, message);
        media::VideoMetadata metadata = motionMetadata(QSize(1920, 1080));
        MotionSettings settings = motionSettings(10.0);
        change(metadata, settings);
        PhaseMotionProcessor processor;
        QVERIFY(processor.configure(motionMetadata(QSize(64, 64)), motionSettings(2.0), nullptr));
        QString error;
        QCOMPARE(processor.configure(metadata, settings, &error), message.isEmpty());
        QCOMPARE(error, message);
        // A failed configure leaves the processor unusable until the next success.
        std::vector<media::VideoFrame> output;
        QCOMPARE(processor.flush(&output, &error), message.isEmpty());
    }

    void frameAdmission()
    {
        PhaseMotionProcessor processor;
        const QSize size(64, 48);
        const QImage image = gratingFrame(size, 0.0);
        std::vector<media::VideoFrame> output;
        QString error;
        const QString notConfigured = "The phase motion processor has not been configured.";
        verifyRefusal(processor.processFrame(motionFrame(0, image), &output, &error), error, notConfigured);
        verifyRefusal(processor.flush(&output, &error), error, notConfigured);
        QVERIFY(processor.configure(motionMetadata(size), motionSettings(10.0), nullptr));

        const QString invalid = "A valid frame and an output frame container are required.";
        verifyRefusal(processor.processFrame(motionFrame(0, image), nullptr, &error), error, invalid);
        verifyRefusal(processor.processFrame(motionFrame(0, QImage()), &output, &error), error, invalid);
        media::VideoFrame untimed = motionFrame(0, image);
        untimed.presentationTimeUs = -1;
        verifyRefusal(processor.processFrame(untimed, &output, &error), error, invalid);

        QVERIFY(processor.processFrame(motionFrame(5, image), &output, &error));
        QCOMPARE(output.size(), size_t(1));
        QCOMPARE(output[0].frameIndex, 5);
        QCOMPARE(output[0].presentationTimeUs, media::frameTimeUs(5, tests::motionCaptureFps));

        verifyRefusal(processor.processFrame(motionFrame(6, gratingFrame(QSize(48, 64), 0.0)), &output, &error), error,
                      "The frame size changed during processing.");
        QVERIFY(output.empty());
        verifyRefusal(processor.processFrame(motionFrame(5, image), &output, &error), error,
                      "Frame timestamps must be strictly increasing.");
        const QString sequence = "Frame sequence numbers must be strictly increasing.";
        media::VideoFrame earlierSequence = motionFrame(6, image);
        earlierSequence.frameIndex = 4;
        verifyRefusal(processor.processFrame(earlierSequence, &output, &error), error, sequence);

        // A frame without a sequence number passes and leaves the recorded one alone.
        media::VideoFrame unnumbered = motionFrame(7, image);
        unnumbered.frameIndex = -1;
        QVERIFY(processor.processFrame(unnumbered, &output, &error));
        media::VideoFrame sameSequence = motionFrame(8, image);
        sameSequence.frameIndex = 5;
        verifyRefusal(processor.processFrame(sameSequence, &output, &error), error, sequence);
        QCOMPARE(processor.stageTimings().framesProcessed, 2);
    }

    void factorOnePassesFramesThrough()
    {
        PhaseMotionProcessor processor;
        const QSize size(96, 64);
        QVERIFY(processor.configure(motionMetadata(size), motionSettings(1.0), nullptr));
        std::vector<media::VideoFrame> output;
        for (qint64 index = 0; index < 12; ++index) {
            const media::VideoFrame input = motionFrame(index, gratingFrame(size, 0.3 * std::sin(double(index))));
            QVERIFY(processor.processFrame(input, &output, nullptr));
            QCOMPARE(output.size(), size_t(1));
            QCOMPARE(output[0].image.cacheKey(), input.image.cacheKey());
        }
        QCOMPARE(processor.stageTimings().framesProcessed, 0);
        QString error;
        verifyRefusal(processor.processFrame(motionFrame(11, gratingFrame(size, 0.0)), &output, &error), error,
                      "Frame timestamps must be strictly increasing.");
    }

    void vectorKernelsFollowTheReference_data()
    {
        QTest::addColumn<QRectF>("region");
        QTest::addColumn<bool>("optimised");
        QTest::newRow("whole frame") << QRectF(0, 0, 1, 1) << true;
        QTest::newRow("region in its processing rectangle") << QRectF(0.3, 0.25, 0.4, 0.45) << true;
        QTest::newRow("region, whole frame processed") << QRectF(0.3, 0.25, 0.4, 0.45) << false;
    }

    void vectorKernelsFollowTheReference()
    {
        // Thirty frames of a 10 Hz motion at factor 20 (so phase shifts reach their limit)
        // with the reference and every vector kernel set, each on one thread and on three:
        // the first frame comes back unchanged (zero phase difference and filter state),
        // pixels outside the expanded region stay exact, and neither the kernel set nor the
        // thread count changes a bit.
        QFETCH(QRectF, region);
        QFETCH(bool, optimised);
        const QSize size(301, 203);
        MotionSettings settings = motionSettings(20.0);
        settings.regionOfInterest = region;
        settings.regionProcessingOptimizationEnabled = optimised;
        std::vector<std::unique_ptr<PhaseMotionProcessor>> processors; // one thread, then three, per set
        for (KernelSet set : tests::supportedKernelSets(true)) {
            for (int threads : {1, 3}) {
                settings.workerThreadCount = threads;
                processors.push_back(std::make_unique<PhaseMotionProcessor>(set));
                QCOMPARE(processors.back()->kernelSet(), set);
                QVERIFY(processors.back()->configure(motionMetadata(size), settings, nullptr));
            }
        }
        const ProcessingRegion &geometry = processors.front()->processingRegion();
        QCOMPARE(geometry.isActive(), optimised && region != QRectF(0, 0, 1, 1));
        const QRect processing = geometry.processingRectangle();
        const QRectF expanded = geometry.expandedRegionInProcessing();
        const QRectF expandedPixels(processing.x() + expanded.x() * processing.width(),
                                    processing.y() + expanded.y() * processing.height(),
                                    expanded.width() * processing.width(), expanded.height() * processing.height());
        int changedInside = 0;
        std::vector<media::VideoFrame> expected;
        std::vector<media::VideoFrame> output;
        for (qint64 index = 0; index < 30; ++index) {
            const QImage input = gratingFrame(size, inBandShift(index));
            const QImage unchanged = input.convertToFormat(QImage::Format_ARGB32);
            QImage oneThread;
            for (size_t p = 0; p < processors.size(); ++p) {
                const char *name = kernelSetName(processors[p]->kernelSet());
                std::vector<media::VideoFrame> &frames = p == 0 ? expected : output;
                QVERIFY(processors[p]->processFrame(motionFrame(index, input), &frames, nullptr));
                const QImage &result = frames[0].image;
                if (p % 2 == 1) {
                    QVERIFY2(result == oneThread, qPrintable(QStringLiteral("%1, frame %2").arg(name).arg(index)));
                    continue;
                }
                oneThread = result;
                QCOMPARE(result.format(), QImage::Format_ARGB32);
                if (index == 0)
                    QCOMPARE(ovra::tests::maximumChannelDifference(result, input), 0);
                for (int y = 0; y < size.height(); ++y)
                    for (int x = 0; x < size.width(); ++x) {
                        const bool inside = expandedPixels.contains(QPointF(x + 0.5, y + 0.5));
                        const bool changed = result.pixel(x, y) != unchanged.pixel(x, y);
                        if (!inside && changed)
                            QFAIL(qPrintable(QStringLiteral("%1: pixel %2,%3 changed in frame %4")
                                                 .arg(name)
                                                 .arg(x)
                                                 .arg(y)
                                                 .arg(index)));
                        changedInside += p == 0 && inside && changed;
                    }
                QVERIFY2(result == expected[0].image, qPrintable(QStringLiteral("%1, frame %2").arg(name).arg(index)));
            }
        }
        QVERIFY(changedInside > 1000);
    }

    void resetStartsAnew()
    {
        const QSize size(128, 96);
        PhaseMotionProcessor processor;
        QVERIFY(processor.configure(motionMetadata(size), motionSettings(20.0), nullptr));
        std::vector<QImage> first;
        std::vector<media::VideoFrame> output;
        for (qint64 index = 0; index < 6; ++index) {
            QVERIFY(
                processor.processFrame(motionFrame(index, gratingFrame(size, 0.2 * double(index))), &output, nullptr));
            first.push_back(output[0].image);
        }
        processor.reset();
        // Timestamps may start again, and the same input gives the same output.
        for (qint64 index = 0; index < 6; ++index) {
            QVERIFY(
                processor.processFrame(motionFrame(index, gratingFrame(size, 0.2 * double(index))), &output, nullptr));
            QVERIFY(output[0].image == first[size_t(index)]);
        }
    }
};

QTEST_GUILESS_MAIN(PhaseMotionProcessorTest)
#include "tst_phase_motion_processor.moc"
