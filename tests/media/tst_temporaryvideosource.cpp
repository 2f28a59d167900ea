#include "media/TemporaryVideoSource.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <memory>

using ovra::media::TemporaryVideoSource;
using ovra::media::VideoFrame;
using ovra::media::VideoMetadata;
using ovra::media::VideoReadStatus;
using ovra::project_data::TemporaryVideo;

namespace {

const QString outsideMessage = QStringLiteral("The requested frame is outside the analysis result.");
const QString noResultMessage = QStringLiteral("No analysis result is available.");
const QSize frameSize(2, 2);

VideoMetadata metadataAt(double nominalFrameRate)
{
    VideoMetadata metadata;
    metadata.frameSize = frameSize;
    metadata.nominalFrameRate = nominalFrameRate;
    return metadata;
}

// Stored frame i is filled with a colour that names it, and carries times the source must replace.
std::shared_ptr<TemporaryVideo> makeStore(int frames, double nominalFrameRate, bool finish = true,
                                          QSize storedSize = frameSize)
{
    auto store = std::make_shared<TemporaryVideo>(metadataAt(nominalFrameRate));
    if (!store->create())
        return {};
    for (int i = 0; i < frames; ++i) {
        QImage image(storedSize, QImage::Format_RGBA8888);
        image.fill(QColor(i % 256, i / 256, 200));
        if (!store->appendFrame(VideoFrame{image, 999, 999}))
            return {};
    }
    if (finish && !store->finish())
        return {};
    return store;
}

int storedNumber(const VideoFrame &frame)
{
    const QColor colour = frame.image.pixelColor(1, 1);
    return colour.red() + 256 * colour.green();
}

} // namespace

class TemporaryVideoSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void seeksMapSourceFramesAndTimesOntoTheResult();
    void readsReplaceStoredTimesWithTheNominalGrid();
    void seekOutsideTheResultKeepsThePosition_data();
    void seekOutsideTheResultKeepsThePosition();
    void closedSourceFailsWithoutMessage();
    void reopeningStartsAtTheFirstStoredFrame();
    void openNeedsAStoreWithFrames_data();
    void openNeedsAStoreWithFrames();
    void openWithMetadataUsesTheGivenTiming();
    void skipReportsIndexAndTime();
    void storeReadErrorsArePassedOn_data();
    void storeReadErrorsArePassedOn();

private:
    std::unique_ptr<QTemporaryDir> m_temporaryFolder;
};

void TemporaryVideoSourceTest::initTestCase()
{
    m_temporaryFolder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temporaryFolder->isValid());
    qputenv("TMPDIR", QFile::encodeName(m_temporaryFolder->path()));
}

void TemporaryVideoSourceTest::seeksMapSourceFramesAndTimesOntoTheResult()
{
    TemporaryVideoSource source(makeStore(100, 25.0), 250);
    QString error;
    QVERIFY(source.open(QStringLiteral("ignored.mp4"), &error));
    QVERIFY(source.isOpen());
    QCOMPARE(source.metadata().nominalFrameRate, 25.0);

    QVERIFY(source.seekToTime(10000000, &error));
    VideoFrame frame;
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
    QCOMPARE(frame.frameIndex, 250);
    QCOMPARE(storedNumber(frame), 0);

    QVERIFY(!source.seekToTime(14000000, &error));
    QCOMPARE(error, outsideMessage);

    QVERIFY(source.seekToFrame(349, &error));
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
    QCOMPARE(frame.frameIndex, 349);
    QCOMPARE(frame.presentationTimeUs, 13960000);
    QCOMPARE(storedNumber(frame), 99);
    QCOMPARE(frame.image.format(), QImage::Format_ARGB32);
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::EndOfStream);
}

void TemporaryVideoSourceTest::readsReplaceStoredTimesWithTheNominalGrid()
{
    TemporaryVideoSource source(makeStore(3, 29.97), 10);
    QVERIFY(source.open({}));
    VideoFrame frame;
    QCOMPARE(source.readFrame(&frame), VideoReadStatus::Frame);
    QCOMPARE(frame.frameIndex, 10);
    QCOMPARE(frame.presentationTimeUs, 333667);
    QCOMPARE(source.readFrame(&frame), VideoReadStatus::Frame);
    QCOMPARE(frame.frameIndex, 11);
    QCOMPARE(storedNumber(frame), 1);
}

void TemporaryVideoSourceTest::seekOutsideTheResultKeepsThePosition_data()
{
    QTest::addColumn<bool>("byTime");
    QTest::addColumn<qint64>("target");
    QTest::newRow("frame before the first") << false << qint64(249);
    QTest::newRow("frame at the end") << false << qint64(260);
    QTest::newRow("time at the end") << true << qint64(10400000);
    QTest::newRow("time beyond any frame number") << true << std::numeric_limits<qint64>::max();
    QTest::newRow("time before any frame number") << true << std::numeric_limits<qint64>::min();
}

