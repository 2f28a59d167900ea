// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/FrameDestination.h"

#include "project_data/AnalysisResult.h"

namespace ovra::processing {

FrameDestination::FrameDestination(std::shared_ptr<project_data::AnalysisResult> store,
                                   std::unique_ptr<media::IVideoSink> sink)
    : m_store(std::move(store))
    , m_sink(std::move(sink))
{
}

bool FrameDestination::open(const QString &outputPath, const media::VideoMetadata &metadata,
                            const media::VideoEncodingSettings &settings, QString *errorMessage)
{
    if (m_store) {
        m_storeOpen = true;
        return true;
    }
    return m_sink->open(outputPath, metadata, settings, errorMessage);
}

bool FrameDestination::writeFrame(const media::VideoFrame &frame, QString *errorMessage)
{
    if (m_store)
        return m_store->appendFrame(frame, errorMessage);
    return m_sink->writeFrame(frame.image, errorMessage);
}

bool FrameDestination::finish(QString *errorMessage)
{
    if (m_store) {
        m_storeOpen = false;
        return m_store->finish(errorMessage);
    }
    return m_sink->finish(errorMessage);
}

void FrameDestination::abort()
{
    m_storeOpen = false;
    if (m_sink)
        m_sink->abort();
}

bool FrameDestination::isOpen() const
{
    return m_store ? m_storeOpen : m_sink->isOpen();
}

} // namespace ovra::processing
