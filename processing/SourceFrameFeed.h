// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "media/IVideoSource.h"
#include "media/VideoMetadata.h"
#include "motion_core/MotionWorkerPool.h"
#include "processing/FrameReader.h"

#include <QCoreApplication>
#include <QImage>
#include <QString>
#include <QTransform>

#include <deque>
#include <memory>
#include <vector>

namespace ovra::processing {

// The source frames that a comparison shows beside the results, in output order: either the
// frames the run decodes itself, kept until their result comes out, or, when the results come
// from a stored analysis, a second reading of the source video over the same fragment.
class SourceFrameFeed
{
    Q_DECLARE_TR_FUNCTIONS(SourceFrameFeed)

public:
    SourceFrameFeed() = default;
    ~SourceFrameFeed();
    SourceFrameFeed(const SourceFrameFeed &) = delete;
    SourceFrameFeed &operator=(const SourceFrameFeed &) = delete;

    // Starts reading frames [start, start + count) of the source video on a thread of its own,
    // each warped by its camera transform when the analysis compensated the camera's motion
    // (one per frame, or none). Throws std::system_error when the system cannot start the thread.
    bool openReading(const media::VideoMetadata &source, qint64 start, qint64 count,
                     std::vector<QTransform> cameraTransforms, media::CancellationCheck cancellationCheck,
                     QString *errorMessage);
    // Without a reading: a decoded frame, whose result is still to come.
    void keep(const QImage &decoded) { m_kept.push_back(decoded); }
    // The source frame of the next result.
    bool next(QImage *image, QString *errorMessage);
    // The source stopped because the run was cancelled.
    bool cancelled() const { return m_source && m_source->cancelled(); }
    // Ends the reading thread and closes the source.
    void stop();

private:
    std::deque<QImage> m_kept;
    std::vector<QTransform> m_cameraTransforms;
    size_t m_read = 0;
    motion_core::MotionWorkerPool m_pool; // one thread: the caller's
    std::unique_ptr<media::IVideoSource> m_source;
    std::unique_ptr<FrameReader> m_reader; // after the source it reads, so that it ends first
};

} // namespace ovra::processing
