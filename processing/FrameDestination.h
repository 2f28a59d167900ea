// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/IVideoSink.h"
#include "media/VideoEncodingSettings.h"
#include "media/VideoFrame.h"
#include "media/VideoMetadata.h"

#include <QString>

#include <memory>

namespace ovra::project_data {
class AnalysisResult;
}

namespace ovra::processing {

// Where a run's output frames go: the analysis result store when there is one, otherwise the
// sink, which publishes the video under the output path when it finishes.
class FrameDestination
{
public:
    FrameDestination(std::shared_ptr<project_data::AnalysisResult> store, std::unique_ptr<media::IVideoSink> sink);

    bool open(const QString &outputPath, const media::VideoMetadata &metadata,
              const media::VideoEncodingSettings &settings, QString *errorMessage);
    bool writeFrame(const media::VideoFrame &frame, QString *errorMessage);
    bool finish(QString *errorMessage);
    void abort();
    bool isOpen() const;
    QString cleanupMessage() const { return m_sink ? m_sink->cleanupMessage() : QString(); }

private:
    std::shared_ptr<project_data::AnalysisResult> m_store;
    std::unique_ptr<media::IVideoSink> m_sink;
    bool m_storeOpen = false;
};

} // namespace ovra::processing
