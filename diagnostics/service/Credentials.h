// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ovra::diagnostics::service {

// 32 lowercase hexadecimal digits from a random UUID.
QString newInstanceId();
// 64 lowercase hexadecimal digits (256 bits) from the system's cryptographic generator.
QString newToken();
// Equality whose running time does not depend on where the first difference is, so that a
// client cannot learn the token one character at a time.
bool tokensEqual(const QString &offered, const QString &expected);

} // namespace ovra::diagnostics::service
