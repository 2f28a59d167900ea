// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ovra::media {

// The failure convention of every component: the message goes to the optional out-parameter
// and the operation answers false.
inline bool reportFailure(QString *errorMessage, const QString &message)
{
    if (errorMessage)
        *errorMessage = message;
    return false;
}

} // namespace ovra::media
