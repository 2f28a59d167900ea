// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/VibrationMapEstimator.h"

#include "motion_core/WelchCrossPower.h"

#include <algorithm>
#include <cmath>

namespace ovra::motion_core {

namespace {

constexpr double floorFactor = 2.0; // over the median around the band: noise alone stays below

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The bins of a band and of the neighbourhood whose median is a tile's noise floor.
struct BandBins
{
    int first = 0;
    int last = 0;
    int neighbourhoodFirst = 0;
    int neighbourhoodLast = 0;

    BandBins(double lowerHz, double upperHz, double resolutionHz, int bins)
        : first(std::max(firstVibrationBin, static_cast<int>(std::lround(lowerHz / resolutionHz))))
        , last(std::min(bins - 1, static_cast<int>(std::lround(upperHz / resolutionHz))))
    {
        const int half = std::max(8, bins / 8);
        neighbourhoodFirst = std::max(firstVibrationBin, first - half);
        neighbourhoodLast = std::min(bins - 1, last + half);
    }
};

// The amplitude a line centred on bin k would read, for every bin of the neighbourhood.
std::vector<double> lobeAmplitudes(const CrossPower &power, const BandBins &band, double lobeScale)
{
    std::vector<double> amplitudes;
    for (int k = band.neighbourhoodFirst; k <= band.neighbourhoodLast; ++k) {
        double total = 0.0;
        for (int j = std::max(0, k - hannLobe); j <= std::min(power.binCount() - 1, k + hannLobe); ++j)
            total += power.total(j);
        amplitudes.push_back(lobeScale * std::sqrt(total));
    }
    return amplitudes;
}

int strongestBin(const CrossPower &power, const BandBins &band)
{
    int strongest = band.first;
    for (int k = band.first; k <= band.last; ++k)
        if (power.total(k) > power.total(strongest))
            strongest = k;
    return strongest;
}

void measureTile(const CrossPower &power, const BandBins &band, double resolutionHz, double lobeScale,
                 VibrationMapTile *tile)
{
    const SpectrumPeak line = lobeLine(power, strongestBin(power, band), resolutionHz, lobeScale);
    tile->textured = true;
    tile->amplitudePixels = line.amplitudePixels;
    tile->directionDegrees = line.directionDegrees;
    tile->noiseFloorPixels = floorFactor * median(lobeAmplitudes(power, band, lobeScale));
}

} // namespace

int VibrationMap::texturedTileCount() const
{
    return static_cast<int>(
        std::count_if(tiles.begin(), tiles.end(), [](const VibrationMapTile &tile) { return tile.textured; }));
}

double VibrationMap::largestAmplitudePixels() const
{
    double largest = 0.0;
    for (const VibrationMapTile &tile : tiles)
        if (tile.textured)
            largest = std::max(largest, tile.amplitudePixels);
    return largest;
}

int VibrationMapEstimator::firstBandBin()
{
    return firstVibrationBin;
}

VibrationMap VibrationMapEstimator::estimate(const RegionDisplacementTracker &tracker, double sampleRateHz,
                                             int segmentLength, double lowerHz, double upperHz)
{
    VibrationMap map;
    map.lowerFrequencyHz = lowerHz;
    map.upperFrequencyHz = upperHz;
    map.sampleRateHz = sampleRateHz;
    map.segmentLength = segmentLength;
    map.resolutionHz = sampleRateHz / segmentLength;
    const TileLayout &layout = tracker.layout();
    for (int i = 0; i < layout.tileCount(); ++i)
        map.tiles.push_back({layout.tilePixels(i)});

    const DisplacementSeries &series = tracker.series();
    map.segmentCount = segmentCount(series.frameCount, segmentLength);
    SegmentTransform transform(segmentLength);
    const BandBins band(lowerHz, upperHz, map.resolutionHz, segmentLength / 2 + 1);
    CrossPower combined(segmentLength / 2 + 1);
    std::vector<double> floors;
    for (int followed = 0; followed < series.tileCount; ++followed) {
        const CrossPower power = tileCrossPower(series, followed, transform);
        VibrationMapTile &tile = map.tiles[size_t(tracker.followedTiles()[size_t(followed)])];
        measureTile(power, band, map.resolutionHz, transform.lobeScale(), &tile);
        floors.push_back(tile.noiseFloorPixels);
        for (int k = 0; k < combined.binCount(); ++k) {
            combined.xx[size_t(k)] += power.xx[size_t(k)];
            combined.yy[size_t(k)] += power.yy[size_t(k)];
            combined.xy[size_t(k)] += power.xy[size_t(k)];
        }
    }
    map.noiseFloorPixels = median(floors);
    map.strongestFrequencyHz = lobeLine(combined, strongestBin(combined, band), map.resolutionHz, 1.0).frequencyHz;
    return map;
}

} // namespace ovra::motion_core
