// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/FrameWarp.h"

#include "motion_core/WarpKernels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#if defined(__SSE2__) && !defined(OVRA_REFERENCE_KERNELS_ONLY)
#include <emmintrin.h>
#define OVRA_WARP_VECTOR 1
#endif

namespace ovra::motion_core {

namespace {

// Catmull-Rom weights at 1/1024 pixel steps, each repeated for the four channels: the step
// moves a sample by at most 1/2048 pixel, far below what the camera's estimate resolves.
constexpr int phases = 1024;
using Weights = std::array<float, 16>; // tap k's weight in elements 4k .. 4k + 3

const std::vector<Weights> &weightTable()
{
    static const std::vector<Weights> table = [] {
        std::vector<Weights> weights(phases + 1);
        for (int p = 0; p <= phases; ++p) {
            double w[4];
            catmullRomWeights(double(p) / phases, w);
            for (int k = 0; k < 16; ++k)
                weights[size_t(p)][size_t(k)] = float(w[k / 4]);
        }
        return weights;
    }();
    return table;
}

using ColumnKernel = void (*)(const uchar *bits, std::ptrdiff_t stride, int height, int width, const int *whole,
                              const float *const *weights, float *columns);
using RowKernel = void (*)(const float *columns, int width, const int *whole, const float *const *weights, uchar *out);

const uchar *rowAt(const uchar *bits, std::ptrdiff_t stride, int height, int y)
{
    return bits + std::clamp(y, 0, height - 1) * stride;
}

void resampleColumnsReference(const uchar *bits, std::ptrdiff_t stride, int height, int width, const int *whole,
                              const float *const *weights, float *columns)
{
    for (int u = 0; u < width; ++u) {
        const uchar *rows[4];
        for (int k = 0; k < 4; ++k)
            rows[k] = rowAt(bits, stride, height, whole[u] - 1 + k) + 4 * u;
        const float *w = weights[u];
        for (int c = 0; c < 4; ++c)
            columns[4 * u + c]
                = w[c] * rows[0][c] + w[4 + c] * rows[1][c] + w[8 + c] * rows[2][c] + w[12 + c] * rows[3][c];
    }
}

void resampleRowReference(const float *columns, int width, const int *whole, const float *const *weights, uchar *out)
{
    for (int x = 0; x < width; ++x) {
        const float *taps[4];
        for (int k = 0; k < 4; ++k)
            taps[k] = columns + 4 * std::clamp(whole[x] - 1 + k, 0, width - 1);
        const float *w = weights[x];
        for (int c = 0; c < 4; ++c) {
            const float sum
                = w[c] * taps[0][c] + w[4 + c] * taps[1][c] + w[8 + c] * taps[2][c] + w[12 + c] * taps[3][c];
            out[4 * x + c] = uchar(std::clamp(std::nearbyint(sum), 0.0f, 255.0f));
        }
    }
}

#ifdef OVRA_WARP_VECTOR
__m128 sum4(const float *w, __m128 a, __m128 b, __m128 c, __m128 d)
{
    __m128 sum = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(w), a), _mm_mul_ps(_mm_loadu_ps(w + 4), b));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(w + 8), c));
    return _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(w + 12), d));
}

__m128 pixelFloats(const uchar *p)
{
    const __m128i zero = _mm_setzero_si128();
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_loadu_si32(p), zero), zero));
}

void resampleColumnsSse2(const uchar *bits, std::ptrdiff_t stride, int height, int width, const int *whole,
                         const float *const *weights, float *columns)
{
    const uchar *rows[4] = {};
    for (int u = 0; u < width; ++u) {
        if (u == 0 || whole[u] != whole[u - 1])
            for (int k = 0; k < 4; ++k)
                rows[k] = rowAt(bits, stride, height, whole[u] - 1 + k);
        const int i = 4 * u;
        _mm_storeu_ps(columns + i,
                      sum4(weights[u], pixelFloats(rows[0] + i), pixelFloats(rows[1] + i), pixelFloats(rows[2] + i),
                           pixelFloats(rows[3] + i)));
    }
}

void resampleRowSse2(const float *columns, int width, const int *whole, const float *const *weights, uchar *out)
{
    const int last = width - 1;
    for (int x = 0; x < width; ++x) {
        const float *taps[4];
        for (int k = 0; k < 4; ++k)
            taps[k] = columns + 4 * std::clamp(whole[x] - 1 + k, 0, last);
        const __m128 sum = sum4(weights[x], _mm_loadu_ps(taps[0]), _mm_loadu_ps(taps[1]), _mm_loadu_ps(taps[2]),
                                _mm_loadu_ps(taps[3]));
        // Rounds to nearest even, then saturates to 0 .. 255, as the reference does.
        const __m128i rounded = _mm_cvtps_epi32(sum);
        _mm_storeu_si32(out + 4 * x, _mm_packus_epi16(_mm_packs_epi32(rounded, rounded), rounded));
    }
}
#endif

struct Kernels
{
    ColumnKernel columns;
    RowKernel row;
};

