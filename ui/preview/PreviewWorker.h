// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/ProcessingRecords.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

namespace ovra::ui::preview {

using CancelToken = std::shared_ptr<std::atomic_bool>;

// One pipeline run with the progress throttle of every worker (throttledProgress).
project_data::ProcessingResult runThrottledPipeline(
    const project_data::ProcessingRequest &request, const CancelToken &cancelToken,
    const std::function<void(const project_data::ProcessingProgress &)> &forward);

// Creates analysis results on the "Processed video preview" thread, one run at a time.
class PreviewWorker : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Posted by the controller as a queued call.
    void run(quint64 generationId, const project_data::ProcessingRequest &request, const CancelToken &cancelToken);

signals:
    void progressChanged(quint64 generationId, const ovra::project_data::ProcessingProgress &progress);
    void finished(quint64 generationId, const ovra::project_data::ProcessingResult &result);
};

} // namespace ovra::ui::preview
