// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/MotionSpectrumAnalysis.h"

#include <QJsonObject>
#include <QString>
#include <QThreadPool>

#include <memory>

namespace ovra::ui::controllers {
class ApplicationController;
}

namespace ovra::diagnostics::service {

// "diagnostics.getMotionSpectrum": the motion spectrum of the session's current fragment and
// region, measured on a thread of its own so that the event loop never waits for it. The first
// request starts the analysis and every later one sees its progress, then its figures; a request
// after the fragment, region, capture rate or resolution changed cancels it and starts anew.
// A spectrum that exists (this probe's or the window's, if current) is there for every client;
// starting one is work that only a client in control may ask for, and not while a preview or an
// export runs. Answering costs the GUI thread only the JSON of one spectrum.
class MotionSpectrumProbe
{
public:
    explicit MotionSpectrumProbe(ui::controllers::ApplicationController *application);
    ~MotionSpectrumProbe(); // cancels the analysis and waits for it

    MotionSpectrumProbe(const MotionSpectrumProbe &) = delete;
    MotionSpectrumProbe &operator=(const MotionSpectrumProbe &) = delete;

    // The answer, or an empty object with *errorCode set. Without mayStart, only a spectrum
    // that exists is answered.
    QJsonObject query(const QJsonObject &params, bool mayStart, QString *errorCode);
    // Stops a running analysis and forgets its figures (the service stopped, or the source changed).
    void cancel();

private:
    struct Job;

    void start(const processing::MotionSpectrumRequest &request);
    QJsonObject jobAnswer() const;

    ui::controllers::ApplicationController *m_application;
    std::shared_ptr<Job> m_job;
    QThreadPool m_pool; // last: its destructor waits for the jobs
};

} // namespace ovra::diagnostics::service
