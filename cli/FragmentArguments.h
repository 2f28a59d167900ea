// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliSupport.h"
#include "cli/CommandParser.h"
#include "media/Cancellation.h"
#include "media/VideoMetadata.h"
#include "processing/MeasurementScale.h"

#include <QCommandLineOption>
#include <QRectF>

#include <optional>
#include <utility>

namespace ovra::cli {

// The options that choose what of a video a command works on, shared by `process` and `spectrum`.
struct FragmentOptions
{
    QCommandLineOption captureFps{
        QStringLiteral("capture-fps"),
        CommandLineText::tr("Camera capture frame rate; required when the file does not carry it."),
        QStringLiteral("F")};
    QCommandLineOption frames{QStringLiteral("frames"),
                              CommandLineText::tr("Fragment [START, END) in frames (default: the whole uniform part)."),
                              QStringLiteral("START:END")};
    QCommandLineOption region{
        QStringLiteral("roi"),
        CommandLineText::tr("Region of interest, normalised to the upright frame (default 0,0,1,1)."),
        QStringLiteral("X,Y,W,H")};
    QCommandLineOption stabilize{QStringLiteral("stabilize"),
                                 CommandLineText::tr("Compensate the camera's motion against the whole frame.")};
    QCommandLineOption reference{
        QStringLiteral("reference"),
        CommandLineText::tr("Compensate the camera's motion against this static region, normalised to the upright "
                            "frame."),
        QStringLiteral("X,Y,W,H")};
};

struct FragmentArguments
{
    QString inputPath;
    std::optional<double> captureFps; // none: the file's own
    std::optional<std::pair<qint64, qint64>> frames; // none: the whole uniform part
    QRectF region{0.0, 0.0, 1.0, 1.0};
    // What the camera's motion is compensated against; none: no compensation.
    std::optional<QRectF> stabilizationReference;

    // The fragment's first frame and its end (exclusive) in the analysed video.
    qint64 startFrame(const media::VideoMetadata &metadata) const;
    qint64 endFrame(const media::VideoMetadata &metadata) const;
};

// The millimetres per pixel of `spectrum`, `map` and `process` (which records it).
struct ScaleOption
{
    QCommandLineOption option{QStringLiteral("scale"),
                              CommandLineText::tr("Millimetres per pixel of the upright frame: amplitudes in mm and "
                                                  "velocities in mm/s beside pixels."),
                              QStringLiteral("MM_PER_PX")};

    // Fills scale when the option is given; answers the exit code when it is refused.
    std::optional<int> parse(const CommandParser &command, std::optional<processing::MeasurementScale> *scale) const;
};

// Fills arguments from the parsed command line; answers the exit code when it is refused.
std::optional<int> parseFragmentArguments(const CommandParser &command, const FragmentOptions &options,
                                          FragmentArguments *arguments);

// Analyses the input and settles its capture rate; answers the exit code when that fails.
std::optional<int> analyseSource(const FragmentArguments &arguments, const media::CancellationCheck &cancellationCheck,
                                 TerminalProgress &progress, media::VideoMetadata *metadata);

// Parses "A:B" into two numbers.
template <typename Number> std::optional<std::pair<Number, Number>> parsePair(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
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

} // namespace ovra::cli
