// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoEncodingSettings.h"
#include "media/VideoMetadata.h"
#include "motion_core/CameraMotionEstimator.h"
#include "motion_core/MotionSettings.h"
#include "motion_core/MotionStageTimings.h"
#include "processing/MeasurementScale.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace ovra::project_data {

class AnalysisResult;

enum class ProcessingState {
    Idle,
    Running,
    Succeeded,
    Failed,
    Cancelled
};

// Counters of one processing run; durations in microseconds.
struct ProcessingPerformance
{
    qint64 totalElapsedUs = 0;
    qint64 frameLoopElapsedUs = 0;
    qint64 sourceOpeningUs = 0;
    qint64 sourceSeekUs = 0;
    qint64 decoderUs = 0;
    qint64 motionProcessingUs = 0;
    qint64 encoderStartupUs = 0;
    qint64 encoderWriteUs = 0;
    qint64 encoderFinalizeUs = 0;
    qint64 parametersWriteUs = 0;
    qint64 publicationUs = 0;
    qint64 measuredFrames = 0;
    qint32 availableLogicalProcessorCount = 0;
    qint32 requestedMotionWorkerThreadCount = 0;
    qint32 motionWorkerThreadCount = 1;
    qint32 decoderThreadLimit = 0;
    qint32 encoderThreadLimit = 0;
    // The motion core's own counters of the run: its stages and the size it processed.
    motion_core::MotionStageTimings motionStages;

    void takeStageTimings(const motion_core::MotionStageTimings &timings) { motionStages = timings; }

    qint64 accountedElapsedUs() const;
    qint64 unaccountedElapsedUs() const;
    qint64 encoderCriticalPathUs() const;
    double frameThroughputFps() const;
    bool hasData() const { return totalElapsedUs > 0 || measuredFrames > 0; }
};

struct ProcessingProgress
{
    ProcessingState state = ProcessingState::Idle;
    QString stageName;
    qint64 processedFrames = 0;
    qint64 totalFrames = 0;
    ProcessingPerformance performance;

    // processedFrames / totalFrames in [0, 1]; 0 while the total is unknown.
    double fraction() const;
    // The time the remaining frames take at the average pace so far; 0 until it can be told.
    qint64 remainingTimeUs() const;
};

// Descriptive strings written to the parameters file.
struct RecordingDetails
{
    QString equipmentType;
    QString equipmentDesignation;
    QString inspectedComponent;
    QDateTime recordingDateTime;
    QString operatingMode;
    QString loadDescription;
    QString comment;
};

// What an exported video shows: the result alone, or the source frame beside or above its result.
enum class OutputLayout {
    Result,
    SideBySide,
    Stacked
};

struct ProcessingRequest
{
    media::VideoMetadata sourceMetadata;
    motion_core::MotionSettings settings;
    media::VideoEncodingSettings encoding;
    RecordingDetails recording;
    QString outputVideoPath;
    QString parametersFilePath; // empty: outputVideoPath + ".json"
    bool analysisMode = false;
    std::shared_ptr<AnalysisResult> sourceResult;
    // Recorded in the parameters file; the processing itself works in pixels.
    std::optional<processing::MeasurementScale> measurementScale;
    OutputLayout layout = OutputLayout::Result; // exports only

    // An input path, and an output path unless the run only analyses.
    bool acceptable() const;
};

struct ProcessingResult
{
    ProcessingState state = ProcessingState::Idle;
    QString outputVideoPath;
    QString parametersFilePath;
    QString errorMessage;
    ProcessingPerformance performance;
    std::shared_ptr<AnalysisResult> analysisResult;
    // How far the camera moved, when the run compensated its motion.
    std::optional<motion_core::CameraMotionSummary> cameraMotion;

    bool succeeded() const { return state == ProcessingState::Succeeded; }

    static ProcessingResult failed(const QString &message, const QString &warnings = {});
    static ProcessingResult cancelled(const QString &warnings = {});
};

// A primary message followed by clean-up warnings, one space apart.
QString joinMessages(const QString &message, const QString &warnings);

// Makes the records usable in queued signal connections between threads.
void registerProcessingMetaTypes();

} // namespace ovra::project_data

namespace ovra::processing {

// Receives the progress of a run on the thread that runs it.
using ProgressCallback = std::function<void(const project_data::ProcessingProgress &)>;

} // namespace ovra::processing

Q_DECLARE_METATYPE(ovra::project_data::ProcessingState)
Q_DECLARE_METATYPE(ovra::project_data::ProcessingProgress)
Q_DECLARE_METATYPE(ovra::project_data::ProcessingResult)
