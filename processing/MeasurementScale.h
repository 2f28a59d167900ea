// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineF>
#include <QString>

namespace ovra::processing {

// How many millimetres one pixel of the upright, aspect-corrected frame spans, and how the user
// set it: typed, or calibrated from a line drawn over something of known length.
struct MeasurementScale
{
    enum class Origin {
        Typed,
        Line
    };

    double millimetresPerPixel = 0.0;
    Origin origin = Origin::Typed;

    static MeasurementScale typed(double millimetresPerPixel);
    // Invalid for a line shorter than a pixel or a length that is not a positive number.
    static MeasurementScale fromLine(const QLineF &line, double lengthMillimetres);

    bool isValid() const;
    double millimetres(double pixels) const { return pixels * millimetresPerPixel; }
    // The parameters file's name of the origin: "typed" or "line".
    QString originKey() const;
};

// The peak velocity of a sine of amplitudeMillimetres at frequencyHz: 2 pi f a.
double velocityMillimetresPerSecond(double amplitudeMillimetres, double frequencyHz);

// A length as it is shown: in mm, or in µm below 0.1 mm, with the decimals that give three
// significant digits.
struct LengthFigure
{
    double value = 0.0;
    int decimals = 0;
    bool micrometres = false;
};
LengthFigure lengthFigure(double millimetres);

// A length in mm, or in µm below 0.1 mm, with three significant digits and its unit.
QString lengthText(double millimetres);

// An amplitude in mm (or µm) and its velocity in mm/s at frequencyHz: "26.1 µm  19.7 mm/s".
QString millimetreText(const MeasurementScale &scale, double amplitudePixels, double frequencyHz);

} // namespace ovra::processing
