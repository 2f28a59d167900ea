// SPDX-License-Identifier: GPL-3.0-or-later
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

qint64 BlockAlignedFile::paddedBytes(qint64 bytes)
{
    return (bytes + blockBytes - 1) / blockBytes * blockBytes;
}

qint64 BlockAlignedFile::recordBytes(qint64 headBytes, qint64 bodyBytes)
{
    return bodyOffset(headBytes) + paddedBytes(bodyBytes);
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

void BlockAlignedFile::reserve(qint64 bytes)
{
#ifdef __linux__
    // A failure may leave part of the space set aside; giving it back at once keeps a disk that
    // could not hold it all from staying full while the records are written.
    if (isOpen() && bytes > m_size && ::fallocate(m_descriptor, 0, m_size, bytes - m_size) != 0)
        static_cast<void>(::ftruncate(m_descriptor, m_size));
#else
    Q_UNUSED(bytes)
#endif
}

qint64 BlockAlignedFile::append(const QByteArray &head, const char *body, qint64 bodyBytes)
{
    if (!isOpen() || bodyBytes < 0)
        return -1;
    bool written = m_bypassingCache && writeUncached(head, body, bodyBytes);
    // Some file systems refuse unbuffered writes only at the first write; the record then goes
    // through the cache, as every later one.
    if (!written && m_bypassingCache && errno == EINVAL && dropUncachedWrites(m_descriptor))
        m_bypassingCache = false;
    if (!m_bypassingCache)
        written = writeCached(head, body, bodyBytes);
    if (!written)
        return -1;
    const qint64 offset = m_size;
    m_size += recordBytes(head.size(), bodyBytes);
    return offset;
}

bool BlockAlignedFile::close()
{
    if (!isOpen())
        return true;
    // Gives back what reserve set aside beyond the last record, and ends the file with that
    // record's padding.
    const bool trimmed = ::ftruncate(m_descriptor, m_size) == 0;
    const bool closed = ::close(m_descriptor) == 0;
    m_descriptor = -1;
    return trimmed && closed;
}

bool BlockAlignedFile::writeUncached(const QByteArray &head, const char *body, qint64 bodyBytes)
{
    const qint64 bytes = recordBytes(head.size(), bodyBytes);
    if (!reserveStaging(bytes))
        return false;
    char *staging = m_staging.get();
    const qint64 bodyStart = bodyOffset(head.size());
    std::memset(staging, 0, size_t(bodyStart));
    std::memcpy(staging, head.constData(), size_t(head.size()));
    std::memcpy(staging + bodyStart, body, size_t(bodyBytes));
    std::memset(staging + bodyStart + bodyBytes, 0, size_t(bytes - bodyStart - bodyBytes));
    return writeAt(m_size, staging, bytes);
}

// Through the cache, the record needs no copy of its own; the padding reads as zeros unwritten.
bool BlockAlignedFile::writeCached(const QByteArray &head, const char *body, qint64 bodyBytes)
{
    return writeAt(m_size, head.constData(), head.size()) && writeAt(m_size + bodyOffset(head.size()), body, bodyBytes);
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
