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

// output = downsample(blur(input, pyramid kernel)): only the kept samples are blurred.
// output has max(1, (width + 1) / 2) x max(1, (height + 1) / 2) samples.
struct ReduceJob
{
    const float *input;
    int width;
    int height;
    float *output;
};

// output = detail - upsample(coarse): a band-pass level of the decomposition. (The phase
// kernels do the reconstruction's upsample(coarse) + level themselves.)
struct ExpandJob
{
    const float *coarse;
    int coarseWidth;
    int coarseHeight;
    const float *detail;
    float *output;
    int width;
    int height;
    ResampleAxis columns;
    ResampleAxis rows;
};

// Scratch floats a chunk needs for planes of this width.
inline long long reduceScratchFloats(int width) { return 5LL * ((width + 1) / 2 + 1); }
inline long long expandScratchFloats(int width) { return 2LL * (width + 16); }

struct PyramidKernels
{
    void (*reduceRows)(const ReduceJob &job, float *scratch, int begin, int end);
    void (*expandRows)(const ExpandJob &job, float *scratch, int begin, int end);
};

// One table per vector kernel set, each compiled for its instruction set.
template<KernelSet set>
const PyramidKernels &pyramidKernels();
template<>
const PyramidKernels &pyramidKernels<KernelSet::Sse2>();
template<>
const PyramidKernels &pyramidKernels<KernelSet::Avx2>();
template<>
const PyramidKernels &pyramidKernels<KernelSet::Avx512>();

} // namespace ovra::motion_core
