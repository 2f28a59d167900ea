// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/MotionSpectrum.h"
#include "motion_core/RegionDisplacementTracker.h"

#include <QtGlobal>

namespace ovra::motion_core {

// Turns the tiles' displacement into one motion spectrum (Welch: linearly detrended,
// periodic-Hann-windowed segments overlapping by half, power averaged). Each bin takes the
// tile that moves most there, so that two parts vibrating at two frequencies each keep their
// own amplitude; the noise floor is a multiple of the running median of that same combination,
// so that noise alone stays below it.
class MotionSpectrumEstimator
{
public:
    static constexpr int minimumSegmentLength = 32;

    // Frames per segment for a fragment of frameCount frames: the fewest that give bins no wider
    // than resolutionHz, or, for 0, a quarter of the fragment (seven segments); never below
    // minimumSegmentLength. 0 when the fragment is shorter than one segment.
    static int segmentLength(qint64 frameCount, double sampleRateHz, double resolutionHz);

    // series holds at least segmentLength frames of at least one tile.
    static MotionSpectrum estimate(const DisplacementSeries &series, double sampleRateHz, int segmentLength,
                                   int maximumPeakCount);
};

} // namespace ovra::motion_core
