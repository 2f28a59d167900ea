// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/WelchCrossPower.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>

namespace ovra::motion_core {

namespace {

constexpr double pi = 3.14159265358979323846;

std::mutex &plannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

SegmentTransform::SegmentTransform(int length)
    : m_length(length)
    , m_window(static_cast<size_t>(length))
    , m_input(fftwf_alloc_real(static_cast<size_t>(length)))
    , m_output(fftwf_alloc_complex(static_cast<size_t>(length / 2 + 1)))
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

SegmentTransform::~SegmentTransform()
{
    release();
}

void SegmentTransform::release()
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

const fftwf_complex *SegmentTransform::transform(const float *samples, int stride)
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

// Parseval: a sine of amplitude a puts length x a^2 x windowSquares / 4 into the positive bins.
double SegmentTransform::lobeScale() const
{
    return 2.0 / std::sqrt(m_length * m_windowSquares);
}

int segmentCount(int frameCount, int length)
{
    return (frameCount - length) / (length / 2) + 1;
}

CrossPower tileCrossPower(const DisplacementSeries &series, int tile, SegmentTransform &transform)
{
    const int length = transform.length();
    const int segments = segmentCount(series.frameCount, length);
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

// The line's whole energy over its lobe, so that a frequency between two bins reads true.
SpectrumPeak lobeLine(const CrossPower &power, int k, double resolutionHz, double lobeScale)
{
    double xx = 0.0, yy = 0.0, xy = 0.0, moment = 0.0;
    const int bins = power.binCount();
    for (int j = std::max(0, k - hannLobe); j <= std::min(bins - 1, k + hannLobe); ++j) {
        xx += power.xx[size_t(j)];
        yy += power.yy[size_t(j)];
        xy += power.xy[size_t(j)];
        moment += j * power.total(j);
    }
    SpectrumPeak line;
    if (xx + yy <= 0.0)
        return line;
    line.frequencyHz = moment / (xx + yy) * resolutionHz;
    line.amplitudePixels = lobeScale * std::sqrt(xx + yy);
    const double degrees = 0.5 * std::atan2(2.0 * xy, xx - yy) * 180.0 / pi;
    line.directionDegrees = degrees < 0.0 ? degrees + 180.0 : degrees;
    return line;
}

} // namespace ovra::motion_core
