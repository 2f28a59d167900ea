// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandParser.h"

#include "cli/CliSupport.h"

namespace ovra::cli {

CommandParser::CommandParser(const QString &command, const QString &description, const QString &positionalSyntax,
                             const QString &inputDescription)
    : m_command(command)
{
    m_parser.setApplicationDescription(description);
    m_parser.addHelpOption();
    m_parser.addPositionalArgument(positionalSyntax.section(QLatin1Char(' '), 0, 0), inputDescription,
                                   positionalSyntax);
}

std::optional<int> CommandParser::parse(const QStringList &arguments, int expectedPositionals)
{
    if (!m_parser.parse(arguments))
        return usageError(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help"))) {
        // The usage line names the program's path; only that occurrence becomes the command.
        QString help = m_parser.helpText();
        const QString program = QCoreApplication::arguments().value(0);
        const qsizetype at = program.isEmpty() ? -1 : help.indexOf(program);
        if (at >= 0)
            help.replace(at, program.size(), QStringLiteral("ovra-motion-cli ") + m_command);
        printOutput(help);
        return ExitSuccess;
    }
    if (m_parser.positionalArguments().size() != expectedPositionals)
        return usageError(CommandLineText::tr("expected %1 argument(s), got %2.")
                              .arg(expectedPositionals)
                              .arg(m_parser.positionalArguments().size()));
    return std::nullopt;
}

int CommandParser::usageError(const QString &message) const
{
    return cli::usageError(m_command, message);
}

std::optional<qint64> CommandParser::integerOption(const QString &name, std::optional<int> *exitCode) const
{
    bool ok = false;
    const qint64 value = m_parser.value(name).toLongLong(&ok);
    if (!ok) {
        *exitCode = usageError(CommandLineText::tr("--%1 needs an integer, got '%2'.").arg(name, m_parser.value(name)));
        return std::nullopt;
    }
    return value;
}

} // namespace ovra::cli
