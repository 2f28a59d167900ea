#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/MotionWorkerPool.h"

namespace ovra::motion_core {

// Three-tap approximation of the Riesz transform (1/2 [1, 0, -1] and its transpose)
// with whole-sample symmetric edges. r1 and r2 take the level's size.
void computeRieszPair(MotionWorkerPool &pool, const FloatPlane &level, FloatPlane &r1, FloatPlane &r2);

} // namespace ovra::motion_core
