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

namespace {

const QString writeMessage =
    "Could not write the temporary analysis result. Check free disk space and access to the temporary folder.";
const QString readMessage = "Could not read the temporary analysis result. Run the analysis again.";
const QSize frameSize(7, 5);

VideoMetadata metadataOf(QSize size)
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
    frames.write("stale");
}

} // namespace

class TemporaryVideoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void roundTripReturnsArgb32WithTheSameColours();
    void readsAndAppendsOutsideTheLifecycleFail();
    void failedAppendOnFullDiskKeepsEarlierAndLaterFrames();
    void rootIsOwnerOnlyAndDestructionRemovesTheResult();
    void unsafeRootIsRefused_data();
    void unsafeRootIsRefused();
    void cleanupRemovesOnlyResultsWithoutLiveOwner();
    void liveStoreOfAnotherProcessIsLockedAndRemovedAfterItsDeath();
    void anotherProcessLeavesOurStoreAndRemovesItsOwnOnExit();
    void requiredStorageBytes_data();
    void requiredStorageBytes();
    void freeSpaceCheckNamesNeededAndAvailableSpace();

private:
    QString root() const { return TemporaryVideo::storeRoot(); }
    QString startOwnerProcess(QProcess &process, const QString &mode);

    QTemporaryDir m_base;
    int m_testNumber = 0;
};

void TemporaryVideoTest::initTestCase()
{
    QVERIFY(m_base.isValid());
}

// Every test gets a temporary folder of its own, so each starts without a store root.
void TemporaryVideoTest::init()
{
    const QString folder = m_base.filePath(QString::number(++m_testNumber));
    QVERIFY(QDir().mkpath(folder));
    qputenv("TMPDIR", QFile::encodeName(folder));
    QCOMPARE(root(), folder + "/ovra-motion-results-v1");
}

void TemporaryVideoTest::roundTripReturnsArgb32WithTheSameColours()
{
    TemporaryVideo store(metadataOf(frameSize));
    QString error;
    QVERIFY(store.create(&error));
    QVERIFY(store.directory().startsWith(root() + "/result-"));
    QVERIFY(QFile::exists(store.directory() + "/owner.lock"));
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
        QCOMPARE(frame.image.format(), QImage::Format_ARGB32);
        QCOMPARE(frame.frameIndex, i);
        QCOMPARE(frame.presentationTimeUs, i * 40000 + 7);
        QCOMPARE(frame.image, patternFrame(i).image.convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(frame.image.pixelColor(1, 0), patternFrame(i).image.pixelColor(1, 0));
    }
}

void TemporaryVideoTest::readsAndAppendsOutsideTheLifecycleFail()
{
    TemporaryVideo store(metadataOf(frameSize));
    QString error;
    QVERIFY(!store.appendFrame(patternFrame(0), &error));
    QCOMPARE(error, writeMessage);
    QVERIFY(store.create());
    QVERIFY(!store.create(&error)); // a second directory would be orphaned
    QCOMPARE(error, writeMessage);
    QVERIFY(store.appendFrame(patternFrame(0)));
    // Appending does not check the size; reading rejects a record of another size.
    QVERIFY(store.appendFrame(patternFrame(1, QSize(8, 5))));
    QVERIFY(!store.appendFrame(VideoFrame{}, &error));
    QCOMPARE(error, writeMessage);
    VideoFrame frame;
    QVERIFY(!store.readFrame(0, &frame, &error));
    QCOMPARE(error, readMessage);

    QVERIFY(store.finish());
    QVERIFY(!store.appendFrame(patternFrame(2), &error));
    QCOMPARE(error, writeMessage);
    QCOMPARE(store.frameCount(), 2);
    for (qint64 index : {-1, 1, 2}) {
        error.clear();
        QVERIFY(!store.readFrame(index, &frame, &error));
        QCOMPARE(error, readMessage);
    }
    QVERIFY(!store.readFrame(0, nullptr, &error));
    QVERIFY(frame.image.isNull());
    QVERIFY(store.readFrame(0, &frame));
}

void TemporaryVideoTest::failedAppendOnFullDiskKeepsEarlierAndLaterFrames()
{
    TemporaryVideo store(metadataOf(frameSize));
    QVERIFY(store.create());
    QVERIFY(store.appendFrame(patternFrame(0)));
    QVERIFY(store.appendFrame(patternFrame(1)));

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
    QVERIFY(store.appendFrame(patternFrame(3)));
    QVERIFY(store.finish());
    for (int i = 0; i < 3; ++i) {
        VideoFrame frame;
        QVERIFY2(store.readFrame(i, &frame, &error), qPrintable(error));
        QCOMPARE(frame.image, patternFrame(i < 2 ? i : 3).image.convertToFormat(QImage::Format_ARGB32));
    }
}

void TemporaryVideoTest::rootIsOwnerOnlyAndDestructionRemovesTheResult()
{
    auto store = std::make_unique<TemporaryVideo>(metadataOf(frameSize));
    QVERIFY(store->create());
    QCOMPARE(permissionBits(root()), 0700);
    const QString directory = store->directory();
    store.reset();
    QVERIFY(!QFileInfo::exists(directory));
    QVERIFY(QFileInfo(root()).isDir());

    // A root of ours that others may enter is narrowed before use.
    QVERIFY(::chmod(QFile::encodeName(root()).constData(), 0755) == 0);
    QVERIFY(TemporaryVideo(metadataOf(frameSize)).create());
    QCOMPARE(permissionBits(root()), 0700);
}

