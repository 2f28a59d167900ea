// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdlib>
#include <memory>

namespace ovra::project_data {

// An append-only file of records made of a head and a body, each starting on a block boundary, so
// that they can be written past the page cache. Copying frames into the cache costs about as much
// processor time as the disk takes to write them, time taken from the motion processing running
// beside the writes; it pays only where the cache can keep the file for reading it back. Through
// the cache too, a body that starts on a block boundary is copied several times faster.
class BlockAlignedFile
{
public:
    static constexpr qint64 blockBytes = 4096;

    // Bytes a record of a head and a body takes in the file, padding included.
    static qint64 recordBytes(qint64 headBytes, qint64 bodyBytes);
    // Where a record's body starts, counted from the record's offset.
    static qint64 bodyOffset(qint64 headBytes) { return paddedBytes(headBytes); }

    BlockAlignedFile() = default;
    ~BlockAlignedFile();
    BlockAlignedFile(const BlockAlignedFile &) = delete;
    BlockAlignedFile &operator=(const BlockAlignedFile &) = delete;

    // Creates (or empties) the file, readable and writable by its owner only. With bypassCache,
    // writes go straight to the disk where the file system allows it, through the cache elsewhere.
    bool create(const QString &path, bool bypassCache);
    // Sets aside disk space for the records to come. Writing into space set aside costs the
    // processor a fraction of growing the file page by page. It is only a hint: where it fails,
    // the write that finds the disk full fails as it would have. The unused rest is given back on
    // closing.
    void reserve(qint64 bytes);
    // Writes head and body as one record and returns its offset, or -1 when the write failed; the
    // next record then takes the failed one's place.
    qint64 append(const QByteArray &head, const char *body, qint64 bodyBytes);
    bool close();

    bool isOpen() const { return m_descriptor >= 0; }
    // The end of the last record written.
    qint64 size() const { return m_size; }

private:
    static qint64 paddedBytes(qint64 bytes);

    bool writeUncached(const QByteArray &head, const char *body, qint64 bodyBytes);
    bool writeCached(const QByteArray &head, const char *body, qint64 bodyBytes);
    bool writeAt(qint64 offset, const char *data, qint64 bytes);
    bool reserveStaging(qint64 bytes);

    struct FreeMemory
    {
        void operator()(char *memory) const { std::free(memory); }
    };

    int m_descriptor = -1;
    bool m_bypassingCache = false;
    qint64 m_size = 0;
    // Unbuffered writes need memory aligned to the block size, so their records are assembled here.
    std::unique_ptr<char, FreeMemory> m_staging;
    qint64 m_stagingBytes = 0;
};

} // namespace ovra::project_data
