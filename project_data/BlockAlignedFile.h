#pragma once

#include <QByteArray>
#include <QString>

#include <cstdlib>
#include <memory>

namespace ovra::project_data {

// An append-only file whose records each start on a block boundary, so that they can be written
// past the page cache. Copying frames into the cache costs about as much processor time as the
// disk takes to write them, time taken from the motion processing running beside the writes; it
// pays only where the cache can keep the file for reading it back.
class BlockAlignedFile
{
public:
    static constexpr qint64 blockBytes = 4096;

    // Bytes a record of recordBytes takes in the file, padding included.
    static qint64 paddedBytes(qint64 recordBytes);

    BlockAlignedFile() = default;
    ~BlockAlignedFile();
    BlockAlignedFile(const BlockAlignedFile &) = delete;
    BlockAlignedFile &operator=(const BlockAlignedFile &) = delete;

    // Creates (or empties) the file, readable and writable by its owner only. With bypassCache,
    // writes go straight to the disk where the file system allows it, through the cache elsewhere.
    bool create(const QString &path, bool bypassCache);
    // Writes head followed by body as one record and returns its offset, or -1 when the write
    // failed; the next record then takes the failed one's place.
    qint64 append(const QByteArray &head, const char *body, qint64 bodyBytes);
    bool close();

    bool isOpen() const { return m_descriptor >= 0; }
    // The end of the last record written.
    qint64 size() const { return m_size; }

private:
    bool writeUncached(const QByteArray &head, const char *body, qint64 bodyBytes, qint64 paddedBytes);
    bool writeCached(const QByteArray &head, const char *body, qint64 bodyBytes, qint64 paddedBytes);
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
