// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/RegionDisplacementTracker.h"

#include "motion_core/PlaneOperations.h"
#include "motion_core/TextureAxes.h"

#include <algorithm>
#include <cmath>

namespace ovra::motion_core {

namespace {

constexpr int reducedSpan = 480; // reduced samples across the region's longer side, at most
constexpr int tilesAcross = 4; // the shorter side holds about this many tiles, at least
constexpr int largestTile = 24; // reduced samples per tile side
constexpr int smallestTile = RegionDisplacementTracker::minimumRegionSide / tilesAcross;
constexpr int margin = 3; // reduced samples a tile can shift before it leaves the region
constexpr double weakTexture = 0.1; // of the 90th percentile: tiles below follow noise, not motion
// Mean squared gradient, in grey levels per reduced sample, below which a tile is flat whatever
// the rest of the region holds: sensor and coding noise stay well below it.
constexpr double flatTexture = 1.0;

// Positions of count tiles side by side, centred along length samples.
std::vector<int> sideBySide(int length, int size, int count)
{
    std::vector<int> positions;
    for (int i = 0; i < count; ++i)
        positions.push_back((length - count * size) / 2 + i * size);
    return positions;
}

// Positions of count tiles spread evenly along length samples with margin on both sides,
// overlapping where the length is not a whole number of tiles.
std::vector<int> spreadTiles(int length, int size, int count)
{
    std::vector<int> positions;
    const int room = length - 2 * margin - size;
    for (int i = 0; i < count; ++i)
        positions.push_back(margin
                            + (count > 1 ? static_cast<int>(std::lround(double(i) * room / (count - 1))) : room / 2));
    return positions;
}

std::vector<QPoint> cornersOf(const std::vector<int> &columns, const std::vector<int> &rows)
{
    std::vector<QPoint> corners;
    for (const int y : rows)
        for (const int x : columns)
            corners.emplace_back(x, y);
    return corners;
}

} // namespace

struct RegionDisplacementTracker::Tile
{
    int left = 0;
    int top = 0;
    int size = 0;
    std::vector<float> reference;
    std::vector<float> gradientX; // without their mean, so that a change of brightness is no motion
    std::vector<float> gradientY;
    double inverseXX = 0.0; // of the regularised normal matrix
    double inverseXY = 0.0;
    double inverseYY = 0.0;
    double texture = 0.0; // trace of the normal matrix
    int shiftX = 0; // whole reduced samples of the last translation
    int shiftY = 0;