void TemporaryVideoSourceTest::seekOutsideTheResultKeepsThePosition()
{
    QFETCH(bool, byTime);
    QFETCH(qint64, target);
    TemporaryVideoSource source(makeStore(10, 25.0), 250);
    QVERIFY(source.open({}));
    QVERIFY(source.seekToFrame(253));

    QString error;
    QVERIFY(!(byTime ? source.seekToTime(target, &error) : source.seekToFrame(target, &error)));
    QCOMPARE(error, outsideMessage);
    VideoFrame frame;
    QCOMPARE(source.readFrame(&frame), VideoReadStatus::Frame);
    QCOMPARE(frame.frameIndex, 253);
}

void TemporaryVideoSourceTest::closedSourceFailsWithoutMessage()
{
    TemporaryVideoSource source(makeStore(2, 25.0), 0);
    QString error = QStringLiteral("untouched");
    VideoFrame frame;
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Failed);
    QCOMPARE(error, QStringLiteral("untouched"));
    QVERIFY(!source.seekToFrame(0, &error));
    QCOMPARE(error, outsideMessage);

    QVERIFY(source.open({}));
    error = QStringLiteral("untouched");
    QCOMPARE(source.readFrame(nullptr, &error), VideoReadStatus::Failed);
    QCOMPARE(error, QStringLiteral("untouched"));
    source.close();
    QVERIFY(!source.isOpen());
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Failed);
    QCOMPARE(error, QStringLiteral("untouched"));
}

void TemporaryVideoSourceTest::reopeningStartsAtTheFirstStoredFrame()
{
    TemporaryVideoSource source(makeStore(5, 25.0), 40);
    QVERIFY(source.open({}));
    QVERIFY(source.seekToFrame(43));
    source.close();
    QVERIFY(source.open({}));
    VideoFrame frame;
    QCOMPARE(source.readFrame(&frame), VideoReadStatus::Frame);
    QCOMPARE(frame.frameIndex, 40);
    QCOMPARE(storedNumber(frame), 0);
}

void TemporaryVideoSourceTest::openNeedsAStoreWithFrames_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("withStore");
    QTest::newRow("no store") << 0 << false;
    QTest::newRow("empty store") << 0 << true;
}

void TemporaryVideoSourceTest::openNeedsAStoreWithFrames()
{
    QFETCH(int, frames);
    QFETCH(bool, withStore);
    TemporaryVideoSource source(withStore ? makeStore(frames, 25.0) : nullptr, 0);
    QString error;
    QVERIFY(!source.open({}, &error));
    QCOMPARE(error, noResultMessage);
    error.clear();
    QVERIFY(!source.openWithMetadata(metadataAt(25.0), &error));
    QCOMPARE(error, noResultMessage);
    QVERIFY(!source.isOpen());
}

void TemporaryVideoSourceTest::openWithMetadataUsesTheGivenTiming()
{
    TemporaryVideoSource source(makeStore(3, 25.0), 0);
    QVERIFY(source.openWithMetadata(metadataAt(50.0)));
    QCOMPARE(source.metadata().nominalFrameRate, 50.0);
    QVERIFY(source.seekToTime(40000));
    VideoFrame frame;
    QCOMPARE(source.readFrame(&frame), VideoReadStatus::Frame);
    QCOMPARE(frame.frameIndex, 2);
    QCOMPARE(frame.presentationTimeUs, 40000);
}

void TemporaryVideoSourceTest::skipReportsIndexAndTime()
{
    TemporaryVideoSource source(makeStore(2, 25.0), 7);
    QVERIFY(source.open({}));
    qint64 index = -1;
    qint64 time = -1;
    QCOMPARE(source.skipFrame(&index, &time), VideoReadStatus::Frame);
    QCOMPARE(index, 7);
    QCOMPARE(time, 280000);
    QCOMPARE(source.skipFrame(&index, nullptr), VideoReadStatus::Frame);
    QCOMPARE(index, 8);
    // The end of the result leaves the out-parameters alone.
    QCOMPARE(source.skipFrame(&index, &time), VideoReadStatus::EndOfStream);
    QCOMPARE(index, 8);
    QCOMPARE(time, 280000);
}

void TemporaryVideoSourceTest::storeReadErrorsArePassedOn_data()
{
    QTest::addColumn<bool>("finished");
    QTest::addColumn<QSize>("storedSize");
    QTest::newRow("unfinished store") << false << frameSize;
    QTest::newRow("record of another size") << true << QSize(3, 2);
}

void TemporaryVideoSourceTest::storeReadErrorsArePassedOn()
{
    QFETCH(bool, finished);
    QFETCH(QSize, storedSize);
    TemporaryVideoSource source(makeStore(2, 25.0, finished, storedSize), 0);
    QVERIFY(source.open({}));
    VideoFrame frame;
    QString error;
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Failed);
    QCOMPARE(error, QStringLiteral("Could not read the temporary analysis result. Run the analysis again."));
    qint64 index = -1;
    QCOMPARE(source.skipFrame(&index, nullptr, &error), VideoReadStatus::Failed);
    QCOMPARE(index, -1);
}

QTEST_GUILESS_MAIN(TemporaryVideoSourceTest)
#include "tst_temporaryvideosource.moc"
