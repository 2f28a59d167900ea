// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/items/VideoFrameItem.h"

#include "ui/controllers/PlaybackController.h"

#include <QQuickWindow>
#include <QSGSimpleTextureNode>

#include <cmath>

namespace ovra::ui::items {
namespace {

bool fuzzyEqual(double a, double b)
{
    if (a == 0.0 || b == 0.0)
        return std::abs(a - b) <= 1e-12;
    return std::abs(a - b) <= 1e-12 * std::max(std::abs(a), std::abs(b));
}

} // namespace

VideoFrameItem::VideoFrameItem(QQuickItem *parent)
    : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
}

controllers::PlaybackController *VideoFrameItem::playbackController() const
{
    return m_controller.data();
}

void VideoFrameItem::setPlaybackController(controllers::PlaybackController *playback)
{
    if (playback == m_controller)
        return;
    if (m_controller)
        m_controller->disconnect(this);
    m_controller = playback;
    if (playback) {
        connect(playback, &controllers::PlaybackController::frameReady, this, [this](const QImage &image) {
            if (!m_showsResult)
                showImage(image);
        });
        connect(playback, &controllers::PlaybackController::frameCleared, this, [this] {
            if (!m_showsResult)
                clear();
        });
        connect(playback, &controllers::PlaybackController::resultFrameReady, this, [this](const QImage &image) {
            if (m_showsResult)
                showImage(image);
        });
        connect(playback, &controllers::PlaybackController::resultFrameCleared, this, [this] {
            if (m_showsResult)
                clear();
        });
        showControllerImage();
    } else {
        clear();
    }
    emit playbackControllerChanged();
}

void VideoFrameItem::setShowsResult(bool showsResult)
{
    if (showsResult == m_showsResult)
        return;
    m_showsResult = showsResult;
    if (m_controller)
        showControllerImage();
    else
        clear();
    emit showsResultChanged();
}

void VideoFrameItem::setPixelAspectRatio(double ratio)
{
    const double accepted = std::isfinite(ratio) && ratio > 0.0 ? ratio : 1.0;
    if (fuzzyEqual(accepted, m_pixelAspectRatio))
        return;
    m_pixelAspectRatio = accepted;
    update();
    emit pixelAspectRatioChanged();
    emit paintedRectChanged();
}

void VideoFrameItem::showControllerImage()
{
    showImage(m_showsResult ? m_controller->currentResultFrame() : m_controller->currentFrame());
}

void VideoFrameItem::showImage(const QImage &image)
{
    if (image.isNull())
        return clear();
    const bool hadFrame = m_hasFrame;
    const QSize oldSize = m_frame.size();
    m_frame = image;
    m_textureDirty = true;
    m_hasFrame = true;
    update();
    if (!hadFrame) {
        emit frameAvailabilityChanged();
        emit paintedRectChanged();
    } else if (oldSize != image.size()) {
        emit paintedRectChanged();
    }
}

void VideoFrameItem::clear()
{
    if (!m_hasFrame && m_frame.isNull())
        return;
    m_frame = QImage();
    m_textureDirty = false;
    m_hasFrame = false;
    update();
    emit frameAvailabilityChanged();
    emit paintedRectChanged();
}

QRectF VideoFrameItem::paintedRect() const
{
    if (m_frame.isNull() || width() <= 0.0 || height() <= 0.0)
        return {};
    const QSizeF shown(m_frame.width() * m_pixelAspectRatio, m_frame.height());
    const QSizeF scaled = shown.scaled(QSizeF(width(), height()), Qt::KeepAspectRatio);
    return QRectF((width() - scaled.width()) / 2.0, (height() - scaled.height()) / 2.0, scaled.width(),
                  scaled.height());
}

void VideoFrameItem::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (!fuzzyEqual(newGeometry.width(), oldGeometry.width())
        || !fuzzyEqual(newGeometry.height(), oldGeometry.height())) {
        update();
        emit paintedRectChanged();
    }
}

QSGNode *VideoFrameItem::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<QSGSimpleTextureNode *>(oldNode);
    if (!m_hasFrame || m_frame.isNull() || !window()) {
        delete node;
        return nullptr;
    }
    const bool created = !node;
    if (created) {
        node = new QSGSimpleTextureNode;
        node->setFiltering(QSGTexture::Linear);
        node->setOwnsTexture(true);
        m_textureDirty = true;
    }
    if (created || m_textureDirty) {
        if (QSGTexture *texture = window()->createTextureFromImage(m_frame)) {
            node->setTexture(texture);
            m_textureDirty = false;
        } else if (!node->texture()) {
            delete node;
            return nullptr;
        }
    }
    node->setRect(paintedRect());
    return node;
}

} // namespace ovra::ui::items
