// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/libav/UniformTailRule.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

namespace ovra::media::libav {
namespace {

using Ticks = qint64;

// Rounding to whole ticks moves an interval by less than a tick, a missing frame by a whole
// interval. From three ticks per frame on the two stay at least two ticks apart and each
// interval can be judged against the median on its own. Below that a missing frame can pass
// for a rounded neighbour (two ticks where frames are 1.4 ticks apart), and only the
// timestamps taken together show it.
constexpr Ticks shortestSelfEvidentInterval = 3;

// Rounded timestamps stay less than a tick from their grid, and a missing frame moves all
// later ones by at least a tick. The margin keeps floating-point error out.
constexpr double roundingSpread = 1.0 - 1e-6;

// Dropped frames are exceptions. When a tenth of the intervals or more are longer than a
// one-tick base rate allows, that rate is FFmpeg's stand-in (it reports the tick rate when it
// finds no other), not the camera's.
constexpr double largestDroppedShare = 0.1;

// How far apart the timestamps of a set of frames lie when seen from a grid of `interval`
// ticks through frame `anchor`.
class GridSpread
{
public:
    GridSpread(const QList<qint64> &timestamps, double interval, qint64 anchor)
        : m_timestamps(timestamps)
        , m_interval(interval)
        , m_anchor(anchor)
    {
    }

    double width() const { return m_high - m_low; }
    double widthWith(qint64 index) const
    {
        const double offset = offsetOf(index);
        return std::max(m_high, offset) - std::min(m_low, offset);
    }
    void add(qint64 index)
    {
        const double offset = offsetOf(index);
        m_low = std::min(m_low, offset);
        m_high = std::max(m_high, offset);
    }

private:
    // Relative to the anchor, so that long grids keep their precision.
    double offsetOf(qint64 index) const
    {
        return static_cast<double>(m_timestamps[index] - m_timestamps[m_anchor])
            - static_cast<double>(index - m_anchor) * m_interval;
    }

