// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Thin wrappers over one x86 vector register type, for the *Vector.cpp kernel files.
//
// Each of those files is compiled three times, with -msse2, -mavx2 or -mavx512f; the
// compiler's target macros pick the matching section below, and OVRA_VECTOR_SET names the
// kernel set being compiled. Everything here has internal linkage (unnamed namespace), and
// the kernel files must not instantiate library templates either: code compiled for one
// instruction set must never be shared with code compiled for another by the linker.
// Only plain IEEE single-precision operations are used (no fused multiply-add), so a
// kernel that keeps the reference's order of operations gives the same bits.

#include "motion_core/KernelSet.h"

#include <immintrin.h>

#include <cstdint>

#if defined(__AVX512F__)
#define OVRA_VECTOR_SET KernelSet::Avx512
#elif defined(__AVX2__)
#define OVRA_VECTOR_SET KernelSet::Avx2
#elif defined(__SSE2__)
#define OVRA_VECTOR_SET KernelSet::Sse2
#else
#error "The vector kernels need an x86 target with at least SSE2."
#endif

// For the small helpers of the per-sample loops, which pass whole registers around.
#define OVRA_VECTOR_INLINE inline __attribute__((always_inline))

namespace ovra::motion_core::vector_kernels {
namespace {

#if defined(__AVX512F__)

constexpr int lanes = 16;
struct Floats
{
    __m512 v;
};
struct Ints
{
    __m512i v;
};
struct Mask
{
    __mmask16 v;
};

inline Floats load(const float *p)
{
    return {_mm512_loadu_ps(p)};
}
inline void store(float *p, Floats a)
{
    _mm512_storeu_ps(p, a.v);
}
inline Floats splat(float value)
{
    return {_mm512_set1_ps(value)};
}
inline Floats operator+(Floats a, Floats b)
{
    return {_mm512_add_ps(a.v, b.v)};
}
inline Floats operator-(Floats a, Floats b)
{
    return {_mm512_sub_ps(a.v, b.v)};
}
inline Floats operator*(Floats a, Floats b)
{
    return {_mm512_mul_ps(a.v, b.v)};
}
inline Floats operator/(Floats a, Floats b)
{
    return {_mm512_div_ps(a.v, b.v)};
}
inline Floats sqrt(Floats a)
{
    return {_mm512_sqrt_ps(a.v)};
}
inline Mask operator<(Floats a, Floats b)
{
    return {_mm512_cmp_ps_mask(a.v, b.v, _CMP_LT_OQ)};
}
inline Mask operator<=(Floats a, Floats b)
{
    return {_mm512_cmp_ps_mask(a.v, b.v, _CMP_LE_OQ)};
}
inline Mask operator>(Floats a, Floats b)
{
    return {_mm512_cmp_ps_mask(a.v, b.v, _CMP_GT_OQ)};
}
inline Mask operator>=(Floats a, Floats b)
{
    return {_mm512_cmp_ps_mask(a.v, b.v, _CMP_GE_OQ)};
}
inline bool any(Mask m)
{
    return m.v != 0;
}
inline Floats select(Mask m, Floats whenTrue, Floats whenFalse)
{
    return {_mm512_mask_blend_ps(m.v, whenFalse.v, whenTrue.v)};
}
// low <= result <= high; NaN gives low.
inline Floats clamp(Floats a, float low, float high)
{
    return {_mm512_min_ps(_mm512_max_ps(a.v, _mm512_set1_ps(low)), _mm512_set1_ps(high))};
}

// p[0], p[2], ..., p[2 (lanes - 1)]; reads p[0 .. 2 lanes - 1].
inline Floats loadEven(const float *p)
{
    const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    return {_mm512_permutex2var_ps(_mm512_loadu_ps(p), even, _mm512_loadu_ps(p + lanes))};
}
// base[indices[0]], ..., base[indices[lanes - 1]].
inline Floats gather(const float *base, const std::int32_t *indices)
{
    return {_mm512_i32gather_ps(_mm512_loadu_si512(indices), base, 4)};
}

inline Ints loadInts(const std::uint32_t *p)
{
    return {_mm512_loadu_si512(p)};
}
inline void store(std::uint32_t *p, Ints a)
{
    _mm512_storeu_si512(p, a.v);
}
inline Ints splatInt(std::uint32_t value)
{
    return {_mm512_set1_epi32(static_cast<int>(value))};
}
inline Ints operator&(Ints a, Ints b)
{
    return {_mm512_and_si512(a.v, b.v)};
}
inline Ints operator|(Ints a, Ints b)
{
    return {_mm512_or_si512(a.v, b.v)};
}
template <int bits> Ints shiftRight(Ints a)
{
    return {_mm512_srli_epi32(a.v, bits)};
}
template <int bits> Ints shiftLeft(Ints a)
{
    return {_mm512_slli_epi32(a.v, bits)};
}
inline Floats toFloats(Ints a)
{
    return {_mm512_cvtepi32_ps(a.v)};
}
// Toward zero; the values must lie within the 32-bit integer range.
inline Ints truncateToInts(Floats a)
{
    return {_mm512_cvttps_epi32(a.v)};
}
// a + 1 where m holds.
inline Ints incrementWhere(Mask m, Ints a)
{
    return {_mm512_mask_add_epi32(a.v, m.v, a.v, _mm512_set1_epi32(1))};
}

#elif defined(__AVX2__)

constexpr int lanes = 8;
struct Floats
{
    __m256 v;
};
struct Ints
{
    __m256i v;
};
struct Mask
{
    __m256 v;
};

inline Floats load(const float *p)
{
    return {_mm256_loadu_ps(p)};
}
inline void store(float *p, Floats a)
{
    _mm256_storeu_ps(p, a.v);
}
inline Floats splat(float value)
{
    return {_mm256_set1_ps(value)};
}
inline Floats operator+(Floats a, Floats b)
{
    return {_mm256_add_ps(a.v, b.v)};
}
inline Floats operator-(Floats a, Floats b)
{
    return {_mm256_sub_ps(a.v, b.v)};
}
inline Floats operator*(Floats a, Floats b)
{
    return {_mm256_mul_ps(a.v, b.v)};
}
inline Floats operator/(Floats a, Floats b)
{
    return {_mm256_div_ps(a.v, b.v)};
}
inline Floats sqrt(Floats a)
{
    return {_mm256_sqrt_ps(a.v)};
}
inline Mask operator<(Floats a, Floats b)
{
    return {_mm256_cmp_ps(a.v, b.v, _CMP_LT_OQ)};
}
inline Mask operator<=(Floats a, Floats b)
{
    return {_mm256_cmp_ps(a.v, b.v, _CMP_LE_OQ)};
}
inline Mask operator>(Floats a, Floats b)
{
    return {_mm256_cmp_ps(a.v, b.v, _CMP_GT_OQ)};
}
inline Mask operator>=(Floats a, Floats b)
{
    return {_mm256_cmp_ps(a.v, b.v, _CMP_GE_OQ)};
}
inline bool any(Mask m)
{
    return _mm256_movemask_ps(m.v) != 0;
}
inline Floats select(Mask m, Floats whenTrue, Floats whenFalse)
{
    return {_mm256_blendv_ps(whenFalse.v, whenTrue.v, m.v)};
}
inline Floats clamp(Floats a, float low, float high)
{
    return {_mm256_min_ps(_mm256_max_ps(a.v, _mm256_set1_ps(low)), _mm256_set1_ps(high))};
}

inline Floats loadEven(const float *p)
{
    // Within each 128-bit half: p0 p2 p8 p10 | p4 p6 p12 p14; then the 64-bit pairs in order.
    const __m256 mixed = _mm256_shuffle_ps(_mm256_loadu_ps(p), _mm256_loadu_ps(p + lanes), _MM_SHUFFLE(2, 0, 2, 0));
    return {_mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(mixed), _MM_SHUFFLE(3, 1, 2, 0)))};
}
inline Floats gather(const float *base, const std::int32_t *indices)
{
    return {_mm256_i32gather_ps(base, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(indices)), 4)};
}

