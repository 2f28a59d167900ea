// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoEncodingSettings.h"
#include "media/VideoMetadata.h"

#include <QImage>
#include <QString>

namespace ovra::media {

// Encodes equally sized pictures at a constant rate, the metadata's uniformFrameRate, into a file that is published
// only when finish succeeds. After a failed writeFrame the caller calls abort.
class IVideoSink
{
public:
    virtual ~IVideoSink() = default;

    virtual bool open(const QString &outputFilePath, const VideoMetadata &metadata,
                      const VideoEncodingSettings &settings, QString *errorMessage = nullptr)
        = 0;
    virtual bool writeFrame(const QImage &image, QString *errorMessage = nullptr) = 0;
    virtual bool finish(QString *errorMessage = nullptr) = 0;
    virtual void abort() = 0;
    virtual bool isOpen() const = 0;
    // What abort could not clean up (a file it could not remove); empty when nothing remains.
    virtual QString cleanupMessage() const = 0;
};

} // namespace ovra::media
