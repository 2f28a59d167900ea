// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "VibratingVideo.h"

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QTransform>

#include <vector>

namespace ovra::tests {

// A static textured world with one part vibrating on its own, filmed by a camera that drifts,
// trembles and rolls; rendered exactly (each pixel samples the analytic texture where the
// camera sees it), so that sub-pixel motion is what the numbers say.
struct ShakingScene
{
    QSize frameSize{320, 240};
    double frameRate = 120.0;
    int frameCount = 240;
    Structure world = naturalTexture(7);
    Structure partStructure = smoothTexture();
    QRectF part{112.0, 80.0, 96.0, 80.0}; // in the first frame's pixels
    Tone partTone{11.0, 0.1}; // along x, relative to the world
    double driftPixels = 3.0; // a smooth random walk within +-driftPixels
    Tone tremor{7.0, 0.6}; // in both axes
    Tone roll{2.0, 0.15}; // degrees about the frame's centre
    double noiseSigma = 0.0;

    // Maps a pixel of frame t to the place of the world it shows (the first frame's pixels):
    // identity at t = 0.
    QTransform camera(int t) const;
    std::vector<QImage> frames() const;
    // The part alone on a still camera, as a VibratingPattern for the motion measurements.
    VibratingPattern partPattern() const;
    // The background alone, still, moving at frequencyHz along direction for its measurement.
    VibratingPattern backgroundPattern(double frequencyHz, QPointF direction) const;
};

} // namespace ovra::tests
