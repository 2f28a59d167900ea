// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/ProcessingRecords.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace ovra::project_data {

qint64 ProcessingPerformance::accountedElapsedUs() const
{
    return sourceOpeningUs + sourceSeekUs + decoderUs + motionProcessingUs + encoderStartupUs + encoderWriteUs
        + encoderFinalizeUs + parametersWriteUs + publicationUs;
}

qint64 ProcessingPerformance::unaccountedElapsedUs() const
{
    return std::max<qint64>(totalElapsedUs - accountedElapsedUs(), 0);
}

qint64 ProcessingPerformance::encoderCriticalPathUs() const
{
    return encoderStartupUs + encoderWriteUs + encoderFinalizeUs;
}

double ProcessingPerformance::frameThroughputFps() const
{
    if (measuredFrames < 1 || frameLoopElapsedUs < 1)
        return 0.0;
    return static_cast<double>(measuredFrames) * 1e6 / static_cast<double>(frameLoopElapsedUs);
}

double ProcessingProgress::fraction() const
{
    if (totalFrames < 1)
        return 0.0;
    return std::clamp(static_cast<double>(processedFrames) / static_cast<double>(totalFrames), 0.0, 1.0);
}

qint64 ProcessingProgress::remainingTimeUs() const
{
    const qint64 elapsed = performance.frameLoopElapsedUs;
    if (processedFrames <= 0 || totalFrames <= processedFrames || elapsed <= 0)
        return 0;
    return std::llround(double(elapsed) / double(processedFrames) * double(totalFrames - processedFrames));
}

bool ProcessingRequest::acceptable() const
{
    return !sourceMetadata.filePath.isEmpty() && (analysisMode || !outputVideoPath.isEmpty());
}

ProcessingResult ProcessingResult::failed(const QString &message, const QString &warnings)
{
    ProcessingResult result;
    result.state = ProcessingState::Failed;
    result.errorMessage = joinMessages(message, warnings);
    return result;
}

ProcessingResult ProcessingResult::cancelled(const QString &warnings)
{
    ProcessingResult result;
    result.state = ProcessingState::Cancelled;
    result.errorMessage = joinMessages(
        QCoreApplication::translate("VideoProcessingPipeline", "Processing was cancelled by the user."), warnings);
    return result;
}

QString joinMessages(const QString &message, const QString &warnings)
{
    if (warnings.isEmpty())
        return message;
    return message + QLatin1Char(' ') + warnings;
}

void registerProcessingMetaTypes()
{
    qRegisterMetaType<ProcessingState>("ovra::project_data::ProcessingState");
    qRegisterMetaType<ProcessingProgress>("ovra::project_data::ProcessingProgress");
    qRegisterMetaType<ProcessingResult>("ovra::project_data::ProcessingResult");
}

} // namespace ovra::project_data
