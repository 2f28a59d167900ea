// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/ComparisonComposer.h"

#include "media/ErrorMessage.h"
#include "processing/VideoWatermarkRenderer.h"

#include <QFont>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace ovra::processing {
namespace {

using media::reportFailure;
using project_data::OutputLayout;

QString number(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 6);
}

// White text on a dark, half-transparent plate, sized like the watermark and shrunk to fit
// within maximumWidth.
QImage renderLabel(const QString &text, int fontPixelSize, double maximumWidth)
{
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(fontPixelSize);
    font.setWeight(QFont::DemiBold);
    QPainterPath path;
    path.addText(QPointF(0.0, 0.0), font, text);
    QRectF bounds = path.boundingRect();
    if (path.isEmpty() || !(bounds.width() > 0.0) || !(bounds.height() > 0.0))
        return {};
    const double padding = 0.4 * fontPixelSize;
    const double scale = std::clamp((maximumWidth - 2.0 * padding) / bounds.width(), 0.1, 1.0);
    if (scale < 1.0) {
        path = QTransform::fromScale(scale, scale).map(path);
        bounds = path.boundingRect();
    }
    const QRectF plate = bounds.adjusted(-padding * scale, -padding * scale, padding * scale, padding * scale);
    QImage image(static_cast<int>(std::ceil(plate.width())), static_cast<int>(std::ceil(plate.height())),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(QColor(0, 0, 0, 150));
    QPainter painter;
    if (!painter.begin(&image))
        return {};
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-plate.left(), -plate.top());
    painter.fillPath(path, Qt::white);
    painter.end();
    return image;
}

} // namespace

QSize ComparisonComposer::composedSize(OutputLayout layout, QSize frameSize)
{
    switch (layout) {
    case OutputLayout::SideBySide:
        return QSize(2 * frameSize.width(), frameSize.height());
    case OutputLayout::Stacked:
        return QSize(frameSize.width(), 2 * frameSize.height());
    case OutputLayout::Result:
        break;
    }
    return frameSize;
}

QString ComparisonComposer::sourceLabel()
{
    return tr("Source");
}

QString ComparisonComposer::resultLabel(const motion_core::MotionSettings &settings)
{
    return tr("Magnified ×%1, %2–%3 Hz")
        .arg(number(settings.amplificationFactor), number(settings.lowerFrequencyHz),
             number(settings.upperFrequencyHz));
}

bool ComparisonComposer::prepare(OutputLayout layout, QSize frameSize, const QString &resultLabel,
                                 QString *errorMessage)
{
    m_layout = OutputLayout::Result;
    m_sourceLabel = m_resultLabel = QImage();
    if (layout == OutputLayout::Result || frameSize.width() < 1 || frameSize.height() < 1)
        return reportFailure(errorMessage, tr("The comparison layout or frame size is invalid."));
    const VideoWatermarkRenderer::Layout text = VideoWatermarkRenderer::layoutFor(frameSize);
    const double maximumWidth = std::max(frameSize.width() - 2.0 * text.marginPixels, 1.0);
    m_sourceLabel = renderLabel(sourceLabel(), text.fontPixelSize, maximumWidth);
    m_resultLabel = renderLabel(resultLabel, text.fontPixelSize, maximumWidth);
    if (m_sourceLabel.isNull() || m_resultLabel.isNull())
        return reportFailure(errorMessage, tr("Could not draw the labels of the comparison."));
    m_layout = layout;
    m_frameSize = frameSize;
    m_margin = text.marginPixels;
    if (errorMessage)
        errorMessage->clear();
    return true;
}

bool ComparisonComposer::compose(const QImage &source, const QImage &result, QImage *composed,
                                 QString *errorMessage) const
{
    if (m_layout == OutputLayout::Result || source.size() != m_frameSize || result.size() != m_frameSize)
        return reportFailure(errorMessage, tr("The comparison is not prepared for frames of this size."));
    QImage frame(composedSize(), QImage::Format_RGB32);
    QPainter painter;
    if (frame.isNull() || !painter.begin(&frame))
        return reportFailure(errorMessage, tr("Could not draw the comparison frame."));
    const QPoint resultOrigin
        = m_layout == OutputLayout::SideBySide ? QPoint(m_frameSize.width(), 0) : QPoint(0, m_frameSize.height());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), source);
    painter.drawImage(resultOrigin, result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // The labels stay inside their halves, however narrow the frame.
    painter.setClipRect(QRect(QPoint(0, 0), m_frameSize));
    painter.drawImage(QPoint(m_margin, m_margin), m_sourceLabel);
    painter.setClipRect(QRect(resultOrigin, m_frameSize));
    painter.drawImage(resultOrigin + QPoint(m_margin, m_margin), m_resultLabel);
    painter.end();
    *composed = frame;
    if (errorMessage)
        errorMessage->clear();
    return true;
}

} // namespace ovra::processing
