#pragma once

#include "motion_core/MotionSettings.h"

namespace ovra::tests {

// Default settings with only the frequency band set.
inline motion_core::MotionSettings band(double lowerHz, double upperHz)
{
    motion_core::MotionSettings settings;
    settings.lowerFrequencyHz = lowerHz;
    settings.upperFrequencyHz = upperHz;
    return settings;
}

} // namespace ovra::tests
