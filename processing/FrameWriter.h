// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoFrame.h"
#include "processing/BoundedQueue.h"

#include <QString>

#include <atomic>
#include <exception>
#include <thread>

namespace ovra::processing {

class FrameDestination;

// Writes frames to a destination on a thread of its own, so that a disk that drains its cache
// or an encoder that looks ahead never holds up the frame loop; at most a few frames wait.
// The first failed write ends writing; its message is what write() or drain() then report,
// and an exception that ended the writing thread (a failed allocation) is what they rethrow.
// The owner touches the destination again only after drain() or discard() returned.
class FrameWriter
{
public:
    // Enough to ride out a stall of the disk or the encoder, few enough that memory stays a
    // handful of frames.
    static constexpr std::size_t framesQueued = 3;

    // Throws std::system_error when the system cannot start the thread.
    explicit FrameWriter(FrameDestination &destination);
    ~FrameWriter();
    FrameWriter(const FrameWriter &) = delete;
    FrameWriter &operator=(const FrameWriter &) = delete;

    // Queues the frame (waiting while the queue is full); false once a write failed.
    bool write(media::VideoFrame frame, QString *errorMessage);
    // Waits until every queued frame is written; false if a write failed.
    bool drain(QString *errorMessage);
    // Drops the queued frames and waits for the frame being written.
    void discard();
    // Time spent inside the destination's writeFrame so far.
    qint64 busyUs() const { return m_busyUs; }

private:
    void run();
    void writeAll();
    bool joinAndReport(QString *errorMessage);

    FrameDestination &m_destination;
    BoundedQueue<media::VideoFrame> m_frames;
    // Written by the thread, read after joining it.
    QString m_error;
    bool m_failed = false;
    std::exception_ptr m_exception;
    std::atomic<qint64> m_busyUs{0};
    std::thread m_thread;
};

} // namespace ovra::processing
