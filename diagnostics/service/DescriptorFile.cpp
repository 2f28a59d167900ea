// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/DescriptorFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

#include <unistd.h>

namespace ovra::diagnostics::service::descriptor {
namespace {

const QString relativeDirectory = QStringLiteral("OVRA/OVRA Motion/runtime/diagnostics");

QString baseLocation()
{
    for (const auto location :
         {QStandardPaths::RuntimeLocation, QStandardPaths::GenericDataLocation, QStandardPaths::TempLocation}) {
        const QString path = QStandardPaths::writableLocation(location);
        if (!path.isEmpty())
            return path;
    }
    return QDir::tempPath();
}

void setError(QString *errorCode, const char *code)
{
    if (errorCode)
        *errorCode = QString::fromLatin1(code);
}

// An entry we created or may reuse: a real directory of this user, reached without a link.
bool trustedDirectory(const QString &path)
{
    const QFileInfo info(path);
    return !info.isSymLink() && info.isDir() && info.ownerId() == ::geteuid();
}

// Creates the missing levels below base one at a time, checking each before going further, so
// that nothing is ever created through a link or inside someone else's directory.
bool createTrusted(const QString &base, const QString &path)
{
    QString current = base;
    for (const QString &part : path.mid(base.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        current += QLatin1Char('/') + part;
        const QFileInfo entry(current);
        if (!entry.exists() && !entry.isSymLink() && !QDir().mkdir(current))
            return false;
        if (!trustedDirectory(current))
            return false;
    }
    return true;
}

} // namespace

QString directory()
{
    return QDir::cleanPath(baseLocation() + QLatin1Char('/') + relativeDirectory);
}

QString sanitisedName(const QString &instanceId)
{
    QString name;
    for (const QChar c : instanceId) {
        if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            name += c;
    }
    return name.isEmpty() ? QStringLiteral("unknown") : name;
}

QString socketName(const QString &instanceId)
{
    return QStringLiteral("ovra-motion-diagnostics-%1").arg(sanitisedName(instanceId));
}

QString filePath(const QString &instanceId)
{
    return QDir(directory()).filePath(QStringLiteral("instance-%1.json").arg(sanitisedName(instanceId)));
}

bool prepareDirectory(const QString &path, QString *errorCode)
{
    const QString base = QDir::cleanPath(baseLocation());
    if (!path.startsWith(base) || !QDir().mkpath(base) || !createTrusted(base, path)) {
        setError(errorCode, "descriptor_directory_unavailable");
        return false;
    }
    if (!QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        setError(errorCode, "descriptor_directory_permissions_failed");
        return false;
    }
    return true;
}

bool write(const QString &path, const QJsonObject &content, QString *errorCode)
{
    const QByteArray bytes = QJsonDocument(content).toJson(QJsonDocument::Compact);
    // The save file would write through a link; a fresh instance id never names an existing entry.
    QSaveFile file(path);
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink() || !file.open(QIODevice::WriteOnly)) {
        setError(errorCode, "descriptor_open_failed");
        return false;
    }
    if (!file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)) {
        file.cancelWriting();
        setError(errorCode, "descriptor_permissions_failed");
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        setError(errorCode, "descriptor_write_failed");
        return false;
    }
    if (!file.commit()) {
        setError(errorCode, "descriptor_commit_failed");
        return false;
    }
    return true;
}

} // namespace ovra::diagnostics::service::descriptor
