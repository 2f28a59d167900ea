// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/MeasurementScaleController.h"

#include "ui/controllers/VideoSessionController.h"

#include <cmath>

namespace ovra::ui::controllers {

namespace {

bool normalised(QPointF point)
{
    return point.x() >= 0.0 && point.x() <= 1.0 && point.y() >= 0.0 && point.y() <= 1.0;
}

} // namespace

MeasurementScaleController::MeasurementScaleController(VideoSessionController *videoSession, QObject *parent)
    : QObject(parent)
    , m_videoSession(videoSession)
{
    connect(videoSession, &VideoSessionController::sourceChanged, this, &MeasurementScaleController::clear);
}

MeasurementScaleController::Origin MeasurementScaleController::origin() const
{
    if (!m_scale)
        return Origin::None;
    return m_scale->origin == processing::MeasurementScale::Origin::Typed ? Origin::Typed : Origin::Line;
}

QLineF MeasurementScaleController::pixelLine(const QLineF &line) const
{
    // A stored pixel is shown pixelAspectRatio times as wide as it is high.
    const double width = m_videoSession->frameWidth() * m_videoSession->pixelAspectRatio();
    const double height = m_videoSession->frameHeight();
    return QLineF(line.x1() * width, line.y1() * height, line.x2() * width, line.y2() * height);
}

double MeasurementScaleController::linePixels() const
{
    return pixelLine(m_line).length();
}

bool MeasurementScaleController::setTypedScale(double millimetresPerPixel)
{
    const processing::MeasurementScale scale = processing::MeasurementScale::typed(millimetresPerPixel);
    if (!scale.isValid())
        return refuse(tr("Type the scale as millimetres per pixel above 0."));
    // A typed scale replaces a calibration, so its line goes too.
    m_line = QLineF();
    m_lineMillimetres = 0.0;
    emit lineChanged();
    setMessage(QString());
    setScale(scale);
    return true;
}

bool MeasurementScaleController::setLine(QPointF start, QPointF end)
{
    if (!m_videoSession->ready())
        return refuse(tr("Open a video before drawing a line over it."));
    const QLineF line(start, end);
    if (!normalised(start) || !normalised(end))
        return refuse(tr("The line must lie inside the frame."));
    if (!(pixelLine(line).length() >= 1.0))
        return refuse(tr("The line is too short: draw it over at least one pixel."));
    m_line = line;
    emit lineChanged();
    setMessage(QString());
    calibrateFromLine();
    return true;
}

bool MeasurementScaleController::setLineMillimetres(double millimetres)
{
    if (!std::isfinite(millimetres) || !(millimetres > 0.0))
        return refuse(tr("Type the length of the line in millimetres above 0."));
    m_lineMillimetres = millimetres;
    emit lineChanged();
    setMessage(QString());
    calibrateFromLine();
    return true;
}

void MeasurementScaleController::calibrateFromLine()
{
    if (hasLine() && m_lineMillimetres > 0.0)
        setScale(processing::MeasurementScale::fromLine(pixelLine(m_line), m_lineMillimetres));
}

void MeasurementScaleController::clear()
{
    if (hasLine() || m_lineMillimetres > 0.0) {
        m_line = QLineF();
        m_lineMillimetres = 0.0;
        emit lineChanged();
    }
    setMessage(QString());
    setScale(std::nullopt);
}

bool MeasurementScaleController::refuse(const QString &message)
{
    setMessage(message);
    return false;
}

void MeasurementScaleController::setMessage(const QString &message)
{
    if (message == m_message)
        return;
    m_message = message;
    emit messageChanged();
}

void MeasurementScaleController::setScale(const std::optional<processing::MeasurementScale> &scale)
{
    const bool same = scale.has_value() == m_scale.has_value()
        && (!scale || (scale->millimetresPerPixel == m_scale->millimetresPerPixel && scale->origin == m_scale->origin));
    if (same)
        return;
    m_scale = scale;
    emit scaleChanged();
}

} // namespace ovra::ui::controllers
