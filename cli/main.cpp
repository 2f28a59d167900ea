// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSupport.h"
#include "cli/Commands.h"

#include "i18n/Translations.h"

#include "media/libav/LibavRuntime.h"
#include "ovra/Version.h"

#include <QGuiApplication>

#include <functional>
#include <map>
#include <memory>

namespace {

QString usage()
{
    return QCoreApplication::translate(
        "CommandLine",
        "Usage: ovra-motion-cli COMMAND [OPTIONS]\n"
        "\n"
        "Video motion amplification for technical equipment, without a window.\n"
        "\n"
        "Commands:\n"
        "  probe FILE                               Analyse a video and print its metadata as JSON.\n"
        "  frame FILE --index N --output OUT.png    Write one upright frame as PNG.\n"
        "  process INPUT --output OUT.mp4 [...]     Magnify the motion in a band and export MP4 (or\n"
        "                                           lossless .mkv) + JSON.\n"
        "  spectrum INPUT [...]                     Print the strongest lines of a region's motion\n"
        "                                           spectrum (optionally all of it as CSV).\n"
        "  map INPUT --output MAP.png [...]         Map where a band's motion lives, tile by tile, as PNG\n"
        "                                           (optionally CSV).\n"
        "\n"
        "Run 'ovra-motion-cli COMMAND --help' for the options of a command.\n"
        "Set OVRA_FFMPEG_LOG=1 to see FFmpeg's own log lines.");
}

QtMessageHandler defaultMessageHandler = nullptr;

// Without a desktop session Qt complains about a missing runtime folder it does not need here.
void quietMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    defaultMessageHandler(type, context, message);
}

} // namespace

int main(int argc, char *argv[])
{
    // Only `process` and `map` draw (the watermark and the legend need fonts); neither shows a window.
    defaultMessageHandler = qInstallMessageHandler(quietMessageHandler);
    const bool drawing = argc > 1 && (qstrcmp(argv[1], "process") == 0 || qstrcmp(argv[1], "map") == 0);
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> application
        = drawing ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ovra-motion-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OVRA_VERSION));
    const ovra::i18n::InstalledTranslators translators(QLocale::system());

    ovra::media::libav::LibavRuntime::setLibraryLogEnabled(qEnvironmentVariableIsSet("OVRA_FFMPEG_LOG"));

    const QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.value(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        ovra::cli::printOutput(usage());
        return ovra::cli::ExitSuccess;
    }
    if (command == QLatin1String("--version")) {
        ovra::cli::printOutput(QStringLiteral(OVRA_DISPLAY_NAME));
        return ovra::cli::ExitSuccess;
    }
    const std::map<QString, std::function<int(const QStringList &)>> commands{
        {QStringLiteral("probe"), ovra::cli::runProbe},     {QStringLiteral("frame"), ovra::cli::runFrame},
        {QStringLiteral("process"), ovra::cli::runProcess}, {QStringLiteral("spectrum"), ovra::cli::runSpectrum},
        {QStringLiteral("map"), ovra::cli::runMap},
    };
    const auto found = commands.find(command);
    if (found == commands.end()) {
        ovra::cli::printError(command.isEmpty()
                                  ? QCoreApplication::translate("CommandLine", "No command given.")
                                  : QCoreApplication::translate("CommandLine", "Unknown command '%1'.").arg(command));
        ovra::cli::printError(usage());
        return ovra::cli::ExitUsage;
    }
    return found->second(arguments.mid(1));
}
