// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/ProcessingRecords.h"

#include <QJsonObject>
#include <QString>

namespace ovra::diagnostics::service {

// Where the time of a processing run went, derived from its performance record.
class PerformanceReport
{
public:
    // Everything the analysis run measured, including the pipeline and motion-core stages.
    static QJsonObject full(const project_data::ProcessingPerformance &record);
    // The headline figures of an export run.
    static QJsonObject brief(const project_data::ProcessingPerformance &record);
    // The answer of "diagnostics.getPerformance", every value taken from one snapshot and the
    // application's current operation taken at the same moment.
    static QJsonObject report(const QJsonObject &snapshot, const QString &activeOperation);

private:
    static QJsonObject pipeline(const project_data::ProcessingPerformance &record);
    static QJsonObject motionCore(const project_data::ProcessingPerformance &record);
};

} // namespace ovra::diagnostics::service
