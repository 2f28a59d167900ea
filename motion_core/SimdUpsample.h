#pragma once

// Bilinear upsampling for the vector kernels (after SimdVector.h; same linkage rules).
// The values are those of upsample() in Resampling.cpp: each coarse row is interpolated
// along x, then two of them along y, with the same operations in the same order.

#include "motion_core/PyramidSimd.h"
#include "motion_core/SimdVector.h"

namespace ovra::motion_core::simd {
namespace {

// Output rows of a coarse plane upsampled to width, with the two interpolated coarse rows
// an output row needs kept in scratch (2 x upsampleScratchFloats / 2 floats).
class UpsampledRows
{
public:
    struct Row
    {
        const float *top;
        const float *bottom;
        float fraction;
    };

    UpsampledRows(const float *coarse, int coarseWidth, const ResampleAxis &columns, const ResampleAxis &rows,
                  int width, float *scratch)
        : m_coarse(coarse), m_coarseWidth(coarseWidth), m_columns(columns), m_rows(rows), m_width(width),
          m_scratch(scratch)
    {
    }

    Row row(int y)
    {
        return {interpolated(m_rows.first[y]), interpolated(m_rows.second[y]), m_rows.fraction[y]};
    }

private:
    // Slot = row % 2: an output row needs two consecutive coarse rows.
    const float *interpolated(int row)
    {
        float *slot = m_scratch + (row % 2) * (m_width + lanes);
        if (m_rowInSlot[row % 2] != row) {
            const float *source = m_coarse + static_cast<long long>(row) * m_coarseWidth;
            int x = 0;
            for (; x + lanes <= m_width; x += lanes) {
                const Floats first = gather(source, m_columns.first + x);
                const Floats second = gather(source, m_columns.second + x);
                store(slot + x, first + (second - first) * load(m_columns.fraction + x));
            }
            for (; x < m_width; ++x) {
                const float first = source[m_columns.first[x]];
                slot[x] = first + (source[m_columns.second[x]] - first) * m_columns.fraction[x];
            }
            m_rowInSlot[row % 2] = row;
        }
        return slot;
    }

    const float *m_coarse;
    int m_coarseWidth;
    ResampleAxis m_columns;
    ResampleAxis m_rows;
    int m_width;
    float *m_scratch;
    int m_rowInSlot[2] = {-1, -1};
};

// lanes upsampled samples from x; the rows are padded, so a block may reach past the width.
OVRA_SIMD_INLINE Floats upsampledAt(const UpsampledRows::Row &row, int x)
{
    const Floats top = load(row.top + x);
    return (load(row.bottom + x) - top) * splat(row.fraction) + top;
}

} // namespace
} // namespace ovra::motion_core::simd