inline Ints loadInts(const std::uint32_t *p)
{
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i *>(p))};
}
inline void store(std::uint32_t *p, Ints a)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), a.v);
}
inline Ints splatInt(std::uint32_t value)
{
    return {_mm256_set1_epi32(static_cast<int>(value))};
}
inline Ints operator&(Ints a, Ints b)
{
    return {_mm256_and_si256(a.v, b.v)};
}
inline Ints operator|(Ints a, Ints b)
{
    return {_mm256_or_si256(a.v, b.v)};
}
template <int bits> Ints shiftRight(Ints a)
{
    return {_mm256_srli_epi32(a.v, bits)};
}
template <int bits> Ints shiftLeft(Ints a)
{
    return {_mm256_slli_epi32(a.v, bits)};
}
inline Floats toFloats(Ints a)
{
    return {_mm256_cvtepi32_ps(a.v)};
}
inline Ints truncateToInts(Floats a)
{
    return {_mm256_cvttps_epi32(a.v)};
}
// A true lane of a mask is all ones, -1 as an integer.
inline Ints incrementWhere(Mask m, Ints a)
{
    return {_mm256_sub_epi32(a.v, _mm256_castps_si256(m.v))};
}

#else // SSE2

constexpr int lanes = 4;
struct Floats
{
    __m128 v;
};
struct Ints
{
    __m128i v;
};
struct Mask
{
    __m128 v;
};

