// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QRectF>

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
    // "none", "sourceAnalysis", "preview" or "export".
    static QString currentOperation(const ui::controllers::ApplicationController &application);
    static QString timestamp();

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
