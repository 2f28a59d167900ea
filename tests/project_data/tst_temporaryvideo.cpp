#include "project_data/TemporaryVideo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

const QString writeMessage = QStringLiteral(
    "Could not write the temporary analysis result. Check free disk space and access to the temporary folder.");
const QString readMessage = QStringLiteral("Could not read the temporary analysis result. Run the analysis again.");

VideoMetadata metadataOf(QSize size)
{
    VideoMetadata metadata;
    metadata.frameSize = size;
    metadata.nominalFrameRate = 25.0;
    return metadata;
}

// Every pixel different, with opaque, translucent and fully transparent alpha values.
QImage patternImage(QSize size, int seed)
{
    QImage image(size, QImage::Format_RGBA8888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, QColor((x * 37 + seed * 11) % 256, (y * 53 + seed) % 256,
                                             (x * y + seed * 7) % 256, (x + y) % 3 == 0 ? 255 : (x * 29) % 256));
    return image;
}

VideoFrame frameOf(QImage image, qint64 index)
{
    return VideoFrame{std::move(image), index * 40000 + 7, index};
}

int permissionBits(const QString &path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

// Writes beyond the limit fail with EFBIG as on a full disk, for this process only.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 limitBytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = rlim_t(limitBytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_saved = {};
    void (*m_previousHandler)(int) = nullptr;
};

void makeStaleResult(const QString &directory)
{
    QDir().mkpath(directory);
    QFile frames(QDir(directory).filePath(QStringLiteral("frames.bin")));
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
    void readingFailsBeforeFinishAndOutsideTheFrames_data();
    void readingFailsBeforeFinishAndOutsideTheFrames();
    void appendingFailsWithoutOpenFileOrImage_data();
    void appendingFailsWithoutOpenFileOrImage();
    void createIsRefusedOnACreatedStore();
    void recordOfAnotherFrameSizeIsRejectedOnReading();
    void failedAppendOnFullDiskKeepsEarlierAndLaterFrames();
    void destructionRemovesTheResultDirectory();

    void rootIsOwnerOnly();
    void unsafeRootIsRefused_data();
    void unsafeRootIsRefused();
    void cleanupRemovesOnlyResultsWithoutLiveOwner();
    void liveStoreOfAnotherProcessIsLockedAndRemovedAfterItsDeath();
    void anotherProcessLeavesOurStoreAndRemovesItsOwnOnExit();

    void requiredStorageBytes_data();
    void requiredStorageBytes();
    void freeSpaceCheck();

private:
    QString root() const { return TemporaryVideo::storeRoot(); }
    QString startHelper(QProcess &process, const QString &mode);

    std::unique_ptr<QTemporaryDir> m_base;
    int m_testNumber = 0;
};

void TemporaryVideoTest::initTestCase()
{
    m_base = std::make_unique<QTemporaryDir>();
    QVERIFY(m_base->isValid());
}

// Every test gets its own temporary folder, so each starts without a store root.
void TemporaryVideoTest::init()
{
    const QString folder = m_base->filePath(QString::number(++m_testNumber));
    QVERIFY(QDir().mkpath(folder));
    qputenv("TMPDIR", QFile::encodeName(folder));
    QCOMPARE(root(), QDir(folder).filePath(QStringLiteral("ovra-motion-results-v1")));
}

void TemporaryVideoTest::roundTripReturnsArgb32WithTheSameColours()
{
    const QSize size(7, 5);
    TemporaryVideo store(metadataOf(size));
    QString error = QStringLiteral("stale");
    QVERIFY(store.create(&error));
    QVERIFY(QFileInfo(store.directory()).isDir());
    QVERIFY(store.directory().startsWith(root() + QStringLiteral("/result-")));
    QVERIFY(QFileInfo::exists(QDir(store.directory()).filePath(QStringLiteral("owner.lock"))));

    QList<QImage> images;
    for (int i = 0; i < 3; ++i) {
        images.append(patternImage(size, i));
        QVERIFY2(store.appendFrame(frameOf(images.last(), i), &error), qPrintable(error));
    }
    QVERIFY(store.finishedAt().isNull());
    QVERIFY(store.finish(&error));
    QVERIFY(store.finishedAt().isValid());
    QCOMPARE(store.frameCount(), 3);
    const qint64 fileSize = QFileInfo(QDir(store.directory()).filePath(QStringLiteral("frames.bin"))).size();
    QCOMPARE(store.storageBytes(), fileSize);
    QCOMPARE(store.storageBytes(), TemporaryVideo::requiredStorageBytes(size, 3));

    // Read out of order, to show each record is found through its own offset.
    for (int i : {2, 0, 1}) {
        VideoFrame frame;
        QVERIFY2(store.readFrame(i, &frame, &error), qPrintable(error));
        QCOMPARE(frame.image.format(), QImage::Format_ARGB32);
        QCOMPARE(frame.image.size(), size);
        QCOMPARE(frame.frameIndex, i);
        QCOMPARE(frame.presentationTimeUs, i * 40000 + 7);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                QCOMPARE(frame.image.pixelColor(x, y), images.at(i).pixelColor(x, y));
    }
}

