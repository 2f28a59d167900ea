#include "media/TemporaryVideoSource.h"

#include <QTemporaryDir>
#include <QTest>

#include <limits>

using ovra::media::TemporaryVideoSource;
using ovra::media::VideoFrame;
using ovra::media::VideoMetadata;
using ovra::media::VideoReadStatus;
using ovra::project_data::TemporaryVideo;

namespace {

const QString outsideMessage = "The requested frame is outside the analysis result.";
const QString noResultMessage = "No analysis result is available.";

VideoMetadata metadataAt(double nominalFrameRate)
{
    VideoMetadata metadata;
    metadata.frameSize = QSize(2, 2);
    metadata.nominalFrameRate = nominalFrameRate;
    return metadata;
}

// Stored frame i has a colour that names it, and times the source must replace.
std::shared_ptr<TemporaryVideo> makeStore(int frames, double nominalFrameRate, bool finish = true)
{
    auto store = std::make_shared<TemporaryVideo>(metadataAt(nominalFrameRate));
    bool ok = store->create();
    for (int i = 0; i < frames; ++i) {
        QImage image(2, 2, QImage::Format_RGBA8888);
        image.fill(QColor(i % 256, i / 256, 200));
        ok = ok && store->appendFrame(VideoFrame{image, 999, 999});
    }
    return ok && (!finish || store->finish()) ? store : nullptr;
}

int storedNumber(const VideoFrame &frame)
{
    return frame.image.pixelColor(1, 1).red() + 256 * frame.image.pixelColor(1, 1).green();
}

} // namespace

class TemporaryVideoSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void seeksMapSourceFramesAndTimesOntoTheResult();
    void seekOutsideTheResultKeepsThePosition_data();
    void seekOutsideTheResultKeepsThePosition();
    void openingNeedsStoredFramesAndRestartsAtTheFirst();
    void givenMetadataSetsTheTimeGridAndSkipsReportIt();
    void closedSourceAndStoreErrorsFailTheRead();

private:
    QTemporaryDir m_temporaryFolder;
};

void TemporaryVideoSourceTest::initTestCase()
{
    QVERIFY(m_temporaryFolder.isValid());
    qputenv("TMPDIR", QFile::encodeName(m_temporaryFolder.path()));
}

void TemporaryVideoSourceTest::seeksMapSourceFramesAndTimesOntoTheResult()
{
    TemporaryVideoSource source(makeStore(100, 25.0), 250);
    QString error;
    QVERIFY(source.open("ignored.mp4", &error));
    QCOMPARE(source.metadata().nominalFrameRate, 25.0);
    VideoFrame frame;
    QVERIFY(source.seekToTime(10000000, &error));
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
    QCOMPARE(frame.frameIndex, 250);
    QCOMPARE(frame.presentationTimeUs, 10000000);
    QCOMPARE(storedNumber(frame), 0);
    QCOMPARE(frame.image.format(), QImage::Format_ARGB32);

    QVERIFY(!source.seekToTime(14000000, &error));
    QCOMPARE(error, outsideMessage);
    QVERIFY(source.seekToFrame(349, &error));
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
    QCOMPARE(frame.frameIndex, 349);
    QCOMPARE(frame.presentationTimeUs, 13960000);
    QCOMPARE(storedNumber(frame), 99);
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::EndOfStream);
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

void TemporaryVideoSourceTest::openingNeedsStoredFramesAndRestartsAtTheFirst()
{
    for (auto store : {std::shared_ptr<TemporaryVideo>(), makeStore(0, 25.0)}) {
        TemporaryVideoSource empty(store, 0);
        QString error;
        QVERIFY(!empty.open({}, &error));
        QCOMPARE(error, noResultMessage);
        error.clear();
        QVERIFY(!empty.openWithMetadata(metadataAt(25.0), &error));
        QCOMPARE(error, noResultMessage);
        QVERIFY(!empty.isOpen());
    }

    TemporaryVideoSource source(makeStore(5, 25.0), 40);
    QVERIFY(source.open({}));
    QVERIFY(source.seekToFrame(43));
    source.close();
    QVERIFY(!source.isOpen());
    QVERIFY(source.open({}));
    VideoFrame frame;
    QCOMPARE(source.readFrame(&frame), VideoReadStatus::Frame);
    QCOMPARE(frame.frameIndex, 40);
    QCOMPARE(storedNumber(frame), 0);
}

void TemporaryVideoSourceTest::givenMetadataSetsTheTimeGridAndSkipsReportIt()
{
    TemporaryVideoSource source(makeStore(3, 25.0), 10);
    QVERIFY(source.openWithMetadata(metadataAt(29.97)));
    QCOMPARE(source.metadata().nominalFrameRate, 29.97);
    qint64 index = -1;
    qint64 time = -1;
    QCOMPARE(source.skipFrame(&index, &time), VideoReadStatus::Frame);
    QCOMPARE(index, 10);
    QCOMPARE(time, 333667);
    QCOMPARE(source.skipFrame(&index, nullptr), VideoReadStatus::Frame);
    QCOMPARE(index, 11);
    VideoFrame frame;
    QCOMPARE(source.readFrame(&frame), VideoReadStatus::Frame);
    QCOMPARE(storedNumber(frame), 2);
    QCOMPARE(source.skipFrame(&index, &time), VideoReadStatus::EndOfStream);
    QCOMPARE(index, 11);
}

void TemporaryVideoSourceTest::closedSourceAndStoreErrorsFailTheRead()
{
    TemporaryVideoSource source(makeStore(2, 25.0, false), 0);
    QString error = "untouched";
    VideoFrame frame;
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Failed);
    QCOMPARE(error, QString("untouched"));
    QVERIFY(!source.seekToFrame(0, &error));
    QCOMPARE(error, outsideMessage);

    QVERIFY(source.open({}));
    error = "untouched";
    QCOMPARE(source.readFrame(nullptr, &error), VideoReadStatus::Failed);
    QCOMPARE(error, QString("untouched"));
    // The store was never finished, so it refuses to be read.
    QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Failed);
    QCOMPARE(error, QString("Could not read the temporary analysis result. Run the analysis again."));
    qint64 index = -1;
    QCOMPARE(source.skipFrame(&index), VideoReadStatus::Failed);
    QCOMPARE(index, -1);
}

QTEST_GUILESS_MAIN(TemporaryVideoSourceTest)
#include "tst_temporaryvideosource.moc"
