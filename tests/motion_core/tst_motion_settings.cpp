#include "MotionCoreTesting.h"

#include "motion_core/MotionSettings.h"
#include "motion_core/SpatialPyramid.h"

#include <QtTest>

#include <limits>

using namespace ovra::motion_core;
using ovra::tests::band;

class MotionSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void levelCount_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("levels");
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 6;
        QTest::newRow("31x1000") << QSize(31, 1000) << 0;
        QTest::newRow("32x32") << QSize(32, 32) << 2;
        // A level more once the shorter side, either one, passes each doubling.
        for (auto [side, levels] : {std::pair{60, 2}, std::pair{120, 3}, std::pair{240, 4}, std::pair{480, 5}}) {
            QTest::addRow("%dx1000", side) << QSize(side, 1000) << levels;
            QTest::addRow("1000x%d", side + 1) << QSize(1000, side + 1) << levels + 1;
        }
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
        QTest::newRow("typical") << 240.0 << 9.0 << 14.0 << true << false;
        QTest::newRow("upper just below Nyquist") << 240.0 << 9.0 << 119.999 << true << true;
        QTest::newRow("upper at 80 % of Nyquist") << 240.0 << 9.0 << 96.0 << true << true;
        QTest::newRow("upper below 80 % of Nyquist") << 240.0 << 9.0 << 95.9 << true << false;
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
};

QTEST_GUILESS_MAIN(MotionSettingsTest)
#include "tst_motion_settings.moc"
