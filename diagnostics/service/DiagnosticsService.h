// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/service/ControlMethods.h"
#include "diagnostics/service/EventJournal.h"
#include "diagnostics/service/JsonLinesServer.h"
#include "diagnostics/service/MotionSpectrumProbe.h"
#include "diagnostics/service/ProgressEventFilter.h"
#include "diagnostics/service/VibrationMapProbe.h"

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

namespace ovra::ui::controllers {
class ApplicationController;
}

namespace ovra::diagnostics::service {

// The optional local endpoint through which a tool of the same user reads the application's
// state and, when allowed, drives it. Everything runs on the thread of the controllers.
// The application controller must outlive the service.
class DiagnosticsService : public QObject
{
public:
    explicit DiagnosticsService(ui::controllers::ApplicationController *application, QObject *parent = nullptr);
    ~DiagnosticsService() override;

    // On failure *errorCode names the step that failed; the service then stays stopped.
    bool start(bool allowControl, QString *errorCode = nullptr);
    // Drops every client and removes the descriptor; safe when not running.
    void stop();
    QString descriptorPath() const { return m_descriptorPath; }

private:
    bool open(bool allowControl, QString *errorCode);
    QJsonObject descriptor() const;
    QJsonObject handleLine(const QByteArray &line, bool *close);
    QJsonObject dispatch(const QString &method, const QJsonObject &params, QString *errorCode);
    QString mutationRefusal(const QString &method, const QJsonObject &params) const;
    QJsonObject capabilities() const;
    QJsonObject snapshot() const;
    void connectControllers();
    void noteChange(const QString &code);
    void noteProgress(ProgressEventFilter *filter, const QString &code, double progress, const QString &stageName);
    void flushEvents();
    void appendEvent(const QString &code);

    ui::controllers::ApplicationController *m_application;
    JsonLinesServer m_server;
    ControlMethods m_methods;
    MotionSpectrumProbe m_spectrum;
    VibrationMapProbe m_vibrationMap;
    EventJournal m_journal;
    QSet<QString> m_pendingEventCodes;
    QTimer m_eventTimer;
    ProgressEventFilter m_analysisProgress;
    ProgressEventFilter m_exportProgress;
    QString m_instanceId;
    QString m_token;
    QString m_descriptorPath;
    quint64 m_revision = 1;
    bool m_running = false;
    bool m_controlEnabled = false;
};

} // namespace ovra::diagnostics::service
