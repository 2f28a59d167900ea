// SPDX-License-Identifier: GPL-3.0-or-later
// Two output pixels per 256-bit register: the warp's kernels for CPUs with AVX2.
#include "motion_core/WarpKernels.h"

#include <immintrin.h>

namespace ovra::motion_core::warp_kernels {

namespace {

inline int clampIndex(int value, int last)
{
    return value < 0 ? 0 : value > last ? last : value;
}

// Tap k's weights of two pixels: the first pixel's in the low half.
inline __m256 pairWeights(const float *first, const float *second, int k)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(first + 4 * k)), _mm_loadu_ps(second + 4 * k), 1);
}

inline __m256 twoPixels(const uchar *bytes)
{
    return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(bytes))));
}

inline __m128 onePixel(const uchar *bytes)
{
    return _mm_cvtepi32_ps(_mm_cvtepu8_epi32(_mm_loadu_si32(bytes)));
}

inline __m128 sum4(const float *w, __m128 a, __m128 b, __m128 c, __m128 d)
{
    __m128 sum = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(w), a), _mm_mul_ps(_mm_loadu_ps(w + 4), b));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(w + 8), c));
    return _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(w + 12), d));
}

inline void storePixel(__m128 sum, uchar *out)
{
    const __m128i whole = _mm_cvtps_epi32(sum);
    _mm_storeu_si32(out, _mm_packus_epi16(_mm_packs_epi32(whole, whole), whole));
}

} // namespace

void resampleColumnsAvx2(const uchar *bits, std::ptrdiff_t stride, int height, int width, const int *whole,
                         const float *const *weights, float *columns)
{
    const uchar *rows[4] = {};
    int rowsAt = 0;
    for (int u = 0; u < width;) {
        if (u == 0 || whole[u] != rowsAt) {
            rowsAt = whole[u];
            for (int k = 0; k < 4; ++k)
                rows[k] = bits + clampIndex(rowsAt - 1 + k, height - 1) * stride;
        }
        const int i = 4 * u;
        if (u + 1 < width && whole[u + 1] == rowsAt) {
            const float *a = weights[u];
            const float *b = weights[u + 1];
            __m256 sum = _mm256_add_ps(_mm256_mul_ps(pairWeights(a, b, 0), twoPixels(rows[0] + i)),
                                       _mm256_mul_ps(pairWeights(a, b, 1), twoPixels(rows[1] + i)));
            sum = _mm256_add_ps(sum, _mm256_mul_ps(pairWeights(a, b, 2), twoPixels(rows[2] + i)));
            sum = _mm256_add_ps(sum, _mm256_mul_ps(pairWeights(a, b, 3), twoPixels(rows[3] + i)));
            _mm256_storeu_ps(columns + i, sum);
            u += 2;
        } else {
            _mm_storeu_ps(columns + i,
                          sum4(weights[u], onePixel(rows[0] + i), onePixel(rows[1] + i), onePixel(rows[2] + i),
                               onePixel(rows[3] + i)));
            u += 1;
        }
    }
}

void resampleRowAvx2(const float *columns, int width, const int *whole, const float *const *weights, uchar *out)
{
    const int last = width - 1;
    for (int x = 0; x < width;) {
        const int first = whole[x] - 1;
        // Two neighbours whose taps are one pixel apart share one load per tap.
        if (x + 1 < width && whole[x + 1] == first + 2 && first >= 0 && first + 4 <= last) {
            const float *a = weights[x];
            const float *b = weights[x + 1];
            const float *taps = columns + 4 * first;
            __m256 sum = _mm256_add_ps(_mm256_mul_ps(pairWeights(a, b, 0), _mm256_loadu_ps(taps)),
                                       _mm256_mul_ps(pairWeights(a, b, 1), _mm256_loadu_ps(taps + 4)));
            sum = _mm256_add_ps(sum, _mm256_mul_ps(pairWeights(a, b, 2), _mm256_loadu_ps(taps + 8)));
            sum = _mm256_add_ps(sum, _mm256_mul_ps(pairWeights(a, b, 3), _mm256_loadu_ps(taps + 12)));
            const __m256i rounded = _mm256_cvtps_epi32(sum);
            const __m128i words
                = _mm_packs_epi32(_mm256_castsi256_si128(rounded), _mm256_extracti128_si256(rounded, 1));
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 4 * x), _mm_packus_epi16(words, words));
            x += 2;
        } else {
            const float *taps[4];
            for (int k = 0; k < 4; ++k)
                taps[k] = columns + 4 * clampIndex(first + k, last);
            storePixel(sum4(weights[x], _mm_loadu_ps(taps[0]), _mm_loadu_ps(taps[1]), _mm_loadu_ps(taps[2]),
                            _mm_loadu_ps(taps[3])),
                       out + 4 * x);
            x += 1;
        }
    }
}

} // namespace ovra::motion_core::warp_kernels
