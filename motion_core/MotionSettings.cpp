// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/MotionSettings.h"

#include <QThread>

#include <algorithm>
#include <cmath>

namespace ovra::motion_core {

bool bandParametersValid(double captureFps, double lowerHz, double upperHz)
{
    return std::isfinite(captureFps) && std::isfinite(lowerHz) && std::isfinite(upperHz) && captureFps > 0.0
        && lowerHz > 0.0 && upperHz > lowerHz && upperHz < captureFps * 0.5;
}

bool bandValid(const MotionSettings &settings, double captureFps)
{
    return bandParametersValid(captureFps, settings.lowerFrequencyHz, settings.upperFrequencyHz);
}

bool nearNyquist(const MotionSettings &settings, double captureFps)
{
    return bandValid(settings, captureFps) && settings.upperFrequencyHz >= captureFps * 0.8 * 0.5;
}

bool amplificationValid(const MotionSettings &settings)
{
    const double factor = settings.amplificationFactor;
    return std::isfinite(factor) && factor >= 1.0 && factor <= 50.0;
}

bool rotationSpeedValid(const MotionSettings &settings)
{
    const double rpm = settings.rotationSpeedRpm;
    return std::isfinite(rpm) && (rpm == 0.0 || (rpm >= minimumRotationSpeedRpm && rpm <= maximumRotationSpeedRpm));
}

double harmonicFrequencyHz(const MotionSettings &settings, int order)
{
    if (order < 1)
        return 0.0;
    return settings.rotationSpeedRpm > 0.0 ? order * settings.rotationSpeedRpm / 60.0 : 0.0;
}

double rotationFrequencyHz(const MotionSettings &settings)
{
    return settings.rotationSpeedRpm > 0.0 ? settings.rotationSpeedRpm / 60.0 : 0.0;
}

bool workerCountValid(const MotionSettings &settings)
{
    // Unsigned on purpose: a negative request wraps around and fails.
    return static_cast<quint32>(settings.workerThreadCount) <= static_cast<quint32>(workerThreadCountLimit);
}

bool normalisedRectValid(const QRectF &rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width())
        && std::isfinite(rect.height()) && rect.width() > 0.0 && rect.height() > 0.0 && rect.left() >= 0.0
        && rect.top() >= 0.0 && rect.right() <= 1.0 && rect.bottom() <= 1.0;
}

bool regionsValid(const MotionSettings &settings)
{
    if (!normalisedRectValid(settings.regionOfInterest))
        return false;
    return !settings.cameraMotionCompensationEnabled || normalisedRectValid(settings.stabilizationReferenceRegion);
}

bool regionLargeEnough(const MotionSettings &settings, const QSize &frameSize)
{
    const auto largeEnough = [&frameSize](const QRectF &region) {
        return region.width() + 1e-9 >= minimumRegionWidth(frameSize)
            && region.height() + 1e-9 >= minimumRegionHeight(frameSize);
    };
    return regionsValid(settings) && !frameSize.isEmpty() && largeEnough(settings.regionOfInterest)
        && (!settings.cameraMotionCompensationEnabled || largeEnough(settings.stabilizationReferenceRegion));
}

double regionFeatherRadius(const QSize &frameSize)
{
    if (frameSize.isEmpty())
        return 0.0;
    return std::clamp(std::min(frameSize.width(), frameSize.height()) * 0.01, 2.0, 24.0);
}

double minimumRegionWidth(const QSize &frameSize)
{
    if (frameSize.isEmpty())
        return 0.0;
    return std::min(1.0, (2.0 * regionFeatherRadius(frameSize) + 1.0) / frameSize.width());
}

double minimumRegionHeight(const QSize &frameSize)
{
    if (frameSize.isEmpty())
        return 0.0;
    return std::min(1.0, (2.0 * regionFeatherRadius(frameSize) + 1.0) / frameSize.height());
}

int maximumWorkerThreadCount()
{
    return std::clamp(QThread::idealThreadCount(), 1, workerThreadCountLimit);
}

int effectiveWorkerThreadCount(const MotionSettings &settings)
{
    if (settings.workerThreadCount < 1)
        return maximumWorkerThreadCount();
    return std::min(maximumWorkerThreadCount(), static_cast<int>(settings.workerThreadCount));
}

} // namespace ovra::motion_core
