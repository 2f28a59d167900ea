// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The passes of a separable blur for the vector kernels (after VectorRegisters.h; same
// linkage rules). The values are those of blur() in PlaneOperations.cpp: per sample the taps are summed
// in the same order (kernel::symmetricSum), edge samples repeated.

#include "motion_core/KernelConstants.h"
#include "motion_core/VectorRegisters.h"

namespace ovra::motion_core::vector_kernels {
namespace {

// The sum of taps at x over rows[j] + x, the rows one output row needs.
template <int tapCount>
OVRA_VECTOR_INLINE Floats blurColumns(const float *const *rows, int x, const float (&taps)[tapCount])
{
    Floats samples[tapCount];
    for (int j = 0; j < tapCount; ++j)
        samples[j] = load(rows[j] + x);
    return kernel::symmetricSum(samples, taps, tapCount);
}

template <int tapCount> void blurRow(const float *in, int width, const float (&taps)[tapCount], float *out)
{
    constexpr int radius = tapCount / 2;
    const auto scalarAt = [&](int x) {
        float samples[tapCount];
        for (int j = 0; j < tapCount; ++j)
            samples[j] = in[kernel::reflectEdgeRepeated(x + j - radius, width)];
        out[x] = kernel::symmetricSum(samples, taps, tapCount);
    };
    int x = 0;
    for (; x < width && x < radius; ++x)
        scalarAt(x);
    for (; x + lanes + radius <= width; x += lanes) {
        Floats samples[tapCount];
        for (int j = 0; j < tapCount; ++j)
            samples[j] = load(in + x + j - radius);
        store(out + x, kernel::symmetricSum(samples, taps, tapCount));
    }
    for (; x < width; ++x)
        scalarAt(x);
}

} // namespace
} // namespace ovra::motion_core::vector_kernels
