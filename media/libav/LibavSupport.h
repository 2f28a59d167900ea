// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"

#include <QImage>
#include <QString>

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

// Small pieces shared by the FFmpeg-backed media components.
namespace ovra::media::libav {

// The library's own description of an FFmpeg error code, or the code in decimal.
QString ffmpegErrorText(int errorCode);

// A rational as a rate, or 0 when it is not a usable positive finite number.
double positiveRationalValue(AVRational value);

// The stream's display rotation in whole degrees, normalised to 0..359: the display matrix
// side data when present, else a numeric "rotate" metadata entry, else 0.
int displayRotationDegrees(const AVStream *stream);

// Turns a decoded picture upright for a display rotation of 0, 90, 180 or 270 degrees.
QImage uprightImage(const QImage &image, int rotationDegrees);

// Makes FFmpeg's blocking I/O ask the given cancellation state whether to stop.
void installInterruptCallback(AVFormatContext *context, CancellationState *cancellation);

struct InputContextDeleter
{
    void operator()(AVFormatContext *context) const;
};
// Closes the output file, if one was opened, and frees the muxer context.
struct OutputContextDeleter
{
    void operator()(AVFormatContext *context) const;
};
struct CodecContextDeleter
{
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
struct PacketDeleter
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct FrameDeleter
{
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct ScaleContextDeleter
{
    void operator()(SwsContext *context) const { sws_freeContext(context); }
};

// An input format context that is closed with avformat_close_input once opened.
using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextDeleter>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using ScaleContextPtr = std::unique_ptr<SwsContext, ScaleContextDeleter>;

} // namespace ovra::media::libav
