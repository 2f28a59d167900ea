// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/AnalysisSettingsSnapshot.h"

#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/VideoSessionController.h"

namespace ovra::ui::controllers {

AnalysisSettingsSnapshot::AnalysisSettingsSnapshot(VideoSessionController *videoSession,
                                                   ProcessingSettingsController *settings, QObject *parent)
    : QObject(parent)
    , m_videoSession(videoSession)
    , m_settings(settings)
{
}

void AnalysisSettingsSnapshot::take()
{
    m_values = Values{m_videoSession->captureFrameRate(), m_videoSession->captureFrameRateManual(),
                      m_settings->lowerFrequencyHz(),     m_settings->upperFrequencyHz(),
                      m_settings->amplificationFactor(),  m_settings->rotationSpeedRpm(),
                      m_settings->workerThreadCount(),    m_settings->regionProcessingOptimizationEnabled(),
                      m_settings->cameraMotion()};
}

void AnalysisSettingsSnapshot::keep()
{
    m_values.reset();
}

void AnalysisSettingsSnapshot::restore()
{
    if (!m_values)
        return;
    const Values values = *m_values;
    m_values.reset();
    // The detected rate comes back by dropping the override, not by setting it as a manual one.
    if (values.captureFrameRateManual)
        m_videoSession->setCaptureFrameRate(values.captureFrameRate);
    else
        m_videoSession->clearCaptureFrameRateOverride();
    m_settings->setFrequencyBand(values.lowerFrequencyHz, values.upperFrequencyHz);
    m_settings->setAmplificationFactor(values.amplificationFactor);
    m_settings->setRotationSpeedRpm(values.rotationSpeedRpm);
    m_settings->setWorkerThreadCount(values.workerThreadCount);
    m_settings->setRegionProcessingOptimizationEnabled(values.regionProcessingOptimizationEnabled);
    m_settings->setCameraMotion(values.cameraMotion);
}

} // namespace ovra::ui::controllers
