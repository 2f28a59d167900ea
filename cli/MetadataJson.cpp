// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/MetadataJson.h"

#include <QJsonArray>

namespace ovra::cli {

QJsonObject metadataToJson(const media::VideoMetadata &metadata, int rotationDegrees, bool includeTimestamps)
{
    QJsonObject json{
        {QStringLiteral("filePath"), metadata.filePath},
        {QStringLiteral("containerName"), metadata.containerName},
        {QStringLiteral("codecName"), metadata.codecName},
        {QStringLiteral("frameSize"),
         QJsonObject{{QStringLiteral("width"), metadata.frameSize.width()},
                     {QStringLiteral("height"), metadata.frameSize.height()}}},
        {QStringLiteral("pixelAspectRatio"), metadata.pixelAspectRatio},
        {QStringLiteral("durationUs"), metadata.durationUs},
        {QStringLiteral("frameCount"), metadata.frameCount},
        {QStringLiteral("nominalFrameRate"), metadata.nominalFrameRate},
        {QStringLiteral("detectedCaptureFrameRate"), metadata.detectedCaptureFrameRate},
        {QStringLiteral("captureFrameRate"), metadata.captureFrameRate},
        {QStringLiteral("captureFrameRateManual"), metadata.captureFrameRateManual},
        {QStringLiteral("slowMotionPlaybackIntent"), metadata.slowMotionPlaybackIntent},
        {QStringLiteral("variableFrameRate"), metadata.variableFrameRate},
        {QStringLiteral("frameTimestampCount"), metadata.frameTimestamps.size()},
        {QStringLiteral("uniformStartFrame"), metadata.uniformStartFrame},
        {QStringLiteral("uniformTailFrameRate"), metadata.uniformTailFrameRate},
        {QStringLiteral("rotationDegrees"), rotationDegrees},
        {QStringLiteral("hasValidFrameSize"), metadata.hasValidFrameSize()},
        {QStringLiteral("hasTiming"), metadata.hasTiming()},
        {QStringLiteral("hasTimeGrid"), metadata.hasTimeGrid()},
        {QStringLiteral("playbackFrameRate"), metadata.playbackFrameRate()},
        {QStringLiteral("playbackDurationUs"), metadata.playbackDurationUs()},
        {QStringLiteral("captureFrameRateKnown"), metadata.captureFrameRateKnown()},
        {QStringLiteral("effectiveFrameRate"), metadata.effectiveFrameRate()},
        {QStringLiteral("captureTimingMapRequired"), metadata.captureTimingMapRequired()},
        {QStringLiteral("estimatedRecordingDurationUs"), metadata.estimatedRecordingDurationUs()},
        {QStringLiteral("averageSlowMotionFactor"), metadata.averageSlowMotionFactor()},
    };
    if (includeTimestamps) {
        QJsonArray timestamps;
        for (const qint64 timestamp : metadata.frameTimestamps)
            timestamps.append(timestamp);
        json.insert(QStringLiteral("frameTimestamps"), timestamps);
    }
    return json;
}

} // namespace ovra::cli
