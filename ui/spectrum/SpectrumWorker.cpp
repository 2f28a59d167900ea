// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/spectrum/SpectrumWorker.h"

#include "processing/ProgressThrottle.h"

namespace ovra::ui::spectrum {

void SpectrumWorker::run(quint64 generationId, const processing::MotionSpectrumRequest &request,
                         const preview::CancelToken &cancelToken)
{
    const processing::ProgressCallback progress = processing::throttledProgress(
        [this, generationId](const project_data::ProcessingProgress &record) { emit progressChanged(generationId, record); });
    const auto cancelled = [cancelToken] { return cancelToken && cancelToken->load(); };
    const processing::MotionSpectrumResult result = processing::MotionSpectrumAnalysis().run(request, progress, cancelled);
    emit finished(generationId, result);
}

} // namespace ovra::ui::spectrum
