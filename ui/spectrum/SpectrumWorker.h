// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/MotionSpectrumAnalysis.h"
#include "ui/preview/PreviewWorker.h"

#include <QObject>

namespace ovra::ui::spectrum {

// Analyses the motion spectrum of a fragment on the "Motion spectrum" thread, one run at a time.
class SpectrumWorker : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Posted by the controller as a queued call.
    void run(quint64 generationId, const processing::MotionSpectrumRequest &request,
             const preview::CancelToken &cancelToken);

signals:
    void progressChanged(quint64 generationId, const ovra::project_data::ProcessingProgress &progress);
    void finished(quint64 generationId, const ovra::processing::MotionSpectrumResult &result);
};

} // namespace ovra::ui::spectrum
