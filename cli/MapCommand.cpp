// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AnalysisRun.h"
#include "cli/CliSupport.h"
#include "cli/CommandParser.h"
#include "cli/Commands.h"
#include "cli/FragmentArguments.h"

#include "processing/FilePublication.h"
#include "processing/VibrationMapExport.h"

#include <QBuffer>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace ovra::cli {
namespace {

constexpr int printedTileCount = 10;
constexpr double defaultHalfWidthPercent = 10.0;

struct MapOptions
{
    FragmentOptions fragment;
    QCommandLineOption output{QStringLiteral("output"),
                              CommandLineText::tr("PNG picture of the map to write (never overwritten)."),
                              QStringLiteral("MAP.png")};
    QCommandLineOption csv{QStringLiteral("csv"),
                           CommandLineText::tr("Also write every tile as CSV (never overwritten)."),
                           QStringLiteral("MAP.csv")};
    QCommandLineOption band{QStringLiteral("band"), CommandLineText::tr("Frequency band in Hz of capture time."),
                            QStringLiteral("LOW:HIGH")};
    QCommandLineOption frequency{QStringLiteral("frequency"),
                                 CommandLineText::tr("Centre of the band in Hz, instead of --band."),
                                 QStringLiteral("F")};
    QCommandLineOption halfWidth{
        QStringLiteral("half-width"),
        CommandLineText::tr("Half width of the band around --frequency, in percent (default 10)."),
        QStringLiteral("P")};
    QCommandLineOption tile{QStringLiteral("tile"),
                            CommandLineText::tr("Side of a tile in pixels (default: 64 tiles across the frame)."),
                            QStringLiteral("PX")};
    ScaleOption scale;
};

struct MapArguments
{
    FragmentArguments fragment;
    QString outputPath;
    QString csvPath;
    double lowerHz = 0.0;
    double upperHz = 0.0;
    int tilePixels = 0;
    std::optional<processing::MeasurementScale> scale;
};

// The band from --band, or from --frequency and --half-width.
std::optional<int> parseBand(const CommandParser &command, const MapOptions &options, MapArguments *arguments)
{
    const QCommandLineParser &parser = command.parser();
    if (parser.isSet(options.band) == parser.isSet(options.frequency))
        return command.usageError(CommandLineText::tr("Give either --band or --frequency."));
    if (parser.isSet(options.halfWidth) && !parser.isSet(options.frequency))
        return command.usageError(CommandLineText::tr("--half-width goes with --frequency."));
    if (parser.isSet(options.band)) {
        const auto band = parsePair<double>(parser.value(options.band));
        if (!band)
            return command.usageError(CommandLineText::tr("--band needs LOW:HIGH in Hz, for example 9:14."));
        std::tie(arguments->lowerHz, arguments->upperHz) = *band;
        return std::nullopt;
    }
    bool centreOk = false;
    bool widthOk = true;
    const double centre = parser.value(options.frequency).toDouble(&centreOk);
    const double percent = parser.isSet(options.halfWidth) ? parser.value(options.halfWidth).toDouble(&widthOk)
                                                           : defaultHalfWidthPercent;
    if (!centreOk || !widthOk || !(percent > 0.0 && percent < 100.0))
        return command.usageError(
            CommandLineText::tr("--frequency needs Hz and --half-width a percentage between 0 and 100."));
    arguments->lowerHz = centre * (1.0 - percent / 100.0);
    arguments->upperHz = centre * (1.0 + percent / 100.0);
    return std::nullopt;
}

std::optional<int> parseArguments(const CommandParser &command, const MapOptions &options, MapArguments *arguments)
{
    const QCommandLineParser &parser = command.parser();
    if (!parser.isSet(options.output))
        return command.usageError(CommandLineText::tr("--output is required."));
    if (const auto exitCode = parseBand(command, options, arguments))
        return exitCode;
    if (parser.isSet(options.tile)) {
        std::optional<int> exitCode;
        const std::optional<qint64> tile = command.integerOption(options.tile.names().constFirst(), &exitCode);
        if (!tile)
            return exitCode;
        arguments->tilePixels = static_cast<int>(std::clamp<qint64>(*tile, 0, 1 << 16));
    }
    if (const auto exitCode = options.scale.parse(command, &arguments->scale))
        return exitCode;
    arguments->outputPath = QFileInfo(parser.value(options.output)).absoluteFilePath();
    if (parser.isSet(options.csv))
        arguments->csvPath = QFileInfo(parser.value(options.csv)).absoluteFilePath();
    return parseFragmentArguments(command, options.fragment, &arguments->fragment);
}

// The strongest textured tiles on stdout, the figures that qualify them on stderr.
void printMap(const processing::VibrationMapResult &result, const std::optional<processing::MeasurementScale> &scale)
{
    const motion_core::VibrationMap &map = result.map;
    std::vector<const motion_core::VibrationMapTile *> tiles;
    for (const motion_core::VibrationMapTile &tile : map.tiles)
        if (tile.textured)
            tiles.push_back(&tile);
    const size_t printed = std::min<size_t>(printedTileCount, tiles.size());
    std::partial_sort(tiles.begin(), tiles.begin() + std::ptrdiff_t(printed), tiles.end(),
                      [](const auto *a, const auto *b) { return a->amplitudePixels > b->amplitudePixels; });
    for (size_t i = 0; i < printed; ++i) {
        const motion_core::VibrationMapTile &tile = *tiles[i];
        QString line = QStringLiteral("%1,%2 %3x%4  %5 px")
                           .arg(tile.pixels.x())
                           .arg(tile.pixels.y())
                           .arg(tile.pixels.width())
                           .arg(tile.pixels.height())
                           .arg(tile.amplitudePixels, 0, 'f', 4);
        if (scale)
            line += QStringLiteral("  ") + millimetreText(*scale, tile.amplitudePixels, map.strongestFrequencyHz);
        // An axis: 179.6 degrees is the horizontal, printed as 0.
        printOutput(line
                    + QStringLiteral("  %1 deg").arg(std::fmod(std::round(tile.directionDegrees), 180.0), 0, 'f', 0));
    }
    printError(
        CommandLineText::tr("%n frame(s): %1 of %2 tiles textured, strongest at %3 Hz; median noise floor %4 px.",
                            nullptr, int(result.analysedFrames))
            .arg(map.texturedTileCount())
            .arg(map.tiles.size())
            .arg(map.strongestFrequencyHz, 0, 'f', 2)
            .arg(map.noiseFloorPixels, 0, 'f', 4));
}

QByteArray pngContent(const QImage &image)
{
    QByteArray content;
    QBuffer buffer(&content);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return content;
}

int runAnalysis(const processing::VibrationMapRequest &request, const MapArguments &arguments,
                const media::CancellationCheck &cancellationCheck, TerminalProgress &progress)
{
    const processing::VibrationMapResult result
        = processing::VibrationMapAnalysis().run(request, progressOnTerminal(progress), cancellationCheck);
    progress.finish();
    if (const std::optional<int> exit
        = failedRunExit(result, CommandLineText::tr("The vibration map was cancelled by the user.")))
        return *exit;
    printMap(result, arguments.scale);
    using processing::VibrationMapExport;
    QString error;
    const QByteArray picture = pngContent(VibrationMapExport::picture(request, result, arguments.scale));
    if (!processing::publishFile(arguments.outputPath, picture, &error)
        || (!arguments.csvPath.isEmpty()
            && !processing::publishFile(arguments.csvPath, VibrationMapExport::csv(result.map, arguments.scale),
                                        &error))) {
        printError(error);
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace

int runMap(const QStringList &commandLine)
{
    CommandParser command(QStringLiteral("map"),
                          CommandLineText::tr("Maps where in a region of a video the motion of a frequency band lives: "
                                              "a grid of tiles, each with its amplitude and direction, drawn over the "
                                              "fragment's first frame; prints the strongest tiles."),
                          QStringLiteral("INPUT"), CommandLineText::tr("The video to map."));
    const MapOptions options;
    command.parser().addOptions({options.output, options.csv, options.band, options.frequency, options.halfWidth,
                                 options.fragment.captureFps, options.fragment.frames, options.fragment.region,
                                 options.fragment.stabilize, options.fragment.reference, options.tile,
                                 options.scale.option});
    if (const auto exitCode = command.parse(commandLine, 1))
        return *exitCode;
    MapArguments arguments;
    if (const auto exitCode = parseArguments(command, options, &arguments))
        return *exitCode;
    for (const QString &path : {arguments.outputPath, arguments.csvPath}) {
        if (!path.isEmpty() && QFileInfo::exists(path)) {
            printError(CommandLineText::tr("The output file already exists and was not overwritten: %1").arg(path));
            return ExitFailure;
        }
    }

    const InterruptGuard interruptGuard;
    const media::CancellationCheck cancellationCheck = &InterruptGuard::requested;
    TerminalProgress progress;
    processing::VibrationMapRequest request;
    if (const auto exitCode = analyseSource(arguments.fragment, cancellationCheck, progress, &request.sourceMetadata))
        return *exitCode;
    request.startFrame = arguments.fragment.startFrame(request.sourceMetadata);
    request.endFrameExclusive = arguments.fragment.endFrame(request.sourceMetadata);
    request.regionOfInterest = arguments.fragment.region;
    request.stabilizationReferenceRegion = arguments.fragment.stabilizationReference;
    request.lowerFrequencyHz = arguments.lowerHz;
    request.upperFrequencyHz = arguments.upperHz;
    request.tilePixels = arguments.tilePixels;
    return runAnalysis(request, arguments, cancellationCheck, progress);
}

} // namespace ovra::cli
