// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/KernelSet.h"
#include "motion_core/PyramidVector.h"

namespace ovra::motion_core {

// Vector kernels of the per-frame phase stages. They fuse the reference stages that read
// and write the same samples (PhaseKernels.h, RieszTransform.h, TemporalBandpassFilter.h,
// the blurs and the reconstruction step), so that a level's planes are streamed through
// memory about once per frame instead of once per stage. The Riesz pair is recomputed from
// the level's quadrature source (RieszTransform.h) wherever it is needed; it is a few
// samples' differences and cheaper than storing it. Each call covers a range of rows.

// The band-pass design in single precision, as the filter applies it.
struct FilterCoefficients
{
    float b0;
    float b1;
    float b2;
    float a1;
    float a2;
};

// The two delay planes of one filter for one level.
struct FilterState
{
    float *z1;
    float *z2;
};

// All per-frame phase work on one level, in two passes over its rows.
//
// Pass A per sample: the quaternion phase difference to the previous frame is added to the
// two accumulators, each accumulator runs through its temporal filter (the operations of
// TemporalBandpassFilter::process in the same order, no fused multiply-add), and the
// filtered phase is weighted by the local amplitude (weightedH = amplitude x filteredH).
// Pass B per sample: amplitude-weighted smoothing of the filtered phase (9-tap Gaussian
// blurs of weightedH, weightedV and amplitude, then the division), the phase shift of the
// level by alpha times the smoothed phase, and the pyramid's reconstruction step:
// reconstructed = upsample(coarser reconstruction) + shifted level. level itself stays
// unchanged.
//
// levelRows runs A on its rows and B four rows behind it on the rows whose blur window lies
// inside them, keeping the weighted rows in scratch. Rows whose window crosses into another
// chunk (seam rows) are left to seamRows, which reads the horizontally blurred weighted
// rows that levelRows kept in the three planes: every row within 8 rows of one of its
// chunk's inner ends.
struct PhaseLevelJob
{
    const float *level;
    const float *previous;
    const float *quadrature; // the quadrature sources of level and previous
    const float *previousQuadrature;
    int width;
    int height;
    float *accumulatorH;
    float *accumulatorV;
    FilterCoefficients filterH;
    FilterState stateH;
    FilterCoefficients filterV;
    FilterState stateV;
    float *weightedH; // blurred along rows, kept near chunk ends only
    float *weightedV;
    float *amplitude;
    float alpha;
    const float *coarser; // the reconstruction of the next coarser level, or the residual
    int coarserWidth;
    ResampleAxis columns; // upsampling from coarser to this level
    ResampleAxis rows;
    float *reconstructed;
};

// Scratch floats a chunk needs for levels of this width: three planes x nine blurred rows,
// one row each of the weighted planes and two upsampled rows, each padded by a vector.
inline long long phaseScratchFloats(int width)
{
    return 32LL * (width + 16);
}

struct PhaseVectorKernels
{
    void (*levelRows)(const PhaseLevelJob &job, float *scratch, int begin, int end);
    void (*seamRows)(const PhaseLevelJob &job, float *scratch, int begin, int end);
};

template <KernelSet set> const PhaseVectorKernels &phaseKernels();
template <> const PhaseVectorKernels &phaseKernels<KernelSet::Sse2>();
template <> const PhaseVectorKernels &phaseKernels<KernelSet::Avx2>();
template <> const PhaseVectorKernels &phaseKernels<KernelSet::Avx512>();

} // namespace ovra::motion_core
