// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoMetadata.h"

namespace ovra::media::libav {

// What a video stream tells about the ticks its timestamps count.
struct StreamTiming
{
    double timeBase = 0.0; // seconds per tick
    double baseFrameRate = 0.0; // FFmpeg's real base frame rate; 0 when unknown
};

// How far a frame interval may stray from the expected one and still count as regular, in
// the unit of both arguments (seconds).
double intervalTolerance(double expectedInterval, double tick);

// Sets uniformStartFrame and uniformTailFrameRate from the time grid and corrects
// variableFrameRate when the grid turns out uniform. A missing frame breaks the grid on any
// time base, however coarse; timestamps rounded to whole ticks do not.
void applyUniformTailRule(VideoMetadata &metadata, const StreamTiming &timing);

} // namespace ovra::media::libav
