// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/VectorStages.h"

#include "motion_core/Composition.h"
#include "motion_core/PhaseVector.h"
#include "motion_core/PixelVector.h"
#include "motion_core/PlaneOperations.h"
#include "motion_core/ProcessingRegion.h"
#include "motion_core/PyramidVector.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace ovra::motion_core {

namespace {

// Cost units per row for runChunks: roughly the operations per sample times the width.
constexpr qint64 luminanceCost = 5;
constexpr qint64 decomposeCost = 24;
constexpr qint64 phaseCost = 160;
constexpr qint64 seamCost = 8 * 96;
constexpr qint64 compositeCost = 16;

// Non-premultiplied 32-bit pixels are read in place; anything else is converted once.
QImage readablePixels(const QImage &frame)
{
    const QImage::Format format = frame.format();
    if (format == QImage::Format_ARGB32 || format == QImage::Format_RGBA8888)
        return frame;
    QImage converted = frame.convertToFormat(QImage::Format_ARGB32);
    if (converted.isNull())
        throw std::bad_alloc();
    return converted;
}

PixelRows pixelRows(const QImage &image, const QPoint &topLeft)
{
    return {image.constBits() + topLeft.y() * image.bytesPerLine() + topLeft.x() * 4, image.bytesPerLine(),
            image.format() == QImage::Format_RGBA8888};
}

} // namespace

VectorKernels vectorKernels([[maybe_unused]] KernelSet set)
{
#ifndef OVRA_REFERENCE_KERNELS_ONLY
    switch (set) {
    case KernelSet::Sse2:
        return {pyramidKernels<KernelSet::Sse2>(), phaseKernels<KernelSet::Sse2>(), pixelKernels<KernelSet::Sse2>()};
    case KernelSet::Avx2:
        return {pyramidKernels<KernelSet::Avx2>(), phaseKernels<KernelSet::Avx2>(), pixelKernels<KernelSet::Avx2>()};
    case KernelSet::Avx512:
        return {pyramidKernels<KernelSet::Avx512>(), phaseKernels<KernelSet::Avx512>(),
                pixelKernels<KernelSet::Avx512>()};
    case KernelSet::Reference:
        break;
    }
#endif
    throw std::logic_error("The reference kernel set has no vector kernels.");
}

VectorStages::VectorStages(KernelSet set, MotionWorkerPool &pool)
    : m_kernels(vectorKernels(set))
    , m_pool(pool)
{
}

void VectorStages::AxisTaps::compute(int sourceLength, int length)
{
    first.resize(static_cast<size_t>(length));
    second.resize(static_cast<size_t>(length));
    fraction.resize(static_cast<size_t>(length));
    const double scale = static_cast<double>(sourceLength) / length;
    for (int i = 0; i < length; ++i) {
        const ResampleTap tap = resampleTap(i, scale, sourceLength);
        first[static_cast<size_t>(i)] = tap.first;
        second[static_cast<size_t>(i)] = tap.second;
        fraction[static_cast<size_t>(i)] = tap.fraction;
    }
}

void VectorStages::prepare(const QSize &frameSize, const QRect &processingRectangle,
                           const std::vector<QSize> &planeSizes, const CompositionMaskGeometry &mask)
{
    m_frameSize = frameSize;
    m_processingRectangle = processingRectangle;
    const size_t levels = planeSizes.size() - 1;
    m_columnTaps.resize(levels);
    m_rowTaps.resize(levels);
    m_reconstructed.resize(levels);
    m_lowpass.resize(levels - 1);
    for (size_t level = 0; level < levels; ++level) {
        const QSize &size = planeSizes[level];
        const QSize &coarser = planeSizes[level + 1];
        m_columnTaps[level].compute(coarser.width(), size.width());
        m_rowTaps[level].compute(coarser.height(), size.height());
        m_reconstructed[level].reshape(size.width(), size.height());
        if (level + 1 < levels)
            m_lowpass[level].reshape(coarser.width(), coarser.height());
    }
    const QSize &finest = planeSizes.front();
    for (FloatPlane *plane : {&m_weightedH, &m_weightedV, &m_amplitude})
        plane->reshape(finest.width(), finest.height());

    const int width = processingRectangle.width();
    const int height = processingRectangle.height();
    RegionMask(mask.region, width, height, mask.featherRadius).axisFactors(m_region.columns, m_region.rows);
    const bool withRing = mask.ringWeight > 0.0f && !sameNormalisedRect(mask.expandedRegion, mask.region);
    m_ringWeight = withRing ? mask.ringWeight : 0.0f;
    RegionMask(mask.expandedRegion, width, height, mask.featherRadius).axisFactors(m_ring.columns, m_ring.rows);

    m_scratchPerChunk
        = static_cast<size_t>(std::max(decomposeScratchFloats(finest.width()), phaseScratchFloats(finest.width())));
    m_chunks.resize(static_cast<size_t>(m_pool.threadCount()));
    m_seams.resize(static_cast<size_t>(m_pool.threadCount()));
    // Zero-filled: kernels may read the padding behind a row, never use it.
    m_scratch.assign(m_scratchPerChunk * static_cast<size_t>(m_pool.threadCount()), 0.0f);
}

void VectorStages::extractLuminance(const QImage &frame, FloatPlane &luminance)
{
    const QImage pixels = readablePixels(frame);
    const int width = m_processingRectangle.width();
    luminance.reshape(width, m_processingRectangle.height());
    const LuminanceJob job{pixelRows(pixels, m_processingRectangle.topLeft()), luminance.data(), width};
    parallelFor(m_pool, luminance.height(), luminanceCost * width,
                [&](int begin, int end) { m_kernels.pixels.luminanceRows(job, begin, end); });
}

