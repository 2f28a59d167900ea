#include "media/VideoMetadata.h"

#include <QtTest>

#include <limits>

using ovra::media::VideoMetadata;

class VideoMetadataTest : public QObject
{
    Q_OBJECT

private slots:
    void derivedTiming_data()
    {
        QTest::addColumn<qint64>("frameCount");
        QTest::addColumn<qint64>("durationUs");
        QTest::addColumn<double>("nominalRate");
        QTest::addColumn<double>("captureRate");
        QTest::addColumn<bool>("hasTiming");
        QTest::addColumn<double>("playbackRate");
        QTest::addColumn<bool>("timingMapRequired");
        QTest::addColumn<qint64>("recordingUs");
        QTest::addColumn<double>("slowMotionFactor");
        const qint64 hundredSeconds = 100000000;
        QTest::newRow("capture equals playback")
            << qint64(3000) << hundredSeconds << 30.0 << 30.0 << true << 30.0 << false << hundredSeconds << 1.0;
        QTest::newRow("240 fps stored at 30")
            << qint64(3000) << hundredSeconds << 30.0 << 240.0 << true << 30.0 << true << qint64(0) << 0.0;
        QTest::newRow("within 2 percent") << qint64(3000) << hundredSeconds << 30.0 << 30.5 << true << 30.0 << false
                                          << qint64(98360656) << 100000000.0 / 98360656.0;
        QTest::newRow("no duration falls back to nominal")
            << qint64(100) << qint64(0) << 25.0 << 25.0 << true << 25.0 << false << qint64(4000000) << 0.0;
        QTest::newRow("capture unknown")
            << qint64(100) << qint64(4000000) << 25.0 << 0.0 << true << 25.0 << false << qint64(0) << 0.0;
        QTest::newRow("capture rate and one frame")
            << qint64(1) << qint64(0) << 0.0 << 240.0 << true << 0.0 << false << qint64(4167) << 0.0;
        QTest::newRow("rate without length") << qint64(0) << qint64(0) << 0.0 << 240.0 << false << 0.0 << false
                                             << qint64(0) << 0.0;
        QTest::newRow("nothing known") << qint64(0) << qint64(0) << 0.0 << 0.0 << false << 0.0 << false << qint64(0)
                                       << 0.0;
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
        QTEST(metadata.hasTiming(), "hasTiming");
        QTEST(metadata.playbackFrameRate(), "playbackRate");
        QTEST(metadata.captureTimingMapRequired(), "timingMapRequired");
        QTEST(metadata.estimatedRecordingDurationUs(), "recordingUs");
        QTEST(metadata.averageSlowMotionFactor(), "slowMotionFactor");
    }

    void roundingAndRateTolerance()
    {
        QCOMPARE(ovra::media::frameTimeUs(10, 29.97), qint64(333667));
        QCOMPARE(ovra::media::frameTimeUs(1, 2000000.0), qint64(1)); // half rounds up
        QVERIFY(ovra::media::ratesAgree(30.5, 30.0));
        QVERIFY(ovra::media::ratesAgree(29.41, 30.0));
        QVERIFY(!ovra::media::ratesAgree(30.61, 30.0));
        QVERIFY(ovra::media::ratesAgree(0.105, 0.1)); // the 0.01 floor
    }

    // Frame times are rounded, so the inverse must land on the frame whose rounded time is at or
    // after the given one: 333,667 us is frame 10 of 29.97 fps, not frame 11.
    void timesMapToTheFirstFrameAtOrAfter_data()
    {
        QTest::addColumn<qint64>("timeUs");
        QTest::addColumn<double>("rate");
        QTest::addColumn<qint64>("frame"); // -1: no frame
        QTest::newRow("at a rounded-up frame time") << qint64(333667) << 29.97 << qint64(10);
        QTest::newRow("just before it") << qint64(333666) << 29.97 << qint64(10);
        QTest::newRow("just after it") << qint64(333668) << 29.97 << qint64(11);
        QTest::newRow("at a rounded-down frame time") << qint64(166667) << 60.0 << qint64(10);
        QTest::newRow("between frames") << qint64(20001) << 25.0 << qint64(1);
        QTest::newRow("before the first frame") << qint64(-1) << 25.0 << qint64(0);
        QTest::newRow("no rate") << qint64(0) << 0.0 << qint64(-1);
        QTest::newRow("beyond any frame number") << std::numeric_limits<qint64>::max() << 25.0 << qint64(-1);
    }

    void timesMapToTheFirstFrameAtOrAfter()
    {
        QFETCH(qint64, timeUs);
        QFETCH(double, rate);
        QTEST(ovra::media::firstFrameAtOrAfter(timeUs, rate).value_or(-1), "frame");
    }
};

QTEST_GUILESS_MAIN(VideoMetadataTest)
#include "tst_videometadata.moc"
