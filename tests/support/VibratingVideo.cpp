// SPDX-License-Identifier: GPL-3.0-or-later
#include "VibratingVideo.h"

#include "media/libav/LibavVideoSink.h"
#include "media/libav/LibavVideoSource.h"

#include <QRect>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>
#include <random>

namespace ovra::tests {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double grey = 128.0;

Grating orientedGrating(double amplitude, double wavelength, double degrees, double phase)
{
    const double radians = degrees * pi / 180.0;
    return {amplitude, std::cos(radians) / wavelength, std::sin(radians) / wavelength, phase};
}

// Solves matrix x = rhs (row-major, n x n with n of 2 or 3) by Cramer's rule: the systems here
// are normal equations of two or three well-separated unknowns.
std::vector<double> solve(const std::vector<double> &matrix, const std::vector<double> &rhs)
{
    const size_t n = rhs.size();
    const auto determinant = [n](const std::vector<double> &a) {
        return n == 2 ? a[0] * a[3] - a[1] * a[2]
                      : a[0] * (a[4] * a[8] - a[5] * a[7]) - a[1] * (a[3] * a[8] - a[5] * a[6])
                + a[2] * (a[3] * a[7] - a[4] * a[6]);
    };
    std::vector<double> x(n);
    for (size_t column = 0; column < n; ++column) {
        std::vector<double> replaced = matrix;
        for (size_t row = 0; row < n; ++row)
            replaced[row * n + column] = rhs[row];
        x[column] = determinant(replaced) / determinant(matrix);
    }
    return x;
}

// The pattern over a rectangle as a linear combination of fixed planes: shifting the structure
// by s along the direction turns cos(psi) into cos(psi - k s) = cos(psi) cos(k s) + sin(psi)
// sin(k s). Planes 2g and 2g + 1 are cos and sin of grating g's phase psi, the last one is 1.
class StructureBasis
{
public:
    StructureBasis(const VibratingPattern &pattern, const QRect &area)
        : m_structure(pattern.structure)
        , m_area(area)
        , m_pixels(size_t(area.width()) * size_t(area.height()))
        , m_planes(2 * m_structure.size() + 1, std::vector<double>(m_pixels, 1.0))
    {
        for (const Grating &g : m_structure)
            m_wavenumbers.push_back(2.0 * pi * (g.cyclesX * pattern.direction.x() + g.cyclesY * pattern.direction.y()));
        for (size_t g = 0; g < m_structure.size(); ++g) {
            size_t i = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x, ++i) {
                    const Grating &grating = m_structure[g];
                    const double psi = 2.0 * pi * (grating.cyclesX * x + grating.cyclesY * y) + grating.phase;
                    m_planes[2 * g][i] = std::cos(psi);
                    m_planes[2 * g + 1][i] = std::sin(psi);
                }
        }
    }

    size_t size() const { return m_planes.size(); }
    const QRect &area() const { return m_area; }

    // Weights of the planes for the structure shifted by s, around offset; or of their derivative
    // with respect to s, which turns each grating a quarter further and scales it by its wavenumber.
    std::vector<double> weights(double shift, double offset, bool derivative = false) const
    {
        std::vector<double> w(size(), derivative ? 0.0 : offset);
        for (size_t g = 0; g < m_structure.size(); ++g) {
            const double k = m_wavenumbers[g];
            const double scale = m_structure[g].amplitude * (derivative ? k : 1.0);
            w[2 * g] = scale * std::cos(k * shift + (derivative ? pi / 2.0 : 0.0));
            w[2 * g + 1] = scale * std::sin(k * shift + (derivative ? pi / 2.0 : 0.0));
        }
        return w;
    }
    double sample(const std::vector<double> &w, size_t pixel) const
    {
        double value = 0.0;
        for (size_t j = 0; j < size(); ++j)
            value += w[j] * m_planes[j][pixel];
        return value;
    }
    // <plane j, values> for every plane.
    std::vector<double> projections(const std::vector<double> &values) const
    {
        std::vector<double> p;
        for (const std::vector<double> &plane : m_planes)
            p.push_back(std::inner_product(plane.begin(), plane.end(), values.begin(), 0.0));
        return p;
    }
    // <plane j, plane k> for every pair, row-major.
    std::vector<double> gram() const
    {
        std::vector<double> g;
        for (const std::vector<double> &plane : m_planes) {
            const std::vector<double> column = projections(plane);
            g.insert(g.end(), column.begin(), column.end());
        }
        return g;
    }

private:
    Structure m_structure;
    std::vector<double> m_wavenumbers;
    QRect m_area;
    size_t m_pixels;
    std::vector<std::vector<double>> m_planes;
};

