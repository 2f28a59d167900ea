// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

#include <vector>

namespace ovra::motion_core {

// One tile of a vibration map: how much and along which axis it moves within the band.
struct VibrationMapTile
{
    QRect pixels; // of the upright frame
    // False: the tile is too flat to be measured ("no data"); amplitude and direction mean nothing.
    bool textured = false;
    // Of the strongest line in the band, along its main axis: a sine of amplitude a pixels reads a.
    double amplitudePixels = 0.0;
    // The main axis in [0, 180): 0 horizontal, 90 vertical (image rows grow downwards).
    double directionDegrees = 0.0;
    // What this tile reads without motion in the band; amplitudes above it are vibration.
    double noiseFloorPixels = 0.0;
};

// Where in the picture the motion of a frequency band lives: a grid of tiles over a region of
// the upright frame, row by row. Frequencies are in hertz of capture time.
struct VibrationMap
{
    double lowerFrequencyHz = 0.0;
    double upperFrequencyHz = 0.0;
    // Where the band moves most over all tiles, which turns amplitudes into velocities.
    double strongestFrequencyHz = 0.0;
    double sampleRateHz = 0.0;
    double resolutionHz = 0.0;
    int segmentLength = 0;
    int segmentCount = 0;
    // The textured tiles' median noise floor.
    double noiseFloorPixels = 0.0;
    std::vector<VibrationMapTile> tiles;

    int texturedTileCount() const;
    // The largest amplitude of a textured tile; 0 without one.
    double largestAmplitudePixels() const;
};

} // namespace ovra::motion_core
