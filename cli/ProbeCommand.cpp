// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSupport.h"
#include "cli/CommandParser.h"
#include "cli/Commands.h"
#include "cli/MetadataJson.h"

#include "media/libav/LibavVideoAnalyzer.h"

#include <QJsonDocument>

namespace ovra::cli {

int runProbe(const QStringList &arguments)
{
    CommandParser command(QStringLiteral("probe"),
                          CommandLineText::tr("Analyses a video's time grid and prints its metadata as JSON."),
                          QStringLiteral("FILE"), CommandLineText::tr("The video to analyse."));
    const QCommandLineOption timestampsOption(QStringLiteral("timestamps"),
                                              CommandLineText::tr("List every frame timestamp."));
    command.parser().addOption(timestampsOption);
    if (const auto exitCode = command.parse(arguments, 1))
        return *exitCode;

    TerminalProgress progress;
    media::libav::LibavVideoAnalyzer analyzer;
    media::VideoMetadata metadata;
    QString error;
    const bool analysed = analyzer.analyze(
        command.parser().positionalArguments().constFirst(), &metadata, &error, {},
        [&progress](double fraction) { progress.update(CommandLineText::tr("Analysing"), fraction); });
    if (analysed)
        progress.update(CommandLineText::tr("Analysing"), 1.0);
    progress.finish();
    if (!analysed) {
        printError(error);
        return ExitFailure;
    }
    const QJsonObject json
        = metadataToJson(metadata, analyzer.rotationDegrees(), command.parser().isSet(timestampsOption));
    printOutput(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
    return ExitSuccess;
}

} // namespace ovra::cli
