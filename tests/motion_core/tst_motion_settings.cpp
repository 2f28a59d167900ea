#include "motion_core/MotionSettings.h"
#include "motion_core/SpatialPyramid.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace ovra::motion_core;

namespace {

MotionSettings band(double lowerHz, double upperHz)
{
    MotionSettings settings;
    settings.lowerFrequencyHz = lowerHz;
    settings.upperFrequencyHz = upperHz;
    return settings;
}

} // namespace

class MotionSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void defaults()
    {
        const MotionSettings settings;
        QCOMPARE(settings.startFrame, -1);
        QCOMPARE(settings.playbackEndUs, -1);
        QCOMPARE(settings.regionOfInterest, QRectF(0, 0, 1, 1));
        QVERIFY(settings.stabilizationReferenceRegion.isNull());
        QCOMPARE(settings.amplificationFactor, 1.0);
        QCOMPARE(settings.workerThreadCount, 0);
        QVERIFY(settings.regionProcessingOptimizationEnabled);
        QVERIFY(!settings.cameraMotionCompensationEnabled);
    }

    void levelCount_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("levels");
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 4;
        QTest::newRow("40x600") << QSize(40, 600) << 1;
        QTest::newRow("31x1000") << QSize(31, 1000) << 0;
        QTest::newRow("32x32") << QSize(32, 32) << 1;
        QTest::newRow("62 short side") << QSize(62, 500) << 1;
        QTest::newRow("63 short side") << QSize(500, 63) << 2;
        QTest::newRow("124") << QSize(124, 124) << 2;
        QTest::newRow("125") << QSize(125, 125) << 3;
        QTest::newRow("248") << QSize(248, 300) << 3;
        QTest::newRow("249") << QSize(249, 300) << 4;
        QTest::newRow("empty") << QSize() << 0;
    }

    void levelCount()
    {
        QFETCH(QSize, size);
        QFETCH(int, levels);
        QCOMPARE(levelCountForSize(size), levels);
    }

    void bandChecks_data()
    {
        QTest::addColumn<double>("fps");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("nearNyquist");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("typical") << 240.0 << 9.0 << 14.0 << true << false;
        QTest::newRow("upper at Nyquist") << 240.0 << 9.0 << 120.0 << false << false;
        QTest::newRow("upper just below Nyquist") << 240.0 << 9.0 << 119.999 << true << true;
        QTest::newRow("upper at 80 % of Nyquist") << 240.0 << 9.0 << 96.0 << true << true;
        QTest::newRow("upper below 80 % of Nyquist") << 240.0 << 9.0 << 95.9 << true << false;
        QTest::newRow("lower zero") << 240.0 << 0.0 << 14.0 << false << false;
        QTest::newRow("lower equals upper") << 240.0 << 14.0 << 14.0 << false << false;
        QTest::newRow("no capture rate") << 0.0 << 9.0 << 14.0 << false << false;
        QTest::newRow("NaN edge") << 240.0 << nan << 14.0 << false << false;
        QTest::newRow("infinite rate") << std::numeric_limits<double>::infinity() << 9.0 << 14.0 << false << false;
    }

    void bandChecks()
    {
        QFETCH(double, fps);
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(bool, valid);
        QFETCH(bool, nearNyquist);
        QCOMPARE(bandValid(band(lower, upper), fps), valid);
        QCOMPARE(ovra::motion_core::nearNyquist(band(lower, upper), fps), nearNyquist);
    }

    void amplification_data()
    {
        QTest::addColumn<double>("factor");
        QTest::addColumn<bool>("valid");
        QTest::newRow("1") << 1.0 << true;
        QTest::newRow("50") << 50.0 << true;
        QTest::newRow("50.0001") << 50.0001 << false;
        QTest::newRow("0.999") << 0.999 << false;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << false;
    }

    void amplification()
    {
        QFETCH(double, factor);
        QFETCH(bool, valid);
        MotionSettings settings;
        settings.amplificationFactor = factor;
        QCOMPARE(amplificationValid(settings), valid);
    }

    void rotationSpeed_data()
    {
        QTest::addColumn<double>("rpm");
        QTest::addColumn<bool>("valid");
        QTest::newRow("none") << 0.0 << true;
        QTest::newRow("499") << 499.0 << false;
        QTest::newRow("500") << 500.0 << true;
        QTest::newRow("7000") << 7000.0 << true;
        QTest::newRow("7001") << 7001.0 << false;
        QTest::newRow("negative") << -700.0 << false;
    }

    void rotationSpeed()
    {
        QFETCH(double, rpm);
        QFETCH(bool, valid);
        MotionSettings settings;
        settings.rotationSpeedRpm = rpm;
        QCOMPARE(rotationSpeedValid(settings), valid);
    }

    void harmonics()
    {
        MotionSettings settings;
        settings.rotationSpeedRpm = 720.0;
        QCOMPARE(rotationFrequencyHz(settings), 12.0);
        QCOMPARE(harmonicFrequencyHz(settings, 2), 24.0);
        QCOMPARE(harmonicFrequencyHz(settings, 0), 0.0);
        settings.rotationSpeedRpm = 0.0;
        QCOMPARE(harmonicFrequencyHz(settings, 1), 0.0);
    }

    void workerCounts_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<bool>("valid");
        QTest::newRow("-1") << -1 << false;
        QTest::newRow("0") << 0 << true;
        QTest::newRow("256") << 256 << true;
        QTest::newRow("257") << 257 << false;
    }

    void workerCounts()
    {
        QFETCH(int, requested);
        QFETCH(bool, valid);
        MotionSettings settings;
        settings.workerThreadCount = requested;
        QCOMPARE(workerCountValid(settings), valid);
    }

    void effectiveWorkers()
    {
        const int maximum = maximumWorkerThreadCount();
        QCOMPARE(maximum, qBound(1, QThread::idealThreadCount(), 256));
        MotionSettings settings;
        QCOMPARE(effectiveWorkerThreadCount(settings), maximum);
        settings.workerThreadCount = 64;
        QCOMPARE(effectiveWorkerThreadCount(settings), qMin(64, maximum));
        settings.workerThreadCount = 1;
        QCOMPARE(effectiveWorkerThreadCount(settings), 1);
    }

    void featherAndMinimumRegion()
    {
        QCOMPARE(regionFeatherRadius(QSize(1920, 1080)), 10.8);
        QCOMPARE(regionFeatherRadius(QSize(100, 100)), 2.0);
        QCOMPARE(regionFeatherRadius(QSize(4000, 3000)), 24.0);
        QCOMPARE(regionFeatherRadius(QSize()), 0.0);
        QCOMPARE(minimumRegionWidth(QSize(1920, 1080)), 22.6 / 1920);
        QCOMPARE(minimumRegionHeight(QSize(1920, 1080)), 22.6 / 1080);
        QCOMPARE(minimumRegionWidth(QSize(4, 4)), 1.0);
        QCOMPARE(minimumRegionHeight(QSize(10, 10)), 0.5);
        QCOMPARE(minimumRegionWidth(QSize()), 0.0);
    }

    void regionSize_data()
    {
        QTest::addColumn<QRectF>("region");
        QTest::addColumn<bool>("largeEnough");
        const double minimumWidth = 22.6 / 1920;
        QTest::newRow("whole frame") << QRectF(0, 0, 1, 1) << true;
        QTest::newRow("width 0.01") << QRectF(0.4, 0.4, 0.01, 0.1) << false;
        QTest::newRow("width at minimum within 1e-9") << QRectF(0.4, 0.4, minimumWidth - 0.5e-9, 0.1) << true;
        QTest::newRow("width below minimum by 2e-9") << QRectF(0.4, 0.4, minimumWidth - 2e-9, 0.1) << false;
        QTest::newRow("beyond the right edge") << QRectF(0.95, 0.4, 0.1, 0.1) << false;
        QTest::newRow("negative left") << QRectF(-0.01, 0.4, 0.1, 0.1) << false;
    }

    void regionSize()
    {
        QFETCH(QRectF, region);
        QFETCH(bool, largeEnough);
        MotionSettings settings;
        settings.regionOfInterest = region;
        QCOMPARE(regionLargeEnough(settings, QSize(1920, 1080)), largeEnough);
    }

    void stabilizationRegionOnlyCheckedWhenRequested()
    {
        MotionSettings settings;
        QVERIFY(regionsValid(settings));
        settings.cameraMotionCompensationEnabled = true;
        QVERIFY(!regionsValid(settings));
        settings.stabilizationReferenceRegion = QRectF(0.1, 0.1, 0.2, 0.2);
        QVERIFY(regionsValid(settings));
    }
};

QTEST_GUILESS_MAIN(MotionSettingsTest)
#include "tst_motion_settings.moc"
