// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/VibrationMapExport.h"

#include <QFileInfo>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>

#include <array>
#include <cmath>

namespace ovra::processing {

namespace {

// A perceptually uniform map from dark violet (still) to yellow (strongest), evenly spaced.
constexpr std::array<QRgb, 9> colourStops{0x440154, 0x472d7b, 0x3b528b, 0x2c728e, 0x21918c,
                                          0x28ae80, 0x5ec962, 0xaddc30, 0xfde725};

QColor colourAt(double fraction)
{
    const double position = std::clamp(fraction, 0.0, 1.0) * (colourStops.size() - 1);
    const size_t below = std::min(colourStops.size() - 2, static_cast<size_t>(position));
    const double t = position - double(below);
    const QColor a(colourStops[below]);
    const QColor b(colourStops[below + 1]);
    return QColor::fromRgbF(float(a.redF() + t * (b.redF() - a.redF())),
                            float(a.greenF() + t * (b.greenF() - a.greenF())),
                            float(a.blueF() + t * (b.blueF() - a.blueF())));
}

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

// The legend's and the caption's amplitude: px, and mm beside it with a scale.
QString amplitudeText(double pixels, const std::optional<MeasurementScale> &scale)
{
    const QString inPixels = QStringLiteral("%1 px").arg(pixels, 0, 'f', 3);
    return scale ? lengthText(scale->millimetres(pixels)) + QStringLiteral(" (") + inPixels + QLatin1Char(')')
                 : inPixels;
}

QStringList captionLines(const VibrationMapRequest &request, const VibrationMapResult &result,
                         const std::optional<MeasurementScale> &scale)
{
    const QLocale locale;
    const motion_core::VibrationMap &map = result.map;
    const qint64 end = request.startFrame + result.analysedFrames;
    QStringList lines{QFileInfo(request.sourceMetadata.filePath).fileName(),
                      VibrationMapExport::tr("Frames %1–%2 at %3 frames/s")
                          .arg(request.startFrame)
                          .arg(end - 1)
                          .arg(locale.toString(map.sampleRateHz, 'g', 6)),
                      VibrationMapExport::tr("Band %1–%2 Hz, strongest at %3 Hz")
                          .arg(locale.toString(map.lowerFrequencyHz, 'g', 6),
                               locale.toString(map.upperFrequencyHz, 'g', 6),
                               locale.toString(map.strongestFrequencyHz, 'f', 2))};
    if (!scale)
        lines << VibrationMapExport::tr("No scale: amplitudes in pixels");
    else if (scale->origin == MeasurementScale::Origin::Typed)
        lines << VibrationMapExport::tr("Scale %1 mm per pixel, typed")
                     .arg(locale.toString(scale->millimetresPerPixel, 'g', 6));
    else
        lines << VibrationMapExport::tr("Scale %1 mm per pixel, from a line of known length")
                     .arg(locale.toString(scale->millimetresPerPixel, 'g', 6));
    return lines;
}

void drawTiles(QPainter &painter, const motion_core::VibrationMap &map, float opacity)
{
    const double largest = map.largestAmplitudePixels();
    painter.setPen(Qt::NoPen);
    for (const motion_core::VibrationMapTile &tile : map.tiles) {
        if (!tile.textured)
            continue; // "no data" stays clear
        QColor colour = colourAt(largest > 0.0 ? tile.amplitudePixels / largest : 0.0);
        colour.setAlphaF(opacity);
        painter.setBrush(colour);
        painter.drawRect(tile.pixels);
    }
}

void drawLegend(QPainter &painter, const QRect &area, double largest, const std::optional<MeasurementScale> &scale)
{
    const int barHeight = painter.fontMetrics().height();
    const QRect bar(area.left(), area.top(), std::min(area.width() / 2, 360), barHeight);
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    for (size_t i = 0; i < colourStops.size(); ++i)
        gradient.setColorAt(double(i) / double(colourStops.size() - 1), QColor(colourStops[i]));
    painter.fillRect(bar, gradient);
    painter.setPen(Qt::white);
    const QRect labels(bar.right() + 8, bar.top(), area.right() - bar.right() - 8, barHeight);
    painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter,
                     VibrationMapExport::tr("0 to %1; no data left clear").arg(amplitudeText(largest, scale)));
}

} // namespace

QByteArray VibrationMapExport::csv(const motion_core::VibrationMap &map, const std::optional<MeasurementScale> &scale)
{
    QByteArray content("x,y,width,height,amplitude_px,amplitude_mm,velocity_mm_s,direction_deg,textured\n");
    for (const motion_core::VibrationMapTile &tile : map.tiles) {
        QStringList fields{QString::number(tile.pixels.x()), QString::number(tile.pixels.y()),
                           QString::number(tile.pixels.width()), QString::number(tile.pixels.height())};
        if (tile.textured) {
            const double millimetres = scale ? scale->millimetres(tile.amplitudePixels) : 0.0;
            fields << number(tile.amplitudePixels) << (scale ? number(millimetres) : QString())
                   << (scale ? number(velocityMillimetresPerSecond(millimetres, map.strongestFrequencyHz)) : QString())
                   << number(tile.directionDegrees) << QStringLiteral("1");
        } else {
            fields << QString() << QString() << QString() << QString() << QStringLiteral("0");
        }
        content += fields.join(QLatin1Char(',')).toLatin1() + '\n';
    }
    return content;
}

QImage VibrationMapExport::picture(const VibrationMapRequest &request, const VibrationMapResult &result,
                                   const std::optional<MeasurementScale> &scale)
{
    const QImage &frame = result.referenceFrame;
    const QStringList lines = captionLines(request, result, scale);
    QFont font;
    font.setPixelSize(std::max(12, frame.height() / 40));
    const QFontMetrics metrics(font);
    const int margin = metrics.height() / 2;
    const int footer = (int(lines.size()) + 1) * metrics.height() + 3 * margin;
    QImage image(frame.width(), frame.height() + footer, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setFont(font);
    painter.drawImage(0, 0, frame);
    drawTiles(painter, result.map, 0.6f);
    const QRect text(margin, frame.height() + margin, frame.width() - 2 * margin, footer - 2 * margin);
    drawLegend(painter, text, result.map.largestAmplitudePixels(), scale);
    painter.setPen(Qt::white);
    painter.drawText(text.adjusted(0, metrics.height() + margin, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                     lines.join(QLatin1Char('\n')));
    return image;
}

QImage VibrationMapExport::tiles(const motion_core::VibrationMap &map, const QSize &frameSize, int maximumWidth)
{
    if (frameSize.isEmpty())
        return {};
    const double shrink = std::min(1.0, double(maximumWidth) / frameSize.width());
    QImage image(std::max(1, int(std::lround(frameSize.width() * shrink))),
                 std::max(1, int(std::lround(frameSize.height() * shrink))), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(double(image.width()) / frameSize.width(), double(image.height()) / frameSize.height());
    drawTiles(painter, map, 1.0f);
    return image;
}

QList<QColor> VibrationMapExport::colours()
{
    return QList<QColor>(colourStops.begin(), colourStops.end());
}

} // namespace ovra::processing
