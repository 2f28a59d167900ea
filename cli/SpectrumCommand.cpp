// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AnalysisRun.h"
#include "cli/CliSupport.h"
#include "cli/CommandParser.h"
#include "cli/Commands.h"
#include "cli/FragmentArguments.h"

#include "processing/FilePublication.h"
#include "processing/MotionSpectrumAnalysis.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ovra::cli {
namespace {

struct SpectrumOptions
{
    FragmentOptions fragment;
    QCommandLineOption resolution{QStringLiteral("resolution"),
                                  CommandLineText::tr("Widest frequency bin in Hz (default: a quarter of the fragment "
                                                      "per segment)."),
                                  QStringLiteral("HZ")};
    QCommandLineOption csv{QStringLiteral("csv"),
                           CommandLineText::tr("Also write the whole spectrum as CSV (never overwritten)."),
                           QStringLiteral("OUT.csv")};
    ScaleOption scale;
};

// The peaks on stdout, the figures that qualify them on stderr.
void printSpectrum(const processing::MotionSpectrumResult &result,
                   const std::optional<processing::MeasurementScale> &scale)
{
    const motion_core::MotionSpectrum &spectrum = result.spectrum;
    for (const motion_core::SpectrumPeak &peak : spectrum.peaks) {
        QString line
            = QStringLiteral("%1 Hz  %2 px").arg(peak.frequencyHz, 0, 'f', 2).arg(peak.amplitudePixels, 0, 'f', 4);
        if (scale)
            line += QStringLiteral("  ") + processing::millimetreText(*scale, peak.amplitudePixels, peak.frequencyHz);
        // An axis: 179.6 degrees is the horizontal, printed as 0.
        printOutput(line
                    + QStringLiteral("  %1 deg").arg(std::fmod(std::round(peak.directionDegrees), 180.0), 0, 'f', 0));
    }
    std::vector<double> floor = spectrum.noiseFloorPixels;
    std::nth_element(floor.begin(), floor.begin() + floor.size() / 2, floor.end());
    printError(CommandLineText::tr("%n frame(s) at %1 frames/s: bins of %2 Hz up to %3 Hz, %4 segments, %5 tiles "
                                   "followed; median noise floor %6 px.",
                                   nullptr, int(result.analysedFrames))
                   .arg(spectrum.sampleRateHz, 0, 'g', 6)
                   .arg(spectrum.resolutionHz, 0, 'f', 3)
                   .arg(spectrum.nyquistHz(), 0, 'f', 2)
                   .arg(spectrum.segmentCount)
                   .arg(spectrum.tileCount)
                   .arg(floor[floor.size() / 2], 0, 'f', 4));
    if (spectrum.peaks.empty())
        printError(CommandLineText::tr("No line rises above the noise floor."));
}

int runAnalysis(const processing::MotionSpectrumRequest &request, const QString &csvPath,
                const std::optional<processing::MeasurementScale> &scale,
                const media::CancellationCheck &cancellationCheck, TerminalProgress &progress)
{
    const processing::MotionSpectrumResult result
        = processing::MotionSpectrumAnalysis().run(request, progressOnTerminal(progress), cancellationCheck);
    progress.finish();
    if (const std::optional<int> exit
        = failedRunExit(result, CommandLineText::tr("The motion spectrum was cancelled by the user.")))
        return *exit;
    printSpectrum(result, scale);
    QString error;
    if (!csvPath.isEmpty()
        && !processing::publishFile(csvPath, processing::motionSpectrumCsv(result.spectrum, scale), &error)) {
        printError(error);
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace

int runSpectrum(const QStringList &commandLine)
{
    CommandParser command(QStringLiteral("spectrum"),
                          CommandLineText::tr("Measures how a region of a video moves over a fragment and prints the "
                                              "strongest lines of its motion spectrum: frequency in Hz of capture "
                                              "time, amplitude in pixels, direction in degrees (0 horizontal, 90 "
                                              "vertical)."),
                          QStringLiteral("INPUT"), CommandLineText::tr("The video to measure."));
    const SpectrumOptions options;
    command.parser().addOptions({options.fragment.captureFps, options.fragment.frames, options.fragment.region,
                                 options.fragment.stabilize, options.fragment.reference, options.resolution,
                                 options.csv, options.scale.option});
    if (const auto exitCode = command.parse(commandLine, 1))
        return *exitCode;
    FragmentArguments fragment;
    if (const auto exitCode = parseFragmentArguments(command, options.fragment, &fragment))
        return *exitCode;
    processing::MotionSpectrumRequest request;
    std::optional<processing::MeasurementScale> scale;
    if (const auto exitCode = options.scale.parse(command, &scale))
        return *exitCode;
    if (command.parser().isSet(options.resolution)) {
        bool ok = false;
        request.resolutionHz = command.parser().value(options.resolution).toDouble(&ok);
        if (!ok || !(request.resolutionHz > 0.0))
            return command.usageError(CommandLineText::tr("--resolution needs a frequency in Hz above 0."));
    }
    const QString csvPath = command.parser().isSet(options.csv)
        ? QFileInfo(command.parser().value(options.csv)).absoluteFilePath()
        : QString();
    if (!csvPath.isEmpty() && QFileInfo::exists(csvPath)) {
        printError(CommandLineText::tr("The CSV file already exists and was not overwritten: %1").arg(csvPath));
        return ExitFailure;
    }

    const InterruptGuard interruptGuard;
    const media::CancellationCheck cancellationCheck = &InterruptGuard::requested;
    TerminalProgress progress;
    if (const auto exitCode = analyseSource(fragment, cancellationCheck, progress, &request.sourceMetadata))
        return *exitCode;
    request.startFrame = fragment.startFrame(request.sourceMetadata);
    request.endFrameExclusive = fragment.endFrame(request.sourceMetadata);
    request.regionOfInterest = fragment.region;
    request.stabilizationReferenceRegion = fragment.stabilizationReference;
    return runAnalysis(request, csvPath, scale, cancellationCheck, progress);
}

} // namespace ovra::cli
