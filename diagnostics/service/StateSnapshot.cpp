// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/StateSnapshot.h"

#include "diagnostics/service/PerformanceReport.h"
#include "media/libav/LibavRuntime.h"
#include "ovra/Version.h"
#include "ui/controllers/AnalysisController.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/ExportController.h"
#include "ui/controllers/MediaRuntimeController.h"
#include "ui/controllers/PlaybackController.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QDateTime>
#include <QMetaEnum>

namespace ovra::diagnostics::service {

using namespace ui::controllers;

namespace {

// Signed 64-bit values travel as JSON numbers, as every client expects.
QJsonValue integer(qint64 value)
{
    return double(value);
}

// A controller's state as the clients know it: the enum's key with a lower-case first letter.
template <typename State> QString stateName(State state)
{
    QString name = QString::fromLatin1(QMetaEnum::fromType<State>().valueToKey(int(state)));
    if (!name.isEmpty())
        name[0] = name[0].toLower();
    return name;
}

// How far the camera moved in the result's fragment, as the parameters file tells it; null when
// the result did not compensate the camera's motion.
QJsonValue cameraMotionFigures(const AnalysisController &analysis)
{
    if (!analysis.cameraMotionMeasured())
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("rmsPixels"), analysis.cameraMotionRmsPixels()},
                       {QStringLiteral("peakPixels"), analysis.cameraMotionPeakPixels()}};
}

} // namespace

QString StateSnapshot::currentOperation(const ApplicationController &application)
{
    return stateName(application.currentOperation());
}

QString StateSnapshot::timestamp()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QJsonObject StateSnapshot::build(const ApplicationController &application, quint64 revision)
{
    const QJsonObject runtime = mediaRuntime(application);
    return {{QStringLiteral("apiVersion"), 1},
            {QStringLiteral("applicationVersion"), QStringLiteral(OVRA_VERSION " build " OVRA_BUILD_NUMBER)},
            {QStringLiteral("applicationDisplayName"), QStringLiteral(OVRA_DISPLAY_NAME)},
            {QStringLiteral("revision"), double(revision)},
            {QStringLiteral("generatedAtUtc"), timestamp()},
            {QStringLiteral("source"), source(application)},
            {QStringLiteral("selection"), selection(application)},
            {QStringLiteral("settings"), settings(application)},
            {QStringLiteral("playback"), playback(*application.playback())},
            {QStringLiteral("preview"), analysis(application)},
            {QStringLiteral("export"), exporter(application)},
            {QStringLiteral("ffmpeg"), runtime},
            {QStringLiteral("mediaRuntime"), runtime},
            {QStringLiteral("libav"), libav()}};
}

QJsonObject StateSnapshot::source(const ApplicationController &application)
{
    const VideoSessionController &session = *application.videoSession();
    return {{QStringLiteral("state"), stateName(session.state())},
            {QStringLiteral("hasSource"), session.hasSource()},
            {QStringLiteral("busy"), session.busy()},
            {QStringLiteral("cancelling"), session.cancelling()},
            {QStringLiteral("ready"), session.ready()},
            {QStringLiteral("fileName"), session.fileName()},
            {QStringLiteral("filePath"), session.filePath()},
            {QStringLiteral("errorMessage"), session.errorMessage()},
            {QStringLiteral("metadata"), sourceMetadata(application)}};
}

