// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPointer>
#include <QQuickItem>
#include <QRectF>
#include <QtQmlIntegration/qqmlintegration.h>

namespace ovra::ui::controllers {
class PlaybackController;
}

namespace ovra::ui::items {

// Shows the current source frame of a PlaybackController, or in showsResult mode the
// matching frame of the analysis result, fitted into the item with its display aspect ratio
// (stored size stretched by the pixel aspect ratio) kept.
class VideoFrameItem : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(ovra::ui::controllers::PlaybackController *playbackController READ playbackController WRITE
                   setPlaybackController NOTIFY playbackControllerChanged FINAL)
    Q_PROPERTY(bool hasFrame READ hasFrame NOTIFY frameAvailabilityChanged FINAL)
    Q_PROPERTY(QRectF paintedRect READ paintedRect NOTIFY paintedRectChanged FINAL)
    Q_PROPERTY(
        double pixelAspectRatio READ pixelAspectRatio WRITE setPixelAspectRatio NOTIFY pixelAspectRatioChanged FINAL)
    Q_PROPERTY(bool showsResult READ showsResult WRITE setShowsResult NOTIFY showsResultChanged FINAL)
    Q_MOC_INCLUDE("ui/controllers/PlaybackController.h")

public:
    explicit VideoFrameItem(QQuickItem *parent = nullptr);

    controllers::PlaybackController *playbackController() const;
    void setPlaybackController(controllers::PlaybackController *playback);
    bool hasFrame() const { return m_hasFrame; }
    QRectF paintedRect() const;
    double pixelAspectRatio() const { return m_pixelAspectRatio; }
    // Anything but a positive finite ratio means square pixels.
    void setPixelAspectRatio(double ratio);
    bool showsResult() const { return m_showsResult; }
    void setShowsResult(bool showsResult);
    QImage frame() const { return m_frame; }

signals:
    void playbackControllerChanged();
    void frameAvailabilityChanged();
    void paintedRectChanged();
    void pixelAspectRatioChanged();
    void showsResultChanged();

protected:
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data) override;

private:
    void showControllerImage();
    void showImage(const QImage &image);
    void clear();

    QPointer<controllers::PlaybackController> m_controller;
    QImage m_frame;
    bool m_textureDirty = false;
    bool m_hasFrame = false;
    bool m_showsResult = false;
    double m_pixelAspectRatio = 1.0;
};

} // namespace ovra::ui::items
