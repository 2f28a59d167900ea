#include "media/Cancellation.h"
#include "media/VideoMetadata.h"

#include <QtTest>

#include <stdexcept>

using ovra::media::CancellationState;
using ovra::media::VideoMetadata;

class VideoMetadataTest : public QObject
{
    Q_OBJECT

private slots:
    void defaults()
    {
        const VideoMetadata metadata;
        QVERIFY(!metadata.hasValidFrameSize());
        QVERIFY(!metadata.hasTiming());
        QVERIFY(!metadata.hasTimeGrid());
        QCOMPARE(metadata.uniformStartFrame, qint64(-1));
        QCOMPARE(metadata.playbackFrameRate(), 0.0);
    }

    void derivedTiming_data()
    {
        QTest::addColumn<qint64>("frameCount");
        QTest::addColumn<qint64>("durationUs");
        QTest::addColumn<double>("nominalRate");
        QTest::addColumn<double>("captureRate");
        QTest::addColumn<double>("playbackRate");
        QTest::addColumn<bool>("timingMapRequired");
        QTest::addColumn<qint64>("recordingUs");
        QTest::addColumn<double>("slowMotionFactor");

        QTest::newRow("capture equals playback") << qint64(3000) << qint64(100000000) << 30.0 << 30.0 << 30.0
                                                 << false << qint64(100000000) << 1.0;
        QTest::newRow("240 fps stored at 30") << qint64(3000) << qint64(100000000) << 30.0 << 240.0 << 30.0
                                              << true << qint64(0) << 0.0;
        QTest::newRow("within 2 percent") << qint64(3000) << qint64(100000000) << 30.0 << 30.5 << 30.0 << false
                                          << qint64(98360656) << 100000000.0 / 98360656.0;
        QTest::newRow("no duration falls back to nominal") << qint64(100) << qint64(0) << 25.0 << 25.0 << 25.0
                                                           << false << qint64(4000000) << 0.0;
        QTest::newRow("capture unknown") << qint64(100) << qint64(4000000) << 25.0 << 0.0 << 25.0 << false
                                         << qint64(0) << 0.0;
    }

    void derivedTiming()
    {
        QFETCH(qint64, frameCount);
        QFETCH(qint64, durationUs);
        QFETCH(double, nominalRate);
        QFETCH(double, captureRate);
        VideoMetadata metadata;
        metadata.frameCount = frameCount;
        metadata.durationUs = durationUs;
        metadata.nominalFrameRate = nominalRate;
        metadata.captureFrameRate = captureRate;

        QTEST(metadata.playbackFrameRate(), "playbackRate");
        QTEST(metadata.captureTimingMapRequired(), "timingMapRequired");
        QTEST(metadata.estimatedRecordingDurationUs(), "recordingUs");
        QTEST(metadata.averageSlowMotionFactor(), "slowMotionFactor");
        QCOMPARE(metadata.effectiveFrameRate(), captureRate > 0.0 ? captureRate : nominalRate);
        QCOMPARE(metadata.playbackDurationUs(), durationUs);
    }

    void hasTimingNeedsRateAndLength()
    {
        VideoMetadata metadata;
        metadata.captureFrameRate = 240.0;
        QVERIFY(!metadata.hasTiming());
        metadata.frameCount = 1;
        QVERIFY(metadata.hasTiming());
        metadata.frameCount = 0;
        metadata.durationUs = 1;
        QVERIFY(metadata.hasTiming());
    }

    void timeGridNeedsOneTimestampPerFrame()
    {
        VideoMetadata metadata;
        metadata.frameCount = 3;
        metadata.frameTimestamps = {0, 512, 1024};
        QVERIFY(metadata.hasTimeGrid());
        metadata.frameTimestamps.removeLast();
        QVERIFY(!metadata.hasTimeGrid());
    }

    void frameTimesRoundHalfAwayFromZero_data()
    {
        QTest::addColumn<qint64>("frameIndex");
        QTest::addColumn<double>("rate");
        QTest::addColumn<qint64>("expectedUs");
        QTest::newRow("29.97 fps frame 10") << qint64(10) << 29.97 << qint64(333667);
        QTest::newRow("exact") << qint64(3) << 25.0 << qint64(120000);
        QTest::newRow("half rounds up") << qint64(1) << 2000000.0 << qint64(1);
        QTest::newRow("240 fps frame 1") << qint64(1) << 240.0 << qint64(4167);
    }

    void frameTimesRoundHalfAwayFromZero()
    {
        QFETCH(qint64, frameIndex);
        QFETCH(double, rate);
        QTEST(ovra::media::frameTimeUs(frameIndex, rate), "expectedUs");
    }

    void rateAgreementTolerance()
    {
        QVERIFY(ovra::media::ratesAgree(30.5, 30.0));
        QVERIFY(ovra::media::ratesAgree(29.41, 30.0));
        QVERIFY(!ovra::media::ratesAgree(30.61, 30.0));
        QVERIFY(ovra::media::ratesAgree(0.105, 0.1)); // the 0.01 floor
        QVERIFY(!ovra::media::ratesAgree(240.0, 30.0));
    }

    void cancellationIsSticky()
    {
        int calls = 0;
        bool request = false;
        CancellationState state([&] {
            ++calls;
            return request;
        });
        QVERIFY(!state.query());
        request = true;
        QVERIFY(state.query());
        request = false;
        QVERIFY(state.query());
        QCOMPARE(calls, 2);
        state.reset();
        QVERIFY(!state.query());
    }

    void throwingCheckCountsAsCancel()
    {
        CancellationState state([]() -> bool { throw std::runtime_error("broken check"); });
        QVERIFY(state.query());
        QVERIFY(state.cancelled());
    }

    void emptyCheckNeverCancels()
    {
        CancellationState state;
        QVERIFY(!state.query());
        state.markCancelled();
        QVERIFY(state.query());
    }
};

QTEST_GUILESS_MAIN(VideoMetadataTest)
#include "tst_videometadata.moc"
