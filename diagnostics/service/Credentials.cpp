// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/Credentials.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QUuid>

namespace ovra::diagnostics::service {

QString newInstanceId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).remove(QLatin1Char('-'));
}

QString newToken()
{
    QString token;
    for (int i = 0; i < 8; ++i)
        token += QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
    return token;
}

bool tokensEqual(const QString &offered, const QString &expected)
{
    const QByteArray a = offered.toUtf8();
    const QByteArray b = expected.toUtf8();
    // Every byte of the expected token is visited whatever the offered length.
    unsigned difference = unsigned(a.size() ^ b.size());
    for (int i = 0; i < b.size(); ++i)
        difference |= unsigned(uchar(b.at(i)) ^ uchar(i < a.size() ? a.at(i) : 0));
    return difference == 0 && !expected.isEmpty();
}

} // namespace ovra::diagnostics::service
