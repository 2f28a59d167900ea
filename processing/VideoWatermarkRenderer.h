// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

namespace ovra::processing {

// Burns the product's name into the lower right corner of processed frames: white, slightly
// transparent glyphs with a dark outline, legible on light and dark footage. The mark is
// rendered once by prepare; apply only blits it.
class VideoWatermarkRenderer
{
    Q_DECLARE_TR_FUNCTIONS(VideoWatermarkRenderer)

public:
    static constexpr double fontSizeRatio = 0.028;
    static constexpr int minimumFontPixelSize = 18;
    static constexpr int maximumFontPixelSize = 72;
    static constexpr double maximumWidthRatio = 0.28;
    static constexpr double marginRatio = 0.02;
    static constexpr int minimumMarginPixels = 12;
    static constexpr int maximumMarginPixels = 48;
    static QString text();

    // What the frame size alone decides about the mark.
    struct Layout
    {
        int fontPixelSize = 0;
        int marginPixels = 0;
        double maximumWidth = 0.0;
    };
    static Layout layoutFor(QSize frameSize);
    // The outline follows the scale applied to a text too wide for the frame.
    static double outlineWidth(int fontPixelSize, double scale);

    bool prepare(QSize frameSize, QString *errorMessage = nullptr);
    // The frame must have the prepared size.
    bool apply(QImage &frameImage, QString *errorMessage = nullptr) const;

    const QImage &image() const { return m_image; }
    QPoint position() const { return m_position; }
    QSize frameSize() const { return m_frameSize; }

private:
    QImage m_image;
    QPoint m_position;
    QSize m_frameSize;
};

} // namespace ovra::processing
