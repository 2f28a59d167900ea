// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/IVideoSource.h"
#include "processing/BoundedQueue.h"

#include <QString>

#include <atomic>
#include <exception>
#include <thread>

namespace ovra::processing {

// Opens the source on the analysed metadata when it is complete enough to spare a second
// analysis, otherwise (or when that fails without a cancellation) on the metadata's file path.
bool openForReading(media::IVideoSource &source, const media::VideoMetadata &metadata, QString *errorMessage);

// Reads the next `count` frames of an opened source on a thread of its own, at most a few
// frames ahead of the frame loop, so that decoding overlaps motion processing. Reading ends
// after `count` frames, the first frame that is not read, or stop(); the source is left to the
// owner once stop() returned.
class FrameReader
{
public:
    struct Read
    {
        media::VideoReadStatus status = media::VideoReadStatus::Failed;
        media::VideoFrame frame;
        QString error;
    };

    // Enough to ride out a slow frame, few enough that memory stays a handful of frames.
    static constexpr std::size_t framesAhead = 2;

    // Throws std::system_error when the system cannot start the thread.
    FrameReader(media::IVideoSource &source, qint64 count);
    ~FrameReader();
    FrameReader(const FrameReader &) = delete;
    FrameReader &operator=(const FrameReader &) = delete;

    // Waits for the next read; Failed without a message after stop(). Rethrows the exception
    // that ended the reading thread (a failed allocation) once the reads before it are taken.
    Read next();
    // Drops the frames read ahead and waits for the thread to end.
    void stop();
    // Time spent inside the source's readFrame so far.
    qint64 busyUs() const { return m_busyUs; }

private:
    void run(qint64 count);
    void readAll(qint64 count);

    media::IVideoSource &m_source;
    BoundedQueue<Read> m_reads;
    std::exception_ptr m_exception; // written by the thread before it closes m_reads
    std::atomic<qint64> m_busyUs{0};
    std::thread m_thread;
};

} // namespace ovra::processing
