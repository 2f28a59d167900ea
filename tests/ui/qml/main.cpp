// SPDX-License-Identifier: GPL-3.0-or-later
#include <QQmlEngine>
#include <QQmlExtensionPlugin>
#include <QtQuickTest>

// The panels are compiled in, as in the application, and imported from the same resources.
Q_IMPORT_QML_PLUGIN(OvraMotion_PanelsPlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_ComponentsPlugin)
Q_IMPORT_QML_PLUGIN(OvraMotion_ThemePlugin)

class Setup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine *engine) { engine->addImportPath(QStringLiteral(":/ui/qml")); }
};

QUICK_TEST_MAIN_WITH_SETUP(viewlogic, Setup)

#include "main.moc"
