// SPDX-License-Identifier: GPL-3.0-or-later
#include "processing/ProcessingParametersWriter.h"

#include "media/StagingFile.h"
#include "motion_core/MotionSettings.h"
#include "ovra/Version.h"
#include "processing/VideoWatermarkRenderer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <exception>

namespace ovra::processing {
namespace {

QJsonObject rectangleObject(const QRectF &rectangle)
{
    return QJsonObject{{QStringLiteral("x"), rectangle.x()},
                       {QStringLiteral("y"), rectangle.y()},
                       {QStringLiteral("width"), rectangle.width()},
                       {QStringLiteral("height"), rectangle.height()}};
}

QJsonObject sourceObject(const project_data::ProcessingRequest &request, const media::VideoMetadata &opened,
                         double captureFps)
{
    media::VideoMetadata atCaptureRate = opened;
    atCaptureRate.captureFrameRate = captureFps;
    return QJsonObject{
        {QStringLiteral("filePath"), opened.filePath},
        {QStringLiteral("container"), opened.containerName},
        {QStringLiteral("videoCodec"), opened.codecName},
        {QStringLiteral("width"), opened.frameSize.width()},
        {QStringLiteral("height"), opened.frameSize.height()},
        {QStringLiteral("durationUs"), opened.durationUs},
        {QStringLiteral("frameCount"), opened.frameCount},
        {QStringLiteral("nominalFrameRate"), opened.nominalFrameRate},
        {QStringLiteral("averagePlaybackFrameRate"), opened.playbackFrameRate()},
        {QStringLiteral("detectedCaptureFrameRate"), opened.detectedCaptureFrameRate},
        {QStringLiteral("captureFrameRate"), captureFps},
        {QStringLiteral("captureFrameRateManual"), request.sourceMetadata.captureFrameRateManual},
        {QStringLiteral("slowMotionPlaybackIntent"), opened.slowMotionPlaybackIntent},
        {QStringLiteral("estimatedRecordingDurationUs"), atCaptureRate.estimatedRecordingDurationUs()},
        {QStringLiteral("averageSlowMotionFactor"), atCaptureRate.averageSlowMotionFactor()},
        {QStringLiteral("variableFrameRate"), opened.variableFrameRate},
        {QStringLiteral("uniformStartFrame"), opened.uniformStartFrame},
    };
}

QJsonObject processingObject(const motion_core::MotionSettings &settings, qint64 processedFrameCount)
{
    const QJsonValue null(QJsonValue::Null);
    return QJsonObject{
        {QStringLiteral("fragment"),
         QJsonObject{{QStringLiteral("startFrame"), settings.startFrame},
                     {QStringLiteral("endFrameExclusive"), settings.endFrameExclusive},
                     {QStringLiteral("startTimeUs"), settings.playbackStartUs},
                     {QStringLiteral("endTimeUs"), settings.playbackEndUs},
                     {QStringLiteral("processedFrameCount"), processedFrameCount}}},
        {QStringLiteral("regionCoordinateSpace"), QStringLiteral("decodedFrameNormalizedTopLeft")},
        {QStringLiteral("regionOfInterest"), rectangleObject(settings.regionOfInterest)},
        {QStringLiteral("regionProcessingOptimizationEnabled"), settings.regionProcessingOptimizationEnabled},
        {QStringLiteral("expandedRegionAmplificationFactor"),
         settings.regionProcessingOptimizationEnabled ? QJsonValue(settings.amplificationFactor * 0.5) : null},
        {QStringLiteral("stabilizationReferenceRegion"),
         settings.cameraMotionCompensationEnabled ? QJsonValue(rectangleObject(settings.stabilizationReferenceRegion))
                                                  : null},
        {QStringLiteral("lowerFrequencyHz"), settings.lowerFrequencyHz},
        {QStringLiteral("upperFrequencyHz"), settings.upperFrequencyHz},
        {QStringLiteral("amplificationFactor"), settings.amplificationFactor},
        {QStringLiteral("rotationSpeedRpm"), settings.rotationSpeedRpm},
        {QStringLiteral("rotationFrequencyHz"),
         settings.rotationSpeedRpm > 0.0 ? settings.rotationSpeedRpm / 60.0 : 0.0},
        {QStringLiteral("workerThreadCount"), settings.workerThreadCount},
        {QStringLiteral("effectiveWorkerThreadCount"), motion_core::effectiveWorkerThreadCount(settings)},
        {QStringLiteral("workerThreadMode"),
         settings.workerThreadCount != 0 ? QStringLiteral("manual") : QStringLiteral("automatic")},
    };
}

QJsonObject algorithmObject(bool cameraMotionCompensated)
{
    if (cameraMotionCompensated)
        return QJsonObject{
            {QStringLiteral("name"), QStringLiteral("Riesz phase magnification with camera motion compensation")},
            {QStringLiteral("version"), QStringLiteral("riesz-phase-cpu-0.4+camera-similarity-1")}};
    return QJsonObject{{QStringLiteral("name"), QStringLiteral("Riesz phase magnification")},
                       {QStringLiteral("version"), QStringLiteral("riesz-phase-cpu-0.4")}};
}

QString layoutKey(project_data::OutputLayout layout)
{
    switch (layout) {
    case project_data::OutputLayout::SideBySide:
        return QStringLiteral("sideBySide");
    case project_data::OutputLayout::Stacked:
        return QStringLiteral("stacked");
    case project_data::OutputLayout::Result:
        break;
    }
    return QStringLiteral("result");
}

QJsonObject exportObject(const project_data::ProcessingRequest &request, const media::VideoMetadata &opened)
{
    const media::VideoEncodingSettings &encoding = request.encoding;
    return QJsonObject{
        {QStringLiteral("videoFilePath"), request.outputVideoPath},
        {QStringLiteral("container"), encoding.container},
        {QStringLiteral("videoCodec"), encoding.videoCodec},
        {QStringLiteral("qualityPercent"), encoding.qualityPercent},
        {QStringLiteral("includeAudio"), encoding.includeAudio},
        {QStringLiteral("preserveFrameSize"), encoding.preserveFrameSize},
        {QStringLiteral("preserveFrameRate"), encoding.preserveFrameRate},
        {QStringLiteral("layout"), layoutKey(request.layout)},
        // The rate the sink encodes at.
        {QStringLiteral("playbackFrameRate"), opened.uniformFrameRate()},
        {QStringLiteral("watermark"),
         QJsonObject{{QStringLiteral("enabled"), true},
                     {QStringLiteral("text"), VideoWatermarkRenderer::text()},
                     {QStringLiteral("position"), QStringLiteral("bottomRight")},
                     {QStringLiteral("maximumWidthRatio"), VideoWatermarkRenderer::maximumWidthRatio},
                     {QStringLiteral("marginRatio"), VideoWatermarkRenderer::marginRatio}}},
    };
}

QJsonObject recordingObject(const project_data::RecordingDetails &recording)
{
    return QJsonObject{
        {QStringLiteral("equipmentType"), recording.equipmentType},
        {QStringLiteral("equipmentDesignation"), recording.equipmentDesignation},
        {QStringLiteral("inspectedComponent"), recording.inspectedComponent},
        {QStringLiteral("recordingDateTime"),
         recording.recordingDateTime.isValid() ? recording.recordingDateTime.toString(Qt::ISODateWithMs) : QString()},
        {QStringLiteral("operatingMode"), recording.operatingMode},
        {QStringLiteral("loadDescription"), recording.loadDescription},
        {QStringLiteral("comment"), recording.comment},
    };
}

// Deletes the staging file after a failure and adds a warning when that fails too.
QString removeAfterFailure(QFile &file, const QString &message)
{
    return project_data::joinMessages(message, media::removeFile(file.fileName()));
}

} // namespace

QByteArray ProcessingParametersWriter::buildParametersDocument(
    const project_data::ProcessingRequest &parametersRequest, const media::VideoMetadata &openedMetadata,
    double captureFps, qint64 processedFrameCount, const std::optional<motion_core::CameraMotionSummary> &cameraMotion)
{
    QJsonObject processing = processingObject(parametersRequest.settings, processedFrameCount);
    processing.insert(QStringLiteral("cameraMotion"),
                      cameraMotion ? QJsonValue(QJsonObject{{QStringLiteral("rmsPixels"), cameraMotion->rmsPixels},
                                                            {QStringLiteral("peakPixels"), cameraMotion->peakPixels}})
                                   : QJsonValue(QJsonValue::Null));
    QJsonObject document{
        {QStringLiteral("schemaVersion"), 1},
        {QStringLiteral("createdAtUtc"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {QStringLiteral("application"),
         QJsonObject{{QStringLiteral("name"), QStringLiteral(OVRA_APPLICATION_NAME)},
                     {QStringLiteral("version"), QStringLiteral(OVRA_VERSION " build " OVRA_BUILD_NUMBER)}}},
        {QStringLiteral("algorithm"), algorithmObject(cameraMotion.has_value())},
        {QStringLiteral("source"), sourceObject(parametersRequest, openedMetadata, captureFps)},
        {QStringLiteral("processing"), processing},
        {QStringLiteral("export"), exportObject(parametersRequest, openedMetadata)},
        {QStringLiteral("recording"), recordingObject(parametersRequest.recording)},
    };
    if (const std::optional<MeasurementScale> &scale = parametersRequest.measurementScale)
        document.insert(QStringLiteral("measurementScale"),
                        QJsonObject{{QStringLiteral("millimetresPerPixel"), scale->millimetresPerPixel},
                                    {QStringLiteral("origin"), scale->originKey()}});
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

bool ProcessingParametersWriter::writeStagingFile(const QString &stagingPath,
                                                  const project_data::ProcessingRequest &parametersRequest,
                                                  const media::VideoMetadata &openedMetadata, double captureFps,
                                                  qint64 processedFrameCount,
                                                  const std::optional<motion_core::CameraMotionSummary> &cameraMotion,
                                                  QString *errorMessage)
{
    const auto fail = [errorMessage](const QString &message) {
        if (errorMessage)
            *errorMessage = message;
        return false;
    };
    const QFileInfo reserved(stagingPath);
    if (stagingPath.isEmpty() || !reserved.exists() || reserved.isSymLink() || !reserved.isFile()
        || reserved.size() != 0)
        return fail(tr("The reserved staging JSON file is missing or is not empty."));

    QFile file(reserved.absoluteFilePath());
    try {
        const QByteArray bytes
            = buildParametersDocument(parametersRequest, openedMetadata, captureFps, processedFrameCount, cameraMotion);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(
                removeAfterFailure(file, tr("Could not open the staging JSON file: %1").arg(file.errorString())));
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            const QString error = file.errorString();
            file.close();
            return fail(removeAfterFailure(file, tr("Could not write the staging JSON file: %1").arg(error)));
        }
        file.close();
        if (QFileInfo(file.fileName()).size() <= 0)
            return fail(removeAfterFailure(file, tr("The written staging JSON file is empty.")));
    } catch (const std::exception &exception) {
        file.close();
        return fail(removeAfterFailure(
            file,
            tr("Exception while writing the staging JSON file: %1").arg(QString::fromLocal8Bit(exception.what()))));
    } catch (...) {
        file.close();
        return fail(removeAfterFailure(file, tr("Unknown exception while writing the staging JSON file.")));
    }
    if (errorMessage)
        errorMessage->clear();
    return true;
}

} // namespace ovra::processing
