// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/MotionSpectrumEstimator.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>

namespace ovra::motion_core {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double floorFactor = 2.0; // over the running median: noise alone stays below
constexpr int lobe = 2;             // bins on each side that hold a Hann-windowed line
constexpr int firstPeakBin = 2;     // below, the fragment's drift lives

// FFTW's planner is not thread-safe; analyses may run on several threads at once.
std::mutex &plannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

// One segment: detrended, windowed and transformed by a plan made once per length.
class SegmentTransform
{
public:
    explicit SegmentTransform(int length)
        : m_length(length),
          m_window(static_cast<size_t>(length)),
          m_input(fftwf_alloc_real(static_cast<size_t>(length))),
          m_output(fftwf_alloc_complex(static_cast<size_t>(length / 2 + 1)))
    {
        if (!m_input || !m_output) {
            release();
            throw std::bad_alloc();
        }
        {
            const std::lock_guard<std::mutex> lock(plannerMutex());
            m_plan = fftwf_plan_dft_r2c_1d(length, m_input, m_output, FFTW_ESTIMATE);
        }
        if (!m_plan) {
            release();
            throw std::bad_alloc();
        }
        for (int n = 0; n < length; ++n) {
            m_window[n] = 0.5 - 0.5 * std::cos(2.0 * pi * n / length);
            m_windowSum += m_window[n];
            m_windowSquares += m_window[n] * m_window[n];
        }
    }
    ~SegmentTransform() { release(); }
    SegmentTransform(const SegmentTransform &) = delete;
    SegmentTransform &operator=(const SegmentTransform &) = delete;

    // The spectrum of length samples, stride apart, without their straight-line trend.
    const fftwf_complex *transform(const float *samples, int stride)
    {
        const double centre = 0.5 * (m_length - 1);
        double mean = 0.0;
        double slope = 0.0;
        double spread = 0.0;
        for (int n = 0; n < m_length; ++n)
            mean += samples[static_cast<size_t>(n) * stride];
        mean /= m_length;
        for (int n = 0; n < m_length; ++n) {
            slope += (n - centre) * (samples[static_cast<size_t>(n) * stride] - mean);
            spread += (n - centre) * (n - centre);
        }
        slope /= spread;
        for (int n = 0; n < m_length; ++n) {
            const double trend = mean + slope * (n - centre);
            m_input[n] = static_cast<float>((samples[static_cast<size_t>(n) * stride] - trend) * m_window[n]);
        }
        fftwf_execute(m_plan);
        return m_output;
    }

    double windowSum() const { return m_windowSum; }
    double windowSquares() const { return m_windowSquares; }

private:
    void release()
    {
        const std::lock_guard<std::mutex> lock(plannerMutex());
        if (m_plan)
            fftwf_destroy_plan(m_plan);
        fftwf_free(m_input);
        fftwf_free(m_output);
        m_plan = nullptr;
        m_input = nullptr;
        m_output = nullptr;
    }

    int m_length;
    std::vector<double> m_window;
    double m_windowSum = 0.0;
    double m_windowSquares = 0.0;
    float *m_input = nullptr;
    fftwf_complex *m_output = nullptr;
    fftwf_plan m_plan = nullptr;
};

// Segment-averaged powers of x and y and the in-phase part of their cross power, per bin.
struct CrossPower
{
    std::vector<double> xx;
    std::vector<double> yy;
    std::vector<double> xy;

