// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QLocalSocket>
#include <QString>

// A real client of the diagnostics endpoint: reads the descriptor like a tool would and talks
// JSON lines over a local socket, waiting for answers through the event loop.
class DiagnosticsClient
{
public:
    // Connects with the socket name and token of the descriptor file at descriptorPath.
    explicit DiagnosticsClient(const QString &descriptorPath);

    bool connected() const { return m_socket.state() == QLocalSocket::ConnectedState; }
    QLocalSocket &socket() { return m_socket; }
    QString token() const { return m_token; }

    void sendRaw(const QByteArray &bytes);
    // Sends {"apiVersion":1,"token":...,"method":...,"params":...} and returns the answer.
    QJsonObject call(const QString &method, const QJsonObject &params = {});
    // Like call, with "expectedRevision" freshly read (again after "stale_revision").
    QJsonObject mutate(const QString &method, QJsonObject params = {});
    // The next answer line, or an empty object after timeoutMs without one.
    QJsonObject readResponse(int timeoutMs = 10000);
    quint64 lastRevision() const { return m_lastRevision; }

private:
    QLocalSocket m_socket;
    QString m_token;
    quint64 m_lastRevision = 0;
};

// The error code of an answer, or "ok" for a success.
QString outcome(const QJsonObject &response);
const QJsonObject resultOf(const QJsonObject &response);
