// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/FilePublication.h"

#include "media/NoReplaceRename.h"
#include "media/StagingFile.h"

#include <QCoreApplication>
#include <QFile>

namespace ovra::processing {

namespace {

class FilePublication
{
    Q_DECLARE_TR_FUNCTIONS(FilePublication)
};

} // namespace

bool publishFile(const QString &path, const QByteArray &content, QString *errorMessage)
{
    media::StagingFile staging;
    if (!staging.reserve(path, errorMessage))
        return false;
    QFile file(staging.path());
    const bool written = file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush();
    file.close();
    QString renameError;
    const media::RenameOutcome outcome
        = written ? media::renameWithoutReplacing(staging.path(), path, &renameError) : media::RenameOutcome::Failed;
    if (outcome == media::RenameOutcome::Renamed) {
        staging.release();
        return true;
    }
    *errorMessage = outcome == media::RenameOutcome::TargetExists
        ? FilePublication::tr("The file already exists and was not overwritten: %1").arg(path)
        : FilePublication::tr("Could not write %1: %2").arg(path, written ? renameError : file.errorString());
    staging.remove();
    return false;
}

} // namespace ovra::processing