void TemporaryVideoTest::readingFailsBeforeFinishAndOutsideTheFrames_data()
{
    QTest::addColumn<bool>("finished");
    QTest::addColumn<qint64>("index");
    QTest::addColumn<bool>("withFrame");
    QTest::newRow("before finish") << false << qint64(0) << true;
    QTest::newRow("negative index") << true << qint64(-1) << true;
    QTest::newRow("index equal to frame count") << true << qint64(2) << true;
    QTest::newRow("no frame to fill") << true << qint64(0) << false;
}

void TemporaryVideoTest::readingFailsBeforeFinishAndOutsideTheFrames()
{
    QFETCH(bool, finished);
    QFETCH(qint64, index);
    QFETCH(bool, withFrame);
    const QSize size(4, 4);
    TemporaryVideo store(metadataOf(size));
    QVERIFY(store.create());
    QVERIFY(store.appendFrame(frameOf(patternImage(size, 1), 0)));
    QVERIFY(store.appendFrame(frameOf(patternImage(size, 2), 1)));
    if (finished)
        QVERIFY(store.finish());

    VideoFrame frame;
    QString error;
    QVERIFY(!store.readFrame(index, withFrame ? &frame : nullptr, &error));
    QCOMPARE(error, readMessage);
    QVERIFY(frame.image.isNull());
}

void TemporaryVideoTest::appendingFailsWithoutOpenFileOrImage_data()
{
    QTest::addColumn<bool>("created");
    QTest::addColumn<bool>("finished");
    QTest::addColumn<bool>("withImage");
    QTest::newRow("before create") << false << false << true;
    QTest::newRow("after finish") << true << true << true;
    QTest::newRow("null image") << true << false << false;
}

void TemporaryVideoTest::appendingFailsWithoutOpenFileOrImage()
{
    QFETCH(bool, created);
    QFETCH(bool, finished);
    QFETCH(bool, withImage);
    const QSize size(4, 4);
    TemporaryVideo store(metadataOf(size));
    if (created) {
        QVERIFY(store.create());
        QVERIFY(store.appendFrame(frameOf(patternImage(size, 1), 0)));
    }
    if (finished)
        QVERIFY(store.finish());
    const qint64 countBefore = store.frameCount();
    const qint64 bytesBefore = store.storageBytes();

    QString error;
    QVERIFY(!store.appendFrame(frameOf(withImage ? patternImage(size, 2) : QImage(), 1), &error));
    QCOMPARE(error, writeMessage);
    QCOMPARE(store.frameCount(), countBefore);
    QCOMPARE(store.storageBytes(), bytesBefore);
}

void TemporaryVideoTest::createIsRefusedOnACreatedStore()
{
    TemporaryVideo store(metadataOf(QSize(2, 2)));
    QVERIFY(store.create());
    const QString directory = store.directory();
    QString error;
    QVERIFY(!store.create(&error));
    QCOMPARE(error, writeMessage);
    QCOMPARE(store.directory(), directory);
    QCOMPARE(QDir(root()).entryList({QStringLiteral("result-*")}, QDir::Dirs).size(), 1);
}

void TemporaryVideoTest::recordOfAnotherFrameSizeIsRejectedOnReading()
{
    TemporaryVideo store(metadataOf(QSize(4, 4)));
    QVERIFY(store.create());
    QVERIFY(store.appendFrame(frameOf(patternImage(QSize(4, 4), 1), 0)));
    QVERIFY(store.appendFrame(frameOf(patternImage(QSize(5, 4), 1), 1)));
    QVERIFY(store.finish());

    VideoFrame frame;
    QString error;
    QVERIFY(store.readFrame(0, &frame, &error));
    QVERIFY(!store.readFrame(1, &frame, &error));
    QCOMPARE(error, readMessage);
}

