#include "motion_core/PlaneOperations.h"

#include "motion_core/KernelConstants.h"

#include <iterator>

namespace ovra::motion_core {

namespace {

using kernel::reflectEdgeRepeated;

void convolveRow(const float *in, float *out, int width, const float *taps, int tapCount)
{
    const int radius = tapCount / 2;
    for (int x = 0; x < width; ++x) {
        const bool inside = x - radius >= 0 && x + radius < width;
        float sum = 0.0f;
        for (int j = -radius; j <= radius; ++j) {
            const int source = inside ? x + j : reflectEdgeRepeated(x + j, width);
            sum += in[source] * taps[j + radius];
        }
        out[x] = sum;
    }
}

// Accumulates whole rows tap by tap; per sample the sum runs in the same tap order as
// the horizontal pass, so both passes follow one formula.
void convolveColumns(const FloatPlane &in, FloatPlane &out, int y, const float *taps, int tapCount)
{
    const int radius = tapCount / 2;
    const int width = in.width();
    float *target = out.row(y);
    std::fill_n(target, width, 0.0f);
    for (int j = -radius; j <= radius; ++j) {
        const float *source = in.row(reflectEdgeRepeated(y + j, in.height()));
        const float tap = taps[j + radius];
        for (int x = 0; x < width; ++x)
            target[x] += source[x] * tap;
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
    const qint64 costPerRow = static_cast<qint64>(width) * tapCount;

    scratch.reshape(width, height);
    parallelFor(pool, height, costPerRow, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            convolveRow(input.row(y), scratch.row(y), width, kernel.data(), tapCount);
    });
    // Only now may output be written: it can be the input plane.
    output.reshape(width, height);
    parallelFor(pool, height, costPerRow, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            convolveColumns(scratch, output, y, kernel.data(), tapCount);
    });
}

} // namespace ovra::motion_core
