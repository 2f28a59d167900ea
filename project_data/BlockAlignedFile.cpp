#include "project_data/BlockAlignedFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace ovra::project_data {
namespace {

#ifdef O_DIRECT
constexpr int uncachedFlag = O_DIRECT;
#else
constexpr int uncachedFlag = 0;
#endif

int openForWriting(const QByteArray &path, int extraFlags)
{
    int descriptor = -1;
    do {
        descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | extraFlags, 0600);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

// Some file systems refuse unbuffered writes, at opening or at the first write (EINVAL); the
// store then writes through the cache instead of failing.
bool dropUncachedWrites(int descriptor)
{
    const int flags = ::fcntl(descriptor, F_GETFL);
    return uncachedFlag != 0 && flags >= 0 && (flags & uncachedFlag) != 0
        && ::fcntl(descriptor, F_SETFL, flags & ~uncachedFlag) == 0;
}

} // namespace

qint64 BlockAlignedFile::paddedBytes(qint64 recordBytes)
{
    return (recordBytes + blockBytes - 1) / blockBytes * blockBytes;
}

BlockAlignedFile::~BlockAlignedFile()
{
    close();
}

bool BlockAlignedFile::create(const QString &path, bool bypassCache)
{
    const QByteArray name = QFile::encodeName(path);
    m_descriptor = openForWriting(name, bypassCache ? uncachedFlag : 0);
    if (m_descriptor < 0 && errno == EINVAL && bypassCache)
        m_descriptor = openForWriting(name, 0);
    m_size = 0;
    return isOpen();
}

qint64 BlockAlignedFile::append(const QByteArray &head, const char *body, qint64 bodyBytes)
{
    const qint64 recordBytes = head.size() + bodyBytes;
    const qint64 padded = paddedBytes(recordBytes);
    if (!isOpen() || bodyBytes < 0 || !reserveStaging(padded))
        return -1;
    char *staging = m_staging.get();
    std::memcpy(staging, head.constData(), size_t(head.size()));
    std::memcpy(staging + head.size(), body, size_t(bodyBytes));
    std::memset(staging + recordBytes, 0, size_t(padded - recordBytes));
    if (!writeStaged(padded))
        return -1;
    const qint64 offset = m_size;
    m_size += padded;
    return offset;
}

bool BlockAlignedFile::close()
{
    if (!isOpen())
        return true;
    const bool closed = ::close(m_descriptor) == 0;
    m_descriptor = -1;
    return closed;
}

bool BlockAlignedFile::reserveStaging(qint64 bytes)
{
    if (bytes <= m_stagingBytes)
        return true;
    m_staging.reset(static_cast<char *>(std::aligned_alloc(size_t(blockBytes), size_t(bytes))));
    m_stagingBytes = m_staging ? bytes : 0;
    return m_staging != nullptr;
}

bool BlockAlignedFile::writeStaged(qint64 bytes)
{
    if (writeStagedOnce(bytes))
        return true;
    return errno == EINVAL && dropUncachedWrites(m_descriptor) && writeStagedOnce(bytes);
}

bool BlockAlignedFile::writeStagedOnce(qint64 bytes)
{
    for (qint64 done = 0; done < bytes;) {
        const ssize_t written = ::pwrite(m_descriptor, m_staging.get() + done, size_t(bytes - done), m_size + done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        if (written == 0) {
            errno = EIO;
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace ovra::project_data
