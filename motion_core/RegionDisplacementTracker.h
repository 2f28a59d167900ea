// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/MotionWorkerPool.h"

#include <QImage>
#include <QPoint>
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

// Where a tracker's tiles lie: a region of the frame, box-reduced by a whole factor, cut into
// square tiles of reduced samples that keep a few samples away from the region's edges, where
// they have room to move.
struct TileLayout
{
    QRect region; // frame pixels, inside every frame the tracker sees
    int reduction = 1; // frame pixels per reduced sample along each axis
    int tileSize = 0; // reduced samples per tile side
    std::vector<QPoint> corners; // top-left corners in reduced samples of the region

    int tileCount() const { return static_cast<int>(corners.size()); }
    QSize reducedSize() const { return region.size() / reduction; }
    QRect tilePixels(int tile) const;

    // A few tiles per region, large enough to follow parts moving on their own: at most about
    // 480 reduced samples across, tiles of at most 24 samples, at least 4 across the shorter
    // side, side by side and centred. None for a region shorter than minimumRegionSide.
    static TileLayout automatic(const QRect &region);
    // Tiles of tilePixels covering the region evenly, overlapping where it is not a whole number
    // of tiles. The reduction is the largest that divides tilePixels and leaves at least
    // minimumTileSamples per side, so that the tiles' frame pixels are those asked for.
    static TileLayout grid(const QRect &region, int tilePixels);
    // The smallest region side that holds one grid tile of tilePixels.
    static int gridMinimumSide(int tilePixels);
};

// Follows the textured tiles of a region by their sub-pixel translation against the first
// frame. It works on a box-reduced, smoothed luminance, so that a full HD frame costs a few
// milliseconds. Each tile is measured by Lucas-Kanade: the frame is shifted back by the whole
// samples of the tile's last translation, then one linearised step measures the rest, so that
// no interpolation locks sub-pixel motion to the sample grid.
class RegionDisplacementTracker
{
public:
    // Pixels of the region's shorter side below which the automatic layout has no room for tiles.
    static constexpr int minimumRegionSide = 32;
    static constexpr int minimumTileSamples = 12;

    // The automatic layout of region.
    explicit RegionDisplacementTracker(const QRect &region);
    explicit RegionDisplacementTracker(TileLayout layout);
    ~RegionDisplacementTracker();

    // Starts over with the first frame (its translation is zero); false when no tile of the
    // region has texture to follow.
    bool setReference(const QImage &frame);
    // Appends the translation of every followed tile in a later frame.
    void track(const QImage &frame);

    const TileLayout &layout() const { return m_layout; }
    // The layout's tiles with texture enough to follow, in the order of the series.
    const std::vector<int> &followedTiles() const { return m_followed; }
    const DisplacementSeries &series() const { return m_series; }
    // Expresses the horizontal translations in units factor times as wide, such as the pixels of
    // a frame as shown when its stored pixels are not square.
    void scaleHorizontalTranslations(double factor);
    // Frame pixels per reduced sample along each axis.
    int reduction() const { return m_layout.reduction; }

private:
    struct Tile;

    // Box-reduces the region's luminance, then smooths it so that sharp edges vary over a few
    // samples, as the linearised step assumes.
    void reduce(const QImage &frame);
    Tile referenceTile(QPoint corner) const;
    void chooseTiles();
    void measure(Tile &tile, float *x, float *y) const;

    TileLayout m_layout;
    int m_width = 0; // of the reduced region
    int m_height = 0;
    FloatPlane m_luminance; // the reduced region, smoothed
    FloatPlane m_scratch;
    MotionWorkerPool m_pool; // one thread: the caller's
    std::vector<int> m_sums; // one row of channel sums while reducing
    std::vector<Tile> m_tiles; // the followed ones
    std::vector<int> m_followed;
    DisplacementSeries m_series;
};

} // namespace ovra::motion_core
