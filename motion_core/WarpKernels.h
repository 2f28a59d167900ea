// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The per-row kernels of the frame warp (FrameWarp.cpp). For every output pixel the caller
// gives the whole part of its source position (row for the column pass, column for the row
// pass) and its sixteen tabled weights (tap k's weight repeated for the four channels in
// elements 4k .. 4k + 3). Every set sums ((w0 a + w1 b) + w2 c) + w3 d per channel and rounds
// to nearest even, so that all give the reference's bits. No Qt and no inline library code:
// the AVX2 file is compiled for another instruction set (see VectorRegisters.h).

#include <cstddef>

namespace ovra::motion_core::warp_kernels {

using uchar = unsigned char;

// columns[4u + c] = the frame's channel c at column u, resampled between rows whole[u] - 1 ..
// whole[u] + 2 (clamped to the frame).
void resampleColumnsAvx2(const uchar *bits, std::ptrdiff_t stride, int height, int width, const int *whole,
                         const float *const *weights, float *columns);
// out[4x + c] = the columns' channel c resampled between columns whole[x] - 1 .. whole[x] + 2
// (clamped to the row), rounded and saturated to a byte.
void resampleRowAvx2(const float *columns, int width, const int *whole, const float *const *weights, uchar *out);

} // namespace ovra::motion_core::warp_kernels
