// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/FrameWriter.h"

#include "processing/FrameDestination.h"

#include <QElapsedTimer>

namespace ovra::processing {

FrameWriter::FrameWriter(FrameDestination &destination)
    : m_destination(destination)
    , m_frames(framesQueued)
    , m_thread([this] { run(); })
{
}

FrameWriter::~FrameWriter()
{
    discard();
}

bool FrameWriter::write(media::VideoFrame frame, QString *errorMessage)
{
    if (m_frames.push(std::move(frame)))
        return true;
    joinAndReport(errorMessage);
    return false;
}

bool FrameWriter::drain(QString *errorMessage)
{
    m_frames.close();
    return !joinAndReport(errorMessage);
}

void FrameWriter::discard()
{
    m_frames.close(true);
    if (m_thread.joinable())
        m_thread.join();
}

// After the queue closed: waits for the thread; true, with its message, if a write failed.
bool FrameWriter::joinAndReport(QString *errorMessage)
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_exception)
        std::rethrow_exception(m_exception);
    if (m_failed && errorMessage)
        *errorMessage = m_error;
    return m_failed;
}

// An exception must not end the process from this thread: write() or drain() hands it on.
void FrameWriter::run()
{
    try {
        writeAll();
    } catch (...) {
        m_exception = std::current_exception();
        m_frames.close(true);
    }
}

void FrameWriter::writeAll()
{
    QElapsedTimer timer;
    while (std::optional<media::VideoFrame> frame = m_frames.pop()) {
        timer.start();
        const bool written = m_destination.writeFrame(*frame, &m_error);
        m_busyUs += timer.nsecsElapsed() / 1000;
        if (!written) {
            m_failed = true;
            m_frames.close(true);
            return;
        }
    }
}

} // namespace ovra::processing
