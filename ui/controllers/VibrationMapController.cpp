// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/VibrationMapController.h"

#include "processing/FilePublication.h"
#include "processing/SettingsValidation.h"
#include "processing/VibrationMapExport.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/SpectrumController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace ovra::ui::controllers {

using project_data::ProcessingState;

namespace {

// Wide enough to see the whole frame's pattern, small enough to hand to the viewport at once.
constexpr int overlayWidth = 1280;
// The spot a clicked tile's spectrum is measured on: the tile and this many neighbours around.
constexpr int spotNeighbours = 1;

QString frequencyText(double hertz)
{
    return QLocale().toString(hertz, 'g', 4);
}

} // namespace

VibrationMapController::VibrationMapController(VideoSessionController *videoSession,
                                               ProcessingSettingsController *settingsController,
                                               SpectrumController *spectrum, QObject *parent)
    : JobController(QStringLiteral("Vibration map"), parent)
    , m_videoSession(videoSession)
    , m_settingsController(settingsController)
    , m_spectrum(spectrum)
{
    // The settings notify every change of the session's metadata, the fragment, the region and the band.
    connect(settingsController, &ProcessingSettingsController::settingsChanged, this,
            &VibrationMapController::refreshIfChanged);
    connect(videoSession, &VideoSessionController::sourceChanged, this, &VibrationMapController::handleSourceChanged);
    m_available = computeAvailable();
}

VibrationMapController::~VibrationMapController()
{
    shutdown();
}

void VibrationMapController::shutdown()
{
    m_job.stop();
}

VibrationMapController::State VibrationMapController::state() const
{
    if (const auto state = jobState<State>(m_job, !m_errorMessage.isEmpty()))
        return *state;
    if (ready())
        return stale() ? State::Stale : State::Ready;
    return available() ? State::Available : State::Unavailable;
}

QList<QRectF> VibrationMapController::tileRects() const
{
    const QSizeF frame = m_result.referenceFrame.size();
    QList<QRectF> rects;
    if (frame.isEmpty())
        return rects;
    rects.reserve(qsizetype(m_result.map.tiles.size()));
    for (const motion_core::VibrationMapTile &tile : m_result.map.tiles) {
        const QRectF pixels(tile.pixels);
        rects.append(QRectF(pixels.x() / frame.width(), pixels.y() / frame.height(), pixels.width() / frame.width(),
                            pixels.height() / frame.height()));
    }
    return rects;
}

QString VibrationMapController::bandText() const
{
    if (!m_ready)
        return {};
    const motion_core::VibrationMap &map = m_result.map;
    return tr("%1–%2 Hz, strongest at %3 Hz")
        .arg(frequencyText(map.lowerFrequencyHz), frequencyText(map.upperFrequencyHz),
             QLocale().toString(map.strongestFrequencyHz, 'f', 2));
}

QString VibrationMapController::amplitudeText(double pixels) const
{
    const QString inPixels = tr("%1 px").arg(QLocale().toString(pixels, 'f', 3));
    return m_scale ? tr("%1 (%2)").arg(processing::lengthText(m_scale->millimetres(pixels)), inPixels) : inPixels;
}

QString VibrationMapController::largestAmplitudeText() const
{
    return m_ready ? amplitudeText(m_result.map.largestAmplitudePixels()) : QString();
}

QList<QColor> VibrationMapController::colours()
{
    return processing::VibrationMapExport::colours();
}

QString VibrationMapController::tileText(int index) const
{
    if (index < 0 || size_t(index) >= m_result.map.tiles.size())
        return {};
    const motion_core::VibrationMapTile &tile = m_result.map.tiles[size_t(index)];
    if (!tile.textured)
        return tr("No data: too little texture to measure");
    return tr("%1 along %2°")
        .arg(amplitudeText(tile.amplitudePixels), QLocale().toString(tile.directionDegrees, 'f', 0));
}

processing::VibrationMapRequest VibrationMapController::requestAround(std::optional<double> frequencyHz) const
{
    const motion_core::MotionSettings settings = m_settingsController->settings();
    processing::VibrationMapRequest request;
    request.sourceMetadata = m_videoSession->metadata();
    request.startFrame = settings.startFrame;
    request.endFrameExclusive = settings.endFrameExclusive;
    request.regionOfInterest = settings.regionOfInterest;
    request.stabilizationReferenceRegion = m_settingsController->stabilizationReferenceRegion();
    request.lowerFrequencyHz = settings.lowerFrequencyHz;
    request.upperFrequencyHz = settings.upperFrequencyHz;
    if (frequencyHz
        && !processing::bandAround(*frequencyHz, processing::defaultBandHalfWidthPercent,
                                   request.sourceMetadata.captureFrameRate, &request.lowerFrequencyHz,
                                   &request.upperFrequencyHz))
        request.lowerFrequencyHz = request.upperFrequencyHz = 0.0; // refused by the analysis, saying why
    return request;
}

bool VibrationMapController::computeAvailable() const
{
    return !busy() && !m_job.stopped() && m_settingsController->frequencyEditingAvailable();
}

bool VibrationMapController::computeStale() const
{
    return m_ready && !processing::sameAnalysis(m_resultRequest, currentRequest());
}

