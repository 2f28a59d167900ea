#pragma once

// Constants and tiny helpers shared by the scalar reference kernels and the vector kernels.
// Everything here has internal linkage, so the per-instruction-set kernel objects never share
// a symbol with each other or with the reference code.
namespace ovra::motion_core::kernel {

// The 5-tap binomial filter of the spatial pyramid.
constexpr int pyramidTapCount = 5;
static constexpr float pyramidTaps[pyramidTapCount] = {0.0625f, 0.25f, 0.375f, 0.25f, 0.0625f};

// The 9-tap Gaussian that smooths the phase before it is shifted.
constexpr int denoiseTapCount = 9;
static constexpr float denoiseTaps[denoiseTapCount] = {0.02763055f, 0.06628225f, 0.12383154f,
                                                        0.18017381f, 0.20416369f, 0.18017381f,
                                                        0.12383154f, 0.06628225f, 0.02763055f};

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
