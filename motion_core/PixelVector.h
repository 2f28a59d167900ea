// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/KernelSet.h"

#include <cstddef>
#include <cstdint>

namespace ovra::motion_core {

// Vector kernels at the pixel ends of a frame: luminance extraction and composition.
// Pixels are 32-bit words, either ARGB32 (0xAARRGGBB) or RGBA8888 (bytes R, G, B, A in
// memory). Luminance.cpp and Composition.cpp hold the reference.

struct PixelRows
{
    const std::uint8_t *first; // the first pixel of the first row
    std::ptrdiff_t bytesPerLine;
    bool rgbaBytes;
};

// Y = (G x 0.7152 + R x 0.2126) + B x 0.0722 of width x height pixels into output.
struct LuminanceJob
{
    PixelRows pixels;
    float *output;
    int width;
};

// One axis of a composition mask (RegionMask::axisFactors): per column or per row, the
// feather factor t in 0..1, or -1 outside the rectangle. The weight of a pixel is
// smoothstep(min(row t, column t)), 0 where either is negative.
struct MaskAxes
{
    const float *columns;
    const float *rows;
};

// Writes full ARGB32 frame rows: inside the processing rectangle the masked luminance
// change (magnified - luminance) is added to red, green and blue (rounded half away from
// zero and clamped), elsewhere the pixel is converted unchanged.
struct CompositeJob
{
    PixelRows frame;
    std::uint32_t *target;
    std::ptrdiff_t targetBytesPerLine;
    int frameWidth;
    int left;
    int top;
    int width;
    int height;
    const float *luminance;
    const float *magnified;
    MaskAxes region;
    MaskAxes ring;
    float ringWeight; // 0: no ring
};

struct PixelKernels
{
    void (*luminanceRows)(const LuminanceJob &job, int begin, int end);
    void (*compositeRows)(const CompositeJob &job, int begin, int end);
};

template <KernelSet set> const PixelKernels &pixelKernels();
template <> const PixelKernels &pixelKernels<KernelSet::Sse2>();
template <> const PixelKernels &pixelKernels<KernelSet::Avx2>();
template <> const PixelKernels &pixelKernels<KernelSet::Avx512>();

} // namespace ovra::motion_core
