// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/StagingFile.h"

#include "media/ErrorMessage.h"
#include "media/NoReplaceRename.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QUuid>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovra::media {
namespace {

Q_LOGGING_CATEGORY(lcStaging, "ovra.media.staging")

QString hiddenSibling(const QFileInfo &target, const QString &uuid, const QString &word)
{
    const QString suffix = target.suffix();
    const QString name = suffix.isEmpty() ? QStringLiteral(".%1.%2.%3").arg(target.fileName(), uuid, word)
                                          : QStringLiteral(".%1.%2.%3.%4").arg(target.fileName(), uuid, word, suffix);
    return target.absoluteDir().filePath(name);
}

bool lockExclusively(int descriptor)
{
    return ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
}

// Locked under a name no cleaner looks at, then renamed: a file under a staging name is locked
// from its first moment on. Answers the outcome of the rename; descriptor is -1 on failure.
RenameOutcome createLocked(const QString &path, int *descriptor, QString *errorText)
{
    const QString reserving = path + QStringLiteral(".reserving");
    const QByteArray name = QFile::encodeName(reserving);
    *descriptor = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (*descriptor < 0) {
        *errorText = qt_error_string(errno);
        return RenameOutcome::Failed;
    }
    RenameOutcome outcome = RenameOutcome::Failed;
    if (lockExclusively(*descriptor))
        outcome = renameWithoutReplacing(reserving, path, errorText);
    else
        *errorText = qt_error_string(errno);
    if (outcome != RenameOutcome::Renamed) {
        ::unlink(name.constData());
        ::close(*descriptor);
        *descriptor = -1;
    }
    return outcome;
}

// Ours, and its writer gone: a regular file of this user whose lock nobody holds. The lock is
// kept while the file is deleted, so no writer can take it over in between.
void removeIfAbandoned(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int descriptor = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return;
    struct stat status = {};
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid()
        && lockExclusively(descriptor) && ::unlink(name.constData()) != 0)
        qCWarning(lcStaging).noquote() << "Could not remove an abandoned staging file:" << path;
    ::close(descriptor);
}

} // namespace

StagingFile::~StagingFile()
{
    release();
}

QString StagingFile::pathFor(const QString &target)
{
    return hiddenSibling(QFileInfo(target), QUuid::createUuid().toString(QUuid::WithoutBraces),
                         QStringLiteral("staging"));
}

bool StagingFile::reserve(const QString &target, QString *errorMessage)
{
    release();
    const QFileInfo info(target);
    const QString directory = info.absoluteDir().absolutePath();
    if (info.fileName().isEmpty() || !info.absoluteDir().exists())
        return reportFailure(errorMessage, tr("The output directory does not exist: %1").arg(directory));
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString candidate = pathFor(target);
        QString errorText;
        switch (createLocked(candidate, &m_lockDescriptor, &errorText)) {
        case RenameOutcome::Renamed:
            m_path = candidate;
            return true;
        case RenameOutcome::TargetExists:
            continue;
        case RenameOutcome::Failed:
            return reportFailure(errorMessage,
                                 tr("Could not create a staging file in %1: %2").arg(directory, errorText));
        }
    }
    return reportFailure(errorMessage, tr("Could not choose a unique staging file name in %1.").arg(directory));
}

QString StagingFile::remove()
{
    if (m_path.isEmpty())
        return {};
    const QString warning = removeFile(m_path);
    if (warning.isEmpty())
        release();
    return warning;
}

void StagingFile::release()
{
    if (m_lockDescriptor >= 0)
        ::close(m_lockDescriptor);
    m_lockDescriptor = -1;
    m_path.clear();
}

void StagingFile::removeAbandoned(const QString &folder)
{
    static const QRegularExpression stagingName(
        QStringLiteral(R"(^\..+\.[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\.staging(\.[^.]+)?$)"));
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (stagingName.match(name).hasMatch())
            removeIfAbandoned(QDir(folder).filePath(name));
    }
}

QString removeFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    QFile file(path);
    if (file.remove())
        return {};
    return QCoreApplication::translate("StagingFile", "A temporary file may remain at %1: %2")
        .arg(info.absoluteFilePath(), file.errorString());
}

} // namespace ovra::media
