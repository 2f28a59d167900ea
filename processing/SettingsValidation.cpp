// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/SettingsValidation.h"

#include "motion_core/TemporalBandpassFilter.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ovra::processing {
namespace {

// The settings controller shows these messages, so they are translated in its name.
struct SettingsMessages
{
    Q_DECLARE_TR_FUNCTIONS(ProcessingSettingsController)
};

} // namespace

bool fragmentSelectionValid(const media::VideoMetadata &metadata, qint64 startFrame, qint64 endFrameExclusive)
{
    return metadata.frameCount >= 2 && startFrame >= 0 && endFrameExclusive <= metadata.frameCount
        && endFrameExclusive - startFrame >= 2;
}

bool fragmentUsableForFrequencies(const media::VideoMetadata &metadata, qint64 startFrame, qint64 endFrameExclusive)
{
    if (!fragmentSelectionValid(metadata, startFrame, endFrameExclusive))
        return false;
    return !metadata.variableFrameRate || (metadata.uniformStartFrame >= 0 && startFrame >= metadata.uniformStartFrame);
}

qint64 automaticStartFrame(const media::VideoMetadata &metadata)
{
    return metadata.uniformStartFrame >= 1 ? metadata.uniformStartFrame : 0;
}

qint64 playbackTimeUs(const media::VideoMetadata &metadata, qint64 frameIndex)
{
    const double rate = metadata.playbackFrameRate();
    if (!media::isValidRate(rate))
        return 0;
    const qint64 timeUs = media::roundHalfAwayFromZero(static_cast<double>(frameIndex) * 1e6 / rate);
    return std::clamp<qint64>(timeUs, 0, std::max<qint64>(metadata.durationUs, 0));
}

BandLimits bandLimits(double centreHz, double halfWidthPercent)
{
    return {(1.0 - halfWidthPercent / 100.0) * centreHz, (1.0 + halfWidthPercent / 100.0) * centreHz};
}

bool bandAround(double centreHz, double halfWidthPercent, double captureFps, double *lowerHz, double *upperHz)
{
    if (!std::isfinite(centreHz) || !std::isfinite(halfWidthPercent) || halfWidthPercent <= 0.0
        || halfWidthPercent >= 100.0)
        return false;
    const BandLimits band = bandLimits(centreHz, halfWidthPercent);
    if (band.lowerHz <= 0.0 || band.upperHz >= captureFps * 0.5)
        return false;
    *lowerHz = band.lowerHz;
    *upperHz = band.upperHz;
    return true;
}

bool rotationBand(const motion_core::MotionSettings &settings, int harmonicOrder, double halfWidthPercent,
                  double captureFps, double *lowerHz, double *upperHz)
{
    if (!motion_core::rotationSpeedValid(settings) || harmonicOrder < 1 || harmonicOrder > 3)
        return false;
    return bandAround(motion_core::harmonicFrequencyHz(settings, harmonicOrder), halfWidthPercent, captureFps, lowerHz,
                      upperHz);
}

bool fragmentLongEnough(const motion_core::MotionSettings &settings, double captureFps, qint64 frameCount)
{
    const qint64 required = motion_core::requiredMinimumFrameCount(settings, captureFps);
    return required >= 1 && frameCount >= required;
}

QString bandValidationMessage(double lowerHz, double upperHz, double captureFps)
{
    const double nyquistHz = captureFps * 0.5;
    if (!std::isfinite(lowerHz) || lowerHz <= 0.0)
        return SettingsMessages::tr("Lower frequency must be greater than 0 Hz.");
    if (!std::isfinite(upperHz) || lowerHz >= upperHz)
        return SettingsMessages::tr("Upper frequency must be greater than lower frequency.");
    if (upperHz >= nyquistHz)
        return SettingsMessages::tr("Upper frequency must be below the Nyquist frequency of %1 Hz.")
            .arg(QLocale().toString(nyquistHz, 'f', 2));
    return {};
}

QString fragmentTooShortMessage(const motion_core::MotionSettings &settings, double captureFps)
{
    return SettingsMessages::tr(
               "The selected fragment is too short for this frequency band. Select at least %1 frames.")
        .arg(motion_core::requiredMinimumFrameCount(settings, captureFps));
}

QString rotationSpeedMessage()
{
    return SettingsMessages::tr("Rotation speed must be 0 or between %1 and %2 RPM.")
        .arg(motion_core::minimumRotationSpeedRpm)
        .arg(motion_core::maximumRotationSpeedRpm);
}

QString settingsValidationMessage(const media::VideoMetadata &metadata, const motion_core::MotionSettings &settings,
                                  double captureFps)
{
    const qint64 start = settings.startFrame;
    const qint64 end = settings.endFrameExclusive;
    if (!media::isValidRate(captureFps))
        return SettingsMessages::tr("Enter the camera capture frame rate before choosing the frequency band.");
    if (metadata.variableFrameRate && !fragmentUsableForFrequencies(metadata, start, end))
        return SettingsMessages::tr(
            "The selected fragment contains irregular frame intervals. Select a verified uniform section.");
    if (!fragmentSelectionValid(metadata, start, end))
        return SettingsMessages::tr("Choose a valid analysis fragment.");
    if (!motion_core::regionLargeEnough(settings, metadata.frameSize))
        return SettingsMessages::tr("Choose a valid amplification region.");
    if (!motion_core::rotationSpeedValid(settings))
        return rotationSpeedMessage();
    if (const QString band = bandValidationMessage(settings.lowerFrequencyHz, settings.upperFrequencyHz, captureFps);
        !band.isEmpty())
        return band;
    if (!motion_core::amplificationValid(settings))
        return SettingsMessages::tr("Amplification factor must be between 1 and 50.");
    if (!fragmentLongEnough(settings, captureFps, end - start))
        return fragmentTooShortMessage(settings, captureFps);
    return {};
}

QString settingsWarningMessage(const motion_core::MotionSettings &settings, double captureFps)
{
    const qint64 frames = settings.endFrameExclusive - settings.startFrame;
    const qint64 recommended = motion_core::recommendedMinimumFrameCount(settings, captureFps);
    if (frames < recommended) {
        const qint64 periods = motion_core::lowerEdgePeriodCount(settings, captureFps, frames);
        return SettingsMessages::tr("The fragment is shorter than the recommended %1 frames: the frequency filter has "
                                    "little time to settle, so results are less reliable. It holds %n whole "
                                    "period(s) of the lower band edge, and the first of them is less reliable than "
                                    "the rest.",
                                    nullptr, int(std::min<qint64>(periods, std::numeric_limits<int>::max())))
            .arg(recommended);
    }
    if (motion_core::nearNyquist(settings, captureFps))
        return SettingsMessages::tr(
            "The selected band is close to Nyquist; reliable frequency separation may be poor.");
    if (settings.amplificationFactor > 20.0 && motion_core::amplificationValid(settings))
        return SettingsMessages::tr("High amplification may produce visible artifacts.");
    if (settings.amplificationFactor == 1.0)
        return SettingsMessages::tr("An amplification factor of 1 leaves motion unchanged.");
    return {};
}

} // namespace ovra::processing
