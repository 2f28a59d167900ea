// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/PlaneOperations.h"

#include <algorithm>

namespace ovra::motion_core {

ResampleTap resampleTap(int index, double scale, int sourceLength)
{
    const double position = std::clamp((index + 0.5) * scale - 0.5, 0.0, static_cast<double>(sourceLength - 1));
    // The position is clamped to be non-negative, so truncation is the floor.
    const int first = static_cast<int>(position);
    return {first, std::min(sourceLength - 1, first + 1), static_cast<float>(position - first)};
}

void downsample(MotionWorkerPool &pool, const FloatPlane &input, FloatPlane &output)
{
    if (input.isEmpty()) {
        output.reshape(0, 0);
        return;
    }
    const int width = std::max(1, (input.width() + 1) / 2);
    const int height = std::max(1, (input.height() + 1) / 2);
    output.reshape(width, height);
    parallelFor(pool, height, width, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const float *source = input.row(std::min(input.height() - 1, 2 * y));
            float *target = output.row(y);
            for (int x = 0; x < width; ++x)
                target[x] = source[std::min(input.width() - 1, 2 * x)];
        }
    });
}

void upsample(MotionWorkerPool &pool, const FloatPlane &input, int width, int height, FloatPlane &output)
{
    if (input.isEmpty() || width <= 0 || height <= 0) {
        output.reshape(0, 0);
        return;
    }
    const double scaleX = static_cast<double>(input.width()) / width;
    const double scaleY = static_cast<double>(input.height()) / height;
    output.reshape(width, height);
    parallelFor(pool, height, 12LL * width, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const ResampleTap row = resampleTap(y, scaleY, input.height());
            const float *upper = input.row(row.first);
            const float *lower = input.row(row.second);
            float *target = output.row(y);
            for (int x = 0; x < width; ++x) {
                const ResampleTap column = resampleTap(x, scaleX, input.width());
                const float top = upper[column.first] + (upper[column.second] - upper[column.first]) * column.fraction;
                const float bottom =
                    lower[column.first] + (lower[column.second] - lower[column.first]) * column.fraction;
                target[x] = (bottom - top) * row.fraction + top;
            }
        }
    });
}

} // namespace ovra::motion_core
