// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/CameraMotionEstimator.h"

#include "motion_core/FrameWarp.h"
#include "motion_core/TextureAxes.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ovra::motion_core {

namespace {

constexpr int finePatch = 32; // pixels per patch side at full resolution
constexpr int coarsePatch = 16; // samples per patch side on the reduced luminance
constexpr int patchSpacing = 48; // pixels between patch centres, at least
constexpr int patchesAcross = 12; // along the region's longer side, at most
constexpr int coarseSpan = 64; // samples across the reduced window's shorter side, at least
constexpr int border = 2; // extra samples around a reference patch for its derivatives
constexpr double weakTexture = 0.1; // of the 90th percentile
constexpr double flatTexture = 1.0; // mean squared gradient in grey levels
// Residual scales under which the robust fit stops telling patches apart: below the noise of
// a patch's position at each level, in pixels.
constexpr double coarseResidualFloor = 0.1;
constexpr double fineResidualFloor = 0.01;
constexpr double converged = 0.001; // pixels of change at the region's corners
constexpr double motionMemory = 0.05; // a new frame's share in a patch's speed: some twenty frames
// Pixels around a fine patch's window beyond its taps: how far the iterations after the first
// may move it from where the coarse level left it.
constexpr int windowMargin = 4;

float luma(const uchar *pixel)
{
    return 0.2126f * pixel[0] + 0.7152f * pixel[1] + 0.0722f * pixel[2];
}

float bilinear(const FloatPlane &plane, double x, double y)
{
    x = std::clamp(x, 0.0, double(plane.width() - 1));
    y = std::clamp(y, 0.0, double(plane.height() - 1));
    const int x0 = std::min(static_cast<int>(x), plane.width() - 2 < 0 ? 0 : plane.width() - 2);
    const int y0 = std::min(static_cast<int>(y), plane.height() - 2 < 0 ? 0 : plane.height() - 2);
    const int x1 = std::min(x0 + 1, plane.width() - 1);
    const int y1 = std::min(y0 + 1, plane.height() - 1);
    const float fx = static_cast<float>(x - x0);
    const float fy = static_cast<float>(y - y0);
    const float top = plane.at(x0, y0) + fx * (plane.at(x1, y0) - plane.at(x0, y0));
    const float bottom = plane.at(x0, y1) + fx * (plane.at(x1, y1) - plane.at(x0, y1));
    return top + fy * (bottom - top);
}

float bicubic(const FloatPlane &plane, double x, double y)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    double wx[4];
    double wy[4];
    catmullRomWeights(x - fx, wx);
    catmullRomWeights(y - fy, wy);
    const int lastX = plane.width() - 1;
    const int lastY = plane.height() - 1;
    const int x0 = static_cast<int>(std::clamp(fx, -4.0, lastX + 4.0)) - 1;
    const int y0 = static_cast<int>(std::clamp(fy, -4.0, lastY + 4.0)) - 1;
    float sum = 0.0f;
    for (int j = 0; j < 4; ++j) {
        const float *line = plane.row(std::clamp(y0 + j, 0, lastY));
        float row = 0.0f;
        for (int i = 0; i < 4; ++i)
            row += float(wx[i]) * line[std::clamp(x0 + i, 0, lastX)];
        sum += float(wy[j]) * row;
    }
    return sum;
}

// Luminance of frame over rect, edges repeated where rect leaves the frame.
void luminanceWindow(const QImage &frame, const QRect &rect, FloatPlane &out)
{
    out.reshape(rect.width(), rect.height());
    const int lastX = frame.width() - 1;
    const int lastY = frame.height() - 1;
    for (int j = 0; j < rect.height(); ++j) {
        const uchar *line = frame.constScanLine(std::clamp(rect.top() + j, 0, lastY));
        float *row = out.row(j);
        for (int i = 0; i < rect.width(); ++i)
            row[i] = luma(line + 4 * std::clamp(rect.left() + i, 0, lastX));
    }
}

