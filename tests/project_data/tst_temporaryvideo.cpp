#include "TestMedia.h"

#include "project_data/TemporaryVideo.h"

#include <QDir>
#include <QLocale>
#include <QLockFile>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <limits>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using ovra::media::VideoFrame;
using ovra::media::VideoMetadata;
using ovra::project_data::TemporaryVideo;
using ovra::tests::verifyRefusal;

namespace {

const QString writeMessage =
    "Could not write the temporary analysis result. Check free disk space and access to the temporary folder.";
const QString readMessage = "Could not read the temporary analysis result. Run the analysis again.";
const QSize frameSize(7, 5);

VideoMetadata metadataOf(QSize size = frameSize)
{
    VideoMetadata metadata;
    metadata.frameSize = size;
    return metadata;
}

// Every pixel different, with opaque, translucent and fully transparent alpha values.
VideoFrame patternFrame(int index, QSize size = frameSize)
{
    QImage image(size, QImage::Format_RGBA8888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, QColor((x * 37 + index * 11) % 256, (y * 53 + index) % 256,
                                             (x * y + index * 7) % 256, (x + y) % 3 == 0 ? 255 : (x * 29) % 256));
    return VideoFrame{image, index * 40000 + 7, index};
}

QImage storedImage(int index)
{
    return patternFrame(index).image.convertToFormat(QImage::Format_ARGB32);
}

int permissionBits(const QString &path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

void makeStaleResult(const QString &directory)
{
    QDir().mkpath(directory);
    QFile frames(directory + "/frames.bin");
    frames.open(QIODevice::WriteOnly);
}

} // namespace

class TemporaryVideoTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_base;
    int m_testNumber = 0;

    QString root() const { return TemporaryVideo::storeRoot(); }

private slots:
    // Every test gets a temporary folder of its own, so each starts without a store root.
    void init()
    {
        const QString folder = m_base.filePath(QString::number(++m_testNumber));
        QVERIFY(QDir().mkpath(folder));
        qputenv("TMPDIR", QFile::encodeName(folder));
        QCOMPARE(root(), folder + "/ovra-motion-results-v1");
    }

    void roundTripReturnsArgb32WithTheSameColours()
    {
        TemporaryVideo store(metadataOf());
        QString error;
        QVERIFY(store.create(&error));
        QVERIFY(store.directory().startsWith(root() + "/result-"));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(store.appendFrame(patternFrame(i), &error), qPrintable(error));
        QVERIFY(store.finishedAt().isNull());
        QVERIFY(store.finish(&error));
        QVERIFY(store.finishedAt().isValid());
        QCOMPARE(store.frameCount(), 3);
        QCOMPARE(store.storageBytes(), QFileInfo(store.directory() + "/frames.bin").size());
        QCOMPARE(store.storageBytes(), TemporaryVideo::requiredStorageBytes(frameSize, 3));

        for (int i : {2, 0, 1}) {
            VideoFrame frame;
            QVERIFY2(store.readFrame(i, &frame, &error), qPrintable(error));
            QCOMPARE(frame.frameIndex, i);
            QCOMPARE(frame.presentationTimeUs, i * 40000 + 7);
            QCOMPARE(frame.image.format(), QImage::Format_ARGB32);
            QCOMPARE(frame.image, storedImage(i));
            QCOMPARE(frame.image.pixelColor(1, 0), patternFrame(i).image.pixelColor(1, 0));
        }
    }

