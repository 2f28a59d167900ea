// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>

namespace ovra::tools {

// A machine-like scene rendered deterministically: a pump housing on a bracket whose upper
// part vibrates at one frequency while a belt guard shakes at another, faster one. Motion
// amplification of the band around the first frequency should bring out the bracket only.
struct VibrationScene
{
    QSize frameSize{640, 400};
    double captureFps = 240.0;
    int frameCount = 480;
    double bracketFrequencyHz = 12.0;
    double bracketAmplitudePixels = 0.25;
    double guardFrequencyHz = 45.0;
    double guardAmplitudePixels = 0.2;

    QImage renderFrame(qint64 frameIndex) const;
};

} // namespace ovra::tools