    bool flat() const { return texture < flatTexture * double(reference.size()); }
};

QRect TileLayout::tilePixels(int tile) const
{
    const QPoint corner = corners[size_t(tile)];
    return QRect(region.topLeft() + corner * reduction, QSize(tileSize, tileSize) * reduction);
}

TileLayout TileLayout::automatic(const QRect &region)
{
    TileLayout layout;
    layout.region = region;
    const int shorter = std::min(region.width(), region.height());
    layout.reduction = std::max(1,
                                std::min(std::max(region.width(), region.height()) / reducedSpan,
                                         shorter / RegionDisplacementTracker::minimumRegionSide));
    const QSize reduced = layout.reducedSize();
    layout.tileSize = std::min(largestTile, std::min(reduced.width(), reduced.height()) / tilesAcross);
    if (layout.tileSize < smallestTile)
        return layout;
    const int columns = (reduced.width() - 2 * margin) / layout.tileSize;
    const int rows = (reduced.height() - 2 * margin) / layout.tileSize;
    layout.corners = cornersOf(sideBySide(reduced.width(), layout.tileSize, columns),
                               sideBySide(reduced.height(), layout.tileSize, rows));
    return layout;
}

TileLayout TileLayout::grid(const QRect &region, int tilePixels)
{
    TileLayout layout;
    layout.region = region;
    for (int divisor = 1; divisor <= tilePixels / RegionDisplacementTracker::minimumTileSamples; ++divisor)
        if (tilePixels % divisor == 0)
            layout.reduction = divisor;
    layout.tileSize = tilePixels / layout.reduction;
    const QSize reduced = layout.reducedSize();
    const auto count = [&layout](int length) {
        const int room = length - 2 * margin;
        return room < layout.tileSize ? 0 : (room + layout.tileSize - 1) / layout.tileSize;
    };
    layout.corners = cornersOf(spreadTiles(reduced.width(), layout.tileSize, count(reduced.width())),
                               spreadTiles(reduced.height(), layout.tileSize, count(reduced.height())));
    return layout;
}

int TileLayout::gridMinimumSide(int tilePixels)
{
    return tilePixels + 2 * margin * grid(QRect(), tilePixels).reduction;
}

RegionDisplacementTracker::RegionDisplacementTracker(const QRect &region)
    : RegionDisplacementTracker(TileLayout::automatic(region))
{
}

RegionDisplacementTracker::RegionDisplacementTracker(TileLayout layout)
    : m_layout(std::move(layout))
    , m_width(m_layout.reducedSize().width())
    , m_height(m_layout.reducedSize().height())
{
}

RegionDisplacementTracker::~RegionDisplacementTracker() = default;

bool RegionDisplacementTracker::setReference(const QImage &frame)
{
    m_series = {};
    reduce(frame);
    chooseTiles();
    m_series.tileCount = static_cast<int>(m_tiles.size());
    if (m_tiles.empty())
        return false;
    m_series.frameCount = 1;
    m_series.xPixels.assign(m_tiles.size(), 0.0f);
    m_series.yPixels.assign(m_tiles.size(), 0.0f);
    return true;
}

void RegionDisplacementTracker::track(const QImage &frame)
{
    reduce(frame);
    const size_t offset = m_series.xPixels.size();
    m_series.xPixels.resize(offset + m_tiles.size());
    m_series.yPixels.resize(offset + m_tiles.size());
    for (size_t i = 0; i < m_tiles.size(); ++i)
        measure(m_tiles[i], &m_series.xPixels[offset + i], &m_series.yPixels[offset + i]);
    ++m_series.frameCount;
}

// Box averages of Rec. 709 luma; channel sums stay integers until each reduced row is done.
void RegionDisplacementTracker::reduce(const QImage &frame)
{
    const bool inPlace = frame.format() == QImage::Format_RGBA8888 || frame.format() == QImage::Format_RGBX8888;
    const QImage rgba = inPlace ? frame : frame.convertToFormat(QImage::Format_RGBA8888);
    const int r = m_layout.reduction;
    const QRect &region = m_layout.region;
    const float scale = 1.0f / static_cast<float>(r * r);
    m_luminance.reshape(m_width, m_height);
    m_sums.resize(3 * static_cast<size_t>(m_width));
    for (int y = 0; y < m_height; ++y) {
        std::fill(m_sums.begin(), m_sums.end(), 0);
        for (int row = 0; row < r; ++row) {
            const uchar *pixel = rgba.constScanLine(region.top() + y * r + row) + 4 * region.left();
            for (int x = 0; x < m_width; ++x) {
                int *sum = &m_sums[3 * static_cast<size_t>(x)];
                for (int k = 0; k < r; ++k, pixel += 4) {
                    sum[0] += pixel[0];
                    sum[1] += pixel[1];
                    sum[2] += pixel[2];
                }
            }
        }
        float *out = m_luminance.row(y);
        for (int x = 0; x < m_width; ++x) {
            const int *sum = &m_sums[3 * static_cast<size_t>(x)];
            out[x] = (0.2126f * sum[0] + 0.7152f * sum[1] + 0.0722f * sum[2]) * scale;
        }
    }
    blur(m_pool, m_luminance, pyramidKernel(), m_luminance, m_scratch);
}

RegionDisplacementTracker::Tile RegionDisplacementTracker::referenceTile(QPoint corner) const
{
    Tile tile;
    tile.left = corner.x();
    tile.top = corner.y();
    tile.size = m_layout.tileSize;
    const size_t count = static_cast<size_t>(tile.size) * tile.size;
    tile.reference.resize(count);
    tile.gradientX.resize(count);
    tile.gradientY.resize(count);
    double meanX = 0.0;
    double meanY = 0.0;
    for (int j = 0, k = 0; j < tile.size; ++j) {
        const float *line = m_luminance.row(tile.top + j) + tile.left;
        for (int i = 0; i < tile.size; ++i, ++k) {
            tile.reference[k] = line[i];
            tile.gradientX[k] = fivePointDerivative(line + i, 1);
            tile.gradientY[k] = fivePointDerivative(line + i, m_width);
            meanX += tile.gradientX[k];
            meanY += tile.gradientY[k];
        }
    }
    meanX /= double(count);
    meanY /= double(count);
    double xx = 0.0, xy = 0.0, yy = 0.0;
    for (size_t k = 0; k < count; ++k) {
        tile.gradientX[k] -= static_cast<float>(meanX);
        tile.gradientY[k] -= static_cast<float>(meanY);
        xx += double(tile.gradientX[k]) * tile.gradientX[k];
        xy += double(tile.gradientX[k]) * tile.gradientY[k];
        yy += double(tile.gradientY[k]) * tile.gradientY[k];
    }
    tile.texture = xx + yy;
    if (!tile.flat())
        TextureAxes::of(xx, xy, yy).inverse(&tile.inverseXX, &tile.inverseXY, &tile.inverseYY);
    return tile;
}

void RegionDisplacementTracker::chooseTiles()
{
    m_tiles.clear();
    m_followed.clear();
    std::vector<Tile> candidates;
    std::vector<int> indices;
    for (int i = 0; i < m_layout.tileCount(); ++i) {
        Tile tile = referenceTile(m_layout.corners[size_t(i)]);
        if (tile.flat())
            continue;
        candidates.push_back(std::move(tile));
        indices.push_back(i);
    }
    if (candidates.empty())
        return;
    std::vector<double> textures;
    for (const Tile &tile : candidates)
        textures.push_back(tile.texture);
    const auto percentile = textures.begin() + static_cast<std::ptrdiff_t>(0.9 * double(textures.size() - 1));
    std::nth_element(textures.begin(), percentile, textures.end());
    const double threshold = weakTexture * *percentile;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i].texture >= threshold) {
            m_tiles.push_back(std::move(candidates[i]));
            m_followed.push_back(indices[i]);
        }
    }
}

