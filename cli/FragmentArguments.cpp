// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FragmentArguments.h"

#include "media/libav/LibavVideoAnalyzer.h"
#include "processing/SettingsValidation.h"

namespace ovra::cli {

namespace {

std::optional<QRectF> parseRegion(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    double values[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    return QRectF(values[0], values[1], values[2], values[3]);
}

} // namespace

qint64 FragmentArguments::startFrame(const media::VideoMetadata &metadata) const
{
    return frames ? frames->first : processing::automaticStartFrame(metadata);
}

qint64 FragmentArguments::endFrame(const media::VideoMetadata &metadata) const
{
    return frames ? frames->second : metadata.frameCount;
}

std::optional<int> ScaleOption::parse(const CommandParser &command,
                                      std::optional<processing::MeasurementScale> *scale) const
{
    if (!command.parser().isSet(option))
        return std::nullopt;
    bool ok = false;
    *scale = processing::MeasurementScale::typed(command.parser().value(option).toDouble(&ok));
    if (!ok || !(*scale)->isValid())
        return command.usageError(CommandLineText::tr("--scale needs millimetres per pixel above 0."));
    return std::nullopt;
}

std::optional<int> parseFragmentArguments(const CommandParser &command, const FragmentOptions &options,
                                          FragmentArguments *arguments)
{
    const QCommandLineParser &parser = command.parser();
    if (parser.isSet(options.captureFps)) {
        bool ok = false;
        arguments->captureFps = parser.value(options.captureFps).toDouble(&ok);
        if (!ok)
            return command.usageError(CommandLineText::tr("a numeric option has a value that is not a number."));
    }
    if (parser.isSet(options.frames)) {
        arguments->frames = parsePair<qint64>(parser.value(options.frames));
        if (!arguments->frames)
            return command.usageError(CommandLineText::tr("--frames needs START:END frame numbers, END exclusive."));
    }
    if (parser.isSet(options.region)) {
        const auto region = parseRegion(parser.value(options.region));
        if (!region)
            return command.usageError(CommandLineText::tr("--roi needs X,Y,W,H as fractions of the frame."));
        arguments->region = *region;
    }
    if (parser.isSet(options.stabilize) && parser.isSet(options.reference))
        return command.usageError(CommandLineText::tr("--stabilize and --reference exclude each other."));
    if (parser.isSet(options.stabilize))
        arguments->stabilizationReference = QRectF(0.0, 0.0, 1.0, 1.0);
    if (parser.isSet(options.reference)) {
        arguments->stabilizationReference = parseRegion(parser.value(options.reference));
        if (!arguments->stabilizationReference)
            return command.usageError(CommandLineText::tr("--reference needs X,Y,W,H as fractions of the frame."));
    }
    arguments->inputPath = parser.positionalArguments().constFirst();
    return std::nullopt;
}

std::optional<int> analyseSource(const FragmentArguments &arguments, const media::CancellationCheck &cancellationCheck,
                                 TerminalProgress &progress, media::VideoMetadata *metadata)
{
    QString error;
    media::libav::LibavVideoAnalyzer analyzer(cancellationCheck);
    const bool analysed = analyzer.analyze(arguments.inputPath, metadata, &error, {}, [&progress](double fraction) {
        progress.update(CommandLineText::tr("Analysing source video"), fraction);
    });
    if (analysed)
        progress.update(CommandLineText::tr("Analysing source video"), 1.0);
    progress.finish();
    if (!analysed) {
        printError(error);
        return analyzer.cancelled() ? ExitCancelled : ExitFailure;
    }
    if (arguments.captureFps) {
        metadata->captureFrameRate = *arguments.captureFps;
        metadata->captureFrameRateManual = true;
    } else if (!metadata->captureFrameRateKnown()) {
        printError(
            CommandLineText::tr("The file does not tell the camera's capture frame rate; give it with --capture-fps."));
        return ExitFailure;
    }
    return std::nullopt;
}

} // namespace ovra::cli