double toneShift(const Tone &tone, const VibratingPattern &pattern, int frameIndex)
{
    return tone.amplitudePixels * std::sin(2.0 * pi * tone.frequencyHz * frameIndex / pattern.frameRate);
}

double shiftAt(const VibratingPattern &pattern, int frameIndex)
{
    double shift = toneShift({pattern.frequencyHz, pattern.amplitudePixels}, pattern, frameIndex);
    for (const Tone &tone : pattern.overtones)
        shift += toneShift(tone, pattern, frameIndex);
    return shift;
}

// The area shows the structure shifted by shift (without a basis: plain grey), with noise of the
// given sigma.
void renderInto(QImage &image, const QRect &area, const StructureBasis *basis, double shift, double noiseSigma,
                std::mt19937 &random)
{
    const std::vector<double> w = basis ? basis->weights(shift, grey) : std::vector<double>();
    std::normal_distribution<double> noise(0.0, std::max(noiseSigma, 1e-12));
    for (int y = area.top(); y <= area.bottom(); ++y) {
        uchar *row = image.scanLine(y);
        for (int x = area.left(); x <= area.right(); ++x) {
            const size_t i = size_t(y) * size_t(image.width()) + size_t(x);
            const double sample = (basis ? basis->sample(w, i) : grey) + (noiseSigma > 0.0 ? noise(random) : 0.0);
            const uchar value = static_cast<uchar>(std::lround(std::clamp(sample, 0.0, 255.0)));
            row[4 * x + 0] = row[4 * x + 1] = row[4 * x + 2] = value;
            row[4 * x + 3] = 255;
        }
    }
}

// Least-squares translation and offset of one frame (Gauss-Newton from the given start).
class TranslationFit
{
public:
    explicit TranslationFit(const StructureBasis &basis)
        : m_basis(basis)
        , m_gram(basis.gram())
    {
    }

    double shift(const QImage &frame, double start) const
    {
        const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
        const QRect &area = m_basis.area();
        std::vector<double> values;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const QRgb *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
            for (int x = area.left(); x <= area.right(); ++x)
                values.push_back(0.299 * qRed(row[x]) + 0.587 * qGreen(row[x]) + 0.114 * qBlue(row[x]));
        }
        const std::vector<double> p = m_basis.projections(values);
        std::vector<double> offsetDerivative(m_basis.size(), 0.0);
        offsetDerivative.back() = 1.0;
        double s = start;
        double offset = grey;
        for (int iteration = 0; iteration < 20; ++iteration) {
            const std::vector<double> model = m_basis.weights(s, offset);
            const std::vector<double> ds = m_basis.weights(s, 0.0, true);
            const std::vector<double> normal{inner(ds, ds), inner(ds, offsetDerivative), inner(ds, offsetDerivative),
                                             inner(offsetDerivative, offsetDerivative)};
            const auto gradient = [&](const std::vector<double> &d) {
                return std::inner_product(p.begin(), p.end(), d.begin(), -inner(model, d));
            };
            const std::vector<double> step = solve(normal, {gradient(ds), gradient(offsetDerivative)});
            s += step[0];
            offset += step[1];
            if (std::abs(step[0]) < 1e-9)
                break;
        }
        return s;
    }

private:
    // a' G b over the basis planes.
    double inner(const std::vector<double> &a, const std::vector<double> &b) const
    {
        double sum = 0.0;
        for (size_t j = 0; j < a.size(); ++j)
            for (size_t k = 0; k < b.size(); ++k)
                sum += a[j] * m_gram[j * a.size() + k] * b[k];
        return sum;
    }

    const StructureBasis &m_basis;
    std::vector<double> m_gram;
};

} // namespace

Structure smoothTexture()
{
    // 45 sin(2 pi x / 14) (0.75 + 0.25 cos(2 pi y / 23)) + 25 sin(2 pi (x / 9 + y / 31))
    const double sine = -pi / 2.0;
    return {{33.75, 1.0 / 14.0, 0.0, sine},
            {5.625, 1.0 / 14.0, 1.0 / 23.0, sine},
            {5.625, 1.0 / 14.0, -1.0 / 23.0, sine},
            {25.0, 1.0 / 9.0, 1.0 / 31.0, sine}};
}

Structure grating(double wavelengthPixels, double orientationDegrees)
{
    return {orientedGrating(60.0, wavelengthPixels, orientationDegrees, 0.3)};
}

Structure squareWaveBars(double periodPixels)
{
    // 4 / pi (sin(w x) + sin(3 w x) / 3 + ...) is the square wave of amplitude 1.
    Structure bars;
    for (int harmonic = 1; harmonic <= periodPixels / 4.0; harmonic += 2)
        bars.push_back({60.0 * 4.0 / (pi * harmonic), harmonic / periodPixels, 0.0, -pi / 2.0});
    return bars;
}