    const QList<qint64> &m_timestamps;
    const double m_interval;
    const qint64 m_anchor;
    double m_low = 0.0;
    double m_high = 0.0;
};

double widthAround(const QList<qint64> &timestamps, double interval)
{
    GridSpread spread(timestamps, interval, 0);
    for (qint64 i = 1; i < timestamps.size(); ++i)
        spread.add(i);
    return spread.width();
}

// The interval of the straight grid that the timestamps stray from least. The spread is convex
// in the interval, so a ternary search finds it.
double bestFittingInterval(const QList<qint64> &timestamps, Ticks median)
{
    double low = static_cast<double>(median) - 1.0;
    double high = static_cast<double>(median) + 1.0;
    for (int step = 0; step < 60; ++step) {
        const double third = (high - low) / 3.0;
        if (widthAround(timestamps, low + third) <= widthAround(timestamps, high - third))
            high -= third;
        else
            low += third;
    }
    return (low + high) / 2.0;
}

// The frame interval, in ticks, of a grid with fewer than three ticks per frame: the stream's
// base rate where it fits the intervals, else the grid's own.
double coarseGridInterval(const QList<qint64> &timestamps, const std::vector<Ticks> &intervals, Ticks median,
                          const StreamTiming &timing)
{
    if (isValidRate(timing.baseFrameRate)) {
        const double declared = 1.0 / (timing.baseFrameRate * timing.timeBase);
        const auto longer = std::count_if(intervals.begin() + 1, intervals.end(), [](Ticks i) { return i > 1; });
        const bool tickRate = std::abs(declared - 1.0) < 1e-9;
        const bool standIn = tickRate
            && static_cast<double>(longer) >= largestDroppedShare * static_cast<double>(intervals.size() - 1);
        if (std::abs(declared - static_cast<double>(median)) < 1.0 && !standIn)
            return declared;
    }
    return bestFittingInterval(timestamps, median);
}

// The last frame from which on the timestamps lie on one grid of `interval` ticks.
qint64 startOfGridTail(const QList<qint64> &timestamps, double interval)
{
    const qint64 last = timestamps.size() - 1;
    GridSpread spread(timestamps, interval, last);
    qint64 start = last;
    while (start > 0 && spread.widthWith(start - 1) < roundingSpread)
        spread.add(--start);
    return start;
}

// The element at position count/2 of the sorted intervals: the median, the upper one for an
// even count.
Ticks medianInterval(const std::vector<Ticks> &intervals)
{
    std::vector<Ticks> sorted(intervals.begin() + 1, intervals.end());
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    return *middle;
}

// The last frame from which on every interval agrees with the median.
qint64 startOfRegularTail(const std::vector<Ticks> &intervals, Ticks median, double tolerance)
{
    auto k = static_cast<qint64>(intervals.size()) - 1;
    while (k > 0 && static_cast<double>(std::abs(intervals[static_cast<size_t>(k)] - median)) <= tolerance)
        --k;
    return k;
}

// The tail's rate from its mean interval, or a declared rate that lies within the rounding of
// that mean (a 240 fps tail in 1/600 s ticks, rounded to 2 and 3 ticks, is 240 fps, not 239.9).
// slack: how many ticks the tail's two ends may stray from their grid.
double tailFrameRate(const QList<qint64> &timestamps, qint64 start, double tick, double slack,
                     std::initializer_list<double> declaredRates)
{
    const auto intervalCount = static_cast<double>(timestamps.size() - 1 - start);
    const double mean = static_cast<double>(timestamps.constLast() - timestamps[start]) / intervalCount;
    for (const double rate : declaredRates) {
        if (isValidRate(rate) && std::abs(1.0 / (rate * tick) - mean) * intervalCount <= slack)
            return rate;
    }
    return 1.0 / (mean * tick);
}

} // namespace

// 2 % (at least 0.1 ms), but never less than the rounding of a coarse time base: timestamps
// rounded to whole ticks (1 ms in Matroska) make intervals jitter by up to one tick even when
// the camera did not, and half a tick more keeps floating-point noise out. At most half an
// interval, though: a missing frame adds a whole one, which the 0.1 ms floor alone would hide
// from 5,000 fps on.
double intervalTolerance(double expectedInterval, double tick)
{
    const double rounding = std::isfinite(tick) && tick > 0.0 ? 1.5 * tick : 0.0;
    return std::min(std::max({0.02 * expectedInterval, 0.0001, rounding}), expectedInterval / 2.0);
}

void applyUniformTailRule(VideoMetadata &metadata, const StreamTiming &timing)
{
    metadata.uniformStartFrame = -1;
    metadata.uniformTailFrameRate = 0.0;
    const double tick = timing.timeBase;
    if (!metadata.hasTimeGrid() || metadata.frameCount < 2 || !std::isfinite(tick) || tick <= 0.0)
        return;
    const QList<qint64> &timestamps = metadata.frameTimestamps;
    // intervals[i] is the step into frame i; there is none into frame 0.
    std::vector<Ticks> intervals(static_cast<size_t>(metadata.frameCount));
    for (qint64 i = 1; i < metadata.frameCount; ++i) {
        intervals[static_cast<size_t>(i)] = timestamps[i] - timestamps[i - 1];
        if (intervals[static_cast<size_t>(i)] <= 0)
            return;
    }
    const Ticks median = medianInterval(intervals);

    qint64 k = 0;
    double toleranceTicks = 1.0; // the rounding of a coarse grid
    if (median >= shortestSelfEvidentInterval) {
        toleranceTicks = intervalTolerance(static_cast<double>(median) * tick, tick) / tick;
        k = startOfRegularTail(intervals, median, toleranceTicks);
    } else {
        k = startOfGridTail(timestamps, coarseGridInterval(timestamps, intervals, median, timing));
    }
    metadata.variableFrameRate = k != 0;
    if (k == 0) {
        metadata.uniformStartFrame = 0;
        return;
    }
    const qint64 tailLength = metadata.frameCount - k;
    if (tailLength >= 32 && k <= tailLength) {
        metadata.uniformStartFrame = k;
        metadata.uniformTailFrameRate
            = tailFrameRate(timestamps, k, tick, toleranceTicks, {timing.baseFrameRate, metadata.nominalFrameRate});
    }
}

} // namespace ovra::media::libav
