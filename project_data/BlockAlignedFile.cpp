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

bool dropUncachedWrites(int descriptor)
{
    const int flags = ::fcntl(descriptor, F_GETFL);
    return flags >= 0 && ::fcntl(descriptor, F_SETFL, flags & ~uncachedFlag) == 0;
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
    m_bypassingCache = bypassCache && uncachedFlag != 0;
    m_descriptor = openForWriting(name, m_bypassingCache ? uncachedFlag : 0);
    // Some file systems refuse unbuffered writes at opening (EINVAL); the store then writes
    // through the cache instead of failing.
    if (m_descriptor < 0 && errno == EINVAL && m_bypassingCache) {
        m_bypassingCache = false;
        m_descriptor = openForWriting(name, 0);
    }
    m_size = 0;
    return isOpen();
}

qint64 BlockAlignedFile::append(const QByteArray &head, const char *body, qint64 bodyBytes)
{
    if (!isOpen() || bodyBytes < 0)
        return -1;
    const qint64 padded = paddedBytes(head.size() + bodyBytes);
    bool written = m_bypassingCache && writeUncached(head, body, bodyBytes, padded);
    // Some file systems refuse unbuffered writes only at the first write; the record then goes
    // through the cache, as every later one.
    if (!written && m_bypassingCache && errno == EINVAL && dropUncachedWrites(m_descriptor))
        m_bypassingCache = false;
    if (!m_bypassingCache)
        written = writeCached(head, body, bodyBytes, padded);
    if (!written)
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

bool BlockAlignedFile::writeUncached(const QByteArray &head, const char *body, qint64 bodyBytes, qint64 paddedBytes)
{
    if (!reserveStaging(paddedBytes))
        return false;
    char *staging = m_staging.get();
    const qint64 recordBytes = head.size() + bodyBytes;
    std::memcpy(staging, head.constData(), size_t(head.size()));
    std::memcpy(staging + head.size(), body, size_t(bodyBytes));
    std::memset(staging + recordBytes, 0, size_t(paddedBytes - recordBytes));
    return writeAt(m_size, staging, paddedBytes);
}

// Through the cache, the record needs no copy of its own.
bool BlockAlignedFile::writeCached(const QByteArray &head, const char *body, qint64 bodyBytes, qint64 paddedBytes)
{
    static const char padding[blockBytes] = {};
    const qint64 recordBytes = head.size() + bodyBytes;
    return writeAt(m_size, head.constData(), head.size()) && writeAt(m_size + head.size(), body, bodyBytes)
        && writeAt(m_size + recordBytes, padding, paddedBytes - recordBytes);
}

bool BlockAlignedFile::writeAt(qint64 offset, const char *data, qint64 bytes)
{
    for (qint64 done = 0; done < bytes;) {
        const ssize_t written = ::pwrite(m_descriptor, data + done, size_t(bytes - done), offset + done);
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

bool BlockAlignedFile::reserveStaging(qint64 bytes)
{
    if (bytes <= m_stagingBytes)
        return true;
    m_staging.reset(static_cast<char *>(std::aligned_alloc(size_t(blockBytes), size_t(bytes))));
    m_stagingBytes = m_staging ? bytes : 0;
    return m_staging != nullptr;
}

} // namespace ovra::project_data
