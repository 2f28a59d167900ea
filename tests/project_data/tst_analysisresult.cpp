// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMedia.h"

#include "project_data/AnalysisResult.h"
#include "project_data/AnalysisResultSource.h"

#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using ovra::media::VideoFrame;
using ovra::media::VideoMetadata;
using ovra::media::VideoReadStatus;
using ovra::project_data::AnalysisResult;
using ovra::project_data::AnalysisResultSource;
using ovra::tests::verifyRefusal;

namespace {

const QString writeMessage
    = "Could not write the temporary analysis result. Check free disk space and access to the temporary folder.";
const QString readMessage = "Could not read the temporary analysis result. Run the analysis again.";
const QString outsideMessage = "The requested frame is outside the analysis result.";
const QSize frameSize(7, 5);

VideoMetadata metadataAt(double nominalFrameRate = 25.0)
{
    VideoMetadata metadata;
    metadata.frameSize = frameSize;
    metadata.nominalFrameRate = nominalFrameRate;
    return metadata;
}

// Every pixel different, with opaque, translucent and fully transparent alpha values.
VideoFrame patternFrame(int index, QSize size = frameSize)
{
    QImage image(size, QImage::Format_RGBA8888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y,
                                QColor((x * 37 + index * 11) % 256, (y * 53 + index) % 256, (x * y + index * 7) % 256,
                                       (x + y) % 3 == 0 ? 255 : (x * 29) % 256));
    return VideoFrame{image, index * 40000 + 7, index};
}

QImage storedImage(int index)
{
    return patternFrame(index).image.convertToFormat(QImage::Format_ARGB32);
}

// A store of pattern frames with times and indices the result source must replace.
std::shared_ptr<AnalysisResult> makeStore(int frames, qint64 firstFrameIndex, bool finish = true)
{
    auto store = std::make_shared<AnalysisResult>(metadataAt(), firstFrameIndex);
    bool ok = store->create();
    for (int i = 0; i < frames; ++i)
        ok = ok && store->appendFrame(VideoFrame{patternFrame(i).image, 999, 999});
    return ok && (!finish || store->finish()) ? store : nullptr;
}

// The next frame of a result source as "source index at time: stored number", or how reading ended.
QString nextFrame(AnalysisResultSource &source, QString *error = nullptr)
{
    VideoFrame frame;
    const VideoReadStatus status = source.readFrame(&frame, error);
    if (status != VideoReadStatus::Frame)
        return status == VideoReadStatus::EndOfStream ? "end" : "failed";
    int stored = 0;
    while (stored < 256 && frame.image != storedImage(stored))
        ++stored;
    return QString("%1 at %2: %3").arg(frame.frameIndex).arg(frame.presentationTimeUs).arg(stored);
}

// A store the memory could keep is written through the page cache, a larger one past it.
void addWritingModes()
{
    QTest::addColumn<qint64>("expectedFrames");
    // More than the tests store: what was set aside for the rest must be given back.
    QTest::newRow("through the cache") << qint64(5);
    QTest::newRow("past the cache") << (qint64(1) << 50);
}

int permissionBits(const QString &path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

void makeStaleResult(const QString &directory)
{
    QDir().mkpath(directory);
    QFile(directory + "/frames.bin").open(QIODevice::WriteOnly);
}

} // namespace

class AnalysisResultTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_base;
    int m_testNumber = 0;

    QString root() const { return AnalysisResult::storeRoot(); }

private slots:
    // Every test gets a temporary folder of its own, so each starts without a store root.
    void init()
    {
        const QString folder = m_base.filePath(QString::number(++m_testNumber));
        QVERIFY(QDir().mkpath(folder));
        qputenv("TMPDIR", QFile::encodeName(folder));
        QCOMPARE(root(), folder + "/ovra-motion-results-v1-" + QString::number(::geteuid()));
    }

    void roundTripReturnsArgb32WithTheSameColoursInAnOwnerOnlyRoot_data() { addWritingModes(); }

