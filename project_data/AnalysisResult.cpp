// SPDX-License-Identifier: GPL-3.0-or-later
#include "project_data/AnalysisResult.h"

#include "media/ErrorMessage.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace ovra::project_data {
namespace {

using media::reportFailure;

Q_LOGGING_CATEGORY(lcAnalysisResult, "ovra.project_data")

const QString rootName = QStringLiteral("ovra-motion-results-v1");
const QString cleanupLockName = QStringLiteral("cleanup.lock");
const QString ownerLockName = QStringLiteral("owner.lock");
const QString framesFileName = QStringLiteral("frames.bin");
constexpr int cleanupLockTimeoutMs = 5000;
// width, height and format as 32-bit, bytesPerLine, time and index as 64-bit integers.
constexpr qint64 recordHeaderBytes = 3 * 4 + 3 * 8;

bool writeFailed(QString *errorMessage)
{
    return reportFailure(errorMessage,
                         AnalysisResult::tr("Could not write the temporary analysis result. "
                                            "Check free disk space and access to the temporary folder."));
}

bool readFailed(QString *errorMessage)
{
    return reportFailure(errorMessage,
                         AnalysisResult::tr("Could not read the temporary analysis result. Run the analysis again."));
}

bool foreignRoot(const QString &root, QString *errorMessage)
{
    return reportFailure(errorMessage,
                         AnalysisResult::tr("The folder for temporary analysis results %1 belongs to another user, "
                                            "or it is a link or a file. Remove it, or choose another temporary "
                                            "folder (TMPDIR).")
                             .arg(QDir::toNativeSeparators(root)));
}

enum class RootState {
    Usable,
    Foreign,
    Unavailable
};

// The temporary folder is shared between users, so the root must be a real directory (not a
// symbolic link) of this user that nobody else can enter. A root of ours with wider permissions
// is narrowed; with create, a missing root is made owner-only.
RootState secureRoot(const QString &root, bool create)
{
    const QByteArray path = QFile::encodeName(root);
    if (create) {
        if (!QDir().mkpath(QFileInfo(root).absolutePath()))
            return RootState::Unavailable;
        if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
            return RootState::Unavailable;
    }
    // O_NOFOLLOW refuses a symbolic link; checking the opened directory leaves no gap for a swap.
    const int descriptor = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return errno == ELOOP || errno == ENOTDIR ? RootState::Foreign : RootState::Unavailable;
    struct stat status = {};
    RootState state = RootState::Unavailable;
    if (::fstat(descriptor, &status) != 0)
        state = RootState::Unavailable;
    else if (status.st_uid != ::geteuid())
        state = RootState::Foreign;
    else if ((status.st_mode & 077) == 0 || ::fchmod(descriptor, 0700) == 0)
        state = RootState::Usable;
    ::close(descriptor);
    return state;
}

// Half the physical memory: the most of a store the page cache can be expected to keep.
qint64 cacheableBytes()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageBytes = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageBytes > 0 ? qint64(pages) * pageBytes / 2 : std::numeric_limits<qint64>::max();
}

void removeFramesFile(const QString &directory)
{
    const QString path = directory + QLatin1Char('/') + framesFileName;
    if (QFile::exists(path) && !QFile::remove(path))
        qCWarning(lcAnalysisResult).noquote() << "Could not remove temporary analysis result:" << path;
}

} // namespace

AnalysisResult::AnalysisResult(media::VideoMetadata metadata, qint64 firstFrameIndex, qint64 expectedFrameCount)
    : m_metadata(std::move(metadata))
    , m_firstFrameIndex(firstFrameIndex)
    , m_expectedFrameCount(expectedFrameCount)
{
}

AnalysisResult::~AnalysisResult()
{
    m_framesFile.close();
    if (m_directory.isEmpty())
        return;
    removeFramesFile(m_directory);
    m_ownerLock.reset(); // releasing the lock deletes "owner.lock"
    if (!QDir().rmdir(m_directory))
        qCWarning(lcAnalysisResult).noquote()
            << "Temporary analysis directory retained for next cleanup:" << m_directory;
}

// A root per user: with one shared name, whoever made it first (or anyone, with one mkdir) would
// keep every other user of the machine from analysing. The user's runtime folder is no place for
// it: that is a small in-memory file system, and a store takes gigabytes.
QString AnalysisResult::storeRoot()
{
    return QDir(QDir::tempPath()).filePath(rootName + QLatin1Char('-') + QString::number(::geteuid()));
}

bool AnalysisResult::create(QString *errorMessage)
{
    cleanupStale();
    // A store is written once; a second create would orphan the first directory.
    if (!m_directory.isEmpty())
        return writeFailed(errorMessage);
    const QString root = storeRoot();
    switch (secureRoot(root, true)) {
    case RootState::Usable:
        break;
    case RootState::Foreign:
        return foreignRoot(root, errorMessage);
    case RootState::Unavailable:
        return writeFailed(errorMessage);
    }

    QLockFile cleanupLock(QDir(root).filePath(cleanupLockName));
    cleanupLock.setStaleLockTime(0);
    if (!cleanupLock.tryLock(cleanupLockTimeoutMs))
        return writeFailed(errorMessage);

    QTemporaryDir directory(QDir(root).filePath(QStringLiteral("result-XXXXXX")));
    if (!directory.isValid())
        return writeFailed(errorMessage);
    auto ownerLock = std::make_unique<QLockFile>(directory.filePath(ownerLockName));
    ownerLock->setStaleLockTime(0);
    if (!ownerLock->tryLock(0))
        return writeFailed(errorMessage);
    m_ownerLock = std::move(ownerLock);
    m_directory = directory.path();
    directory.setAutoRemove(false);

    // Written without a buffer of ours, so that a full disk fails the append that hit it.
    const qint64 expectedBytes = requiredStorageBytes(m_metadata.frameSize, m_expectedFrameCount);
    if (!m_framesFile.create(QDir(m_directory).filePath(framesFileName), expectedBytes > cacheableBytes()))
        return writeFailed(errorMessage);
    m_framesFile.reserve(expectedBytes);
    return true;
}

