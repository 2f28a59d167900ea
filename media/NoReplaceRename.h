// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace ovra::media {

enum class RenameOutcome {
    Renamed,
    TargetExists,
    Failed,
};

// Gives a file its final name in one atomic step that fails when the name is taken, even when
// another program creates it at the same moment: renameat2 with RENAME_NOREPLACE, or, on file
// systems that refuse that flag, linkThenUnlink. errorText receives the system's error text.
RenameOutcome renameWithoutReplacing(const QString &from, const QString &to, QString *errorText = nullptr);

// The fallback: a hard link is created atomically and never replaces an existing name; the old
// name is removed afterwards (and the new one again if that fails, so no second name remains).
RenameOutcome linkThenUnlink(const QString &from, const QString &to, QString *errorText = nullptr);

} // namespace ovra::media
