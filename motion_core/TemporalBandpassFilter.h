// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/MotionSettings.h"
#include "motion_core/MotionWorkerPool.h"
#include "motion_core/PhaseVector.h"

#include <QCoreApplication>
#include <QString>

#include <vector>

namespace ovra::motion_core {

// Second-order IIR band-pass from the bilinear transform of B s / (s^2 + B s + P),
// run independently on every sample of every level (transposed direct form II).
// Frequencies are hertz of capture time.
class TemporalBandpassFilter
{
    Q_DECLARE_TR_FUNCTIONS(TemporalBandpassFilter)

public:
    bool configure(double captureFps, double lowerHz, double upperHz, QString *errorMessage);
    // Forgets the state; the design stays.
    void reset();
    // Filters one frame's planes. Fails without touching the state when the level
    // geometry differs from the one the state was created for.
    bool process(const std::vector<FloatPlane> &inputLevels, std::vector<FloatPlane> *outputLevels,
                 MotionWorkerPool &pool, QString *errorMessage);

    // For kernels that run the filter inside a fused pass (PhaseVector.h): the checks of
    // process() on inputLevels, and zero state on first use. After true, state(level)
    // holds the delay planes the next frame's samples update.
    bool prepareState(const std::vector<FloatPlane> &inputLevels, QString *errorMessage);
    FilterState state(size_t level) { return {m_z1[level].data(), m_z2[level].data()}; }
    // The design rounded to single precision, as it is applied to the samples.
    FilterCoefficients singlePrecisionCoefficients() const;

    double b0() const { return m_b0; }
    double b1() const { return m_b1; }
    double b2() const { return m_b2; }
    double a1() const { return m_a1; }
    double a2() const { return m_a2; }

private:
    bool stateMatches(const std::vector<FloatPlane> &levels) const;

    double m_b0 = 0.0;
    double m_b1 = 0.0;
    double m_b2 = 0.0;
    double m_a1 = 0.0;
    double m_a2 = 0.0;
    bool m_configured = false;
    bool m_stateInitialised = false;
    std::vector<FloatPlane> m_z1;
    std::vector<FloatPlane> m_z2;
};

// Frames without which the band means nothing: one period of its lower edge, never fewer than
// the three samples a second-order filter needs. Slow structures (masts, cranes, bridges) are
// filmed for a few periods only, so no more is demanded. 0 when the band is invalid.
qint64 requiredMinimumFrameCount(const MotionSettings &settings, double captureFps);
// The length recommended for reliable results: five periods of the lower band edge plus the
// decay of the filter's impulse response to 1 %, and never less than two seconds of capture
// time. 0 when the band is invalid.
qint64 recommendedMinimumFrameCount(const MotionSettings &settings, double captureFps);
// Whole periods of the lower band edge that frameCount frames hold; 0 when the band is invalid.
qint64 lowerEdgePeriodCount(const MotionSettings &settings, double captureFps, qint64 frameCount);

} // namespace ovra::motion_core
