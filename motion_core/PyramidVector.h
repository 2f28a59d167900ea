// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/KernelSet.h"

#include <cstdint>

namespace ovra::motion_core {

// Vector kernels of the spatial pyramid: the plane operations of PlaneOperations.h fused
// where one feeds the next, giving the same values bit for bit. Planes are dense
// row-major float arrays; each call covers a range of output rows, so that rows can be
// split over the worker pool. Scratch is private to the calling chunk.

// Source positions of bilinear upsampling along one axis, one entry per output sample,
// as the reference resampling computes them (see resampleTap in PlaneOperations.h).
struct ResampleAxis
{
    const std::int32_t *first;
    const std::int32_t *second;
    const float *fraction;
};

// One level of the decomposition: low = downsample(blur(input, pyramid kernel)), with
// max(1, (width + 1) / 2) x max(1, (height + 1) / 2) samples, the band-pass level
// level = input - upsample(low), both as the plane operations give them, and the level's
// quadrature source (RieszTransform.h), computed while the level's rows are still in cache.
// Rows are those of the level; a chunk computes the low-pass and level rows next to its own
// as well (into scratch), but writes to low only the rows whose row 2 y it covers, so chunks
// never write the same sample.
struct DecomposeJob
{
    const float *input;
    int width;
    int height;
    float *low;
    float *level;
    float *source;
    ResampleAxis columns; // upsampling from low to the level
    ResampleAxis rows;
};

// Scratch floats a chunk needs for planes of this width: the low-pass rows, two upsampled
// rows, a level row outside the chunk and five horizontally blurred level rows.
inline long long decomposeScratchFloats(int width)
{
    return 6LL * ((width + 1) / 2 + 17) + 8LL * (width + 16);
}

struct PyramidKernels
{
    void (*decomposeRows)(const DecomposeJob &job, float *scratch, int begin, int end);
};

// One table per vector kernel set, each compiled for its instruction set.
template <KernelSet set> const PyramidKernels &pyramidKernels();
template <> const PyramidKernels &pyramidKernels<KernelSet::Sse2>();
template <> const PyramidKernels &pyramidKernels<KernelSet::Avx2>();
template <> const PyramidKernels &pyramidKernels<KernelSet::Avx512>();

} // namespace ovra::motion_core
