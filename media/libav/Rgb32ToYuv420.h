// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

struct AVFrame;

namespace ovra::media::libav {

// Converts an RGB32 or ARGB32 picture (alpha ignored) of even width and height into a yuv420p
// frame of the same size: BT.601 limited range, each chroma sample the mean of its 2x2 block.
// The mean is what a player that repeats chroma samples needs for the least error (FFmpeg's
// scaler filters them, 7 dB worse in a round trip), and it takes a fifth of the scaler's time;
// the H.264 encoder waits for this on every frame.
void convertToYuv420(const QImage &image, AVFrame *frame);

} // namespace ovra::media::libav
