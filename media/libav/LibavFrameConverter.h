// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/libav/LibavSupport.h"

#include <QImage>

namespace ovra::media::libav {

// Where a converted RGBA8888 picture goes: rows `stride` bytes apart in memory that holds at
// least destinationBytes(width, height, stride) bytes. FFmpeg's vector routines write whole
// vector widths, past the end of a row and of the last row, so the destination carries padding.
struct RgbaDestination
{
    uint8_t *pixels = nullptr;
    int stride = 0;

    // The row stride FFmpeg may use for a width: the row rounded up to 64 bytes.
    static int strideFor(int width);
    // The whole padded size of a picture with that stride.
    static qsizetype bytesFor(int stride, int height);
};

// Converts decoded frames to RGBA8888 with the colour matrix and range the frame is tagged
// with (BT.601 where it is untagged, as FFmpeg chooses). One converter serves a stream of
// frames and keeps its FFmpeg context while their format stays the same.
class LibavFrameConverter
{
public:
    enum class Result {
        Converted,
        InvalidSize,
        OutOfMemory,
        Unsupported,
        RowTooLarge,
        Incomplete
    };

    // Converts the whole frame into the destination, which must be large enough for it.
    Result convert(const AVFrame *frame, const RgbaDestination &destination);
    // Converts into a new image that owns a padded buffer; a null image on failure, with the reason.
    QImage convert(const AVFrame *frame, Result *result);

private:
    struct Format
    {
        int width = 0;
        int height = 0;
        int pixelFormat = -1;
        int colorSpace = -1;
        int colorRange = -1;
        bool operator==(const Format &other) const;
    };

    bool prepare(const AVFrame *frame);

    ScaleContextPtr m_scaler;
    Format m_format;
};

} // namespace ovra::media::libav
