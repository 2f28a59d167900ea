// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

namespace ovra::cli {

// A QCommandLineParser that reports usage errors with exit code 2 and answers --help itself.
class CommandParser
{
public:
    // positionalSyntax is the usage line after the options, starting with the one positional
    // argument, the input video, whose meaning inputDescription gives.
    CommandParser(const QString &command, const QString &description, const QString &positionalSyntax,
                  const QString &inputDescription);

    QCommandLineParser &parser() { return m_parser; }
    const QCommandLineParser &parser() const { return m_parser; }

    // The exit code to return at once (help shown or usage error), or nullopt to go on.
    // expectedPositionals is the exact number of positional arguments.
    std::optional<int> parse(const QStringList &arguments, int expectedPositionals);

    int usageError(const QString &message) const;

    // Reads an integer option; reports a usage error through *exitCode when it is malformed.
    std::optional<qint64> integerOption(const QString &name, std::optional<int> *exitCode) const;

private:
    QString m_command;
    QCommandLineParser m_parser;
};

} // namespace ovra::cli
