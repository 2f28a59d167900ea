// SPDX-License-Identifier: GPL-3.0-or-later
// Vector kernels of the spatial pyramid; compiled once per instruction set (VectorRegisters.h).
// PlaneOperations.cpp and RieszTransform.cpp hold the reference; every sum here runs in the same
// order as there, so the results are the same bits.

#include "motion_core/PyramidVector.h"
#include "motion_core/KernelConstants.h"
#include "motion_core/VectorBlur.h"
#include "motion_core/VectorRegisters.h"
#include "motion_core/VectorUpsample.h"

namespace ovra::motion_core {

namespace {

using namespace vector_kernels;
using kernel::reflectEdgeRepeated;

using kernel::pyramidTapCount;
using kernel::pyramidTaps;

// The horizontal blur of one row at its even columns: out[x] = blurred(2 x).
void blurEvenColumns(const float *in, int width, float *out, int outWidth)
{
    const auto scalarAt = [&](int x) {
        float samples[pyramidTapCount];
        for (int j = 0; j < pyramidTapCount; ++j)
            samples[j] = in[reflectEdgeRepeated(2 * x + j - 2, width)];
        out[x] = kernel::symmetricSum(samples, pyramidTaps, pyramidTapCount);
    };
    // Vector blocks read in[2x - 2 .. 2x + 2 lanes + 1], all inside the row.
    int x = 0;
    for (; x < outWidth && 2 * x - 2 < 0; ++x)
        scalarAt(x);
    for (; 2 * x + 2 * lanes + 2 <= width; x += lanes) {
        Floats samples[pyramidTapCount];
        for (int j = 0; j < pyramidTapCount; ++j)
            samples[j] = loadEven(in + 2 * x - 2 + j);
        store(out + x, kernel::symmetricSum(samples, pyramidTaps, pyramidTapCount));
    }
    for (; x < outWidth; ++x)
        scalarAt(x);
}

// Rows of the low-pass image, computed on demand from the five horizontally blurred input
// rows each needs (kept in scratch, slot = row % 5: the rows in use are consecutive, so
// they never share a slot). Rows the chunk owns go straight into the low-pass plane; the
// others, next to the chunk, into scratch.
class LowPassRows
{
public:
    LowPassRows(const DecomposeJob &job, float *scratch, int ownedBegin, int ownedEnd)
        : m_job(job)
        , m_width(largerOf(1, (job.width + 1) / 2))
        , m_stride(m_width + 16)
        , m_scratch(scratch)
        , m_ownedBegin(ownedBegin)
        , m_ownedEnd(ownedEnd)
    {
    }

    const float *operator()(int row)
    {
        const bool owned = row >= m_ownedBegin && row < m_ownedEnd;
        float *target
            = owned ? m_job.low + static_cast<long long>(row) * m_width : m_scratch + pyramidTapCount * m_stride;
        const float *rows[pyramidTapCount];
        for (int j = 0; j < pyramidTapCount; ++j) {
            const int input = reflectEdgeRepeated(2 * row + j - 2, m_job.height);
            float *blurred = m_scratch + (input % pyramidTapCount) * m_stride;
            if (m_inputInSlot[input % pyramidTapCount] != input) {
                blurEvenColumns(m_job.input + static_cast<long long>(input) * m_job.width, m_job.width, blurred,
                                m_width);
                m_inputInSlot[input % pyramidTapCount] = input;
            }
            rows[j] = blurred;
        }
        for (int x = 0; x < m_width; x += lanes) {
            const int count = smallerOf(lanes, m_width - x);
            storePartial(target + x, blurColumns(rows, x, pyramidTaps), count);
        }
        m_computedFirst = m_computedFirst < 0 ? row : smallerOf(m_computedFirst, row);
        m_computedLast = largerOf(m_computedLast, row);
        return target;
    }

