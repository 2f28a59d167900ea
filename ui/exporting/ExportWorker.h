// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/preview/PreviewWorker.h"

#include <QObject>

namespace ovra::ui::exporting {

// Saves an analysis result as MP4 with its parameters file on the "Processed video export" thread.
class ExportWorker : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Posted by the controller as a queued call; the same run and throttle as the preview worker's.
    void run(quint64 operationId, const project_data::ProcessingRequest &request, const preview::CancelToken &cancelToken);

signals:
    void progressChanged(quint64 operationId, const ovra::project_data::ProcessingProgress &progress);
    void finished(quint64 operationId, const ovra::project_data::ProcessingResult &result);
};

} // namespace ovra::ui::exporting
