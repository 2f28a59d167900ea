// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/PlaneOperations.h"

#include "motion_core/KernelConstants.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace ovra::motion_core {

namespace {

using kernel::reflectEdgeRepeated;

// Both passes sum the taps in one order per sample (kernel::symmetricSum), as the vector
// kernels do.
void convolveRow(const float *in, float *out, int width, const std::vector<float> &taps)
{
    const int tapCount = static_cast<int>(taps.size());
    const int radius = tapCount / 2;
    float samples[kernel::denoiseTapCount];
    for (int x = 0; x < width; ++x) {
        const bool inside = x - radius >= 0 && x + radius < width;
        for (int j = -radius; j <= radius; ++j)
            samples[j + radius] = in[inside ? x + j : reflectEdgeRepeated(x + j, width)];
        out[x] = kernel::symmetricSum(samples, taps.data(), tapCount);
    }
}

void convolveColumns(const FloatPlane &in, FloatPlane &out, int y, const std::vector<float> &taps)
{
    const int tapCount = static_cast<int>(taps.size());
    const int radius = tapCount / 2;
    const float *rows[kernel::denoiseTapCount];
    for (int j = -radius; j <= radius; ++j)
        rows[j + radius] = in.row(reflectEdgeRepeated(y + j, in.height()));
    float *target = out.row(y);
    float samples[kernel::denoiseTapCount];
    for (int x = 0; x < in.width(); ++x) {
        for (int j = 0; j < tapCount; ++j)
            samples[j] = rows[j][x];
        target[x] = kernel::symmetricSum(samples, taps.data(), tapCount);
    }
}

} // namespace

const std::vector<float> &pyramidKernel()
{
    static const std::vector<float> taps(std::begin(kernel::pyramidTaps), std::end(kernel::pyramidTaps));
    return taps;
}

const std::vector<float> &phaseDenoisingKernel()
{
    static const std::vector<float> taps(std::begin(kernel::denoiseTaps), std::end(kernel::denoiseTaps));
    return taps;
}

void blur(MotionWorkerPool &pool, const FloatPlane &input, const std::vector<float> &kernel, FloatPlane &output,
          FloatPlane &scratch)
{
    if (input.isEmpty() || kernel.empty()) {
        output.reshape(0, 0);
        return;
    }
    const int width = input.width();
    const int height = input.height();
    const int tapCount = static_cast<int>(kernel.size());
    // The passes weigh mirrored samples together and keep a window of at most nine on the stack.
    if (tapCount % 2 == 0 || tapCount > kernel::denoiseTapCount
        || !std::equal(kernel.begin(), kernel.end(), kernel.rbegin()))
        throw std::invalid_argument("blur: the kernel must be symmetric with an odd number of taps, at most 9");
    const qint64 costPerRow = static_cast<qint64>(width) * tapCount;

    scratch.reshape(width, height);
    parallelFor(pool, height, costPerRow, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            convolveRow(input.row(y), scratch.row(y), width, kernel);
    });
    // Only now may output be written: it can be the input plane.
    output.reshape(width, height);
    parallelFor(pool, height, costPerRow, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            convolveColumns(scratch, output, y, kernel);
    });
}

} // namespace ovra::motion_core