    void roundTripReturnsArgb32WithTheSameColoursInAnOwnerOnlyRoot()
    {
        QFETCH(qint64, expectedFrames);
        auto store = std::make_unique<AnalysisResult>(metadataAt(), 0, expectedFrames);
        QString error;
        QVERIFY(store->create(&error));
        QCOMPARE(permissionBits(root()), 0700);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(store->appendFrame(patternFrame(i), &error), qPrintable(error));
        QVERIFY(store->finish(&error));
        QCOMPARE(store->frameCount(), 3);
        QCOMPARE(store->storageBytes(), QFileInfo(store->directory() + "/frames.bin").size());
        QCOMPARE(store->storageBytes(), AnalysisResult::requiredStorageBytes(frameSize, 3));
        for (int i : {2, 0, 1}) {
            VideoFrame frame;
            QVERIFY2(store->readFrame(i, &frame, &error), qPrintable(error));
            QCOMPARE(frame.frameIndex, i);
            QCOMPARE(frame.presentationTimeUs, i * 40000 + 7);
            QCOMPARE(frame.image, storedImage(i));
        }
        // Destruction removes the result; a root of ours that others may enter is narrowed.
        const QString directory = store->directory();
        store.reset();
        QVERIFY(!QFileInfo::exists(directory) && QFileInfo(root()).isDir());
        QVERIFY(::chmod(QFile::encodeName(root()).constData(), 0755) == 0);
        QVERIFY(AnalysisResult(metadataAt()).create());
        QCOMPARE(permissionBits(root()), 0700);
    }

    void readsAndAppendsOutsideTheLifecycleFail()
    {
        AnalysisResult store(metadataAt());
        QString error;
        VideoFrame frame;
        verifyRefusal(store.appendFrame(patternFrame(0), &error), error, writeMessage);
        QVERIFY(store.create());
        verifyRefusal(store.create(&error), error, writeMessage); // a second directory would be orphaned
        QVERIFY(store.appendFrame(patternFrame(0)));
        // Appending does not check the size; reading rejects a record of another size.
        QVERIFY(store.appendFrame(patternFrame(1, QSize(8, 5))));
        verifyRefusal(store.appendFrame(VideoFrame{}, &error), error, writeMessage);
        verifyRefusal(store.readFrame(0, &frame, &error), error, readMessage);

        QVERIFY(store.finish());
        verifyRefusal(store.appendFrame(patternFrame(2), &error), error, writeMessage);
        QCOMPARE(store.frameCount(), 2);
        for (qint64 index : {-1, 1, 2})
            verifyRefusal(store.readFrame(index, &frame, &error), error, readMessage);
        QVERIFY(!store.readFrame(0, nullptr));
        QVERIFY(frame.image.isNull());
        QVERIFY(store.readFrame(0, &frame));
    }

    void failedAppendOnFullDiskKeepsEarlierAndLaterFrames_data() { addWritingModes(); }

    void failedAppendOnFullDiskKeepsEarlierAndLaterFrames()
    {
        QFETCH(qint64, expectedFrames);
        AnalysisResult store(metadataAt(), 0, expectedFrames);
        QVERIFY(store.create() && store.appendFrame(patternFrame(0)) && store.appendFrame(patternFrame(1)));
        QString error;
        {
            // The next header and part of its pixels fit.
            const ovra::tests::FileSizeLimit limit(store.storageBytes()
                                                   + ovra::project_data::BlockAlignedFile::blockBytes + 50);
            verifyRefusal(store.appendFrame(patternFrame(2), &error), error, writeMessage);
        }
        QCOMPARE(store.frameCount(), 2);
        // The partial record stays unindexed; a later append takes its place and is found.
        QVERIFY(store.appendFrame(patternFrame(3)) && store.finish());
        for (int i = 0; i < 3; ++i) {
            VideoFrame frame;
            QVERIFY2(store.readFrame(i, &frame, &error), qPrintable(error));
            QCOMPARE(frame.image, storedImage(i < 2 ? i : 3));
        }
    }

