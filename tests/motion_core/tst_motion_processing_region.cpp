#include "motion_core/Composition.h"
#include "motion_core/MotionSettings.h"
#include "motion_core/ProcessingRegion.h"
#include "motion_core/SpatialPyramid.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

using namespace ovra::motion_core;

namespace {

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

class MotionProcessingRegionTest : public QObject
{
    Q_OBJECT

private slots:
    void fullHdExample()
    {
        const ProcessingRegion region = computedRegion(QSize(1920, 1080), QRectF(0.4, 0.4, 0.1, 0.1));
        QVERIFY(region.applied());
        QVERIFY(region.isActive());
        QCOMPARE(region.processingRectangle(), QRect(704, 352, 320, 272));
        QCOMPARE(inFramePixels(region.regionInProcessing(), region.processingRectangle()),
                 QRectF(768, 432, 192, 108));
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
        QFETCH(float, weight);
        QCOMPARE(computedRegion(QSize(1920, 1080), QRectF(0.4, 0.4, 0.1, 0.1)).expandedRegionWeight(factor), weight);
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
        QCOMPARE(regionWeight(50, 50, 100, 100, rect, 10.0), 1.0f);
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
        QTest::newRow("region: rounded change, clamped blue") << region << 0.0f << QPoint(20, 20)
                                                                << qRgba(110, 160, 255, 77);
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

QTEST_GUILESS_MAIN(MotionProcessingRegionTest)
#include "tst_motion_processing_region.moc"
