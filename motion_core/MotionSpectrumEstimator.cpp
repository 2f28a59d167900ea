// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/MotionSpectrumEstimator.h"

#include "motion_core/WelchCrossPower.h"

#include <algorithm>
#include <cmath>

namespace ovra::motion_core {

namespace {

constexpr double floorFactor = 2.0; // over the running median: noise alone stays below

// Per bin, the tile that moves most there.
CrossPower strongestTiles(const DisplacementSeries &series, SegmentTransform &transform)
{
    CrossPower combined(transform.length() / 2 + 1);
    for (int tile = 0; tile < series.tileCount; ++tile) {
        const CrossPower power = tileCrossPower(series, tile, transform);
        for (int k = 0; k < combined.binCount(); ++k) {
            if (power.total(k) > combined.total(k)) {
                combined.xx[k] = power.xx[k];
                combined.yy[k] = power.yy[k];
                combined.xy[k] = power.xy[k];
            }
        }
    }
    return combined;
}

std::vector<double> noiseFloor(const std::vector<double> &amplitude)
{
    const int bins = static_cast<int>(amplitude.size());
    const int half = std::max(8, bins / 8);
    std::vector<double> floor(amplitude.size());
    std::vector<double> window;
    for (int k = 0; k < bins; ++k) {
        window.assign(amplitude.begin() + std::max(0, k - half), amplitude.begin() + std::min(bins, k + half + 1));
        const auto middle = window.begin() + static_cast<std::ptrdiff_t>(window.size() / 2);
        std::nth_element(window.begin(), middle, window.end());
        floor[size_t(k)] = floorFactor * *middle;
    }
    return floor;
}

bool localMaximum(const std::vector<double> &amplitude, int k)
{
    const int bins = static_cast<int>(amplitude.size());
    for (int j = std::max(0, k - hannLobe); j <= std::min(bins - 1, k + hannLobe); ++j)
        if (amplitude[size_t(j)] > amplitude[size_t(k)] || (j < k && amplitude[size_t(j)] == amplitude[size_t(k)]))
            return false;
    return true;
}

std::vector<SpectrumPeak> strongestPeaks(const MotionSpectrum &spectrum, const CrossPower &power, double lobeScale,
                                         int maximumPeakCount)
{
    std::vector<SpectrumPeak> peaks;
    for (int k = firstVibrationBin; k < spectrum.binCount(); ++k) {
        if (spectrum.amplitudePixels[size_t(k)] > spectrum.noiseFloorPixels[size_t(k)]
            && localMaximum(spectrum.amplitudePixels, k))
            peaks.push_back(lobeLine(power, k, spectrum.resolutionHz, lobeScale));
    }
    std::sort(peaks.begin(), peaks.end(),
              [](const SpectrumPeak &a, const SpectrumPeak &b) { return a.amplitudePixels > b.amplitudePixels; });
    if (peaks.size() > size_t(std::max(0, maximumPeakCount)))
        peaks.resize(size_t(std::max(0, maximumPeakCount)));
    return peaks;
}

} // namespace

int MotionSpectrumEstimator::segmentLength(qint64 frameCount, double sampleRateHz, double resolutionHz)
{
    qint64 length = frameCount / 4;
    if (resolutionHz > 0.0)
        length = static_cast<qint64>(std::ceil(sampleRateHz / resolutionHz - 1e-9));
    length = std::max<qint64>(length, minimumSegmentLength);
    if (length > frameCount || length > (1 << 20))
        return 0;
    return static_cast<int>(length);
}

MotionSpectrum MotionSpectrumEstimator::estimate(const DisplacementSeries &series, double sampleRateHz,
                                                 int segmentLength, int maximumPeakCount)
{
    MotionSpectrum spectrum;
    spectrum.sampleRateHz = sampleRateHz;
    spectrum.segmentLength = segmentLength;
    spectrum.segmentCount = segmentCount(series.frameCount, segmentLength);
    spectrum.resolutionHz = sampleRateHz / segmentLength;
    spectrum.tileCount = series.tileCount;

    SegmentTransform transform(segmentLength);
    const CrossPower power = strongestTiles(series, transform);
    const double binScale = transform.binScale();
    const int bins = segmentLength / 2 + 1;
    for (int k = 0; k < bins; ++k) {
        spectrum.frequenciesHz.push_back(k * spectrum.resolutionHz);
        spectrum.amplitudeXPixels.push_back(binScale * std::sqrt(power.xx[size_t(k)]));
        spectrum.amplitudeYPixels.push_back(binScale * std::sqrt(power.yy[size_t(k)]));
        spectrum.amplitudePixels.push_back(binScale * std::sqrt(power.total(k)));
    }
    spectrum.noiseFloorPixels = noiseFloor(spectrum.amplitudePixels);
    spectrum.peaks = strongestPeaks(spectrum, power, transform.lobeScale(), maximumPeakCount);
    return spectrum;
}

} // namespace ovra::motion_core
