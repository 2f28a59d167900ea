// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace ovra::motion_core {

// Cumulative stage times in microseconds since the last configure or reset.
// The vector kernels fuse stages and report each group under its first stage: pyramid
// decomposition then includes quadrature, and phase accumulation includes temporal
// filtering, phase denoising, the phase shift and the reconstruction; their own fields stay 0.
struct MotionStageTimings
{
    qint64 luminanceUs = 0;
    qint64 pyramidDecompositionUs = 0;
    qint64 quadratureUs = 0;
    qint64 phaseAccumulationUs = 0;
    qint64 temporalFilterUs = 0;
    qint64 phaseDenoisingUs = 0;
    qint64 phaseShiftUs = 0;
    qint64 reconstructionUs = 0;
    qint64 compositionUs = 0;
    qint64 framesProcessed = 0;
    qint32 motionProcessingFrameWidth = 0;
    qint32 motionProcessingFrameHeight = 0;
    bool regionProcessingOptimizationApplied = false;

    qint64 totalUs() const
    {
        return luminanceUs + pyramidDecompositionUs + quadratureUs + phaseAccumulationUs + temporalFilterUs
            + phaseDenoisingUs + phaseShiftUs + reconstructionUs + compositionUs;
    }
};

} // namespace ovra::motion_core
