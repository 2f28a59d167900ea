#pragma once

#include "media/Cancellation.h"
#include "media/VideoEncodingSettings.h"
#include "media/VideoFrame.h"
#include "media/VideoMetadata.h"
#include "media/libav/LibavVideoSink.h"

#include <QString>

#include <memory>

namespace ovra::project_data {
class TemporaryVideo;
}

namespace ovra::processing {

// Where a run's output frames go: the analysis result store, or the MP4 sink writing the
// staging file the pipeline reserved.
class FrameDestination
{
public:
    FrameDestination(std::shared_ptr<project_data::TemporaryVideo> store, media::CancellationCheck cancellationCheck);

    bool open(const QString &stagingPath, const media::VideoMetadata &metadata,
              const media::VideoEncodingSettings &settings, QString *errorMessage);
    bool writeFrame(const media::VideoFrame &frame, QString *errorMessage);
    bool finish(QString *errorMessage);
    void abort();
    bool isOpen() const;
    QString cleanupMessage() const { return m_sink.cleanupMessage(); }
    bool cancelled() const { return m_sink.cancelled(); }

private:
    std::shared_ptr<project_data::TemporaryVideo> m_store;
    media::libav::LibavVideoSink m_sink;
    bool m_storeOpen = false;
};

} // namespace ovra::processing
