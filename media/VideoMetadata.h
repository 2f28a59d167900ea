// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace ovra::media {

// Rates agree when they differ by at most 2 % of the reference rate (at least 0.01 fps).
double rateAgreementTolerance(double referenceRate);
bool ratesAgree(double rate, double referenceRate);

// Rounds to the nearest integer with halves away from zero.
qint64 roundHalfAwayFromZero(double value);

// Time of a frame on the uniform nominal grid every source uses, in microseconds.
qint64 frameTimeUs(qint64 frameIndex, double nominalFrameRate);
// The inverse every source seeks by: the first frame whose frameTimeUs is at or after timeUs.
// None without a valid rate or for a time no frame number can reach.
std::optional<qint64> firstFrameAtOrAfter(qint64 timeUs, double nominalFrameRate);

// What the time-grid analysis found out about a video file.
struct VideoMetadata
{
    QString filePath;
    QString containerName;
    QString codecName;
    QSize frameSize;
    // Width over height of one displayed pixel, for the upright picture; frames keep their
    // stored size and only the viewports stretch them.
    double pixelAspectRatio = 1.0;
    qint64 durationUs = 0;
    qint64 frameCount = 0;
    double nominalFrameRate = 0.0;
    double detectedCaptureFrameRate = 0.0;
    double captureFrameRate = 0.0;
    bool captureFrameRateManual = false;
    bool slowMotionPlaybackIntent = false;
    bool variableFrameRate = false;
    QList<qint64> frameTimestamps;
    qint64 uniformStartFrame = -1;
    // Frame rate of a variable-rate grid's uniform tail (from uniformStartFrame on), from its
    // mean interval on the stream's ticks; 0 when there is no such tail.
    double uniformTailFrameRate = 0.0;

    bool hasValidFrameSize() const;
    bool hasTiming() const;
    bool hasTimeGrid() const;
    double playbackFrameRate() const;
    // The rate of the uniform part of the grid, at which exports (always cut from that part)
    // play: the uniform tail's rate, or the playback rate when the whole grid is uniform.
    double uniformFrameRate() const;
    qint64 playbackDurationUs() const { return durationUs; }
    bool captureFrameRateKnown() const;
    double effectiveFrameRate() const;
    bool captureTimingMapRequired() const;
    qint64 estimatedRecordingDurationUs() const;
    double averageSlowMotionFactor() const;
};

bool isValidRate(double rate);

} // namespace ovra::media
