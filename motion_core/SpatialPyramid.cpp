// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/SpatialPyramid.h"

#include "motion_core/PlaneOperations.h"
#include "motion_core/RieszTransform.h"

#include <algorithm>

namespace ovra::motion_core {

namespace {

QSize halved(const QSize &size)
{
    return QSize(std::max(1, (size.width() + 1) / 2), std::max(1, (size.height() + 1) / 2));
}

} // namespace

int levelCountForSize(const QSize &size)
{
    int shorterSide = std::min(size.width(), size.height());
    if (shorterSide < 32)
        return 0;
    int levels = 0;
    while (levels < maximumLevelCount && shorterSide >= 16) {
        ++levels;
        shorterSide = (shorterSide + 1) / 2;
    }
    return levels;
}

SpatialPyramid::SpatialPyramid(int levelCount, MotionWorkerPool &pool)
    : m_levelCount(std::max(1, levelCount))
    , m_pool(pool)
{
}

std::vector<QSize> SpatialPyramid::planeSizes(const QSize &inputSize) const
{
    std::vector<QSize> sizes{inputSize};
    for (int level = 0; level < m_levelCount; ++level)
        sizes.push_back(halved(sizes.back()));
    return sizes;
}

void SpatialPyramid::reserve(const QSize &inputSize, Pyramid &pyramid, FloatPlane &reconstruction)
{
    const std::vector<QSize> sizes = planeSizes(inputSize);
    pyramid.levels.resize(static_cast<size_t>(m_levelCount));
    for (int level = 0; level < m_levelCount; ++level)
        pyramid.levels[static_cast<size_t>(level)].reshape(sizes[level].width(), sizes[level].height());
    pyramid.residual.reshape(sizes.back().width(), sizes.back().height());
    for (FloatPlane *plane : {&m_blurScratch, &m_blurred, &m_upsampled, &reconstruction})
        plane->reshape(inputSize.width(), inputSize.height());
    for (FloatPlane &plane : m_lowpass)
        plane.reshape(sizes[1].width(), sizes[1].height());
}

void SpatialPyramid::decompose(const FloatPlane &luminance, Pyramid &pyramid)
{
    pyramid.levels.resize(static_cast<size_t>(m_levelCount));
    const FloatPlane *current = &luminance;
    for (int level = 0; level < m_levelCount; ++level) {
        // The last low-pass image is the residual; the others alternate between two buffers.
        FloatPlane &down = level + 1 == m_levelCount ? pyramid.residual : m_lowpass[level % 2];
        blur(m_pool, *current, pyramidKernel(), m_blurred, m_blurScratch);
        downsample(m_pool, m_blurred, down);
        upsample(m_pool, down, current->width(), current->height(), m_upsampled);
        subtract(m_pool, *current, m_upsampled, pyramid.levels[static_cast<size_t>(level)]);
        current = &down;
    }
}

void SpatialPyramid::rieszTransform(const FloatPlane &level, FloatPlane &r1, FloatPlane &r2)
{
    quadratureSource(m_pool, level, m_blurred, m_blurScratch);
    computeRieszPair(m_pool, m_blurred, r1, r2);
}

void SpatialPyramid::reconstruct(const Pyramid &pyramid, FloatPlane &output)
{
    if (pyramid.levels.empty()) {
        output.copyFrom(pyramid.residual);
        return;
    }
    // Each step reads the previous result from output while m_upsampled takes the new
    // size, so the two buffers never overlap.
    const FloatPlane *coarser = &pyramid.residual;
    for (auto level = pyramid.levels.rbegin(); level != pyramid.levels.rend(); ++level) {
        upsample(m_pool, *coarser, level->width(), level->height(), m_upsampled);
        add(m_pool, m_upsampled, *level, output);
        coarser = &output;
    }
}

} // namespace ovra::motion_core
