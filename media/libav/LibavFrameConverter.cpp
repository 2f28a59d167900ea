// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/libav/LibavFrameConverter.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
}

#include <climits>
#include <memory>

namespace ovra::media::libav {
namespace {

constexpr int rowAlignment = 64;
// Room after the last row for the widest vector store FFmpeg's routines make past a row's end.
constexpr qsizetype trailingSlack = 64;

int swsColorSpace(AVColorSpace space)
{
    switch (space) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        return SWS_CS_ITU601;
    }
}

bool isFullRange(const AVFrame *frame)
{
    switch (frame->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
        return true;
    default:
        return frame->color_range == AVCOL_RANGE_JPEG;
    }
}

bool isRgb(int pixelFormat)
{
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(pixelFormat));
    return descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_RGB);
}

// Tells the converter which matrix and range the source's samples use; the RGBA output is full range.
bool applyColorDetails(SwsContext *scaler, const AVFrame *frame)
{
    int *sourceTable = nullptr;
    int *destinationTable = nullptr;
    int sourceFull = 0;
    int destinationFull = 0;
    int brightness = 0;
    int contrast = 0;
    int saturation = 0;
    if (sws_getColorspaceDetails(scaler, &sourceTable, &sourceFull, &destinationTable, &destinationFull, &brightness,
                                 &contrast, &saturation)
        < 0)
        return false;
    const int *coefficients = sws_getCoefficients(swsColorSpace(frame->colorspace));
    return sws_setColorspaceDetails(scaler, coefficients, isFullRange(frame) ? 1 : 0, destinationTable, 1, brightness,
                                    contrast, saturation)
        >= 0;
}

void freeBuffer(void *buffer)
{
    av_free(buffer);
}

} // namespace

int RgbaDestination::strideFor(int width)
{
    const qsizetype row = qsizetype(width) * 4;
    return static_cast<int>((row + rowAlignment - 1) / rowAlignment * rowAlignment);
}

qsizetype RgbaDestination::bytesFor(int stride, int height)
{
    return qsizetype(stride) * height + trailingSlack;
}

bool LibavFrameConverter::Format::operator==(const Format &other) const
{
    return width == other.width && height == other.height && pixelFormat == other.pixelFormat
        && colorSpace == other.colorSpace && colorRange == other.colorRange;
}

bool LibavFrameConverter::prepare(const AVFrame *frame)
{
    const Format wanted{frame->width, frame->height, frame->format, frame->colorspace, frame->color_range};
    if (m_scaler && wanted == m_format)
        return true;
    m_format = Format();
    m_scaler.reset(sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
                                  frame->height, AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!m_scaler || (!isRgb(frame->format) && !applyColorDetails(m_scaler.get(), frame))) {
        m_scaler.reset();
        return false;
    }
    m_format = wanted;
    return true;
}

LibavFrameConverter::Result LibavFrameConverter::convert(const AVFrame *frame, const RgbaDestination &destination)
{
    if (frame->width <= 0 || frame->height <= 0)
        return Result::InvalidSize;
    if (!prepare(frame))
        return Result::Unsupported;
    uint8_t *const planes[4] = {destination.pixels, nullptr, nullptr, nullptr};
    const int strides[4] = {destination.stride, 0, 0, 0};
    if (sws_scale(m_scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) != frame->height)
        return Result::Incomplete;
    return Result::Converted;
}

QImage LibavFrameConverter::convert(const AVFrame *frame, Result *result)
{
    const auto fail = [result](Result reason) {
        *result = reason;
        return QImage();
    };
    if (frame->width <= 0 || frame->height <= 0)
        return fail(Result::InvalidSize);
    if (qsizetype(frame->width) * 4 > INT_MAX - rowAlignment)
        return fail(Result::RowTooLarge);
    const int stride = RgbaDestination::strideFor(frame->width);
    // Ours until the image takes it: making the image can fail, or throw when memory runs out.
    std::unique_ptr<uint8_t, decltype(&freeBuffer)> pixels(
        static_cast<uint8_t *>(av_malloc(RgbaDestination::bytesFor(stride, frame->height))), &freeBuffer);
    if (!pixels)
        return fail(Result::OutOfMemory);
    QImage image(pixels.get(), frame->width, frame->height, stride, QImage::Format_RGBA8888, &freeBuffer, pixels.get());
    if (image.isNull())
        return fail(Result::OutOfMemory);
    *result = convert(frame, RgbaDestination{pixels.release(), stride});
    return *result == Result::Converted ? image : QImage();
}

} // namespace ovra::media::libav
