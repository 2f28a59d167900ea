// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

namespace ovra::diagnostics::service {

// The bounded list of short events a client polls; events name what changed, never the values.
class EventJournal
{
public:
    static constexpr int capacity = 256;

    void append(const QString &code, quint64 revision);
    void clear();
    // The answer of "diagnostics.getEvents", or an empty object with *errorCode set.
    QJsonObject query(const QJsonObject &params, quint64 revision, QString *errorCode) const;

private:
    QList<QJsonObject> m_events;
    quint64 m_nextEventId = 1;
};

} // namespace ovra::diagnostics::service
