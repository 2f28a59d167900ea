#include "cli/CliSupport.h"
#include "cli/CommandParser.h"
#include "cli/Commands.h"

#include "media/libav/LibavVideoAnalyzer.h"
#include "motion_core/MotionSettings.h"
#include "processing/SettingsValidation.h"
#include "processing/VideoProcessingPipeline.h"

#include <QFileInfo>

#include <atomic>
#include <cmath>
#include <csignal>
#include <optional>

namespace ovra::cli {
namespace {

std::atomic<bool> interruptRequested{false};

extern "C" void requestInterrupt(int)
{
    interruptRequested = true;
}

// Ctrl-C asks the running job to stop cleanly instead of killing the process.
class InterruptGuard
{
public:
    InterruptGuard()
    {
        interruptRequested = false;
        m_previousInterrupt = std::signal(SIGINT, requestInterrupt);
        m_previousTerminate = std::signal(SIGTERM, requestInterrupt);
    }
    ~InterruptGuard()
    {
        std::signal(SIGINT, m_previousInterrupt);
        std::signal(SIGTERM, m_previousTerminate);
    }

private:
    void (*m_previousInterrupt)(int) = SIG_DFL;
    void (*m_previousTerminate)(int) = SIG_DFL;
};

// Parses "A:B" into two numbers.
template<typename Number>
std::optional<std::pair<Number, Number>> parsePair(const QString &text, QChar separator = QLatin1Char(':'))
{
    const QStringList parts = text.split(separator);
    if (parts.size() != 2)
        return std::nullopt;
    bool firstOk = false;
    bool secondOk = false;
    Number first{};
    Number second{};
    if constexpr (std::is_integral_v<Number>) {
        first = parts[0].toLongLong(&firstOk);
        second = parts[1].toLongLong(&secondOk);
    } else {
        first = parts[0].toDouble(&firstOk);
        second = parts[1].toDouble(&secondOk);
    }
    if (!firstOk || !secondOk)
        return std::nullopt;
    return std::pair{first, second};
}

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
    QCommandLineOption captureFps{QStringLiteral("capture-fps"),
                                  CommandLineText::tr("Camera capture frame rate; required when the file does not carry it."),
                                  QStringLiteral("F")};
    QCommandLineOption band{QStringLiteral("band"), CommandLineText::tr("Frequency band in Hz (default 9:14)."),
                            QStringLiteral("LOW:HIGH")};
    QCommandLineOption rpm{QStringLiteral("rpm"), CommandLineText::tr("Shaft speed; with --harmonic and --half-width it sets the band."),
                           QStringLiteral("R")};
    QCommandLineOption harmonic{QStringLiteral("harmonic"), CommandLineText::tr("Harmonic of the shaft speed: 1, 2 or 3."),
                                QStringLiteral("K")};
    QCommandLineOption halfWidth{QStringLiteral("half-width"),
                                 CommandLineText::tr("Half width of the band around the harmonic, in percent."),
                                 QStringLiteral("P")};
    QCommandLineOption factor{QStringLiteral("factor"), CommandLineText::tr("Amplification factor, 1 to 50 (default 5)."),
                              QStringLiteral("A")};
    QCommandLineOption frames{QStringLiteral("frames"),
                              CommandLineText::tr("Fragment [START, END) in frames (default: the whole uniform part)."),
                              QStringLiteral("START:END")};
    QCommandLineOption region{QStringLiteral("roi"),
                              CommandLineText::tr("Region of interest, normalised to the upright frame (default 0,0,1,1)."),
                              QStringLiteral("X,Y,W,H")};
    QCommandLineOption noRegionOptimization{QStringLiteral("no-region-optimization"),
                                            CommandLineText::tr("Process the whole frame even for a small region.")};
    QCommandLineOption threads{QStringLiteral("threads"), CommandLineText::tr("Motion worker threads (default: automatic)."),
                               QStringLiteral("N")};
    QCommandLineOption quality{QStringLiteral("quality"),
                               CommandLineText::tr("H.264 quality, 0 to 100 (default 75); lossless output ignores it."),
                               QStringLiteral("Q")};
};

// The options' values, checked for form; the settings rules come after the analysis.
struct ProcessArguments
{
    QString inputPath;
    QString outputPath;
    std::optional<double> captureFps; // none: the file's own
    std::pair<double, double> band{9.0, 14.0};
    bool rotationBandGiven = false;
    double rpm = 0.0;
    double harmonic = 1.0;
    double halfWidth = 0.0;
    double factor = 5.0;
    std::optional<std::pair<qint64, qint64>> frames; // none: the whole uniform part
    QRectF region{0.0, 0.0, 1.0, 1.0};
    bool regionOptimization = true;
    double threads = 0.0;
    double quality = 75.0;
};

// Fills arguments; answers the exit code when the command line is refused.
std::optional<int> parseArguments(CommandParser &command, const ProcessOptions &options, ProcessArguments *arguments)
{
    const QCommandLineParser &parser = command.parser();
    if (!parser.isSet(options.output))
        return command.usageError(CommandLineText::tr("--output is required."));
    arguments->rotationBandGiven = parser.isSet(options.rpm) || parser.isSet(options.harmonic)
        || parser.isSet(options.halfWidth);
    if (arguments->rotationBandGiven
        && !(parser.isSet(options.rpm) && parser.isSet(options.harmonic) && parser.isSet(options.halfWidth)))
        return command.usageError(CommandLineText::tr("--rpm, --harmonic and --half-width go together."));
    if (arguments->rotationBandGiven && parser.isSet(options.band))
        return command.usageError(CommandLineText::tr("Give either --band or --rpm/--harmonic/--half-width, not both."));

    bool numbers = true;
    const auto read = [&parser, &numbers](const QCommandLineOption &option, double *value) {
        bool ok = true;
        if (parser.isSet(option))
            *value = parser.value(option).toDouble(&ok);
        numbers = numbers && ok;
    };
    double captureFps = 0.0;
    read(options.captureFps, &captureFps);
    read(options.factor, &arguments->factor);
    read(options.rpm, &arguments->rpm);
    read(options.harmonic, &arguments->harmonic);
    read(options.halfWidth, &arguments->halfWidth);
    read(options.threads, &arguments->threads);
    read(options.quality, &arguments->quality);
    if (!numbers)
        return command.usageError(CommandLineText::tr("a numeric option has a value that is not a number."));
    if (parser.isSet(options.captureFps))
        arguments->captureFps = captureFps;
    if (parser.isSet(options.band)) {
        const auto band = parsePair<double>(parser.value(options.band));
        if (!band)
            return command.usageError(CommandLineText::tr("--band needs LOW:HIGH in Hz, for example 9:14."));
        arguments->band = *band;
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
    const auto whole = [](double value) { return value == std::floor(value); };
    if (!whole(arguments->threads) || !whole(arguments->quality) || !whole(arguments->harmonic))
        return command.usageError(CommandLineText::tr("--threads, --quality and --harmonic take whole numbers."));
    arguments->regionOptimization = !parser.isSet(options.noRegionOptimization);
    arguments->inputPath = parser.positionalArguments().constFirst();
    arguments->outputPath = QFileInfo(parser.value(options.output)).absoluteFilePath();
    return std::nullopt;
}

// Analyses the input and settles its capture rate; answers the exit code when that fails.
std::optional<int> analyseSource(const ProcessArguments &arguments, const media::CancellationCheck &cancellationCheck,
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
        printError(CommandLineText::tr("The file does not tell the camera's capture frame rate; give it with --capture-fps."));
        return ExitFailure;
    }
    return std::nullopt;
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
    settings.startFrame = arguments.frames ? arguments.frames->first : processing::automaticStartFrame(metadata);
    settings.endFrameExclusive = arguments.frames ? arguments.frames->second : metadata.frameCount;
    settings.playbackStartUs = processing::playbackTimeUs(metadata, settings.startFrame);
    settings.playbackEndUs = processing::playbackTimeUs(metadata, settings.endFrameExclusive);
    settings.regionOfInterest = arguments.region;
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
                                           "the speed must be 500 to 7000 RPM, the harmonic 1 to 3, the width between "
                                           "0 and 100 %, and the band must stay below the Nyquist frequency of %4 Hz.")
                           .arg(arguments.harmonic)
                           .arg(arguments.rpm)
                           .arg(arguments.halfWidth)
                           .arg(fps * 0.5));
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
    return std::nullopt;
}

