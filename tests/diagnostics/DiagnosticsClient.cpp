// SPDX-License-Identifier: GPL-3.0-or-later
#include "DiagnosticsClient.h"

#include <QFile>
#include <QJsonDocument>
#include <QTest>

DiagnosticsClient::DiagnosticsClient(const QString &descriptorPath)
{
    QFile file(descriptorPath);
    const QJsonObject descriptor
        = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    m_token = descriptor.value(QLatin1String("token")).toString();
    m_socket.connectToServer(descriptor.value(QLatin1String("socketName")).toString());
    // The server may live on this very thread: let the event loop accept the connection.
    (void)QTest::qWaitFor([this] { return m_socket.state() != QLocalSocket::ConnectingState; }, 5000);
}

void DiagnosticsClient::sendRaw(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

QJsonObject DiagnosticsClient::call(const QString &method, const QJsonObject &params)
{
    const QJsonObject request{{QStringLiteral("apiVersion"), 1},
                              {QStringLiteral("token"), m_token},
                              {QStringLiteral("method"), method},
                              {QStringLiteral("params"), params}};
    sendRaw(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    return readResponse();
}

QJsonObject DiagnosticsClient::mutate(const QString &method, QJsonObject params)
{
    // As a tool does: read the revision, send it back, and read again when something moved.
    QJsonObject response;
    for (int attempt = 0; attempt < 10 && (attempt == 0 || outcome(response) == QLatin1String("stale_revision"));
         ++attempt) {
        call(QStringLiteral("diagnostics.getCapabilities"));
        params.insert(QStringLiteral("expectedRevision"), double(m_lastRevision));
        response = call(method, params);
    }
    return response;
}

QJsonObject DiagnosticsClient::readResponse(int timeoutMs)
{
    (void)QTest::qWaitFor([this] { return m_socket.canReadLine() || m_socket.state() != QLocalSocket::ConnectedState; },
                          timeoutMs);
    if (!m_socket.canReadLine())
        return {};
    const QJsonObject response = QJsonDocument::fromJson(m_socket.readLine()).object();
    m_lastRevision = quint64(response.value(QLatin1String("revision")).toDouble());
    return response;
}

QString outcome(const QJsonObject &response)
{
    if (response.value(QLatin1String("ok")).toBool())
        return QStringLiteral("ok");
    const QString code = response.value(QLatin1String("error")).toObject().value(QLatin1String("code")).toString();
    return code.isEmpty() ? QStringLiteral("<no answer>") : code;
}

const QJsonObject resultOf(const QJsonObject &response)
{
    return response.value(QLatin1String("result")).toObject();
}
