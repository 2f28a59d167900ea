// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace ovra::processing {

// Writes content beside path under a hidden name, then publishes it at path without replacing
// anything there. False with the reason when the file exists or cannot be written; nothing is
// left behind.
bool publishFile(const QString &path, const QByteArray &content, QString *errorMessage);

} // namespace ovra::processing
