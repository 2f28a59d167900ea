// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/VibrationMapAnalysis.h"

#include "motion_core/MotionSpectrumEstimator.h"
#include "motion_core/VibrationMapEstimator.h"
#include "processing/SettingsValidation.h"
#include "processing/TileMotionMeasurement.h"

#include <QElapsedTimer>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

namespace ovra::processing {

using motion_core::MotionSpectrumEstimator;
using project_data::ProcessingState;

namespace {

VibrationMapResult failed(const QString &message)
{
    VibrationMapResult result;
    result.state = ProcessingState::Failed;
    result.errorMessage = message;
    return result;
}

// The widest bins that keep the band's lower edge on a bin that tells vibration from drift.
double widestBinHz(double lowerHz)
{
    return lowerHz / (motion_core::VibrationMapEstimator::firstBandBin() - 0.5);
}

// Bins of about a quarter of the fragment, or finer where the band's lower edge asks for it.
int segmentLength(qint64 frameCount, double captureFps, double lowerHz)
{
    const int automatic = MotionSpectrumEstimator::segmentLength(frameCount, captureFps, 0.0);
    if (automatic > 0 && captureFps / automatic <= widestBinHz(lowerHz))
        return automatic;
    return MotionSpectrumEstimator::segmentLength(frameCount, captureFps, widestBinHz(lowerHz));
}

QString fragmentRefusal(qint64 frameCount, double captureFps, double lowerHz)
{
    if (segmentLength(frameCount, captureFps, lowerHz) > 0)
        return {};
    const double needed = std::max<double>(MotionSpectrumEstimator::minimumSegmentLength,
                                           std::ceil(captureFps / widestBinHz(lowerHz) - 1e-9));
    return VibrationMapAnalysis::tr("The fragment of %n frame(s) is too short to map a band from %1 Hz at %2 frames/s: "
                                    "it needs at least %3 frames.",
                                    nullptr, int(std::min<qint64>(frameCount, INT_MAX)))
        .arg(QLocale().toString(lowerHz, 'g', 4), QLocale().toString(captureFps, 'g', 6))
        .arg(needed, 0, 'f', 0);
}

VibrationMapResult analyse(const VibrationMapRequest &request, const ProgressCallback &progressCallback,
                           const media::CancellationCheck &cancellationCheck)
{
    QElapsedTimer timer;
    timer.start();
    const double fps = request.sourceMetadata.captureFrameRate;
    const double lowerHz = request.lowerFrequencyHz;
    const int tilePixels = request.tilePixels > 0
        ? request.tilePixels
        : VibrationMapAnalysis::automaticTilePixels(request.sourceMetadata.frameSize);
    if (tilePixels < VibrationMapAnalysis::minimumTilePixels)
        return failed(VibrationMapAnalysis::tr("Choose tiles of at least %1 pixels.")
                          .arg(VibrationMapAnalysis::minimumTilePixels));
    TileMotionMeasurement measurement(
        request.sourceMetadata, request.startFrame, request.endFrameExclusive, request.regionOfInterest,
        motion_core::TileLayout::gridMinimumSide(tilePixels),
        [tilePixels](const QRect &region) { return motion_core::TileLayout::grid(region, tilePixels); });
    if (request.stabilizationReferenceRegion)
        measurement.compensateCameraMotion(*request.stabilizationReferenceRegion);
    QString refusal = measurement.refusal();
    if (refusal.isEmpty())
        refusal = bandValidationMessage(lowerHz, request.upperFrequencyHz, fps);
    if (refusal.isEmpty())
        refusal = fragmentRefusal(measurement.frameCount(), fps, lowerHz);
    if (!refusal.isEmpty())
        return failed(refusal);

    VibrationMapResult result;
    result.state = measurement.run(progressCallback, cancellationCheck, &result.errorMessage);
    if (result.state != ProcessingState::Succeeded)
        return result;
    const motion_core::DisplacementSeries &series = measurement.tracker().series();
    const int length = segmentLength(series.frameCount, fps, lowerHz);
    if (length == 0)
        return failed(fragmentRefusal(series.frameCount, fps, lowerHz));
    result.map = motion_core::VibrationMapEstimator::estimate(measurement.tracker(), fps, length, lowerHz,
                                                              request.upperFrequencyHz);
    result.referenceFrame = measurement.referenceFrame();
    result.analysedFrames = series.frameCount;
    result.elapsedUs = timer.nsecsElapsed() / 1000;
    return result;
}

} // namespace

int VibrationMapAnalysis::automaticTilePixels(const QSize &frameSize)
{
    return std::max(16, frameSize.width() / 64);
}

VibrationMapResult VibrationMapAnalysis::run(const VibrationMapRequest &request,
                                             const ProgressCallback &progressCallback,
                                             const media::CancellationCheck &cancellationCheck)
{
    try {
        return analyse(request, progressCallback, cancellationCheck);
    } catch (const std::bad_alloc &) {
        return failed(tr("Not enough memory for the vibration map."));
    }
}

bool sameAnalysis(const VibrationMapRequest &a, const VibrationMapRequest &b)
{
    return a.sourceMetadata.filePath == b.sourceMetadata.filePath
        && a.sourceMetadata.captureFrameRate == b.sourceMetadata.captureFrameRate && a.startFrame == b.startFrame
        && a.endFrameExclusive == b.endFrameExclusive && a.regionOfInterest == b.regionOfInterest
        && a.stabilizationReferenceRegion == b.stabilizationReferenceRegion && a.lowerFrequencyHz == b.lowerFrequencyHz
        && a.upperFrequencyHz == b.upperFrequencyHz && a.tilePixels == b.tilePixels;
}

void registerVibrationMapMetaTypes()
{
    qRegisterMetaType<VibrationMapResult>();
}

} // namespace ovra::processing
