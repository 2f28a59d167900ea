// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>

namespace ovra::ui::controllers {
class ApplicationController;
}

namespace ovra::diagnostics::service {

// The mutating methods: each validates its parameters, then calls the same controller operation
// the window calls. Nothing is changed before a method's own checks have passed.
class ControlMethods
{
public:
    explicit ControlMethods(ui::controllers::ApplicationController *application)
        : m_application(application)
    {
    }

    // The result ({"accepted": true, ...}), or an empty object with *errorCode set.
    QJsonObject call(const QString &method, const QJsonObject &params, QString *errorCode);

private:
    using Handler = QJsonObject (ControlMethods::*)(const QJsonObject &params, QString *errorCode);

    QJsonObject openVideo(const QJsonObject &params, QString *errorCode);
    QJsonObject setCaptureFrameRate(const QJsonObject &params, QString *errorCode);
    QJsonObject setRange(const QJsonObject &params, QString *errorCode);
    QJsonObject setRoi(const QJsonObject &params, QString *errorCode);
    QJsonObject setProcessingParameters(const QJsonObject &params, QString *errorCode);
    QJsonObject playback(const QJsonObject &params, QString *errorCode);
    QJsonObject startPreview(const QJsonObject &params, QString *errorCode);
    QJsonObject cancelPreview(const QJsonObject &params, QString *errorCode);
    QJsonObject setExportDestination(const QJsonObject &params, QString *errorCode);
    QJsonObject startExport(const QJsonObject &params, QString *errorCode);
    QJsonObject cancelExport(const QJsonObject &params, QString *errorCode);
    QJsonObject cancelAnalysis(const QJsonObject &params, QString *errorCode);
    // The playback action itself; false when its precondition fails.
    bool runPlaybackAction(const QString &action, const QJsonObject &params, QString *errorCode);
    bool settingsEditable() const;

    ui::controllers::ApplicationController *m_application;
};

} // namespace ovra::diagnostics::service
