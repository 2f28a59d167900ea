// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/MotionWorkerPool.h"

namespace ovra::motion_core {

// The Riesz pair of a band-pass level in two steps (KernelConstants.h explains the design).

// source = 0.79 level + 1.07 blur(level, pyramid kernel); scratch is a third plane.
void quadratureSource(MotionWorkerPool &pool, const FloatPlane &level, FloatPlane &source, FloatPlane &scratch);

// The gradient of the source, halved central differences smoothed across by 1 2 1 / 4:
// r1 along x, r2 along y, edge sample not repeated. r1 and r2 take the source's size.
void computeRieszPair(MotionWorkerPool &pool, const FloatPlane &source, FloatPlane &r1, FloatPlane &r2);

} // namespace ovra::motion_core
