#include "ControllerTestAccess.h"

#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/items/VideoFrameItem.h"

#include <QQuickWindow>
#include <QSignalSpy>
#include <QtTest>

using ovra::ui::items::VideoFrameItem;
using ovra::ui::playback::PlaybackController;

namespace {

QImage filled(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGBA8888);
    image.fill(colour);
    return image;
}

} // namespace

class VideoFrameItemTest : public QObject
{
    Q_OBJECT

    ovra::ui::controllers::VideoSessionController m_session{nullptr};
    ovra::ui::controllers::AnalysisFragmentController m_fragment{&m_session};
    PlaybackController m_playback{&m_session, &m_fragment, nullptr};

public:
    static void initMain() { qputenv("QT_QUICK_BACKEND", "software"); }

private slots:
    void paintedRectLetterboxes_data()
    {
        QTest::addColumn<QSize>("frameSize");
        QTest::addColumn<double>("pixelAspect");
        QTest::addColumn<QRectF>("painted");
        QTest::addColumn<bool>("reshaped");
        const QRectF wide(0, 218.75, 1000, 562.5);
        const QRectF squareFourThree(0, 125, 1000, 750);
        QTest::newRow("square pixels") << QSize(1920, 1080) << 1.0 << wide << false;
        QTest::newRow("7:6 pixels shown 16:9") << QSize(640, 420) << 7.0 / 6.0 << wide << true;
        QTest::newRow("upright 6:7 pixels shown 9:16")
            << QSize(420, 640) << 6.0 / 7.0 << QRectF(218.75, 0, 562.5, 1000) << true;
        QTest::newRow("negative is square") << QSize(640, 480) << -2.0 << squareFourThree << false;
        QTest::newRow("infinite is square") << QSize(640, 480) << qInf() << squareFourThree << false;
    }

    void paintedRectLetterboxes()
    {
        QFETCH(QSize, frameSize);
        QFETCH(double, pixelAspect);
        VideoFrameItem item;
        item.setSize(QSizeF(1000, 1000));
        QCOMPARE(item.paintedRect(), QRectF());
        ControllerTestAccess::answer(&m_playback, 0, filled(frameSize, Qt::red));
        QSignalSpy rect(&item, &VideoFrameItem::paintedRectChanged);
        item.setPlaybackController(&m_playback);
        QVERIFY(item.hasFrame());
        QCOMPARE(rect.count(), 1);
        // The ratio arrives with the finished analysis, after the first frame is already shown.
        item.setPixelAspectRatio(pixelAspect);
        QTEST(item.paintedRect(), "painted");
        QFETCH(bool, reshaped);
        const int signalled = reshaped ? 2 : 1;
        QCOMPARE(rect.count(), signalled);
        ControllerTestAccess::answer(&m_playback, 0, filled(frameSize, Qt::blue));
        QCOMPARE(rect.count(), signalled); // same size: the rectangle stays
        item.setSize(QSizeF(500, 1000));
        QCOMPARE(rect.count(), signalled + 1);
    }

    void modesAndControllers()
    {
        VideoFrameItem item;
        ControllerTestAccess::answer(&m_playback, 0, filled(QSize(64, 48), Qt::red));
        item.setPlaybackController(&m_playback);
        QVERIFY(item.hasFrame());
        QSignalSpy availability(&item, &VideoFrameItem::frameAvailabilityChanged);
        item.setProcessedPreview(true); // no preview frame: cleared
        QVERIFY(!item.hasFrame());
        QCOMPARE(availability.count(), 1);
        ControllerTestAccess::answer(&m_playback, 0, filled(QSize(64, 48), Qt::red), filled(QSize(64, 48), Qt::green));
        QCOMPARE(item.frame().pixelColor(0, 0), QColor(Qt::green));
        QObject plain;
        QSignalSpy controller(&item, &VideoFrameItem::playbackControllerChanged);
        item.setPlaybackController(&plain);
        QCOMPARE(item.playbackController(), nullptr);
        QVERIFY(!item.hasFrame());
        item.setPlaybackController(nullptr); // already none
        QCOMPARE(controller.count(), 1);
    }

    void rendersTheFrame()
    {
        QQuickWindow window;
        window.resize(200, 100);
        VideoFrameItem item(window.contentItem());
        item.setSize(QSizeF(200, 100));
        ControllerTestAccess::answer(&m_playback, 0, filled(QSize(100, 100), Qt::red));
        item.setPlaybackController(&m_playback);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage shown = window.grabWindow();
        QCOMPARE(shown.pixelColor(100, 50), QColor(Qt::red));
        QVERIFY(shown.pixelColor(10, 50) != QColor(Qt::red)); // letterbox outside the picture
    }
};

QTEST_MAIN(VideoFrameItemTest)
#include "tst_videoframeitem.moc"