Kernels kernelsFor(KernelSet set)
{
#ifdef OVRA_WARP_VECTOR
    if (set == KernelSet::Avx2 || set == KernelSet::Avx512)
        return {&warp_kernels::resampleColumnsAvx2, &warp_kernels::resampleRowAvx2};
    if (set == KernelSet::Sse2)
        return {&resampleColumnsSse2, &resampleRowSse2};
#endif
    (void)set;
    return {&resampleColumnsReference, &resampleRowReference};
}

// The affine warp in two one-dimensional passes per output row (Catmull and Smith): first each
// column u is resampled at the height G(u, y) where the transform will take it, then the row is
// resampled along x at X(x, y). Each pass reads four taps where a direct bicubic reads sixteen;
// for the small rotations of a camera the result is the same.
class SeparableWarp
{
public:
    SeparableWarp(const QImage &frame, const QTransform &t, Kernels kernels)
        : m_frame(frame)
        , m_t(t)
        , m_kernels(kernels)
        , m_table(weightTable())
    {
        // X = m11 x + m21 y + dx, Y = m12 x + m22 y + dy; with x = (X - m21 y - dx) / m11,
        // Y = G(X, y) = (m12 / m11) X + (m22 - m12 m21 / m11) y + dy - m12 dx / m11.
        m_gu = t.m12() / t.m11();
        m_gy = t.m22() - t.m12() * t.m21() / t.m11();
        m_g0 = t.dy() - t.m12() * t.dx() / t.m11();
    }

    // One worker's buffers for a row.
    struct Scratch
    {
        explicit Scratch(int width)
            : columns(4 * size_t(width))
            , whole(size_t(width))
            , weights(size_t(width))
        {
        }
        std::vector<float> columns;
        std::vector<int> whole;
        std::vector<const float *> weights;
    };

    void row(int y, uchar *out, Scratch &scratch) const
    {
        const int width = m_frame.width();
        taps(m_gy * y + m_g0, m_gu, scratch);
        m_kernels.columns(m_frame.constBits(), m_frame.bytesPerLine(), m_frame.height(), width, scratch.whole.data(),
                          scratch.weights.data(), scratch.columns.data());
        taps(m_t.m21() * y + m_t.dx(), m_t.m11(), scratch);
        m_kernels.row(scratch.columns.data(), width, scratch.whole.data(), scratch.weights.data(), out);
    }

private:
    // The whole part and the weights of start + step * i for every pixel i of a row, in fixed
    // point of 32 fractional bits: exact to a millionth of a pixel across any row, and integer work.
    void taps(double start, double step, Scratch &scratch) const
    {
        // Far outside the frame every tap repeats the edge anyway; the bounds keep the sums in range.
        constexpr double unit = 4294967296.0;
        const qint64 first = qint64(std::clamp(start, -65536.0, 65536.0) * unit);
        const qint64 delta = qint64(std::clamp(step, -16.0, 16.0) * unit);
        for (size_t i = 0; i < scratch.whole.size(); ++i) {
            const qint64 position = first + delta * qint64(i);
            scratch.whole[i] = int(position >> 32); // the arithmetic shift rounds down
            const qint64 phase = ((position & 0xffffffff) * phases + (qint64(1) << 31)) >> 32;
            scratch.weights[i] = m_table[size_t(phase)].data();
        }
    }

    const QImage &m_frame;
    QTransform m_t;
    Kernels m_kernels;
    const std::vector<Weights> &m_table;
    double m_gu = 0.0;
    double m_gy = 1.0;
    double m_g0 = 0.0;
};

} // namespace

void catmullRomWeights(double t, double w[4])
{
    const double t2 = t * t;
    const double t3 = t2 * t;
    w[0] = 0.5 * (-t3 + 2.0 * t2 - t);
    w[1] = 0.5 * (3.0 * t3 - 5.0 * t2 + 2.0);
    w[2] = 0.5 * (-3.0 * t3 + 4.0 * t2 + t);
    w[3] = 0.5 * (t3 - t2);
}

void warpFrame(MotionWorkerPool &pool, const QImage &frame, const QTransform &toSource, QImage *output,
               KernelSet kernels)
{
    const bool rgba = frame.format() == QImage::Format_RGBA8888 || frame.format() == QImage::Format_RGBX8888;
    const QImage source = rgba ? frame : frame.convertToFormat(QImage::Format_RGBA8888);
    if (output->size() != source.size() || output->format() != source.format())
        *output = QImage(source.size(), source.format());
    // bits() detaches once here, not in every worker.
    uchar *const bits = output->bits();
    const qsizetype stride = output->bytesPerLine();
    const SeparableWarp warp(source, toSource, kernelsFor(kernels));
    auto chunk = [&](const ChunkRange &range) {
        SeparableWarp::Scratch scratch(source.width());
        for (int y = range.begin; y < range.end; ++y)
            warp.row(y, bits + y * stride, scratch);
    };
    runChunks(pool, source.height(), qint64(source.width()) * 16, chunk);
}

QImage warpFrame(const QImage &frame, const QTransform &toSource)
{
    MotionWorkerPool pool;
    QImage output;
    warpFrame(pool, frame, toSource, &output);
    return output;
}

} // namespace ovra::motion_core