QJsonObject StateSnapshot::sourceMetadata(const ApplicationController &application)
{
    const VideoSessionController &s = *application.videoSession();
    return {{QStringLiteral("containerName"), s.containerName()},
            {QStringLiteral("codecName"), s.codecName()},
            {QStringLiteral("frameWidth"), s.frameWidth()},
            {QStringLiteral("frameHeight"), s.frameHeight()},
            {QStringLiteral("frameCount"), integer(s.frameCount())},
            {QStringLiteral("durationUs"), integer(s.durationUs())},
            {QStringLiteral("playbackDurationUs"), integer(s.durationUs())},
            {QStringLiteral("nominalFrameRate"), s.nominalFrameRate()},
            {QStringLiteral("playbackFrameRate"), s.playbackFrameRate()},
            {QStringLiteral("detectedCaptureFrameRate"), s.detectedCaptureFrameRate()},
            {QStringLiteral("captureFrameRate"), s.captureFrameRate()},
            {QStringLiteral("captureFrameRateKnown"), s.captureFrameRateKnown()},
            {QStringLiteral("captureFrameRateManual"), s.captureFrameRateManual()},
            {QStringLiteral("captureFrameRateRequired"), s.captureFrameRateRequired()},
            {QStringLiteral("captureTimingMapRequired"), s.captureTimingMapRequired()},
            {QStringLiteral("estimatedRecordingDurationUs"), integer(s.estimatedRecordingDurationUs())},
            {QStringLiteral("averageSlowMotionFactor"), s.averageSlowMotionFactor()},
            {QStringLiteral("effectiveFrameRate"), s.effectiveFrameRate()},
            {QStringLiteral("variableFrameRate"), s.variableFrameRate()},
            {QStringLiteral("uniformStartFrame"), integer(s.metadata().uniformStartFrame)}};
}

QJsonObject StateSnapshot::selection(const ApplicationController &application)
{
    const AnalysisFragmentController &f = *application.analysisFragment();
    return {{QStringLiteral("state"), stateName(f.state())},
            {QStringLiteral("available"), f.available()},
            {QStringLiteral("customized"), f.rangeCustomized()},
            {QStringLiteral("valid"), f.selectionValid()},
            {QStringLiteral("physicalTimingAvailable"), f.physicalTimingAvailable()},
            {QStringLiteral("startFrame"), integer(f.startFrame())},
            {QStringLiteral("endFrameExclusive"), integer(f.endFrameExclusive())},
            {QStringLiteral("selectedFrameCount"), integer(f.selectedFrameCount())},
            {QStringLiteral("playbackStartUs"), integer(f.playbackStartUs())},
            {QStringLiteral("playbackEndUs"), integer(f.playbackEndUs())},
            {QStringLiteral("playbackDurationUs"), integer(f.playbackDurationUs())},
            {QStringLiteral("physicalDurationUs"), integer(f.physicalDurationUs())}};
}

QJsonObject StateSnapshot::settings(const ApplicationController &application)
{
    const ProcessingSettingsController &s = *application.processingSettings();
    return {{QStringLiteral("state"), stateName(s.state())},
            {QStringLiteral("available"), s.available()},
            {QStringLiteral("frequencyEditingAvailable"), s.frequencyEditingAvailable()},
            {QStringLiteral("valid"), s.settingsValid()},
            {QStringLiteral("rotationSpeedRpm"), s.rotationSpeedRpm()},
            {QStringLiteral("harmonic1FrequencyHz"), s.harmonic1FrequencyHz()},
            {QStringLiteral("harmonic2FrequencyHz"), s.harmonic2FrequencyHz()},
            {QStringLiteral("harmonic3FrequencyHz"), s.harmonic3FrequencyHz()},
            {QStringLiteral("lowerFrequencyHz"), s.lowerFrequencyHz()},
            {QStringLiteral("upperFrequencyHz"), s.upperFrequencyHz()},
            {QStringLiteral("amplificationFactor"), s.amplificationFactor()},
            {QStringLiteral("availableLogicalProcessorCount"), s.availableLogicalProcessorCount()},
            {QStringLiteral("maximumWorkerThreadCount"), s.maximumWorkerThreadCount()},
            {QStringLiteral("workerThreadCount"), s.workerThreadCount()},
            {QStringLiteral("effectiveWorkerThreadCount"), s.effectiveWorkerThreadCount()},
            {QStringLiteral("workerThreadMode"),
             s.workerThreadCount() != 0 ? QStringLiteral("manual") : QStringLiteral("automatic")},
            {QStringLiteral("captureFrameRate"), s.captureFrameRate()},
            {QStringLiteral("nyquistFrequencyHz"), s.nyquistFrequencyHz()},
            {QStringLiteral("nearNyquist"), s.nearNyquist()},
            {QStringLiteral("fragmentDurationSufficient"), s.fragmentDurationSufficient()},
            {QStringLiteral("recommendedMinimumFrameCount"), integer(s.recommendedMinimumFrameCount())},
            {QStringLiteral("recommendedMinimumDurationUs"), integer(s.recommendedMinimumDurationUs())},
            {QStringLiteral("regionCustomized"), s.regionCustomized()},
            {QStringLiteral("regionProcessingOptimizationEnabled"), s.regionProcessingOptimizationEnabled()},
            {QStringLiteral("regionValid"), s.regionValid()},
            {QStringLiteral("regionOfInterest"), region(s.regionOfInterest())},
            {QStringLiteral("cameraMotion"), cameraMotionName(s.cameraMotion())},
            {QStringLiteral("stabilizationReferenceRegion"),
             stabilizationReferenceRegion(s.stabilizationReferenceRegion())},
            {QStringLiteral("validationMessage"), s.validationMessage()},
            {QStringLiteral("warningMessage"), s.warningMessage()}};
}

