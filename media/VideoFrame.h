// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QtGlobal>

namespace ovra::media {

// One upright RGBA8888 picture with its place on the nominal time grid.
struct VideoFrame
{
    QImage image;
    qint64 presentationTimeUs = -1;
    qint64 frameIndex = -1;
};

enum class VideoReadStatus {
    Frame = 0,
    EndOfStream = 1,
    Failed = 2,
};

} // namespace ovra::media
