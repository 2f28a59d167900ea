// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/items/VibrationMapItem.h"

#include "ui/controllers/VibrationMapController.h"

#include <QPainter>

namespace ovra::ui::items {

VibrationMapItem::VibrationMapItem(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
}

controllers::VibrationMapController *VibrationMapItem::controller() const
{
    return m_controller;
}

void VibrationMapItem::setController(controllers::VibrationMapController *controller)
{
    if (controller == m_controller)
        return;
    if (m_controller)
        disconnect(m_controller, nullptr, this, nullptr);
    m_controller = controller;
    if (controller)
        connect(controller, &controllers::VibrationMapController::resultChanged, this, [this] { update(); });
    update();
    emit controllerChanged();
}

void VibrationMapItem::paint(QPainter *painter)
{
    if (!m_controller || m_controller->overlay().isNull())
        return;
    // Tile edges stay sharp, as the tiles are what was measured.
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(boundingRect(), m_controller->overlay());
}

} // namespace ovra::ui::items
