// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>
#include <QSize>
#include <QtGlobal>

namespace ovra::motion_core {

// What the user asked the motion core to do. The fragment fields are only carried
// for the pipeline; the core itself reads the band, factor, region and threads.
struct MotionSettings
{
    qint64 startFrame = -1;
    qint64 endFrameExclusive = -1;
    qint64 playbackStartUs = 0;
    qint64 playbackEndUs = -1;
    QRectF regionOfInterest = QRectF(0.0, 0.0, 1.0, 1.0);
    QRectF stabilizationReferenceRegion;
    bool cameraMotionCompensationEnabled = false;
    double lowerFrequencyHz = 0.0;
    double upperFrequencyHz = 0.0;
    double amplificationFactor = 1.0;
    double rotationSpeedRpm = 0.0;
    qint32 workerThreadCount = 0;
    bool regionProcessingOptimizationEnabled = true;
};

// Band edges in hertz of capture time: 0 < lower < upper < Nyquist.
bool bandParametersValid(double captureFps, double lowerHz, double upperHz);
bool bandValid(const MotionSettings &settings, double captureFps);
// The band reaches into the top 20 % below Nyquist, where the filter gets unreliable.
bool nearNyquist(const MotionSettings &settings, double captureFps);
bool amplificationValid(const MotionSettings &settings);
// The shaft speeds the rotation band helper accepts; 0 means none given.
constexpr double minimumRotationSpeedRpm = 500.0;
constexpr double maximumRotationSpeedRpm = 7000.0;
bool rotationSpeedValid(const MotionSettings &settings);
double harmonicFrequencyHz(const MotionSettings &settings, int order);
double rotationFrequencyHz(const MotionSettings &settings);
// The most motion worker threads a run may ask for.
constexpr int workerThreadCountLimit = 256;
// 0 (automatic) to workerThreadCountLimit.
bool workerCountValid(const MotionSettings &settings);

bool normalisedRectValid(const QRectF &rect);
bool regionsValid(const MotionSettings &settings);
// The region must be wider and higher than the feathered edge on both sides.
bool regionLargeEnough(const MotionSettings &settings, const QSize &frameSize);
double regionFeatherRadius(const QSize &frameSize);
double minimumRegionWidth(const QSize &frameSize);
double minimumRegionHeight(const QSize &frameSize);

int maximumWorkerThreadCount();
int effectiveWorkerThreadCount(const MotionSettings &settings);

} // namespace ovra::motion_core
