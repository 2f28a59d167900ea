// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TerminationSignals.h"
#include "app/UserInterface.h"
#include "diagnostics/service/DiagnosticsService.h"
#include "i18n/Translations.h"
#include "ovra/Version.h"
#include "project_data/AnalysisResult.h"
#include "ui/controllers/ApplicationController.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QIcon>
#include <QQuickStyle>

#include <memory>

namespace {

// The diagnostics service when an option asks for it; start-up goes on without it on failure.
std::unique_ptr<ovra::diagnostics::service::DiagnosticsService>
startDiagnostics(ovra::ui::controllers::ApplicationController *controller, bool debug, bool control)
{
    if (!debug && !control)
        return nullptr;
    auto service = std::make_unique<ovra::diagnostics::service::DiagnosticsService>(controller);
    QString error;
    if (!service->start(control, &error)) {
        qCritical().noquote()
            << QCoreApplication::translate("Application", "Could not start the diagnostics endpoint: %1").arg(error);
        return nullptr;
    }
    qInfo().noquote() << QCoreApplication::translate(
        "Application", "The diagnostics endpoint is enabled for this application instance.");
    return service;
}

// Help and version are read over SSH and in scripts, where there may be no display for a GUI
// application object to connect to.
bool asksOnlyForText(int argc, char *argv[])
{
    const QByteArrayList textOptions = {"-h", "-?", "--help", "--help-all", "-v", "--version"};
    for (int i = 1; i < argc && qstrcmp(argv[i], "--") != 0; ++i) {
        if (textOptions.contains(argv[i]))
            return true;
    }
    return false;
}

std::unique_ptr<QCoreApplication> createApplication(int &argc, char *argv[])
{
    if (asksOnlyForText(argc, argv))
        return std::make_unique<QCoreApplication>(argc, argv);
    auto application = std::make_unique<QGuiApplication>(argc, argv);
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/ui/icons/application.png")));
    return application;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> application = createApplication(argc, argv);
    ovra::project_data::AnalysisResult::cleanupStale();
    QCoreApplication::setOrganizationName(QStringLiteral("OVRA"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OVRA_VERSION " build " OVRA_BUILD_NUMBER));
    QGuiApplication::setApplicationDisplayName(QStringLiteral(OVRA_DISPLAY_NAME));
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    const QLocale locale = QLocale::system();
    const ovra::i18n::InstalledTranslators translators(locale);
    QCoreApplication::setApplicationName(QStringLiteral(OVRA_APPLICATION_NAME));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("Application", "Video motion amplification for technical equipment."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption debugOption(
        QStringLiteral("mcp-debug"),
        QCoreApplication::translate("Application", "Enable the local diagnostics endpoint in read-only mode."));
    const QCommandLineOption controlOption(
        QStringLiteral("mcp-control"),
        QCoreApplication::translate("Application",
                                    "Allow the local diagnostics endpoint to change application state."));
    parser.addOption(debugOption);
    parser.addOption(controlOption);
    parser.addPositionalArgument(
        QStringLiteral("video"),
        QCoreApplication::translate("Application", "A video file to open at start-up (optional)."),
        QStringLiteral("[video]"));
    parser.process(*application);

    const ovra::app::TerminationSignals terminationSignals;
    auto controller = std::make_unique<ovra::ui::controllers::ApplicationController>();
    auto diagnostics = startDiagnostics(controller.get(), parser.isSet(debugOption), parser.isSet(controlOption));
    auto engine = ovra::app::loadUserInterface(controller.get());
    if (engine->rootObjects().isEmpty())
        return -1;

    ovra::app::openVideoArgument(controller.get(), parser.positionalArguments());
    const int exitCode = QCoreApplication::exec();
    engine.reset();
    diagnostics.reset();
    controller.reset();
    return exitCode;
}
