// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/TileMotionMeasurement.h"

#include "media/libav/LibavVideoSource.h"
#include "processing/FrameReader.h"
#include "processing/SettingsValidation.h"
#include "processing/StabilizedVideoSource.h"

#include <cmath>

namespace ovra::processing {

using project_data::ProcessingState;

TileMotionMeasurement::TileMotionMeasurement(const media::VideoMetadata &metadata, qint64 startFrame,
                                             qint64 endFrameExclusive, const QRectF &region, int minimumRegionSide,
                                             LayoutForRegion layout)
    : m_metadata(metadata)
    , m_start(startFrame)
    , m_end(endFrameExclusive > 0 ? endFrameExclusive : metadata.frameCount)
    , m_region(region)
    , m_minimumRegionSide(minimumRegionSide)
    , m_layout(std::move(layout))
{
}

TileMotionMeasurement::~TileMotionMeasurement() = default;

QRect TileMotionMeasurement::pixelRegion(const QRectF &region, const QSize &frameSize)
{
    const int left = static_cast<int>(std::lround(region.left() * frameSize.width()));
    const int top = static_cast<int>(std::lround(region.top() * frameSize.height()));
    const int right = static_cast<int>(std::lround(region.right() * frameSize.width()));
    const int bottom = static_cast<int>(std::lround(region.bottom() * frameSize.height()));
    return QRect(left, top, right - left, bottom - top).intersected(QRect(QPoint(0, 0), frameSize));
}

QString TileMotionMeasurement::refusal() const
{
    if (!media::isValidRate(m_metadata.captureFrameRate))
        return tr("The camera capture frame rate is required before motion can be measured.");
    if (!fragmentUsableForFrequencies(m_metadata, m_start, m_end))
        return tr("Choose a valid fragment of evenly spaced frames.");
    const QRect region = pixelRegion(m_region, m_metadata.frameSize);
    if (region.width() < m_minimumRegionSide || region.height() < m_minimumRegionSide)
        return tr("Choose a region of at least %1 x %1 pixels.").arg(m_minimumRegionSide);
    return {};
}

ProcessingState TileMotionMeasurement::run(const ProgressCallback &progressCallback,
                                           const media::CancellationCheck &cancellationCheck, QString *errorMessage)
{
    media::CancellationState cancellation(cancellationCheck);
    std::unique_ptr<media::IVideoSource> source
        = std::make_unique<media::libav::LibavVideoSource>(cancellation.sharedCheck());
    if (m_stabilizationReference)
        source = std::make_unique<StabilizedVideoSource>(std::move(source), *m_stabilizationReference);
    const auto failed = [&](const QString &message) {
        if (cancellation.query())
            return ProcessingState::Cancelled;
        *errorMessage = message;
        return ProcessingState::Failed;
    };
    QString error;
    if (!source->openWithMetadata(m_metadata, &error) || !source->seekToFrame(m_start, &error))
        return failed(error);
    m_tracker = std::make_unique<motion_core::RegionDisplacementTracker>(
        m_layout(pixelRegion(m_region, source->metadata().frameSize)));

    const qint64 total = frameCount();
    FrameReader reader(*source, total);
    for (qint64 done = 0; done < total; ++done) {
        if (cancellation.query())
            return ProcessingState::Cancelled;
        const FrameReader::Read read = reader.next();
        if (read.status == media::VideoReadStatus::EndOfStream)
            break; // the caller tells whether the frames read are enough
        if (read.status != media::VideoReadStatus::Frame)
            return failed(read.error);
        if (done > 0) {
            m_tracker->track(read.frame.image);
        } else if (m_tracker->setReference(read.frame.image)) {
            m_referenceFrame = read.frame.image;
        } else {
            return failed(tr("The region has no texture whose motion can be measured."));
        }
        if (progressCallback) {
            project_data::ProcessingProgress progress;
            progress.state = ProcessingState::Running;
            progress.stageName = tr("Measuring motion");
            progress.processedFrames = done + 1;
            progress.totalFrames = total;
            progressCallback(progress);
        }
    }
    // Motion is told in pixels of the frame as shown, which a measurement scale's millimetres
    // per pixel apply to and whose directions the user sees.
    const double pixelAspect = m_metadata.pixelAspectRatio;
    if (std::isfinite(pixelAspect) && pixelAspect > 0.0 && pixelAspect != 1.0)
        m_tracker->scaleHorizontalTranslations(pixelAspect);
    return ProcessingState::Succeeded;
}

} // namespace ovra::processing