QJsonObject StateSnapshot::region(const QRectF &rect)
{
    return {{QStringLiteral("coordinateSpace"), QStringLiteral("normalized_upright_frame")},
            {QStringLiteral("x"), rect.x()},
            {QStringLiteral("y"), rect.y()},
            {QStringLiteral("width"), rect.width()},
            {QStringLiteral("height"), rect.height()}};
}

QString StateSnapshot::cameraMotionName(ProcessingSettingsController::CameraMotion cameraMotion)
{
    return stateName(cameraMotion);
}

std::optional<ProcessingSettingsController::CameraMotion> StateSnapshot::cameraMotion(const QString &name)
{
    const QMetaEnum choices = QMetaEnum::fromType<ProcessingSettingsController::CameraMotion>();
    for (int i = 0; i < choices.keyCount(); ++i) {
        const auto choice = ProcessingSettingsController::CameraMotion(choices.value(i));
        if (cameraMotionName(choice) == name)
            return choice;
    }
    return std::nullopt;
}

QJsonValue StateSnapshot::stabilizationReferenceRegion(const std::optional<QRectF> &rect)
{
    return rect ? QJsonValue(region(*rect)) : QJsonValue(QJsonValue::Null);
}

QJsonObject StateSnapshot::playback(const ui::controllers::PlaybackController &p)
{
    return {{QStringLiteral("state"), stateName(p.state())},
            {QStringLiteral("ready"), p.ready()},
            {QStringLiteral("busy"), p.busy()},
            {QStringLiteral("playing"), p.playing()},
            {QStringLiteral("hasFrame"), p.hasFrame()},
            {QStringLiteral("canPlay"), p.canPlay()},
            {QStringLiteral("canNavigate"), p.canNavigate()},
            {QStringLiteral("playPending"), p.playPending()},
            {QStringLiteral("pausePending"), p.pausePending()},
            {QStringLiteral("playbackSpeed"), p.playbackSpeed()},
            {QStringLiteral("positionUs"), integer(p.positionUs())},
            {QStringLiteral("durationUs"), integer(p.durationUs())},
            {QStringLiteral("currentFrameIndex"), integer(p.currentFrameIndex())},
            {QStringLiteral("frameCount"), integer(p.frameCount())},
            {QStringLiteral("progress"), p.progress()},
            {QStringLiteral("previewAvailable"), p.resultAvailable()},
            {QStringLiteral("hasPreviewFrame"), p.hasResultFrame()},
            {QStringLiteral("previewGenerationActive"), p.analysisRunning()},
            {QStringLiteral("exportActive"), p.exportActive()},
            {QStringLiteral("errorMessage"), p.errorMessage()},
            {QStringLiteral("previewErrorMessage"), p.resultErrorMessage()}};
}

