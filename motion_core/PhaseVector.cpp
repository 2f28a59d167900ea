// SPDX-License-Identifier: GPL-3.0-or-later
// Vector kernels of the phase stages; compiled once per instruction set (VectorRegisters.h).
// PhaseKernels.cpp, RieszTransform.cpp, PlaneOperations.cpp and TemporalBandpassFilter.cpp hold the
// reference. Every expression keeps the reference's order of operations, and the
// formulas with a choice of order come from the same templates (KernelConstants.h), so the
// results are the same bits.

#include "motion_core/PhaseVector.h"
#include "motion_core/KernelConstants.h"
#include "motion_core/VectorBlur.h"
#include "motion_core/VectorRegisters.h"
#include "motion_core/VectorUpsample.h"

namespace ovra::motion_core {

namespace {

using namespace vector_kernels;

using kernel::denoiseTapCount;
using kernel::denoiseTaps;
using kernel::quarterTurn;
using kernel::reflectEdgeOnce;
using kernel::reflectEdgeRepeated;

// A block of level samples with the quadrature source around them (RieszTransform.h).
struct Neighbourhood
{
    Floats centre;
    Floats aboveLeft;
    Floats above;
    Floats aboveRight;
    Floats left;
    Floats right;
    Floats belowLeft;
    Floats below;
    Floats belowRight;

    OVRA_VECTOR_INLINE Floats rieszH() const
    {
        return splat(kernel::rieszCentreWeight) * (left - right)
            + splat(kernel::rieszSideWeight) * ((aboveLeft - aboveRight) + (belowLeft - belowRight));
    }
    OVRA_VECTOR_INLINE Floats rieszV() const
    {
        return splat(kernel::rieszCentreWeight) * (above - below)
            + splat(kernel::rieszSideWeight) * ((aboveLeft - belowLeft) + (aboveRight - belowRight));
    }
};

// Row y of a level and rows y - 1 .. y + 1 of its quadrature source.
struct LevelRows
{
    const float *level;
    const float *row;
    const float *above;
    const float *below;
    int width;

    LevelRows(const float *levelPlane, const float *source, int width, int height, int y)
        : level(levelPlane + static_cast<long long>(y) * width)
        , row(source + static_cast<long long>(y) * width)
        , above(source + static_cast<long long>(reflectEdgeOnce(y - 1, height)) * width)
        , below(source + static_cast<long long>(reflectEdgeOnce(y + 1, height)) * width)
        , width(width)
    {
    }

    // count samples from x.
    OVRA_VECTOR_INLINE Neighbourhood at(int x, int count) const
    {
        if (count == lanes && x >= 1 && x + lanes + 1 <= width)
            return {load(level + x),   load(above + x - 1), load(above + x), load(above + x + 1), load(row + x - 1),
                    load(row + x + 1), load(below + x - 1), load(below + x), load(below + x + 1)};
        return atEdge(x, count);
    }

