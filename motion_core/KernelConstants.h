#pragma once

// Constants and tiny helpers shared by the scalar reference kernels and the vector kernels.
// Everything here has internal linkage, so the per-instruction-set kernel objects never share
// a symbol with each other or with the reference code.
namespace ovra::motion_core::kernel {

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

} // namespace ovra::motion_core::kernel
