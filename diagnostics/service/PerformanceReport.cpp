// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/PerformanceReport.h"

#include <initializer_list>
#include <utility>

namespace ovra::diagnostics::service {

using project_data::ProcessingPerformance;

namespace {

double ms(qint64 us)
{
    return double(us) / 1000.0;
}

double perFrame(qint64 us, qint64 frames)
{
    return us >= 1 && frames >= 1 ? double(us) / 1000.0 / double(frames) : 0.0;
}

double share(qint64 part, qint64 whole)
{
    return part >= 1 && whole >= 1 ? double(part) * 100.0 / double(whole) : 0.0;
}

QString workerMode(const ProcessingPerformance &r)
{
    return r.requestedMotionWorkerThreadCount != 0 ? QStringLiteral("manual") : QStringLiteral("automatic");
}

// The keys both objects share, in the brief object's order.
QJsonObject common(const ProcessingPerformance &r)
{
    return {
        {QStringLiteral("available"), r.hasData()},
        {QStringLiteral("clock"), QStringLiteral("monotonic_wall")},
        {QStringLiteral("measuredFrames"), double(r.measuredFrames)},
        {QStringLiteral("totalElapsedMs"), ms(r.totalElapsedUs)},
        {QStringLiteral("frameLoopElapsedMs"), ms(r.frameLoopElapsedUs)},
        {QStringLiteral("frameThroughputFps"), r.frameThroughputFps()},
        {QStringLiteral("availableLogicalProcessorCount"), r.availableLogicalProcessorCount},
        {QStringLiteral("requestedMotionWorkerThreadCount"), r.requestedMotionWorkerThreadCount},
        {QStringLiteral("motionWorkerThreadCount"), r.motionWorkerThreadCount},
        {QStringLiteral("decoderThreadLimit"), r.decoderThreadLimit},
        {QStringLiteral("encoderThreadLimit"), r.encoderThreadLimit},
        {QStringLiteral("motionProcessingFrameWidth"), r.motionStages.motionProcessingFrameWidth},
        {QStringLiteral("motionProcessingFrameHeight"), r.motionStages.motionProcessingFrameHeight},
        {QStringLiteral("regionProcessingOptimizationApplied"), r.motionStages.regionProcessingOptimizationApplied}};
}

} // namespace

QJsonObject PerformanceReport::full(const ProcessingPerformance &r)
{
    QJsonObject object = common(r);
    object.insert(QStringLiteral("motionWorkerThreadMode"), workerMode(r));
    object.insert(QStringLiteral("threadLimitZeroMeans"), QStringLiteral("backend_automatic"));
    object.insert(QStringLiteral("accountedElapsedMs"), ms(r.accountedElapsedUs()));
    object.insert(QStringLiteral("unaccountedElapsedMs"), ms(r.unaccountedElapsedUs()));
    object.insert(QStringLiteral("pipeline"), pipeline(r));
    object.insert(QStringLiteral("motionCore"), motionCore(r));
    return object;
}

QJsonObject PerformanceReport::brief(const ProcessingPerformance &r)
{
    QJsonObject object = common(r);
    object.insert(QStringLiteral("decoderMs"), ms(r.decoderUs));
    object.insert(QStringLiteral("motionProcessingMs"), ms(r.motionProcessingUs));
    object.insert(QStringLiteral("encoderCriticalPathMs"), ms(r.encoderCriticalPathUs()));
    return object;
}

QJsonObject PerformanceReport::pipeline(const ProcessingPerformance &r)
{
    return {{QStringLiteral("sourceOpeningMs"), ms(r.sourceOpeningUs)},
            {QStringLiteral("sourceSeekMs"), ms(r.sourceSeekUs)},
            {QStringLiteral("decoderMs"), ms(r.decoderUs)},
            {QStringLiteral("motionProcessingMs"), ms(r.motionProcessingUs)},
            {QStringLiteral("encoderStartupMs"), ms(r.encoderStartupUs)},
            {QStringLiteral("encoderWriteMs"), ms(r.encoderWriteUs)},
            {QStringLiteral("encoderFinalizeMs"), ms(r.encoderFinalizeUs)},
            {QStringLiteral("encoderCriticalPathMs"), ms(r.encoderCriticalPathUs())},
            {QStringLiteral("parametersWriteMs"), ms(r.parametersWriteUs)},
            {QStringLiteral("publicationMs"), ms(r.publicationUs)},
            {QStringLiteral("averageDecoderMsPerFrame"), perFrame(r.decoderUs, r.measuredFrames)},
            {QStringLiteral("averageMotionMsPerFrame"), perFrame(r.motionProcessingUs, r.measuredFrames)},
            {QStringLiteral("averageEncoderWriteMsPerFrame"), perFrame(r.encoderWriteUs, r.measuredFrames)},
            {QStringLiteral("decoderShareOfFrameLoopPercent"), share(r.decoderUs, r.frameLoopElapsedUs)},
            {QStringLiteral("motionShareOfFrameLoopPercent"), share(r.motionProcessingUs, r.frameLoopElapsedUs)},
            {QStringLiteral("encoderWriteShareOfFrameLoopPercent"), share(r.encoderWriteUs, r.frameLoopElapsedUs)}};
}

QJsonObject PerformanceReport::motionCore(const ProcessingPerformance &r)
{
    const motion_core::MotionStageTimings &t = r.motionStages;
    const qint64 measured = t.totalUs();
    QJsonObject object{{QStringLiteral("measuredMs"), ms(measured)},
                       {QStringLiteral("coverageOfMotionProcessingPercent"), share(measured, r.motionProcessingUs)}};
    const std::initializer_list<std::pair<const char *, qint64>> stages{
        {"luminanceMs", t.luminanceUs},           {"pyramidDecompositionMs", t.pyramidDecompositionUs},
        {"quadratureMs", t.quadratureUs},         {"phaseAccumulationMs", t.phaseAccumulationUs},
        {"temporalFilterMs", t.temporalFilterUs}, {"phaseDenoisingMs", t.phaseDenoisingUs},
        {"phaseShiftMs", t.phaseShiftUs},         {"reconstructionMs", t.reconstructionUs},
        {"compositionMs", t.compositionUs}};
    for (const auto &[name, us] : stages)
        object.insert(QLatin1String(name), ms(us));
    return object;
}

QJsonObject PerformanceReport::report(const QJsonObject &snapshot, const QString &activeOperation)
{
    const QJsonObject analysis = snapshot.value(QLatin1String("preview")).toObject();
    const QJsonObject exporter = snapshot.value(QLatin1String("export")).toObject();
    const QJsonObject previewPerformance = analysis.value(QLatin1String("performance")).toObject();
    const QJsonObject exportPerformance = exporter.value(QLatin1String("performance")).toObject();
    const bool exportBusy = exporter.value(QLatin1String("busy")).toBool();
    const bool previewBusy = analysis.value(QLatin1String("busy")).toBool();
    const bool exportMeasured = exportPerformance.value(QLatin1String("available")).toBool();
    return {{QStringLiteral("revision"), snapshot.value(QLatin1String("revision"))},
            {QStringLiteral("previewState"), analysis.value(QLatin1String("state"))},
            {QStringLiteral("previewBusy"), previewBusy},
            {QStringLiteral("previewReady"), analysis.value(QLatin1String("ready"))},
            {QStringLiteral("previewProgress"), analysis.value(QLatin1String("progress"))},
            {QStringLiteral("settingsRevision"), analysis.value(QLatin1String("settingsRevision"))},
            {QStringLiteral("previewRevision"), analysis.value(QLatin1String("previewRevision"))},
            {QStringLiteral("exportState"), exporter.value(QLatin1String("state"))},
            {QStringLiteral("exportBusy"), exportBusy},
            {QStringLiteral("exportCompleted"), exporter.value(QLatin1String("completed"))},
            {QStringLiteral("exportProgress"), exporter.value(QLatin1String("progress"))},
            {QStringLiteral("exportRevision"), exporter.value(QLatin1String("exportRevision"))},
            {QStringLiteral("activeOperation"), activeOperation},
            {QStringLiteral("videoSourceBackend"),
             snapshot.value(QLatin1String("libav")).toObject().value(QLatin1String("videoSourceBackend"))},
            {QStringLiteral("performance"), exportMeasured ? exportPerformance : previewPerformance},
            {QStringLiteral("previewPerformance"), previewPerformance},
            {QStringLiteral("exportPerformance"), exportPerformance}};
}

} // namespace ovra::diagnostics::service
