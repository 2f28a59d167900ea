// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/VideoMetadata.h"

#include <algorithm>
#include <cmath>

namespace ovra::media {

bool isValidRate(double rate)
{
    return std::isfinite(rate) && rate > 0.0;
}

double rateAgreementTolerance(double referenceRate)
{
    return std::max(0.02 * referenceRate, 0.01);
}

bool ratesAgree(double rate, double referenceRate)
{
    return std::abs(rate - referenceRate) <= rateAgreementTolerance(referenceRate);
}

qint64 roundHalfAwayFromZero(double value)
{
    return static_cast<qint64>(std::round(value));
}

qint64 frameTimeUs(qint64 frameIndex, double nominalFrameRate)
{
    return roundHalfAwayFromZero(static_cast<double>(frameIndex) * 1000000.0 / nominalFrameRate);
}

std::optional<qint64> firstFrameAtOrAfter(qint64 timeUs, double nominalFrameRate)
{
    // Far beyond any video the grid times themselves would overflow.
    constexpr double limit = 1.0e15;
    if (!isValidRate(nominalFrameRate) || !(1000000.0 / nominalFrameRate < limit)
        || !(std::abs(static_cast<double>(timeUs)) < limit))
        return std::nullopt;
    const double estimate = std::ceil(static_cast<double>(timeUs) * nominalFrameRate / 1000000.0);
    if (!(std::abs(estimate) < limit))
        return std::nullopt;
    // Frame times are rounded, so the estimate can be one frame off either way.
    auto index = static_cast<qint64>(estimate);
    while (frameTimeUs(index - 1, nominalFrameRate) >= timeUs)
        --index;
    while (frameTimeUs(index, nominalFrameRate) < timeUs)
        ++index;
    return index;
}

bool VideoMetadata::hasValidFrameSize() const
{
    return frameSize.width() >= 1 && frameSize.height() >= 1;
}

bool VideoMetadata::hasTiming() const
{
    return (captureFrameRate > 0.0 || nominalFrameRate > 0.0) && (durationUs > 0 || frameCount >= 1);
}

bool VideoMetadata::hasTimeGrid() const
{
    return frameCount >= 1 && frameTimestamps.size() == frameCount;
}

double VideoMetadata::playbackFrameRate() const
{
    if (frameCount >= 1 && durationUs >= 1)
        return static_cast<double>(frameCount) * 1000000.0 / static_cast<double>(durationUs);
    return nominalFrameRate;
}

double VideoMetadata::uniformFrameRate() const
{
    return isValidRate(uniformTailFrameRate) ? uniformTailFrameRate : playbackFrameRate();
}

bool VideoMetadata::captureFrameRateKnown() const
{
    return isValidRate(captureFrameRate);
}

double VideoMetadata::effectiveFrameRate() const
{
    return captureFrameRate > 0.0 ? captureFrameRate : nominalFrameRate;
}

bool VideoMetadata::captureTimingMapRequired() const
{
    const double playbackRate = playbackFrameRate();
    return captureFrameRateKnown() && isValidRate(playbackRate) && !ratesAgree(captureFrameRate, playbackRate);
}

qint64 VideoMetadata::estimatedRecordingDurationUs() const
{
    if (!captureFrameRateKnown() || frameCount < 1)
        return 0;
    const double playbackRate = playbackFrameRate();
    if (isValidRate(playbackRate) && !ratesAgree(captureFrameRate, playbackRate))
        return 0;
    return roundHalfAwayFromZero(static_cast<double>(frameCount) * 1000000.0 / captureFrameRate);
}

double VideoMetadata::averageSlowMotionFactor() const
{
    const qint64 recordingUs = estimatedRecordingDurationUs();
    if (durationUs >= 1 && recordingUs >= 1)
        return static_cast<double>(durationUs) / static_cast<double>(recordingUs);
    return 0.0;
}

} // namespace ovra::media
