// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/preview/PreviewWorker.h"

#include "processing/VideoProcessingPipeline.h"
#include "processing/ProgressThrottle.h"

namespace ovra::ui::preview {

project_data::ProcessingResult runThrottledPipeline(
    const project_data::ProcessingRequest &request, const CancelToken &cancelToken,
    const std::function<void(const project_data::ProcessingProgress &)> &forward)
{
    processing::VideoProcessingPipeline pipeline;
    const processing::ProgressCallback progress = processing::throttledProgress(forward);
    const auto cancelled = [cancelToken] { return cancelToken && cancelToken->load(); };
    return pipeline.run(request, progress, cancelled);
}

void PreviewWorker::run(quint64 generationId, const project_data::ProcessingRequest &request,
                        const CancelToken &cancelToken)
{
    const project_data::ProcessingResult result = runThrottledPipeline(
        request, cancelToken,
        [this, generationId](const project_data::ProcessingProgress &record) { emit progressChanged(generationId, record); });
    emit finished(generationId, result);
}

} // namespace ovra::ui::preview
