// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/SourceFrameFeed.h"

#include "media/ErrorMessage.h"
#include "media/libav/LibavVideoSource.h"
#include "motion_core/FrameWarp.h"

namespace ovra::processing {

SourceFrameFeed::~SourceFrameFeed()
{
    stop();
}

bool SourceFrameFeed::openReading(const media::VideoMetadata &source, qint64 start, qint64 count,
                                  std::vector<QTransform> cameraTransforms, media::CancellationCheck cancellationCheck,
                                  QString *errorMessage)
{
    m_cameraTransforms = std::move(cameraTransforms);
    m_read = 0;
    m_source = std::make_unique<media::libav::LibavVideoSource>(std::move(cancellationCheck), 0);
    if (!openForReading(*m_source, source, errorMessage))
        return false;
    if (start > 0 && !m_source->seekToFrame(start, errorMessage))
        return false;
    m_reader = std::make_unique<FrameReader>(*m_source, count);
    return true;
}

bool SourceFrameFeed::next(QImage *image, QString *errorMessage)
{
    if (!m_reader) {
        if (m_kept.empty())
            return media::reportFailure(errorMessage, tr("A result came out without its source frame."));
        *image = m_kept.front();
        m_kept.pop_front();
        return true;
    }
    FrameReader::Read read = m_reader->next();
    if (read.status == media::VideoReadStatus::EndOfStream)
        return media::reportFailure(errorMessage, tr("The source video ended before the saved result."));
    if (read.status != media::VideoReadStatus::Frame)
        return media::reportFailure(errorMessage, read.error);
    if (m_read < m_cameraTransforms.size())
        motion_core::warpFrame(m_pool, read.frame.image, m_cameraTransforms[m_read], image);
    else
        *image = read.frame.image;
    ++m_read;
    return true;
}

void SourceFrameFeed::stop()
{
    m_reader.reset();
    if (m_source)
        m_source->close();
    m_kept.clear();
}

} // namespace ovra::processing