// Solves the 4 x 4 system in place by Gaussian elimination with partial pivoting.
bool solve4(std::array<std::array<double, 5>, 4> &m, std::array<double, 4> *x)
{
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::abs(m[r][c]) > std::abs(m[pivot][c]))
                pivot = r;
        if (std::abs(m[pivot][c]) < 1e-12)
            return false;
        std::swap(m[c], m[pivot]);
        for (int r = c + 1; r < 4; ++r) {
            const double f = m[r][c] / m[c][c];
            for (int k = c; k < 5; ++k)
                m[r][k] -= f * m[c][k];
        }
    }
    for (int c = 3; c >= 0; --c) {
        double v = m[c][4];
        for (int k = c + 1; k < 4; ++k)
            v -= m[c][k] * (*x)[k];
        (*x)[c] = v / m[c][c];
    }
    return true;
}

double median(std::vector<double> values)
{
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

struct CameraMotionEstimator::Patch
{
    QPointF centre; // pixels of the frame
    std::vector<float> reference;
    std::vector<float> gradientX; // without their mean, so that a change of brightness is no motion
    std::vector<float> gradientY;
    // Inverse of the normal matrix over the directions the texture fixes, in samples.
    double inverseXX = 0.0, inverseXY = 0.0, inverseYY = 0.0;
    // The same directions with unit total weight, in shown pixels: the patch's say in the fit.
    double informationXX = 0.0, informationXY = 0.0, informationYY = 0.0;
    double texture = 0.0; // trace of the normal matrix per sample
};

struct CameraMotionEstimator::Level
{
    int reduction = 1; // frame pixels per sample
    int size = finePatch; // samples per patch side
    double residualFloor = fineResidualFloor;
    std::vector<Patch> patches;
    // The frame's luminance: the coarse level's one reduced window, the fine level's one
    // window around each patch; origins in frame pixels.
    std::vector<FloatPlane> windows;
    std::vector<QPointF> origins;

    QPointF samplePosition(const Patch &patch, int i, int j) const
    {
        const double offset = 0.5 * (size - 1);
        return patch.centre + QPointF((i - offset) * reduction, (j - offset) * reduction);
    }
};

CameraMotionEstimator::CameraMotionEstimator(const QRect &region, double pixelAspectRatio)
    : m_region(region)
    , m_aspect(std::isfinite(pixelAspectRatio) && pixelAspectRatio > 0.0 ? pixelAspectRatio : 1.0)
    , m_centre(QPointF(region.center()).x() * m_aspect, QPointF(region.center()).y())
{
}

CameraMotionEstimator::~CameraMotionEstimator() = default;

QTransform CameraMotionEstimator::transformOf(const Similarity &s) const
{
    // The similarity acts on shown pixels (x times the aspect); the transform on stored ones.
    const double cx = m_centre.x();
    const double cy = m_centre.y();
    const double dx = cx - (s.a * cx - s.b * cy) + s.tx;
    const double dy = cy - (s.b * cx + s.a * cy) + s.ty;
    return QTransform(s.a, s.b * m_aspect, -s.b / m_aspect, s.a, dx / m_aspect, dy);
}

CameraMotionSummary summarizeCameraMotion(const std::vector<QTransform> &transforms, const QSize &frameSize,
                                          double pixelAspectRatio)
{
    const double aspect = std::isfinite(pixelAspectRatio) && pixelAspectRatio > 0.0 ? pixelAspectRatio : 1.0;
    const QPointF centre(0.5 * (frameSize.width() - 1), 0.5 * (frameSize.height() - 1));
    CameraMotionSummary summary;
    double squares = 0.0;
    for (const QTransform &transform : transforms) {
        const QPointF moved = transform.map(centre) - centre;
        const double distance = std::hypot(moved.x() * aspect, moved.y());
        squares += distance * distance;
        summary.peakPixels = std::max(summary.peakPixels, distance);
    }
    if (!transforms.empty())
        summary.rmsPixels = std::sqrt(squares / double(transforms.size()));
    return summary;
}

namespace {

// Centres of patches of side `size` spread over the region, at least patchSpacing apart.
std::vector<QPointF> patchCentres(const QRect &region, int size)
{
    const auto count = [size](int length, int most) { return std::clamp((length - size) / patchSpacing + 1, 1, most); };
    const bool wide = region.width() >= region.height();
    const int columns = count(region.width(), wide ? patchesAcross : patchesAcross * 2 / 3);
    const int rows = count(region.height(), wide ? patchesAcross * 2 / 3 : patchesAcross);
    std::vector<QPointF> centres;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            centres.emplace_back(region.left() + (region.width() - 1) * (c + 0.5) / columns,
                                 region.top() + (region.height() - 1) * (r + 0.5) / rows);
    return centres;
}

QImage rgbaOf(const QImage &frame)
{
    const bool inPlace = frame.format() == QImage::Format_RGBA8888 || frame.format() == QImage::Format_RGBX8888;
    return inPlace ? frame : frame.convertToFormat(QImage::Format_RGBA8888);
}

} // namespace

// A level's luminance of the frame: one box-reduced plane of the window for the coarse level,
// one plane around each patch's place under transform for the fine one.
void CameraMotionEstimator::load(Level &level, const QImage &frame, const QTransform &transform)
{
    if (level.reduction > 1) {
        const int r = level.reduction;
        level.windows.resize(1);
        level.origins.assign(1, m_window.topLeft());
        FloatPlane &plane = level.windows[0];
        plane.reshape(m_window.width() / r, m_window.height() / r);
        const float scale = 1.0f / float(r * r);
        for (int y = 0; y < plane.height(); ++y) {
            float *out = plane.row(y);
            std::fill(out, out + plane.width(), 0.0f);
            for (int row = 0; row < r; ++row) {
                const uchar *pixel = frame.constScanLine(m_window.top() + y * r + row) + 4 * m_window.left();
                for (int x = 0; x < plane.width(); ++x)
                    for (int k = 0; k < r; ++k, pixel += 4)
                        out[x] += luma(pixel);
            }
            for (int x = 0; x < plane.width(); ++x)
                out[x] *= scale;
        }
        return;
    }
    level.windows.resize(level.patches.size());
    level.origins.resize(level.patches.size());
    const double half = 0.5 * (level.size - 1) + border + windowMargin;
    for (size_t k = 0; k < level.patches.size(); ++k) {
        const QPointF centre = level.patches[k].centre;
        const QRectF square(centre - QPointF(half, half), centre + QPointF(half, half));
        const QRect rect = transform.mapRect(square).toAlignedRect().adjusted(-2, -2, 2, 2);
        luminanceWindow(frame, rect, level.windows[k]);
        level.origins[k] = rect.topLeft();
    }
}

// The level's luminance at the patch's sample positions, `extra` samples beyond its sides,
// mapped by transform; row by row.
void CameraMotionEstimator::sampleSquare(const Level &level, size_t patch, const QTransform &transform, int extra,
                                         std::vector<float> &out) const
{
    const bool coarse = level.reduction > 1;
    const FloatPlane &plane = level.windows[coarse ? 0 : patch];
    const QPointF origin = level.origins[coarse ? 0 : patch];
    const double r = level.reduction;
    out.clear();
    for (int j = -extra; j < level.size + extra; ++j) {
        for (int i = -extra; i < level.size + extra; ++i) {
            const QPointF p = transform.map(level.samplePosition(level.patches[patch], i, j)) - origin;
            // A reduced sample covers r pixels: pixel x lies at (x + 0.5) / r - 0.5 samples.
            out.push_back(coarse ? bilinear(plane, (p.x() + 0.5) / r - 0.5, (p.y() + 0.5) / r - 0.5)
                                 : bicubic(plane, p.x(), p.y()));
        }
    }
}

void CameraMotionEstimator::setReferencePatches(Level &level)
{
    const int n = level.size;
    const int side = n + 2 * border;
    const double r = level.reduction;
    for (size_t k = 0; k < level.patches.size(); ++k) {
        Patch &patch = level.patches[k];
        sampleSquare(level, k, QTransform(), border, m_samples);
        patch.reference.resize(size_t(n) * n);
        patch.gradientX.resize(size_t(n) * n);
        patch.gradientY.resize(size_t(n) * n);
        double meanX = 0.0, meanY = 0.0;
        for (int j = 0, index = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i, ++index) {
                const float *sample = &m_samples[size_t(j + border) * side + size_t(i + border)];
                patch.reference[index] = *sample;
                patch.gradientX[index] = fivePointDerivative(sample, 1);
                patch.gradientY[index] = fivePointDerivative(sample, side);
                meanX += patch.gradientX[index];
                meanY += patch.gradientY[index];
            }
        }
        const double count = double(n) * n;
        double xx = 0.0, xy = 0.0, yy = 0.0;
        for (size_t i = 0; i < patch.reference.size(); ++i) {
            patch.gradientX[i] -= float(meanX / count);
            patch.gradientY[i] -= float(meanY / count);
            xx += double(patch.gradientX[i]) * patch.gradientX[i];
            xy += double(patch.gradientX[i]) * patch.gradientY[i];
            yy += double(patch.gradientY[i]) * patch.gradientY[i];
        }
        patch.texture = (xx + yy) / count;
        if (patch.texture < flatTexture)
            continue; // no say: its inverse and information stay zero
        const TextureAxes axes = TextureAxes::of(xx, xy, yy);
        axes.inverse(&patch.inverseXX, &patch.inverseXY, &patch.inverseYY);
        const double c = axes.c;
        const double s = axes.s;
        const double weakShare = axes.weak / (axes.strong + axes.weak);
        const double strongShare = 1.0 - weakShare;
        // In shown pixels a stored pixel is m_aspect wide: information scales by 1 / aspect^2 along x.
        const double ax = 1.0 / (m_aspect * r);
        const double ay = 1.0 / r;
        patch.informationXX = (c * c * strongShare + s * s * weakShare) * ax * ax;
        patch.informationXY = c * s * (strongShare - weakShare) * ax * ay;
        patch.informationYY = (s * s * strongShare + c * c * weakShare) * ay * ay;
        const double trace = patch.informationXX + patch.informationYY;
        patch.informationXX /= trace;
        patch.informationXY /= trace;
        patch.informationYY /= trace;
    }
}

