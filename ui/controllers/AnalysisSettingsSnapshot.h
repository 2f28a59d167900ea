// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/controllers/ProcessingSettingsController.h"

#include <QObject>
#include <QtQmlIntegration/qqmlintegration.h>

#include <optional>

namespace ovra::ui::controllers {

class VideoSessionController;

// The analysis settings as the processing dialog found them, which it edits live: closing it
// without starting an analysis puts them back.
class AnalysisSettingsSnapshot : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the settings snapshot.")

public:
    AnalysisSettingsSnapshot(VideoSessionController *videoSession, ProcessingSettingsController *settings,
                             QObject *parent = nullptr);

    Q_INVOKABLE void take();
    // Keeps the settings as they are now: a later restore changes nothing.
    Q_INVOKABLE void keep();
    Q_INVOKABLE void restore();

private:
    struct Values
    {
        double captureFrameRate;
        bool captureFrameRateManual;
        double lowerFrequencyHz;
        double upperFrequencyHz;
        double amplificationFactor;
        double rotationSpeedRpm;
        int workerThreadCount;
        bool regionProcessingOptimizationEnabled;
        ProcessingSettingsController::CameraMotion cameraMotion;
    };

    VideoSessionController *m_videoSession = nullptr;
    ProcessingSettingsController *m_settings = nullptr;
    std::optional<Values> m_values;
};

} // namespace ovra::ui::controllers