void VectorStages::decompose(const FloatPlane &luminance, Pyramid &pyramid, std::vector<FloatPlane> &sources)
{
    const size_t levels = m_reconstructed.size();
    pyramid.levels.resize(levels);
    sources.resize(levels);
    const FloatPlane *current = &luminance;
    for (size_t level = 0; level < levels; ++level) {
        // The last low-pass image is the residual.
        FloatPlane &low = level + 1 == levels ? pyramid.residual : m_lowpass[level];
        low.reshape(std::max(1, (current->width() + 1) / 2), std::max(1, (current->height() + 1) / 2));
        FloatPlane &band = pyramid.levels[level];
        band.reshape(current->width(), current->height());
        sources[level].reshape(current->width(), current->height());
        const AxisTaps &columns = m_columnTaps[level];
        const AxisTaps &rows = m_rowTaps[level];
        const DecomposeJob job{current->data(),
                               current->width(),
                               current->height(),
                               low.data(),
                               band.data(),
                               sources[level].data(),
                               {columns.first.data(), columns.second.data(), columns.fraction.data()},
                               {rows.first.data(), rows.second.data(), rows.fraction.data()}};
        auto body = [&](const ChunkRange &chunk) {
            m_kernels.pyramid.decomposeRows(job, scratch(chunk.index), chunk.begin, chunk.end);
        };
        runChunks(m_pool, current->height(), decomposeCost * current->width(), body);
        current = &low;
    }
}

const FloatPlane &VectorStages::shiftPhase(size_t level, const LevelSamples &current, const LevelSamples &previous,
                                           FloatPlane &accumulatorH, FloatPlane &accumulatorV,
                                           TemporalBandpassFilter &filterH, TemporalBandpassFilter &filterV,
                                           float alpha, const FloatPlane &coarser)
{
    const int width = current.level.width();
    const int height = current.level.height();
    for (FloatPlane *plane : {&m_weightedH, &m_weightedV, &m_amplitude})
        plane->reshape(width, height);
    FloatPlane &reconstructed = m_reconstructed[level];
    const AxisTaps &columns = m_columnTaps[level];
    const AxisTaps &rows = m_rowTaps[level];
    const PhaseLevelJob job{current.level.data(),
                            previous.level.data(),
                            current.quadrature.data(),
                            previous.quadrature.data(),
                            width,
                            height,
                            accumulatorH.data(),
                            accumulatorV.data(),
                            filterH.singlePrecisionCoefficients(),
                            filterH.state(level),
                            filterV.singlePrecisionCoefficients(),
                            filterV.state(level),
                            m_weightedH.data(),
                            m_weightedV.data(),
                            m_amplitude.data(),
                            alpha,
                            coarser.data(),
                            coarser.width(),
                            {columns.first.data(), columns.second.data(), columns.fraction.data()},
                            {rows.first.data(), rows.second.data(), rows.fraction.data()},
                            reconstructed.data()};
    std::fill(m_chunks.begin(), m_chunks.end(), ChunkRange{-1, 0, 0});
    auto levelBody = [&](const ChunkRange &chunk) {
        m_chunks[static_cast<size_t>(chunk.index)] = chunk;
        m_kernels.phase.levelRows(job, scratch(chunk.index), chunk.begin, chunk.end);
    };
    runChunks(m_pool, height, phaseCost * width, levelBody);

    // The rows within 4 of an inner chunk end, merged where they meet.
    int seams = 0;
    for (const ChunkRange &chunk : m_chunks) {
        if (chunk.index < 1)
            continue;
        const int first = std::max(0, chunk.begin - 4);
        const int end = std::min(height, chunk.begin + 4);
        if (seams > 0 && first <= m_seams[static_cast<size_t>(seams - 1)].end)
            m_seams[static_cast<size_t>(seams - 1)].end = end;
        else
            m_seams[static_cast<size_t>(seams++)] = {seams, first, end};
    }
    auto seamBody = [&](const ChunkRange &chunk) {
        for (int seam = chunk.begin; seam < chunk.end; ++seam) {
            const ChunkRange &rows = m_seams[static_cast<size_t>(seam)];
            m_kernels.phase.seamRows(job, scratch(chunk.index), rows.begin, rows.end);
        }
    };
    runChunks(m_pool, seams, seamCost * width, seamBody);
    return reconstructed;
}

QImage VectorStages::composite(const QImage &frame, const FloatPlane &luminance, const FloatPlane &magnified)
{
    const QImage pixels = readablePixels(frame);
    // A new image every frame: the caller owns it and may paint on it without a copy.
    QImage result(m_frameSize, QImage::Format_ARGB32);
    if (result.isNull())
        throw std::bad_alloc();
    const CompositeJob job{pixelRows(pixels, QPoint(0, 0)),
                           reinterpret_cast<std::uint32_t *>(result.bits()),
                           result.bytesPerLine(),
                           m_frameSize.width(),
                           m_processingRectangle.x(),
                           m_processingRectangle.y(),
                           m_processingRectangle.width(),
                           m_processingRectangle.height(),
                           luminance.data(),
                           magnified.data(),
                           {m_region.columns.data(), m_region.rows.data()},
                           {m_ring.columns.data(), m_ring.rows.data()},
                           m_ringWeight};
    parallelFor(m_pool, m_frameSize.height(), compositeCost * m_frameSize.width(),
                [&](int begin, int end) { m_kernels.pixels.compositeRows(job, begin, end); });
    return result;
}

} // namespace ovra::motion_core
