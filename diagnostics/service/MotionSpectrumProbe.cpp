// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/MotionSpectrumProbe.h"

#include "diagnostics/service/Protocol.h"
#include "diagnostics/service/StateSnapshot.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/SpectrumController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QJsonArray>

namespace ovra::diagnostics::service {

using processing::MotionSpectrumRequest;
using ui::controllers::SpectrumController;

namespace {

// Beyond this the arrays would outgrow what a client may leave unread.
constexpr int largestAnsweredBinCount = 4096;

QJsonArray numbers(const std::vector<double> &values)
{
    QJsonArray array;
    for (const double value : values)
        array.append(value);
    return array;
}

void insertSpectrum(const motion_core::MotionSpectrum &spectrum, QJsonObject *answer)
{
    QJsonArray peaks;
    for (const motion_core::SpectrumPeak &peak : spectrum.peaks)
        peaks.append(QJsonObject{{QStringLiteral("frequencyHz"), peak.frequencyHz},
                                 {QStringLiteral("amplitudePixels"), peak.amplitudePixels},
                                 {QStringLiteral("directionDegrees"), peak.directionDegrees}});
    answer->insert(QStringLiteral("peaks"), peaks);
    answer->insert(QStringLiteral("resolutionHz"), spectrum.resolutionHz);
    answer->insert(QStringLiteral("nyquistHz"), spectrum.nyquistHz());
    answer->insert(QStringLiteral("segmentLength"), spectrum.segmentLength);
    answer->insert(QStringLiteral("segmentCount"), spectrum.segmentCount);
    answer->insert(QStringLiteral("tileCount"), spectrum.tileCount);
    answer->insert(QStringLiteral("binCount"), spectrum.binCount());
    if (spectrum.binCount() > largestAnsweredBinCount)
        return;
    answer->insert(QStringLiteral("amplitudeXPixels"), numbers(spectrum.amplitudeXPixels));
    answer->insert(QStringLiteral("amplitudeYPixels"), numbers(spectrum.amplitudeYPixels));
    answer->insert(QStringLiteral("amplitudePixels"), numbers(spectrum.amplitudePixels));
    answer->insert(QStringLiteral("noiseFloorPixels"), numbers(spectrum.noiseFloorPixels));
}

QJsonObject header(const MotionSpectrumRequest &request, const QString &state, double progress)
{
    return {{QStringLiteral("state"), state},
            {QStringLiteral("startFrame"), double(request.startFrame)},
            {QStringLiteral("endFrameExclusive"), double(request.endFrameExclusive)},
            {QStringLiteral("regionOfInterest"), StateSnapshot::region(request.regionOfInterest)},
            {QStringLiteral("captureFrameRate"), request.sourceMetadata.captureFrameRate},
            {QStringLiteral("progress"), progress}};
}

QJsonObject finishedAnswer(const MotionSpectrumRequest &request, const motion_core::MotionSpectrum &spectrum,
                           qint64 analysedFrames)
{
    QJsonObject answer = header(request, QStringLiteral("succeeded"), 1.0);
    answer.insert(QStringLiteral("analysedFrames"), double(analysedFrames));
    insertSpectrum(spectrum, &answer);
    return answer;
}

QJsonObject failedAnswer(const MotionSpectrumRequest &request, const QString &errorMessage)
{
    QJsonObject answer = header(request, QStringLiteral("failed"), 0.0);
    answer.insert(QStringLiteral("errorMessage"), errorMessage);
    return answer;
}

// What the window's spectrum tells of request, or nothing while it holds no run of it.
QJsonObject answerFrom(const SpectrumController &window, const MotionSpectrumRequest &request)
{
    if (window.ready() && processing::sameAnalysis(window.resultRequest(), request))
        return finishedAnswer(request, window.spectrum(), window.analysedFrames());
    if (!processing::sameAnalysis(window.latestRequest(), request))
        return {};
    if (window.state() == SpectrumController::State::Processing)
        return header(request, QStringLiteral("running"), window.progress());
    if (window.state() == SpectrumController::State::Error)
        return failedAnswer(request, window.errorMessage());
    return {};
}

} // namespace

MotionSpectrumProbe::MotionSpectrumProbe(ui::controllers::ApplicationController *application)
    : m_application(application)
{
}

void MotionSpectrumProbe::cancel()
{
    SpectrumController *window = m_application->spectrum();
    if (m_clientRequest && window->busy() && processing::sameAnalysis(window->latestRequest(), *m_clientRequest))
        window->cancel();
    m_clientRequest.reset();
}

QJsonObject MotionSpectrumProbe::query(const QJsonObject &params, bool mayStart, QString *errorCode)
{
    const QJsonValue resolution = params.value(QLatin1String("resolutionHz"));
    if (!resolution.isUndefined() && !(protocol::isFiniteNumber(resolution) && resolution.toDouble() > 0.0)) {
        *errorCode = QStringLiteral("invalid_params");
        return {};
    }
    if (!m_application->videoSession()->ready())
        return {{QStringLiteral("state"), QStringLiteral("unavailable")}};
    SpectrumController *window = m_application->spectrum();
    const MotionSpectrumRequest request = window->currentRequest(resolution.toDouble(0.0));
    const QJsonObject known = answerFrom(*window, request);
    if (!known.isEmpty())
        return known;
    // Anything else means new work, which only a client in control may ask for, and not while
    // the settings are locked for an analysis or an export.
    if (!mayStart) {
        *errorCode = QStringLiteral("control_disabled");
        return {};
    }
    if (m_application->processingSettings()->editingLocked()) {
        *errorCode = QStringLiteral("state_conflict");
        return {};
    }
    if (!window->analyze(request))
        return failedAnswer(request, window->errorMessage());
    m_clientRequest = request;
    return answerFrom(*window, request);
}

} // namespace ovra::diagnostics::service
