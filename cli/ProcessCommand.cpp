// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSupport.h"
#include "cli/CommandParser.h"
#include "cli/Commands.h"
#include "cli/FragmentArguments.h"

#include "motion_core/MotionSettings.h"
#include "processing/SettingsValidation.h"
#include "processing/VideoProcessingPipeline.h"

#include <QFileInfo>

#include <cmath>
#include <optional>

namespace ovra::cli {
namespace {

// A whole number within [minimum, maximum], checked before it is converted; none otherwise.
std::optional<int> wholeNumberWithin(double value, int minimum, int maximum)
{
    if (!(value >= minimum && value <= maximum))
        return std::nullopt;
    return static_cast<int>(value);
}

QString formatDuration(qint64 microseconds)
{
    return QString::number(static_cast<double>(microseconds) / 1e6, 'f', 1) + QStringLiteral(" s");
}

// The options of `process`, declared once and read back after parsing.
struct ProcessOptions
{
    QCommandLineOption output{QStringLiteral("output"),
                              CommandLineText::tr("File to write (never overwritten): H.264 MP4, or lossless FFV1 when "
                                                  "it ends in .mkv."),
                              QStringLiteral("OUT.mp4")};
    QCommandLineOption band{QStringLiteral("band"), CommandLineText::tr("Frequency band in Hz (default 9:14)."),
                            QStringLiteral("LOW:HIGH")};
    QCommandLineOption rpm{QStringLiteral("rpm"),
                           CommandLineText::tr("Shaft speed; with --harmonic and --half-width it sets the band."),
                           QStringLiteral("R")};
    QCommandLineOption harmonic{QStringLiteral("harmonic"),
                                CommandLineText::tr("Harmonic of the shaft speed: 1, 2 or 3."), QStringLiteral("K")};
    QCommandLineOption halfWidth{QStringLiteral("half-width"),
                                 CommandLineText::tr("Half width of the band around the harmonic, in percent."),
                                 QStringLiteral("P")};
    QCommandLineOption factor{QStringLiteral("factor"),
                              CommandLineText::tr("Amplification factor, 1 to 50 (default 5)."), QStringLiteral("A")};
    FragmentOptions fragment;
    QCommandLineOption noRegionOptimization{QStringLiteral("no-region-optimization"),
                                            CommandLineText::tr("Process the whole frame even for a small region.")};
    QCommandLineOption threads{QStringLiteral("threads"),
                               CommandLineText::tr("Motion worker threads (default: automatic)."), QStringLiteral("N")};
    QCommandLineOption quality{QStringLiteral("quality"),
                               CommandLineText::tr("H.264 quality, 0 to 100 (default 75); lossless output ignores it."),
                               QStringLiteral("Q")};
    ScaleOption scale;
    QCommandLineOption layout{QStringLiteral("layout"),
                              CommandLineText::tr("What the video shows: the result alone (default), or the source "
                                                  "and the result side-by-side or stacked."),
                              QStringLiteral("result|side-by-side|stacked"), QStringLiteral("result")};
};

// The options' values, checked for form; the settings rules come after the analysis.
struct ProcessArguments
{
    FragmentArguments fragment;
    QString outputPath;
    std::pair<double, double> band{9.0, 14.0};
    bool rotationBandGiven = false;
    double rpm = 0.0;
    double harmonic = 1.0;
    double halfWidth = 0.0;
    double factor = 5.0;
    bool regionOptimization = true;
    double threads = 0.0;
    double quality = 75.0;
    std::optional<processing::MeasurementScale> scale;
    project_data::OutputLayout layout = project_data::OutputLayout::Result;
};

std::optional<project_data::OutputLayout> layoutNamed(const QString &name)
{
    if (name == QLatin1String("result"))
        return project_data::OutputLayout::Result;
    if (name == QLatin1String("side-by-side"))
        return project_data::OutputLayout::SideBySide;
    if (name == QLatin1String("stacked"))
        return project_data::OutputLayout::Stacked;
    return std::nullopt;
}

// Fills arguments; answers the exit code when the command line is refused.
std::optional<int> parseArguments(CommandParser &command, const ProcessOptions &options, ProcessArguments *arguments)
{
    const QCommandLineParser &parser = command.parser();
    if (!parser.isSet(options.output))
        return command.usageError(CommandLineText::tr("--output is required."));
    arguments->rotationBandGiven
        = parser.isSet(options.rpm) || parser.isSet(options.harmonic) || parser.isSet(options.halfWidth);
    if (arguments->rotationBandGiven
        && !(parser.isSet(options.rpm) && parser.isSet(options.harmonic) && parser.isSet(options.halfWidth)))
        return command.usageError(CommandLineText::tr("--rpm, --harmonic and --half-width go together."));
    if (arguments->rotationBandGiven && parser.isSet(options.band))
        return command.usageError(
            CommandLineText::tr("Give either --band or --rpm/--harmonic/--half-width, not both."));

    bool numbers = true;
    const auto read = [&parser, &numbers](const QCommandLineOption &option, double *value) {
        bool ok = true;
        if (parser.isSet(option))
            *value = parser.value(option).toDouble(&ok);
        numbers = numbers && ok;
    };
    read(options.factor, &arguments->factor);
    read(options.rpm, &arguments->rpm);
    read(options.harmonic, &arguments->harmonic);
    read(options.halfWidth, &arguments->halfWidth);
    read(options.threads, &arguments->threads);
    read(options.quality, &arguments->quality);
    if (!numbers)
        return command.usageError(CommandLineText::tr("a numeric option has a value that is not a number."));
    if (parser.isSet(options.band)) {
        const auto band = parsePair<double>(parser.value(options.band));
        if (!band)
            return command.usageError(CommandLineText::tr("--band needs LOW:HIGH in Hz, for example 9:14."));
        arguments->band = *band;
    }
    const std::optional<project_data::OutputLayout> layout = layoutNamed(parser.value(options.layout));
    if (!layout)
        return command.usageError(CommandLineText::tr("--layout takes result, side-by-side or stacked."));
    arguments->layout = *layout;
    const auto whole = [](double value) { return value == std::floor(value); };
    if (!whole(arguments->threads) || !whole(arguments->quality) || !whole(arguments->harmonic))
        return command.usageError(CommandLineText::tr("--threads, --quality and --harmonic take whole numbers."));
    if (const auto exitCode = options.scale.parse(command, &arguments->scale))
        return exitCode;
    arguments->regionOptimization = !parser.isSet(options.noRegionOptimization);
    arguments->outputPath = QFileInfo(parser.value(options.output)).absoluteFilePath();
    return parseFragmentArguments(command, options.fragment, &arguments->fragment);
}

// The request the arguments make for the analysed video; answers the exit code when the
// settings rules refuse it.
std::optional<int> buildRequest(const ProcessArguments &arguments, const media::VideoMetadata &metadata,
                                project_data::ProcessingRequest *request)
{
    const double fps = metadata.captureFrameRateKnown() ? metadata.captureFrameRate : 0.0;
    // Out of range is refused before any conversion; a harmonic out of range becomes order 0,
    // which the band refuses.
    const std::optional<int> threadCount = wholeNumberWithin(arguments.threads, 0, motion_core::workerThreadCountLimit);
    const std::optional<int> qualityPercent = wholeNumberWithin(arguments.quality, 0, 100);
    const int order = wholeNumberWithin(arguments.harmonic, 1, 3).value_or(0);
    if (!threadCount) {
        printError(CommandLineText::tr("The number of worker threads must be between 0 (automatic) and %1.")
                       .arg(motion_core::workerThreadCountLimit));
        return ExitFailure;
    }
    if (!qualityPercent) {
        printError(CommandLineText::tr("Export quality must be between 0 and 100."));
        return ExitFailure;
    }

    motion_core::MotionSettings &settings = request->settings;
    settings.startFrame = arguments.fragment.startFrame(metadata);
    settings.endFrameExclusive = arguments.fragment.endFrame(metadata);
    settings.playbackStartUs = processing::playbackTimeUs(metadata, settings.startFrame);
    settings.playbackEndUs = processing::playbackTimeUs(metadata, settings.endFrameExclusive);
    settings.regionOfInterest = arguments.fragment.region;
    settings.cameraMotionCompensationEnabled = arguments.fragment.stabilizationReference.has_value();
    settings.stabilizationReferenceRegion = arguments.fragment.stabilizationReference.value_or(QRectF());
    settings.regionProcessingOptimizationEnabled = arguments.regionOptimization;
    settings.amplificationFactor = arguments.factor;
    settings.workerThreadCount = *threadCount;
    settings.lowerFrequencyHz = arguments.band.first;
    settings.upperFrequencyHz = arguments.band.second;
    if (arguments.rotationBandGiven) {
        settings.rotationSpeedRpm = arguments.rpm;
        if (!processing::rotationBand(settings, order, arguments.halfWidth, fps, &settings.lowerFrequencyHz,
                                      &settings.upperFrequencyHz)) {
            printError(CommandLineText::tr("No usable band around harmonic %1 of %2 RPM with a half width of %3 %: "
                                           "the speed must be %5 to %6 RPM, the harmonic 1 to 3, the width between "
                                           "0 and 100 %, and the band must stay below the Nyquist frequency of %4 Hz.")
                           .arg(arguments.harmonic)
                           .arg(arguments.rpm)
                           .arg(arguments.halfWidth)
                           .arg(fps * 0.5)
                           .arg(motion_core::minimumRotationSpeedRpm)
                           .arg(motion_core::maximumRotationSpeedRpm));
            return ExitFailure;
        }
    }
    const QString invalid = processing::settingsValidationMessage(metadata, settings, fps);
    if (!invalid.isEmpty()) {
        printError(invalid);
        return ExitFailure;
    }
    const QString warning = processing::settingsWarningMessage(settings, fps);
    if (!warning.isEmpty())
        printError(CommandLineText::tr("Warning: ") + warning);

    request->sourceMetadata = metadata;
    request->encoding = media::VideoEncodingSettings::forOutputPath(arguments.outputPath);
    request->encoding.qualityPercent = *qualityPercent;
    request->outputVideoPath = arguments.outputPath;
    request->measurementScale = arguments.scale;
    request->layout = arguments.layout;
    return std::nullopt;
}

void printSummary(const project_data::ProcessingPerformance &performance)
{
    const double motionShare = performance.frameLoopElapsedUs > 0 ? 100.0
            * static_cast<double>(performance.motionProcessingUs) / static_cast<double>(performance.frameLoopElapsedUs)
                                                                  : 0.0;
    printError(CommandLineText::tr("Processed %n frame(s) in %1: %2 frames/s, %3 % of the frame loop in motion "
                                   "processing.",
                                   nullptr, int(performance.measuredFrames))
                   .arg(formatDuration(performance.totalElapsedUs))
                   .arg(performance.frameThroughputFps(), 0, 'f', 1)
                   .arg(motionShare, 0, 'f', 0));
}

int runPipeline(const project_data::ProcessingRequest &request, const media::CancellationCheck &cancellationCheck,
                TerminalProgress &progress)
{
    const project_data::ProcessingResult result = processing::VideoProcessingPipeline().run(
        request,
        [&](const project_data::ProcessingProgress &update) {
            progress.update(update.stageName, update.totalFrames > 0 ? update.fraction() : -1.0,
                            update.remainingTimeUs());
        },
        cancellationCheck);
    progress.finish();
    if (!result.succeeded()) {
        printError(result.errorMessage);
        return result.state == project_data::ProcessingState::Cancelled ? ExitCancelled : ExitFailure;
    }
    printOutput(result.outputVideoPath);
    printOutput(result.parametersFilePath);
    printSummary(result.performance);
    if (result.cameraMotion)
        printError(CommandLineText::tr("Camera motion compensated: RMS %1 px, peak %2 px.")
                       .arg(result.cameraMotion->rmsPixels, 0, 'f', 2)
                       .arg(result.cameraMotion->peakPixels, 0, 'f', 2));
    return ExitSuccess;
}

} // namespace

int runProcess(const QStringList &commandLine)
{
    CommandParser command(QStringLiteral("process"),
                          CommandLineText::tr("Analyses a video, magnifies the motion in a frequency band and exports "
                                              "it as an H.264 MP4, or lossless FFV1 Matroska for an output ending in "
                                              ".mkv, with a JSON file of every parameter beside it."),
                          QStringLiteral("INPUT --output OUT.mp4"),
                          CommandLineText::tr("The video whose motion to magnify."));
    const ProcessOptions options;
    command.parser().addOptions({options.output, options.fragment.captureFps, options.band, options.rpm,
                                 options.harmonic, options.halfWidth, options.factor, options.fragment.frames,
                                 options.fragment.region, options.fragment.stabilize, options.fragment.reference,
                                 options.noRegionOptimization, options.threads, options.quality, options.scale.option,
                                 options.layout});
    if (const auto exitCode = command.parse(commandLine, 1))
        return *exitCode;
    ProcessArguments arguments;
    if (const auto exitCode = parseArguments(command, options, &arguments))
        return *exitCode;
    if (QFileInfo::exists(arguments.outputPath) || QFileInfo::exists(arguments.outputPath + QStringLiteral(".json"))) {
        printError(
            CommandLineText::tr("The output file or its parameters file already exists and was not overwritten: %1")
                .arg(arguments.outputPath));
        return ExitFailure;
    }

    const InterruptGuard interruptGuard;
    const media::CancellationCheck cancellationCheck = &InterruptGuard::requested;
    TerminalProgress progress;
    media::VideoMetadata metadata;
    if (const auto exitCode = analyseSource(arguments.fragment, cancellationCheck, progress, &metadata))
        return *exitCode;
    project_data::ProcessingRequest request;
    if (const auto exitCode = buildRequest(arguments, metadata, &request))
        return *exitCode;
    return runPipeline(request, cancellationCheck, progress);
}

} // namespace ovra::cli
