// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/KernelSet.h"
#include "motion_core/MotionWorkerPool.h"

#include <QImage>
#include <QTransform>

namespace ovra::motion_core {

// Resamples a frame through an affine transform: output pixel (x, y) takes the frame's colour at
// toSource.map(x, y), pixel centres at whole coordinates. Catmull-Rom bicubic keeps sub-pixel
// motion (bilinear would blur it and bias it towards the sample grid); positions outside the
// frame repeat its edge. The output has the frame's size, in RGBA8888. The reference kernels
// and the vector ones give the same bits.
QImage warpFrame(const QImage &frame, const QTransform &toSource);
// The Catmull-Rom weights of the four samples around a position t in [0, 1] past the second.
void catmullRomWeights(double t, double w[4]);
void warpFrame(MotionWorkerPool &pool, const QImage &frame, const QTransform &toSource, QImage *output,
               KernelSet kernels = bestKernelSet());

} // namespace ovra::motion_core
