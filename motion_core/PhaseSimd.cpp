// Vector kernels of the phase stages; compiled once per instruction set (SimdVector.h).
// PhaseKernels.cpp, RieszTransform.cpp, Blur.cpp and TemporalBandpassFilter.cpp hold the
// scalar reference. Every expression keeps the reference's order of operations; only
// atan2, sin and cos come from the vector maths library (at most 1 ulp from exact), so the
// accumulated and shifted phases differ from the reference by rounding only. hypot is
// evaluated as glibc does it, so the thresholds on r and theta decide as in the reference.

#include "motion_core/PhaseSimd.h"
#include "motion_core/SimdVector.h"

namespace ovra::motion_core {

namespace {

using namespace simd;

constexpr float quarterTurn = 1.5707964f;
constexpr int denoiseTapCount = 9;
const float denoiseTaps[denoiseTapCount] = {0.02763055f, 0.06628225f, 0.12383154f, 0.18017381f, 0.20416369f,
                                            0.18017381f, 0.12383154f, 0.06628225f, 0.02763055f};

// Whole-sample symmetric reflection for neighbours at most one sample outside.
int reflectEdgeOnce(int index, int length)
{
    if (length <= 1)
        return 0;
    if (index < 0)
        return -index;
    if (index >= length)
        return 2 * length - index - 2;
    return index;
}

// Half-sample symmetric reflection, repeated for kernels wider than the axis.
int reflectEdgeRepeated(int index, int length)
{
    if (length <= 1)
        return 0;
    while (index < 0 || index >= length)
        index = index < 0 ? -index - 1 : 2 * length - index - 1;
    return index;
}

// A block of level samples with the neighbours the Riesz pair needs.
struct Neighbourhood
{
    Floats centre;
    Floats left;
    Floats right;
    Floats above;
    Floats below;

    OVRA_SIMD_INLINE Floats rieszH() const { return (left - right) * splat(0.5f); }
    OVRA_SIMD_INLINE Floats rieszV() const { return (above - below) * splat(0.5f); }
};

// Rows of one level around row y.
struct LevelRows
{
    const float *row;
    const float *above;
    const float *below;
    int width;

    LevelRows(const float *plane, int width, int height, int y)
        : row(plane + static_cast<long long>(y) * width),
          above(plane + static_cast<long long>(reflectEdgeOnce(y - 1, height)) * width),
          below(plane + static_cast<long long>(reflectEdgeOnce(y + 1, height)) * width), width(width)
    {
    }

    // count samples from x.
    OVRA_SIMD_INLINE Neighbourhood at(int x, int count) const
    {
        if (count == lanes && x >= 1 && x + lanes + 1 <= width)
            return {load(row + x), load(row + x - 1), load(row + x + 1), load(above + x), load(below + x)};
        return atEdge(x, count);
    }