void VibrationMapController::refreshIfChanged()
{
    const bool available = computeAvailable();
    const bool stale = computeStale();
    if (available == m_available && stale == m_stale)
        return;
    m_available = available;
    m_stale = stale;
    emit stateChanged();
}

bool VibrationMapController::analyze()
{
    m_pickedFrequencyHz.reset();
    return start(currentRequest());
}

bool VibrationMapController::analyzeAround(double frequencyHz)
{
    m_pickedFrequencyHz = frequencyHz;
    return start(currentRequest());
}

bool VibrationMapController::start(const processing::VibrationMapRequest &request)
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
        return processing::VibrationMapAnalysis().run(request, progress, cancelled);
    };
    m_job.startReporting(analyse, this, &VibrationMapController::handleProgress,
                         &VibrationMapController::handleFinished);
    m_discardPending = false;
    m_errorMessage.clear();
    beginProgress(tr("Preparing vibration map"));
    m_available = computeAvailable();
    m_stale = computeStale();
    emit stateChanged();
    emit progressChanged();
    return true;
}

void VibrationMapController::cancel()
{
    if (!m_job.cancel())
        return;
    m_stageName = tr("Cancelling vibration map");
    emit stateChanged();
    emit progressChanged();
}

void VibrationMapController::handleProgress(const project_data::ProcessingProgress &progress)
{
    if (cancelling())
        return;
    showProgress(progress);
}

void VibrationMapController::handleFinished(const processing::VibrationMapResult &result)
{
    // After a change of source, whatever the run made belongs to another video.
    const bool current = !m_discardPending;
    m_discardPending = false;
    m_stageName.clear();
    m_progress = 0.0;
    if (current && result.succeeded())
        adoptResult(result);
    else if (current && result.state == ProcessingState::Failed)
        m_errorMessage = result.errorMessage.isEmpty() ? tr("Could not map the vibration.") : result.errorMessage;
    m_stale = computeStale();
    m_available = computeAvailable();
    emit stateChanged();
    emit progressChanged();
}

void VibrationMapController::adoptResult(const processing::VibrationMapResult &result)
{
    m_result = result;
    m_overlay = processing::VibrationMapExport::tiles(result.map, result.referenceFrame.size(), overlayWidth);
    m_resultRequest = m_pendingRequest;
    m_ready = true;
    m_progress = 1.0;
    setExportMessage({});
    emit resultChanged();
    emit legendChanged();
}

void VibrationMapController::handleSourceChanged()
{
    if (busy()) {
        m_discardPending = true;
        m_job.cancel();
    }
    const bool hadResult = m_ready;
    m_pickedFrequencyHz.reset();
    m_result = processing::VibrationMapResult();
    m_overlay = QImage();
    m_resultRequest = processing::VibrationMapRequest();
    m_ready = m_stale = false;
    m_errorMessage.clear();
    m_available = computeAvailable();
    setExportMessage({});
    emit stateChanged();
    if (hadResult) {
        emit resultChanged();
        emit legendChanged();
    }
}

bool VibrationMapController::showSpectrumAt(int index)
{
    const QList<QRectF> rects = tileRects();
    if (index < 0 || index >= rects.size())
        return false;
    const QRectF tile = rects[index];
    const QRectF spot = tile.adjusted(-spotNeighbours * tile.width(), -spotNeighbours * tile.height(),
                                      spotNeighbours * tile.width(), spotNeighbours * tile.height())
                            .intersected(QRectF(0.0, 0.0, 1.0, 1.0));
    return m_spectrum->analyzeSpot(spot);
}

void VibrationMapController::setMeasurementScale(std::optional<processing::MeasurementScale> scale)
{
    m_scale = scale && scale->isValid() ? scale : std::nullopt;
    emit legendChanged();
}

void VibrationMapController::setExportMessage(const QString &message)
{
    if (message == m_exportMessage)
        return;
    m_exportMessage = message;
    emit exportMessageChanged();
}

bool VibrationMapController::exportTo(const QUrl &pictureUrl)
{
    if (!m_ready) {
        setExportMessage(tr("Make a vibration map before exporting it."));
        return false;
    }
    const QString picturePath = pictureUrl.toLocalFile();
    const QFileInfo picture(picturePath);
    if (picturePath.isEmpty() || picture.suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) != 0) {
        setExportMessage(tr("Choose a local .png file for the map's picture."));
        return false;
    }
    const QString tablePath = picture.dir().filePath(picture.completeBaseName() + QStringLiteral(".csv"));
    // Both are checked first so that neither is written when the other cannot be.
    for (const QString &path : {picturePath, tablePath}) {
        if (QFileInfo::exists(path)) {
            setExportMessage(tr("The file already exists and was not overwritten: %1").arg(path));
            return false;
        }
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    processing::VibrationMapExport::picture(m_resultRequest, m_result, m_scale).save(&buffer, "PNG");
    QString error;
    if (!processing::publishFile(picturePath, png, &error)
        || !processing::publishFile(tablePath, processing::VibrationMapExport::csv(m_result.map, m_scale), &error)) {
        setExportMessage(error);
        return false;
    }
    setExportMessage(tr("Saved %1 and %2").arg(picture.fileName(), QFileInfo(tablePath).fileName()));
    return true;
}

} // namespace ovra::ui::controllers
