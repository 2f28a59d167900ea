// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace ovra::motion_core {

// One strong line of a motion spectrum.
struct SpectrumPeak
{
    double frequencyHz = 0.0;
    // Of the motion along its main axis: a sine of amplitude a pixels reads a, wherever its
    // frequency falls between two bins.
    double amplitudePixels = 0.0;
    // The main axis of the motion at that frequency in [0, 180): 0 horizontal, 90 vertical
    // (image rows grow downwards, so 45 runs from top left to bottom right).
    double directionDegrees = 0.0;
};

// The amplitude spectrum of a region's displacement over capture time, averaged over
// half-overlapping Hann-windowed segments. Bin k lies at k x resolutionHz, from 0 up to the
// Nyquist frequency; every per-bin array has binCount() entries.
struct MotionSpectrum
{
    double sampleRateHz = 0.0; // the capture frame rate
    double resolutionHz = 0.0; // the bin width: sampleRateHz / segmentLength
    int segmentLength = 0; // frames per segment
    int segmentCount = 0;
    int tileCount = 0; // textured tiles whose displacement entered the spectrum

    std::vector<double> frequenciesHz;
    // Amplitudes in pixels of the horizontal and vertical displacement, and of the motion in
    // any direction (the root of the sum of both squares), each reading a for a sine of
    // amplitude a on the bin.
    std::vector<double> amplitudeXPixels;
    std::vector<double> amplitudeYPixels;
    std::vector<double> amplitudePixels;
    // The level pure noise stays below; a line must rise above it to count as a peak.
    std::vector<double> noiseFloorPixels;

    // Strongest first; all above the noise floor.
    std::vector<SpectrumPeak> peaks;

    int binCount() const { return static_cast<int>(frequenciesHz.size()); }
    double nyquistHz() const { return sampleRateHz / 2.0; }
};

} // namespace ovra::motion_core
