// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ovra::diagnostics::service {

// Lets a progress event into the journal when the 5 % bucket or the stage name changes, so that a
// polling client sees each step of a run without one event per frame.
class ProgressEventFilter
{
public:
    bool advance(double progress, const QString &stageName);
    void reset();

private:
    int m_bucket = -1;
    QString m_stageName;
};

} // namespace ovra::diagnostics::service
