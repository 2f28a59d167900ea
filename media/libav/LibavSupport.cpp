// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/libav/LibavSupport.h"

#include <QTransform>

#include <cmath>

extern "C" {
#include <libavutil/display.h>
#include <libavutil/error.h>
}

namespace ovra::media::libav {

QString ffmpegErrorText(int errorCode)
{
    char buffer[64] = {};
    if (av_strerror(errorCode, buffer, sizeof(buffer)) < 0)
        return QString::number(errorCode);
    return QString::fromUtf8(buffer);
}

double positiveRationalValue(AVRational value)
{
    if (value.num < 1 || value.den < 1)
        return 0.0;
    const double quotient = av_q2d(value);
    return std::isfinite(quotient) && quotient > 0.0 ? quotient : 0.0;
}

int displayRotationDegrees(const AVStream *stream)
{
    double angle = 0.0;
    size_t sideDataSize = 0;
    const uint8_t *matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &sideDataSize);
    if (matrix && sideDataSize >= 9 * sizeof(int32_t)) {
        angle = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
    } else if (const AVDictionaryEntry *rotate = av_dict_get(stream->metadata, "rotate", nullptr, 0)) {
        bool isNumber = false;
        const double value = QString::fromUtf8(rotate->value).trimmed().toDouble(&isNumber);
        if (isNumber)
            angle = value;
    }
    if (!std::isfinite(angle))
        return 0;
    int degrees = static_cast<int>(std::llround(angle) % 360);
    if (degrees < 0)
        degrees += 360;
    return degrees;
}

QImage uprightImage(const QImage &image, int rotationDegrees)
{
    if (rotationDegrees == 0)
        return image;
    // Qt's y axis points down, so a positive angle turns clockwise.
    QImage turned = image.transformed(QTransform().rotate(-rotationDegrees), Qt::FastTransformation);
    if (turned.format() != QImage::Format_RGBA8888)
        turned.convertTo(QImage::Format_RGBA8888);
    return turned;
}

namespace {
int interruptCallback(void *opaque)
{
    return static_cast<CancellationState *>(opaque)->query() ? 1 : 0;
}
} // namespace

void installInterruptCallback(AVFormatContext *context, CancellationState *cancellation)
{
    context->interrupt_callback.callback = &interruptCallback;
    context->interrupt_callback.opaque = cancellation;
}

void InputContextDeleter::operator()(AVFormatContext *context) const
{
    // Also right for a context that was allocated but never opened: it has no I/O to close.
    avformat_close_input(&context);
}

void OutputContextDeleter::operator()(AVFormatContext *context) const
{
    if (!(context->oformat->flags & AVFMT_NOFILE))
        avio_closep(&context->pb);
    avformat_free_context(context);
}

} // namespace ovra::media::libav
