#include "processing/VideoWatermarkRenderer.h"

#include <QTest>

#include <cmath>

using ovra::processing::VideoWatermarkRenderer;

namespace {

const QString notConfiguredMessage = QStringLiteral("The watermark renderer is not configured for this frame.");

QImage greyFrame(QSize size)
{
    QImage image(size, QImage::Format_RGBA8888);
    image.fill(QColor(128, 128, 128));
    return image;
}

QRect markRect(const VideoWatermarkRenderer &renderer)
{
    return QRect(renderer.position(), renderer.image().size());
}

} // namespace

class VideoWatermarkRendererTest : public QObject
{
    Q_OBJECT

private slots:
    void layoutFollowsTheShorterSide_data();
    void layoutFollowsTheShorterSide();
    void outlineWidthFollowsTheScale_data();
    void outlineWidthFollowsTheScale();
    void markSitsBottomRightWithinTheMaximumWidth_data();
    void markSitsBottomRightWithinTheMaximumWidth();
    void markIsLightGlyphsWithADarkOutline();
    void applyChangesOnlyTheMarkArea();
    void frameSmallerThanTheMarkClipsItAtTheOrigin();
    void applyRejectsFramesItWasNotPreparedFor_data();
    void applyRejectsFramesItWasNotPreparedFor();
    void applyReportsAFrameItCannotPaintOn();
    void invalidSizeLeavesTheRendererUnprepared_data();
    void invalidSizeLeavesTheRendererUnprepared();
};

void VideoWatermarkRendererTest::layoutFollowsTheShorterSide_data()
{
    QTest::addColumn<QSize>("frameSize");
    QTest::addColumn<int>("fontPixelSize");
    QTest::addColumn<int>("margin");
    QTest::addColumn<double>("maximumWidth");
    QTest::newRow("1920x1080") << QSize(1920, 1080) << 30 << 22 << 537.6;
    QTest::newRow("portrait 1080x1920") << QSize(1080, 1920) << 30 << 22 << 302.4;
    QTest::newRow("320x240 raised to the minimums") << QSize(320, 240) << 18 << 12 << 89.6;
    QTest::newRow("4000x3000 capped at the maximums") << QSize(4000, 3000) << 72 << 48 << 1120.0;
    QTest::newRow("1x1 keeps one pixel of width") << QSize(1, 1) << 18 << 12 << 1.0;
}

void VideoWatermarkRendererTest::layoutFollowsTheShorterSide()
{
    QFETCH(QSize, frameSize);
    QFETCH(int, fontPixelSize);
    QFETCH(int, margin);
    QFETCH(double, maximumWidth);
    const VideoWatermarkRenderer::Layout layout = VideoWatermarkRenderer::layoutFor(frameSize);
    QCOMPARE(layout.fontPixelSize, fontPixelSize);
    QCOMPARE(layout.marginPixels, margin);
    QCOMPARE(layout.maximumWidth, maximumWidth);
}

void VideoWatermarkRendererTest::outlineWidthFollowsTheScale_data()
{
    QTest::addColumn<int>("fontPixelSize");
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("width");
    QTest::newRow("unscaled") << 30 << 1.0 << 2.4;
    QTest::newRow("scaled down to the minimum") << 18 << 0.3 << 1.5;
    QTest::newRow("capped") << 72 << 1.0 << 5.0;
}

void VideoWatermarkRendererTest::outlineWidthFollowsTheScale()
{
    QFETCH(int, fontPixelSize);
    QFETCH(double, scale);
    QFETCH(double, width);
    QCOMPARE(VideoWatermarkRenderer::outlineWidth(fontPixelSize, scale), width);
}

void VideoWatermarkRendererTest::markSitsBottomRightWithinTheMaximumWidth_data()
{
    QTest::addColumn<QSize>("frameSize");
    QTest::newRow("1920x1080") << QSize(1920, 1080);
    QTest::newRow("320x240, text scaled down") << QSize(320, 240);
    QTest::newRow("4000x3000") << QSize(4000, 3000);
}

