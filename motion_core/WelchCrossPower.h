// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/MotionSpectrum.h"
#include "motion_core/RegionDisplacementTracker.h"

#include <fftw3.h>

#include <vector>

// Welch's averaged periodogram of a tile's two displacement axes, shared by the motion
// spectrum and the vibration map.
namespace ovra::motion_core {

// Bins on each side of a line's bin that hold its Hann-windowed energy.
constexpr int hannLobe = 2;
// Below this bin the fragment's drift lives, not vibration.
constexpr int firstVibrationBin = 2;

// One segment: detrended, windowed and transformed by a plan made once per length. Plans are
// made under a lock (FFTW's planner is not thread-safe); one object serves one thread.
class SegmentTransform
{
public:
    explicit SegmentTransform(int length); // throws std::bad_alloc
    ~SegmentTransform();
    SegmentTransform(const SegmentTransform &) = delete;
    SegmentTransform &operator=(const SegmentTransform &) = delete;

    // The spectrum of length samples, stride apart, without their straight-line trend.
    const fftwf_complex *transform(const float *samples, int stride);

    int length() const { return m_length; }
    double windowSum() const { return m_windowSum; }
    double windowSquares() const { return m_windowSquares; }
    // Amplitude of a sine from the power of its bin (it transforms to a x windowSum / 2 there),
    // and from the power summed over its lobe.
    double binScale() const { return 2.0 / m_windowSum; }
    double lobeScale() const;

private:
    void release();

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

    explicit CrossPower(int bins)
        : xx(size_t(bins), 0.0)
        , yy(size_t(bins), 0.0)
        , xy(size_t(bins), 0.0)
    {
    }
    int binCount() const { return static_cast<int>(xx.size()); }
    double total(int k) const { return xx[size_t(k)] + yy[size_t(k)]; }
};

// Half-overlapping segments of transform.length() frames that fit in frameCount frames.
int segmentCount(int frameCount, int length);

CrossPower tileCrossPower(const DisplacementSeries &series, int tile, SegmentTransform &transform);

// The line whose energy is summed over the lobe around bin k: its frequency (the power-weighted
// mean bin), amplitude and axis.
SpectrumPeak lobeLine(const CrossPower &power, int k, double resolutionHz, double lobeScale);

} // namespace ovra::motion_core