// Patches too weak beside the region's best follow noise, not motion: they go from every level.
void CameraMotionEstimator::keepTexturedPatches()
{
    const std::vector<Patch> &fine = m_levels.back().patches;
    std::vector<double> textures;
    for (const Patch &patch : fine)
        textures.push_back(patch.texture);
    const auto percentile = textures.begin() + static_cast<std::ptrdiff_t>(0.9 * double(textures.size() - 1));
    std::nth_element(textures.begin(), percentile, textures.end());
    const double threshold = std::max(flatTexture, weakTexture * *percentile);
    std::vector<bool> keep;
    for (const Patch &patch : fine)
        keep.push_back(patch.texture >= threshold);
    for (Level &level : m_levels) {
        std::vector<Patch> kept;
        for (size_t k = 0; k < level.patches.size(); ++k)
            if (keep[k])
                kept.push_back(std::move(level.patches[k]));
        level.patches = std::move(kept);
    }
}

bool CameraMotionEstimator::setReference(const QImage &input)
{
    const QImage frame = rgbaOf(input);
    m_similarity = {};
    m_levels.clear();
    const int size = std::min(finePatch, std::min(m_region.width(), m_region.height())) & ~1;
    if (size < 8 || !frame.rect().contains(m_region))
        return false;
    // The coarse level works on a window around the region, so that it sees the region's
    // content after the camera moved by many pixels.
    const int margin = std::max(64, std::max(frame.width(), frame.height()) / 10);
    m_window = m_region.adjusted(-margin, -margin, margin, margin).intersected(frame.rect());
    Level coarse;
    coarse.reduction = std::clamp(std::min(m_window.width(), m_window.height()) / coarseSpan, 1, 4);
    coarse.size = coarsePatch;
    coarse.residualFloor = coarseResidualFloor * coarse.reduction;
    Level fine;
    fine.size = size;
    for (const QPointF &centre : patchCentres(m_region, size)) {
        coarse.patches.push_back(Patch{centre, {}, {}, {}});
        fine.patches.push_back(Patch{centre, {}, {}, {}});
    }
    if (coarse.reduction > 1)
        m_levels.push_back(std::move(coarse));
    m_levels.push_back(std::move(fine));
    for (Level &level : m_levels) {
        load(level, frame, QTransform());
        setReferencePatches(level);
    }
    keepTexturedPatches();
    m_motionEnergy.assign(m_levels.back().patches.size(), 0.0);
    m_lastObserved.clear();
    return m_levels.back().patches.size() >= 2;
}

