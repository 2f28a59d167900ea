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
