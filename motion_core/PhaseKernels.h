// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/MotionWorkerPool.h"

namespace ovra::motion_core {

// Per-sample kernels of the phase stages, one level at a time. All planes of one call
// have the level's size; outputs are reshaped here, in-place planes must exist.

// The quaternion product of the previous and current (I, R1, R2) gives the local phase
// difference phi in 0..pi along the direction (qi, qj); its two components are added to
// the accumulators, and the geometric mean of the two local amplitudes goes to amplitude.
struct PhaseSamples
{
    const FloatPlane &level;
    const FloatPlane &r1;
    const FloatPlane &r2;
};
void accumulatePhaseDifference(MotionWorkerPool &pool, const PhaseSamples &current, const PhaseSamples &previous,
                               FloatPlane &horizontalAccumulator, FloatPlane &verticalAccumulator,
                               FloatPlane &amplitude);

// weighted = amplitude x phase, for both components.
void weightByAmplitude(MotionWorkerPool &pool, const FloatPlane &amplitude, const FloatPlane &horizontal,
                       const FloatPlane &vertical, FloatPlane &weightedHorizontal, FloatPlane &weightedVertical);

// phase = weighted / blurredAmplitude where the amplitude is above 1e-4, else 0: with
// blurred inputs this is amplitude-weighted smoothing that silences flat areas.
void divideByAmplitude(MotionWorkerPool &pool, const FloatPlane &weightedHorizontal, const FloatPlane &weightedVertical,
                       const FloatPlane &blurredAmplitude, FloatPlane &horizontal, FloatPlane &vertical);

// Rotates the local phase of level by alpha x (horizontal, vertical), at most a quarter
// turn, in place: level = cos(theta) level - (r1 ph + r2 pv) sin(theta) / theta.
void shiftPhase(MotionWorkerPool &pool, float alpha, const FloatPlane &horizontal, const FloatPlane &vertical,
                const FloatPlane &r1, const FloatPlane &r2, FloatPlane &level);

} // namespace ovra::motion_core
