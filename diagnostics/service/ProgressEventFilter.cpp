// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/ProgressEventFilter.h"

#include <algorithm>
#include <cmath>

namespace ovra::diagnostics::service {

bool ProgressEventFilter::advance(double progress, const QString &stageName)
{
    const double fraction = std::isfinite(progress) ? std::clamp(progress, 0.0, 1.0) : 0.0;
    const int bucket = int(std::floor(fraction * 20.0));
    if (bucket == m_bucket && stageName == m_stageName)
        return false;
    m_bucket = bucket;
    m_stageName = stageName;
    return true;
}

void ProgressEventFilter::reset()
{
    m_bucket = -1;
    m_stageName.clear();
}

} // namespace ovra::diagnostics::service