    // Computes the owned rows the upsampling did not ask for.
    void completeOwned()
    {
        for (int row = m_ownedBegin; row < m_ownedEnd; ++row) {
            if (m_computedFirst < 0 || row < m_computedFirst || row > m_computedLast)
                (*this)(row);
        }
    }

private:
    const DecomposeJob &m_job;
    int m_width;
    long long m_stride;
    float *m_scratch;
    int m_ownedBegin;
    int m_ownedEnd;
    int m_inputInSlot[pyramidTapCount] = {-1, -1, -1, -1, -1};
    int m_computedFirst = -1; // rows are asked for in order, so the computed ones are a range
    int m_computedLast = -1;
};

// The quadrature source of level rows, from the level's rows blurred along x as they come
// (slot = row % 5, as in LowPassRows).
class QuadratureSourceRows
{
public:
    QuadratureSourceRows(const DecomposeJob &job, float *scratch)
        : m_job(job)
        , m_scratch(scratch)
        , m_stride(job.width + 16)
    {
    }

    void addLevelRow(int row, const float *samples)
    {
        blurRow(samples, m_job.width, pyramidTaps, m_scratch + (row % pyramidTapCount) * m_stride);
    }

    // Once the level rows around y have been added.
    void emit(int y)
    {
        const float *rows[pyramidTapCount];
        for (int j = 0; j < pyramidTapCount; ++j)
            rows[j] = m_scratch + (reflectEdgeRepeated(y + j - 2, m_job.height) % pyramidTapCount) * m_stride;
        const long long offset = static_cast<long long>(y) * m_job.width;
        const Floats levelWeight = splat(kernel::quadratureLevelWeight);
        const Floats blurWeight = splat(kernel::quadratureBlurWeight);
        for (int x = 0; x < m_job.width; x += lanes) {
            const int count = smallerOf(lanes, m_job.width - x);
            storePartial(m_job.source + offset + x,
                         levelWeight * loadPartial(m_job.level + offset + x, count)
                             + blurWeight * blurColumns(rows, x, pyramidTaps),
                         count);
        }
    }

private:
    const DecomposeJob &m_job;
    float *m_scratch;
    long long m_stride;
};

void decomposeRows(const DecomposeJob &job, float *scratch, int begin, int end)
{
    // This chunk owns the low-pass rows whose input row 2 y it covers.
    const int lowHeight = largerOf(1, (job.height + 1) / 2);
    LowPassRows low(job, scratch, (begin + 1) / 2, smallerOf(lowHeight, (end + 1) / 2));
    const long long lowStride = largerOf(1, (job.width + 1) / 2) + 16;
    const long long stride = job.width + 16;
    float *upsampledScratch = scratch + (pyramidTapCount + 1) * lowStride;
    float *outsideLevelRow = upsampledScratch + 2 * stride;
    UpsampledRows<LowPassRows &> upsampled(low, job.columns, job.rows, job.width, upsampledScratch);
    QuadratureSourceRows sources(job, outsideLevelRow + stride);
    // The source of row y reads the level rows within two of it, reflected into the plane,
    // so the level rows run two beyond the chunk on both sides.
    int nextSource = begin;
    for (int y = largerOf(0, begin - 2); y < smallerOf(job.height, end + 2); ++y) {
        const UpsampledRow row = upsampled.row(y);
        const long long offset = static_cast<long long>(y) * job.width;
        const float *input = job.input + offset;
        float *target = y >= begin && y < end ? job.level + offset : outsideLevelRow;
        for (int x = 0; x < job.width; x += lanes) {
            const int count = smallerOf(lanes, job.width - x);
            storePartial(target + x, loadPartial(input + x, count) - upsampledAt(row, x), count);
        }
        sources.addLevelRow(y, target);
        for (; nextSource < end && smallerOf(job.height - 1, nextSource + 2) <= y; ++nextSource)
            sources.emit(nextSource);
    }
    low.completeOwned();
}

} // namespace

template <> const PyramidKernels &pyramidKernels<OVRA_VECTOR_SET>()
{
    static const PyramidKernels kernels{&decomposeRows};
    return kernels;
}

} // namespace ovra::motion_core
