// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/RieszTransform.h"

#include "motion_core/KernelConstants.h"
#include "motion_core/PlaneOperations.h"

namespace ovra::motion_core {

using kernel::reflectEdgeOnce;

void quadratureSource(MotionWorkerPool &pool, const FloatPlane &level, FloatPlane &source, FloatPlane &scratch)
{
    blur(pool, level, pyramidKernel(), source, scratch);
    const float *samples = level.data();
    float *blurred = source.data();
    parallelFor(pool, level.sampleCount(), 3, [&](int begin, int end) {
        for (int n = begin; n < end; ++n)
            blurred[n] = kernel::quadratureLevelWeight * samples[n] + kernel::quadratureBlurWeight * blurred[n];
    });
}

void computeRieszPair(MotionWorkerPool &pool, const FloatPlane &source, FloatPlane &r1, FloatPlane &r2)
{
    const int width = source.width();
    const int height = source.height();
    r1.reshape(width, height);
    r2.reshape(width, height);
    parallelFor(pool, height, 16LL * width, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const float *row = source.row(y);
            const float *above = source.row(reflectEdgeOnce(y - 1, height));
            const float *below = source.row(reflectEdgeOnce(y + 1, height));
            float *horizontal = r1.row(y);
            float *vertical = r2.row(y);
            for (int x = 0; x < width; ++x) {
                const int left = reflectEdgeOnce(x - 1, width);
                const int right = reflectEdgeOnce(x + 1, width);
                horizontal[x] = kernel::rieszCentreWeight * (row[left] - row[right])
                    + kernel::rieszSideWeight * ((above[left] - above[right]) + (below[left] - below[right]));
                vertical[x] = kernel::rieszCentreWeight * (above[x] - below[x])
                    + kernel::rieszSideWeight * ((above[left] - below[left]) + (above[right] - below[right]));
            }
        }
    });
}

} // namespace ovra::motion_core
