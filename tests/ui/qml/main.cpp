// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/ApplicationController.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExtensionPlugin>
#include <QtQuickTest>

#include <memory>

// The panels are compiled in, as in the application, and imported from the same resources.
Q_IMPORT_QML_PLUGIN(OvraMotion_PanelsPlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_ComponentsPlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_ThemePlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_UiPlugin)

// The panels bind to the application's real controllers, "applicationController", and open the
// generated test videos from "testMediaFolder".
class Setup : public QObject
{
    Q_OBJECT

    std::unique_ptr<ovra::ui::controllers::ApplicationController> m_controller;

public slots:
    void applicationAvailable() { m_controller = std::make_unique<ovra::ui::controllers::ApplicationController>(); }
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral(":/ui/qml"));
        engine->rootContext()->setContextProperty(QStringLiteral("applicationController"), m_controller.get());
        engine->rootContext()->setContextProperty(
            QStringLiteral("testMediaFolder"), QUrl::fromLocalFile(qEnvironmentVariable("OVRA_TEST_MEDIA_DIR") + '/'));
    }
    void cleanupTestCase() { m_controller.reset(); }
};

QUICK_TEST_MAIN_WITH_SETUP(quicktests, Setup)

#include "main.moc"
