// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/SpectrumController.h"

#include "processing/FilePublication.h"
#include "processing/SettingsValidation.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QLocale>

namespace ovra::ui::controllers {

using project_data::ProcessingState;

namespace {

QList<double> toList(const std::vector<double> &values)
{
    return QList<double>(values.begin(), values.end());
}

template <typename Field> QList<double> peakField(const motion_core::MotionSpectrum &spectrum, Field field)
{
    QList<double> values;
    values.reserve(static_cast<qsizetype>(spectrum.peaks.size()));
    for (const motion_core::SpectrumPeak &peak : spectrum.peaks)
        values.append(peak.*field);
    return values;
}

} // namespace

SpectrumController::SpectrumController(VideoSessionController *videoSession,
                                       ProcessingSettingsController *settingsController, QObject *parent)
    : JobController(QStringLiteral("Motion spectrum"), parent)
    , m_videoSession(videoSession)
    , m_settingsController(settingsController)
{
    // The settings notify every change of the session's metadata, the fragment and the region.
    connect(settingsController, &ProcessingSettingsController::settingsChanged, this,
            &SpectrumController::refreshIfChanged);
    connect(videoSession, &VideoSessionController::sourceChanged, this, &SpectrumController::handleSourceChanged);
    m_available = computeAvailable();
}

SpectrumController::State SpectrumController::state() const
{
    if (const auto state = jobState<State>(m_job, !m_errorMessage.isEmpty()))
        return *state;
    if (ready())
        return stale() ? State::Stale : State::Ready;
    return available() ? State::Available : State::Unavailable;
}

SpectrumController::~SpectrumController()
{
    shutdown();
}

void SpectrumController::shutdown()
{
    m_job.stop();
}

QList<double> SpectrumController::frequencies() const
{
    return toList(m_spectrum.frequenciesHz);
}
QList<double> SpectrumController::amplitudes() const
{
    return toList(m_spectrum.amplitudePixels);
}
QList<double> SpectrumController::noiseFloor() const
{
    return toList(m_spectrum.noiseFloorPixels);
}
QList<double> SpectrumController::peakFrequencies() const
{
    return peakField(m_spectrum, &motion_core::SpectrumPeak::frequencyHz);
}
QList<double> SpectrumController::peakAmplitudes() const
{
    return peakField(m_spectrum, &motion_core::SpectrumPeak::amplitudePixels);
}
QList<double> SpectrumController::peakDirections() const
{
    return peakField(m_spectrum, &motion_core::SpectrumPeak::directionDegrees);
}

QStringList SpectrumController::peakMillimetreTexts() const
{
    QStringList texts;
    if (!m_measurementScale)
        return texts;
    // The command line's figures, in the user's language and number format.
    const QLocale locale;
    for (const motion_core::SpectrumPeak &peak : m_spectrum.peaks) {
        const double millimetres = m_measurementScale->millimetres(peak.amplitudePixels);
        const processing::LengthFigure length = processing::lengthFigure(millimetres);
        const double velocity = processing::velocityMillimetresPerSecond(millimetres, peak.frequencyHz);
        texts.append(tr("%1 %2 · %3 mm/s")
                         .arg(locale.toString(length.value, 'f', length.decimals),
                              length.micrometres ? tr("µm") : tr("mm"), locale.toString(velocity, 'g', 3)));
    }
    return texts;
}

void SpectrumController::setMeasurementScale(const std::optional<processing::MeasurementScale> &scale)
{
    m_measurementScale = scale;
    emit peakMillimetreTextsChanged();
}

bool SpectrumController::exportCsv(const QUrl &fileUrl)
{
    QString message;
    const bool written = m_ready && fileUrl.isLocalFile()
        && processing::publishFile(fileUrl.toLocalFile(), processing::motionSpectrumCsv(m_spectrum, m_measurementScale),
                                   &message);
    if (written)
        message = tr("Spectrum saved to %1").arg(fileUrl.toLocalFile());
    else if (message.isEmpty())
        message = m_ready ? tr("Choose a local file for the spectrum.") : tr("Analyze the spectrum before saving it.");
    m_exportMessage = message;
    emit exportMessageChanged();
    return written;
}

processing::MotionSpectrumRequest SpectrumController::currentRequest(double resolutionHz) const
{
    const motion_core::MotionSettings settings = m_settingsController->settings();
    processing::MotionSpectrumRequest request;
    request.sourceMetadata = m_videoSession->metadata();
    request.startFrame = settings.startFrame;
    request.endFrameExclusive = settings.endFrameExclusive;
    request.regionOfInterest = settings.regionOfInterest;
    request.stabilizationReferenceRegion = m_settingsController->stabilizationReferenceRegion();
    request.resolutionHz = resolutionHz;
    return request;
}

bool SpectrumController::computeAvailable() const
{
    return !busy() && !m_job.stopped() && m_settingsController->frequencyEditingAvailable();
}

processing::MotionSpectrumRequest SpectrumController::expectedRequest(double resolutionHz) const
{
    processing::MotionSpectrumRequest request = currentRequest(resolutionHz);
    if (m_spotRegion)
        request.regionOfInterest = *m_spotRegion;
    return request;
}

bool SpectrumController::computeStale() const
{
    return m_ready && !processing::sameAnalysis(m_resultRequest, expectedRequest(m_resultRequest.resolutionHz));
}

void SpectrumController::refreshIfChanged()
{
    const bool available = computeAvailable();
    const bool stale = computeStale();
    if (available == m_available && stale == m_stale)
        return;
    m_available = available;
    m_stale = stale;
    emit stateChanged();
}

bool SpectrumController::analyze()
{
    return analyze(currentRequest());
}

bool SpectrumController::analyze(const processing::MotionSpectrumRequest &request)
{
    m_spotRegion.reset();
    return start(request);
}

bool SpectrumController::analyzeSpot(const QRectF &region)
{
    m_spotRegion = region;
    return start(expectedRequest(0.0));
}

bool SpectrumController::start(const processing::MotionSpectrumRequest &request)
{
    if (m_job.stopped() || (busy() && !cancelling() && processing::sameAnalysis(m_pendingRequest, request)))
        return false;
    if (!m_settingsController->frequencyEditingAvailable()) {
        // The first of its messages names what is missing: a video, the capture rate or a usable fragment.
        m_errorMessage = m_settingsController->validationMessage();
        emit stateChanged();
        return false;
    }
    m_pendingRequest = request;
    const auto analyse = [request](const auto &progress, const auto &cancelled) {
        return processing::MotionSpectrumAnalysis().run(request, progress, cancelled);
    };
    m_job.startReporting(analyse, this, &SpectrumController::handleProgress, &SpectrumController::handleFinished);
    m_discardPending = false;
    m_errorMessage.clear();
    beginProgress(tr("Preparing motion spectrum"));
    m_available = computeAvailable();
    m_stale = computeStale();
    emit stateChanged();
    emit progressChanged();
    return true;
}

void SpectrumController::cancel()
{
    if (!m_job.cancel())
        return;
    m_stageName = tr("Cancelling motion spectrum");
    emit stateChanged();
    emit progressChanged();
}

void SpectrumController::handleProgress(const project_data::ProcessingProgress &progress)
{
    if (cancelling())
        return;
    showProgress(progress);
}

void SpectrumController::handleFinished(const processing::MotionSpectrumResult &result)
{
    // After a change of source, whatever the run made belongs to another video.
    const bool current = !m_discardPending;
    finishRun();
    if (current && result.succeeded())
        adoptResult(result);
    else if (current && result.state == ProcessingState::Failed)
        m_errorMessage
            = result.errorMessage.isEmpty() ? tr("Could not analyze the motion spectrum.") : result.errorMessage;
    m_stale = computeStale();
    m_available = computeAvailable();
    emit stateChanged();
    emit progressChanged();
}

void SpectrumController::adoptResult(const processing::MotionSpectrumResult &result)
{
    m_spectrum = result.spectrum;
    m_analysedFrames = result.analysedFrames;
    m_resultRequest = m_pendingRequest;
    m_ready = true;
    m_progress = 1.0;
    emit resultChanged();
    emit peakMillimetreTextsChanged();
}

void SpectrumController::finishRun()
{
    m_discardPending = false;
    m_stageName.clear();
    m_progress = 0.0;
}

void SpectrumController::handleSourceChanged()
{
    if (busy()) {
        m_discardPending = true;
        m_job.cancel();
    }
    const bool hadResult = m_ready;
    m_spotRegion.reset();
    m_spectrum = motion_core::MotionSpectrum();
    m_analysedFrames = 0;
    m_resultRequest = processing::MotionSpectrumRequest();
    m_ready = m_stale = false;
    m_errorMessage.clear();
    m_available = computeAvailable();
    emit stateChanged();
    if (hadResult) {
        emit resultChanged();
        emit peakMillimetreTextsChanged();
    }
}

bool SpectrumController::selectPeak(int index)
{
    if (!m_ready || m_stale || index < 0 || index >= static_cast<int>(m_spectrum.peaks.size()))
        return false;
    return applyPeak(m_spectrum.peaks[static_cast<size_t>(index)].frequencyHz);
}

bool SpectrumController::applyPeak(double frequencyHz)
{
    return m_settingsController->applyBandAround(frequencyHz, processing::defaultBandHalfWidthPercent);
}

} // namespace ovra::ui::controllers
