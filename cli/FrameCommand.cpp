// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSupport.h"
#include "cli/CommandParser.h"
#include "cli/Commands.h"

#include "media/libav/LibavVideoSource.h"

#include <QFileInfo>

namespace ovra::cli {

int runFrame(const QStringList &arguments)
{
    CommandParser command(
        QStringLiteral("frame"), CommandLineText::tr("Writes one upright frame of a video as a PNG image."),
        QStringLiteral("FILE --index N --output OUT.png"), CommandLineText::tr("The video to take the frame from."));
    const QCommandLineOption indexOption(QStringLiteral("index"), CommandLineText::tr("Zero-based frame index."),
                                         QStringLiteral("N"));
    const QCommandLineOption outputOption(QStringLiteral("output"), CommandLineText::tr("PNG file to write."),
                                          QStringLiteral("OUT.png"));
    command.parser().addOptions({indexOption, outputOption});
    if (const auto exitCode = command.parse(arguments, 1))
        return *exitCode;
    if (!command.parser().isSet(indexOption) || !command.parser().isSet(outputOption))
        return command.usageError(CommandLineText::tr("--index and --output are required."));
    std::optional<int> usageExit;
    const auto frameIndex = command.integerOption(QStringLiteral("index"), &usageExit);
    if (!frameIndex)
        return *usageExit;
    const QString outputPath = command.parser().value(outputOption);
    if (QFileInfo::exists(outputPath)) {
        printError(CommandLineText::tr("The output file already exists and was not overwritten: %1").arg(outputPath));
        return ExitFailure;
    }

    media::libav::LibavVideoSource source;
    media::VideoFrame frame;
    QString error;
    if (!source.open(command.parser().positionalArguments().constFirst(), &error)
        || !source.seekToFrame(*frameIndex, &error)) {
        printError(error);
        return ExitFailure;
    }
    const media::VideoReadStatus status = source.readFrame(&frame, &error);
    if (status != media::VideoReadStatus::Frame) {
        printError(status == media::VideoReadStatus::EndOfStream
                       ? CommandLineText::tr("The video ended before frame %1.").arg(*frameIndex)
                       : error);
        return ExitFailure;
    }
    if (!frame.image.save(outputPath, "PNG")) {
        printError(CommandLineText::tr("Could not write the image file: %1").arg(outputPath));
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace ovra::cli
