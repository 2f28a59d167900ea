// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/Protocol.h"

#include "diagnostics/service/Credentials.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace ovra::diagnostics::service::protocol {

const QStringList &readOnlyMethods()
{
    static const QStringList names{
        QStringLiteral("diagnostics.getCapabilities"),   QStringLiteral("diagnostics.getSnapshot"),
        QStringLiteral("diagnostics.getPerformance"),    QStringLiteral("diagnostics.getEvents"),
        QStringLiteral("diagnostics.getMotionSpectrum"), QStringLiteral("diagnostics.getVibrationMap")};
    return names;
}

const QStringList &mutatingMethods()
{
    static const QStringList names{QStringLiteral("diagnostics.openVideo"),
                                   QStringLiteral("diagnostics.setCaptureFrameRate"),
                                   QStringLiteral("diagnostics.setRange"),
                                   QStringLiteral("diagnostics.setRoi"),
                                   QStringLiteral("diagnostics.setProcessingParameters"),
                                   QStringLiteral("diagnostics.playback"),
                                   QStringLiteral("diagnostics.startPreview"),
                                   QStringLiteral("diagnostics.cancelPreview"),
                                   QStringLiteral("diagnostics.setExportDestination"),
                                   QStringLiteral("diagnostics.startExport"),
                                   QStringLiteral("diagnostics.cancelExport"),
                                   QStringLiteral("diagnostics.cancelAnalysis")};
    return names;
}

bool isFiniteNumber(const QJsonValue &value)
{
    return value.isDouble() && std::isfinite(value.toDouble());
}

bool isSafeInteger(const QJsonValue &value)
{
    constexpr double limit = 9007199254740991.0;
    if (!isFiniteNumber(value))
        return false;
    const double number = value.toDouble();
    return std::trunc(number) == number && number >= -limit && number <= limit;
}

Request parseRequest(const QByteArray &line, const QString &token)
{
    Request request;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        request.code = QStringLiteral("invalid_json");
        return request;
    }
    const QJsonObject object = document.object();
    request.id = object.value(QLatin1String("id"));
    if (request.id.isUndefined())
        request.id = QJsonValue::Null;
    const QJsonValue version = object.value(QLatin1String("apiVersion"));
    const QJsonValue params = object.value(QLatin1String("params"));
    request.method = object.value(QLatin1String("method")).toString();
    if (!version.isDouble() || version.toDouble() != apiVersion)
        request.code = QStringLiteral("unsupported_api_version");
    else if (!tokensEqual(object.value(QLatin1String("token")).toString(), token))
        request.code = QStringLiteral("unauthorized");
    else if (request.method.isEmpty())
        request.code = QStringLiteral("invalid_method");
    else if (!params.isUndefined() && !params.isObject())
        request.code = QStringLiteral("invalid_params");
    request.unauthorized = request.code == QLatin1String("unauthorized");
    request.params = params.toObject();
    return request;
}

QJsonObject successResponse(const QJsonValue &id, quint64 revision, const QJsonObject &result)
{
    return {{QStringLiteral("apiVersion"), apiVersion},
            {QStringLiteral("id"), id},
            {QStringLiteral("ok"), true},
            {QStringLiteral("revision"), double(revision)},
            {QStringLiteral("result"), result}};
}

QJsonObject errorResponse(const QJsonValue &id, quint64 revision, const QString &code)
{
    return {{QStringLiteral("apiVersion"), apiVersion},
            {QStringLiteral("id"), id},
            {QStringLiteral("ok"), false},
            {QStringLiteral("revision"), double(revision)},
            {QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), code}}}};
}

} // namespace ovra::diagnostics::service::protocol
