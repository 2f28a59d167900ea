#pragma once

#include <QQmlApplicationEngine>

#include <memory>

namespace ovra::ui::controllers {
class ApplicationController;
}

namespace ovra::app {

// Registers VideoFrameItem as "VideoFrameItem" in module "OvraMotion.Ui" 1.0.
void registerNativeTypes();

// Creates the QML engine with the controller as the window's one initial property,
// "applicationController", and loads "qrc:/ui/qml/Main.qml". A failure to create the window
// once the event loop runs ends it with exit code -1.
std::unique_ptr<QQmlApplicationEngine> loadUserInterface(ui::controllers::ApplicationController *controller);

} // namespace ovra::app
