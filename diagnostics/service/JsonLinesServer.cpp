// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/JsonLinesServer.h"

#include "diagnostics/service/Protocol.h"

#include <QJsonDocument>
#include <QLocalSocket>
#include <QPointer>

#include <utility>

namespace ovra::diagnostics::service {

JsonLinesServer::JsonLinesServer(RequestHandler requestHandler, FramingErrorHandler framingErrorHandler)
    : m_requestHandler(std::move(requestHandler))
    , m_framingErrorHandler(std::move(framingErrorHandler))
{
    connect(&m_server, &QLocalServer::newConnection, this, &JsonLinesServer::acceptConnections);
}

JsonLinesServer::~JsonLinesServer()
{
    close();
}

bool JsonLinesServer::listen(const QString &name)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.setMaxPendingConnections(protocol::maximumClientCount);
    return m_server.listen(name);
}

void JsonLinesServer::close()
{
    m_server.close();
    const auto sockets = m_clients.keys();
    m_clients.clear();
    for (QLocalSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void JsonLinesServer::acceptConnections()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        if (m_clients.size() >= protocol::maximumClientCount) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Qt stops reading from the system once this much waits, which holds a fast writer back.
        socket->setReadBufferSize(protocol::maximumReceiveBufferBytes);
        m_clients.insert(socket, QByteArray());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readClient(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { forget(socket); });
    }
}

void JsonLinesServer::readClient(QLocalSocket *socket)
{
    if (!connected(socket))
        return;
    // The buffer leaves the table while lines are handled: a handler may close the client.
    QByteArray buffer = std::exchange(m_clients[socket], QByteArray());
    const qint64 room = protocol::maximumReceiveBufferBytes + 1 - buffer.size();
    if (room > 0)
        buffer += socket->read(room);
    bool quotaReached = false;
    if (handleLines(socket, buffer, &quotaReached))
        finishPass(socket, buffer, quotaReached);
}

bool JsonLinesServer::handleLines(QLocalSocket *socket, QByteArray &buffer, bool *quotaReached)
{
    int handled = 0;
    int start = 0;
    for (int end = buffer.indexOf('\n'); end >= 0; end = buffer.indexOf('\n', start)) {
        if (handled == protocol::maximumLinesPerPass) {
            *quotaReached = true;
            break;
        }
        QByteArray line = buffer.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > protocol::maximumMessageBytes) {
            refuse(socket, QStringLiteral("message_too_large"));
            return false;
        }
        if (line.trimmed().isEmpty())
            continue;
        ++handled;
        bool close = false;
        send(socket, m_requestHandler(line, &close));
        if (close && connected(socket))
            socket->disconnectFromServer();
        if (!connected(socket))
            return false;
    }
    buffer.remove(0, start);
    return true;
}

void JsonLinesServer::finishPass(QLocalSocket *socket, QByteArray &buffer, bool quotaReached)
{
    if (buffer.size() > protocol::maximumReceiveBufferBytes) {
        refuse(socket, QStringLiteral("receive_buffer_limit"));
        return;
    }
    const bool moreLines = quotaReached && buffer.contains('\n');
    m_clients[socket] = buffer;
    if (moreLines || socket->bytesAvailable() > 0)
        scheduleRead(socket);
}

void JsonLinesServer::scheduleRead(QLocalSocket *socket)
{
    QMetaObject::invokeMethod(
        this,
        [this, guard = QPointer<QLocalSocket>(socket)] {
            if (guard)
                readClient(guard);
        },
        Qt::QueuedConnection);
}

void JsonLinesServer::refuse(QLocalSocket *socket, const QString &code)
{
    send(socket, m_framingErrorHandler(code));
    if (connected(socket))
        socket->disconnectFromServer();
}

void JsonLinesServer::send(QLocalSocket *socket, const QJsonObject &message)
{
    if (!connected(socket))
        return;
    const QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
    // A client that stops reading is cut off rather than buffered for.
    if (socket->bytesToWrite() > protocol::maximumPendingOutputBytes - bytes.size()
        || socket->write(bytes) != bytes.size())
        drop(socket);
}

void JsonLinesServer::drop(QLocalSocket *socket)
{
    socket->abort();
    forget(socket);
}

void JsonLinesServer::forget(QLocalSocket *socket)
{
    if (m_clients.remove(socket) == 0)
        return;
    socket->disconnect(this);
    socket->deleteLater();
}

bool JsonLinesServer::connected(QLocalSocket *socket) const
{
    return m_clients.contains(socket) && socket->state() == QLocalSocket::ConnectedState;
}

} // namespace ovra::diagnostics::service
