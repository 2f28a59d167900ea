#include "i18n/Translations.h"
#include "ovra/Version.h"
#include "project_data/TemporaryVideo.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/VideoSessionController.h"
#include "ui/items/VideoFrameItem.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQmlExtensionPlugin>
#include <QUrl>
#include <QtQml>

#include <memory>

Q_IMPORT_QML_PLUGIN(OvraMotion_PagesPlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_PanelsPlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_ComponentsPlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_ThemePlugin)

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Application", text);
}

// The optional video argument as a URL the session opens, or an empty URL.
QUrl videoArgument(const QCommandLineParser &parser)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return {};
    const QUrl url = QUrl::fromUserInput(positional.first(), QDir::currentPath(), QUrl::AssumeLocalFile);
    return url.isLocalFile() ? url : QUrl();
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    ovra::project_data::TemporaryVideo::cleanupStale();
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/ui/icons/application.png")));
    QCoreApplication::setOrganizationName(QStringLiteral("OVRA"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OVRA_VERSION " build " OVRA_BUILD_NUMBER));
    QGuiApplication::setApplicationDisplayName(QStringLiteral(OVRA_DISPLAY_NAME));
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    const QLocale locale = QLocale::system();
    const ovra::i18n::InstalledTranslators translators(locale);
    QCoreApplication::setApplicationName(QStringLiteral(OVRA_APPLICATION_NAME));

    QCommandLineParser parser;
    parser.setApplicationDescription(tr("Video motion amplification for technical equipment."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption debugOption(QStringLiteral("mcp-debug"),
                                         tr("Enable the local MCP diagnostics interface in read-only mode."));
    const QCommandLineOption controlOption(QStringLiteral("mcp-control"),
                                           tr("Allow the local MCP diagnostics interface to change application state."));
    parser.addOption(debugOption);
    parser.addOption(controlOption);
    parser.addPositionalArgument(QStringLiteral("video"), tr("A video file to open at start-up (optional)."),
                                 QStringLiteral("[video]"));
    parser.process(application);

    qmlRegisterType<ovra::ui::items::VideoFrameItem>("OvraMotion.Ui", 1, 0, "VideoFrameItem");
    auto controller = std::make_unique<ovra::ui::controllers::ApplicationController>();

    auto engine = std::make_unique<QQmlApplicationEngine>();
    engine->addImportPath(QStringLiteral(":/ui/qml"));
    engine->setInitialProperties({{QStringLiteral("applicationController"), QVariant::fromValue<QObject *>(controller.get())}});
    QObject::connect(
        engine.get(), &QQmlApplicationEngine::objectCreationFailed, &application,
        [] { QCoreApplication::exit(-1); }, Qt::QueuedConnection);
    engine->load(QUrl(QStringLiteral("qrc:/ui/qml/Main.qml")));
    if (engine->rootObjects().isEmpty())
        return -1;

    const QUrl video = videoArgument(parser);
    if (!video.isEmpty())
        controller->videoSession()->openSource(video);
    const int exitCode = QCoreApplication::exec();
    engine.reset();
    controller.reset();
    return exitCode;
}
