// Vector kernels of the spatial pyramid; compiled once per instruction set (SimdVector.h).
// Blur.cpp and Resampling.cpp hold the scalar reference; every sum here runs in the same
// order as there, so the results are the same bits.

#include "motion_core/PyramidSimd.h"
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

// One coarse row interpolated to the output width.
void expandRow(const float *coarse, const ResampleAxis &columns, int width, float *out)
{
    int x = 0;
    for (; x + lanes <= width; x += lanes) {
        const Floats first = gather(coarse, columns.first + x);
        const Floats second = gather(coarse, columns.second + x);
        store(out + x, first + (second - first) * load(columns.fraction + x));
    }
    for (; x < width; ++x) {
        const float first = coarse[columns.first[x]];
        out[x] = first + (coarse[columns.second[x]] - first) * columns.fraction[x];
    }
}

void expandRows(const ExpandJob &job, float *scratch, int begin, int end)
{
    // Interpolated coarse rows, slot = row % 2: an output row needs two consecutive ones.
    int slotRow[2] = {-1, -1};
    const auto interpolated = [&](int row) {
        float *slot = scratch + (row % 2) * job.width;
        if (slotRow[row % 2] != row) {
            expandRow(job.coarse + static_cast<long long>(row) * job.coarseWidth, job.columns, job.width, slot);
            slotRow[row % 2] = row;
        }
        return slot;
    };
    for (int y = begin; y < end; ++y) {
        const float *top = interpolated(job.rows.first[y]);
        const float *bottom = interpolated(job.rows.second[y]);
        const float fraction = job.rows.fraction[y];
        const long long offset = static_cast<long long>(y) * job.width;
        const float *detail = job.detail + offset;
        float *target = job.output + offset;
        int x = 0;
        for (; x + lanes <= job.width; x += lanes) {
            const Floats upper = load(top + x);
            const Floats expanded = (load(bottom + x) - upper) * splat(fraction) + upper;
            const Floats fine = load(detail + x);
            store(target + x, job.subtract ? fine - expanded : expanded + fine);
        }
        for (; x < job.width; ++x) {
            const float expanded = (bottom[x] - top[x]) * fraction + top[x];
            target[x] = job.subtract ? detail[x] - expanded : expanded + detail[x];
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
