// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Bilinear upsampling for the vector kernels (after VectorRegisters.h; same linkage rules).
// The values are those of upsample() in PlaneOperations.cpp: each coarse row is interpolated
// along x, then two of them along y, with the same operations in the same order.

#include "motion_core/PyramidVector.h"
#include "motion_core/VectorRegisters.h"

namespace ovra::motion_core::vector_kernels {
namespace {

struct UpsampledRow
{
    const float *top;
    const float *bottom;
    float fraction;
};

// A coarse plane stored in full.
struct CoarsePlane
{
    const float *samples;
    int width;

    const float *operator()(int row) const { return samples + static_cast<long long>(row) * width; }
};

// Output rows of a coarse plane upsampled to width, with the two interpolated coarse rows
// an output row needs kept in scratch (2 x (width + lanes) floats). CoarseRows gives a
// coarse row's samples by its number.
template <typename CoarseRows> class UpsampledRows
{
public:
    UpsampledRows(CoarseRows coarse, const ResampleAxis &columns, const ResampleAxis &rows, int width, float *scratch)
        : m_coarse(coarse)
        , m_columns(columns)
        , m_rows(rows)
        , m_width(width)
        , m_scratch(scratch)
    {
    }

    UpsampledRow row(int y)
    {
        return {interpolated(m_rows.first[y]), interpolated(m_rows.second[y]), m_rows.fraction[y]};
    }

private:
    // Slot = row % 2: an output row needs two consecutive coarse rows.
    const float *interpolated(int row)
    {
        float *slot = m_scratch + (row % 2) * (m_width + lanes);
        if (m_rowInSlot[row % 2] != row) {
            const float *source = m_coarse(row);
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

    CoarseRows m_coarse;
    ResampleAxis m_columns;
    ResampleAxis m_rows;
    int m_width;
    float *m_scratch;
    int m_rowInSlot[2] = {-1, -1};
};

// lanes upsampled samples from x; the rows are padded, so a block may reach past the width.
OVRA_VECTOR_INLINE Floats upsampledAt(const UpsampledRow &row, int x)
{
    const Floats top = load(row.top + x);
    return (load(row.bottom + x) - top) * splat(row.fraction) + top;
}

} // namespace
} // namespace ovra::motion_core::vector_kernels