    // Blocks that touch an edge of the row: the side neighbours go through buffers.
    __attribute__((noinline)) Neighbourhood atEdge(int x, int count) const
    {
        float sides[6][lanes] = {};
        const float *rows[3] = {above, row, below};
        for (int i = 0; i < count; ++i) {
            const int left = reflectEdgeOnce(x + i - 1, width);
            const int right = reflectEdgeOnce(x + i + 1, width);
            for (int r = 0; r < 3; ++r) {
                sides[2 * r][i] = rows[r][left];
                sides[2 * r + 1][i] = rows[r][right];
            }
        }
        return {loadPartial(level + x, count),
                load(sides[0]),
                loadPartial(above + x, count),
                load(sides[1]),
                load(sides[2]),
                load(sides[3]),
                load(sides[4]),
                loadPartial(below + x, count),
                load(sides[5])};
    }
};

// One transposed direct form II step of the band-pass on count samples of its state.
OVRA_VECTOR_INLINE Floats filterStep(const FilterCoefficients &c, Floats x, const FilterState &state, long long i,
                                     int count)
{
    const Floats z1 = loadPartial(state.z1 + i, count);
    const Floats z2 = loadPartial(state.z2 + i, count);
    const Floats y = splat(c.b0) * x + z1;
    storePartial(state.z1 + i, (splat(c.b1) * x + z2) - splat(c.a1) * y, count);
    storePartial(state.z2 + i, splat(c.b2) * x - splat(c.a2) * y, count);
    return y;
}

// Pass A on row y: the weighted phase and the amplitude go to the three row buffers.
void phaseDifferenceRow(const PhaseLevelJob &job, int y, float *weightedH, float *weightedV, float *amplitudes)
{
    const Floats zero = splat(0.0f);
    const LevelRows current(job.level, job.quadrature, job.width, job.height, y);
    const LevelRows previous(job.previous, job.previousQuadrature, job.width, job.height, y);
    const long long offset = static_cast<long long>(y) * job.width;
    for (int x = 0; x < job.width; x += lanes) {
        const int count = smallerOf(lanes, job.width - x);
        const long long i = offset + x;
        const Neighbourhood now = current.at(x, count);
        const Neighbourhood before = previous.at(x, count);
        const Floats level = now.centre;
        const Floats r1 = now.rieszH();
        const Floats r2 = now.rieszV();
        const Floats pLevel = before.centre;
        const Floats pR1 = before.rieszH();
        const Floats pR2 = before.rieszV();

        const Floats qr = (pR1 * r1 + pLevel * level) + pR2 * r2;
        const Floats qi = pLevel * r1 - pR1 * level;
        const Floats qj = pLevel * r2 - pR2 * level;
        const Floats r = magnitude(qi, qj);
        const Floats phi = kernel::halfTurnAngle(r, qr);
        const Mask significant = r > splat(1e-6f);
        const Floats phiPerLength = phi / r;
        Floats accumulatedH = loadPartial(job.accumulatorH + i, count);
        Floats accumulatedV = loadPartial(job.accumulatorV + i, count);
        accumulatedH = select(significant, accumulatedH + qi * phiPerLength, accumulatedH);
        accumulatedV = select(significant, accumulatedV + qj * phiPerLength, accumulatedV);
        storePartial(job.accumulatorH + i, accumulatedH, count);
        storePartial(job.accumulatorV + i, accumulatedV, count);
        const Floats amplitude = sqrt(sqrt(maximum(qi * qi + qr * qr + qj * qj, zero)));

        const Floats filteredH = filterStep(job.filterH, accumulatedH, job.stateH, i, count);
        const Floats filteredV = filterStep(job.filterV, accumulatedV, job.stateV, i, count);
        storePartial(weightedH + x, amplitude * filteredH, count);
        storePartial(weightedV + x, amplitude * filteredV, count);
        storePartial(amplitudes + x, amplitude, count);
    }
}

// Horizontally blurred rows of the three weighted planes, slot = row % 9: the rows one
// output row needs are at most nine consecutive ones, so they never share a slot. Rows
// are padded so that a vector load at the last block stays inside the scratch.
class BlurredRows
{
public:
    BlurredRows(float *scratch, int width)
        : m_scratch(scratch)
        , m_width(width)
        , m_stride(width + 16)
    {
    }

    // Blurs row's three weighted rows into its slot.
    void add(int row, const float *weightedH, const float *weightedV, const float *amplitude)
    {
        const int slot = row % denoiseTapCount;
        blurRow(weightedH, m_width, denoiseTaps, slotRow(0, slot));
        blurRow(weightedV, m_width, denoiseTaps, slotRow(1, slot));
        blurRow(amplitude, m_width, denoiseTaps, slotRow(2, slot));
        m_rowInSlot[slot] = row;
    }
    // Copies row's blurred rows out to the three planes, or back into its slot.
    void keep(int row, float *const planes[3]) const
    {
        for (int plane = 0; plane < 3; ++plane)
            copyRow(slotRow(plane, row % denoiseTapCount), planes[plane] + static_cast<long long>(row) * m_width);
    }
    void restore(int row, const float *const planes[3])
    {
        for (int plane = 0; plane < 3; ++plane)
            copyRow(planes[plane] + static_cast<long long>(row) * m_width, slotRow(plane, row % denoiseTapCount));
        m_rowInSlot[row % denoiseTapCount] = row;
    }
    bool holds(int row) const { return m_rowInSlot[row % denoiseTapCount] == row; }
    const float *blurred(int plane, int row) const { return slotRow(plane, row % denoiseTapCount); }
    // Scratch behind the ring: one row of each weighted plane, then two upsampled rows.
    float *spareRow(int plane) const { return m_scratch + (3 * denoiseTapCount + plane) * m_stride; }
    float *upsampledRows() const { return spareRow(3); }

private:
    float *slotRow(int plane, int slot) const { return m_scratch + (plane * denoiseTapCount + slot) * m_stride; }
    void copyRow(const float *from, float *to) const
    {
        for (int x = 0; x < m_width; x += lanes) {
            const int count = smallerOf(lanes, m_width - x);
            storePartial(to + x, loadPartial(from + x, count), count);
        }
    }

