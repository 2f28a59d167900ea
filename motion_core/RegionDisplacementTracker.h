// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/MotionWorkerPool.h"

#include <QImage>
#include <QRect>

#include <vector>

namespace ovra::motion_core {

// Translations of a region's tiles, frame by frame, in pixels of the full frame: sample
// (frame, tile) is element frame x tileCount + tile.
struct DisplacementSeries
{
    int tileCount = 0;
    int frameCount = 0;
    std::vector<float> xPixels;
    std::vector<float> yPixels;
};

// Follows the textured tiles of a region by their sub-pixel translation against the first
// frame. It works on a box-reduced luminance of at most about 480 samples across, so that a
// full HD frame costs a few milliseconds; tiles are small so that parts moving differently
// keep their own motion. Each tile is measured by Lucas-Kanade: the frame is shifted back by the
// whole pixels of the tile's last translation, then one linearised step measures the rest, so
// that no interpolation locks sub-pixel motion to the sample grid.
class RegionDisplacementTracker
{
public:
    // Pixels of the region's shorter side below which it has no room for tiles.
    static constexpr int minimumRegionSide = 32;

    // region: the pixels of the frames to follow, inside every frame it will see.
    explicit RegionDisplacementTracker(const QRect &region);
    ~RegionDisplacementTracker();

    // Starts over with the first frame (its translation is zero); false when no tile of the
    // region has texture to follow.
    bool setReference(const QImage &frame);
    // Appends the translation of every tile in a later frame.
    void track(const QImage &frame);

    const DisplacementSeries &series() const { return m_series; }
    // Frame pixels per reduced sample along each axis.
    int reduction() const { return m_reduction; }

private:
    struct Tile;

    // Box-reduces the region's luminance, then smooths it so that sharp edges vary over a few
    // samples, as the linearised step assumes.
    void reduce(const QImage &frame);
    void chooseTiles();
    static void invertNormalMatrix(double xx, double xy, double yy, Tile *tile);
    void measure(Tile &tile, float *x, float *y) const;

    QRect m_region;
    int m_reduction = 1;
    int m_width = 0;  // of the reduced region
    int m_height = 0;
    FloatPlane m_luminance; // the reduced region, smoothed
    FloatPlane m_scratch;
    MotionWorkerPool m_pool; // one thread: the caller's
    std::vector<int> m_sums;        // one row of channel sums while reducing
    std::vector<Tile> m_tiles;
    DisplacementSeries m_series;
};

} // namespace ovra::motion_core
