// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/KernelSet.h"
#include "motion_core/MotionWorkerPool.h"
#include "motion_core/SpatialPyramid.h"
#include "motion_core/TemporalBandpassFilter.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <vector>

namespace ovra::motion_core {

struct PyramidKernels;
struct PhaseVectorKernels;
struct PixelKernels;

// The vector kernel tables of one set. Throws std::logic_error for the reference set,
// which has none; the set must be supported by the CPU before a kernel is called.
struct VectorKernels
{
    const PyramidKernels &pyramid;
    const PhaseVectorKernels &phase;
    const PixelKernels &pixels;
};
VectorKernels vectorKernels(KernelSet set);

// Where and how strongly the magnified luminance change is blended in (Composition.h).
struct CompositionMaskGeometry
{
    QRectF region; // normalised to the processing rectangle
    QRectF expandedRegion; // likewise
    float ringWeight;
    double featherRadius;
};

// The stages of the phase path with the fused vector kernels of one kernel set. Each
// method splits its rows over the pool and gives the bits the corresponding reference stages
// give (see the *Vector.h headers for the fusion).
//
// prepare() allocates every buffer for the configured geometry, so that the per-frame
// methods allocate nothing; they only ever see frames and planes of that geometry.
// One caller thread at a time.
class VectorStages
{
public:
    // set must be a vector kernel set that kernelSetSupported() accepts.
    VectorStages(KernelSet set, MotionWorkerPool &pool);

    // planeSizes: the pyramid's level sizes for the processing rectangle, then the
    // residual's (SpatialPyramid::planeSizes). Uses the pool's current thread count.
    // Throws std::bad_alloc.
    void prepare(const QSize &frameSize, const QRect &processingRectangle, const std::vector<QSize> &planeSizes,
                 const CompositionMaskGeometry &mask);

    // Luminance of the processing rectangle of the frame, read in place.
    void extractLuminance(const QImage &frame, FloatPlane &luminance);
    // The pyramid and the quadrature source of every level (RieszTransform.h), one plane per level.
    void decompose(const FloatPlane &luminance, Pyramid &pyramid, std::vector<FloatPlane> &sources);
    // A level and its quadrature source.
    struct LevelSamples
    {
        const FloatPlane &level;
        const FloatPlane &quadrature;
    };
    // The phase stages of one level: phase difference to the previous frame's level, accumulation, both
    // temporal filters, denoising, the shift of the level by alpha times the smoothed phase
    // and the reconstruction step upsample(coarser) + shifted level, which it returns.
    // coarser is the residual for the coarsest level, else the next coarser level's
    // result, so levels go from coarsest to finest; the finest gives the magnified
    // luminance. current is not changed. The filters' state must be prepared.
    const FloatPlane &shiftPhase(size_t level, const LevelSamples &current, const LevelSamples &previous,
                                 FloatPlane &accumulatorH, FloatPlane &accumulatorV, TemporalBandpassFilter &filterH,
                                 TemporalBandpassFilter &filterV, float alpha, const FloatPlane &coarser);
    // The full frame as ARGB32 with the masked luminance change added inside the processing
    // rectangle. Throws std::bad_alloc when the image cannot be created.
    QImage composite(const QImage &frame, const FloatPlane &luminance, const FloatPlane &magnified);

private:
    // Bilinear source positions of one axis, as the reference upsample computes them.
    struct AxisTaps
    {
        std::vector<std::int32_t> first;
        std::vector<std::int32_t> second;
        std::vector<float> fraction;

        void compute(int sourceLength, int length);
    };
    struct MaskTables
    {
        std::vector<float> columns;
        std::vector<float> rows;
    };

    float *scratch(int chunk) { return m_scratch.data() + static_cast<size_t>(chunk) * m_scratchPerChunk; }

    const VectorKernels m_kernels;
    MotionWorkerPool &m_pool;

    QSize m_frameSize;
    QRect m_processingRectangle;
    std::vector<AxisTaps> m_columnTaps; // per level: from the next coarser size to the level's
    std::vector<AxisTaps> m_rowTaps;
    std::vector<FloatPlane> m_lowpass; // the low-pass images between the levels
    std::vector<FloatPlane> m_reconstructed; // per level
    FloatPlane m_weightedH; // only the rows around chunk seams are used
    FloatPlane m_weightedV;
    FloatPlane m_amplitude;
    std::vector<ChunkRange> m_chunks; // the last loop's chunks, by number
    std::vector<ChunkRange> m_seams; // row ranges, numbered in order
    MaskTables m_region;
    MaskTables m_ring;
    float m_ringWeight = 0.0f;
    std::vector<float> m_scratch;
    size_t m_scratchPerChunk = 0;
};

} // namespace ovra::motion_core
