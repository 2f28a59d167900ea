// SPDX-License-Identifier: GPL-3.0-or-later
#include "VibrationScene.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace ovra::tools {
namespace {

constexpr double pi = 3.14159265358979323846;

void drawBolt(QPainter &painter, QPointF centre, double radius)
{
    QRadialGradient shine(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.2);
    shine.setColorAt(0.0, QColor(220, 222, 225));
    shine.setColorAt(1.0, QColor(90, 94, 100));
    painter.setBrush(shine);
    painter.setPen(QPen(QColor(40, 42, 46), 1.2));
    painter.drawEllipse(centre, radius, radius);
    painter.drawLine(centre - QPointF(radius * 0.6, 0), centre + QPointF(radius * 0.6, 0));
}

// Fine engraved lines and rivets give the phase-based core texture to work with.
void drawHousing(QPainter &painter, const QRectF &body)
{
    QLinearGradient paint(body.topLeft(), body.bottomLeft());
    paint.setColorAt(0.0, QColor(70, 120, 170));
    paint.setColorAt(1.0, QColor(35, 70, 110));
    painter.setBrush(paint);
    painter.setPen(QPen(QColor(20, 30, 45), 2.0));
    painter.drawRoundedRect(body, 14, 14);
    painter.setPen(QPen(QColor(120, 170, 215), 1.5));
    for (double y = body.top() + 18; y < body.bottom() - 10; y += 14)
        painter.drawLine(QPointF(body.left() + 20, y), QPointF(body.right() - 20, y));
    for (double x : {body.left() + 16, body.right() - 16})
        for (double y : {body.top() + 16, body.bottom() - 16})
            drawBolt(painter, QPointF(x, y), 6.5);
}

} // namespace

QImage VibrationScene::renderFrame(qint64 frameIndex) const
{
    const double time = static_cast<double>(frameIndex) / captureFps;
    const double bracketShift = bracketAmplitudePixels * std::sin(2.0 * pi * bracketFrequencyHz * time);
    const double guardShift = guardAmplitudePixels * std::sin(2.0 * pi * guardFrequencyHz * time + 0.7);
    const double sx = frameSize.width() / 640.0;
    const double sy = frameSize.height() / 400.0;

    QImage frame(frameSize, QImage::Format_RGBA8888);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(sx, sy);

    // Floor and wall.
    QLinearGradient wall(0, 0, 0, 400);
    wall.setColorAt(0.0, QColor(58, 60, 64));
    wall.setColorAt(0.7, QColor(88, 90, 92));
    wall.setColorAt(1.0, QColor(46, 44, 42));
    painter.fillRect(QRectF(0, 0, 640, 400), wall);
    painter.setPen(QPen(QColor(70, 72, 76), 1.0));
    for (int x = 0; x < 640; x += 40)
        painter.drawLine(QPointF(x, 0), QPointF(x, 300));

    // Base frame: static.
    painter.setBrush(QColor(60, 62, 58));
    painter.setPen(QPen(QColor(25, 25, 25), 2));
    painter.drawRect(QRectF(60, 300, 520, 40));
    for (double x = 80; x < 580; x += 60)
        drawBolt(painter, QPointF(x, 320), 6);

    // Bracket and pump housing: vibrate sideways at the bracket frequency, more at the top.
    painter.save();
    QPainterPath bracket;
    bracket.moveTo(150, 300);
    bracket.lineTo(150 + bracketShift * 0.5, 220);
    bracket.lineTo(330 + bracketShift * 0.5, 220);
    bracket.lineTo(330, 300);
    bracket.closeSubpath();
    painter.setBrush(QColor(150, 140, 60));
    painter.drawPath(bracket);
    painter.translate(bracketShift, 0.0);
    drawHousing(painter, QRectF(120, 80, 240, 140));
    painter.setBrush(QColor(200, 200, 205));
    painter.drawEllipse(QPointF(240, 150), 38, 38);
    drawBolt(painter, QPointF(240, 150), 12);
    painter.restore();

    // Belt guard: shakes up and down at the guard frequency.
    painter.save();
    painter.translate(0.0, guardShift);
    painter.setBrush(QColor(210, 150, 30));
    painter.setPen(QPen(QColor(60, 40, 10), 2));
    painter.drawRoundedRect(QRectF(400, 110, 150, 180), 20, 20);
    painter.setPen(QPen(QColor(90, 60, 10), 3));
    for (double y = 130; y < 280; y += 12)
        painter.drawLine(QPointF(415, y), QPointF(535, y));
    painter.restore();
    painter.end();
    return frame;
}

} // namespace ovra::tools