    explicit CrossPower(int bins) : xx(size_t(bins), 0.0), yy(size_t(bins), 0.0), xy(size_t(bins), 0.0) {}
    double total(int k) const { return xx[size_t(k)] + yy[size_t(k)]; }
};

CrossPower tilePower(const DisplacementSeries &series, int tile, SegmentTransform &transform, int length,
                     int segments)
{
    const int bins = length / 2 + 1;
    CrossPower power(bins);
    std::vector<double> xRe(static_cast<size_t>(bins));
    std::vector<double> xIm(static_cast<size_t>(bins));
    for (int s = 0; s < segments; ++s) {
        const size_t first = static_cast<size_t>(s) * (length / 2) * series.tileCount + tile;
        const fftwf_complex *x = transform.transform(&series.xPixels[first], series.tileCount);
        for (int k = 0; k < bins; ++k) {
            xRe[k] = x[k][0];
            xIm[k] = x[k][1];
        }
        const fftwf_complex *y = transform.transform(&series.yPixels[first], series.tileCount);
        for (int k = 0; k < bins; ++k) {
            power.xx[k] += xRe[k] * xRe[k] + xIm[k] * xIm[k];
            power.yy[k] += double(y[k][0]) * y[k][0] + double(y[k][1]) * y[k][1];
            power.xy[k] += xRe[k] * y[k][0] + xIm[k] * y[k][1];
        }
    }
    for (int k = 0; k < bins; ++k) {
        power.xx[k] /= segments;
        power.yy[k] /= segments;
        power.xy[k] /= segments;
    }
    return power;
}

// Per bin, the tile that moves most there.
CrossPower strongestTiles(const DisplacementSeries &series, int length, int segments, SegmentTransform &transform)
{
    const int bins = length / 2 + 1;
    CrossPower combined(bins);
    for (int tile = 0; tile < series.tileCount; ++tile) {
        const CrossPower power = tilePower(series, tile, transform, length, segments);
        for (int k = 0; k < bins; ++k) {
            if (power.total(k) > combined.total(k)) {
                combined.xx[k] = power.xx[k];
                combined.yy[k] = power.yy[k];
                combined.xy[k] = power.xy[k];
            }
        }
    }
    return combined;
}

std::vector<double> noiseFloor(const std::vector<double> &amplitude)
{
    const int bins = static_cast<int>(amplitude.size());
    const int half = std::max(8, bins / 8);
    std::vector<double> floor(amplitude.size());
    std::vector<double> window;
    for (int k = 0; k < bins; ++k) {
        window.assign(amplitude.begin() + std::max(0, k - half), amplitude.begin() + std::min(bins, k + half + 1));
        const auto middle = window.begin() + static_cast<std::ptrdiff_t>(window.size() / 2);
        std::nth_element(window.begin(), middle, window.end());
        floor[size_t(k)] = floorFactor * *middle;
    }
    return floor;
}

bool localMaximum(const std::vector<double> &amplitude, int k)
{
    const int bins = static_cast<int>(amplitude.size());
    for (int j = std::max(0, k - lobe); j <= std::min(bins - 1, k + lobe); ++j)
        if (amplitude[size_t(j)] > amplitude[size_t(k)] || (j < k && amplitude[size_t(j)] == amplitude[size_t(k)]))
            return false;
    return true;
}

// The line's whole energy over its lobe, so that a frequency between two bins reads true.
SpectrumPeak peakAt(const CrossPower &power, int k, double resolutionHz, double amplitudeScale)
{
    double xx = 0.0, yy = 0.0, xy = 0.0, moment = 0.0;
    const int bins = static_cast<int>(power.xx.size());
    for (int j = std::max(0, k - lobe); j <= std::min(bins - 1, k + lobe); ++j) {
        xx += power.xx[size_t(j)];
        yy += power.yy[size_t(j)];
        xy += power.xy[size_t(j)];
        moment += j * power.total(j);
    }
    SpectrumPeak peak;
    peak.frequencyHz = moment / (xx + yy) * resolutionHz;
    peak.amplitudePixels = amplitudeScale * std::sqrt(xx + yy);
    double degrees = 0.5 * std::atan2(2.0 * xy, xx - yy) * 180.0 / pi;
    peak.directionDegrees = degrees < 0.0 ? degrees + 180.0 : degrees;
    return peak;
}

std::vector<SpectrumPeak> strongestPeaks(const MotionSpectrum &spectrum, const CrossPower &power,
                                         double lobeScale, int maximumPeakCount)
{
    std::vector<SpectrumPeak> peaks;
    for (int k = firstPeakBin; k < spectrum.binCount(); ++k) {
        if (spectrum.amplitudePixels[size_t(k)] > spectrum.noiseFloorPixels[size_t(k)]
            && localMaximum(spectrum.amplitudePixels, k))
            peaks.push_back(peakAt(power, k, spectrum.resolutionHz, lobeScale));
    }
    std::sort(peaks.begin(), peaks.end(),
              [](const SpectrumPeak &a, const SpectrumPeak &b) { return a.amplitudePixels > b.amplitudePixels; });
    if (peaks.size() > size_t(std::max(0, maximumPeakCount)))
        peaks.resize(size_t(std::max(0, maximumPeakCount)));
    return peaks;
}

} // namespace

int MotionSpectrumEstimator::segmentLength(qint64 frameCount, double sampleRateHz, double resolutionHz)
{
    qint64 length = frameCount / 4;
    if (resolutionHz > 0.0)
        length = static_cast<qint64>(std::ceil(sampleRateHz / resolutionHz - 1e-9));
    length = std::max<qint64>(length, minimumSegmentLength);
    if (length > frameCount || length > (1 << 20))
        return 0;
    return static_cast<int>(length);
}

MotionSpectrum MotionSpectrumEstimator::estimate(const DisplacementSeries &series, double sampleRateHz,
                                                 int segmentLength, int maximumPeakCount)
{
    MotionSpectrum spectrum;
    spectrum.sampleRateHz = sampleRateHz;
    spectrum.segmentLength = segmentLength;
    spectrum.segmentCount = (series.frameCount - segmentLength) / (segmentLength / 2) + 1;
    spectrum.resolutionHz = sampleRateHz / segmentLength;
    spectrum.tileCount = series.tileCount;

    SegmentTransform transform(segmentLength);
    const CrossPower power = strongestTiles(series, segmentLength, spectrum.segmentCount, transform);
    // A sine of amplitude a on bin k transforms to a x windowSum / 2 there.
    const double binScale = 2.0 / transform.windowSum();
    const int bins = segmentLength / 2 + 1;
    for (int k = 0; k < bins; ++k) {
        spectrum.frequenciesHz.push_back(k * spectrum.resolutionHz);
        spectrum.amplitudeXPixels.push_back(binScale * std::sqrt(power.xx[size_t(k)]));
        spectrum.amplitudeYPixels.push_back(binScale * std::sqrt(power.yy[size_t(k)]));
        spectrum.amplitudePixels.push_back(binScale * std::sqrt(power.total(k)));
    }
    spectrum.noiseFloorPixels = noiseFloor(spectrum.amplitudePixels);
    // Parseval: its energy over the positive bins is length x a^2 x windowSquares / 4.
    const double lobeScale = 2.0 / std::sqrt(segmentLength * transform.windowSquares());
    spectrum.peaks = strongestPeaks(spectrum, power, lobeScale, maximumPeakCount);
    return spectrum;
}

} // namespace ovra::motion_core
