#include "ui/preview/PreviewWorker.h"

#include "processing/VideoProcessingPipeline.h"

#include <QElapsedTimer>

namespace ovra::ui::preview {

project_data::ProcessingResult runThrottledPipeline(
    const project_data::ProcessingRequest &request, const CancelToken &cancelToken,
    const std::function<void(const project_data::ProcessingProgress &)> &forward)
{
    processing::VideoProcessingPipeline pipeline;
    QElapsedTimer sinceForwarded;
    sinceForwarded.start();
    QString lastStage;
    bool forwardedOnce = false;
    const auto progress = [&](const project_data::ProcessingProgress &record) {
        const bool complete = record.totalFrames > 0 && record.processedFrames >= record.totalFrames;
        if (forwardedOnce && record.stageName == lastStage && !complete && sinceForwarded.elapsed() < 100)
            return;
        forwardedOnce = true;
        lastStage = record.stageName;
        sinceForwarded.restart();
        forward(record);
    };
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
