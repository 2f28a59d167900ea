// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ovra::motion_core {

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
