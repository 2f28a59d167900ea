// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/FrameWarp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__) && !defined(OVRA_REFERENCE_KERNELS_ONLY)
#include <emmintrin.h>
#define OVRA_WARP_SSE2 1
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
            const double t = double(p) / phases;
            const double w[4] = {0.5 * (-t * t * t + 2.0 * t * t - t), 0.5 * (3.0 * t * t * t - 5.0 * t * t + 2.0),
                                 0.5 * (-3.0 * t * t * t + 4.0 * t * t + t), 0.5 * (t * t * t - t * t)};
            for (int k = 0; k < 16; ++k)
                weights[size_t(p)][size_t(k)] = float(w[k / 4]);
        }
        return weights;
    }();
    return table;
}

// A position split into its whole part and the weights of the four samples around it.
struct Taps
{
    int whole;
    const float *weights;
};

inline Taps tapsAt(double position, const std::vector<Weights> &table)
{
    // Far outside the frame every tap repeats the edge anyway; the bound keeps the int exact.
    position = std::clamp(position, -65536.0, 65536.0);
    int whole = int(position); // floor without a library call: truncation, one down below zero
    whole -= position < whole;
    const int phase = int((position - whole) * phases + 0.5);
    return {whole, table[size_t(phase)].data()};
}

// ((w0 a + w1 b) + w2 c) + w3 d per channel, the same order in both kernels, so that they agree.
struct ReferencePixels
{
    static void column(const uchar *const rows[4], int offset, const float *w, float *out)
    {
        for (int c = 0; c < 4; ++c)
            out[c] = w[c] * rows[0][offset + c] + w[4 + c] * rows[1][offset + c] + w[8 + c] * rows[2][offset + c]
                + w[12 + c] * rows[3][offset + c];
    }
    static void fromFloats(const float *const taps[4], const float *w, uchar *out)
    {
        for (int c = 0; c < 4; ++c) {
            const float sum
                = w[c] * taps[0][c] + w[4 + c] * taps[1][c] + w[8 + c] * taps[2][c] + w[12 + c] * taps[3][c];
            out[c] = uchar(std::clamp(std::nearbyint(sum), 0.0f, 255.0f));
        }
    }
};

#ifdef OVRA_WARP_SSE2
struct VectorPixels
{
    static __m128 load(const uchar *p)
    {
        int bytes;
        std::memcpy(&bytes, p, 4);
        const __m128i zero = _mm_setzero_si128();
        return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero));
    }
    static void column(const uchar *const rows[4], int offset, const float *w, float *out)
    {
        __m128 sum = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(w), load(rows[0] + offset)),
                                _mm_mul_ps(_mm_loadu_ps(w + 4), load(rows[1] + offset)));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(w + 8), load(rows[2] + offset)));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(w + 12), load(rows[3] + offset)));
        _mm_storeu_ps(out, sum);
    }
    static void fromFloats(const float *const taps[4], const float *w, uchar *out)
    {
        __m128 sum = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(w), _mm_loadu_ps(taps[0])),
                                _mm_mul_ps(_mm_loadu_ps(w + 4), _mm_loadu_ps(taps[1])));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(w + 8), _mm_loadu_ps(taps[2])));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(w + 12), _mm_loadu_ps(taps[3])));
        // Rounds to nearest even, then saturates to 0 .. 255, as the reference does.
        const __m128i whole = _mm_cvtps_epi32(sum);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(whole, whole), whole);
        const int value = _mm_cvtsi128_si32(bytes);
        std::memcpy(out, &value, 4);
    }
};
#endif

