// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/ProcessingRecords.h"

#include <QElapsedTimer>

#include <memory>

namespace ovra::processing {

// Progress for the user-interface thread at about ten records a second: a record is forwarded
// when its stage changes, when it completes the frames, or when 100 ms passed since the last
// forwarded one; the others are dropped. Called on the worker's thread only.
inline ProgressCallback throttledProgress(ProgressCallback forward)
{
    struct State
    {
        QElapsedTimer sinceForwarded;
        QString lastStage;
    };
    auto state = std::make_shared<State>();
    return [state, forward = std::move(forward)](const project_data::ProcessingProgress &record) {
        const bool complete = record.totalFrames > 0 && record.processedFrames >= record.totalFrames;
        if (state->sinceForwarded.isValid() && record.stageName == state->lastStage && !complete
            && state->sinceForwarded.elapsed() < 100)
            return;
        state->lastStage = record.stageName;
        state->sinceForwarded.start();
        forward(record);
    };
}

} // namespace ovra::processing
