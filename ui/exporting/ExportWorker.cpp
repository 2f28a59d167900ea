// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/exporting/ExportWorker.h"

namespace ovra::ui::exporting {

void ExportWorker::run(quint64 operationId, const project_data::ProcessingRequest &request,
                       const preview::CancelToken &cancelToken)
{
    const project_data::ProcessingResult result = preview::runThrottledPipeline(
        request, cancelToken,
        [this, operationId](const project_data::ProcessingProgress &record) { emit progressChanged(operationId, record); });
    emit finished(operationId, result);
}

} // namespace ovra::ui::exporting
