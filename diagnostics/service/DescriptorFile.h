// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>

namespace ovra::diagnostics::service {

// Where a running instance tells local tools how to reach it: one small JSON file per
// instance in a directory only the user can enter.
namespace descriptor {

// The per-user directory, computed afresh: runtime, generic data or temporary location.
QString directory();
// Keeps letters, digits, "-" and "_" of an instance id; "unknown" when nothing is left.
QString sanitisedName(const QString &instanceId);
QString socketName(const QString &instanceId);
QString filePath(const QString &instanceId);

// Creates the directory and narrows it to the owner. Refuses ("descriptor_directory_unavailable")
// a directory on the way that is a symbolic link or belongs to someone else: another user could
// otherwise read the token or swap the file under us.
bool prepareDirectory(const QString &path, QString *errorCode);
// Writes the file atomically with owner-only permissions; never writes through an entry that
// already exists at the path.
bool write(const QString &path, const QJsonObject &content, QString *errorCode);

} // namespace descriptor
} // namespace ovra::diagnostics::service
