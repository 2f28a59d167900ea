// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoFrame.h"
#include "media/VideoMetadata.h"

#include <QString>

namespace ovra::media {

// A video decoded frame by frame into upright RGBA8888 images, with exact seeking.
// Used from one thread at a time.
class IVideoSource
{
public:
    virtual ~IVideoSource() = default;

    virtual bool open(const QString &filePath, QString *errorMessage = nullptr) = 0;
    virtual bool openWithMetadata(const VideoMetadata &metadata, QString *errorMessage = nullptr) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual const VideoMetadata &metadata() const = 0;
    virtual bool seekToTime(qint64 timeUs, QString *errorMessage = nullptr) = 0;
    virtual bool seekToFrame(qint64 frameIndex, QString *errorMessage = nullptr) = 0;
    virtual VideoReadStatus readFrame(VideoFrame *frame, QString *errorMessage = nullptr) = 0;
    virtual VideoReadStatus skipFrame(qint64 *frameIndex = nullptr, qint64 *presentationTimeUs = nullptr,
                                      QString *errorMessage = nullptr)
        = 0;
    virtual bool cancelled() const = 0;
};

} // namespace ovra::media
