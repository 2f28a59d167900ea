#include "TestMedia.h"

#include "project_data/TemporaryVideoSource.h"

#include <QTemporaryDir>
#include <QTest>

#include <limits>

using ovra::media::VideoFrame;
using ovra::media::VideoMetadata;
using ovra::media::VideoReadStatus;
using ovra::project_data::TemporaryVideo;
using ovra::project_data::TemporaryVideoSource;
using ovra::tests::verifyRefusal;

namespace {

const QString outsideMessage = "The requested frame is outside the analysis result.";

VideoMetadata metadataAt(double nominalFrameRate)
{
    VideoMetadata metadata;
    metadata.frameSize = QSize(2, 2);
    metadata.nominalFrameRate = nominalFrameRate;
    return metadata;
}

// Stored frame i has a colour that names it, and times the source must replace.
std::shared_ptr<TemporaryVideo> makeStore(int frames, qint64 firstFrameIndex, bool finish = true)
{
    auto store = std::make_shared<TemporaryVideo>(metadataAt(25.0), firstFrameIndex);
    bool ok = store->create();
    for (int i = 0; i < frames; ++i) {
        QImage image(2, 2, QImage::Format_RGBA8888);
        image.fill(QColor(i % 256, i / 256, 200));
        ok = ok && store->appendFrame(VideoFrame{image, 999, 999});
    }
    return ok && (!finish || store->finish()) ? store : nullptr;
}

// The next frame as "source index at time: stored number", or how reading it ended.
QString nextFrame(TemporaryVideoSource &source, QString *error = nullptr)
{
    VideoFrame frame;
    const VideoReadStatus status = source.readFrame(&frame, error);
    if (status != VideoReadStatus::Frame)
        return status == VideoReadStatus::EndOfStream ? "end" : "failed";
    const int stored = frame.image.pixelColor(1, 1).red() + 256 * frame.image.pixelColor(1, 1).green();
    return QString("%1 at %2: %3").arg(frame.frameIndex).arg(frame.presentationTimeUs).arg(stored);
}

} // namespace

class TemporaryVideoSourceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_temporaryFolder;

private slots:
    void initTestCase()
    {
        QVERIFY(m_temporaryFolder.isValid());
        qputenv("TMPDIR", QFile::encodeName(m_temporaryFolder.path()));
    }

    void seeksMapSourceFramesAndTimesOntoTheResult()
    {
        TemporaryVideoSource source(makeStore(100, 250));
        QVERIFY(source.open("ignored.mp4"));
        QCOMPARE(source.metadata().nominalFrameRate, 25.0);
        VideoFrame frame;
        QCOMPARE(source.readFrame(&frame), VideoReadStatus::Frame);
        QCOMPARE(frame.image.format(), QImage::Format_ARGB32);
        QVERIFY(source.seekToTime(10000000));
        QCOMPARE(nextFrame(source), "250 at 10000000: 0");
        QVERIFY(source.seekToFrame(349));
        QCOMPARE(nextFrame(source), "349 at 13960000: 99");
        QCOMPARE(nextFrame(source), "end");
        // Opening again starts at the first stored frame.
        source.close();
        QVERIFY(!source.isOpen());
        QVERIFY(source.open({}));
        QCOMPARE(nextFrame(source), "250 at 10000000: 0");
    }

    void seekOutsideTheResultKeepsThePosition_data()
    {
        QTest::addColumn<bool>("byTime");
        QTest::addColumn<qint64>("target");
        QTest::newRow("frame before the first") << false << qint64(249);
        QTest::newRow("frame at the end") << false << qint64(260);
        QTest::newRow("time at the end") << true << qint64(10400000);
        QTest::newRow("time beyond any frame number") << true << std::numeric_limits<qint64>::max();
        QTest::newRow("time before any frame number") << true << std::numeric_limits<qint64>::min();
    }

    void seekOutsideTheResultKeepsThePosition()
    {
        QFETCH(bool, byTime);
        QFETCH(qint64, target);
        TemporaryVideoSource source(makeStore(10, 250));
        QVERIFY(source.open({}) && source.seekToFrame(253));
        QString error;
        QVERIFY(!(byTime ? source.seekToTime(target, &error) : source.seekToFrame(target, &error)));
        QCOMPARE(error, outsideMessage);
        QCOMPARE(nextFrame(source), "253 at 10120000: 3");
    }

    void givenMetadataSetsTheTimeGridAndSkipsReportIt()
    {
        TemporaryVideoSource source(makeStore(3, 10));
        QVERIFY(source.openWithMetadata(metadataAt(29.97)));
        QCOMPARE(source.metadata().nominalFrameRate, 29.97);
        qint64 index = -1;
        qint64 time = -1;
        QCOMPARE(source.skipFrame(&index, &time), VideoReadStatus::Frame);
        QCOMPARE(index, 10);
        QCOMPARE(time, 333667);
        QCOMPARE(source.skipFrame(&index, nullptr), VideoReadStatus::Frame);
        QCOMPARE(index, 11);
        QCOMPARE(nextFrame(source), "12 at 400400: 2");
        QCOMPARE(source.skipFrame(&index, &time), VideoReadStatus::EndOfStream);
        QCOMPARE(index, 11);
    }

    void missingResultsAndStoreErrorsFail()
    {
        for (auto store : {std::shared_ptr<TemporaryVideo>(), makeStore(0, 0)}) {
            TemporaryVideoSource empty(store);
            QString error;
            verifyRefusal(empty.open({}, &error), error, QString("No analysis result is available."));
            QVERIFY(!empty.openWithMetadata(metadataAt(25.0)));
            QVERIFY(!empty.isOpen());
        }

        // Every failure says what to do, also the reads and seeks of a source never opened.
        TemporaryVideoSource source(makeStore(2, 0, false));
        QString error;
        const QString notOpen = "The analysis result is not open for reading. Open it before seeking or reading frames.";
        QCOMPARE(nextFrame(source, &error), "failed");
        QCOMPARE(error, notOpen);
        verifyRefusal(source.seekToFrame(0, &error), error, notOpen);
        QVERIFY(source.open({}));
        // The store was never finished, so it refuses to be read.
        QCOMPARE(nextFrame(source, &error), "failed");
        QCOMPARE(error, QString("Could not read the temporary analysis result. Run the analysis again."));
        qint64 index = -1;
        QCOMPARE(source.skipFrame(&index), VideoReadStatus::Failed);
        QCOMPARE(index, -1);
    }
};

QTEST_GUILESS_MAIN(TemporaryVideoSourceTest)
#include "tst_temporaryvideosource.moc"
