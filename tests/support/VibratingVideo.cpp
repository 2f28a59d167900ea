#include "VibratingVideo.h"

#include "media/libav/LibavVideoSink.h"
#include "media/libav/LibavVideoSource.h"

#include <cmath>
#include <complex>

namespace ovra::tests {
namespace {

constexpr double pi = 3.14159265358979323846;

double luminance(QRgb pixel)
{
    return 0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel);
}

std::vector<double> luminancePlane(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<double> plane(static_cast<size_t>(rgb.width()) * rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            plane[static_cast<size_t>(y) * rgb.width() + x] = luminance(row[x]);
    }
    return plane;
}

} // namespace

QImage vibratingPatternFrame(const VibratingPattern &pattern, int frameIndex)
{
    const double shift = pattern.amplitudePixels * std::sin(2.0 * pi * pattern.frequencyHz * frameIndex / pattern.frameRate);
    QImage image(pattern.frameSize, QImage::Format_RGBA8888);
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const double u = x - shift;
            const double value = 128.0 + 45.0 * std::sin(2.0 * pi * u / 14.0) * (0.75 + 0.25 * std::cos(2.0 * pi * y / 23.0))
                + 25.0 * std::sin(2.0 * pi * (u / 9.0 + y / 31.0));
            const uchar grey = static_cast<uchar>(std::lround(std::clamp(value, 0.0, 255.0)));
            row[4 * x + 0] = grey;
            row[4 * x + 1] = grey;
            row[4 * x + 2] = grey;
            row[4 * x + 3] = 255;
        }
    }
    return image;
}

bool writeVibratingPatternVideo(const QString &path, const VibratingPattern &pattern, QString *errorMessage)
{
    media::VideoMetadata metadata;
    metadata.frameSize = pattern.frameSize;
    metadata.nominalFrameRate = pattern.frameRate;
    media::VideoEncodingSettings encoding;
    if (path.endsWith(QLatin1String(".mkv"))) {
        encoding.container = QStringLiteral("matroska");
        encoding.videoCodec = QStringLiteral("ffv1");
    } else {
        encoding.qualityPercent = 100;
    }
    media::libav::LibavVideoSink sink;
    if (!sink.open(path, metadata, encoding, errorMessage))
        return false;
    for (int i = 0; i < pattern.frameCount; ++i) {
        if (!sink.writeFrame(vibratingPatternFrame(pattern, i), errorMessage)) {
            sink.abort();
            return false;
        }
    }
    return sink.finish(errorMessage);
}

std::vector<QImage> decodeAllFrames(const QString &path)
{
    std::vector<QImage> frames;
    media::libav::LibavVideoSource source;
    if (!source.open(path))
        return frames;
    media::VideoFrame frame;
    while (source.readFrame(&frame) == media::VideoReadStatus::Frame)
        frames.push_back(frame.image);
    return frames;
}

double horizontalMotionAmplitude(const std::vector<QImage> &frames, int first, double frequencyHz, double frameRate)
{
    const int count = static_cast<int>(frames.size()) - first;
    if (count < 2)
        return 0.0;
    const int width = frames.front().width();
    const int height = frames.front().height();
    std::vector<std::vector<double>> planes;
    std::vector<double> mean(static_cast<size_t>(width) * height, 0.0);
    for (int t = first; t < static_cast<int>(frames.size()); ++t) {
        planes.push_back(luminancePlane(frames[static_cast<size_t>(t)]));
        for (size_t i = 0; i < mean.size(); ++i)
            mean[i] += planes.back()[i] / count;
    }
    // Away from the borders, where magnification and codecs behave differently.
    const int margin = std::max(4, width / 8);
    std::complex<double> spectrum = 0.0;
    for (int t = 0; t < count; ++t) {
        double numerator = 0.0;
        double denominator = 0.0;
        for (int y = margin; y < height - margin; ++y) {
            for (int x = margin; x < width - margin; ++x) {
                const size_t i = static_cast<size_t>(y) * width + x;
                const double gradient = 0.5 * (mean[i + 1] - mean[i - 1]);
                numerator += (planes[static_cast<size_t>(t)][i] - mean[i]) * gradient;
                denominator += gradient * gradient;
            }
        }
        // I_t(x) = I(x - d) ~ I(x) - d dI/dx
        const double displacement = denominator > 0.0 ? -numerator / denominator : 0.0;
        spectrum += displacement * std::polar(1.0, -2.0 * pi * frequencyHz * (first + t) / frameRate);
    }
    return 2.0 * std::abs(spectrum) / count;
}

} // namespace ovra::tests
