// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QQmlApplicationEngine>

#include <memory>

namespace ovra::ui::controllers {
class ApplicationController;
}

namespace ovra::app {

// Creates the QML engine with the controller as the window's one initial property,
// "applicationController", and loads "qrc:/ui/qml/Main.qml". A failure to create the window
// once the event loop runs ends it with exit code -1.
std::unique_ptr<QQmlApplicationEngine> loadUserInterface(ui::controllers::ApplicationController *controller);

// Opens the video named by the first positional argument, as the open dialog would; a
// command line without one opens nothing.
void openVideoArgument(ui::controllers::ApplicationController *controller, const QStringList &positionalArguments);

} // namespace ovra::app
