// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/EventJournal.h"

#include "diagnostics/service/Protocol.h"
#include "diagnostics/service/StateSnapshot.h"

#include <QJsonArray>

#include <algorithm>

namespace ovra::diagnostics::service {

void EventJournal::append(const QString &code, quint64 revision)
{
    m_events.append({{QStringLiteral("id"), double(m_nextEventId++)},
                     {QStringLiteral("revision"), double(revision)},
                     {QStringLiteral("code"), code},
                     {QStringLiteral("occurredAtUtc"), StateSnapshot::timestamp()}});
    while (m_events.size() > capacity)
        m_events.removeFirst();
}

void EventJournal::clear()
{
    m_events.clear();
    m_nextEventId = 1;
}

QJsonObject EventJournal::query(const QJsonObject &params, quint64 revision, QString *errorCode) const
{
    const QJsonValue cursorValue = params.value(QLatin1String("cursor"));
    const QJsonValue limitValue = params.value(QLatin1String("limit"));
    if (!cursorValue.isUndefined() && (!protocol::isSafeInteger(cursorValue) || cursorValue.toDouble() < 0)) {
        *errorCode = QStringLiteral("invalid_cursor");
        return {};
    }
    if (!limitValue.isUndefined() && (!protocol::isSafeInteger(limitValue) || limitValue.toDouble() < 1)) {
        *errorCode = QStringLiteral("invalid_limit");
        return {};
    }
    const double cursor = cursorValue.toDouble(0);
    const int limit = int(std::min<double>(limitValue.toDouble(capacity), capacity));
    QJsonArray events;
    double nextCursor = cursor;
    for (const QJsonObject &event : m_events) {
        if (events.size() == limit)
            break;
        const double id = event.value(QLatin1String("id")).toDouble();
        if (id > cursor) {
            events.append(event);
            nextCursor = id;
        }
    }
    const double droppedBefore
        = m_events.isEmpty() ? double(m_nextEventId - 1) : m_events.first().value(QLatin1String("id")).toDouble() - 1;
    return {{QStringLiteral("events"), events},
            {QStringLiteral("nextCursor"), nextCursor},
            {QStringLiteral("droppedBefore"), droppedBefore},
            {QStringLiteral("revision"), double(revision)}};
}

} // namespace ovra::diagnostics::service