void TemporaryVideoTest::unsafeRootIsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("symbolic link") << "link";
    QTest::newRow("directory of another user") << "foreign";
    QTest::newRow("regular file") << "file";
}

void TemporaryVideoTest::unsafeRootIsRefused()
{
    QFETCH(QString, kind);
    const QString elsewhere = QFileInfo(root()).absolutePath() + "/elsewhere";
    const QString stale = (kind == "link" ? elsewhere : root()) + "/result-stale";
    if (kind == "foreign" && ::geteuid() != 0)
        QSKIP("Giving a directory to another user needs root.");
    if (kind == "file") {
        QFile file(root());
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        makeStaleResult(stale);
    }
    if (kind == "link")
        QVERIFY(QFile::link(elsewhere, root()));
    if (kind == "foreign")
        QCOMPARE(::chown(QFile::encodeName(root()).constData(), 65534, 65534), 0);

    TemporaryVideo::cleanupStale();
    TemporaryVideo store(metadataOf(frameSize));
    QString error;
    QVERIFY(!store.create(&error));
    QCOMPARE(error, writeMessage);
    QVERIFY(store.directory().isEmpty());
    QCOMPARE(QFile::exists(stale + "/frames.bin"), kind != "file");
}

void TemporaryVideoTest::cleanupRemovesOnlyResultsWithoutLiveOwner()
{
    TemporaryVideo live(metadataOf(frameSize));
    QVERIFY(live.create());
    makeStaleResult(root() + "/result-stale");
    makeStaleResult(root() + "/not-a-result");
    // A link named like a result must not lead the clean-up out of the root.
    const QString outside = QFileInfo(root()).absolutePath() + "/outside";
    makeStaleResult(outside);
    QVERIFY(QFile::link(outside, root() + "/result-link"));

    TemporaryVideo::cleanupStale();
    QVERIFY(!QFileInfo::exists(root() + "/result-stale"));
    QVERIFY(QFile::exists(live.directory() + "/frames.bin"));
    QVERIFY(QFile::exists(live.directory() + "/owner.lock"));
    QVERIFY(QFile::exists(root() + "/not-a-result/frames.bin"));
    QVERIFY(QFile::exists(outside + "/frames.bin"));
}

// The helper creates a store and prints its directory; "hold" keeps it until its input closes.
QString TemporaryVideoTest::startOwnerProcess(QProcess &process, const QString &mode)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(OVRA_STORE_OWNER_HELPER, {mode});
    while (!process.canReadLine() && process.waitForReadyRead()) {
    }
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

void TemporaryVideoTest::liveStoreOfAnotherProcessIsLockedAndRemovedAfterItsDeath()
{
    QProcess owner;
    const QString directory = startOwnerProcess(owner, "hold");
    QVERIFY2(directory.startsWith(root() + "/result-"), qPrintable(directory));

    // Neither the clean-up nor the creation of a store here touches the live one.
    TemporaryVideo::cleanupStale();
    TemporaryVideo ours(metadataOf(frameSize));
    QVERIFY(ours.create());
    QVERIFY(QFile::exists(directory + "/frames.bin"));
    QLockFile ownerLock(directory + "/owner.lock");
    ownerLock.setStaleLockTime(0);
    QVERIFY(!ownerLock.tryLock(0));

    owner.kill();
    QVERIFY(owner.waitForFinished());
    QVERIFY(QFile::exists(directory + "/frames.bin"));
    TemporaryVideo::cleanupStale();
    QVERIFY(!QFileInfo::exists(directory));
    QVERIFY(QFile::exists(ours.directory() + "/frames.bin"));
}

void TemporaryVideoTest::anotherProcessLeavesOurStoreAndRemovesItsOwnOnExit()
{
    TemporaryVideo ours(metadataOf(frameSize));
    QVERIFY(ours.create());
    QProcess other;
    const QString directory = startOwnerProcess(other, "exit");
    QVERIFY2(directory.startsWith(root() + "/result-"), qPrintable(directory));
    QVERIFY(other.waitForFinished());
    QCOMPARE(other.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(directory));
    QVERIFY(QFile::exists(ours.directory() + "/frames.bin"));
}

void TemporaryVideoTest::requiredStorageBytes_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<qint64>("bytes");
    const qint64 max = std::numeric_limits<qint64>::max();
    QTest::newRow("one 1080p frame") << QSize(1920, 1080) << qint64(1) << qint64(36 + 8294400);
    QTest::newRow("hundred 1080p frames") << QSize(1920, 1080) << qint64(100) << qint64(829443600);
    QTest::newRow("odd width") << QSize(3, 1) << qint64(2) << qint64(2 * (36 + 12));
    QTest::newRow("no frames") << QSize(64, 64) << qint64(0) << qint64(0);
    QTest::newRow("negative count") << QSize(64, 64) << qint64(-5) << qint64(0);
    QTest::newRow("invalid size") << QSize(0, 64) << qint64(5) << qint64(0);
    QTest::newRow("saturates") << QSize(1920, 1080) << max << max;
}

void TemporaryVideoTest::requiredStorageBytes()
{
    QFETCH(QSize, size);
    QFETCH(qint64, frames);
    QTEST(TemporaryVideo::requiredStorageBytes(size, frames), "bytes");
}

void TemporaryVideoTest::freeSpaceCheckNamesNeededAndAvailableSpace()
{
    const QSize size(1920, 1080);
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

QTEST_GUILESS_MAIN(TemporaryVideoTest)
#include "tst_temporaryvideo.moc"
