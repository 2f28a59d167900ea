// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoFrame.h"
#include "media/VideoMetadata.h"
#include "motion_core/MotionSettings.h"

#include <QString>

#include <vector>

namespace ovra::motion_core {

// Turns decoded frames into frames with magnified motion. Expected failures come back
// as false plus a translated message; nothing is thrown out of these operations.
class IMotionProcessor
{
public:
    virtual ~IMotionProcessor() = default;

    virtual bool configure(const media::VideoMetadata &metadata, const MotionSettings &settings,
                           QString *errorMessage) = 0;
    virtual void reset() = 0;
    // Clears outputFrames, then appends the frames that are ready.
    virtual bool processFrame(const media::VideoFrame &frame, std::vector<media::VideoFrame> *outputFrames,
                              QString *errorMessage) = 0;
    virtual bool flush(std::vector<media::VideoFrame> *outputFrames, QString *errorMessage) = 0;
};

} // namespace ovra::motion_core
