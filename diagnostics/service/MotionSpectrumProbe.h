// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/MotionSpectrumAnalysis.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace ovra::ui::controllers {
class ApplicationController;
}

namespace ovra::diagnostics::service {

// "diagnostics.getMotionSpectrum": the motion spectrum of the session's current fragment and
// region, which the window's spectrum measures on its own thread so that the event loop never
// waits for it. The first request starts the analysis and every later one sees its progress,
// then its figures; a request after the fragment, region, capture rate or resolution changed
// starts anew. The window's spectrum is there for every client while it matches the request,
// whoever started it; starting one is work that only a client in control may ask for, and not
// while an analysis or an export runs. Answering costs the GUI thread only the JSON of one spectrum.
class MotionSpectrumProbe
{
public:
    explicit MotionSpectrumProbe(ui::controllers::ApplicationController *application);

    MotionSpectrumProbe(const MotionSpectrumProbe &) = delete;
    MotionSpectrumProbe &operator=(const MotionSpectrumProbe &) = delete;

    // The answer, or an empty object with *errorCode set. Without mayStart, only a spectrum
    // that exists is answered.
    QJsonObject query(const QJsonObject &params, bool mayStart, QString *errorCode);
    // Cancels the analysis a client started while it still runs (the service stopped), and
    // forgets that a client started it.
    void cancel();

private:
    ui::controllers::ApplicationController *m_application;
    std::optional<processing::MotionSpectrumRequest> m_clientRequest;
};

} // namespace ovra::diagnostics::service
