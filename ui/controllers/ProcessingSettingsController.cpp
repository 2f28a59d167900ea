// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/ProcessingSettingsController.h"

#include "motion_core/TemporalBandpassFilter.h"
#include "processing/ProcessingRecords.h"
#include "processing/SettingsValidation.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QDataStream>
#include <QIODevice>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace ovra::ui::controllers {

ProcessingSettingsController::ProcessingSettingsController(VideoSessionController *session,
                                                           AnalysisFragmentController *fragment, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_fragment(fragment)
    , m_sourcePath(session->filePath())
{
    connect(session, &VideoSessionController::sourceChanged, this, &ProcessingSettingsController::handleSourceChanged);
    connect(session, &VideoSessionController::stateChanged, this, &ProcessingSettingsController::notifyIfChanged);
    connect(session, &VideoSessionController::videoInfoChanged, this, &ProcessingSettingsController::notifyIfChanged);
    connect(fragment, &AnalysisFragmentController::rangeChanged, this, &ProcessingSettingsController::notifyIfChanged);
    m_fingerprint = fingerprint();
}

motion_core::MotionSettings ProcessingSettingsController::settings() const
{
    motion_core::MotionSettings settings;
    settings.startFrame = m_fragment->startFrame();
    settings.endFrameExclusive = m_fragment->endFrameExclusive();
    settings.playbackStartUs = m_fragment->playbackStartUs();
    settings.playbackEndUs = m_fragment->playbackEndUs();
    settings.lowerFrequencyHz = m_lowerFrequencyHz;
    settings.upperFrequencyHz = m_upperFrequencyHz;
    settings.amplificationFactor = m_amplificationFactor;
    settings.rotationSpeedRpm = m_rotationSpeedRpm;
    settings.workerThreadCount = m_workerThreadCount;
    settings.regionProcessingOptimizationEnabled = m_regionProcessingOptimizationEnabled;
    settings.regionOfInterest = m_regionOfInterest;
    settings.cameraMotionCompensationEnabled = m_cameraMotion != CameraMotion::Off;
    if (m_cameraMotion == CameraMotion::WholeFrame)
        settings.stabilizationReferenceRegion = QRectF(0.0, 0.0, 1.0, 1.0);
    else if (m_cameraMotion == CameraMotion::ReferenceRegion)
        settings.stabilizationReferenceRegion = m_referenceRegion;
    return settings;
}

bool ProcessingSettingsController::available() const
{
    return m_session->ready();
}

double ProcessingSettingsController::captureFrameRate() const
{
    return m_session->captureFrameRateKnown() ? m_session->captureFrameRate() : 0.0;
}

bool ProcessingSettingsController::frequencyEditingAvailable() const
{
    return m_session->ready() && m_session->captureFrameRateKnown()
        && processing::fragmentUsableForFrequencies(m_session->metadata(), m_fragment->startFrame(),
                                                    m_fragment->endFrameExclusive());
}

ProcessingSettingsController::State ProcessingSettingsController::state() const
{
    if (!available())
        return State::Unavailable;
    if (!settingsValid())
        return State::Invalid;
    return warningMessage().isEmpty() ? State::Ready : State::Warning;
}

bool ProcessingSettingsController::settingsValid() const
{
    return frequencyEditingAvailable() && m_fragment->selectionValid() && m_fragment->physicalTimingAvailable()
        && rotationSpeedValid() && frequencyBandValid() && amplificationValid()
        && motion_core::workerCountValid(settings()) && regionValid() && fragmentDurationSufficient();
}

bool ProcessingSettingsController::lowerFrequencyValid() const
{
    return std::isfinite(m_lowerFrequencyHz) && m_lowerFrequencyHz > 0.0;
}

bool ProcessingSettingsController::upperFrequencyValid() const
{
    return lowerFrequencyValid() && std::isfinite(m_upperFrequencyHz) && m_upperFrequencyHz > m_lowerFrequencyHz
        && m_session->captureFrameRateKnown() && m_upperFrequencyHz < nyquistFrequencyHz();
}

bool ProcessingSettingsController::regionValid() const
{
    return motion_core::regionLargeEnough(settings(), m_session->metadata().frameSize);
}

bool ProcessingSettingsController::fragmentDurationSufficient() const
{
    return m_fragment->selectionValid()
        && processing::fragmentLongEnough(settings(), captureFrameRate(), m_fragment->selectedFrameCount());
}

double ProcessingSettingsController::maximumFrequencyHz() const
{
    return std::max(captureFrameRate() * 0.5 - 0.1, 0.1);
}

int ProcessingSettingsController::availableLogicalProcessorCount() const
{
    return std::max(QThread::idealThreadCount(), 1);
}

int ProcessingSettingsController::maximumWorkerThreadCount() const
{
    return std::clamp(QThread::idealThreadCount(), 1, 256);
}

double ProcessingSettingsController::minimumRegionWidth() const
{
    return motion_core::minimumRegionWidth(m_session->metadata().frameSize);
}

double ProcessingSettingsController::minimumRegionHeight() const
{
    return motion_core::minimumRegionHeight(m_session->metadata().frameSize);
}

qint64 ProcessingSettingsController::recommendedMinimumFrameCount() const
{
    return motion_core::recommendedMinimumFrameCount(settings(), captureFrameRate());
}

qint64 ProcessingSettingsController::recommendedMinimumDurationUs() const
{
    const qint64 count = recommendedMinimumFrameCount();
    const double fps = captureFrameRate();
    if (!(fps > 0.0) || count < 1)
        return 0;
    return static_cast<qint64>(std::ceil(double(count) * 1e6 / fps));
}

QString ProcessingSettingsController::rotationSpeedValidationMessage() const
{
    return rotationSpeedValid() ? QString() : processing::rotationSpeedMessage();
}

QString ProcessingSettingsController::fragmentValidationMessage() const
{
    if (m_session->ready() && frequencyBandValid() && !fragmentDurationSufficient())
        return processing::fragmentTooShortMessage(settings(), captureFrameRate());
    return {};
}

QString ProcessingSettingsController::validationMessage() const
{
    if (!m_session->ready())
        return tr("Open and analyze a source video.");
    return processing::settingsValidationMessage(m_session->metadata(), settings(), captureFrameRate());
}

QString ProcessingSettingsController::warningMessage() const
{
    return processing::settingsWarningMessage(settings(), captureFrameRate());
}

bool ProcessingSettingsController::storeValue(double *member, double value)
{
    if (m_editingLocked || !std::isfinite(value) || std::abs(value) > 1e6 || std::abs(value - *member) < 1e-9)
        return false;
    *member = value;
    notifyIfChanged();
    return true;
}

void ProcessingSettingsController::setRotationSpeedRpm(double rotationSpeedRpm)
{
    storeValue(&m_rotationSpeedRpm, rotationSpeedRpm);
}

void ProcessingSettingsController::setLowerFrequencyHz(double lowerFrequencyHz)
{
    storeValue(&m_lowerFrequencyHz, lowerFrequencyHz);
}

void ProcessingSettingsController::setUpperFrequencyHz(double upperFrequencyHz)
{
    storeValue(&m_upperFrequencyHz, upperFrequencyHz);
}

void ProcessingSettingsController::setAmplificationFactor(double amplificationFactor)
{
    storeValue(&m_amplificationFactor, amplificationFactor);
}

void ProcessingSettingsController::setFrequencyBand(double lowerFrequencyHz, double upperFrequencyHz)
{
    const auto acceptable = [](double value) { return std::isfinite(value) && std::abs(value) <= 1e6; };
    if (m_editingLocked || !acceptable(lowerFrequencyHz) || !acceptable(upperFrequencyHz))
        return;
    if (std::abs(lowerFrequencyHz - m_lowerFrequencyHz) < 1e-9
        && std::abs(upperFrequencyHz - m_upperFrequencyHz) < 1e-9)
        return;
    m_lowerFrequencyHz = lowerFrequencyHz;
    m_upperFrequencyHz = upperFrequencyHz;
    notifyIfChanged();
}

bool ProcessingSettingsController::applyRotationBand(int harmonicOrder, double halfWidthPercent)
{
    double lower = 0.0;
    double upper = 0.0;
    return frequencyEditingAvailable()
        && processing::rotationBand(settings(), harmonicOrder, halfWidthPercent, captureFrameRate(), &lower, &upper)
        && storeBand(lower, upper);
}

bool ProcessingSettingsController::applyBandAround(double centreHz, double halfWidthPercent)
{
    double lower = 0.0;
    double upper = 0.0;
    return frequencyEditingAvailable()
        && processing::bandAround(centreHz, halfWidthPercent, captureFrameRate(), &lower, &upper)
        && storeBand(lower, upper);
}

QVariantMap ProcessingSettingsController::bandAroundPreview(double centreHz, double halfWidthPercent) const
{
    double lower = 0.0;
    double upper = 0.0;
    const bool usable = processing::bandAround(centreHz, halfWidthPercent, captureFrameRate(), &lower, &upper);
    const processing::BandLimits band = processing::bandLimits(centreHz, halfWidthPercent);
    return {{QStringLiteral("lowerHz"), band.lowerHz},
            {QStringLiteral("upperHz"), band.upperHz},
            {QStringLiteral("usable"), usable}};
}

bool ProcessingSettingsController::storeBand(double lowerHz, double upperHz)
{
    if (m_editingLocked)
        return false;
    if (std::abs(lowerHz - m_lowerFrequencyHz) < 1e-9 && std::abs(upperHz - m_upperFrequencyHz) < 1e-9)
        return true;
    m_lowerFrequencyHz = lowerHz;
    m_upperFrequencyHz = upperHz;
    notifyIfChanged();
    return true;
}

void ProcessingSettingsController::setWorkerThreadCount(int workerThreadCount)
{
    if (m_editingLocked || workerThreadCount < 0 || workerThreadCount > maximumWorkerThreadCount()
        || workerThreadCount == m_workerThreadCount)
        return;
    m_workerThreadCount = workerThreadCount;
    notifyIfChanged();
}

void ProcessingSettingsController::setRegionProcessingOptimizationEnabled(bool enabled)
{
    if (m_editingLocked || enabled == m_regionProcessingOptimizationEnabled)
        return;
    m_regionProcessingOptimizationEnabled = enabled;
    notifyIfChanged();
}

bool ProcessingSettingsController::setRegionOfInterest(double x, double y, double width, double height)
{
    if (m_editingLocked)
        return false;
    motion_core::MotionSettings candidate = settings();
    candidate.regionOfInterest = QRectF(x, y, width, height);
    if (!motion_core::regionLargeEnough(candidate, m_session->metadata().frameSize))
        return false;
    if (candidate.regionOfInterest == m_regionOfInterest)
        return true;
    m_regionOfInterest = candidate.regionOfInterest;
    notifyIfChanged();
    return true;
}

void ProcessingSettingsController::useFullFrame()
{
    if (m_editingLocked || m_regionOfInterest == QRectF(0.0, 0.0, 1.0, 1.0))
        return;
    m_regionOfInterest = QRectF(0.0, 0.0, 1.0, 1.0);
    notifyIfChanged();
}

std::optional<QRectF> ProcessingSettingsController::stabilizationReferenceRegion() const
{
    const motion_core::MotionSettings current = settings();
    if (!current.cameraMotionCompensationEnabled)
        return std::nullopt;
    return current.stabilizationReferenceRegion;
}

bool ProcessingSettingsController::referenceRegionAcceptable(const QRectF &region) const
{
    motion_core::MotionSettings candidate;
    candidate.regionOfInterest = region;
    return motion_core::regionLargeEnough(candidate, m_session->metadata().frameSize);
}

void ProcessingSettingsController::setCameraMotion(CameraMotion cameraMotion)
{
    if (m_editingLocked || cameraMotion == m_cameraMotion)
        return;
    if (cameraMotion == CameraMotion::ReferenceRegion && m_referenceRegion.isNull())
        m_referenceRegion = defaultReferenceRegion();
    m_cameraMotion = cameraMotion;
    notifyIfChanged();
}

bool ProcessingSettingsController::setReferenceRegion(double x, double y, double width, double height)
{
    const QRectF region(x, y, width, height);
    if (m_editingLocked || !referenceRegionAcceptable(region))
        return false;
    if (region == m_referenceRegion)
        return true;
    m_referenceRegion = region;
    notifyIfChanged();
    return true;
}

// A quarter of the frame in the corner farthest from the amplification region, where the
// background is likelier than the machine.
QRectF ProcessingSettingsController::defaultReferenceRegion() const
{
    const double width = std::max(0.25, minimumRegionWidth());
    const double height = std::max(0.25, minimumRegionHeight());
    const double margin = 0.05;
    const QPointF centre = m_regionOfInterest.center();
    const double x = centre.x() >= 0.5 ? margin : 1.0 - margin - width;
    const double y = centre.y() >= 0.5 ? margin : 1.0 - margin - height;
    return {std::clamp(x, 0.0, 1.0 - width), std::clamp(y, 0.0, 1.0 - height), width, height};
}

void ProcessingSettingsController::resetToDefaults()
{
    if (m_editingLocked)
        return;
    restoreDefaults();
    notifyIfChanged();
}

void ProcessingSettingsController::restoreDefaults()
{
    m_rotationSpeedRpm = 700.0;
    m_lowerFrequencyHz = 9.0;
    m_upperFrequencyHz = 14.0;
    m_amplificationFactor = 5.0;
    m_workerThreadCount = 0;
    m_regionProcessingOptimizationEnabled = true;
    m_regionOfInterest = QRectF(0.0, 0.0, 1.0, 1.0);
    m_cameraMotion = CameraMotion::Off;
    m_referenceRegion = QRectF();
}

void ProcessingSettingsController::handleSourceChanged()
{
    if (m_session->filePath() == m_sourcePath)
        return;
    m_sourcePath = m_session->filePath();
    restoreDefaults();
    notifyIfChanged();
}

bool ProcessingSettingsController::buildRequest(project_data::ProcessingRequest *request, QString *errorMessage) const
{
    QString message;
    if (!request)
        message = tr("A processing request is required.");
    else if (!settingsValid())
        message = validationMessage();
    if (request && message.isEmpty()) {
        request->sourceMetadata = m_session->metadata();
        request->settings = settings();
        return true;
    }
    if (errorMessage)
        *errorMessage = message;
    return false;
}

QByteArray ProcessingSettingsController::fingerprint() const
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    const media::VideoMetadata &m = m_session->metadata();
    stream << m_sourcePath << m_session->ready() << m.filePath << m.containerName << m.codecName << m.frameSize
           << m.durationUs << m.frameCount << m.nominalFrameRate << m.detectedCaptureFrameRate << m.captureFrameRate
           << m.captureFrameRateManual << m.slowMotionPlaybackIntent << m.variableFrameRate << m.uniformStartFrame
           << m_fragment->startFrame() << m_fragment->endFrameExclusive() << m_fragment->physicalTimingAvailable()
           << m_rotationSpeedRpm << m_lowerFrequencyHz << m_upperFrequencyHz << m_amplificationFactor
           << m_workerThreadCount << m_regionProcessingOptimizationEnabled << m_regionOfInterest << int(m_cameraMotion)
           << m_referenceRegion;
    return bytes;
}

void ProcessingSettingsController::notifyIfChanged()
{
    QByteArray current = fingerprint();
    if (current == m_fingerprint)
        return;
    m_fingerprint = std::move(current);
    emit settingsChanged();
}

} // namespace ovra::ui::controllers
