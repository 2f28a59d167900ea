// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>

namespace ovra::media {

// A hidden file beside its target, written in full before it is published under the target's
// name: ".<target name>.<uuid>.staging.<target suffix>" (no last part without a suffix). While
// the object holds the file it keeps an advisory lock on it, which the system drops when the
// process dies in any way; so removeAbandoned can tell what a killed run left behind from a
// file that is still being written, in this process or another.
class StagingFile
{
    Q_DECLARE_TR_FUNCTIONS(StagingFile)

public:
    StagingFile() = default;
    ~StagingFile(); // lets go of the lock, leaves the file
    StagingFile(const StagingFile &) = delete;
    StagingFile &operator=(const StagingFile &) = delete;

    // Creates the empty, locked file beside target.
    bool reserve(const QString &target, QString *errorMessage = nullptr);
    // Empty while nothing is reserved.
    const QString &path() const { return m_path; }
    // Deletes the file and lets go of it. A file that stays keeps its path for another try and
    // is named in the returned warning; empty when nothing remains.
    QString remove();
    // After the file was published under another name: lets go of it without deleting.
    void release();

    static QString pathFor(const QString &target);
    // Deletes the staging files in a folder whose writer no longer runs; never anything else.
    static void removeAbandoned(const QString &folder);

private:
    QString m_path;
    int m_lockDescriptor = -1;
};

// Deletes a file if it is there; names it in a warning when it stays.
QString removeFile(const QString &path);

} // namespace ovra::media
