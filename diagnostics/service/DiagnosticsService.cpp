// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/DiagnosticsService.h"

#include "diagnostics/service/Credentials.h"
#include "diagnostics/service/DescriptorFile.h"
#include "diagnostics/service/PerformanceReport.h"
#include "diagnostics/service/Protocol.h"
#include "diagnostics/service/StateSnapshot.h"
#include "ui/controllers/AnalysisController.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/ExportController.h"
#include "ui/controllers/PlaybackController.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>

#include <utility>

namespace ovra::diagnostics::service {

using namespace ui::controllers;

DiagnosticsService::DiagnosticsService(ApplicationController *application, QObject *parent)
    : QObject(parent)
    , m_application(application)
    , m_server([this](const QByteArray &line, bool *close) { return handleLine(line, close); },
               [this](const QString &code) { return protocol::errorResponse(QJsonValue::Null, m_revision, code); })
    , m_methods(application)
    , m_spectrum(application)
    , m_vibrationMap(application)
{
    m_eventTimer.setSingleShot(true);
    m_eventTimer.setInterval(75);
    connect(&m_eventTimer, &QTimer::timeout, this, &DiagnosticsService::flushEvents);
    connectControllers();
}

DiagnosticsService::~DiagnosticsService()
{
    stop();
}

bool DiagnosticsService::start(bool allowControl, QString *errorCode)
{
    if (m_running) {
        if (allowControl == m_controlEnabled)
            return true;
        if (errorCode)
            *errorCode = QStringLiteral("already_running");
        return false;
    }
    if (!open(allowControl, errorCode)) {
        m_server.close();
        m_instanceId.clear();
        m_token.clear();
        m_descriptorPath.clear();
        m_controlEnabled = false;
        return false;
    }
    m_running = true;
    appendEvent(QStringLiteral("service.started"));
    return true;
}

bool DiagnosticsService::open(bool allowControl, QString *errorCode)
{
    if (!descriptor::prepareDirectory(descriptor::directory(), errorCode))
        return false;
    m_instanceId = newInstanceId();
    m_token = newToken();
    m_controlEnabled = allowControl;
    m_revision = 1;
    m_journal.clear();
    if (!m_server.listen(descriptor::socketName(m_instanceId))) {
        if (errorCode)
            *errorCode = QStringLiteral("local_server_listen_failed");
        return false;
    }
    m_descriptorPath = descriptor::filePath(m_instanceId);
    return descriptor::write(m_descriptorPath, descriptor(), errorCode);
}

QJsonObject DiagnosticsService::descriptor() const
{
    return {{QStringLiteral("apiVersion"), protocol::apiVersion},
            {QStringLiteral("instanceId"), m_instanceId},
            {QStringLiteral("socketName"), descriptor::socketName(m_instanceId)},
            {QStringLiteral("token"), m_token},
            {QStringLiteral("processId"), double(QCoreApplication::applicationPid())},
            {QStringLiteral("controlEnabled"), m_controlEnabled},
            {QStringLiteral("createdAtUtc"), StateSnapshot::timestamp()}};
}

void DiagnosticsService::stop()
{
    m_server.close();
    m_spectrum.cancel();
    m_vibrationMap.cancel();
    m_eventTimer.stop();
    m_pendingEventCodes.clear();
    m_analysisProgress.reset();
    m_exportProgress.reset();
    if (!m_descriptorPath.isEmpty())
        QFile::remove(m_descriptorPath);
    m_running = false;
    m_controlEnabled = false;
    m_instanceId.clear();
    m_token.clear();
    m_descriptorPath.clear();
    m_revision = 1;
    m_journal.clear();
}

QJsonObject DiagnosticsService::handleLine(const QByteArray &line, bool *close)
{
    const protocol::Request request = protocol::parseRequest(line, m_token);
    *close = request.unauthorized;
    QString errorCode = request.code;
    QJsonObject result;
    if (errorCode.isEmpty())
        result = dispatch(request.method, request.params, &errorCode);
    if (!errorCode.isEmpty())
        return protocol::errorResponse(request.id, m_revision, errorCode);
    return protocol::successResponse(request.id, m_revision, result);
}

QJsonObject DiagnosticsService::dispatch(const QString &method, const QJsonObject &params, QString *errorCode)
{
    if (method == QLatin1String("diagnostics.getCapabilities"))
        return capabilities();
    if (method == QLatin1String("diagnostics.getSnapshot"))
        return snapshot();
    if (method == QLatin1String("diagnostics.getPerformance"))
        return PerformanceReport::report(snapshot(), StateSnapshot::currentOperation(*m_application));
    if (method == QLatin1String("diagnostics.getEvents"))
        return m_journal.query(params, m_revision, errorCode);
    if (method == QLatin1String("diagnostics.getMotionSpectrum"))
        return m_spectrum.query(params, m_controlEnabled, errorCode);
    if (method == QLatin1String("diagnostics.getVibrationMap"))
        return m_vibrationMap.query(params, m_controlEnabled, errorCode);
    *errorCode = mutationRefusal(method, params);
    if (!errorCode->isEmpty())
        return {};
    return m_methods.call(method, params, errorCode);
}

// The checks every mutating method passes first: known name, control, revision, export guard.
QString DiagnosticsService::mutationRefusal(const QString &method, const QJsonObject &params) const
{
    if (!protocol::mutatingMethods().contains(method))
        return QStringLiteral("method_not_found");
    if (!m_controlEnabled)
        return QStringLiteral("control_disabled");
    const QJsonValue expected = params.value(QLatin1String("expectedRevision"));
    if (expected.isUndefined())
        return QStringLiteral("missing_expected_revision");
    if (!protocol::isSafeInteger(expected) || expected.toDouble() < 0)
        return QStringLiteral("invalid_expected_revision");
    if (expected.toDouble() != double(m_revision))
        return QStringLiteral("stale_revision");
    if (m_application->exporter()->busy() && method != QLatin1String("diagnostics.cancelExport"))
        return QStringLiteral("state_conflict");
    return {};
}

QJsonObject DiagnosticsService::capabilities() const
{
    QJsonArray methods;
    for (const QString &name : protocol::readOnlyMethods())
        methods.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("mutating"), false}});
    for (const QString &name : protocol::mutatingMethods())
        methods.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("mutating"), true}});
    return {{QStringLiteral("apiVersion"), protocol::apiVersion},
            {QStringLiteral("instanceId"), m_instanceId},
            {QStringLiteral("controlEnabled"), m_controlEnabled},
            {QStringLiteral("framing"), QStringLiteral("json_lines")},
            {QStringLiteral("maximumMessageBytes"), protocol::maximumMessageBytes},
            {QStringLiteral("maximumClientCount"), protocol::maximumClientCount},
            {QStringLiteral("revision"), double(m_revision)},
            {QStringLiteral("revisionScope"), QStringLiteral("configuration_and_state")},
            {QStringLiteral("methods"), methods}};
}