    void unsafeRootIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("symbolic link") << "link";
        QTest::newRow("directory of another user") << "foreign";
        QTest::newRow("regular file") << "file";
    }

    void unsafeRootIsRefused()
    {
        QFETCH(QString, kind);
        const QString elsewhere = QFileInfo(root()).absolutePath() + "/elsewhere";
        const QString stale = (kind == "link" ? elsewhere : root()) + "/result-stale";
        if (kind == "foreign" && ::geteuid() != 0)
            QSKIP("Giving a directory to another user needs root.");
        // Other users' roots, and the one name all users once shared, are no concern of ours.
        for (const QString &other : {QString("ovra-motion-results-v1"), QString("ovra-motion-results-v1-65534")}) {
            const QString path = QFileInfo(root()).absolutePath() + "/" + other;
            QVERIFY(QDir().mkpath(path));
            QVERIFY(::geteuid() != 0 || ::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
        }
        QVERIFY(AnalysisResult(metadataAt()).create());
        QVERIFY(QDir(root()).removeRecursively());
        if (kind == "file")
            QVERIFY(QFile(root()).open(QIODevice::WriteOnly));
        else
            makeStaleResult(stale);
        if (kind == "link")
            QVERIFY(QFile::link(elsewhere, root()));
        if (kind == "foreign")
            QCOMPARE(::chown(QFile::encodeName(root()).constData(), 65534, 65534), 0);

        AnalysisResult::cleanupStale();
        AnalysisResult store(metadataAt());
        QString error;
        verifyRefusal(store.create(&error), error,
                      "The folder for temporary analysis results " + root()
                          + " belongs to another user, or it is a link or a file. Remove it, or choose another "
                            "temporary folder (TMPDIR).");
        QVERIFY(store.directory().isEmpty());
        QCOMPARE(QFile::exists(stale + "/frames.bin"), kind != "file");
    }

    void cleanupRemovesOnlyResultsWithoutALiveOwner()
    {
        QProcess owner;
        owner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        owner.start(OVRA_STORE_OWNER_HELPER);
        while (!owner.canReadLine() && owner.waitForReadyRead()) { }
        const QString other = QString::fromLocal8Bit(owner.readLine()).trimmed();
        QVERIFY2(other.startsWith(root() + "/result-"), qPrintable(other));
        AnalysisResult ours(metadataAt());
        QVERIFY(ours.create());
        makeStaleResult(root() + "/result-stale");
        makeStaleResult(root() + "/not-a-result");
        // A link named like a result must not lead the clean-up out of the root.
        const QString outside = QFileInfo(root()).absolutePath() + "/outside";
        makeStaleResult(outside);
        QVERIFY(QFile::link(outside, root() + "/result-link"));

        AnalysisResult::cleanupStale();
        QVERIFY(!QFileInfo::exists(root() + "/result-stale"));
        for (const QString &kept : {ours.directory(), other, root() + "/not-a-result", outside})
            QVERIFY2(QFile::exists(kept + "/frames.bin"), qPrintable(kept));

        owner.kill();
        QVERIFY(owner.waitForFinished());
        AnalysisResult::cleanupStale();
        QVERIFY(!QFileInfo::exists(other));
        QVERIFY(QFile::exists(ours.directory() + "/frames.bin"));
    }

    // The check before an analysis: 1080p takes 15 GB per minute at 30 fps, 4K 60 GB.
    void freeSpaceCheckRefusesWhatTheDiskCannotHold()
    {
        const QSize size(1920, 1080);
        const qint64 max = std::numeric_limits<qint64>::max();
        // A count no disk can hold saturates instead of overflowing.
        QCOMPARE(AnalysisResult::requiredStorageBytes(size, max), max);
        QString error = "stale";
        QVERIFY(AnalysisResult::checkFreeSpace(size, 1, &error));
        QVERIFY(error.isEmpty());

        const qint64 available = QStorageInfo(QDir::tempPath()).bytesAvailable();
        const qint64 frames = 2 * (available / AnalysisResult::requiredStorageBytes(size, 1)) + 2;
        QVERIFY(!AnalysisResult::checkFreeSpace(size, frames, &error));
        const QString needed = QLocale().formattedDataSize(AnalysisResult::requiredStorageBytes(size, frames));
        const QRegularExpression pattern("^The temporary folder does not have enough free space for the analysis "
                                         "result: "
                                         + QRegularExpression::escape(needed) + " needed, .+ available\\.$");
        QVERIFY2(pattern.match(error).hasMatch(), qPrintable(error));
    }

    void resultSourceMapsSourceFramesAndTimesOntoTheStore()
    {
        AnalysisResultSource source(makeStore(100, 250));
        QVERIFY(source.open("ignored.mp4"));
        QVERIFY(source.seekToTime(10000000));
        QCOMPARE(nextFrame(source), "250 at 10000000: 0");
        // Seeks outside the store fail and keep the position.
        QVERIFY(source.seekToFrame(349));
        QString error;
        for (qint64 frame : {249, 350})
            verifyRefusal(source.seekToFrame(frame, &error), error, outsideMessage);
        for (qint64 time : {qint64(14000000), std::numeric_limits<qint64>::max()})
            verifyRefusal(source.seekToTime(time, &error), error, outsideMessage);
        QCOMPARE(nextFrame(source), "349 at 13960000: 99");
        QCOMPARE(nextFrame(source), "end");
        // Opening again starts at the first stored frame.
        source.close();
        QVERIFY(!source.isOpen());
        QVERIFY(source.open({}));
        QCOMPARE(nextFrame(source), "250 at 10000000: 0");

        // Given metadata sets the time grid; skips report index and time.
        QVERIFY(source.openWithMetadata(metadataAt(29.97)));
        qint64 index = -1;
        qint64 time = -1;
        QVERIFY(source.seekToFrame(347));
        QCOMPARE(source.skipFrame(&index, &time), VideoReadStatus::Frame);
        QCOMPARE(index, 347);
        QCOMPARE(time, 11578245);
        QCOMPARE(nextFrame(source), "348 at 11611612: 98");
        QCOMPARE(source.skipFrame(&index, nullptr), VideoReadStatus::Frame);
        QCOMPARE(index, 349);
        QCOMPARE(source.skipFrame(&index, &time), VideoReadStatus::EndOfStream);
        QCOMPARE(index, 349);
    }

    void resultSourceFailures()
    {
        QString error;
        for (auto store : {std::shared_ptr<AnalysisResult>(), makeStore(0, 0)}) {
            AnalysisResultSource empty(store);
            verifyRefusal(empty.open({}, &error), error, QString("No analysis result is available."));
            QVERIFY(!empty.openWithMetadata(metadataAt()) && !empty.isOpen());
        }
        // Every failure says what to do, also the reads and seeks of a source never opened.
        AnalysisResultSource source(makeStore(2, 0, false));
        const QString notOpen
            = "The analysis result is not open for reading. Open it before seeking or reading frames.";
        QCOMPARE(nextFrame(source, &error), "failed");
        QCOMPARE(error, notOpen);
        verifyRefusal(source.seekToFrame(0, &error), error, notOpen);
        QVERIFY(source.open({}));
        // The store was never finished, so it refuses to be read.
        QCOMPARE(nextFrame(source, &error), "failed");
        QCOMPARE(error, readMessage);
        qint64 index = -1;
        QCOMPARE(source.skipFrame(&index), VideoReadStatus::Failed);
        QCOMPARE(index, -1);
    }
};

QTEST_GUILESS_MAIN(AnalysisResultTest)
#include "tst_analysisresult.moc"