QTransform CameraMotionEstimator::track(const QImage &input)
{
    const QImage frame = rgbaOf(input);
    for (Level &level : m_levels)
        refine(level, frame, level.reduction > 1 ? 2 : 4);
    return transformOf(m_similarity);
}

// Moves each patch by one Lucas-Kanade step from where the current estimate puts it, fits the
// similarity to where the patches went, and repeats until the fit settles.
void CameraMotionEstimator::refine(Level &level, const QImage &frame, int iterations)
{
    std::vector<QPointF> observed(level.patches.size());
    // Once per frame: later iterations move the patches by less than the windows' margin.
    load(level, frame, transformOf(m_similarity));
    for (int iteration = 0; iteration < iterations; ++iteration) {
        const QTransform transform = transformOf(m_similarity);
        for (size_t k = 0; k < level.patches.size(); ++k) {
            const Patch &patch = level.patches[k];
            sampleSquare(level, k, transform, 0, m_samples);
            double mean = 0.0;
            for (size_t i = 0; i < m_samples.size(); ++i)
                mean += m_samples[i] - patch.reference[i];
            mean /= double(m_samples.size());
            double bx = 0.0, by = 0.0;
            for (size_t i = 0; i < m_samples.size(); ++i) {
                const double difference = m_samples[i] - patch.reference[i] - mean;
                bx += patch.gradientX[i] * difference;
                by += patch.gradientY[i] * difference;
            }
            // Where the estimate puts the patch, the frame shows the reference's content from
            // delta further on: the camera maps the patch's centre to transform(centre - delta).
            const double r = level.reduction;
            const QPointF delta((patch.inverseXX * bx + patch.inverseXY * by) * r,
                                (patch.inverseXY * bx + patch.inverseYY * by) * r);
            const QPointF moved = transform.map(patch.centre - delta);
            observed[k] = QPointF(moved.x() * m_aspect, moved.y());
        }
        const QTransform before = transform;
        if (!fit(level, observed))
            return;
        const QTransform after = transformOf(m_similarity);
        double change = 0.0;
        for (const QPointF &corner : {QPointF(m_region.topLeft()), QPointF(m_region.bottomRight())})
            change = std::max(change, QLineF(before.map(corner), after.map(corner)).length());
        if (change < converged)
            break;
    }
    if (level.reduction == 1)
        rememberMotion(level, observed);
}

