// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QtQmlIntegration/qqmlintegration.h>

namespace ovra::ui::controllers {

// Tells the user interface, once at start-up, whether the loaded FFmpeg libraries can be used.
class MediaRuntimeController : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the media runtime.")
    Q_PROPERTY(bool available READ available CONSTANT FINAL)
    Q_PROPERTY(QString errorMessage READ errorMessage CONSTANT FINAL)

public:
    explicit MediaRuntimeController(QObject *parent = nullptr);

    bool available() const { return m_available; }
    QString versionSummary() const { return m_versionSummary; }
    QString errorMessage() const { return m_errorMessage; }

private:
    bool m_available = false;
    QString m_versionSummary;
    QString m_errorMessage;
};

} // namespace ovra::ui::controllers
