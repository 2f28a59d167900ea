// Vector kernels of the spatial pyramid; compiled once per instruction set (SimdVector.h).
// Blur.cpp and Resampling.cpp hold the scalar reference; every sum here runs in the same
// order as there, so the results are the same bits.

#include "motion_core/PyramidSimd.h"
#include "motion_core/SimdUpsample.h"
#include "motion_core/SimdVector.h"

namespace ovra::motion_core {

namespace {

using namespace simd;

constexpr int pyramidTapCount = 5;
const float pyramidTaps[pyramidTapCount] = {0.0625f, 0.25f, 0.375f, 0.25f, 0.0625f};

// Half-sample symmetric reflection, repeated for kernels wider than the axis.
int reflectEdgeRepeated(int index, int length)
{
    if (length <= 1)
        return 0;
    while (index < 0 || index >= length)
        index = index < 0 ? -index - 1 : 2 * length - index - 1;
    return index;
}

// The horizontal blur of one row at its even columns: out[x] = blurred(2 x).
void blurEvenColumns(const float *in, int width, float *out, int outWidth)
{
    const auto scalarAt = [&](int x) {
        float sum = 0.0f;
        for (int j = 0; j < pyramidTapCount; ++j)
            sum += in[reflectEdgeRepeated(2 * x + j - 2, width)] * pyramidTaps[j];
        out[x] = sum;
    };
    // Vector blocks read in[2x - 2 .. 2x + 2 lanes + 1], all inside the row.
    int x = 0;
    for (; x < outWidth && 2 * x - 2 < 0; ++x)
        scalarAt(x);
    for (; 2 * x + 2 * lanes + 2 <= width; x += lanes) {
        const float *source = in + 2 * x - 2;
        Floats sum = splat(0.0f);
        for (int j = 0; j < pyramidTapCount; ++j)
            sum = sum + loadEven(source + j) * splat(pyramidTaps[j]);
        store(out + x, sum);
    }
    for (; x < outWidth; ++x)
        scalarAt(x);
}

void reduceRows(const ReduceJob &job, float *scratch, int begin, int end)
{
    const int outWidth = largerOf(1, (job.width + 1) / 2);
    const int stride = outWidth + 1;
    // Horizontally blurred input rows, slot = row % 5: the rows one output row needs are
    // at most five consecutive ones, so they never share a slot.
    int slotRow[pyramidTapCount] = {-1, -1, -1, -1, -1};
    const float *taps[pyramidTapCount];
    for (int y = begin; y < end; ++y) {
        for (int j = 0; j < pyramidTapCount; ++j) {
            const int row = reflectEdgeRepeated(2 * y + j - 2, job.height);
            const int slot = row % pyramidTapCount;
            if (slotRow[slot] != row) {
                blurEvenColumns(job.input + static_cast<long long>(row) * job.width, job.width,
                                scratch + slot * stride, outWidth);
                slotRow[slot] = row;
            }
            taps[j] = scratch + slot * stride;
        }
        float *target = job.output + static_cast<long long>(y) * outWidth;
        int x = 0;
        for (; x + lanes <= outWidth; x += lanes) {
            Floats sum = splat(0.0f);
            for (int j = 0; j < pyramidTapCount; ++j)
                sum = sum + load(taps[j] + x) * splat(pyramidTaps[j]);
            store(target + x, sum);
        }
        for (; x < outWidth; ++x) {
            float sum = 0.0f;
            for (int j = 0; j < pyramidTapCount; ++j)
                sum += taps[j][x] * pyramidTaps[j];
            target[x] = sum;
        }
    }
}

void expandRows(const ExpandJob &job, float *scratch, int begin, int end)
{
    UpsampledRows upsampled(job.coarse, job.coarseWidth, job.columns, job.rows, job.width, scratch);
    for (int y = begin; y < end; ++y) {
        const UpsampledRows::Row row = upsampled.row(y);
        const long long offset = static_cast<long long>(y) * job.width;
        const float *detail = job.detail + offset;
        float *target = job.output + offset;
        for (int x = 0; x < job.width; x += lanes) {
            const int count = smallerOf(lanes, job.width - x);
            storePartial(target + x, loadPartial(detail + x, count) - upsampledAt(row, x), count);
        }
    }
}

} // namespace

template<>
const PyramidKernels &pyramidKernels<OVRA_SIMD_SET>()
{
    static const PyramidKernels kernels{&reduceRows, &expandRows};
    return kernels;
}

} // namespace ovra::motion_core
