// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/MotionSpectrumAnalysis.h"

#include "media/libav/LibavVideoSource.h"
#include "motion_core/MotionSpectrumEstimator.h"
#include "motion_core/RegionDisplacementTracker.h"
#include "processing/FrameReader.h"
#include "processing/SettingsValidation.h"

#include <QElapsedTimer>
#include <QLocale>

#include <cmath>
#include <new>
#include <optional>

namespace ovra::processing {

using project_data::ProcessingState;

namespace {

QRect pixelRegion(const QRectF &region, const QSize &frameSize)
{
    const int left = static_cast<int>(std::lround(region.left() * frameSize.width()));
    const int top = static_cast<int>(std::lround(region.top() * frameSize.height()));
    const int right = static_cast<int>(std::lround(region.right() * frameSize.width()));
    const int bottom = static_cast<int>(std::lround(region.bottom() * frameSize.height()));
    return QRect(left, top, right - left, bottom - top).intersected(QRect(QPoint(0, 0), frameSize));
}

MotionSpectrumResult failed(const QString &message)
{
    MotionSpectrumResult result;
    result.state = ProcessingState::Failed;
    result.errorMessage = message;
    return result;
}

MotionSpectrumResult cancelled()
{
    MotionSpectrumResult result;
    result.state = ProcessingState::Cancelled;
    return result;
}

// One run: the fragment is decoded on a reading thread while the calling thread measures, so
// that decoding and measuring share the time of the slower of the two.
class SpectrumRun
{
public:
    SpectrumRun(const MotionSpectrumRequest &request, const ProgressCallback &progress,
                const media::CancellationCheck &check)
        : m_request(request), m_progress(progress), m_cancellation(check),
          m_source(m_cancellation.sharedCheck()),
          m_end(request.endFrameExclusive > 0 ? request.endFrameExclusive : request.sourceMetadata.frameCount)
    {
    }

    MotionSpectrumResult run()
    {
        QElapsedTimer timer;
        timer.start();
        if (const QString refusal = requestRefusal(); !refusal.isEmpty())
            return failed(refusal);
        if (auto ended = openSource())
            return *ended;
        if (auto ended = measureFragment())
            return *ended;
        MotionSpectrumResult result;
        const double fps = m_request.sourceMetadata.captureFrameRate;
        const motion_core::DisplacementSeries &series = m_tracker->series();
        const int length = motion_core::MotionSpectrumEstimator::segmentLength(series.frameCount, fps,
                                                                               m_request.resolutionHz);
        if (length == 0)
            return failed(MotionSpectrumAnalysis::resolutionRefusal(series.frameCount, fps, m_request.resolutionHz));
        result.spectrum = motion_core::MotionSpectrumEstimator::estimate(series, fps, length, m_request.maximumPeakCount);
        result.state = ProcessingState::Succeeded;
        result.analysedFrames = series.frameCount;
        result.elapsedUs = timer.nsecsElapsed() / 1000;
        return result;
    }

private:
    QString requestRefusal() const
    {
        const media::VideoMetadata &metadata = m_request.sourceMetadata;
        const double fps = metadata.captureFrameRate;
        if (!media::isValidRate(fps))
            return MotionSpectrumAnalysis::tr("The camera capture frame rate is required before a motion spectrum.");
        if (!fragmentUsableForFrequencies(metadata, m_request.startFrame, m_end))
            return MotionSpectrumAnalysis::tr("Choose a valid fragment of evenly spaced frames.");
        const QRect region = pixelRegion(m_request.regionOfInterest, metadata.frameSize);
        const int side = motion_core::RegionDisplacementTracker::minimumRegionSide;
        if (region.width() < side || region.height() < side)
            return MotionSpectrumAnalysis::tr("Choose a region of at least %1 x %1 pixels.").arg(side);
        return MotionSpectrumAnalysis::resolutionRefusal(m_end - m_request.startFrame, fps, m_request.resolutionHz);
    }

