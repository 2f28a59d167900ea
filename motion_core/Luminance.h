// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/MotionWorkerPool.h"

#include <QImage>

namespace ovra::motion_core {

// Rec. 709 luma on the 0..255 scale of the 8-bit channels, without gamma handling:
// Y = (G x 0.7152 + R x 0.2126) + B x 0.0722 in single precision.
// Non-premultiplied 32-bit images are read in place; other formats are converted to
// ARGB32 first. A conversion that fails for lack of memory throws std::bad_alloc.
void extractLuminance(MotionWorkerPool &pool, const QImage &image, FloatPlane &output);

} // namespace ovra::motion_core
