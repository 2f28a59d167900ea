// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/TemporalBandpassFilter.h"

#include <algorithm>
#include <cmath>

namespace ovra::motion_core {

namespace {

constexpr double pi = 3.141592653589793;

struct BandpassDesign
{
    double b0;
    double a1;
    double a2;
};

// The expressions are kept in this exact order so that results repeat bit for bit.
BandpassDesign designBandpass(double captureFps, double lowerHz, double upperHz)
{
    const double k1 = std::tan(pi * lowerHz / captureFps);
    const double k2 = std::tan(pi * upperHz / captureFps);
    const double bandwidth = k2 - k1;
    const double product = k2 * k1;
    const double denominator = bandwidth + 1.0 + product;
    return {bandwidth / denominator, 2.0 * (product - 1.0) / denominator, (1.0 - bandwidth + product) / denominator};
}

double poleRadius(double a1, double a2)
{
    const double discriminant = a1 * a1 - 4.0 * a2;
    if (discriminant >= 0.0) {
        const double root = std::sqrt(discriminant);
        return std::max(std::abs((-a1 - root) / 2.0), std::abs((root - a1) / 2.0));
    }
    return a2 > 0.0 ? std::sqrt(a2) : 0.0;
}

void fail(QString *errorMessage, const QString &message)
{
    if (errorMessage)
        *errorMessage = message;
}

} // namespace

bool TemporalBandpassFilter::configure(double captureFps, double lowerHz, double upperHz, QString *errorMessage)
{
    m_configured = false;
    if (!bandParametersValid(captureFps, lowerHz, upperHz)) {
        fail(errorMessage, tr("The temporal band-pass filter parameters are invalid."));
        return false;
    }
    const BandpassDesign design = designBandpass(captureFps, lowerHz, upperHz);
    if (!std::isfinite(design.b0) || !std::isfinite(-design.b0) || !std::isfinite(design.a1)
        || !std::isfinite(design.a2)) {
        fail(errorMessage, tr("Could not calculate the band-pass filter coefficients."));
        return false;
    }
    m_b0 = design.b0;
    m_b1 = 0.0;
    m_b2 = -design.b0;
    m_a1 = design.a1;
    m_a2 = design.a2;
    m_configured = true;
    m_z1.clear();
    m_z2.clear();
    return true;
}

void TemporalBandpassFilter::reset()
{
    m_stateInitialised = false;
    m_z1.clear();
    m_z2.clear();
}

bool TemporalBandpassFilter::stateMatches(const std::vector<FloatPlane> &levels) const
{
    if (levels.size() != m_z1.size() || levels.size() != m_z2.size())
        return false;
    for (size_t level = 0; level < levels.size(); ++level) {
        const FloatPlane &plane = levels[level];
        for (const FloatPlane *state : {&m_z1[level], &m_z2[level]}) {
            if (plane.width() != state->width() || plane.height() != state->height())
                return false;
        }
    }
    return true;
}

bool TemporalBandpassFilter::prepareState(const std::vector<FloatPlane> &inputLevels, QString *errorMessage)
{
    if (!m_configured) {
        fail(errorMessage, tr("The temporal filter has not been configured."));
        return false;
    }
    if (inputLevels.empty()) {
        fail(errorMessage, tr("Phase components and an output container are required."));
        return false;
    }
    if (std::any_of(inputLevels.begin(), inputLevels.end(), [](const FloatPlane &p) { return p.isEmpty(); })) {
        fail(errorMessage, tr("The phase pyramid contains an empty level."));
        return false;
    }
    if (m_stateInitialised && !stateMatches(inputLevels)) {
        fail(errorMessage, tr("The phase pyramid size changed during processing."));
        return false;
    }
    if (!m_stateInitialised) {
        m_z1.resize(inputLevels.size());
        m_z2.resize(inputLevels.size());
        for (size_t level = 0; level < inputLevels.size(); ++level) {
            m_z1[level].reset(inputLevels[level].width(), inputLevels[level].height());
            m_z2[level].reset(inputLevels[level].width(), inputLevels[level].height());
        }
        m_stateInitialised = true;
    }
    return true;
}

FilterCoefficients TemporalBandpassFilter::singlePrecisionCoefficients() const
{
    return {static_cast<float>(m_b0), static_cast<float>(m_b1), static_cast<float>(m_b2), static_cast<float>(m_a1),
            static_cast<float>(m_a2)};
}

bool TemporalBandpassFilter::process(const std::vector<FloatPlane> &inputLevels, std::vector<FloatPlane> *outputLevels,
                                     MotionWorkerPool &pool, QString *errorMessage)
{
    // Configuration is checked first (in prepareState), then the containers.
    if (m_configured && !outputLevels) {
        fail(errorMessage, tr("Phase components and an output container are required."));
        return false;
    }
    if (!prepareState(inputLevels, errorMessage))
        return false;

    // The output planes are reused from the previous call where they exist.
    outputLevels->resize(inputLevels.size());
    const FilterCoefficients c = singlePrecisionCoefficients();
    for (size_t level = 0; level < inputLevels.size(); ++level) {
        const FloatPlane &inputPlane = inputLevels[level];
        FloatPlane &outputPlane = (*outputLevels)[level];
        outputPlane.reshape(inputPlane.width(), inputPlane.height());
        const float *input = inputPlane.data();
        float *output = outputPlane.data();
        float *z1 = m_z1[level].data();
        float *z2 = m_z2[level].data();
        parallelFor(pool, inputPlane.sampleCount(), 12, [&](int begin, int end) {
            for (int i = begin; i < end; ++i) {
                const float x = input[i];
                const float y = c.b0 * x + z1[i];
                z1[i] = (c.b1 * x + z2[i]) - c.a1 * y;
                z2[i] = c.b2 * x - c.a2 * y;
                output[i] = y;
            }
        });
    }
    return true;
}

namespace {

// 0 for what is not a positive frame count that fits into int64 (2^63 itself does not).
qint64 frameCountOrZero(double frames)
{
    if (!std::isfinite(frames) || frames <= 0.0 || frames >= 9223372036854775808.0)
        return 0;
    return static_cast<qint64>(frames);
}

// C + S of the settling rule; 0 when the band is invalid.
double settledFrames(const MotionSettings &settings, double captureFps)
{
    if (!bandValid(settings, captureFps))
        return 0.0;
    const BandpassDesign design = designBandpass(captureFps, settings.lowerFrequencyHz, settings.upperFrequencyHz);
    const double radius = poleRadius(design.a1, design.a2);
    const double settlingFrames = radius > 0.0 && radius < 1.0 ? std::ceil(std::log(0.01) / std::log(radius)) : 0.0;
    const double cycleFrames = std::ceil(captureFps * 5.0 / settings.lowerFrequencyHz);
    return cycleFrames + settlingFrames;
}

// Frame counts that are whole but for rounding (30 fps / 0.4 Hz) are taken as whole.
constexpr double roundingTolerance = 1e-9;
// A second-order section answers from its current sample and its two previous ones.
constexpr double filterMinimumSamples = 3.0;

} // namespace

qint64 requiredMinimumFrameCount(const MotionSettings &settings, double captureFps)
{
    if (!bandValid(settings, captureFps))
        return 0;
    const double periodFrames = captureFps / settings.lowerFrequencyHz;
    return frameCountOrZero(std::max(std::ceil(periodFrames - roundingTolerance), filterMinimumSamples));
}

qint64 recommendedMinimumFrameCount(const MotionSettings &settings, double captureFps)
{
    const double settled = settledFrames(settings, captureFps);
    return settled > 0.0 ? frameCountOrZero(std::max(settled, std::ceil(2.0 * captureFps))) : 0;
}

qint64 lowerEdgePeriodCount(const MotionSettings &settings, double captureFps, qint64 frameCount)
{
    if (!bandValid(settings, captureFps))
        return 0;
    const double periods = static_cast<double>(frameCount) * settings.lowerFrequencyHz / captureFps;
    return frameCountOrZero(std::floor(periods + roundingTolerance));
}

} // namespace ovra::motion_core
