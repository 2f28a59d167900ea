#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

// Videos whose content moves by a known sub-pixel sinusoid, and an independent measurement of
// how far the content of decoded frames moves, for judging motion magnification end to end.
namespace ovra::tests {

struct VibratingPattern
{
    QSize frameSize{128, 96};
    double frameRate = 60.0;
    int frameCount = 150;
    double frequencyHz = 10.0;
    double amplitudePixels = 0.2;
};

// A smooth texture shifted horizontally by amplitude * sin(2 pi f t) at frame t.
QImage vibratingPatternFrame(const VibratingPattern &pattern, int frameIndex);

// Writes the pattern through the project's own sink: lossless FFV1 Matroska when the path ends
// in .mkv, H.264 MP4 otherwise.
bool writeVibratingPatternVideo(const QString &path, const VibratingPattern &pattern, QString *errorMessage);

// Every frame of a video, decoded by the project's own source.
std::vector<QImage> decodeAllFrames(const QString &path);

// Amplitude in pixels of the horizontal motion at frequencyHz, over frames [first, frames.size()),
// estimated against the mean frame by a global gradient (Lucas-Kanade) fit, then a sinusoid fit.
double horizontalMotionAmplitude(const std::vector<QImage> &frames, int first, double frequencyHz,
                                 double frameRate);

} // namespace ovra::tests