Structure naturalTexture(unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Structure texture;
    for (int i = 0; i < 6; ++i)
        texture.push_back(
            orientedGrating(14.0, 9.0 + 13.0 * unit(random), 180.0 * unit(random), 2.0 * pi * unit(random)));
    return texture;
}

std::vector<QImage> vibratingPatternFrames(const VibratingPattern &pattern)
{
    const QRect frame(QPoint(0, 0), pattern.frameSize);
    const StructureBasis basis(pattern, frame);
    std::vector<std::unique_ptr<StructureBasis>> partBases;
    for (const MovingPart &part : pattern.parts) {
        VibratingPattern moved = pattern;
        moved.direction = part.direction;
        partBases.push_back(std::make_unique<StructureBasis>(moved, frame));
    }
    std::mt19937 random(13);
    std::vector<QImage> frames;
    for (int i = 0; i < pattern.frameCount; ++i) {
        QImage image(pattern.frameSize, QImage::Format_RGBA8888);
        renderInto(image, frame, &basis, shiftAt(pattern, i), pattern.noiseSigma, random);
        if (pattern.rightHalf.amplitudePixels != 0.0)
            renderInto(image, frame.adjusted(image.width() / 2, 0, 0, 0), &basis,
                       toneShift(pattern.rightHalf, pattern, i), pattern.noiseSigma, random);
        for (size_t p = 0; p < pattern.parts.size(); ++p)
            renderInto(image, pattern.parts[p].area, partBases[p].get(), toneShift(pattern.parts[p].tone, pattern, i),
                       pattern.noiseSigma, random);
        if (!pattern.flatArea.isEmpty())
            renderInto(image, pattern.flatArea, nullptr, 0.0, pattern.noiseSigma, random);
        frames.push_back(image);
    }
    return frames;
}

bool writeVibratingPatternVideo(const QString &path, const VibratingPattern &pattern, QString *errorMessage,
                                int qualityPercent)
{
    return writeFramesVideo(path, vibratingPatternFrames(pattern),
                            pattern.playbackFrameRate > 0.0 ? pattern.playbackFrameRate : pattern.frameRate,
                            errorMessage, qualityPercent);
}

bool writeFramesVideo(const QString &path, const std::vector<QImage> &frames, double frameRate, QString *errorMessage,
                      int qualityPercent)
{
    media::VideoMetadata metadata;
    metadata.frameSize = frames.front().size();
    metadata.nominalFrameRate = frameRate;
    media::VideoEncodingSettings encoding;
    if (path.endsWith(QLatin1String(".mkv"))) {
        encoding.container = QStringLiteral("matroska");
        encoding.videoCodec = QStringLiteral("ffv1");
    } else {
        encoding.qualityPercent = qualityPercent;
    }
    media::libav::LibavVideoSink sink;
    if (!sink.open(path, metadata, encoding, errorMessage))
        return false;
    for (const QImage &frame : frames) {
        if (!sink.writeFrame(frame, errorMessage)) {
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

double motionAmplitude(const std::vector<QImage> &frames, const VibratingPattern &pattern, int first, const QRect &area)
{
    const int count = static_cast<int>(frames.size()) - first;
    if (count < 3)
        return 0.0;
    // Away from the borders, where the pyramid's edge handling and codecs behave differently.
    const QSize size = frames.front().size();
    const int marginX = std::max(4, size.width() / 4);
    const int marginY = std::max(4, size.height() / 4);
    const StructureBasis basis(
        pattern,
        area.isEmpty() ? QRect(marginX, marginY, size.width() - 2 * marginX, size.height() - 2 * marginY) : area);
    const TranslationFit fit(basis);
    // shift(t) = a cos(w t) + b sin(w t) + c
    std::vector<double> normal(9, 0.0);
    std::vector<double> rhs(3, 0.0);
    double shift = 0.0;
    for (int t = first; t < static_cast<int>(frames.size()); ++t) {
        shift = fit.shift(frames[static_cast<size_t>(t)], shift);
        const double phase = 2.0 * pi * pattern.frequencyHz * t / pattern.frameRate;
        const double row[3] = {std::cos(phase), std::sin(phase), 1.0};
        for (int j = 0; j < 3; ++j) {
            rhs[j] += row[j] * shift;
            for (int k = 0; k < 3; ++k)
                normal[j * 3 + k] += row[j] * row[k];
        }
    }
    const std::vector<double> coefficients = solve(normal, rhs);
    return std::hypot(coefficients[0], coefficients[1]);
}

} // namespace ovra::tests