void TemporaryVideoTest::failedAppendOnFullDiskKeepsEarlierAndLaterFrames()
{
    const QSize size(16, 16);
    TemporaryVideo store(metadataOf(size));
    QVERIFY(store.create());
    QVERIFY(store.appendFrame(frameOf(patternImage(size, 0), 0)));
    QVERIFY(store.appendFrame(frameOf(patternImage(size, 1), 1)));
    const qint64 bytesBefore = store.storageBytes();

    QString error;
    bool appended = true;
    {
        // Room for the next header and half of its pixels only.
        FileSizeLimit limit(bytesBefore + 36 + 16 * 16 * 2);
        appended = store.appendFrame(frameOf(patternImage(size, 2), 2), &error);
    }
    QVERIFY(!appended);
    QCOMPARE(error, writeMessage);
    QCOMPARE(store.frameCount(), 2);

    // The partial record stays unindexed; a later append lands behind it and is found.
    QVERIFY(store.appendFrame(frameOf(patternImage(size, 3), 3), &error));
    QVERIFY(store.finish());
    QCOMPARE(store.frameCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const int seed = i < 2 ? i : 3;
        VideoFrame frame;
        QVERIFY2(store.readFrame(i, &frame, &error), qPrintable(error));
        QCOMPARE(frame.frameIndex, seed);
        QCOMPARE(frame.image.pixelColor(9, 11), patternImage(size, seed).pixelColor(9, 11));
    }
}

void TemporaryVideoTest::destructionRemovesTheResultDirectory()
{
    QString directory;
    {
        TemporaryVideo store(metadataOf(QSize(4, 4)));
        QVERIFY(store.create());
        QVERIFY(store.appendFrame(frameOf(patternImage(QSize(4, 4), 1), 0)));
        QVERIFY(store.finish());
        directory = store.directory();
        QVERIFY(QFileInfo::exists(QDir(directory).filePath(QStringLiteral("frames.bin"))));
    }
    QVERIFY(!QFileInfo::exists(directory));
    QVERIFY(QFileInfo(root()).isDir());
}