QJsonObject StateSnapshot::analysis(const ApplicationController &application)
{
    const AnalysisController &p = *application.analysis();
    return {{QStringLiteral("storage"), QStringLiteral("temporary-file")},
            {QStringLiteral("storageBytes"), integer(p.storageBytes())},
            {QStringLiteral("unsaved"), p.unsaved()},
            {QStringLiteral("state"), stateName(p.state())},
            {QStringLiteral("available"), p.available()},
            {QStringLiteral("busy"), p.busy()},
            {QStringLiteral("cancelling"), p.cancelling()},
            {QStringLiteral("ready"), p.ready()},
            {QStringLiteral("stale"), p.stale()},
            {QStringLiteral("progress"), p.progress()},
            {QStringLiteral("stageName"), p.stageName()},
            {QStringLiteral("errorMessage"), p.errorMessage()},
            {QStringLiteral("startFrame"), integer(p.startFrame())},
            {QStringLiteral("endFrameExclusive"), integer(p.endFrameExclusive())},
            {QStringLiteral("frameCount"), integer(p.frameCount())},
            {QStringLiteral("durationUs"), integer(p.durationUs())},
            {QStringLiteral("settingsRevision"), double(p.settingsRevision())},
            {QStringLiteral("previewRevision"), double(p.resultRevision())},
            {QStringLiteral("cameraMotion"), cameraMotionFigures(p)},
            {QStringLiteral("performance"), PerformanceReport::full(p.performance())}};
}

QJsonObject StateSnapshot::exporter(const ApplicationController &application)
{
    const ExportController &e = *application.exporter();
    const QJsonObject watermark{{QStringLiteral("enabled"), true},
                                {QStringLiteral("text"), QStringLiteral(OVRA_DISPLAY_NAME)},
                                {QStringLiteral("position"), QStringLiteral("bottomRight")},
                                {QStringLiteral("maximumWidthRatio"), 0.28},
                                {QStringLiteral("marginRatio"), 0.02}};
    return {{QStringLiteral("state"), stateName(e.state())},
            {QStringLiteral("available"), e.available()},
            {QStringLiteral("canStart"), e.canStart()},
            {QStringLiteral("busy"), e.busy()},
            {QStringLiteral("cancelling"), e.cancelling()},
            {QStringLiteral("completed"), e.completed()},
            {QStringLiteral("hasError"), e.hasError()},
            {QStringLiteral("hasDestination"), e.hasDestination()},
            {QStringLiteral("progress"), e.progress()},
            {QStringLiteral("stageName"), e.stageName()},
            {QStringLiteral("errorMessage"), e.errorMessage()},
            {QStringLiteral("destinationFilePath"), e.destinationFilePath()},
            {QStringLiteral("parametersFilePath"), e.parametersFilePath()},
            {QStringLiteral("frameCount"), integer(e.frameCount())},
            {QStringLiteral("durationUs"), integer(e.durationUs())},
            {QStringLiteral("remainingTimeUs"), integer(e.remainingTimeUs())},
            {QStringLiteral("exportRevision"), double(e.exportRevision())},
            {QStringLiteral("watermark"), watermark},
            {QStringLiteral("performance"), PerformanceReport::brief(e.performance())}};
}

QJsonObject StateSnapshot::mediaRuntime(const ApplicationController &application)
{
    const MediaRuntimeController &m = *application.mediaRuntime();
    return {{QStringLiteral("state"), m.available() ? QStringLiteral("ready") : QStringLiteral("unavailable")},
            {QStringLiteral("available"), m.available()},
            {QStringLiteral("integration"), QStringLiteral("linked-shared-libraries")},
            {QStringLiteral("versions"), m.versionSummary()},
            {QStringLiteral("metadataBackend"), QStringLiteral("libavformat")},
            {QStringLiteral("decoderBackend"), QStringLiteral("libavcodec")},
            {QStringLiteral("encoderBackend"), QStringLiteral("libavcodec")},
            {QStringLiteral("errorMessage"), m.errorMessage()}};
}

QJsonObject StateSnapshot::libav()
{
    QString error;
    const bool compatible = media::libav::LibavRuntime::checkCompatibility(&error);
    return {{QStringLiteral("state"), compatible ? QStringLiteral("ready") : QStringLiteral("incompatible")},
            {QStringLiteral("compatible"), compatible},
            {QStringLiteral("versions"), media::libav::LibavRuntime::versionSummary()},
            {QStringLiteral("videoSourceBackend"), media::libav::LibavRuntime::backendName()},
            {QStringLiteral("errorMessage"), compatible ? QString() : error}};
}

} // namespace ovra::diagnostics::service