// A patch's own motion shows in how fast it moves: the static world moves with the camera alone,
// a part of the machine with the camera and on its own. Each patch keeps the mean square of its
// speed in frame pixels per frame, along the directions its texture fixes.
void CameraMotionEstimator::rememberMotion(const Level &level, const std::vector<QPointF> &observed)
{
    if (m_lastObserved.size() == observed.size()) {
        for (size_t k = 0; k < observed.size(); ++k) {
            const Patch &patch = level.patches[k];
            const QPointF v = observed[k] - m_lastObserved[k];
            const double energy = v.x() * v.x() * patch.informationXX + 2.0 * v.x() * v.y() * patch.informationXY
                + v.y() * v.y() * patch.informationYY;
            m_motionEnergy[k] += motionMemory * (energy - m_motionEnergy[k]);
        }
    }
    m_lastObserved = observed;
}

// How much each patch is trusted: fully while it moves no faster than the steadiest quarter of
// the patches, less the faster it moves beyond them, so that the camera is told by what stays
// still even where moving parts fill much of the frame.
std::vector<double> CameraMotionEstimator::trust() const
{
    std::vector<double> energies = m_motionEnergy;
    std::vector<double> trust(energies.size(), 1.0);
    if (energies.empty())
        return trust;
    const auto quarter = energies.begin() + static_cast<std::ptrdiff_t>(energies.size() / 4);
    std::nth_element(energies.begin(), quarter, energies.end());
    const double steady = std::max(fineResidualFloor * fineResidualFloor, *quarter);
    for (size_t k = 0; k < trust.size(); ++k)
        trust[k] = steady / std::max(steady, m_motionEnergy[k]);
    return trust;
}

