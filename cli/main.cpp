#include "cli/CliSupport.h"
#include "cli/Commands.h"

#include "media/libav/LibavRuntime.h"
#include "ovra/Version.h"

#include <QCoreApplication>

#include <functional>
#include <map>

namespace {

const char *usageText =
    "Usage: ovra-motion-cli COMMAND [OPTIONS]\n"
    "\n"
    "Video motion amplification for technical equipment, without a window.\n"
    "\n"
    "Commands:\n"
    "  probe FILE                               Analyse a video and print its metadata as JSON.\n"
    "  frame FILE --index N --output OUT.png    Write one upright frame as PNG.\n"
    "\n"
    "Run 'ovra-motion-cli COMMAND --help' for the options of a command.";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ovra-motion-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OVRA_VERSION));

    ovra::media::libav::LibavRuntime::setLibraryLogEnabled(qEnvironmentVariableIsSet("OVRA_FFMPEG_LOG"));

    const QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.value(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        ovra::cli::printOutput(QString::fromLatin1(usageText));
        return ovra::cli::ExitSuccess;
    }
    if (command == QLatin1String("--version")) {
        ovra::cli::printOutput(QStringLiteral(OVRA_DISPLAY_NAME));
        return ovra::cli::ExitSuccess;
    }
    const std::map<QString, std::function<int(const QStringList &)>> commands{
        {QStringLiteral("probe"), ovra::cli::runProbe},
        {QStringLiteral("frame"), ovra::cli::runFrame},
    };
    const auto found = commands.find(command);
    if (found == commands.end()) {
        ovra::cli::printError(command.isEmpty() ? QStringLiteral("No command given.")
                                                : QStringLiteral("Unknown command '%1'.").arg(command));
        ovra::cli::printError(QString::fromLatin1(usageText));
        return ovra::cli::ExitUsage;
    }
    return found->second(arguments.mid(1));
}
