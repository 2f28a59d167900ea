// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

namespace ovra::diagnostics::service::protocol {

constexpr int apiVersion = 1;
constexpr int maximumMessageBytes = 65536;
constexpr int maximumReceiveBufferBytes = 131072;
constexpr int maximumLinesPerPass = 32;
constexpr int maximumClientCount = 4;
constexpr qint64 maximumPendingOutputBytes = 262144;

// Read-only methods first, then the mutating ones in their documented order.
const QStringList &readOnlyMethods();
const QStringList &mutatingMethods();

// A JSON number that is finite, whole and within plus or minus (2^53 - 1).
bool isSafeInteger(const QJsonValue &value);
bool isFiniteNumber(const QJsonValue &value);

// One parsed request line; `code` is empty when every envelope check passed.
struct Request
{
    QJsonValue id = QJsonValue::Null;
    QString method;
    QJsonObject params;
    QString code;
    bool unauthorized = false;
};

// The envelope checks, in order: JSON object, API version, token, method, params.
Request parseRequest(const QByteArray &line, const QString &token);

QJsonObject successResponse(const QJsonValue &id, quint64 revision, const QJsonObject &result);
QJsonObject errorResponse(const QJsonValue &id, quint64 revision, const QString &code);

} // namespace ovra::diagnostics::service::protocol
