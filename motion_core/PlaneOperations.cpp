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

ResampleTap resampleTap(int index, double scale, int sourceLength)
{
    const double position = std::clamp((index + 0.5) * scale - 0.5, 0.0, static_cast<double>(sourceLength - 1));
    // The position is clamped to be non-negative, so truncation is the floor.
    const int first = static_cast<int>(position);
    return {first, std::min(sourceLength - 1, first + 1), static_cast<float>(position - first)};
}

void downsample(MotionWorkerPool &pool, const FloatPlane &input, FloatPlane &output)
{
    if (input.isEmpty()) {
        output.reshape(0, 0);
        return;
    }
    const int width = std::max(1, (input.width() + 1) / 2);
    const int height = std::max(1, (input.height() + 1) / 2);
    output.reshape(width, height);
    parallelFor(pool, height, width, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const float *source = input.row(std::min(input.height() - 1, 2 * y));
            float *target = output.row(y);
            for (int x = 0; x < width; ++x)
                target[x] = source[std::min(input.width() - 1, 2 * x)];
        }
    });
}

void upsample(MotionWorkerPool &pool, const FloatPlane &input, int width, int height, FloatPlane &output)
{
    if (input.isEmpty() || width <= 0 || height <= 0) {
        output.reshape(0, 0);
        return;
    }
    const double scaleX = static_cast<double>(input.width()) / width;
    const double scaleY = static_cast<double>(input.height()) / height;
    output.reshape(width, height);
    parallelFor(pool, height, 12LL * width, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const ResampleTap row = resampleTap(y, scaleY, input.height());
            const float *upper = input.row(row.first);
            const float *lower = input.row(row.second);
            float *target = output.row(y);
            for (int x = 0; x < width; ++x) {
                const ResampleTap column = resampleTap(x, scaleX, input.width());
                const float top = upper[column.first] + (upper[column.second] - upper[column.first]) * column.fraction;
                const float bottom
                    = lower[column.first] + (lower[column.second] - lower[column.first]) * column.fraction;
                target[x] = (bottom - top) * row.fraction + top;
            }
        }
    });
}

namespace {

template <typename Operation>
void combine(MotionWorkerPool &pool, const FloatPlane &a, const FloatPlane &b, FloatPlane &output, Operation operation)
{
    if (a.isEmpty() || a.width() != b.width() || a.height() != b.height()) {
        output.reshape(0, 0);
        return;
    }
    output.reshape(a.width(), a.height());
    const float *left = a.data();
    const float *right = b.data();
    float *target = output.data();
    parallelFor(pool, a.sampleCount(), 2, [&](int begin, int end) {
        for (int i = begin; i < end; ++i)
            target[i] = operation(left[i], right[i]);
    });
}

} // namespace

void add(MotionWorkerPool &pool, const FloatPlane &a, const FloatPlane &b, FloatPlane &output)
{
    combine(pool, a, b, output, [](float x, float y) { return x + y; });
}

void subtract(MotionWorkerPool &pool, const FloatPlane &a, const FloatPlane &b, FloatPlane &output)
{
    combine(pool, a, b, output, [](float x, float y) { return x - y; });
}

} // namespace ovra::motion_core
