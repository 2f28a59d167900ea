// SPDX-License-Identifier: GPL-3.0-or-later
// The settings and what the core derives from them: the pyramid's depth, the band-pass
// filter, and the rectangle processed around the region.

#include "MotionCoreTesting.h"
#include "TestMedia.h"

#include "motion_core/Composition.h"
#include "motion_core/MotionSettings.h"
#include "motion_core/ProcessingRegion.h"
#include "motion_core/SpatialPyramid.h"
#include "motion_core/TemporalBandpassFilter.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace ovra::motion_core;
using ovra::tests::band;
using ovra::tests::verifyRefusal;

namespace {

std::vector<FloatPlane> randomLevels(quint32 seed, const std::vector<QSize> &sizes)
{
    std::vector<FloatPlane> levels;
    for (const QSize &size : sizes)
        levels.push_back(ovra::tests::randomPlane(size, seed++, -1.0, 1.0));
    return levels;
}

const std::vector<QSize> twoLevels{QSize(300, 200), QSize(150, 100)};

bool identical(const std::vector<FloatPlane> &a, const std::vector<FloatPlane> &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto &x, const auto &y) {
               return ovra::tests::identical(x, y);
           });
}

TemporalBandpassFilter configuredFilter(double fps, double lower, double upper)
{
    TemporalBandpassFilter filter;
    QString error;
    if (!filter.configure(fps, lower, upper, &error))
        qFatal("filter design failed: %s", qPrintable(error));
    return filter;
}

ProcessingRegion computedRegion(const QSize &frame, const QRectF &region, bool enabled = true)
{
    ProcessingRegion result;
    result.compute(frame, region, enabled, levelCountForSize(frame), regionFeatherRadius(frame));
    return result;
}

