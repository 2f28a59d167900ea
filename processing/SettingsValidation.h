// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoMetadata.h"
#include "motion_core/MotionSettings.h"

#include <QString>

// The rules that decide whether a set of processing settings can run on a video, with the
// messages the user sees. The settings controller and the command line share them.
namespace ovra::processing {

// At least two frames inside the video.
bool fragmentSelectionValid(const media::VideoMetadata &metadata, qint64 startFrame, qint64 endFrameExclusive);

// A valid fragment that, on a variable-rate video, lies in the verified uniform tail.
bool fragmentUsableForFrequencies(const media::VideoMetadata &metadata, qint64 startFrame, qint64 endFrameExclusive);

// The first fragment frame of a newly opened video: the start of the uniform part of the grid.
qint64 automaticStartFrame(const media::VideoMetadata &metadata);

// Fragment times on the playback time line, clamped to the video's duration.
qint64 playbackTimeUs(const media::VideoMetadata &metadata, qint64 frameIndex);

// The half-width of a band set around one frequency (a shaft harmonic or a spectrum peak),
// until the user chooses another.
constexpr double defaultBandHalfWidthPercent = 10.0;

// The limits of the band +/- halfWidthPercent around centreHz, usable or not.
struct BandLimits
{
    double lowerHz;
    double upperHz;
};
BandLimits bandLimits(double centreHz, double halfWidthPercent);

// The band +/- halfWidthPercent around centreHz; false when that band is not usable (width
// outside (0, 100), lower edge not above 0, upper edge reaching Nyquist).
bool bandAround(double centreHz, double halfWidthPercent, double captureFps, double *lowerHz, double *upperHz);

// The band around a harmonic of the rotation speed; false also when the rotation speed is
// invalid or 0 or the order not 1-3.
bool rotationBand(const motion_core::MotionSettings &settings, int harmonicOrder, double halfWidthPercent,
                  double captureFps, double *lowerHz, double *upperHz);

// The one fragment-length rule of pipeline, command line and settings: frameCount frames are
// refused below requiredMinimumFrameCount; below the recommendation they only earn a warning.
bool fragmentLongEnough(const motion_core::MotionSettings &settings, double captureFps, qint64 frameCount);

// Why a band cannot be analysed at captureFps (its edges out of order or beyond Nyquist), or an
// empty string when it can.
QString bandValidationMessage(double lowerHz, double upperHz, double captureFps);

// The refusal of a fragment that fragmentLongEnough rejects, naming the frames it needs.
QString fragmentTooShortMessage(const motion_core::MotionSettings &settings, double captureFps);

// The refusal of a rotation speed that motion_core::rotationSpeedValid rejects.
QString rotationSpeedMessage();

// The first reason why the settings cannot be processed, or an empty string when they can.
QString settingsValidationMessage(const media::VideoMetadata &metadata, const motion_core::MotionSettings &settings,
                                  double captureFps);

// What deserves a warning although the settings are valid (the first of them), or an empty string.
QString settingsWarningMessage(const motion_core::MotionSettings &settings, double captureFps);

} // namespace ovra::processing
