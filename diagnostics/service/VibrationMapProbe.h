// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/VibrationMapAnalysis.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace ovra::ui::controllers {
class ApplicationController;
}

namespace ovra::diagnostics::service {

// "diagnostics.getVibrationMap": the figures of the vibration map of the session's current
// fragment and region, for the settings' band or the band around a frequency, made by the
// window's map on its own thread. It follows the spectrum's rules (MotionSpectrumProbe): the
// window's map is there for every client while it matches the request; starting one is work
// that only a client in control may ask for, and not while a preview or an export runs.
class VibrationMapProbe
{
public:
    explicit VibrationMapProbe(ui::controllers::ApplicationController *application);

    VibrationMapProbe(const VibrationMapProbe &) = delete;
    VibrationMapProbe &operator=(const VibrationMapProbe &) = delete;

    // The answer, or an empty object with *errorCode set. Without mayStart, only a map that
    // exists is answered.
    QJsonObject query(const QJsonObject &params, bool mayStart, QString *errorCode);
    // Cancels the map a client started while it still runs (the service stopped), and forgets
    // that a client started it.
    void cancel();

private:
    ui::controllers::ApplicationController *m_application;
    std::optional<processing::VibrationMapRequest> m_clientRequest;
};

} // namespace ovra::diagnostics::service