    float *m_scratch;
    int m_width;
    long long m_stride;
    int m_rowInSlot[denoiseTapCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
};

// Pass B on row y, from the blurred rows it needs.
void shiftRow(const PhaseLevelJob &job, const BlurredRows &rows, UpsampledRows<CoarsePlane> &coarser, int y)
{
    const UpsampledRow upsampled = coarser.row(y);
    const float *blurred[3][denoiseTapCount];
    for (int j = 0; j < denoiseTapCount; ++j) {
        const int row = reflectEdgeRepeated(y + j - 4, job.height);
        for (int plane = 0; plane < 3; ++plane)
            blurred[plane][j] = rows.blurred(plane, row);
    }
    const Floats zero = splat(0.0f);
    const Floats alpha = splat(job.alpha);
    const LevelRows level(job.level, job.quadrature, job.width, job.height, y);
    float *target = job.reconstructed + static_cast<long long>(y) * job.width;
    for (int x = 0; x < job.width; x += lanes) {
        const int count = smallerOf(lanes, job.width - x);
        const Floats weightedH = blurColumns(blurred[0], x, denoiseTaps);
        const Floats weightedV = blurColumns(blurred[1], x, denoiseTaps);
        const Floats weights = blurColumns(blurred[2], x, denoiseTaps);
        const Mask significant = weights > splat(0.0001f);
        const Floats inverseWeight = splat(1.0f) / weights;
        Floats ph = select(significant, weightedH * inverseWeight, zero) * alpha;
        Floats pv = select(significant, weightedV * inverseWeight, zero) * alpha;

        Floats theta = magnitude(ph, pv);
        // Limited to a quarter turn instead of wrapping; the direction is kept. Rarely
        // needed, so the division waits for a block that needs it.
        const Mask limited = theta > splat(quarterTurn);
        if (any(limited)) {
            const Floats scale = splat(quarterTurn) / theta;
            ph = select(limited, ph * scale, ph);
            pv = select(limited, pv * scale, pv);
            theta = select(limited, splat(quarterTurn), theta);
        }
        const Floats thetaSquared = theta * theta;
        const Floats cosine = kernel::evaluateSeries(kernel::cosineSeries, thetaSquared);
        const Floats sinc = kernel::evaluateSeries(kernel::sincSeries, thetaSquared);

        const Neighbourhood samples = level.at(x, count);
        const Floats shifted = cosine * samples.centre - (samples.rieszH() * ph + samples.rieszV() * pv) * sinc;
        storePartial(target + x, upsampledAt(upsampled, x) + shifted, count);
    }
}

// The last row pass B needs for row y.
int lastRowNeeded(int y, int height)
{
    return smallerOf(y + 4, height - 1);
}

void levelRows(const PhaseLevelJob &job, float *scratch, int begin, int end)
{
    // Rows near an inner end of the chunk: their blurred weighted rows are kept for the seam
    // pass, and pass B on the four rows next to that end is left to it.
    const bool seamAbove = begin > 0;
    const bool seamBelow = end < job.height;
    const int firstShifted = seamAbove ? begin + 4 : begin;
    const int endShifted = seamBelow ? end - 4 : end;
    BlurredRows rows(scratch, job.width);
    UpsampledRows<CoarsePlane> coarser({job.coarser, job.coarserWidth}, job.columns, job.rows, job.width,
                                       rows.upsampledRows());
    float *const weighted[3] = {rows.spareRow(0), rows.spareRow(1), rows.spareRow(2)};
    float *const kept[3] = {job.weightedH, job.weightedV, job.amplitude};
    int nextShifted = firstShifted;
    for (int y = begin; y < end; ++y) {
        phaseDifferenceRow(job, y, weighted[0], weighted[1], weighted[2]);
        rows.add(y, weighted[0], weighted[1], weighted[2]);
        if ((seamAbove && y < begin + 8) || (seamBelow && y >= end - 8))
            rows.keep(y, kept);
        for (; nextShifted < endShifted && lastRowNeeded(nextShifted, job.height) <= y; ++nextShifted)
            shiftRow(job, rows, coarser, nextShifted);
    }
}

void seamRows(const PhaseLevelJob &job, float *scratch, int begin, int end)
{
    BlurredRows rows(scratch, job.width);
    UpsampledRows<CoarsePlane> coarser({job.coarser, job.coarserWidth}, job.columns, job.rows, job.width,
                                       rows.upsampledRows());
    const float *const kept[3] = {job.weightedH, job.weightedV, job.amplitude};
    for (int y = begin; y < end; ++y) {
        for (int j = 0; j < denoiseTapCount; ++j) {
            const int row = reflectEdgeRepeated(y + j - 4, job.height);
            if (!rows.holds(row))
                rows.restore(row, kept);
        }
        shiftRow(job, rows, coarser, y);
    }
}

} // namespace

template <> const PhaseVectorKernels &phaseKernels<OVRA_VECTOR_SET>()
{
    static const PhaseVectorKernels kernels{&levelRows, &seamRows};
    return kernels;
}

} // namespace ovra::motion_core