    std::optional<MotionSpectrumResult> openSource()
    {
        QString error;
        if (!m_source.openWithMetadata(m_request.sourceMetadata, &error) || !m_source.seekToFrame(m_request.startFrame, &error))
            return m_source.cancelled() ? cancelled() : failed(error);
        const QRect region = pixelRegion(m_request.regionOfInterest, m_source.metadata().frameSize);
        m_tracker = std::make_unique<motion_core::RegionDisplacementTracker>(region);
        return std::nullopt;
    }

    std::optional<MotionSpectrumResult> measureFragment()
    {
        const qint64 total = m_end - m_request.startFrame;
        FrameReader reader(m_source, total);
        for (qint64 done = 0; done < total; ++done) {
            if (m_cancellation.query())
                return cancelled();
            const FrameReader::Read read = reader.next();
            if (read.status == media::VideoReadStatus::EndOfStream)
                break; // the estimate tells whether the frames read are enough
            if (read.status != media::VideoReadStatus::Frame)
                return m_cancellation.query() ? cancelled() : failed(read.error);
            if (done > 0)
                m_tracker->track(read.frame.image);
            else if (!m_tracker->setReference(read.frame.image))
                return failed(MotionSpectrumAnalysis::tr("The region has no texture whose motion can be measured."));
            report(done + 1, total);
        }
        return std::nullopt;
    }

    void report(qint64 done, qint64 total) const
    {
        if (!m_progress)
            return;
        project_data::ProcessingProgress progress;
        progress.state = ProcessingState::Running;
        progress.stageName = MotionSpectrumAnalysis::tr("Measuring motion");
        progress.processedFrames = done;
        progress.totalFrames = total;
        m_progress(progress);
    }

    const MotionSpectrumRequest &m_request;
    const ProgressCallback &m_progress;
    media::CancellationState m_cancellation;
    media::libav::LibavVideoSource m_source;
    qint64 m_end;
    std::unique_ptr<motion_core::RegionDisplacementTracker> m_tracker;
};

} // namespace

MotionSpectrumResult MotionSpectrumAnalysis::run(const MotionSpectrumRequest &request,
                                                 const ProgressCallback &progressCallback,
                                                 const media::CancellationCheck &cancellationCheck)
{
    try {
        return SpectrumRun(request, progressCallback, cancellationCheck).run();
    } catch (const std::bad_alloc &) {
        return failed(tr("Not enough memory for the motion spectrum."));
    }
}

QString MotionSpectrumAnalysis::resolutionRefusal(qint64 frameCount, double captureFps, double resolutionHz)
{
    if (motion_core::MotionSpectrumEstimator::segmentLength(frameCount, captureFps, resolutionHz) > 0)
        return {};
    const qint64 needed = std::max<qint64>(motion_core::MotionSpectrumEstimator::minimumSegmentLength,
                                           resolutionHz > 0.0 ? static_cast<qint64>(std::ceil(captureFps / resolutionHz)) : 0);
    if (resolutionHz > 0.0)
        return tr("The fragment of %1 frames is too short for a resolution of %2 Hz at %3 frames/s: it needs at least "
                  "%4 frames.")
            .arg(frameCount)
            .arg(QLocale().toString(resolutionHz, 'g', 4), QLocale().toString(captureFps, 'g', 6))
            .arg(needed);
    return tr("The fragment of %1 frames is too short for a motion spectrum: it needs at least %2 frames.")
        .arg(frameCount)
        .arg(needed);
}

bool sameAnalysis(const MotionSpectrumRequest &a, const MotionSpectrumRequest &b)
{
    return a.sourceMetadata.filePath == b.sourceMetadata.filePath
        && a.sourceMetadata.captureFrameRate == b.sourceMetadata.captureFrameRate && a.startFrame == b.startFrame
        && a.endFrameExclusive == b.endFrameExclusive && a.regionOfInterest == b.regionOfInterest
        && a.resolutionHz == b.resolutionHz && a.maximumPeakCount == b.maximumPeakCount;
}

void registerMotionSpectrumMetaTypes()
{
    qRegisterMetaType<MotionSpectrumResult>();
}

} // namespace ovra::processing
