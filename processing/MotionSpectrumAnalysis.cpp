// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/MotionSpectrumAnalysis.h"

#include "motion_core/MotionSpectrumEstimator.h"
#include "processing/TileMotionMeasurement.h"

#include <QElapsedTimer>
#include <QLocale>

#include <cmath>
#include <new>
#include <vector>

namespace ovra::processing {

using project_data::ProcessingState;

namespace {

MotionSpectrumResult failed(const QString &message)
{
    MotionSpectrumResult result;
    result.state = ProcessingState::Failed;
    result.errorMessage = message;
    return result;
}

MotionSpectrumResult analyse(const MotionSpectrumRequest &request, const ProgressCallback &progressCallback,
                             const media::CancellationCheck &cancellationCheck)
{
    QElapsedTimer timer;
    timer.start();
    const double fps = request.sourceMetadata.captureFrameRate;
    TileMotionMeasurement measurement(
        request.sourceMetadata, request.startFrame, request.endFrameExclusive, request.regionOfInterest,
        motion_core::RegionDisplacementTracker::minimumRegionSide, &motion_core::TileLayout::automatic);
    if (request.stabilizationReferenceRegion)
        measurement.compensateCameraMotion(*request.stabilizationReferenceRegion);
    QString refusal = measurement.refusal();
    if (refusal.isEmpty())
        refusal = MotionSpectrumAnalysis::resolutionRefusal(measurement.frameCount(), fps, request.resolutionHz);
    if (!refusal.isEmpty())
        return failed(refusal);
    MotionSpectrumResult result;
    result.state = measurement.run(progressCallback, cancellationCheck, &result.errorMessage);
    if (result.state != ProcessingState::Succeeded)
        return result;
    const motion_core::DisplacementSeries &series = measurement.tracker().series();
    const int length
        = motion_core::MotionSpectrumEstimator::segmentLength(series.frameCount, fps, request.resolutionHz);
    if (length == 0)
        return failed(MotionSpectrumAnalysis::resolutionRefusal(series.frameCount, fps, request.resolutionHz));
    result.spectrum = motion_core::MotionSpectrumEstimator::estimate(series, fps, length, request.maximumPeakCount);
    result.analysedFrames = series.frameCount;
    result.elapsedUs = timer.nsecsElapsed() / 1000;
    return result;
}

} // namespace

MotionSpectrumResult MotionSpectrumAnalysis::run(const MotionSpectrumRequest &request,
                                                 const ProgressCallback &progressCallback,
                                                 const media::CancellationCheck &cancellationCheck)
{
    try {
        return analyse(request, progressCallback, cancellationCheck);
    } catch (const std::bad_alloc &) {
        return failed(tr("Not enough memory for the motion spectrum."));
    }
}

QString MotionSpectrumAnalysis::resolutionRefusal(qint64 frameCount, double captureFps, double resolutionHz)
{
    if (motion_core::MotionSpectrumEstimator::segmentLength(frameCount, captureFps, resolutionHz) > 0)
        return {};
    const qint64 needed
        = std::max<qint64>(motion_core::MotionSpectrumEstimator::minimumSegmentLength,
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
        && a.stabilizationReferenceRegion == b.stabilizationReferenceRegion && a.resolutionHz == b.resolutionHz
        && a.maximumPeakCount == b.maximumPeakCount;
}

QByteArray motionSpectrumCsv(const motion_core::MotionSpectrum &spectrum, const std::optional<MeasurementScale> &scale)
{
    QByteArray content("frequency_hz,amplitude_x_px,amplitude_y_px,amplitude_px,noise_floor_px");
    content += scale ? ",amplitude_mm,velocity_mm_s\n" : "\n";
    for (int k = 0; k < spectrum.binCount(); ++k) {
        std::vector<double> values{spectrum.frequenciesHz[k], spectrum.amplitudeXPixels[k],
                                   spectrum.amplitudeYPixels[k], spectrum.amplitudePixels[k],
                                   spectrum.noiseFloorPixels[k]};
        if (scale) {
            const double millimetres = scale->millimetres(spectrum.amplitudePixels[k]);
            values.push_back(millimetres);
            values.push_back(velocityMillimetresPerSecond(millimetres, spectrum.frequenciesHz[k]));
        }
        QStringList fields;
        for (const double value : values)
            fields << QString::number(value, 'g', 8);
        content += fields.join(QLatin1Char(',')).toLatin1() + '\n';
    }
    return content;
}

void registerMotionSpectrumMetaTypes()
{
    qRegisterMetaType<MotionSpectrumResult>();
}

} // namespace ovra::processing