// The affine warp in two one-dimensional passes per output row (Catmull and Smith): first each
// column u is resampled at the height G(u, y) where the transform will take it, then the row is
// resampled along x at X(x, y). Each pass reads four taps where a direct bicubic reads sixteen;
// for the small rotations of a camera the result is the same.
template <typename Pixels> class SeparableWarp
{
public:
    SeparableWarp(const QImage &frame, const QTransform &t)
        : m_bits(frame.constBits())
        , m_stride(frame.bytesPerLine())
        , m_width(frame.width())
        , m_height(frame.height())
        , m_t(t)
        , m_table(weightTable())
    {
        // X = m11 x + m21 y + dx, Y = m12 x + m22 y + dy; with x = (X - m21 y - dx) / m11,
        // Y = G(X, y) = (m12 / m11) X + (m22 - m12 m21 / m11) y + dy - m12 dx / m11.
        m_gu = t.m12() / t.m11();
        m_gy = t.m22() - t.m12() * t.m21() / t.m11();
        m_g0 = t.dy() - t.m12() * t.dx() / t.m11();
    }

    void row(int y, uchar *out, float *columns) const
    {
        resampleColumns(y, columns);
        resampleRow(y, columns, out);
    }

private:
    const uchar *line(int y) const { return m_bits + std::clamp(y, 0, m_height - 1) * m_stride; }

    void resampleColumns(int y, float *columns) const
    {
        const double start = m_gy * y + m_g0;
        int rowsAt = 0;
        const uchar *rows[4] = {};
        for (int u = 0; u < m_width; ++u) {
            const Taps taps = tapsAt(start + m_gu * u, m_table);
            if (u == 0 || taps.whole != rowsAt) {
                rowsAt = taps.whole;
                for (int k = 0; k < 4; ++k)
                    rows[k] = line(rowsAt - 1 + k);
            }
            Pixels::column(rows, 4 * u, taps.weights, columns + 4 * u);
        }
    }

    void resampleRow(int y, const float *columns, uchar *out) const
    {
        const double start = m_t.m21() * y + m_t.dx();
        const int last = m_width - 1;
        for (int x = 0; x < m_width; ++x) {
            const Taps taps = tapsAt(start + m_t.m11() * x, m_table);
            const float *pixels[4];
            if (taps.whole >= 1 && taps.whole + 2 <= last) {
                for (int k = 0; k < 4; ++k)
                    pixels[k] = columns + 4 * (taps.whole - 1 + k);
            } else {
                for (int k = 0; k < 4; ++k)
                    pixels[k] = columns + 4 * std::clamp(taps.whole - 1 + k, 0, last);
            }
            Pixels::fromFloats(pixels, taps.weights, out + 4 * x);
        }
    }

    const uchar *m_bits;
    qsizetype m_stride;
    int m_width;
    int m_height;
    QTransform m_t;
    const std::vector<Weights> &m_table;
    double m_gu = 0.0;
    double m_gy = 1.0;
    double m_g0 = 0.0;
};

template <typename Pixels>
void warpRows(MotionWorkerPool &pool, const QImage &source, const QTransform &toSource, QImage *output)
{
    // bits() detaches once here, not in every worker.
    uchar *const bits = output->bits();
    const qsizetype stride = output->bytesPerLine();
    const SeparableWarp<Pixels> warp(source, toSource);
    auto chunk = [&](const ChunkRange &range) {
        std::vector<float> columns(4 * size_t(source.width()));
        for (int y = range.begin; y < range.end; ++y)
            warp.row(y, bits + y * stride, columns.data());
    };
    runChunks(pool, source.height(), qint64(source.width()) * 16, chunk);
}

} // namespace

void warpFrame(MotionWorkerPool &pool, const QImage &frame, const QTransform &toSource, QImage *output,
               KernelSet kernels)
{
    const bool rgba = frame.format() == QImage::Format_RGBA8888 || frame.format() == QImage::Format_RGBX8888;
    const QImage source = rgba ? frame : frame.convertToFormat(QImage::Format_RGBA8888);
    if (output->size() != source.size() || output->format() != source.format())
        *output = QImage(source.size(), source.format());
#ifdef OVRA_WARP_SSE2
    if (kernels != KernelSet::Reference)
        return warpRows<VectorPixels>(pool, source, toSource, output);
#endif
    warpRows<ReferencePixels>(pool, source, toSource, output);
}

QImage warpFrame(const QImage &frame, const QTransform &toSource)
{
    MotionWorkerPool pool;
    QImage output;
    warpFrame(pool, frame, toSource, &output);
    return output;
}

} // namespace ovra::motion_core
