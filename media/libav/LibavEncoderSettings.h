// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoEncodingSettings.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSize>
#include <QStringList>

#include <optional>

namespace ovra::media::libav {

enum class VideoOutputKind {
    H264, // yuv420p in MP4
    Ffv1, // BGRA in Matroska
};

// The output a sink can make for the settings' container and codec (compared without regard
// to case), or none.
std::optional<VideoOutputKind> videoOutputKind(const VideoEncodingSettings &settings);

// The encoders to look for, most preferred first: the platform's H.264 encoder where FFmpeg has
// one, libx264 elsewhere.
QList<QByteArray> encoderCandidates(VideoOutputKind kind);

// How an encoder is configured for a constant frame rate.
struct VideoEncoderSettings
{
    int frameRateNumerator = 0; // the frame rate as a rational; the time base is its inverse
    int frameRateDenominator = 0;
    int gopSize = 0;
    qint64 bitRate = 0; // 0: not set
    QList<QPair<QByteArray, QByteArray>> options;
};

// qualityPercent is clamped to 0..100. Pure apart from libx264's thread count, which follows
// the processors, so that the numbers can be checked directly.
VideoEncoderSettings videoEncoderSettings(VideoOutputKind kind, const QByteArray &encoderName, QSize frameSize,
                                          double frameRate, int qualityPercent);

} // namespace ovra::media::libav