    // Blocks that touch an edge of the row go through a buffer.
    __attribute__((noinline)) Neighbourhood atEdge(int x, int count) const
    {
        float centre[lanes] = {}, left[lanes] = {}, right[lanes] = {}, up[lanes] = {}, down[lanes] = {};
        for (int i = 0; i < count; ++i) {
            const int column = x + i;
            centre[i] = row[column];
            left[i] = row[reflectEdgeOnce(column - 1, width)];
            right[i] = row[reflectEdgeOnce(column + 1, width)];
            up[i] = above[column];
            down[i] = below[column];
        }
        return {load(centre), load(left), load(right), load(up), load(down)};
    }
};

// One transposed direct form II step of the band-pass on count samples of its state.
OVRA_SIMD_INLINE Floats filterStep(const FilterCoefficients &c, Floats x, const FilterState &state, long long i, int count)
{
    const Floats z1 = loadPartial(state.z1 + i, count);
    const Floats z2 = loadPartial(state.z2 + i, count);
    const Floats y = splat(c.b0) * x + z1;
    storePartial(state.z1 + i, (splat(c.b1) * x + z2) - splat(c.a1) * y, count);
    storePartial(state.z2 + i, splat(c.b2) * x - splat(c.a2) * y, count);
    return y;
}

void phaseDifferenceRows(const PhaseDifferenceJob &job, int begin, int end)
{
    const Floats zero = splat(0.0f);
    for (int y = begin; y < end; ++y) {
        const LevelRows current(job.level, job.width, job.height, y);
        const LevelRows previous(job.previous, job.width, job.height, y);
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
            const Floats r = hypot(qi, qj);
            const Floats phi = atan2(r, qr);
            const Mask significant = r > splat(1e-6f);
            Floats accumulatedH = loadPartial(job.accumulatorH + i, count);
            Floats accumulatedV = loadPartial(job.accumulatorV + i, count);
            accumulatedH = select(significant, accumulatedH + (phi * qi) / r, accumulatedH);
            accumulatedV = select(significant, accumulatedV + (phi * qj) / r, accumulatedV);
            storePartial(job.accumulatorH + i, accumulatedH, count);
            storePartial(job.accumulatorV + i, accumulatedV, count);
            const Floats amplitude = sqrt(sqrt(maximum(qi * qi + qr * qr + qj * qj, zero)));

            const Floats filteredH = filterStep(job.filterH, accumulatedH, job.stateH, i, count);
            const Floats filteredV = filterStep(job.filterV, accumulatedV, job.stateV, i, count);
            storePartial(job.weightedH + i, amplitude * filteredH, count);
            storePartial(job.weightedV + i, amplitude * filteredV, count);
            storePartial(job.amplitude + i, amplitude, count);
        }
    }
}

// The horizontal pass of the 9-tap blur over one row.
void blurRow(const float *in, int width, float *out)
{
    const auto scalarAt = [&](int x) {
        float sum = 0.0f;
        for (int j = 0; j < denoiseTapCount; ++j)
            sum += in[reflectEdgeRepeated(x + j - 4, width)] * denoiseTaps[j];
        out[x] = sum;
    };
    int x = 0;
    for (; x < width && x < 4; ++x)
        scalarAt(x);
    for (; x + lanes + 4 <= width; x += lanes) {
        Floats sum = splat(0.0f);
        for (int j = 0; j < denoiseTapCount; ++j)
            sum = sum + load(in + x + j - 4) * splat(denoiseTaps[j]);
        store(out + x, sum);
    }
    for (; x < width; ++x)
        scalarAt(x);
}

// The vertical pass at count samples from x, over the nine horizontally blurred rows.
OVRA_SIMD_INLINE Floats blurColumns(const float *const *rows, int x)
{
    Floats sum = splat(0.0f);
    for (int j = 0; j < denoiseTapCount; ++j)
        sum = sum + load(rows[j] + x) * splat(denoiseTaps[j]);
    return sum;
}

void denoiseShiftRows(const DenoiseShiftJob &job, float *scratch, int begin, int end)
{
    const float *const planes[3] = {job.weightedH, job.weightedV, job.amplitude};
    // Horizontally blurred rows of the three planes, slot = row % 9: the rows one output row
    // needs are at most nine consecutive ones. Rows are padded so that a vector load at the
    // last block stays inside the scratch.
    const long long stride = job.width + 16;
    const auto slotRow = [&](int plane, int slot) { return scratch + (plane * denoiseTapCount + slot) * stride; };
    int rowInSlot[denoiseTapCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
    const float *blurred[3][denoiseTapCount];

    const Floats zero = splat(0.0f);
    const Floats alpha = splat(job.alpha);
    for (int y = begin; y < end; ++y) {
        for (int j = 0; j < denoiseTapCount; ++j) {
            const int row = reflectEdgeRepeated(y + j - 4, job.height);
            const int slot = row % denoiseTapCount;
            if (rowInSlot[slot] != row) {
                for (int plane = 0; plane < 3; ++plane)
                    blurRow(planes[plane] + static_cast<long long>(row) * job.width, job.width, slotRow(plane, slot));
                rowInSlot[slot] = row;
            }
            for (int plane = 0; plane < 3; ++plane)
                blurred[plane][j] = slotRow(plane, slot);
        }

        const LevelRows level(job.level, job.width, job.height, y);
        float *target = job.shifted + static_cast<long long>(y) * job.width;
        for (int x = 0; x < job.width; x += lanes) {
            const int count = smallerOf(lanes, job.width - x);
            const Floats weightedH = blurColumns(blurred[0], x);
            const Floats weightedV = blurColumns(blurred[1], x);
            const Floats weights = blurColumns(blurred[2], x);
            const Mask significant = weights > splat(0.0001f);
            Floats ph = select(significant, weightedH / weights, zero) * alpha;
            Floats pv = select(significant, weightedV / weights, zero) * alpha;

            Floats theta = hypot(ph, pv);
            // Limited to a quarter turn instead of wrapping; the direction is kept.
            const Mask limited = theta > splat(quarterTurn);
            const Floats scale = splat(quarterTurn) / theta;
            ph = select(limited, ph * scale, ph);
            pv = select(limited, pv * scale, pv);
            theta = select(limited, splat(quarterTurn), theta);
            Floats sine;
            Floats cosine;
            sincos(theta, sine, cosine);
            const Floats sinc = select(theta <= splat(1e-6f), splat(1.0f), sine / theta);

            const Neighbourhood samples = level.at(x, count);
            const Floats shifted = cosine * samples.centre - (samples.rieszH() * ph + samples.rieszV() * pv) * sinc;
            storePartial(target + x, shifted, count);
        }
    }
}

} // namespace

template<>
const PhaseKernelsSimd &phaseKernels<OVRA_SIMD_SET>()
{
    static const PhaseKernelsSimd kernels{&phaseDifferenceRows, &denoiseShiftRows};
    return kernels;
}

} // namespace ovra::motion_core
