// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/MotionWorkerPool.h"

#include <QSize>

#include <vector>

namespace ovra::motion_core {

// Pyramid depth for a frame or processing rectangle: one level per halving while the
// shorter side is at least 16 pixels, at most 6, so that structure up to about 64 pixels
// lies in the levels and is magnified, not left in the residual. 0 means too small to
// process (shorter side below 32).
constexpr int maximumLevelCount = 6;
int levelCountForSize(const QSize &size);

// Band-pass levels, finest first, and the low-pass remainder.
struct Pyramid
{
    std::vector<FloatPlane> levels;
    FloatPlane residual;
};

// Laplacian pyramid with Riesz quadrature pairs. The object holds only the level count,
// the pool and scratch planes that are reused from frame to frame; callers keep the
// pyramids. One caller thread at a time.
class SpatialPyramid
{
public:
    SpatialPyramid(int levelCount, MotionWorkerPool &pool);

    // Level sizes for an input of the given size, finest first, and the residual's size last.
    std::vector<QSize> planeSizes(const QSize &inputSize) const;
    // Grows every buffer that decompose and reconstruct need for inputs of this size, so
    // that an allocation failure shows up here rather than in the middle of a frame.
    void reserve(const QSize &inputSize, Pyramid &pyramid, FloatPlane &reconstruction);

    void decompose(const FloatPlane &luminance, Pyramid &pyramid);
    // The level's Riesz pair (RieszTransform.h); uses the blur scratch planes.
    void rieszTransform(const FloatPlane &level, FloatPlane &r1, FloatPlane &r2);
    // Collapses the pyramid; gives back the decomposed input to float rounding when the
    // levels were not changed.
    void reconstruct(const Pyramid &pyramid, FloatPlane &output);

private:
    int m_levelCount;
    MotionWorkerPool &m_pool;
    FloatPlane m_blurScratch;
    FloatPlane m_blurred;
    FloatPlane m_upsampled;
    FloatPlane m_lowpass[2];
};

} // namespace ovra::motion_core
