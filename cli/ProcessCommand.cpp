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

QString formatDuration(qint64 microseconds)
{
    return QString::number(static_cast<double>(microseconds) / 1e6, 'f', 1) + QStringLiteral(" s");
}

// The options of `process`, declared once and read back after parsing.
struct ProcessOptions
{
    QCommandLineOption output{QStringLiteral("output"),
                              QStringLiteral("File to write (never overwritten): H.264 MP4, or lossless FFV1 when it "
                                             "ends in .mkv."),
                              QStringLiteral("OUT.mp4")};
    QCommandLineOption captureFps{QStringLiteral("capture-fps"),
                                  QStringLiteral("Camera capture frame rate; required when the file does not carry it."),
                                  QStringLiteral("F")};
    QCommandLineOption band{QStringLiteral("band"), QStringLiteral("Frequency band in Hz (default 9:14)."),
                            QStringLiteral("LOW:HIGH")};
    QCommandLineOption rpm{QStringLiteral("rpm"), QStringLiteral("Shaft speed; with --harmonic and --half-width it sets the band."),
                           QStringLiteral("R")};
    QCommandLineOption harmonic{QStringLiteral("harmonic"), QStringLiteral("Harmonic of the shaft speed: 1, 2 or 3."),
                                QStringLiteral("K")};
    QCommandLineOption halfWidth{QStringLiteral("half-width"),
                                 QStringLiteral("Half width of the band around the harmonic, in percent."),
                                 QStringLiteral("P")};
    QCommandLineOption factor{QStringLiteral("factor"), QStringLiteral("Amplification factor, 1 to 50 (default 5)."),
                              QStringLiteral("A")};
    QCommandLineOption frames{QStringLiteral("frames"),
                              QStringLiteral("Fragment [START, END) in frames (default: the whole uniform part)."),
                              QStringLiteral("START:END")};
    QCommandLineOption region{QStringLiteral("roi"),
                              QStringLiteral("Region of interest, normalised to the upright frame (default 0,0,1,1)."),
                              QStringLiteral("X,Y,W,H")};
    QCommandLineOption noRegionOptimization{QStringLiteral("no-region-optimization"),
                                            QStringLiteral("Process the whole frame even for a small region.")};
    QCommandLineOption threads{QStringLiteral("threads"), QStringLiteral("Motion worker threads (default: automatic)."),
                               QStringLiteral("N")};
    QCommandLineOption quality{QStringLiteral("quality"),
                               QStringLiteral("H.264 quality, 0 to 100 (default 75); lossless output ignores it."),
                               QStringLiteral("Q")};
};

} // namespace

