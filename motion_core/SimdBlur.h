#pragma once

// The horizontal pass of a separable blur for the vector kernels (after SimdVector.h; same
// linkage rules). The values are those of blur() in Blur.cpp: per sample the taps are summed
// in the same order, edge samples repeated.

#include "motion_core/KernelConstants.h"
#include "motion_core/SimdVector.h"

namespace ovra::motion_core::simd {
namespace {

template<int tapCount>
void blurRow(const float *in, int width, const float (&taps)[tapCount], float *out)
{
    constexpr int radius = tapCount / 2;
    const auto scalarAt = [&](int x) {
        float sum = 0.0f;
        for (int j = 0; j < tapCount; ++j)
            sum += in[kernel::reflectEdgeRepeated(x + j - radius, width)] * taps[j];
        out[x] = sum;
    };
    int x = 0;
    for (; x < width && x < radius; ++x)
        scalarAt(x);
    for (; x + lanes + radius <= width; x += lanes) {
        Floats sum = splat(0.0f);
        for (int j = 0; j < tapCount; ++j)
            sum = sum + load(in + x + j - radius) * splat(taps[j]);
        store(out + x, sum);
    }
    for (; x < width; ++x)
        scalarAt(x);
}

} // namespace
} // namespace ovra::motion_core::simd
