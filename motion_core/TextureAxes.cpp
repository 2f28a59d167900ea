// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/TextureAxes.h"

#include <cmath>

namespace ovra::motion_core {

TextureAxes TextureAxes::of(double xx, double xy, double yy)
{
    const double mean = 0.5 * (xx + yy);
    const double spread = std::hypot(0.5 * (xx - yy), xy);
    const double angle = 0.5 * std::atan2(2.0 * xy, xx - yy);
    TextureAxes axes;
    axes.strong = mean + spread;
    axes.weak = mean - spread >= apertureRatio * axes.strong ? mean - spread : 0.0;
    axes.c = std::cos(angle);
    axes.s = std::sin(angle);
    return axes;
}

void TextureAxes::inverse(double *xx, double *xy, double *yy) const
{
    const double strongInverse = 1.0 / strong;
    const double weakInverse = weak > 0.0 ? 1.0 / weak : 0.0;
    *xx = c * c * strongInverse + s * s * weakInverse;
    *xy = c * s * (strongInverse - weakInverse);
    *yy = s * s * strongInverse + c * c * weakInverse;
}

} // namespace ovra::motion_core
