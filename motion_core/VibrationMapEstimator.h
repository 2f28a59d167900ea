// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/RegionDisplacementTracker.h"
#include "motion_core/VibrationMap.h"

namespace ovra::motion_core {

// Turns the followed tiles' displacement into a vibration map of one band: per tile, the
// strongest line of its Welch spectrum in the band (the energy of its whole lobe, so that a
// frequency between bins reads true) and a noise floor from the running median of the same
// measure around the band. Tiles the tracker did not follow are "no data".
class VibrationMapEstimator
{
public:
    // The lowest bin a band may start on, below which the fragment's drift lives.
    static int firstBandBin();

    // series holds at least segmentLength frames of the tracker's followed tiles; the band's
    // bins, rounded to the nearest, lie from firstBandBin() to the Nyquist frequency.
    static VibrationMap estimate(const RegionDisplacementTracker &tracker, double sampleRateHz, int segmentLength,
                                 double lowerHz, double upperHz);
};

} // namespace ovra::motion_core
