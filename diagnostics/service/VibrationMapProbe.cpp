// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/VibrationMapProbe.h"

#include "diagnostics/service/Protocol.h"
#include "diagnostics/service/StateSnapshot.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/VibrationMapController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QJsonArray>

namespace ovra::diagnostics::service {

using processing::VibrationMapRequest;
using ui::controllers::VibrationMapController;

namespace {

// Beyond this the tiles would outgrow what a client may leave unread.
constexpr size_t largestAnsweredTileCount = 4096;

// One tile as [x, y, width, height, amplitudePixels, directionDegrees]; a tile without texture
// has no figures (null), never zero.
QJsonArray tileRow(const motion_core::VibrationMapTile &tile)
{
    const QRect &r = tile.pixels;
    if (!tile.textured)
        return {r.x(), r.y(), r.width(), r.height(), QJsonValue(), QJsonValue()};
    return {r.x(), r.y(), r.width(), r.height(), tile.amplitudePixels, tile.directionDegrees};
}

void insertMap(const motion_core::VibrationMap &map, QJsonObject *answer)
{
    answer->insert(QStringLiteral("strongestFrequencyHz"), map.strongestFrequencyHz);
    answer->insert(QStringLiteral("resolutionHz"), map.resolutionHz);
    answer->insert(QStringLiteral("segmentLength"), map.segmentLength);
    answer->insert(QStringLiteral("segmentCount"), map.segmentCount);
    answer->insert(QStringLiteral("noiseFloorPixels"), map.noiseFloorPixels);
    answer->insert(QStringLiteral("largestAmplitudePixels"), map.largestAmplitudePixels());
    answer->insert(QStringLiteral("tileCount"), double(map.tiles.size()));
    answer->insert(QStringLiteral("texturedTileCount"), map.texturedTileCount());
    if (map.tiles.size() > largestAnsweredTileCount)
        return;
    QJsonArray tiles;
    for (const motion_core::VibrationMapTile &tile : map.tiles)
        tiles.append(tileRow(tile));
    answer->insert(QStringLiteral("tiles"), tiles);
}

QJsonObject header(const VibrationMapRequest &request, const QString &state, double progress)
{
    return {{QStringLiteral("state"), state},
            {QStringLiteral("startFrame"), double(request.startFrame)},
            {QStringLiteral("endFrameExclusive"), double(request.endFrameExclusive)},
            {QStringLiteral("regionOfInterest"), StateSnapshot::region(request.regionOfInterest)},
            {QStringLiteral("captureFrameRate"), request.sourceMetadata.captureFrameRate},
            {QStringLiteral("lowerFrequencyHz"), request.lowerFrequencyHz},
            {QStringLiteral("upperFrequencyHz"), request.upperFrequencyHz},
            {QStringLiteral("progress"), progress}};
}

QJsonObject failedAnswer(const VibrationMapRequest &request, const QString &errorMessage)
{
    QJsonObject answer = header(request, QStringLiteral("failed"), 0.0);
    answer.insert(QStringLiteral("errorMessage"), errorMessage);
    return answer;
}

// What the window's map tells of request, or nothing while it holds no run of it.
QJsonObject answerFrom(const VibrationMapController &window, const VibrationMapRequest &request)
{
    if (window.ready() && processing::sameAnalysis(window.resultRequest(), request)) {
        QJsonObject answer = header(request, QStringLiteral("succeeded"), 1.0);
        answer.insert(QStringLiteral("analysedFrames"), double(window.result().analysedFrames));
        if (const auto &scale = window.measurementScale())
            answer.insert(QStringLiteral("millimetresPerPixel"), scale->millimetresPerPixel);
        insertMap(window.result().map, &answer);
        return answer;
    }
    if (!processing::sameAnalysis(window.latestRequest(), request))
        return {};
    if (window.state() == VibrationMapController::State::Processing)
        return header(request, QStringLiteral("running"), window.progress());
    if (window.state() == VibrationMapController::State::Error)
        return failedAnswer(request, window.errorMessage());
    return {};
}

} // namespace

VibrationMapProbe::VibrationMapProbe(ui::controllers::ApplicationController *application)
    : m_application(application)
{
}

void VibrationMapProbe::cancel()
{
    VibrationMapController *window = m_application->vibrationMap();
    if (m_clientRequest && window->busy() && processing::sameAnalysis(window->latestRequest(), *m_clientRequest))
        window->cancel();
    m_clientRequest.reset();
}

QJsonObject VibrationMapProbe::query(const QJsonObject &params, bool mayStart, QString *errorCode)
{
    const QJsonValue frequency = params.value(QLatin1String("frequencyHz"));
    if (!frequency.isUndefined() && !(protocol::isFiniteNumber(frequency) && frequency.toDouble() > 0.0)) {
        *errorCode = QStringLiteral("invalid_params");
        return {};
    }
    if (!m_application->videoSession()->ready())
        return {{QStringLiteral("state"), QStringLiteral("unavailable")}};
    VibrationMapController *window = m_application->vibrationMap();
    const std::optional<double> frequencyHz
        = frequency.isUndefined() ? std::nullopt : std::optional<double>(frequency.toDouble());
    const VibrationMapRequest request = window->requestAround(frequencyHz);
    const QJsonObject known = answerFrom(*window, request);
    if (!known.isEmpty())
        return known;
    // Anything else means new work, which only a client in control may ask for, and not while
    // the settings are locked for a preview or an export.
    if (!mayStart) {
        *errorCode = QStringLiteral("control_disabled");
        return {};
    }
    if (m_application->processingSettings()->editingLocked()) {
        *errorCode = QStringLiteral("state_conflict");
        return {};
    }
    if (!(frequencyHz ? window->analyzeAround(*frequencyHz) : window->analyze()))
        return failedAnswer(request, window->errorMessage());
    m_clientRequest = request;
    return answerFrom(*window, request);
}

} // namespace ovra::diagnostics::service
