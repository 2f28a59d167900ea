// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "processing/ProcessingRecords.h"

#include <functional>

namespace ovra::processing {

using ProgressCallback = std::function<void(const project_data::ProcessingProgress &)>;

// Runs one processing request to its end on the calling thread.
class IProcessingPipeline
{
public:
    virtual ~IProcessingPipeline() = default;

    virtual project_data::ProcessingResult run(const project_data::ProcessingRequest &request,
                                               const ProgressCallback &progressCallback,
                                               const media::CancellationCheck &cancellationCheck) = 0;
};

} // namespace ovra::processing