QJsonObject DiagnosticsService::snapshot() const
{
    QJsonObject object = StateSnapshot::build(*m_application, m_revision);
    object.insert(QStringLiteral("instanceId"), m_instanceId);
    object.insert(QStringLiteral("controlEnabled"), m_controlEnabled);
    return object;
}

void DiagnosticsService::connectControllers()
{
    const auto change = [this](const char *code) { return [this, code] { noteChange(QLatin1String(code)); }; };
    auto *session = m_application->videoSession();
    auto *playback = m_application->playback();
    auto *analysis = m_application->analysis();
    auto *exporter = m_application->exporter();
    connect(session, &VideoSessionController::sourceChanged, this, change("source.changed"));
    // A spectrum or a map of the previous video is of no use to anyone.
    connect(session, &VideoSessionController::sourceChanged, this, [this] {
        m_spectrum.cancel();
        m_vibrationMap.cancel();
    });
    connect(session, &VideoSessionController::stateChanged, this, change("source.state_changed"));
    connect(session, &VideoSessionController::videoInfoChanged, this, change("source.metadata_changed"));
    connect(session, &VideoSessionController::errorMessageChanged, this, change("source.error_changed"));
    connect(m_application->analysisFragment(), &AnalysisFragmentController::rangeChanged, this,
            change("selection.changed"));
    connect(m_application->processingSettings(), &ProcessingSettingsController::settingsChanged, this,
            change("settings.changed"));
    connect(playback, &ui::controllers::PlaybackController::stateChanged, this, change("playback.state_changed"));
    connect(playback, &ui::controllers::PlaybackController::timelineChanged, this, change("playback.timeline_changed"));
    connect(playback, &ui::controllers::PlaybackController::playbackModeChanged, this, change("playback.mode_changed"));
    connect(playback, &ui::controllers::PlaybackController::errorMessageChanged, this,
            change("playback.error_changed"));
    connect(playback, &ui::controllers::PlaybackController::resultStateChanged, this,
            change("playback.preview_changed"));
    connect(analysis, &AnalysisController::stateChanged, this, change("preview.state_changed"));
    connect(analysis, &AnalysisController::progressChanged, this, [this, analysis] {
        noteProgress(&m_analysisProgress, QStringLiteral("preview.progress_changed"), analysis->progress(),
                     analysis->stageName());
    });
    connect(exporter, &ExportController::stateChanged, this, change("export.state_changed"));
    connect(exporter, &ExportController::progressChanged, this, [this, exporter] {
        noteProgress(&m_exportProgress, QStringLiteral("export.progress_changed"), exporter->progress(),
                     exporter->stageName());
    });
}

void DiagnosticsService::noteChange(const QString &code)
{
    if (!m_running)
        return;
    ++m_revision;
    m_pendingEventCodes.insert(code);
    // The window is fixed from the first change, so a steady stream still flushes every 75 ms.
    if (!m_eventTimer.isActive())
        m_eventTimer.start();
}

void DiagnosticsService::noteProgress(ProgressEventFilter *filter, const QString &code, double progress,
                                      const QString &stageName)
{
    if (m_running && filter->advance(progress, stageName))
        appendEvent(code);
}

void DiagnosticsService::flushEvents()
{
    if (!m_running)
        return;
    const QSet<QString> codes = std::exchange(m_pendingEventCodes, {});
    for (const QString &code : codes)
        appendEvent(code);
}

void DiagnosticsService::appendEvent(const QString &code)
{
    if (m_running)
        m_journal.append(code, m_revision);
}

} // namespace ovra::diagnostics::service
