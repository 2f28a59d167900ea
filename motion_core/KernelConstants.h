// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Constants and tiny helpers shared by the reference kernels and the vector kernels.
// Everything here has internal linkage, so the per-instruction-set kernel objects never share
// a symbol with each other or with the reference code.
namespace ovra::motion_core::kernel {

// The 5-tap binomial filter of the spatial pyramid.
constexpr int pyramidTapCount = 5;
static constexpr float pyramidTaps[pyramidTapCount] = {0.0625f, 0.25f, 0.375f, 0.25f, 0.0625f};

// The 9-tap Gaussian that smooths the phase before it is shifted.
constexpr int denoiseTapCount = 9;
static constexpr float denoiseTaps[denoiseTapCount] = {0.02763055f, 0.06628225f, 0.12383154f, 0.18017381f, 0.20416369f,
                                                       0.18017381f, 0.12383154f, 0.06628225f, 0.02763055f};

// A symmetric filter's sum of taps x samples (tapCount odd, at most denoiseTapCount), in the
// one order the reference and the vector kernels share: mirrored samples are added before
// their common tap weighs them, and the products are added pairwise. That halves the
// products and the chain of dependent additions of a plain running sum. Value is float or a
// vector of floats that a float multiplies.
template <typename Value> static inline Value symmetricSum(const Value *samples, const float *taps, int tapCount)
{
    const int radius = tapCount / 2;
    Value terms[denoiseTapCount / 2 + 1];
    for (int k = 0; k < radius; ++k)
        terms[k] = taps[k] * (samples[k] + samples[tapCount - 1 - k]);
    terms[radius] = taps[radius] * samples[radius];
    for (int count = radius + 1; count > 1; count = (count + 1) / 2) {
        for (int k = 0; k < count / 2; ++k)
            terms[k] = terms[2 * k] + terms[2 * k + 1];
        if (count % 2 != 0)
            terms[count / 2] = terms[count - 1];
    }
    return terms[0];
}

// The Riesz pair of a band-pass level. The level is first low-passed by an isotropic filter
// whose gain falls with the frequency across the band a Laplacian level carries,
//     source = levelWeight x level + blurWeight x blur(level, 1 4 6 4 1 / 16),
// and the pair is the gradient of that source: central differences, smoothed across by
// 1 2 1 / 4, which keeps the gradient's length within 4 % over all orientations (the plain
// half difference of the same wavelength varies by up to 40 %). The pair's gain relative to
// the level is 0.7 to 1.2 between wavelengths of 3 and 16 samples, where the half difference
// falls to 0.4 at the band's long end; a structure spreads over two or three neighbouring
// levels, above and below unit gain, and the weights are chosen so that the magnification
// measured on gratings of 4 to 64 px at any orientation is within 5 % of the factor.
constexpr float quadratureLevelWeight = 0.79f;
constexpr float quadratureBlurWeight = 1.07f;
constexpr float rieszCentreWeight = 0.25f;
constexpr float rieszSideWeight = 0.125f;

// pi / 2 in single precision: the phase shift's limit and the arctangent's steep offset.
constexpr float quarterTurn = 1.5707964f;

// The phase shift's cos(theta) and sin(theta) / theta for 0 <= theta <= pi / 2 (the shift is
// limited to a quarter turn), as power series in theta^2 up to theta^12, highest power first.
// The series are within 1e-8 of the functions there, closer than single precision resolves,
// and cost a few products where a general sine needs range reduction.
constexpr int quarterTurnSeriesLength = 7;
static constexpr float cosineSeries[quarterTurnSeriesLength]
    = {2.08767570e-09f, -2.75573192e-07f, 2.48015873e-05f, -1.38888889e-03f, 4.16666667e-02f, -0.5f, 1.0f};
static constexpr float sincSeries[quarterTurnSeriesLength]
    = {1.60590438e-10f, -2.50521084e-08f, 2.75573192e-06f, -1.98412698e-04f, 8.33333333e-03f, -1.66666667e-01f, 1.0f};

// A series in x by Estrin's scheme, the one order the reference and the vector kernels share:
// its chain of dependent operations is five deep where Horner's is twelve. Value is float
// or a vector of floats (see symmetricSum).
template <typename Value> static inline Value evaluateSeries(const float (&series)[quarterTurnSeriesLength], Value x)
{
    static_assert(quarterTurnSeriesLength == 7, "the grouping below covers powers up to x^6");
    const Value x2 = x * x;
    const Value x4 = x2 * x2;
    const Value low = (series[5] * x + series[6]) + x2 * (series[3] * x + series[4]);
    const Value high = (series[1] * x + series[2]) + series[0] * x2;
    return low + x4 * high;
}

// The reference's side of the operations the shared formulas below use; the vector kernels have
// their own (VectorRegisters.h).
static inline float select(bool condition, float whenTrue, float whenFalse)
{
    return condition ? whenTrue : whenFalse;
}
static inline float absolute(float x)
{
    return x < 0.0f ? -x : x;
}

// atan2(y, x) for y >= 0, in [0, pi], within 3 ulp: the Cephes arctangent, whose argument
// is reduced below tan(pi / 8) by a single division, y / |x|, -|x| / y or
// (y - |x|) / (y + |x|) chosen by comparisons. y = x = 0 gives NaN; the phase difference
// uses the angle only where y, the length of its vector part, is positive. Value is float or
// a vector of floats (see symmetricSum).
template <typename Value> static inline Value halfTurnAngle(Value y, Value x)
{
    const Value ax = absolute(x);
    const auto steep = y > 2.414213562373095f * ax;
    const auto middle = y > 0.4142135623730950f * ax;
    const Value numerator = select(steep, -1.0f * ax, select(middle, y - ax, y));
    const Value denominator = select(steep, y, select(middle, y + ax, ax));
    const Value t = numerator / denominator;
    const Value z = t * t;
    const Value series
        = ((8.05374449538e-2f * z + -1.38776856032e-1f) * z + 1.99777106478e-1f) * z + -3.33329491539e-1f;
    const Value angle = (series * z) * t + t;
    const Value firstQuadrant = select(steep, angle + quarterTurn, select(middle, angle + 0.5f * quarterTurn, angle));
    return select(ax > x, -1.0f * firstQuadrant + 2.0f * quarterTurn, firstQuadrant);
}

// Whole-sample symmetric reflection for neighbours at most one sample outside.
static inline int reflectEdgeOnce(int index, int length)
{
    if (length <= 1)
        return 0;
    if (index < 0)
        return -index;
    if (index >= length)
        return 2 * length - index - 2;
    return index;
}

// Half-sample symmetric reflection, repeated for kernels wider than the axis.
static inline int reflectEdgeRepeated(int index, int length)
{
    if (length <= 1)
        return 0;
    while (index < 0 || index >= length)
        index = index < 0 ? -index - 1 : 2 * length - index - 1;
    return index;
}

} // namespace ovra::motion_core::kernel
