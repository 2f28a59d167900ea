// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UserInterface.h"

#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QCoreApplication>
#include <QDir>
#include <QQmlExtensionPlugin>
#include <QQmlFileSelector>

// The QML modules are static libraries; their plugins register the types.
Q_IMPORT_QML_PLUGIN(OvraMotion_PagesPlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_PanelsPlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_ComponentsPlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_ThemePlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_UiPlugin)

namespace ovra::app {

std::unique_ptr<QQmlApplicationEngine> loadUserInterface(ui::controllers::ApplicationController *controller)
{
    auto engine = std::make_unique<QQmlApplicationEngine>();
    engine->addImportPath(QStringLiteral(":/ui/qml"));
    // The non-native file dialogs of the Basic style draw a white path bar under light text on
    // a dark palette; their Fusion variant follows the palette.
    auto *selector = new QQmlFileSelector(engine.get(), engine.get());
    selector->setExtraSelectors({QStringLiteral("Fusion")});
    engine->setInitialProperties(
        {{QStringLiteral("applicationController"), QVariant::fromValue<QObject *>(controller)}});
    QObject::connect(
        engine.get(), &QQmlApplicationEngine::objectCreationFailed, QCoreApplication::instance(),
        [] { QCoreApplication::exit(-1); }, Qt::QueuedConnection);
    engine->load(QUrl(QStringLiteral("qrc:/ui/qml/Main.qml")));
    return engine;
}

void openVideoArgument(ui::controllers::ApplicationController *controller, const QStringList &positionalArguments)
{
    if (positionalArguments.isEmpty())
        return;
    const QUrl url = QUrl::fromUserInput(positionalArguments.first(), QDir::currentPath(), QUrl::AssumeLocalFile);
    if (url.isLocalFile())
        controller->videoSession()->openSource(url);
}

} // namespace ovra::app