int runProcess(const QStringList &arguments)
{
    CommandParser command(QStringLiteral("process"),
                          QStringLiteral("Analyses a video, magnifies the motion in a frequency band and exports it as "
                                         "an H.264 MP4, or lossless FFV1 Matroska for an output ending in .mkv, with a "
                                         "JSON file of every parameter beside it."),
                          QStringLiteral("INPUT --output OUT.mp4 [options]"));
    const ProcessOptions options;
    QCommandLineParser &parser = command.parser();
    parser.addOptions({options.output, options.captureFps, options.band, options.rpm, options.harmonic,
                       options.halfWidth, options.factor, options.frames, options.region,
                       options.noRegionOptimization, options.threads, options.quality});
    if (const auto exitCode = command.parse(arguments, 1))
        return *exitCode;
    if (!parser.isSet(options.output))
        return command.usageError(QStringLiteral("--output is required."));
    const bool rotationBandGiven = parser.isSet(options.rpm) || parser.isSet(options.harmonic)
        || parser.isSet(options.halfWidth);
    if (rotationBandGiven && !(parser.isSet(options.rpm) && parser.isSet(options.harmonic) && parser.isSet(options.halfWidth)))
        return command.usageError(QStringLiteral("--rpm, --harmonic and --half-width go together."));
    if (rotationBandGiven && parser.isSet(options.band))
        return command.usageError(QStringLiteral("Give either --band or --rpm/--harmonic/--half-width, not both."));

    const auto number = [&parser](const QCommandLineOption &option, double fallback) -> std::optional<double> {
        if (!parser.isSet(option))
            return fallback;
        bool ok = false;
        const double value = parser.value(option).toDouble(&ok);
        return ok ? std::optional<double>(value) : std::nullopt;
    };
    const auto captureFps = number(options.captureFps, 0.0);
    const auto factor = number(options.factor, 5.0);
    const auto rpm = number(options.rpm, 0.0);
    const auto harmonic = number(options.harmonic, 1.0);
    const auto halfWidth = number(options.halfWidth, 0.0);
    const auto threads = number(options.threads, 0.0);
    const auto quality = number(options.quality, 75.0);
    if (!captureFps || !factor || !rpm || !harmonic || !halfWidth || !threads || !quality)
        return command.usageError(QStringLiteral("a numeric option has a value that is not a number."));
    const auto band = parser.isSet(options.band) ? parsePair<double>(parser.value(options.band))
                                                 : std::optional(std::pair{9.0, 14.0});
    if (!band)
        return command.usageError(QStringLiteral("--band needs LOW:HIGH in Hz, for example 9:14."));
    const auto frames = parser.isSet(options.frames) ? parsePair<qint64>(parser.value(options.frames))
                                                     : std::optional<std::pair<qint64, qint64>>();
    if (parser.isSet(options.frames) && !frames)
        return command.usageError(QStringLiteral("--frames needs START:END frame numbers, END exclusive."));
    const auto region = parser.isSet(options.region) ? parseRegion(parser.value(options.region))
                                                     : std::optional(QRectF(0.0, 0.0, 1.0, 1.0));
    if (!region)
        return command.usageError(QStringLiteral("--roi needs X,Y,W,H as fractions of the frame."));
    if (*threads != std::floor(*threads) || *quality != std::floor(*quality) || *harmonic != std::floor(*harmonic))
        return command.usageError(QStringLiteral("--threads, --quality and --harmonic take whole numbers."));

    const QString inputPath = parser.positionalArguments().constFirst();
    const QString outputPath = QFileInfo(parser.value(options.output)).absoluteFilePath();
    if (QFileInfo::exists(outputPath) || QFileInfo::exists(outputPath + QStringLiteral(".json"))) {
        printError(QStringLiteral("The output file or its parameters file already exists and was not overwritten: %1")
                       .arg(outputPath));
        return ExitFailure;
    }

    InterruptGuard interruptGuard;
    const media::CancellationCheck cancellationCheck = [] { return interruptRequested.load(); };
    TerminalProgress progress;

    media::VideoMetadata metadata;
    QString error;
    media::libav::LibavVideoAnalyzer analyzer(cancellationCheck);
    const bool analysed = analyzer.analyze(inputPath, &metadata, &error, {}, [&progress](double fraction) {
        progress.update(QStringLiteral("Analysing source video"), fraction);
    });
    if (analysed)
        progress.update(QStringLiteral("Analysing source video"), 1.0);
    progress.finish();
    if (!analysed) {
        printError(error);
        return analyzer.cancelled() ? ExitCancelled : ExitFailure;
    }
    if (parser.isSet(options.captureFps)) {
        metadata.captureFrameRate = *captureFps;
        metadata.captureFrameRateManual = true;
    } else if (!metadata.captureFrameRateKnown()) {
        printError(QStringLiteral("The file does not tell the camera's capture frame rate; give it with --capture-fps."));
        return ExitFailure;
    }
    const double fps = metadata.captureFrameRateKnown() ? metadata.captureFrameRate : 0.0;

    motion_core::MotionSettings settings;
    settings.startFrame = frames ? frames->first : processing::automaticStartFrame(metadata);
    settings.endFrameExclusive = frames ? frames->second : metadata.frameCount;
    settings.playbackStartUs = processing::playbackTimeUs(metadata, settings.startFrame);
    settings.playbackEndUs = processing::playbackTimeUs(metadata, settings.endFrameExclusive);
    settings.regionOfInterest = *region;
    settings.regionProcessingOptimizationEnabled = !parser.isSet(options.noRegionOptimization);
    settings.amplificationFactor = *factor;
    settings.workerThreadCount = static_cast<qint32>(*threads);
    settings.lowerFrequencyHz = band->first;
    settings.upperFrequencyHz = band->second;
    if (rotationBandGiven) {
        settings.rotationSpeedRpm = *rpm;
        if (!processing::rotationBand(settings, static_cast<int>(*harmonic), *halfWidth, fps,
                                      &settings.lowerFrequencyHz, &settings.upperFrequencyHz)) {
            printError(QStringLiteral("No usable band around harmonic %1 of %2 RPM with a half width of %3 %: the "
                                      "speed must be 500 to 7000 RPM, the harmonic 1 to 3, the width between 0 and "
                                      "100 %, and the band must stay below the Nyquist frequency of %4 Hz.")
                           .arg(*harmonic)
                           .arg(*rpm)
                           .arg(*halfWidth)
                           .arg(fps * 0.5));
            return ExitFailure;
        }
    }
    if (!motion_core::workerCountValid(settings)) {
        printError(QStringLiteral("The number of worker threads must be between 0 (automatic) and %1.")
                       .arg(motion_core::maximumWorkerThreadCount()));
        return ExitFailure;
    }
    const QString invalid = processing::settingsValidationMessage(metadata, settings, fps);
    if (!invalid.isEmpty()) {
        printError(invalid);
        return ExitFailure;
    }
    const QString warning = processing::settingsWarningMessage(settings, fps);
    if (!warning.isEmpty())
        printError(QStringLiteral("Warning: ") + warning);

    project_data::ProcessingRequest request;
    request.sourceMetadata = metadata;
    request.settings = settings;
    request.encoding.qualityPercent = static_cast<int>(*quality);
    // Lossless, for measuring the magnified motion without the delivery codec's losses.
    if (QFileInfo(outputPath).suffix().compare(QLatin1String("mkv"), Qt::CaseInsensitive) == 0) {
        request.encoding.container = QStringLiteral("matroska");
        request.encoding.videoCodec = QStringLiteral("ffv1");
    }
    request.outputVideoPath = outputPath;

    processing::VideoProcessingPipeline pipeline;
    const project_data::ProcessingResult result = pipeline.run(
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
    const project_data::ProcessingPerformance &performance = result.performance;
    printOutput(result.outputVideoPath);
    printOutput(result.parametersFilePath);
    const double motionShare = performance.frameLoopElapsedUs > 0
        ? 100.0 * static_cast<double>(performance.motionProcessingUs) / static_cast<double>(performance.frameLoopElapsedUs)
        : 0.0;
    printError(QStringLiteral("Processed %1 frames in %2: %3 frames/s, %4 % of the frame loop in motion processing.")
                   .arg(performance.measuredFrames)
                   .arg(formatDuration(performance.totalElapsedUs))
                   .arg(performance.frameThroughputFps(), 0, 'f', 1)
                   .arg(motionShare, 0, 'f', 0));
    return ExitSuccess;
}

} // namespace ovra::cli
