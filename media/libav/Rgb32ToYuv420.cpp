// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/libav/Rgb32ToYuv420.h"

#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
}

namespace ovra::media::libav {
namespace {

constexpr int fractionBits = 15;
constexpr int lumaOffset = (16 << fractionBits) + (1 << (fractionBits - 1));
// Chroma rows work on the sum of four pixels, two more bits.
constexpr int chromaOffset = (128 << (fractionBits + 2)) + (1 << (fractionBits + 1));

constexpr int fixedPoint(double value)
{
    return static_cast<int>(value * (1 << fractionBits) + (value < 0 ? -0.5 : 0.5));
}

// BT.601: luma weights kr, kb; limited range scales luma to 219 and chroma to 224 steps.
constexpr double kr = 0.299;
constexpr double kb = 0.114;
constexpr double lumaScale = 219.0 / 255.0;
constexpr double chromaScale = 224.0 / 255.0;

constexpr int yr = fixedPoint(kr * lumaScale);
constexpr int yg = fixedPoint((1.0 - kr - kb) * lumaScale);
constexpr int yb = fixedPoint(kb * lumaScale);
constexpr int ur = fixedPoint(-0.5 * kr / (1.0 - kb) * chromaScale);
constexpr int ug = fixedPoint(-0.5 * (1.0 - kr - kb) / (1.0 - kb) * chromaScale);
constexpr int ub = -ur - ug; // grey carries no colour, exactly
constexpr int vg = fixedPoint(-0.5 * (1.0 - kr - kb) / (1.0 - kr) * chromaScale);
constexpr int vb = fixedPoint(-0.5 * kb / (1.0 - kr) * chromaScale);
constexpr int vr = -vg - vb;

inline int red(uint32_t pixel)
{
    return (pixel >> 16) & 0xff;
}

inline int green(uint32_t pixel)
{
    return (pixel >> 8) & 0xff;
}

inline int blue(uint32_t pixel)
{
    return pixel & 0xff;
}

// On x86 Linux, processors with AVX2 get a build of each row loop that handles eight pixels per step;
// elsewhere the compiler's default vectorisation applies.
#if defined(__GNUC__) && defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#define OVRA_WITH_AVX2_CLONE __attribute__((target_clones("avx2", "default")))
#else
#define OVRA_WITH_AVX2_CLONE
#endif

OVRA_WITH_AVX2_CLONE void convertLumaRow(const uint32_t *pixels, int width, uint8_t *luma)
{
    for (int x = 0; x < width; ++x) {
        const uint32_t p = pixels[x];
        luma[x] = static_cast<uint8_t>((yr * red(p) + yg * green(p) + yb * blue(p) + lumaOffset) >> fractionBits);
    }
}

// Limited range keeps every result inside 16..240 without clamping.
OVRA_WITH_AVX2_CLONE void convertChromaRow(const uint32_t *top, const uint32_t *bottom, int width, uint8_t *u,
                                           uint8_t *v)
{
    for (int x = 0; x < width / 2; ++x) {
        const uint32_t a = top[2 * x], b = top[2 * x + 1], c = bottom[2 * x], d = bottom[2 * x + 1];
        const int r = red(a) + red(b) + red(c) + red(d);
        const int g = green(a) + green(b) + green(c) + green(d);
        const int bl = blue(a) + blue(b) + blue(c) + blue(d);
        u[x] = static_cast<uint8_t>((ur * r + ug * g + ub * bl + chromaOffset) >> (fractionBits + 2));
        v[x] = static_cast<uint8_t>((vr * r + vg * g + vb * bl + chromaOffset) >> (fractionBits + 2));
    }
}

} // namespace

void convertToYuv420(const QImage &image, AVFrame *frame)
{
    const int width = image.width();
    for (int row = 0; row < image.height(); ++row)
        convertLumaRow(reinterpret_cast<const uint32_t *>(image.constScanLine(row)), width,
                       frame->data[0] + row * frame->linesize[0]);
    for (int row = 0; row + 1 < image.height(); row += 2) {
        const int chromaRow = row / 2;
        convertChromaRow(reinterpret_cast<const uint32_t *>(image.constScanLine(row)),
                         reinterpret_cast<const uint32_t *>(image.constScanLine(row + 1)), width,
                         frame->data[1] + chromaRow * frame->linesize[1],
                         frame->data[2] + chromaRow * frame->linesize[2]);
    }
}

} // namespace ovra::media::libav