void VideoWatermarkRendererTest::markSitsBottomRightWithinTheMaximumWidth()
{
    QFETCH(QSize, frameSize);
    VideoWatermarkRenderer renderer;
    QString error = QStringLiteral("stale");
    QVERIFY(renderer.prepare(frameSize, &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(renderer.frameSize(), frameSize);
    QCOMPARE(renderer.image().format(), QImage::Format_ARGB32_Premultiplied);

    const VideoWatermarkRenderer::Layout layout = VideoWatermarkRenderer::layoutFor(frameSize);
    // The glyphs fit the maximum width; the image adds the outline on both sides.
    const double largestOutline = VideoWatermarkRenderer::outlineWidth(layout.fontPixelSize, 1.0);
    QVERIFY2(renderer.image().width() <= std::ceil(layout.maximumWidth + 2 * largestOutline),
             qPrintable(QString::number(renderer.image().width())));
    const QRect mark = markRect(renderer);
    QCOMPARE(mark.right() + 1 + layout.marginPixels, frameSize.width());
    QCOMPARE(mark.bottom() + 1 + layout.marginPixels, frameSize.height());
}

void VideoWatermarkRendererTest::markIsLightGlyphsWithADarkOutline()
{
    VideoWatermarkRenderer renderer;
    QVERIFY(renderer.prepare(QSize(1920, 1080)));
    const QImage mark = renderer.image().convertToFormat(QImage::Format_ARGB32);
    int fillPixels = 0;
    int outlinePixels = 0;
    int transparentPixels = 0;
    for (int y = 0; y < mark.height(); ++y) {
        for (int x = 0; x < mark.width(); ++x) {
            const QColor colour = mark.pixelColor(x, y);
            if (colour.alpha() == 0)
                ++transparentPixels;
            else if (colour.alpha() == 205 && colour.red() == 255 && colour.green() == 255 && colour.blue() == 255)
                ++fillPixels;
            else if (colour.alpha() == 160 && colour.red() == 0 && colour.green() == 0 && colour.blue() == 0)
                ++outlinePixels;
        }
    }
    QVERIFY(fillPixels > 100);
    QVERIFY(outlinePixels > 100);
    QVERIFY(transparentPixels > 100);
}

void VideoWatermarkRendererTest::applyChangesOnlyTheMarkArea()
{
    const QSize size(640, 360);
    VideoWatermarkRenderer renderer;
    QVERIFY(renderer.prepare(size));
    QImage frame = greyFrame(size);
    QString error = QStringLiteral("stale");
    QVERIFY(renderer.apply(frame, &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(frame.format(), QImage::Format_RGBA8888);

    const QRect mark = markRect(renderer);
    bool brighter = false;
    bool darker = false;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QColor colour = frame.pixelColor(x, y);
            if (!mark.contains(x, y)) {
                if (colour != QColor(128, 128, 128))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 outside the mark changed").arg(x).arg(y)));
                continue;
            }
            brighter = brighter || colour.red() > 200;
            darker = darker || colour.red() < 80;
        }
    }
    QVERIFY(brighter);
    QVERIFY(darker);
}

void VideoWatermarkRendererTest::frameSmallerThanTheMarkClipsItAtTheOrigin()
{
    const QSize size(10, 40);
    VideoWatermarkRenderer renderer;
    QVERIFY(renderer.prepare(size));
    const VideoWatermarkRenderer::Layout layout = VideoWatermarkRenderer::layoutFor(size);
    QVERIFY(size.width() - layout.marginPixels - renderer.image().width() < 0);
    QCOMPARE(renderer.position().x(), 0);
    QImage frame = greyFrame(size);
    QVERIFY(renderer.apply(frame));
    QCOMPARE(frame.size(), size);
}

void VideoWatermarkRendererTest::applyRejectsFramesItWasNotPreparedFor_data()
{
    QTest::addColumn<bool>("prepared");
    QTest::addColumn<QSize>("frameSize");
    QTest::newRow("unprepared") << false << QSize(320, 240);
    QTest::newRow("one pixel narrower") << true << QSize(319, 240);
    QTest::newRow("one pixel taller") << true << QSize(320, 241);
    QTest::newRow("null image") << true << QSize();
}

void VideoWatermarkRendererTest::applyRejectsFramesItWasNotPreparedFor()
{
    QFETCH(bool, prepared);
    QFETCH(QSize, frameSize);
    VideoWatermarkRenderer renderer;
    if (prepared)
        QVERIFY(renderer.prepare(QSize(320, 240)));
    QImage frame = frameSize.isValid() ? greyFrame(frameSize) : QImage();
    const QImage before = frame;
    QString error;
    QVERIFY(!renderer.apply(frame, &error));
    QCOMPARE(error, notConfiguredMessage);
    QCOMPARE(frame, before);
}

void VideoWatermarkRendererTest::applyReportsAFrameItCannotPaintOn()
{
    VideoWatermarkRenderer renderer;
    QVERIFY(renderer.prepare(QSize(320, 240)));
    QImage indexed(320, 240, QImage::Format_Indexed8);
    indexed.fill(0);
    QString error;
    QTest::ignoreMessage(QtWarningMsg, "QPainter::begin: Cannot paint on an image with the QImage::Format_Indexed8 format");
    QVERIFY(!renderer.apply(indexed, &error));
    QCOMPARE(error, QStringLiteral("Could not draw the video watermark."));
}

void VideoWatermarkRendererTest::invalidSizeLeavesTheRendererUnprepared_data()
{
    QTest::addColumn<QSize>("frameSize");
    QTest::newRow("no width") << QSize(0, 240);
    QTest::newRow("no height") << QSize(320, 0);
    QTest::newRow("invalid") << QSize();
}

void VideoWatermarkRendererTest::invalidSizeLeavesTheRendererUnprepared()
{
    QFETCH(QSize, frameSize);
    VideoWatermarkRenderer renderer;
    QVERIFY(renderer.prepare(QSize(320, 240)));
    QString error;
    QVERIFY(!renderer.prepare(frameSize, &error));
    QCOMPARE(error, QStringLiteral("The watermark frame size is invalid."));
    QVERIFY(renderer.image().isNull());
    QVERIFY(!renderer.frameSize().isValid());
    QImage frame = greyFrame(QSize(320, 240));
    QVERIFY(!renderer.apply(frame, &error));
    QCOMPARE(error, notConfiguredMessage);
}

QTEST_MAIN(VideoWatermarkRendererTest)
#include "tst_videowatermarkrenderer.moc"