// Pixel rectangle of a rectangle normalised to the processing rectangle.
QRectF inFramePixels(const QRectF &normalised, const QRect &processing)
{
    return QRectF(processing.x() + normalised.x() * processing.width(),
                  processing.y() + normalised.y() * processing.height(), normalised.width() * processing.width(),
                  normalised.height() * processing.height());
}

} // namespace

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
        QTEST(levelCountForSize(size), "levels");
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
        QTEST(bandValid(band(lower, upper), fps), "valid");
        QTEST(nearNyquist(band(lower, upper), fps), "nearNyquist");
    }

    void regionSize_data()
    {
        QTest::addColumn<QRectF>("region");
        QTest::addColumn<bool>("largeEnough");
        const double minimumWidth = 22.6 / 1920;
        QTest::newRow("whole frame") << QRectF(0, 0, 1, 1) << true;
        QTest::newRow("width at minimum within 1e-9") << QRectF(0.4, 0.4, minimumWidth - 0.5e-9, 0.1) << true;
        QTest::newRow("width below minimum by 2e-9") << QRectF(0.4, 0.4, minimumWidth - 2e-9, 0.1) << false;
        QTest::newRow("beyond the right edge") << QRectF(0.95, 0.4, 0.1, 0.1) << false;
        QTest::newRow("negative left") << QRectF(-0.01, 0.4, 0.1, 0.1) << false;
    }

    void regionSize()
    {
        QFETCH(QRectF, region);
        MotionSettings settings;
        settings.regionOfInterest = region;
        QTEST(regionLargeEnough(settings, QSize(1920, 1080)), "largeEnough");
    }

    void designOf9To14HzAt240()
    {
        const TemporalBandpassFilter filter = configuredFilter(240.0, 9.0, 14.0);
        QVERIFY(std::abs(filter.b0() - 0.06151) < 1e-5);
        QCOMPARE(filter.b1(), 0.0);
        QCOMPARE(filter.b2(), -filter.b0());
        QVERIFY(std::abs(filter.a1() + 1.79640) < 1e-5);
        QVERIFY(std::abs(filter.a2() - 0.87698) < 1e-5);
    }

    void settlingLength_data()
    {
        QTest::addColumn<double>("fps");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<qint64>("required");
        QTest::addColumn<qint64>("recommended");
        // Required: one period of the lower edge; recommended: five periods plus the decay, at least two seconds.
        QTest::newRow("240 fps, 9-14 Hz: two seconds recommended") << 240.0 << 9.0 << 14.0 << qint64(27) << qint64(480);
        QTest::newRow("30 fps, 1-3 Hz: cycles plus decay") << 30.0 << 1.0 << 3.0 << qint64(30) << qint64(172);
        QTest::newRow("breathing, 30 fps, 0.4-3 Hz") << 30.0 << 0.4 << 3.0 << qint64(75) << qint64(413);
        QTest::newRow("10.8 fps, 0.3-1 Hz: 10.8 / 0.3 rounds to just above 36")
            << 10.8 << 0.3 << 1.0 << qint64(36) << qint64(202);
        QTest::newRow("crane, 24 fps, 0.2-0.5 Hz") << 24.0 << 0.2 << 0.5 << qint64(120) << qint64(718);
        QTest::newRow("invalid band") << 240.0 << 14.0 << 9.0 << qint64(0) << qint64(0);
        QTest::newRow("no capture rate") << 0.0 << 1.0 << 3.0 << qint64(0) << qint64(0);
    }

    void settlingLength()
    {
        QFETCH(double, fps);
        QFETCH(double, lower);
        QFETCH(double, upper);
        QTEST(requiredMinimumFrameCount(band(lower, upper), fps), "required");
        QTEST(recommendedMinimumFrameCount(band(lower, upper), fps), "recommended");
    }

    void refusals()
    {
        TemporalBandpassFilter filter;
        MotionWorkerPool pool;
        std::vector<FloatPlane> output;
        QString error;
        verifyRefusal(filter.configure(240.0, 9.0, 120.0, &error), error,
                      "The temporal band-pass filter parameters are invalid.");
        QVERIFY(filter.configure(240.0, 9.0, 119.999, &error));
        const QString noInput = "Phase components and an output container are required.";
        verifyRefusal(filter.process(randomLevels(1, twoLevels), nullptr, pool, &error), error, noInput);
        verifyRefusal(filter.process({}, &output, pool, &error), error, noInput);
        std::vector<FloatPlane> withEmptyLevel = randomLevels(1, twoLevels);
        withEmptyLevel.emplace_back();
        verifyRefusal(filter.process(withEmptyLevel, &output, pool, &error), error,
                      "The phase pyramid contains an empty level.");
        // A failed redesign leaves the filter unusable.
        QVERIFY(!filter.configure(240.0, 0.0, 14.0, nullptr));
        verifyRefusal(filter.process(randomLevels(1, twoLevels), &output, pool, &error), error,
                      "The temporal filter has not been configured.");
    }

    void geometryChangeIsRejectedAndStateKept()
    {
        TemporalBandpassFilter filter = configuredFilter(240.0, 9.0, 14.0);
        TemporalBandpassFilter untouched = configuredFilter(240.0, 9.0, 14.0);
        MotionWorkerPool pool;
        std::vector<FloatPlane> output;
        std::vector<FloatPlane> expected;
        for (quint32 frame = 0; frame < 3; ++frame) {
            QVERIFY(filter.process(randomLevels(frame, twoLevels), &output, pool, nullptr));
            QVERIFY(untouched.process(randomLevels(frame, twoLevels), &expected, pool, nullptr));
        }
        QString error;
        const QString changed = "The phase pyramid size changed during processing.";
        verifyRefusal(filter.process(randomLevels(7, {QSize(300, 200)}), &output, pool, &error), error, changed);
        verifyRefusal(filter.process(randomLevels(7, {QSize(300, 200), QSize(150, 101)}), &output, pool, &error), error,
                      changed);

        QVERIFY(filter.process(randomLevels(3, twoLevels), &output, pool, nullptr));
        QVERIFY(untouched.process(randomLevels(3, twoLevels), &expected, pool, nullptr));
        QVERIFY(identical(output, expected));
    }

    void fullHdExample()
    {
        const ProcessingRegion region = computedRegion(QSize(1920, 1080), QRectF(0.4, 0.4, 0.1, 0.1));
        QVERIFY(region.applied());
        QVERIFY(region.isActive());
        QCOMPARE(region.processingRectangle(), QRect(704, 352, 320, 272));
        QCOMPARE(inFramePixels(region.regionInProcessing(), region.processingRectangle()), QRectF(768, 432, 192, 108));
        QCOMPARE(inFramePixels(region.expandedRegionInProcessing(), region.processingRectangle()),
                 QRectF(752, 416, 224, 140));
    }

    void geometryInvariants_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::newRow("1920x1080") << QSize(1920, 1080);
        QTest::newRow("640x400") << QSize(640, 400);
        QTest::newRow("333x97") << QSize(333, 97);
        QTest::newRow("40x600") << QSize(40, 600);
    }

    void geometryInvariants()
    {
        // Random regions, many touching the border: the rectangle always holds the feathered
        // region, lies inside the frame, is aligned and large enough for the pyramid.
        QFETCH(QSize, frame);
        // Margins and alignment follow at most the four finest levels.
        const int alignment = 1 << std::min(levelCountForSize(frame), 4);
        QRandomGenerator random(quint32(frame.width() * 7919 + frame.height()));
        for (int trial = 0; trial < 200; ++trial) {
            const double width = 0.05 + random.bounded(0.95);
            const double height = 0.05 + random.bounded(0.95);
            const QRectF normalised(random.bounded(1.0 - width), random.bounded(1.0 - height), width, height);
            const ProcessingRegion region = computedRegion(frame, normalised);
            const QRect processing = region.processingRectangle();
            QVERIFY(QRect(QPoint(0, 0), frame).contains(processing));
            const QRectF expanded = inFramePixels(region.expandedRegionInProcessing(), processing);
            QVERIFY(QRectF(processing).contains(expanded.adjusted(1e-6, 1e-6, -1e-6, -1e-6)));
            QVERIFY(expanded.contains(inFramePixels(region.regionInProcessing(), processing)));
            QVERIFY(processing.x() % alignment == 0);
            QVERIFY(processing.y() % alignment == 0);
            QVERIFY(processing.right() + 1 == frame.width() || (processing.right() + 1) % alignment == 0);
            QVERIFY(processing.bottom() + 1 == frame.height() || (processing.bottom() + 1) % alignment == 0);
            QVERIFY(processing.width() >= qMin(16 * alignment, frame.width()));
            QVERIFY(processing.height() >= qMin(16 * alignment, frame.height()));
        }
    }

    void ringWeight_data()
    {
        QTest::addColumn<double>("factor");
        QTest::addColumn<float>("weight");
        QTest::newRow("2") << 2.0 << 0.0f;
        QTest::newRow("10") << 10.0 << 4.0f / 9.0f;
        QTest::newRow("50") << 50.0 << 24.0f / 49.0f;
    }

    void ringWeight()
    {
        QFETCH(double, factor);
        QTEST(computedRegion(QSize(1920, 1080), QRectF(0.4, 0.4, 0.1, 0.1)).expandedRegionWeight(factor), "weight");
    }

    void regionWeights()
    {
        // A 100x100 image, region from pixel 20 to 80, feather 10 pixels.
        const QRectF rect(0.2, 0.2, 0.6, 0.6);
        QCOMPARE(regionWeight(10, 50, 100, 100, rect, 10.0), 0.0f);
        QCOMPARE(regionWeight(50, 85, 100, 100, rect, 10.0), 0.0f);
        // Pixel 20's centre is 0.5 px inside: t = 0.05.
        QVERIFY(std::abs(regionWeight(20, 50, 100, 100, rect, 10.0) - 0.05f * 0.05f * 2.9f) < 1e-6f);
        QCOMPARE(regionWeight(24, 50, 100, 100, rect, 9.0), 0.5f); // 4.5 of 9 px: half way
        QCOMPARE(regionWeight(30, 50, 100, 100, rect, 10.0), 1.0f);
        QCOMPARE(regionWeight(20, 50, 100, 100, rect, 0.0), 1.0f);
        QCOMPARE(regionWeight(0, 0, 100, 100, QRectF(0, 0, 1, 1), 10.0), 1.0f);
    }

    void compositeAddsMaskedChangeToColour_data()
    {
        // A 40x40 grey-blue frame, luminance 120 magnified to 130.4; region 10..30 px.
        QTest::addColumn<QRectF>("expanded");
        QTest::addColumn<float>("ringWeight");
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<QRgb>("colour");
        const QRectF region(0.25, 0.25, 0.5, 0.5);
        const QRectF ring(0.125, 0.125, 0.75, 0.75);
        QTest::newRow("region: rounded change, clamped blue")
            << region << 0.0f << QPoint(20, 20) << qRgba(110, 160, 255, 77);
        QTest::newRow("outside") << region << 0.0f << QPoint(5, 20) << qRgba(100, 150, 250, 77);
        QTest::newRow("region, ring around") << ring << 0.5f << QPoint(20, 20) << qRgba(110, 160, 255, 77);
        QTest::newRow("ring: half the change") << ring << 0.5f << QPoint(7, 20) << qRgba(105, 155, 255, 77);
        QTest::newRow("outside the ring") << ring << 0.5f << QPoint(2, 20) << qRgba(100, 150, 250, 77);
    }

    void compositeAddsMaskedChangeToColour()
    {
        QFETCH(QRectF, expanded);
        QFETCH(float, ringWeight);
        QFETCH(QPoint, pixel);
        MotionWorkerPool pool;
        QImage working(40, 40, QImage::Format_ARGB32);
        working.fill(qRgba(100, 150, 250, 77));
        const QImage result = composite(pool, working, FloatPlane(40, 40, 120.0f), FloatPlane(40, 40, 130.4f),
                                        QRectF(0.25, 0.25, 0.5, 0.5), expanded, ringWeight, 0.0);
        QCOMPARE(result.format(), QImage::Format_ARGB32);
        QTEST(result.pixel(pixel), "colour");
        QCOMPARE(working.pixel(pixel), qRgba(100, 150, 250, 77)); // the input stays as it was
    }
};

QTEST_GUILESS_MAIN(MotionSettingsTest)
#include "tst_motion_settings.moc"