void TemporaryVideoTest::rootIsOwnerOnly()
{
    {
        TemporaryVideo store(metadataOf(QSize(2, 2)));
        QVERIFY(store.create());
        QCOMPARE(permissionBits(root()), 0700);
    }
    // A root of ours that others can enter is narrowed before use.
    QVERIFY(QFile::setPermissions(root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                              | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    QCOMPARE(permissionBits(root()), 0755);
    TemporaryVideo store(metadataOf(QSize(2, 2)));
    QVERIFY(store.create());
    QCOMPARE(permissionBits(root()), 0700);
}

void TemporaryVideoTest::unsafeRootIsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("symbolic link") << QStringLiteral("link");
    QTest::newRow("directory of another user") << QStringLiteral("foreign");
    QTest::newRow("regular file") << QStringLiteral("file");
}

void TemporaryVideoTest::unsafeRootIsRefused()
{
    QFETCH(QString, kind);
    const QString elsewhere = QFileInfo(root()).absolutePath() + QStringLiteral("/elsewhere");
    const QString staleFrames = QStringLiteral("/result-stale/frames.bin");
    if (kind == QLatin1String("link")) {
        makeStaleResult(elsewhere + QStringLiteral("/result-stale"));
        QVERIFY(QFile::link(elsewhere, root()));
    } else if (kind == QLatin1String("foreign")) {
        if (::geteuid() != 0)
            QSKIP("Giving a directory to another user needs root.");
        makeStaleResult(root() + QStringLiteral("/result-stale"));
        QCOMPARE(::chown(QFile::encodeName(root()).constData(), 65534, 65534), 0);
    } else {
        QFile file(root());
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    TemporaryVideo::cleanupStale();
    TemporaryVideo store(metadataOf(QSize(2, 2)));
    QString error;
    QVERIFY(!store.create(&error));
    QCOMPARE(error, writeMessage);
    QVERIFY(store.directory().isEmpty());
    if (kind == QLatin1String("link"))
        QVERIFY(QFileInfo::exists(elsewhere + staleFrames));
    if (kind == QLatin1String("foreign"))
        QVERIFY(QFileInfo::exists(root() + staleFrames));
}

void TemporaryVideoTest::cleanupRemovesOnlyResultsWithoutLiveOwner()
{
    TemporaryVideo live(metadataOf(QSize(2, 2)));
    QVERIFY(live.create());
    const QString stale = root() + QStringLiteral("/result-stale");
    makeStaleResult(stale);
    const QString other = root() + QStringLiteral("/not-a-result");
    makeStaleResult(other);
    // A link named like a result must not lead the clean-up out of the root.
    const QString outside = QFileInfo(root()).absolutePath() + QStringLiteral("/outside");
    makeStaleResult(outside);
    QVERIFY(QFile::link(outside, root() + QStringLiteral("/result-link")));

    TemporaryVideo::cleanupStale();
    QVERIFY(!QFileInfo::exists(stale));
    QVERIFY(QFileInfo::exists(live.directory() + QStringLiteral("/frames.bin")));
    QVERIFY(QFileInfo::exists(live.directory() + QStringLiteral("/owner.lock")));
    QVERIFY(QFileInfo::exists(other + QStringLiteral("/frames.bin")));
    QVERIFY(QFileInfo::exists(outside + QStringLiteral("/frames.bin")));
}

QString TemporaryVideoTest::startHelper(QProcess &process, const QString &mode)
{
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(OVRA_STORE_OWNER_HELPER), {mode});
    if (!process.waitForStarted())
        return {};
    while (!process.canReadLine() && process.waitForReadyRead(30000)) {
    }
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

void TemporaryVideoTest::liveStoreOfAnotherProcessIsLockedAndRemovedAfterItsDeath()
{
    QProcess owner;
    const QString directory = startHelper(owner, QStringLiteral("hold"));
    QVERIFY2(directory.startsWith(root() + QStringLiteral("/result-")), qPrintable(directory));

    // Both the clean-up and the creation of a store here leave the live one alone.
    TemporaryVideo::cleanupStale();
    TemporaryVideo ours(metadataOf(QSize(2, 2)));
    QVERIFY(ours.create());
    QVERIFY(QFileInfo::exists(directory + QStringLiteral("/frames.bin")));
    QLockFile ownerLock(directory + QStringLiteral("/owner.lock"));
    ownerLock.setStaleLockTime(0);
    QVERIFY(!ownerLock.tryLock(0));

    owner.kill();
    QVERIFY(owner.waitForFinished());
    QVERIFY(QFileInfo::exists(directory + QStringLiteral("/frames.bin")));
    TemporaryVideo::cleanupStale();
    QVERIFY(!QFileInfo::exists(directory));
    QVERIFY(QFileInfo::exists(ours.directory() + QStringLiteral("/frames.bin")));
}

void TemporaryVideoTest::anotherProcessLeavesOurStoreAndRemovesItsOwnOnExit()
{
    TemporaryVideo ours(metadataOf(QSize(2, 2)));
    QVERIFY(ours.create());
    QVERIFY(ours.appendFrame(frameOf(patternImage(QSize(2, 2), 1), 0)));

    QProcess other;
    const QString directory = startHelper(other, QStringLiteral("exit"));
    QVERIFY2(directory.startsWith(root() + QStringLiteral("/result-")), qPrintable(directory));
    QVERIFY(other.waitForFinished());
    QCOMPARE(other.exitStatus(), QProcess::NormalExit);
    QCOMPARE(other.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(directory));
    QVERIFY(QFileInfo::exists(ours.directory() + QStringLiteral("/frames.bin")));
}

void TemporaryVideoTest::requiredStorageBytes_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<qint64>("bytes");
    const qint64 max = std::numeric_limits<qint64>::max();
    QTest::newRow("one 1080p frame") << QSize(1920, 1080) << qint64(1) << qint64(36 + 8294400);
    QTest::newRow("hundred 1080p frames") << QSize(1920, 1080) << qint64(100) << qint64(829443600);
    QTest::newRow("odd size") << QSize(3, 1) << qint64(2) << qint64(2 * (36 + 12));
    QTest::newRow("no frames") << QSize(64, 64) << qint64(0) << qint64(0);
    QTest::newRow("negative count") << QSize(64, 64) << qint64(-5) << qint64(0);
    QTest::newRow("invalid size") << QSize(0, 64) << qint64(5) << qint64(0);
    QTest::newRow("saturates") << QSize(1920, 1080) << max << max;
}

void TemporaryVideoTest::requiredStorageBytes()
{
    QFETCH(QSize, size);
    QFETCH(qint64, frames);
    QFETCH(qint64, bytes);
    QCOMPARE(TemporaryVideo::requiredStorageBytes(size, frames), bytes);
}

void TemporaryVideoTest::freeSpaceCheck()
{
    const QSize size(1920, 1080);
    QString error = QStringLiteral("stale");
    QVERIFY(TemporaryVideo::checkFreeSpace(size, 1, &error));
    QVERIFY(error.isEmpty());

    const qint64 available = QStorageInfo(QDir::tempPath()).bytesAvailable();
    QVERIFY(available > 0);
    const qint64 frames = 2 * (available / TemporaryVideo::requiredStorageBytes(size, 1)) + 2;
    QVERIFY(!TemporaryVideo::checkFreeSpace(size, frames, &error));
    const QString expectedStart =
        QStringLiteral("The temporary folder does not have enough free space for the analysis result: %1 needed, ")
            .arg(QLocale().formattedDataSize(TemporaryVideo::requiredStorageBytes(size, frames)));
    QVERIFY2(error.startsWith(expectedStart), qPrintable(error));
    QVERIFY2(error.endsWith(QStringLiteral(" available.")), qPrintable(error));
}

QTEST_GUILESS_MAIN(TemporaryVideoTest)
#include "tst_temporaryvideo.moc"
