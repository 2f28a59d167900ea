// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

// Videos whose content moves by a known sub-pixel sinusoid, and an independent measurement of
// how far the content of decoded frames moves, for judging motion magnification end to end.
namespace ovra::tests {

// amplitude x cos(2 pi (cyclesX x + cyclesY y) + phase), frequencies in cycles per pixel.
struct Grating
{
    double amplitude = 0.0;
    double cyclesX = 0.0;
    double cyclesY = 0.0;
    double phase = 0.0;
};
using Structure = std::vector<Grating>;

// A smooth texture with its main structure across x.
Structure smoothTexture();
// One sinusoidal grating whose stripes run across orientationDegrees (0: vertical stripes,
// varying along x; 90: horizontal stripes).
Structure grating(double wavelengthPixels, double orientationDegrees);
// Vertical square-wave bars made of their odd harmonics down to a wavelength of 4 px (finer
// ones are where the quarter-turn limit and the sampling take over, see README).
Structure squareWaveBars(double periodPixels);
// Six gratings of random orientation and phase, wavelengths 9 to 22 px, as in natural texture.
Structure naturalTexture(unsigned seed);

// A sinusoidal motion: amplitude x sin(2 pi f t).
struct Tone
{
    double frequencyHz = 0.0;
    double amplitudePixels = 0.0;
};

// A rectangle of the frame whose structure moves on its own.
struct MovingPart
{
    QRect area;
    Tone tone;
    QPointF direction{1.0, 0.0}; // unit vector of its motion
};

struct VibratingPattern
{
    QSize frameSize{128, 96};
    double frameRate = 60.0;
    int frameCount = 150;
    double frequencyHz = 10.0;
    double amplitudePixels = 0.2;
    Structure structure = smoothTexture();
    QPointF direction{1.0, 0.0}; // unit vector of the motion
    std::vector<Tone> overtones{}; // added to the motion of the whole frame
    Tone rightHalf{}; // when it has an amplitude, the right half moves by it alone
    std::vector<MovingPart> parts{}; // drawn over the rest
    QRect flatArea{}; // plain grey (with the noise) over everything
    double noiseSigma = 0.0; // grey levels of independent noise per pixel and frame
    double playbackFrameRate = 0.0; // the file's rate when it plays slower than frameRate was captured
};

// Every frame: the structure shifted by amplitude * sin(2 pi f t) (plus the overtones) along the
// direction at frame t, around grey 128, as grey pixels with the noise added.
std::vector<QImage> vibratingPatternFrames(const VibratingPattern &pattern);

// Writes frames through our own sink: lossless FFV1 Matroska for a .mkv path, else H.264.
bool writeFramesVideo(const QString &path, const std::vector<QImage> &frames, double frameRate, QString *errorMessage,
                      int qualityPercent = 100);

// Writes the pattern through our own sink: lossless FFV1 Matroska for a .mkv path, else H.264.
bool writeVibratingPatternVideo(const QString &path, const VibratingPattern &pattern, QString *errorMessage,
                                int qualityPercent = 100);

// Every frame of a video, decoded by the project's own source.
std::vector<QImage> decodeAllFrames(const QString &path);

// Amplitude in pixels of the pattern's motion at its frequency over frames [first, end): per
// frame, the translation along the direction is fitted against the pattern's own structure
// away from the borders (Gauss-Newton iterated, so that large motions are measured without the
// bias of one linearised step); then a sinusoid with offset is fitted to those translations.
// The area measured is the given one, or without one the frame's centre half.
double motionAmplitude(const std::vector<QImage> &frames, const VibratingPattern &pattern, int first,
                       const QRect &area = {});

} // namespace ovra::tests
