// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/controllers/ProcessingSettingsController.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QRectF>

#include <optional>

namespace ovra::ui::controllers {
class ApplicationController;
}
namespace ovra::ui::controllers {
class PlaybackController;
}

namespace ovra::diagnostics::service {

// One consistent JSON picture of every controller, read through their public properties on the
// thread they live on; it never changes anything.
class StateSnapshot
{
public:
    static QJsonObject build(const ui::controllers::ApplicationController &application, quint64 revision);
    static QJsonObject playback(const ui::controllers::PlaybackController &playback);
    static QJsonObject region(const QRectF &rect);
    // "off", "wholeFrame" or "referenceRegion", and back; nullopt for any other name.
    static QString cameraMotionName(ui::controllers::ProcessingSettingsController::CameraMotion cameraMotion);
    static std::optional<ui::controllers::ProcessingSettingsController::CameraMotion> cameraMotion(const QString &name);
    // "none", "sourceAnalysis", "preview" or "export".
    static QString currentOperation(const ui::controllers::ApplicationController &application);
    static QString timestamp();
    // The region the motion core compensates against, null without compensation.
    static QJsonValue stabilizationReferenceRegion(const std::optional<QRectF> &region);

private:
    static QJsonObject source(const ui::controllers::ApplicationController &application);
    static QJsonObject sourceMetadata(const ui::controllers::ApplicationController &application);
    static QJsonObject selection(const ui::controllers::ApplicationController &application);
    static QJsonObject settings(const ui::controllers::ApplicationController &application);
    static QJsonObject analysis(const ui::controllers::ApplicationController &application);
    static QJsonObject exporter(const ui::controllers::ApplicationController &application);
    static QJsonObject mediaRuntime(const ui::controllers::ApplicationController &application);
    static QJsonObject libav();
};

} // namespace ovra::diagnostics::service
