// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QQuickPaintedItem>
#include <QtQmlIntegration/qqmlintegration.h>

namespace ovra::ui::controllers {
class VibrationMapController;
}

namespace ovra::ui::items {

// The tiles of a vibration map in colour, stretched over the item as the frame is over its
// painted rectangle; tiles without data stay clear.
class VibrationMapItem : public QQuickPaintedItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(ovra::ui::controllers::VibrationMapController *controller READ controller WRITE setController NOTIFY
                   controllerChanged FINAL)
    Q_MOC_INCLUDE("ui/controllers/VibrationMapController.h")

public:
    explicit VibrationMapItem(QQuickItem *parent = nullptr);

    controllers::VibrationMapController *controller() const;
    void setController(controllers::VibrationMapController *controller);
    void paint(QPainter *painter) override;

signals:
    void controllerChanged();

private:
    QPointer<controllers::VibrationMapController> m_controller;
};

} // namespace ovra::ui::items