// The content moved by d: frame(x + n) - reference(x) ~ gradient . (n - d) for the whole shift n
// nearest the last translation; a second pass follows a motion of more than a sample.
void RegionDisplacementTracker::measure(Tile &tile, float *x, float *y) const
{
    double dx = tile.shiftX;
    double dy = tile.shiftY;
    for (int pass = 0; pass < 2; ++pass) {
        double bx = 0.0;
        double by = 0.0;
        for (int j = 0, k = 0; j < tile.size; ++j) {
            const float *line = m_luminance.row(tile.top + j + tile.shiftY) + tile.left + tile.shiftX;
            float rowX = 0.0f;
            float rowY = 0.0f;
            for (int i = 0; i < tile.size; ++i, ++k) {
                const float difference = line[i] - tile.reference[k];
                rowX += tile.gradientX[k] * difference;
                rowY += tile.gradientY[k] * difference;
            }
            bx += rowX;
            by += rowY;
        }
        dx = tile.shiftX - (tile.inverseXX * bx + tile.inverseXY * by);
        dy = tile.shiftY - (tile.inverseXY * bx + tile.inverseYY * by);
        const int nextX = std::clamp(static_cast<int>(std::lround(dx)), -margin, margin);
        const int nextY = std::clamp(static_cast<int>(std::lround(dy)), -margin, margin);
        if (nextX == tile.shiftX && nextY == tile.shiftY)
            break;
        tile.shiftX = nextX;
        tile.shiftY = nextY;
    }
    *x = static_cast<float>(dx * m_layout.reduction);
    *y = static_cast<float>(dy * m_layout.reduction);
}

void RegionDisplacementTracker::scaleHorizontalTranslations(double factor)
{
    for (float &x : m_series.xPixels)
        x = float(x * factor);
}

} // namespace ovra::motion_core
