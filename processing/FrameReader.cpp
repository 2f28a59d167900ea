// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/FrameReader.h"

#include <QElapsedTimer>

namespace ovra::processing {

bool openForReading(media::IVideoSource &source, const media::VideoMetadata &metadata, QString *errorMessage)
{
    const bool reusable = !metadata.filePath.isEmpty() && metadata.hasValidFrameSize()
        && metadata.nominalFrameRate > 0.0 && metadata.hasTiming()
        && (!metadata.variableFrameRate || metadata.hasTimeGrid());
    if (reusable) {
        if (source.openWithMetadata(metadata, errorMessage))
            return true;
        if (source.cancelled())
            return false;
        if (errorMessage)
            errorMessage->clear();
    }
    return source.open(metadata.filePath, errorMessage);
}

FrameReader::FrameReader(media::IVideoSource &source, qint64 count)
    : m_source(source)
    , m_reads(framesAhead)
    , m_thread([this, count] { run(count); })
{
}

FrameReader::~FrameReader()
{
    stop();
}

FrameReader::Read FrameReader::next()
{
    if (std::optional<Read> read = m_reads.pop())
        return std::move(*read);
    if (m_exception)
        std::rethrow_exception(m_exception);
    return {};
}

void FrameReader::stop()
{
    m_reads.close(true);
    if (m_thread.joinable())
        m_thread.join();
}

// An exception must not end the process from this thread: the frame loop gets it instead.
void FrameReader::run(qint64 count)
{
    try {
        readAll(count);
    } catch (...) {
        m_exception = std::current_exception();
        m_reads.close();
    }
}

void FrameReader::readAll(qint64 count)
{
    QElapsedTimer timer;
    for (qint64 i = 0; i < count; ++i) {
        Read read;
        timer.start();
        read.status = m_source.readFrame(&read.frame, &read.error);
        m_busyUs += timer.nsecsElapsed() / 1000;
        const bool last = read.status != media::VideoReadStatus::Frame;
        if (!m_reads.push(std::move(read)) || last)
            return;
    }
}

} // namespace ovra::processing
