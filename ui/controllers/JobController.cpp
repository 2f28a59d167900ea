// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/JobController.h"

namespace ovra::ui::controllers {

JobController::JobController(const QString &threadName, QObject *parent)
    : QObject(parent)
    , m_job(threadName, this)
{
}

void JobController::beginProgress(const QString &stageName)
{
    m_progress = 0.0;
    m_remainingTimeUs = 0;
    m_stageName = stageName;
}

void JobController::showProgress(const project_data::ProcessingProgress &progress)
{
    m_progress = progress.fraction();
    m_remainingTimeUs = progress.remainingTimeUs();
    m_stageName = progress.stageName;
    emit progressChanged();
}

} // namespace ovra::ui::controllers
