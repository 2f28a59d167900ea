// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "media/VideoMetadata.h"
#include "motion_core/RegionDisplacementTracker.h"
#include "processing/ProcessingRecords.h"

#include <QCoreApplication>
#include <QImage>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace ovra::processing {

// The part of a motion spectrum or a vibration map that takes the time: it reads a fragment
// of a video and follows the tiles of a region through it. The fragment is decoded on a
// reading thread while the calling thread measures, so that decoding and measuring share the
// time of the slower of the two. Progress arrives on the calling thread once per frame; the
// cancellation check is polled between frames (and inside decoding).
class TileMotionMeasurement
{
    Q_DECLARE_TR_FUNCTIONS(TileMotionMeasurement)

public:
    // Where the tiles lie in a region of frame pixels.
    using LayoutForRegion = std::function<motion_core::TileLayout(const QRect &region)>;

    // metadata.captureFrameRate is the rate in force; an end of 0 is the end of the video; the
    // region is normalised to the upright frame and refused below minimumRegionSide pixels.
    TileMotionMeasurement(const media::VideoMetadata &metadata, qint64 startFrame, qint64 endFrameExclusive,
                          const QRectF &region, int minimumRegionSide, LayoutForRegion layout);
    ~TileMotionMeasurement();

    // Measures motion against what is static in the reference region (normalised to the upright
    // frame) instead of against the frame.
    void compensateCameraMotion(const QRectF &referenceRegion) { m_stabilizationReference = referenceRegion; }
    qint64 frameCount() const { return m_end - m_start; }
    // Why the fragment or the region cannot be measured; empty when they can.
    QString refusal() const;
    // Succeeded, Cancelled, or Failed with the reason in errorMessage. Throws std::bad_alloc.
    project_data::ProcessingState run(const ProgressCallback &progressCallback,
                                      const media::CancellationCheck &cancellationCheck, QString *errorMessage);

    // After a successful run: the tiles and their motion, and the fragment's first frame, upright.
    // Tiles lie in stored pixels; their motion is in pixels of the frame as shown (aspect-corrected).
    const motion_core::RegionDisplacementTracker &tracker() const { return *m_tracker; }
    const QImage &referenceFrame() const { return m_referenceFrame; }

    static QRect pixelRegion(const QRectF &region, const QSize &frameSize);

private:
    const media::VideoMetadata &m_metadata;
    qint64 m_start;
    qint64 m_end;
    QRectF m_region;
    int m_minimumRegionSide;
    LayoutForRegion m_layout;
    std::optional<QRectF> m_stabilizationReference;
    std::unique_ptr<motion_core::RegionDisplacementTracker> m_tracker;
    QImage m_referenceFrame;
};

} // namespace ovra::processing
