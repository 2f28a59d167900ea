// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/PlaneOperations.h"

namespace ovra::motion_core {

namespace {

template<typename Operation>
void combine(MotionWorkerPool &pool, const FloatPlane &a, const FloatPlane &b, FloatPlane &output,
             Operation operation)
{
    if (a.isEmpty() || a.width() != b.width() || a.height() != b.height()) {
        output.reshape(0, 0);
        return;
    }
    output.reshape(a.width(), a.height());
    const float *left = a.data();
    const float *right = b.data();
    float *target = output.data();
    parallelFor(pool, a.sampleCount(), 2, [&](int begin, int end) {
        for (int i = begin; i < end; ++i)
            target[i] = operation(left[i], right[i]);
    });
}

} // namespace

void add(MotionWorkerPool &pool, const FloatPlane &a, const FloatPlane &b, FloatPlane &output)
{
    combine(pool, a, b, output, [](float x, float y) { return x + y; });
}

void subtract(MotionWorkerPool &pool, const FloatPlane &a, const FloatPlane &b, FloatPlane &output)
{
    combine(pool, a, b, output, [](float x, float y) { return x - y; });
}

} // namespace ovra::motion_core
