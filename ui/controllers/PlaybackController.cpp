// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/PlaybackController.h"

#include "media/VideoMetadata.h"
#include "project_data/AnalysisResult.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/MediaRuntimeController.h"
#include "ui/controllers/PlaybackWorker.h"
#include "ui/controllers/VideoSessionController.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace ovra::ui::controllers {

using controllers::VideoSessionController;

struct PlaybackController::Flags
{
    std::tuple<bool, bool, bool, bool, bool, bool, bool, bool> values;
    bool operator!=(const Flags &other) const { return values != other.values; }
};

PlaybackController::Flags PlaybackController::flags() const
{
    return {{m_ready, m_busy, m_playing, m_hasFrame, m_playPending, m_pausePending, m_analysisRunning, m_exportActive}};
}

template <typename Change> void PlaybackController::changeState(Change change)
{
    const Flags before = flags();
    change();
    if (flags() != before)
        emit stateChanged();
}

PlaybackController::PlaybackController(VideoSessionController *session,
                                       controllers::AnalysisFragmentController *fragment,
                                       controllers::MediaRuntimeController *mediaRuntime, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_fragment(fragment)
    , m_mediaRuntime(mediaRuntime)
    , m_worker(QStringLiteral("Source video playback"))
{
    PlaybackWorker *worker = m_worker.worker();
    connect(worker, &PlaybackWorker::framePairDecoded, this, &PlaybackController::handleFramePair);
    connect(worker, &PlaybackWorker::resultConfigurationChanged, this, &PlaybackController::handleResultConfiguration);
    connect(worker, &PlaybackWorker::playingChanged, this, &PlaybackController::handlePlayingChanged);
    connect(worker, &PlaybackWorker::operationFailed, this, &PlaybackController::handleOperationFailed);
    connect(worker, &PlaybackWorker::endReached, this, &PlaybackController::handleEndReached);
    connect(session, &VideoSessionController::stateChanged, this, &PlaybackController::refreshSource);
    connect(session, &VideoSessionController::sourceChanged, this, &PlaybackController::refreshSource);
    connect(fragment, &controllers::AnalysisFragmentController::rangeChanged, this, [this] {
        if (m_playing)
            pause();
    });
    connect(session, &VideoSessionController::firstFrameReady, this, &PlaybackController::handleFirstFrame);
    m_worker.start();
    refreshSource();
}

PlaybackController::State PlaybackController::state() const
{
    if (hasError())
        return State::Error;
    if (pausePending())
        return State::Pausing;
    if (playPending())
        return State::Starting;
    if (playing())
        return State::Playing;
    if (busy())
        return State::Loading;
    return ready() ? State::Ready : State::Unavailable;
}

PlaybackController::~PlaybackController()
{
    m_session->disconnect(this);
    if (m_cancelFlag)
        m_cancelFlag->store(true);
    m_worker.worker()->requestInterrupt();
    m_worker.stop(this);
}

bool PlaybackController::canPlay() const
{
    return m_ready && !m_busy && !m_playPending && !m_pausePending && !m_analysisRunning && !m_exportActive
        && !hasError();
}

double PlaybackController::progress() const
{
    if (m_frameCount > 1 && m_currentFrameIndex >= 0)
        return double(m_currentFrameIndex) / double(m_frameCount - 1);
    if (m_durationUs >= 1)
        return std::clamp(double(m_positionUs) / double(m_durationUs), 0.0, 1.0);
    return 0.0;
}

void PlaybackController::setErrorMessage(const QString &message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = message;
    emit errorMessageChanged();
    emit stateChanged(); // canPlay depends on the error
}

void PlaybackController::clearShownFrame()
{
    if (!m_hasFrame && m_currentFrame.isNull())
        return;
    changeState([this] {
        m_currentFrame = QImage();
        m_hasFrame = false;
    });
    emit frameCleared();
}

void PlaybackController::clearResultState()
{
    m_resultAvailable = false;
    m_sourceStabilized = false; // the worker forgets it with the result
    m_resultErrorMessage.clear();
    const bool hadResultFrame = m_hasResultFrame || !m_resultFrame.isNull();
    m_resultFrame = QImage();
    m_hasResultFrame = false;
    if (hadResultFrame)
        emit resultFrameCleared();
}

void PlaybackController::refreshSource()
{
    const media::VideoMetadata &metadata = m_session->metadata();
    if (m_session->ready() && m_mediaRuntime && m_mediaRuntime->available() && metadata.hasValidFrameSize()
        && metadata.hasTiming()) {
        if (m_loadedSourcePath != metadata.filePath || (!m_ready && !m_busy))
            loadSource();
    } else {
        unloadSource();
    }
}

void PlaybackController::loadSource()
{
    m_pairAfterLoad = false;
    if (m_cancelFlag)
        m_cancelFlag->store(true);
    m_cancelFlag = std::make_shared<std::atomic_bool>(false);
    const quint64 id = ++m_runNumber;
    m_worker.worker()->requestInterrupt();
    const media::VideoMetadata metadata = m_session->metadata();
    m_loadedSourcePath = metadata.filePath;
    m_durationUs = metadata.durationUs;
    m_frameCount = metadata.frameCount;
    m_positionUs = 0;
    m_currentFrameIndex = -1;
    changeState([this] { m_ready = m_playPending = m_pausePending = m_playing = false; });
    setErrorMessage(QString());
    if (!(m_hasFrame && m_session->ready()))
        clearShownFrame();
    clearResultState();
    emit resultStateChanged();
    changeState([this] { m_busy = true; });
    emit timelineChanged();
    emit positionChanged();
    const auto flag = m_cancelFlag;
    m_worker.post([id, metadata, flag](PlaybackWorker *worker) { worker->load(id, metadata, flag); });
}

void PlaybackController::unloadSource()
{
    const bool anyState = m_ready || m_busy || m_playing || m_playPending || m_pausePending || m_hasFrame
        || m_resultAvailable || m_frameCount != 0 || !m_errorMessage.isEmpty();
    if (m_loadedSourcePath.isEmpty() && !anyState)
        return;
    if (m_cancelFlag)
        m_cancelFlag->store(true);
    const quint64 id = ++m_runNumber;
    m_worker.worker()->requestInterrupt();
    m_worker.post([id](PlaybackWorker *worker) { worker->close(id); });
    m_pairing.reset();
    m_loadedSourcePath.clear();
    m_positionUs = m_durationUs = m_frameCount = 0;
    m_currentFrameIndex = -1;
    changeState([this] { m_ready = m_busy = m_playing = m_playPending = m_pausePending = false; });
    setErrorMessage(QString());
    if (!(m_hasFrame && m_session->ready()))
        clearShownFrame();
    clearResultState();
    emit resultStateChanged();
    emit timelineChanged();
    emit positionChanged();
}

void PlaybackController::handleFirstFrame(const QImage &image)
{
    if (!m_session->busy() || image.isNull())
        return;
    m_currentFrame = image;
    changeState([this] { m_hasFrame = true; });
    emit frameReady(image);
}

void PlaybackController::play()
{
    if (!canPlay() || m_playing || !m_fragment->selectionValid())
        return;
    const qint64 start = m_fragment->startFrame();
    const qint64 end = m_fragment->endFrameExclusive();
    const bool inRange = m_currentFrameIndex >= start && m_currentFrameIndex < end - 1;
    changeState([this, inRange] {
        m_playPending = true;
        if (!inRange)
            m_busy = true;
    });
    const qint64 from = inRange ? m_currentFrameIndex : start;
    const double fps = m_session->metadata().nominalFrameRate * m_playbackSpeed;
    const quint64 id = m_runNumber;
    m_worker.post([id, from, end, fps](PlaybackWorker *worker) { worker->play(id, from, end, fps); });
}

void PlaybackController::pause()
{
    if (!m_ready || !m_playing || m_pausePending)
        return;
    m_worker.worker()->requestInterrupt();
    changeState([this] { m_pausePending = true; });
    const quint64 id = m_runNumber;
    m_worker.post([id](PlaybackWorker *worker) { worker->pause(id); });
}

void PlaybackController::togglePlayback()
{
    if (m_playPending || m_pausePending)
        return;
    if (m_playing)
        pause();
    else
        play();
}

void PlaybackController::prepareNavigation()
{
    ++m_runNumber;
    m_worker.worker()->requestInterrupt();
    changeState([this] {
        m_playPending = m_pausePending = m_playing = false;
        m_busy = true;
    });
}

void PlaybackController::seekToFraction(double fraction)
{
    if (!canNavigate() || !std::isfinite(fraction))
        return;
    const qint64 target = media::roundHalfAwayFromZero(double(m_frameCount - 1) * std::clamp(fraction, 0.0, 1.0));
    prepareNavigation();
    const quint64 id = m_runNumber;
    m_worker.post([id, target](PlaybackWorker *worker) { worker->seek(id, target); });
}

void PlaybackController::stepForward()
{
    if (!canNavigate())
        return;
    prepareNavigation();
    const quint64 id = m_runNumber;
    m_worker.post([id](PlaybackWorker *worker) { worker->step(id, +1); });
}

void PlaybackController::stepBackward()
{
    if (!canNavigate())
        return;
    prepareNavigation();
    const quint64 id = m_runNumber;
    m_worker.post([id](PlaybackWorker *worker) { worker->step(id, -1); });
}

void PlaybackController::retry()
{
    if (m_busy || !m_session->ready())
        return;
    loadSource();
    m_pairAfterLoad = m_pairing.has_value();
}

void PlaybackController::setPlaybackSpeed(double speedFactor)
{
    if (!std::isfinite(speedFactor) || speedFactor < 0.05 || speedFactor > 1.0 || m_playPending || m_pausePending)
        return;
    if (std::abs(speedFactor - m_playbackSpeed) < 1e-9)
        return;
    if (m_playing)
        pause();
    m_playbackSpeed = speedFactor;
    emit playbackModeChanged();
}

void PlaybackController::activityChanged(bool *member, bool active)
{
    if (*member == active)
        return;
    if (active && m_playing)
        pause();
    *member = active;
    emit stateChanged();
}

void PlaybackController::setAnalysisRunning(bool active)
{
    activityChanged(&m_analysisRunning, active);
}

void PlaybackController::setExportActive(bool active)
{
    activityChanged(&m_exportActive, active);
}

bool PlaybackController::configureResult(const std::shared_ptr<project_data::AnalysisResult> &result, qint64 startFrame,
                                         qint64 endFrameExclusive)
{
    if (!m_ready || m_busy || m_playing || !result || startFrame < 0 || startFrame >= endFrameExclusive
        || endFrameExclusive > m_frameCount) {
        clearResultState();
        m_resultErrorMessage = tr("The frame range of the analysis result is invalid.");
        emit resultStateChanged();
        return false;
    }
    const quint64 id = ++m_runNumber;
    m_worker.worker()->requestInterrupt();
    changeState([this] { m_playPending = m_pausePending = false; });
    clearResultState();
    emit resultStateChanged();
    changeState([this] { m_busy = true; });
    m_pairing = ResultPairing{result, startFrame, endFrameExclusive};
    const std::shared_ptr<const project_data::AnalysisResult> store = result;
    m_worker.post([id, store, startFrame, endFrameExclusive](PlaybackWorker *worker) {
        worker->configureResult(id, store, startFrame, endFrameExclusive);
    });
    return true;
}

bool PlaybackController::stabilizedSourceAvailable() const
{
    return m_resultAvailable && m_pairing && !m_pairing->result->cameraTransforms().empty();
}

void PlaybackController::setSourceStabilized(bool stabilized)
{
    if (stabilized == m_sourceStabilized || (stabilized && !stabilizedSourceAvailable()))
        return;
    m_sourceStabilized = stabilized;
    emit resultStateChanged();
    m_worker.post([stabilized](PlaybackWorker *worker) { worker->setSourceStabilized(stabilized); });
}

void PlaybackController::clearResult()
{
    if (!m_loadedSourcePath.isEmpty()) {
        const quint64 id = ++m_runNumber;
        m_worker.worker()->requestInterrupt();
        m_worker.post([id](PlaybackWorker *worker) { worker->clearResult(id); });
    }
    m_pairing.reset();
    clearResultState();
    emit resultStateChanged();
}

void PlaybackController::handleFramePair(qulonglong runNumber, const QImage &sourceImage, const QImage &resultImage,
                                         qlonglong frameIndex, qlonglong presentationTimeUs)
{
    if (runNumber != m_runNumber || sourceImage.isNull())
        return;
    const bool hadResultFrame = m_hasResultFrame;
    m_currentFrame = sourceImage;
    m_resultFrame = resultImage;
    m_currentFrameIndex = frameIndex;
    m_positionUs = presentationTimeUs;
    changeState([this, &resultImage] {
        m_ready = true;
        m_busy = false;
        m_hasFrame = true;
        m_hasResultFrame = !resultImage.isNull();
    });
    emit positionChanged();
    emit frameReady(sourceImage);
    if (!resultImage.isNull())
        emit resultFrameReady(resultImage);
    else if (hadResultFrame)
        emit resultFrameCleared();
    if (hadResultFrame != m_hasResultFrame)
        emit resultStateChanged();
    if (std::exchange(m_pairAfterLoad, false))
        configureResult(m_pairing->result, m_pairing->startFrame, m_pairing->endFrameExclusive);
}

void PlaybackController::handlePlayingChanged(qulonglong runNumber, bool playing)
{
    if (runNumber != m_runNumber)
        return;
    changeState([this, playing] {
        if (m_playPending && !playing)
            m_busy = false; // a refused play that needed a seek is over
        if (m_pausePending && !playing)
            m_playPending = m_pausePending = false;
        else
            m_playPending = false;
        m_playing = playing;
    });
}

void PlaybackController::handleEndReached(qulonglong runNumber)
{
    if (runNumber != m_runNumber)
        return;
    changeState([this] { m_playPending = m_pausePending = m_playing = m_busy = false; });
    if (!m_hasFrame) {
        changeState([this] { m_ready = false; });
        setErrorMessage(tr("Source video contains no decodable frames."));
    }
}

void PlaybackController::handleOperationFailed(qulonglong runNumber, const QString &message)
{
    if (runNumber != m_runNumber)
        return;
    m_cancelFlag.reset();
    changeState([this] { m_ready = m_playPending = m_pausePending = m_playing = m_busy = false; });
    clearShownFrame();
    clearResultState();
    emit resultStateChanged();
    setErrorMessage(message.isEmpty() ? tr("Source video playback failed.") : message);
}

void PlaybackController::handleResultConfiguration(qulonglong runNumber, bool available, const QString &message)
{
    if (runNumber != m_runNumber)
        return;
    m_resultAvailable = available;
    m_resultErrorMessage = message;
    if (!available) {
        m_sourceStabilized = false;
        const bool hadResultFrame = m_hasResultFrame || !m_resultFrame.isNull();
        m_resultFrame = QImage();
        m_hasResultFrame = false;
        if (hadResultFrame)
            emit resultFrameCleared();
    }
    // The worker has stopped before it answers this, and it may be the only answer to a play,
    // seek or step whose result frame could not be read: whatever was pending is over.
    changeState([this] { m_playPending = m_pausePending = m_playing = m_busy = false; });
    emit resultStateChanged();
}

} // namespace ovra::ui::controllers
