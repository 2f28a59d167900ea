#include "TestMedia.h"

#include "processing/VideoWatermarkRenderer.h"

#include <QPainter>
#include <QTest>

#include <cmath>

using ovra::processing::VideoWatermarkRenderer;
using ovra::tests::verifyRefusal;

namespace {

QImage greyFrame(QSize size)
{
    QImage image(size, QImage::Format_RGBA8888);
    image.fill(QColor(128, 128, 128));
    return image;
}

} // namespace

class VideoWatermarkRendererTest : public QObject
{
    Q_OBJECT

private slots:
    void markFollowsTheShorterSide_data()
    {
        QTest::addColumn<QSize>("frameSize");
        QTest::addColumn<int>("fontPixelSize");
        QTest::addColumn<int>("margin");
        QTest::addColumn<double>("maximumWidth");
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 30 << 22 << 537.6;
        QTest::newRow("portrait 1080x1920") << QSize(1080, 1920) << 30 << 22 << 302.4;
        QTest::newRow("320x240: minimums, text scaled down") << QSize(320, 240) << 18 << 12 << 89.6;
        QTest::newRow("4000x3000: maximums") << QSize(4000, 3000) << 72 << 48 << 1120.0;
    }

    void markFollowsTheShorterSide()
    {
        QFETCH(QSize, frameSize);
        QFETCH(double, maximumWidth);
        const VideoWatermarkRenderer::Layout layout = VideoWatermarkRenderer::layoutFor(frameSize);
        QTEST(layout.fontPixelSize, "fontPixelSize");
        QTEST(layout.marginPixels, "margin");
        QCOMPARE(layout.maximumWidth, maximumWidth);

        VideoWatermarkRenderer renderer;
        QString error = "stale";
        QVERIFY(renderer.prepare(frameSize, &error));
        QVERIFY(error.isEmpty());
        // The glyphs fit the maximum width; the image adds the outline on both sides.
        const double outline = VideoWatermarkRenderer::outlineWidth(layout.fontPixelSize, 1.0);
        QVERIFY(renderer.image().width() <= std::ceil(maximumWidth + 2 * outline));
        const QRect mark(renderer.position(), renderer.image().size());
        QCOMPARE(mark.right() + 1 + layout.marginPixels, frameSize.width());
        QCOMPARE(mark.bottom() + 1 + layout.marginPixels, frameSize.height());
    }

    void applyBlendsLightGlyphsWithADarkOutlineOnlyInsideTheMark()
    {
        const QSize size(1280, 720);
        VideoWatermarkRenderer renderer;
        QVERIFY(renderer.prepare(size));
        // Slightly transparent white glyphs and a dark outline (thin, so rarely fully covered).
        const QImage mark = renderer.image().convertToFormat(QImage::Format_ARGB32);
        int fill = 0;
        int outline = 0;
        for (int y = 0; y < mark.height(); ++y) {
            for (int x = 0; x < mark.width(); ++x) {
                fill += mark.pixelColor(x, y) == QColor(255, 255, 255, 205);
                outline += mark.pixelColor(x, y).red() < 40 && mark.pixelColor(x, y).alpha() >= 100;
            }
        }
        QVERIFY2(fill > 50 && outline > 50 && mark.pixelColor(0, 0).alpha() == 0,
                 qPrintable(QString("%1 fill, %2 outline").arg(fill).arg(outline)));

        QImage frame = greyFrame(size);
        QString error = "stale";
        QVERIFY(renderer.apply(frame, &error));
        QVERIFY(error.isEmpty());
        QCOMPARE(frame.format(), QImage::Format_RGBA8888);
        const QRect area(renderer.position(), mark.size());
        // The mark's pixels, checked above, land inside its area and nowhere else.
        QVERIFY(frame != greyFrame(size));
        QImage outside = frame;
        QPainter(&outside).fillRect(area, QColor(128, 128, 128));
        QCOMPARE(outside, greyFrame(size));
    }

    void frameSmallerThanTheMarkClipsItAtTheOrigin()
    {
        const QSize size(10, 40);
        VideoWatermarkRenderer renderer;
        QVERIFY(renderer.prepare(size));
        QVERIFY(renderer.image().width() > size.width() - VideoWatermarkRenderer::layoutFor(size).marginPixels);
        QCOMPARE(renderer.position().x(), 0);
        QImage frame = greyFrame(size);
        QVERIFY(renderer.apply(frame));
        QVERIFY(frame != greyFrame(size));
    }

    void framesItWasNotPreparedForAreRejected_data()
    {
        QTest::addColumn<QSize>("preparedSize"); // invalid: never prepared; empty: a failed preparation
        QTest::addColumn<QSize>("frameSize");
        QTest::newRow("unprepared") << QSize() << QSize(320, 240);
        QTest::newRow("one pixel narrower") << QSize(320, 240) << QSize(319, 240);
        QTest::newRow("null image") << QSize(320, 240) << QSize();
        QTest::newRow("after preparing for no width") << QSize(0, 240) << QSize(320, 240);
    }

    void framesItWasNotPreparedForAreRejected()
    {
        QFETCH(QSize, preparedSize);
        QFETCH(QSize, frameSize);
        VideoWatermarkRenderer renderer;
        QString error;
        if (preparedSize.isValid()) {
            QVERIFY(renderer.prepare(QSize(320, 240)));
            const bool prepared = renderer.prepare(preparedSize, &error);
            QCOMPARE(prepared, !preparedSize.isEmpty());
            QCOMPARE(error, prepared ? QString() : QString("The watermark frame size is invalid."));
        }
        QImage frame = frameSize.isValid() ? greyFrame(frameSize) : QImage();
        const QImage before = frame;
        verifyRefusal(renderer.apply(frame, &error), error,
                      QString("The watermark renderer is not configured for this frame."));
        QCOMPARE(frame, before);
    }

    void frameItCannotPaintOnIsReported()
    {
        VideoWatermarkRenderer renderer;
        QVERIFY(renderer.prepare(QSize(320, 240)));
        QImage indexed(320, 240, QImage::Format_Indexed8);
        QString error;
        QTest::ignoreMessage(QtWarningMsg,
                             "QPainter::begin: Cannot paint on an image with the QImage::Format_Indexed8 format");
        verifyRefusal(renderer.apply(indexed, &error), error, QString("Could not draw the video watermark."));
    }
};

QTEST_MAIN(VideoWatermarkRendererTest)
#include "tst_videowatermarkrenderer.moc"
