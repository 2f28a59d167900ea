// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShakingScene.h"

#include <cmath>
#include <random>

namespace ovra::tests {
namespace {

constexpr double pi = 3.14159265358979323846;

double sine(const Tone &tone, double seconds)
{
    return tone.amplitudePixels * std::sin(2.0 * pi * tone.frequencyHz * seconds);
}

double structureAt(const Structure &structure, double x, double y)
{
    double value = 128.0;
    for (const Grating &g : structure)
        value += g.amplitude * std::cos(2.0 * pi * (g.cyclesX * x + g.cyclesY * y) + g.phase);
    return value;
}

} // namespace

QTransform ShakingScene::camera(int t) const
{
    // The drift: slow sines of fixed random phases, scaled to the bound and zero at the start.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * pi);
    const double seconds = t / frameRate;
    double driftX = 0.0, driftY = 0.0;
    for (double hz : {0.13, 0.29, 0.47}) {
        const double px = phase(random), py = phase(random);
        driftX += (std::sin(2.0 * pi * hz * seconds + px) - std::sin(px)) / 6.0;
        driftY += (std::sin(2.0 * pi * hz * seconds + py) - std::sin(py)) / 6.0;
    }
    const double dx = driftPixels * driftX + sine(tremor, seconds);
    const double dy = driftPixels * driftY + sine(tremor, seconds + 0.25 / tremor.frequencyHz) - tremor.amplitudePixels;
    const QPointF centre(0.5 * (frameSize.width() - 1), 0.5 * (frameSize.height() - 1));
    QTransform transform;
    transform.translate(centre.x() + dx, centre.y() + dy);
    transform.rotate(sine(roll, seconds));
    transform.translate(-centre.x(), -centre.y());
    return transform;
}

std::vector<QImage> ShakingScene::frames() const
{
    std::mt19937 random(17);
    std::normal_distribution<double> noise(0.0, std::max(noiseSigma, 1e-12));
    std::vector<QImage> frames;
    for (int t = 0; t < frameCount; ++t) {
        const QTransform toWorld = camera(t);
        const double shift = sine(partTone, t / frameRate);
        QImage image(frameSize, QImage::Format_RGBA8888);
        for (int y = 0; y < frameSize.height(); ++y) {
            uchar *row = image.scanLine(y);
            for (int x = 0; x < frameSize.width(); ++x) {
                const QPointF world = toWorld.map(QPointF(x, y));
                double value = part.contains(world) ? structureAt(partStructure, world.x() - shift, world.y())
                                                    : structureAt(this->world, world.x(), world.y());
                if (noiseSigma > 0.0)
                    value += noise(random);
                row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = uchar(std::lround(std::clamp(value, 0.0, 255.0)));
                row[4 * x + 3] = 255;
            }
        }
        frames.push_back(image);
    }
    return frames;
}

VibratingPattern ShakingScene::partPattern() const
{
    VibratingPattern pattern;
    pattern.frameSize = frameSize;
    pattern.frameRate = frameRate;
    pattern.frameCount = frameCount;
    pattern.frequencyHz = partTone.frequencyHz;
    pattern.amplitudePixels = partTone.amplitudePixels;
    pattern.structure = partStructure;
    return pattern;
}

VibratingPattern ShakingScene::backgroundPattern(double frequencyHz, QPointF direction) const
{
    VibratingPattern pattern = partPattern();
    pattern.frequencyHz = frequencyHz;
    pattern.structure = world;
    pattern.direction = direction;
    return pattern;
}

} // namespace ovra::tests
