// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/ControlMethods.h"

#include "diagnostics/service/Protocol.h"
#include "diagnostics/service/StateSnapshot.h"
#include "motion_core/MotionSettings.h"
#include "ui/controllers/AnalysisController.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/ExportController.h"
#include "ui/controllers/PlaybackController.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <limits>
#include <optional>

namespace ovra::diagnostics::service {

namespace {

QJsonObject refuse(QString *errorCode, const char *code)
{
    *errorCode = QString::fromLatin1(code);
    return {};
}

bool fail(QString *errorCode, const char *code)
{
    *errorCode = QString::fromLatin1(code);
    return false;
}

QJsonObject accepted(QJsonObject result = {})
{
    result.insert(QStringLiteral("accepted"), true);
    return result;
}

bool has(const QJsonObject &params, const char *key)
{
    return params.contains(QLatin1String(key));
}

double number(const QJsonObject &params, const char *key)
{
    return params.value(QLatin1String(key)).toDouble();
}

// A number parameter in [low, high], both inclusive.
bool numberWithin(const QJsonObject &params, const char *key, double low, double high)
{
    const QJsonValue value = params.value(QLatin1String(key));
    return protocol::isFiniteNumber(value) && value.toDouble() >= low && value.toDouble() <= high;
}

// Copies the present processing keys into the candidate; false when one has the wrong kind.
bool editCandidate(const QJsonObject &params, motion_core::MotionSettings *candidate)
{
    const std::pair<const char *, double *> numbers[] = {{"rotationSpeedRpm", &candidate->rotationSpeedRpm},
                                                         {"lowerFrequencyHz", &candidate->lowerFrequencyHz},
                                                         {"upperFrequencyHz", &candidate->upperFrequencyHz},
                                                         {"amplificationFactor", &candidate->amplificationFactor}};
    for (const auto &[key, member] : numbers) {
        if (!has(params, key))
            continue;
        if (!protocol::isFiniteNumber(params.value(QLatin1String(key))))
            return false;
        *member = number(params, key);
    }
    if (has(params, "workerThreadCount")) {
        const QJsonValue count = params.value(QLatin1String("workerThreadCount"));
        if (!protocol::isSafeInteger(count) || count.toDouble() < 0
            || count.toDouble() > std::numeric_limits<qint32>::max())
            return false;
        candidate->workerThreadCount = qint32(count.toDouble());
    }
    if (has(params, "regionProcessingOptimizationEnabled")) {
        const QJsonValue enabled = params.value(QLatin1String("regionProcessingOptimizationEnabled"));
        if (!enabled.isBool())
            return false;
        candidate->regionProcessingOptimizationEnabled = enabled.toBool();
    }
    return true;
}

using CameraMotion = ui::controllers::ProcessingSettingsController::CameraMotion;

// The camera motion keys as given: the choice, and the reference region to store.
struct CameraMotionEdit
{
    std::optional<CameraMotion> choice;
    std::optional<QRectF> referenceRegion;
};

std::optional<QRectF> rectangle(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    for (const char *key : {"x", "y", "width", "height"}) {
        if (!protocol::isFiniteNumber(object.value(QLatin1String(key))))
            return std::nullopt;
    }
    return QRectF(number(object, "x"), number(object, "y"), number(object, "width"), number(object, "height"));
}

// "cameraMotion" and "stabilizationReferenceRegion" say what the settings record says: a null
// region is "off", the whole frame is "wholeFrame" and another region "referenceRegion". False
// when one has the wrong kind or the two disagree.
bool editCameraMotion(const QJsonObject &params, CameraMotionEdit *edit)
{
    if (has(params, "cameraMotion")) {
        edit->choice = StateSnapshot::cameraMotion(params.value(QLatin1String("cameraMotion")).toString());
        if (!edit->choice)
            return false;
    }
    if (!has(params, "stabilizationReferenceRegion"))
        return true;
    const QJsonValue value = params.value(QLatin1String("stabilizationReferenceRegion"));
    if (value.isNull()) {
        if (edit->choice.value_or(CameraMotion::Off) != CameraMotion::Off)
            return false;
        edit->choice = CameraMotion::Off;
        return true;
    }
    const std::optional<QRectF> region = rectangle(value);
    const CameraMotion choice = edit->choice.value_or(CameraMotion::ReferenceRegion);
    if (!region || choice == CameraMotion::Off)
        return false;
    if (choice == CameraMotion::WholeFrame)
        return *region == QRectF(0.0, 0.0, 1.0, 1.0);
    edit->choice = choice;
    edit->referenceRegion = region;
    return true;
}

bool anyProcessingKey(const QJsonObject &params)
{
    for (const char *key :
         {"rotationSpeedRpm", "lowerFrequencyHz", "upperFrequencyHz", "amplificationFactor", "workerThreadCount",
          "regionProcessingOptimizationEnabled", "cameraMotion", "stabilizationReferenceRegion"}) {
        if (has(params, key))
            return true;
    }
    return false;
}

bool candidateValid(const motion_core::MotionSettings &candidate, double captureFrameRate)
{
    return motion_core::rotationSpeedValid(candidate) && motion_core::amplificationValid(candidate)
        && motion_core::workerCountValid(candidate)
        && candidate.workerThreadCount <= motion_core::maximumWorkerThreadCount()
        && motion_core::bandValid(candidate, captureFrameRate);
}

} // namespace

// The settings controller ignores every edit while it is locked for the source analysis, a
// analysis or an export.
bool ControlMethods::settingsEditable() const
{
    const auto *settings = m_application->processingSettings();
    return settings->available() && !settings->editingLocked();
}

QJsonObject ControlMethods::call(const QString &method, const QJsonObject &params, QString *errorCode)
{
    static const QHash<QString, Handler> handlers{
        {QStringLiteral("diagnostics.openVideo"), &ControlMethods::openVideo},
        {QStringLiteral("diagnostics.setCaptureFrameRate"), &ControlMethods::setCaptureFrameRate},
        {QStringLiteral("diagnostics.setRange"), &ControlMethods::setRange},
        {QStringLiteral("diagnostics.setRoi"), &ControlMethods::setRoi},
        {QStringLiteral("diagnostics.setProcessingParameters"), &ControlMethods::setProcessingParameters},
        {QStringLiteral("diagnostics.playback"), &ControlMethods::playback},
        {QStringLiteral("diagnostics.startPreview"), &ControlMethods::startPreview},
        {QStringLiteral("diagnostics.cancelPreview"), &ControlMethods::cancelPreview},
        {QStringLiteral("diagnostics.setExportDestination"), &ControlMethods::setExportDestination},
        {QStringLiteral("diagnostics.startExport"), &ControlMethods::startExport},
        {QStringLiteral("diagnostics.cancelExport"), &ControlMethods::cancelExport},
        {QStringLiteral("diagnostics.cancelAnalysis"), &ControlMethods::cancelAnalysis}};
    const Handler handler = handlers.value(method);
    return handler ? (this->*handler)(params, errorCode) : refuse(errorCode, "method_not_found");
}

QJsonObject ControlMethods::openVideo(const QJsonObject &params, QString *errorCode)
{
    const QString path = params.value(QLatin1String("path")).toString();
    const QString canonical = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
    const QFileInfo file(canonical);
    if (canonical.isEmpty() || !file.isFile() || !file.isReadable())
        return refuse(errorCode, "invalid_path");
    auto *session = m_application->videoSession();
    // The session ignores an open while it analyses or is locked for an analysis or an export.
    if (session->busy() || session->editingLocked())
        return refuse(errorCode, "state_conflict");
    if (session->unsavedResultPending())
        return refuse(errorCode, "unsaved_result_pending");
    session->openSource(QUrl::fromLocalFile(canonical));
    return accepted({{QStringLiteral("path"), canonical}});
}

QJsonObject ControlMethods::setCaptureFrameRate(const QJsonObject &params, QString *errorCode)
{
    const QJsonValue rate = params.value(QLatin1String("framesPerSecond"));
    if (!protocol::isFiniteNumber(rate))
        return refuse(errorCode, "invalid_params");
    auto *session = m_application->videoSession();
    if (!session->ready() || session->editingLocked())
        return refuse(errorCode, "state_conflict");
    if (!session->setCaptureFrameRate(rate.toDouble()))
        return refuse(errorCode, "capture_frame_rate_rejected");
    return accepted({{QStringLiteral("captureFrameRate"), session->captureFrameRate()}});
}

QJsonObject ControlMethods::setRange(const QJsonObject &params, QString *errorCode)
{
    const QJsonValue startValue = params.value(QLatin1String("startFrame"));
    const QJsonValue endValue = params.value(QLatin1String("endFrameExclusive"));
    if (!protocol::isSafeInteger(startValue) || !protocol::isSafeInteger(endValue))
        return refuse(errorCode, "invalid_params");
    auto *fragment = m_application->analysisFragment();
    if (!fragment->available() || fragment->editingLocked())
        return refuse(errorCode, "state_conflict");
    const qint64 start = qint64(startValue.toDouble());
    const qint64 end = qint64(endValue.toDouble());
    if (start < 0 || end - start < 2 || end > m_application->videoSession()->frameCount())
        return refuse(errorCode, "invalid_range");
    if (!fragment->setRangeFrames(start, end))
        return refuse(errorCode, "range_rejected");
    return accepted({{QStringLiteral("startFrame"), double(fragment->startFrame())},
                     {QStringLiteral("endFrameExclusive"), double(fragment->endFrameExclusive())}});
}

QJsonObject ControlMethods::setRoi(const QJsonObject &params, QString *errorCode)
{
    const QJsonValue space = params.value(QLatin1String("coordinateSpace"));
    if (space.isString() && space.toString() != QLatin1String("normalized_upright_frame"))
        return refuse(errorCode, "unsupported_coordinate_space");
    for (const char *key : {"x", "y", "width", "height"}) {
        if (!protocol::isFiniteNumber(params.value(QLatin1String(key))))
            return refuse(errorCode, "invalid_params");
    }
    if (!settingsEditable())
        return refuse(errorCode, "state_conflict");
    auto *settings = m_application->processingSettings();
    if (!settings->setRegionOfInterest(number(params, "x"), number(params, "y"), number(params, "width"),
                                       number(params, "height")))
        return refuse(errorCode, "invalid_roi");
    return accepted(StateSnapshot::region(settings->regionOfInterest()));
}

QJsonObject ControlMethods::setProcessingParameters(const QJsonObject &params, QString *errorCode)
{
    if (!settingsEditable())
        return refuse(errorCode, "state_conflict");
    auto *settings = m_application->processingSettings();
    motion_core::MotionSettings candidate = settings->settings();
    CameraMotionEdit cameraMotion;
    if (!editCandidate(params, &candidate) || !editCameraMotion(params, &cameraMotion))
        return refuse(errorCode, "invalid_params");
    if (!anyProcessingKey(params))
        return refuse(errorCode, "empty_processing_parameters");
    if (!candidateValid(candidate, settings->captureFrameRate())
        || (cameraMotion.referenceRegion && !settings->referenceRegionAcceptable(*cameraMotion.referenceRegion)))
        return refuse(errorCode, "invalid_processing_parameters");
    if (has(params, "rotationSpeedRpm"))
        settings->setRotationSpeedRpm(candidate.rotationSpeedRpm);
    if (has(params, "lowerFrequencyHz") || has(params, "upperFrequencyHz"))
        settings->setFrequencyBand(candidate.lowerFrequencyHz, candidate.upperFrequencyHz);
    if (has(params, "amplificationFactor"))
        settings->setAmplificationFactor(candidate.amplificationFactor);
    if (has(params, "workerThreadCount"))
        settings->setWorkerThreadCount(candidate.workerThreadCount);
    if (has(params, "regionProcessingOptimizationEnabled"))
        settings->setRegionProcessingOptimizationEnabled(candidate.regionProcessingOptimizationEnabled);
    // The region first, so that choosing the reference region does not place a default one.
    if (const std::optional<QRectF> region = cameraMotion.referenceRegion)
        settings->setReferenceRegion(region->x(), region->y(), region->width(), region->height());
    if (cameraMotion.choice)
        settings->setCameraMotion(*cameraMotion.choice);
    return accepted(
        {{QStringLiteral("settingsValid"), settings->settingsValid()},
         {QStringLiteral("regionProcessingOptimizationEnabled"), settings->regionProcessingOptimizationEnabled()},
         {QStringLiteral("cameraMotion"), StateSnapshot::cameraMotionName(settings->cameraMotion())},
         {QStringLiteral("stabilizationReferenceRegion"),
          StateSnapshot::stabilizationReferenceRegion(settings->stabilizationReferenceRegion())}});
}

QJsonObject ControlMethods::playback(const QJsonObject &params, QString *errorCode)
{
    if (!runPlaybackAction(params.value(QLatin1String("action")).toString(), params, errorCode))
        return {};
    return accepted({{QStringLiteral("playback"), StateSnapshot::playback(*m_application->playback())}});
}

bool ControlMethods::runPlaybackAction(const QString &action, const QJsonObject &params, QString *errorCode)
{
    auto *p = m_application->playback();
    const bool settled = !p->playPending() && !p->pausePending();
    const auto conflict = [errorCode] { return fail(errorCode, "state_conflict"); };
    const bool play = action == QLatin1String("play");
    if (play || action == QLatin1String("toggle")) {
        if (play && p->playing())
            return true;
        if (!p->canPlay() || !settled)
            return conflict();
        if (play)
            p->play();
        else
            p->togglePlayback();
        // The player still declines to play without a fragment (a video of one frame has none).
        if (!p->playPending() && !p->pausePending())
            return conflict();
    } else if (action == QLatin1String("pause")) {
        if (p->playPending())
            return conflict();
        if (p->playing() && !p->pausePending())
            p->pause();
    } else if (action == QLatin1String("seek")) {
        if (!numberWithin(params, "fraction", 0.0, 1.0))
            return fail(errorCode, "invalid_params");
        if (!p->canNavigate())
            return conflict();
        p->seekToFraction(number(params, "fraction"));
    } else if (action == QLatin1String("setSpeed")) {
        if (!numberWithin(params, "speed", 0.05, 1.0))
            return fail(errorCode, "invalid_params");
        if (!settled)
            return conflict();
        p->setPlaybackSpeed(number(params, "speed"));
    } else {
        return fail(errorCode, "invalid_playback_action");
    }
    return true;
}

QJsonObject ControlMethods::startPreview(const QJsonObject &, QString *errorCode)
{
    auto *analysis = m_application->analysis();
    if (!analysis->available() || analysis->busy())
        return refuse(errorCode, "state_conflict");
    analysis->startAnalysis();
    if (!analysis->busy())
        return refuse(errorCode, "preview_start_rejected");
    return accepted({{QStringLiteral("settingsRevision"), double(analysis->settingsRevision())}});
}

QJsonObject ControlMethods::cancelPreview(const QJsonObject &, QString *errorCode)
{
    auto *analysis = m_application->analysis();
    if (analysis->cancelling())
        return accepted();
    if (!analysis->busy())
        return refuse(errorCode, "state_conflict");
    analysis->cancel();
    return accepted();
}

QJsonObject ControlMethods::setExportDestination(const QJsonObject &params, QString *errorCode)
{
    const QString path = params.value(QLatin1String("path")).toString();
    if (path.isEmpty())
        return refuse(errorCode, "invalid_path");
    auto *exporter = m_application->exporter();
    if (!exporter->available())
        return refuse(errorCode, "state_conflict");
    QString reason;
    if (!exporter->setDestinationPath(path, &reason))
        return refuse(errorCode, reason.isEmpty() ? "export_destination_rejected" : "invalid_export_destination");
    return accepted({{QStringLiteral("destinationFilePath"), exporter->destinationFilePath()},
                     {QStringLiteral("parametersFilePath"), exporter->parametersFilePath()}});
}

QJsonObject ControlMethods::startExport(const QJsonObject &, QString *errorCode)
{
    auto *exporter = m_application->exporter();
    if (!exporter->canStart() || exporter->busy())
        return refuse(errorCode, "state_conflict");
    exporter->startExport();
    if (!exporter->busy())
        return refuse(errorCode, "export_start_rejected");
    return accepted({{QStringLiteral("destinationFilePath"), exporter->destinationFilePath()}});
}

QJsonObject ControlMethods::cancelExport(const QJsonObject &, QString *errorCode)
{
    auto *exporter = m_application->exporter();
    if (exporter->cancelling())
        return accepted();
    if (!exporter->busy())
        return refuse(errorCode, "state_conflict");
    exporter->cancel();
    return accepted();
}

QJsonObject ControlMethods::cancelAnalysis(const QJsonObject &, QString *errorCode)
{
    auto *session = m_application->videoSession();
    if (session->cancelling())
        return accepted();
    if (session->state() != ui::controllers::VideoSessionController::AnalysisState::Analyzing)
        return refuse(errorCode, "state_conflict");
    session->cancelAnalysis();
    return accepted();
}

} // namespace ovra::diagnostics::service