void printSummary(const project_data::ProcessingPerformance &performance)
{
    const double motionShare = performance.frameLoopElapsedUs > 0
        ? 100.0 * static_cast<double>(performance.motionProcessingUs) / static_cast<double>(performance.frameLoopElapsedUs)
        : 0.0;
    printError(CommandLineText::tr("Processed %1 frames in %2: %3 frames/s, %4 % of the frame loop in motion processing.")
                   .arg(performance.measuredFrames)
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
            double remainingSeconds = -1.0;
            if (update.processedFrames > 0 && update.processedFrames < update.totalFrames) {
                const double secondsPerFrame = update.performance.frameLoopElapsedUs / 1e6 / update.processedFrames;
                remainingSeconds = secondsPerFrame * static_cast<double>(update.totalFrames - update.processedFrames);
            }
            progress.update(update.stageName, update.totalFrames > 0 ? update.fraction() : -1.0, remainingSeconds);
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
    return ExitSuccess;
}

} // namespace

int runProcess(const QStringList &commandLine)
{
    CommandParser command(QStringLiteral("process"),
                          CommandLineText::tr("Analyses a video, magnifies the motion in a frequency band and exports "
                                              "it as an H.264 MP4, or lossless FFV1 Matroska for an output ending in "
                                              ".mkv, with a JSON file of every parameter beside it."),
                          QStringLiteral("INPUT --output OUT.mp4 [options]"));
    const ProcessOptions options;
    command.parser().addOptions({options.output, options.captureFps, options.band, options.rpm, options.harmonic,
                                 options.halfWidth, options.factor, options.frames, options.region,
                                 options.noRegionOptimization, options.threads, options.quality});
    if (const auto exitCode = command.parse(commandLine, 1))
        return *exitCode;
    ProcessArguments arguments;
    if (const auto exitCode = parseArguments(command, options, &arguments))
        return *exitCode;
    if (QFileInfo::exists(arguments.outputPath) || QFileInfo::exists(arguments.outputPath + QStringLiteral(".json"))) {
        printError(CommandLineText::tr("The output file or its parameters file already exists and was not overwritten: %1")
                       .arg(arguments.outputPath));
        return ExitFailure;
    }

    InterruptGuard interruptGuard;
    const media::CancellationCheck cancellationCheck = [] { return interruptRequested.load(); };
    TerminalProgress progress;
    media::VideoMetadata metadata;
    if (const auto exitCode = analyseSource(arguments, cancellationCheck, progress, &metadata))
        return *exitCode;
    project_data::ProcessingRequest request;
    if (const auto exitCode = buildRequest(arguments, metadata, &request))
        return *exitCode;
    return runPipeline(request, cancellationCheck, progress);
}

} // namespace ovra::cli
