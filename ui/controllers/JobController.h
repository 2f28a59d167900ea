// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/ProcessingRecords.h"
#include "ui/controllers/BackgroundJob.h"

#include <QObject>
#include <QString>
#include <QtQmlIntegration/qqmlintegration.h>

namespace ovra::ui::controllers {

// What every controller with a background job shows of it: whether its run goes on or is being
// cancelled, the run's progress, stage and remaining time, and why the latest run failed. The
// controller derives its own state from these and its own facts. Derived classes name it in
// full: Qt 6.4's QML type registrar does not resolve a base named relative to the namespace, and
// QML would then not see these properties.
class JobController : public QObject
{
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(bool busy READ busy NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool cancelling READ cancelling NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool hasError READ hasError NOTIFY stateChanged FINAL)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY stateChanged FINAL)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged FINAL)
    Q_PROPERTY(QString stageName READ stageName NOTIFY progressChanged FINAL)
    Q_PROPERTY(qint64 remainingTimeUs READ remainingTimeUs NOTIFY progressChanged FINAL)

public:
    bool busy() const { return m_job.running(); }
    bool cancelling() const { return m_job.cancelling(); }
    bool hasError() const { return !m_errorMessage.isEmpty(); }
    QString errorMessage() const { return m_errorMessage; }
    double progress() const { return m_progress; }
    QString stageName() const { return m_stageName; }
    qint64 remainingTimeUs() const { return m_remainingTimeUs; }

signals:
    void stateChanged();
    void progressChanged();

protected:
    // The job's thread is named threadName. The job is the last member to go, after the derived
    // controller's: its destructor must stop the job first (BackgroundJob::stop).
    JobController(const QString &threadName, QObject *parent);

    // A new run starts at no progress in its first stage.
    void beginProgress(const QString &stageName);
    // The progress a run reports, announced with progressChanged.
    void showProgress(const project_data::ProcessingProgress &progress);

    QString m_errorMessage;
    QString m_stageName;
    double m_progress = 0.0;
    qint64 m_remainingTimeUs = 0;
    BackgroundJob m_job;
};

} // namespace ovra::ui::controllers
