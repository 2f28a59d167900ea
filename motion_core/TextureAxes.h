// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ovra::motion_core {

// Five-point derivative of the samples step apart around sample: a central difference would
// read fine texture as flatter than it is, and so its motion as larger (by 8 % at a wavelength
// of 9 samples).
inline float fivePointDerivative(const float *sample, int step)
{
    return (8.0f * (sample[step] - sample[-step]) - (sample[2 * step] - sample[-2 * step])) / 12.0f;
}

// The normal matrix [xx xy; xy yy] of a patch's gradients split into the directions its texture
// fixes: the stronger eigenvalue along (c, s), and the weaker one across it, which counts only
// when the texture varies along both. A patch on one edge or on stripes varies ten times less
// along them than across: along them, coding noise would be taken for motion.
struct TextureAxes
{
    static constexpr double apertureRatio = 0.1;

    double strong = 0.0;
    double weak = 0.0; // zero when it does not count
    double c = 1.0;
    double s = 0.0;

    static TextureAxes of(double xx, double xy, double yy);
    // The matrix's inverse over the directions fixed.
    void inverse(double *xx, double *xy, double *yy) const;
};

} // namespace ovra::motion_core
