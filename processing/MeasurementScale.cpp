// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/MeasurementScale.h"

#include <algorithm>
#include <cmath>

namespace ovra::processing {

MeasurementScale MeasurementScale::typed(double millimetresPerPixel)
{
    return {millimetresPerPixel, Origin::Typed};
}

MeasurementScale MeasurementScale::fromLine(const QLineF &line, double lengthMillimetres)
{
    const double pixels = line.length();
    if (!(pixels >= 1.0) || !std::isfinite(lengthMillimetres))
        return {};
    return {lengthMillimetres / pixels, Origin::Line};
}

bool MeasurementScale::isValid() const
{
    return std::isfinite(millimetresPerPixel) && millimetresPerPixel > 0.0;
}

QString MeasurementScale::originKey() const
{
    return origin == Origin::Typed ? QStringLiteral("typed") : QStringLiteral("line");
}

double velocityMillimetresPerSecond(double amplitudeMillimetres, double frequencyHz)
{
    constexpr double pi = 3.14159265358979323846;
    return 2.0 * pi * frequencyHz * amplitudeMillimetres;
}

LengthFigure lengthFigure(double millimetres)
{
    const bool micrometres = std::abs(millimetres) < 0.1;
    const double value = micrometres ? millimetres * 1000.0 : millimetres;
    const int magnitude = value != 0.0 ? static_cast<int>(std::floor(std::log10(std::abs(value)))) : 0;
    return {value, std::max(0, 2 - magnitude), micrometres};
}

QString lengthText(double millimetres)
{
    const LengthFigure figure = lengthFigure(millimetres);
    return QString::number(figure.value, 'f', figure.decimals)
        + (figure.micrometres ? QStringLiteral(" µm") : QStringLiteral(" mm"));
}

QString millimetreText(const MeasurementScale &scale, double amplitudePixels, double frequencyHz)
{
    const double millimetres = scale.millimetres(amplitudePixels);
    return QStringLiteral("%1  %2 mm/s")
        .arg(lengthText(millimetres))
        .arg(velocityMillimetresPerSecond(millimetres, frequencyHz), 0, 'g', 3);
}

} // namespace ovra::processing
