// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/VideoWatermarkRenderer.h"

#include "media/ErrorMessage.h"

#include "ovra/Version.h"

#include <QCoreApplication>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace ovra::processing {
namespace {

using media::reportFailure;

bool succeed(QString *errorMessage)
{
    if (errorMessage)
        errorMessage->clear();
    return true;
}

int roundedClamped(double value, int minimum, int maximum)
{
    return std::clamp(static_cast<int>(std::lround(value)), minimum, maximum);
}

} // namespace

QString VideoWatermarkRenderer::text()
{
    return QStringLiteral(OVRA_DISPLAY_NAME);
}

VideoWatermarkRenderer::Layout VideoWatermarkRenderer::layoutFor(QSize frameSize)
{
    const int shorterSide = std::min(frameSize.width(), frameSize.height());
    Layout layout;
    layout.fontPixelSize = roundedClamped(shorterSide * fontSizeRatio, minimumFontPixelSize, maximumFontPixelSize);
    layout.marginPixels = roundedClamped(shorterSide * marginRatio, minimumMarginPixels, maximumMarginPixels);
    layout.maximumWidth = std::max(frameSize.width() * maximumWidthRatio, 1.0);
    return layout;
}

double VideoWatermarkRenderer::outlineWidth(int fontPixelSize, double scale)
{
    return std::clamp(fontPixelSize * scale * 0.08, 1.5, 5.0);
}

bool VideoWatermarkRenderer::prepare(QSize frameSize, QString *errorMessage)
{
    m_image = QImage();
    m_position = QPoint(0, 0);
    m_frameSize = QSize();
    if (frameSize.width() < 1 || frameSize.height() < 1)
        return reportFailure(errorMessage, tr("The watermark frame size is invalid."));

    const Layout layout = layoutFor(frameSize);
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(layout.fontPixelSize);
    font.setWeight(QFont::DemiBold);
    // The origin lies on the baseline, so the path extends above it.
    QPainterPath path;
    path.addText(QPointF(0.0, 0.0), font, text());
    QRectF bounds = path.boundingRect();
    if (path.isEmpty() || !(bounds.width() > 0.0) || !(bounds.height() > 0.0))
        return reportFailure(errorMessage, tr("Could not prepare the video watermark."));

    // Shrunk to fit a narrow frame, never enlarged.
    const double scale = std::min(layout.maximumWidth / bounds.width(), 1.0);
    if (scale < 1.0) {
        path = QTransform::fromScale(scale, scale).map(path);
        bounds = path.boundingRect();
    }
    const double outline = outlineWidth(layout.fontPixelSize, scale);
    const QRectF padded = bounds.adjusted(-outline, -outline, outline, outline);
    QImage image(std::max(static_cast<int>(std::ceil(padded.width())), 1),
                 std::max(static_cast<int>(std::ceil(padded.height())), 1), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return reportFailure(errorMessage, tr("Could not allocate the video watermark image."));
    image.fill(Qt::transparent);

    QPainter painter;
    if (!painter.begin(&image))
        return reportFailure(errorMessage, tr("Could not draw the video watermark."));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(-padded.left(), -padded.top());
    // The fill covers the inner half of the stroke, so only the outer half shows as outline.
    painter.strokePath(path, QPen(QColor(0, 0, 0, 160), outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(path, QColor(255, 255, 255, 205));
    painter.end();

    m_image = image;
    m_position = QPoint(std::max(frameSize.width() - layout.marginPixels - image.width(), 0),
                        std::max(frameSize.height() - layout.marginPixels - image.height(), 0));
    m_frameSize = frameSize;
    return succeed(errorMessage);
}

bool VideoWatermarkRenderer::apply(QImage &frameImage, QString *errorMessage) const
{
    if (frameImage.isNull() || frameImage.size() != m_frameSize || m_image.isNull())
        return reportFailure(errorMessage, tr("The watermark renderer is not configured for this frame."));
    QPainter painter;
    if (!painter.begin(&frameImage))
        return reportFailure(errorMessage, tr("Could not draw the video watermark."));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(m_position, m_image);
    painter.end();
    return succeed(errorMessage);
}

} // namespace ovra::processing