bool AnalysisResult::appendFrame(const media::VideoFrame &frame, QString *errorMessage)
{
    if (!m_framesFile.isOpen() || frame.image.isNull())
        return writeFailed(errorMessage);
    const QImage image = frame.image.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return writeFailed(errorMessage);

    QByteArray header;
    QDataStream stream(&header, QIODevice::WriteOnly);
    stream << qint32(image.width()) << qint32(image.height()) << qint32(image.format()) << qint64(image.bytesPerLine())
           << qint64(frame.presentationTimeUs) << qint64(frame.frameIndex);
    const qint64 offset
        = m_framesFile.append(header, reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
    if (offset < 0)
        return writeFailed(errorMessage);
    m_offsets.append(offset);
    return true;
}

bool AnalysisResult::finish(QString *errorMessage)
{
    if (!m_framesFile.isOpen() || !m_framesFile.close())
        return writeFailed(errorMessage);
    m_finishedAt = QDateTime::currentDateTime();
    return true;
}

bool AnalysisResult::readFrame(qint64 index, media::VideoFrame *frame, QString *errorMessage) const
{
    if (!frame || m_finishedAt.isNull() || index < 0 || index >= frameCount())
        return readFailed(errorMessage);
    QFile file(QDir(m_directory).filePath(framesFileName));
    if (!file.open(QIODevice::ReadOnly) || !file.seek(m_offsets.at(index)))
        return readFailed(errorMessage);

    QDataStream stream(&file);
    qint32 width = 0;
    qint32 height = 0;
    qint32 format = 0;
    qint64 bytesPerLine = 0;
    qint64 presentationTimeUs = 0;
    qint64 frameIndex = 0;
    stream >> width >> height >> format >> bytesPerLine >> presentationTimeUs >> frameIndex;
    if (stream.status() != QDataStream::Ok || QSize(width, height) != m_metadata.frameSize || bytesPerLine < 1
        || format != QImage::Format_ARGB32)
        return readFailed(errorMessage);

    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull() || image.bytesPerLine() != bytesPerLine)
        return readFailed(errorMessage);
    const qint64 pixelBytes = image.sizeInBytes();
    if (!file.seek(m_offsets.at(index) + BlockAlignedFile::bodyOffset(recordHeaderBytes))
        || file.read(reinterpret_cast<char *>(image.bits()), pixelBytes) != pixelBytes)
        return readFailed(errorMessage);

    frame->image = image;
    frame->presentationTimeUs = presentationTimeUs;
    frame->frameIndex = frameIndex;
    return true;
}

void AnalysisResult::cleanupStale()
{
    const QString root = storeRoot();
    if (secureRoot(root, false) != RootState::Usable)
        return;
    QLockFile cleanupLock(QDir(root).filePath(cleanupLockName));
    cleanupLock.setStaleLockTime(0);
    if (!cleanupLock.tryLock(0))
        return;

    const QFileInfoList entries
        = QDir(root).entryInfoList({QStringLiteral("result-*")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink())
            continue;
        const QString directory = entry.absoluteFilePath();
        // Taken only when no running process holds it; locks never expire by age.
        QLockFile ownerLock(QDir(directory).filePath(ownerLockName));
        ownerLock.setStaleLockTime(0);
        if (!ownerLock.tryLock(0))
            continue;
        removeFramesFile(directory);
        ownerLock.unlock();
        QDir().rmdir(directory);
    }
}

qint64 AnalysisResult::requiredStorageBytes(QSize frameSize, qint64 frameCount)
{
    if (frameSize.width() < 1 || frameSize.height() < 1 || frameCount < 1)
        return 0;
    // ARGB32 rows are 4-byte words, so they carry no padding.
    const qint64 recordBytes
        = BlockAlignedFile::recordBytes(recordHeaderBytes, qint64(frameSize.width()) * frameSize.height() * 4);
    if (frameCount > std::numeric_limits<qint64>::max() / recordBytes)
        return std::numeric_limits<qint64>::max();
    return frameCount * recordBytes;
}

bool AnalysisResult::checkFreeSpace(QSize frameSize, qint64 frameCount, QString *errorMessage)
{
    const QString root = storeRoot();
    const QStorageInfo volume(QFileInfo::exists(root) ? root : QDir::tempPath());
    const qint64 required = requiredStorageBytes(frameSize, frameCount);
    const qint64 available = volume.bytesAvailable();
    // Unknown free space does not stop a run: appending still reports a full disk.
    if (!volume.isValid() || available < 0 || required <= available) {
        if (errorMessage)
            errorMessage->clear();
        return true;
    }
    const QLocale locale;
    return reportFailure(errorMessage,
                         tr("The temporary folder does not have enough free space for the analysis result: "
                            "%1 needed, %2 available.")
                             .arg(locale.formattedDataSize(required), locale.formattedDataSize(available)));
}

} // namespace ovra::project_data
