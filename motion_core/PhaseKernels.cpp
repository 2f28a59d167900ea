// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/PhaseKernels.h"

#include "motion_core/KernelConstants.h"

#include <algorithm>
#include <cmath>

namespace ovra::motion_core {

namespace {

using kernel::quarterTurn;

// The values here are far from overflow, and single precision keeps the vector kernels
// (PhaseVector.cpp) cheap: they compute the same expression.
float magnitude(float x, float y)
{
    return std::sqrt(x * x + y * y);
}

} // namespace

void accumulatePhaseDifference(MotionWorkerPool &pool, const PhaseSamples &current, const PhaseSamples &previous,
                               FloatPlane &horizontalAccumulator, FloatPlane &verticalAccumulator,
                               FloatPlane &amplitude)
{
    amplitude.reshape(current.level.width(), current.level.height());
    const float *i = current.level.data();
    const float *r1 = current.r1.data();
    const float *r2 = current.r2.data();
    const float *pi = previous.level.data();
    const float *pr1 = previous.r1.data();
    const float *pr2 = previous.r2.data();
    float *accumulatedH = horizontalAccumulator.data();
    float *accumulatedV = verticalAccumulator.data();
    float *amplitudes = amplitude.data();
    parallelFor(pool, current.level.sampleCount(), 32, [&](int begin, int end) {
        for (int n = begin; n < end; ++n) {
            const float qr = (pr1[n] * r1[n] + pi[n] * i[n]) + pr2[n] * r2[n];
            const float qi = pi[n] * r1[n] - pr1[n] * i[n];
            const float qj = pi[n] * r2[n] - pr2[n] * i[n];
            const float r = magnitude(qi, qj);
            const float phi = kernel::halfTurnAngle(r, qr);
            if (r > 1e-6f) {
                const float phiPerLength = phi / r;
                accumulatedH[n] += qi * phiPerLength;
                accumulatedV[n] += qj * phiPerLength;
            }
            amplitudes[n] = std::sqrt(std::sqrt(std::max(qi * qi + qr * qr + qj * qj, 0.0f)));
        }
    });
}

void weightByAmplitude(MotionWorkerPool &pool, const FloatPlane &amplitude, const FloatPlane &horizontal,
                       const FloatPlane &vertical, FloatPlane &weightedHorizontal, FloatPlane &weightedVertical)
{
    weightedHorizontal.reshape(amplitude.width(), amplitude.height());
    weightedVertical.reshape(amplitude.width(), amplitude.height());
    const float *weights = amplitude.data();
    const float *h = horizontal.data();
    const float *v = vertical.data();
    float *wh = weightedHorizontal.data();
    float *wv = weightedVertical.data();
    parallelFor(pool, amplitude.sampleCount(), 4, [&](int begin, int end) {
        for (int n = begin; n < end; ++n) {
            wh[n] = weights[n] * h[n];
            wv[n] = weights[n] * v[n];
        }
    });
}

void divideByAmplitude(MotionWorkerPool &pool, const FloatPlane &weightedHorizontal, const FloatPlane &weightedVertical,
                       const FloatPlane &blurredAmplitude, FloatPlane &horizontal, FloatPlane &vertical)
{
    const float *wh = weightedHorizontal.data();
    const float *wv = weightedVertical.data();
    const float *weights = blurredAmplitude.data();
    float *h = horizontal.data();
    float *v = vertical.data();
    parallelFor(pool, blurredAmplitude.sampleCount(), 4, [&](int begin, int end) {
        for (int n = begin; n < end; ++n) {
            const bool significant = weights[n] > 0.0001f;
            const float inverse = 1.0f / weights[n];
            h[n] = significant ? wh[n] * inverse : 0.0f;
            v[n] = significant ? wv[n] * inverse : 0.0f;
        }
    });
}

void shiftPhase(MotionWorkerPool &pool, float alpha, const FloatPlane &horizontal, const FloatPlane &vertical,
                const FloatPlane &r1, const FloatPlane &r2, FloatPlane &level)
{
    const float *h = horizontal.data();
    const float *v = vertical.data();
    const float *riesz1 = r1.data();
    const float *riesz2 = r2.data();
    float *samples = level.data();
    parallelFor(pool, level.sampleCount(), 24, [&](int begin, int end) {
        for (int n = begin; n < end; ++n) {
            float ph = h[n] * alpha;
            float pv = v[n] * alpha;
            float theta = magnitude(ph, pv);
            // Limited to a quarter turn instead of wrapping; the direction is kept.
            if (theta > quarterTurn) {
                const float scale = quarterTurn / theta;
                ph *= scale;
                pv *= scale;
                theta = quarterTurn;
            }
            const float thetaSquared = theta * theta;
            const float cosine = kernel::evaluateSeries(kernel::cosineSeries, thetaSquared);
            const float sinc = kernel::evaluateSeries(kernel::sincSeries, thetaSquared);
            samples[n] = cosine * samples[n] - (riesz1[n] * ph + riesz2[n] * pv) * sinc;
        }
    });
}

} // namespace ovra::motion_core
