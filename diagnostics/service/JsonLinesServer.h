// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

class QLocalSocket;

namespace ovra::diagnostics::service {

// The listening socket and its clients: JSON-lines framing with bounded input and output, so
// that no client can make the process buffer without limit or hold the event loop.
// Lives on one thread; every handler runs there.
class JsonLinesServer : public QObject
{
public:
    // Answers one line; sets *close when the connection must end after the answer.
    using RequestHandler = std::function<QJsonObject(const QByteArray &line, bool *close)>;
    // Answers a framing failure ("message_too_large", "receive_buffer_limit").
    using FramingErrorHandler = std::function<QJsonObject(const QString &code)>;

    JsonLinesServer(RequestHandler requestHandler, FramingErrorHandler framingErrorHandler);
    ~JsonLinesServer() override;

    bool listen(const QString &name);
    // Stops listening and drops every client with whatever it had not yet received.
    void close();

private:
    void acceptConnections();
    void readClient(QLocalSocket *socket);
    // Handles complete lines of the buffer; false once the client is gone or being closed.
    bool handleLines(QLocalSocket *socket, QByteArray &buffer, bool *quotaReached);
    void finishPass(QLocalSocket *socket, QByteArray &buffer, bool quotaReached);
    void scheduleRead(QLocalSocket *socket);
    void refuse(QLocalSocket *socket, const QString &code);
    void send(QLocalSocket *socket, const QJsonObject &message);
    void drop(QLocalSocket *socket);
    void forget(QLocalSocket *socket);
    bool connected(QLocalSocket *socket) const;

    RequestHandler m_requestHandler;
    FramingErrorHandler m_framingErrorHandler;
    QLocalServer m_server;
    QHash<QLocalSocket *, QByteArray> m_clients;
};

} // namespace ovra::diagnostics::service