    void readsAndAppendsOutsideTheLifecycleFail()
    {
        TemporaryVideo store(metadataOf());
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

    void failedAppendOnFullDiskKeepsEarlierAndLaterFrames()
    {
        TemporaryVideo store(metadataOf());
        QVERIFY(store.create() && store.appendFrame(patternFrame(0)) && store.appendFrame(patternFrame(1)));
        // A file size limit makes writes fail with EFBIG, as on a full disk, for this process only.
        rlimit saved = {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = rlim_t(store.storageBytes() + 36 + 50); // the next header and part of its pixels
        ::setrlimit(RLIMIT_FSIZE, &limit);
        QString error;
        const bool appended = store.appendFrame(patternFrame(2), &error);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!appended);
        QCOMPARE(error, writeMessage);
        QCOMPARE(store.frameCount(), 2);
        // The partial record stays unindexed; a later append lands behind it and is found.
        QVERIFY(store.appendFrame(patternFrame(3)) && store.finish());
        for (int i = 0; i < 3; ++i) {
            VideoFrame frame;
            QVERIFY2(store.readFrame(i, &frame, &error), qPrintable(error));
            QCOMPARE(frame.image, storedImage(i < 2 ? i : 3));
        }
    }

    void rootIsOwnerOnlyAndDestructionRemovesTheResult()
    {
        auto store = std::make_unique<TemporaryVideo>(metadataOf());
        QVERIFY(store->create());
        QCOMPARE(permissionBits(root()), 0700);
        const QString directory = store->directory();
        store.reset();
        QVERIFY(!QFileInfo::exists(directory));
        QVERIFY(QFileInfo(root()).isDir());

        // A root of ours that others may enter is narrowed before use.
        QVERIFY(::chmod(QFile::encodeName(root()).constData(), 0755) == 0);
        QVERIFY(TemporaryVideo(metadataOf()).create());
        QCOMPARE(permissionBits(root()), 0700);
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
        if (kind == "file")
            QVERIFY(QFile(root()).open(QIODevice::WriteOnly));
        else
            makeStaleResult(stale);
        if (kind == "link")
            QVERIFY(QFile::link(elsewhere, root()));
        if (kind == "foreign")
            QCOMPARE(::chown(QFile::encodeName(root()).constData(), 65534, 65534), 0);

        TemporaryVideo::cleanupStale();
        TemporaryVideo store(metadataOf());
        QString error;
        verifyRefusal(store.create(&error), error, writeMessage);
        QVERIFY(store.directory().isEmpty());
        QCOMPARE(QFile::exists(stale + "/frames.bin"), kind != "file");
    }

    void cleanupRemovesOnlyResultsWithoutALiveOwner()
    {
        // The helper process creates a store, prints its directory and keeps the store until killed.
        QProcess owner;
        owner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        owner.start(OVRA_STORE_OWNER_HELPER);
        while (!owner.canReadLine() && owner.waitForReadyRead()) {
        }
        const QString other = QString::fromLocal8Bit(owner.readLine()).trimmed();
        QVERIFY2(other.startsWith(root() + "/result-"), qPrintable(other));
        TemporaryVideo ours(metadataOf());
        QVERIFY(ours.create());
        makeStaleResult(root() + "/result-stale");
        makeStaleResult(root() + "/not-a-result");
        // A link named like a result must not lead the clean-up out of the root.
        const QString outside = QFileInfo(root()).absolutePath() + "/outside";
        makeStaleResult(outside);
        QVERIFY(QFile::link(outside, root() + "/result-link"));

        TemporaryVideo::cleanupStale();
        QVERIFY(!QFileInfo::exists(root() + "/result-stale"));
        for (const QString &kept : {ours.directory(), other, root() + "/not-a-result", outside})
            QVERIFY2(QFile::exists(kept + "/frames.bin"), qPrintable(kept));
        QLockFile ownerLock(other + "/owner.lock");
        ownerLock.setStaleLockTime(0);
        QVERIFY(!ownerLock.tryLock(0));

        owner.kill();
        QVERIFY(owner.waitForFinished());
        TemporaryVideo::cleanupStale();
        QVERIFY(!QFileInfo::exists(other));
        QVERIFY(QFile::exists(ours.directory() + "/frames.bin"));
    }

    void requiredStorageAndFreeSpaceCheck()
    {
        const QSize size(1920, 1080);
        const qint64 max = std::numeric_limits<qint64>::max();
        // A count no disk can hold saturates instead of overflowing.
        QCOMPARE(TemporaryVideo::requiredStorageBytes(size, max), max);

        QString error = "stale";
        QVERIFY(TemporaryVideo::checkFreeSpace(size, 1, &error));
        QVERIFY(error.isEmpty());

        const qint64 available = QStorageInfo(QDir::tempPath()).bytesAvailable();
        const qint64 frames = 2 * (available / TemporaryVideo::requiredStorageBytes(size, 1)) + 2;
        QVERIFY(!TemporaryVideo::checkFreeSpace(size, frames, &error));
        const QString needed = QLocale().formattedDataSize(TemporaryVideo::requiredStorageBytes(size, frames));
        const QRegularExpression pattern("^The temporary folder does not have enough free space for the analysis "
                                         "result: " + QRegularExpression::escape(needed) + " needed, .+ available\\.$");
        QVERIFY2(pattern.match(error).hasMatch(), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TemporaryVideoTest)
#include "tst_temporaryvideo.moc"
