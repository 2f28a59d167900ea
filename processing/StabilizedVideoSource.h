// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/IVideoSource.h"
#include "motion_core/CameraMotionEstimator.h"
#include "motion_core/MotionWorkerPool.h"

#include <QCoreApplication>
#include <QRectF>
#include <QTransform>

#include <memory>
#include <vector>

namespace ovra::processing {

// A source whose frames hold still what is static in the world: the first frame read after
// opening or seeking is the reference, every later frame is warped back onto it by the camera
// motion estimated from the reference region. Everything else passes through. Skipped frames
// are not followed, so a caller reads the frames it wants stabilised one after another.
class StabilizedVideoSource : public media::IVideoSource
{
    Q_DECLARE_TR_FUNCTIONS(StabilizedVideoSource)

public:
    // referenceRegion: normalised to the upright frame; the whole frame is QRectF(0, 0, 1, 1).
    StabilizedVideoSource(std::unique_ptr<media::IVideoSource> source, const QRectF &referenceRegion);
    ~StabilizedVideoSource() override;

    bool open(const QString &filePath, QString *errorMessage = nullptr) override;
    bool openWithMetadata(const media::VideoMetadata &metadata, QString *errorMessage = nullptr) override;
    void close() override;
    bool isOpen() const override { return m_source->isOpen(); }
    const media::VideoMetadata &metadata() const override { return m_source->metadata(); }
    bool seekToTime(qint64 timeUs, QString *errorMessage = nullptr) override;
    bool seekToFrame(qint64 frameIndex, QString *errorMessage = nullptr) override;
    media::VideoReadStatus readFrame(media::VideoFrame *frame, QString *errorMessage = nullptr) override;
    media::VideoReadStatus skipFrame(qint64 *frameIndex = nullptr, qint64 *presentationTimeUs = nullptr,
                                     QString *errorMessage = nullptr) override;
    bool cancelled() const override { return m_source->cancelled(); }

    // One transform per frame read since the reference (the reference's is the identity): a
    // pixel of the stabilised frame to the pixel of the frame as decoded.
    const std::vector<QTransform> &transforms() const { return m_transforms; }

private:
    void restart();

    std::unique_ptr<media::IVideoSource> m_source;
    QRectF m_referenceRegion;
    std::unique_ptr<motion_core::CameraMotionEstimator> m_estimator;
    motion_core::MotionWorkerPool m_pool; // one thread: the reader's
    std::vector<QTransform> m_transforms;
    QImage m_warped;
};

} // namespace ovra::processing
