// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/NoReplaceRename.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace ovra::media {
namespace {

RenameOutcome failure(int errorCode, QString *errorText)
{
    if (errorText)
        *errorText = qt_error_string(errorCode);
    return errorCode == EEXIST ? RenameOutcome::TargetExists : RenameOutcome::Failed;
}

} // namespace

RenameOutcome renameWithoutReplacing(const QString &from, const QString &to, QString *errorText)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return RenameOutcome::Renamed;
    const int errorCode = errno;
    // EINVAL: this file system does not know the flag; ENOSYS: an old kernel.
    if (errorCode == EINVAL || errorCode == ENOSYS || errorCode == EOPNOTSUPP)
        return linkThenUnlink(from, to, errorText);
    return failure(errorCode, errorText);
}

RenameOutcome linkThenUnlink(const QString &from, const QString &to, QString *errorText)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::link(source.constData(), target.constData()) != 0)
        return failure(errno, errorText);
    if (::unlink(source.constData()) != 0) {
        const int errorCode = errno;
        ::unlink(target.constData());
        return failure(errorCode, errorText);
    }
    return RenameOutcome::Renamed;
}

} // namespace ovra::media