inline Floats load(const float *p)
{
    return {_mm_loadu_ps(p)};
}
inline void store(float *p, Floats a)
{
    _mm_storeu_ps(p, a.v);
}
inline Floats splat(float value)
{
    return {_mm_set1_ps(value)};
}
inline Floats operator+(Floats a, Floats b)
{
    return {_mm_add_ps(a.v, b.v)};
}
inline Floats operator-(Floats a, Floats b)
{
    return {_mm_sub_ps(a.v, b.v)};
}
inline Floats operator*(Floats a, Floats b)
{
    return {_mm_mul_ps(a.v, b.v)};
}
inline Floats operator/(Floats a, Floats b)
{
    return {_mm_div_ps(a.v, b.v)};
}
inline Floats sqrt(Floats a)
{
    return {_mm_sqrt_ps(a.v)};
}
inline Mask operator<(Floats a, Floats b)
{
    return {_mm_cmplt_ps(a.v, b.v)};
}
inline Mask operator<=(Floats a, Floats b)
{
    return {_mm_cmple_ps(a.v, b.v)};
}
inline Mask operator>(Floats a, Floats b)
{
    return {_mm_cmpgt_ps(a.v, b.v)};
}
inline Mask operator>=(Floats a, Floats b)
{
    return {_mm_cmpge_ps(a.v, b.v)};
}
inline bool any(Mask m)
{
    return _mm_movemask_ps(m.v) != 0;
}
inline Floats select(Mask m, Floats whenTrue, Floats whenFalse)
{
    return {_mm_or_ps(_mm_and_ps(m.v, whenTrue.v), _mm_andnot_ps(m.v, whenFalse.v))};
}
inline Floats clamp(Floats a, float low, float high)
{
    return {_mm_min_ps(_mm_max_ps(a.v, _mm_set1_ps(low)), _mm_set1_ps(high))};
}

inline Floats loadEven(const float *p)
{
    return {_mm_shuffle_ps(_mm_loadu_ps(p), _mm_loadu_ps(p + lanes), _MM_SHUFFLE(2, 0, 2, 0))};
}
inline Floats gather(const float *base, const std::int32_t *indices)
{
    return {_mm_setr_ps(base[indices[0]], base[indices[1]], base[indices[2]], base[indices[3]])};
}

inline Ints loadInts(const std::uint32_t *p)
{
    return {_mm_loadu_si128(reinterpret_cast<const __m128i *>(p))};
}
inline void store(std::uint32_t *p, Ints a)
{
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), a.v);
}
inline Ints splatInt(std::uint32_t value)
{
    return {_mm_set1_epi32(static_cast<int>(value))};
}
inline Ints operator&(Ints a, Ints b)
{
    return {_mm_and_si128(a.v, b.v)};
}
inline Ints operator|(Ints a, Ints b)
{
    return {_mm_or_si128(a.v, b.v)};
}
template <int bits> Ints shiftRight(Ints a)
{
    return {_mm_srli_epi32(a.v, bits)};
}
template <int bits> Ints shiftLeft(Ints a)
{
    return {_mm_slli_epi32(a.v, bits)};
}
inline Floats toFloats(Ints a)
{
    return {_mm_cvtepi32_ps(a.v)};
}
inline Ints truncateToInts(Floats a)
{
    return {_mm_cvttps_epi32(a.v)};
}
inline Ints incrementWhere(Mask m, Ints a)
{
    return {_mm_sub_epi32(a.v, _mm_castps_si128(m.v))};
}

#endif

// Helpers common to all widths.

// std::min and std::max semantics: the first argument unless the comparison holds.
inline Floats minimum(Floats a, Floats b)
{
    return select(b < a, b, a);
}
inline Floats maximum(Floats a, Floats b)
{
    return select(a < b, b, a);
}
inline Floats absolute(Floats a)
{
    return maximum(a, splat(0.0f) - a);
}
// A constant with a vector, as in the reference's tap x sample or sum + coefficient.
inline Floats operator*(float a, Floats b)
{
    return splat(a) * b;
}
inline Floats operator+(Floats a, float b)
{
    return a + splat(b);
}
// sqrt(x x + y y) in single precision, as the reference computes it (PhaseKernels.cpp).
inline Floats magnitude(Floats x, Floats y)
{
    return sqrt(x * x + y * y);
}

// The first count (1 .. lanes) samples at p; the other lanes read as 0 and are not written.
inline Floats loadPartial(const float *p, int count)
{
    if (count == lanes)
        return load(p);
    float buffer[lanes] = {};
    for (int i = 0; i < count; ++i)
        buffer[i] = p[i];
    return load(buffer);
}
inline void storePartial(float *p, Floats a, int count)
{
    if (count == lanes) {
        store(p, a);
        return;
    }
    float buffer[lanes];
    store(buffer, a);
    for (int i = 0; i < count; ++i)
        p[i] = buffer[i];
}

inline Ints loadPartial(const std::uint32_t *p, int count)
{
    if (count == lanes)
        return loadInts(p);
    std::uint32_t buffer[lanes] = {};
    for (int i = 0; i < count; ++i)
        buffer[i] = p[i];
    return loadInts(buffer);
}
inline void storePartial(std::uint32_t *p, Ints a, int count)
{
    if (count == lanes) {
        store(p, a);
        return;
    }
    std::uint32_t buffer[lanes];
    store(buffer, a);
    for (int i = 0; i < count; ++i)
        p[i] = buffer[i];
}

inline int smallerOf(int a, int b)
{
    return a < b ? a : b;
}
inline int largerOf(int a, int b)
{
    return a < b ? b : a;
}

} // namespace
} // namespace ovra::motion_core::vector_kernels
