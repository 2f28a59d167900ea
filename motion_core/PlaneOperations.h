// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/MotionWorkerPool.h"

#include <vector>

namespace ovra::motion_core {

// Plane operations shared by the pyramid and the phase stages. Each writes a result
// plane that it reshapes itself, so callers can hand in the same buffer every frame.
// Rows (or samples) are split over the pool; results do not depend on the thread count.

// Binomial 1 4 6 4 1 / 16: the pyramid's low-pass.
const std::vector<float> &pyramidKernel();
// Gaussian, sigma 2, 9 taps, normalised to sum 1: smooths the filtered phase.
const std::vector<float> &phaseDenoisingKernel();

// Separable convolution with a symmetric kernel of an odd number of taps, at most 9 (else
// throws std::invalid_argument), edge samples repeated (half-sample symmetric). The
// horizontal pass goes through scratch, so output may be the input plane itself; scratch
// must be a third plane. An empty input or kernel gives an empty output.
void blur(MotionWorkerPool &pool, const FloatPlane &input, const std::vector<float> &kernel, FloatPlane &output,
          FloatPlane &scratch);

// Keeps every second sample of every second row; the caller low-passes first.
void downsample(MotionWorkerPool &pool, const FloatPlane &input, FloatPlane &output);

// Where output sample index of an axis resampled with scale = source length / output
// length reads: samples first and second, and the weight of second, with pixel centres
// aligned and positions clamped to the source. Positions are computed in double precision.
struct ResampleTap
{
    int first;
    int second;
    float fraction;
};
ResampleTap resampleTap(int index, double scale, int sourceLength);

// Bilinear resampling to width x height with pixel centres aligned.
void upsample(MotionWorkerPool &pool, const FloatPlane &input, int width, int height, FloatPlane &output);

// Element-wise a + b and a - b; empty when a is empty or the sizes differ.
// The output may be one of the inputs.
void add(MotionWorkerPool &pool, const FloatPlane &a, const FloatPlane &b, FloatPlane &output);
void subtract(MotionWorkerPool &pool, const FloatPlane &a, const FloatPlane &b, FloatPlane &output);

} // namespace ovra::motion_core