// Weighted least squares of the similarity in shown pixels, reweighted by Tukey's biweight of
// each patch's residual so that what moves on its own stops pulling the fit.
bool CameraMotionEstimator::fit(const Level &level, const std::vector<QPointF> &observed)
{
    const size_t count = level.patches.size();
    const std::vector<double> prior = trust();
    std::vector<double> weights = prior;
    std::vector<double> residuals(count, 0.0);
    Similarity result = m_similarity;
    for (int round = 0; round < 5; ++round) {
        std::array<std::array<double, 5>, 4> normal{};
        for (size_t k = 0; k < count; ++k) {
            const Patch &patch = level.patches[k];
            if (weights[k] <= 0.0)
                continue;
            const double u = patch.centre.x() * m_aspect - m_centre.x();
            const double v = patch.centre.y() - m_centre.y();
            const double yx = observed[k].x() - m_centre.x();
            const double yy = observed[k].y() - m_centre.y();
            const double jx[4] = {u, -v, 1.0, 0.0};
            const double jy[4] = {v, u, 0.0, 1.0};
            const double w = weights[k];
            for (int i = 0; i < 4; ++i) {
                // Row i of J^T M, with M the patch's information.
                const double mx = jx[i] * patch.informationXX + jy[i] * patch.informationXY;
                const double my = jx[i] * patch.informationXY + jy[i] * patch.informationYY;
                for (int j = 0; j < 4; ++j)
                    normal[i][j] += w * (mx * jx[j] + my * jy[j]);
                normal[i][4] += w * (mx * yx + my * yy);
            }
        }
        std::array<double, 4> x{};
        if (!solve4(normal, &x))
            return false;
        result = Similarity{x[0], x[1], x[2], x[3]};
        std::vector<double> spread;
        for (size_t k = 0; k < count; ++k) {
            const Patch &patch = level.patches[k];
            const double u = patch.centre.x() * m_aspect - m_centre.x();
            const double v = patch.centre.y() - m_centre.y();
            const double rx = observed[k].x() - m_centre.x() - (result.a * u - result.b * v + result.tx);
            const double ry = observed[k].y() - m_centre.y() - (result.b * u + result.a * v + result.ty);
            residuals[k] = std::sqrt(std::max(0.0,
                                              rx * rx * patch.informationXX + 2.0 * rx * ry * patch.informationXY
                                                  + ry * ry * patch.informationYY));
            if (patch.texture >= flatTexture && prior[k] >= 0.5)
                spread.push_back(residuals[k]);
        }
        if (spread.empty())
            return false;
        const double scale = std::max(level.residualFloor, 1.4826 * median(spread));
        const double limit = 4.685 * scale;
        for (size_t k = 0; k < count; ++k) {
            const double ratio = residuals[k] / limit;
            weights[k] = prior[k] * (ratio < 1.0 ? (1.0 - ratio * ratio) * (1.0 - ratio * ratio) : 0.0);
        }
    }
    m_similarity = result;
    return true;
}

} // namespace ovra::motion_core
