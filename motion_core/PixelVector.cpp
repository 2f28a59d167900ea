// SPDX-License-Identifier: GPL-3.0-or-later
// Vector kernels of luminance extraction and composition; compiled once per instruction
// set (VectorRegisters.h). Luminance.cpp and Composition.cpp hold the reference; the
// arithmetic is the same, operation by operation.

#include "motion_core/PixelVector.h"
#include "motion_core/VectorRegisters.h"

namespace ovra::motion_core {

namespace {

using namespace vector_kernels;

const std::uint32_t *pixelRow(const PixelRows &pixels, int y)
{
    return reinterpret_cast<const std::uint32_t *>(pixels.first + y * pixels.bytesPerLine);
}

struct Channels
{
    Ints alpha; // in place, bits 24..31
    Ints red;
    Ints green;
    Ints blue;
};

OVRA_VECTOR_INLINE Channels channelsOf(Ints words, bool rgbaBytes)
{
    const Ints byte = splatInt(0xFFu);
    const Ints low = words & byte;
    const Ints middle = shiftRight<8>(words) & byte;
    const Ints high = shiftRight<16>(words) & byte;
    const Ints alpha = words & splatInt(0xFF000000u);
    return rgbaBytes ? Channels{alpha, low, middle, high} : Channels{alpha, high, middle, low};
}

OVRA_VECTOR_INLINE Ints argbWord(const Channels &c)
{
    return c.alpha | shiftLeft<16>(c.red) | shiftLeft<8>(c.green) | c.blue;
}

void luminanceRows(const LuminanceJob &job, int begin, int end)
{
    for (int y = begin; y < end; ++y) {
        const std::uint32_t *source = pixelRow(job.pixels, y);
        float *target = job.output + static_cast<long long>(y) * job.width;
        for (int x = 0; x < job.width; x += lanes) {
            const int count = smallerOf(lanes, job.width - x);
            const Channels c = channelsOf(loadPartial(source + x, count), job.pixels.rgbaBytes);
            const Floats luma = (toFloats(c.green) * splat(0.7152f) + toFloats(c.red) * splat(0.2126f))
                + toFloats(c.blue) * splat(0.0722f);
            storePartial(target + x, luma, count);
        }
    }
}

// Pixels outside the processing rectangle: ARGB32 words of the same colour.
void convertPixels(const std::uint32_t *source, std::uint32_t *target, int count, bool rgbaBytes)
{
    for (int x = 0; x < count; x += lanes) {
        const int n = smallerOf(lanes, count - x);
        storePartial(target + x, argbWord(channelsOf(loadPartial(source + x, n), rgbaBytes)), n);
    }
}

// smoothstep of the feather factor, 0 outside the rectangle.
OVRA_VECTOR_INLINE Floats maskWeight(Floats rowFactor, Floats columnFactor)
{
    const Floats t = minimum(rowFactor, columnFactor);
    return select(t < splat(0.0f), splat(0.0f), t * t * (splat(3.0f) - splat(2.0f) * t));
}

// clamp(lround(channel + change), 0, 255), rounding halves away from zero. Clamping first
// gives the same result, and on 0 .. 255 the rounding is the whole part plus one where the
// (exact) fraction is at least a half.
OVRA_VECTOR_INLINE Ints shiftedChannel(Ints channel, Floats change)
{
    const Floats value = clamp(toFloats(channel) + change, 0.0f, 255.0f);
    const Ints whole = truncateToInts(value);
    return incrementWhere(value - toFloats(whole) >= splat(0.5f), whole);
}

void compositeRow(const CompositeJob &job, int y, const std::uint32_t *source, std::uint32_t *target)
{
    const Floats regionRow = splat(job.region.rows[y]);
    const Floats ringRow = job.ringWeight > 0.0f ? splat(job.ring.rows[y]) : splat(0.0f);
    const long long offset = static_cast<long long>(y) * job.width;
    for (int x = 0; x < job.width; x += lanes) {
        const int count = smallerOf(lanes, job.width - x);
        Floats mask = maskWeight(regionRow, loadPartial(job.region.columns + x, count));
        if (job.ringWeight > 0.0f) {
            const Floats ring = maskWeight(ringRow, loadPartial(job.ring.columns + x, count)) * splat(job.ringWeight);
            mask = (splat(1.0f) - ring) * mask + ring;
        }
        const Floats change
            = (loadPartial(job.magnified + offset + x, count) - loadPartial(job.luminance + offset + x, count)) * mask;
        Channels c = channelsOf(loadPartial(source + x, count), job.frame.rgbaBytes);
        c.red = shiftedChannel(c.red, change);
        c.green = shiftedChannel(c.green, change);
        c.blue = shiftedChannel(c.blue, change);
        storePartial(target + x, argbWord(c), count);
    }
}

void compositeRows(const CompositeJob &job, int begin, int end)
{
    const bool rgbaBytes = job.frame.rgbaBytes;
    for (int y = begin; y < end; ++y) {
        const std::uint32_t *source = pixelRow(job.frame, y);
        auto *target = reinterpret_cast<std::uint32_t *>(reinterpret_cast<std::uint8_t *>(job.target)
                                                         + y * job.targetBytesPerLine);
        if (y < job.top || y >= job.top + job.height) {
            convertPixels(source, target, job.frameWidth, rgbaBytes);
            continue;
        }
        const int right = job.left + job.width;
        convertPixels(source, target, job.left, rgbaBytes);
        compositeRow(job, y - job.top, source + job.left, target + job.left);
        convertPixels(source + right, target + right, job.frameWidth - right, rgbaBytes);
    }
}

} // namespace

template <> const PixelKernels &pixelKernels<OVRA_VECTOR_SET>()
{
    static const PixelKernels kernels{&luminanceRows, &compositeRows};
    return kernels;
}

} // namespace ovra::motion_core
