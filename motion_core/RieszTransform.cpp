#include "motion_core/RieszTransform.h"

#include "motion_core/KernelConstants.h"

namespace ovra::motion_core {

using kernel::reflectEdgeOnce;

void computeRieszPair(MotionWorkerPool &pool, const FloatPlane &level, FloatPlane &r1, FloatPlane &r2)
{
    const int width = level.width();
    const int height = level.height();
    r1.reshape(width, height);
    r2.reshape(width, height);
    parallelFor(pool, height, 8LL * width, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const float *row = level.row(y);
            const float *above = level.row(reflectEdgeOnce(y - 1, height));
            const float *below = level.row(reflectEdgeOnce(y + 1, height));
            float *horizontal = r1.row(y);
            float *vertical = r2.row(y);
            for (int x = 0; x < width; ++x) {
                horizontal[x] = (row[reflectEdgeOnce(x - 1, width)] - row[reflectEdgeOnce(x + 1, width)]) * 0.5f;
                vertical[x] = (above[x] - below[x]) * 0.5f;
            }
        }
    });
}

} // namespace ovra::motion_core
