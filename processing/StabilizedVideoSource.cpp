// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/StabilizedVideoSource.h"

#include "motion_core/FrameWarp.h"
#include "processing/TileMotionMeasurement.h"

namespace ovra::processing {

StabilizedVideoSource::StabilizedVideoSource(std::unique_ptr<media::IVideoSource> source, const QRectF &referenceRegion)
    : m_source(std::move(source))
    , m_referenceRegion(referenceRegion)
{
}

StabilizedVideoSource::~StabilizedVideoSource() = default;

void StabilizedVideoSource::restart()
{
    m_estimator.reset();
    m_transforms.clear();
}

bool StabilizedVideoSource::open(const QString &filePath, QString *errorMessage)
{
    restart();
    return m_source->open(filePath, errorMessage);
}

bool StabilizedVideoSource::openWithMetadata(const media::VideoMetadata &metadata, QString *errorMessage)
{
    restart();
    return m_source->openWithMetadata(metadata, errorMessage);
}

void StabilizedVideoSource::close()
{
    m_source->close();
}

bool StabilizedVideoSource::seekToTime(qint64 timeUs, QString *errorMessage)
{
    restart();
    return m_source->seekToTime(timeUs, errorMessage);
}

bool StabilizedVideoSource::seekToFrame(qint64 frameIndex, QString *errorMessage)
{
    restart();
    return m_source->seekToFrame(frameIndex, errorMessage);
}

media::VideoReadStatus StabilizedVideoSource::skipFrame(qint64 *frameIndex, qint64 *presentationTimeUs,
                                                        QString *errorMessage)
{
    return m_source->skipFrame(frameIndex, presentationTimeUs, errorMessage);
}

media::VideoReadStatus StabilizedVideoSource::readFrame(media::VideoFrame *frame, QString *errorMessage)
{
    const media::VideoReadStatus status = m_source->readFrame(frame, errorMessage);
    if (status != media::VideoReadStatus::Frame)
        return status;
    if (!m_estimator) {
        const QRect region = TileMotionMeasurement::pixelRegion(m_referenceRegion, frame->image.size());
        m_estimator
            = std::make_unique<motion_core::CameraMotionEstimator>(region, m_source->metadata().pixelAspectRatio);
        if (!m_estimator->setReference(frame->image)) {
            m_estimator.reset();
            if (errorMessage)
                *errorMessage = tr("The camera motion cannot be measured: the reference region has no texture "
                                   "to follow.");
            return media::VideoReadStatus::Failed;
        }
        m_transforms.push_back(QTransform());
        return status;
    }
    m_transforms.push_back(m_estimator->track(frame->image));
    // The decoded image becomes the next frame's output buffer.
    motion_core::warpFrame(m_pool, frame->image, m_transforms.back(), &m_warped);
    std::swap(frame->image, m_warped);
    return status;
}

} // namespace ovra::processing
