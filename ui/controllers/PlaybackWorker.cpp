// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/PlaybackWorker.h"

#include "media/libav/LibavVideoSource.h"
#include "motion_core/FrameWarp.h"
#include "motion_core/MotionSettings.h"
#include "project_data/AnalysisResult.h"
#include "project_data/AnalysisResultSource.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace ovra::ui::controllers {
namespace {

QString orDefault(const QString &message, const QString &fallback)
{
    return message.isEmpty() ? fallback : message;
}

} // namespace

PlaybackWorker::PlaybackWorker(QObject *parent)
    : QObject(parent)
{
    m_warpPool.setThreadCount(motion_core::maximumWorkerThreadCount());
}

PlaybackWorker::~PlaybackWorker() = default;

int PlaybackWorker::tickIntervalMs(double framesPerSecond)
{
    if (!(framesPerSecond > 0.0))
        return 33;
    return std::max(1, int(media::roundHalfAwayFromZero(1000.0 / std::min(framesPerSecond, 30.0))));
}

int PlaybackWorker::framesForTick(int intervalMs, double framesPerSecond, double *carry)
{
    const double due = intervalMs * framesPerSecond / 1000.0 + *carry;
    const int frames = int(std::floor(due + 1e-9));
    *carry = std::max(due - std::max(frames, 1), 0.0);
    return std::max(frames, 1);
}

bool PlaybackWorker::cancelled() const
{
    return (m_cancelFlag && m_cancelFlag->load()) || (m_source && m_source->cancelled());
}

void PlaybackWorker::closeAll()
{
    stopPlaying();
    forgetResult();
    m_source.reset();
    m_metadata = media::VideoMetadata();
    m_currentFrameIndex = -1;
    m_nextSourceIndex = -1;
    m_resultStart = m_resultEnd = 0;
    m_lastResultIndex = -1;
    m_playbackEnd = 0;
    m_framesPerSecond = 0.0;
    m_carry = 0.0;
}

void PlaybackWorker::load(quint64 runNumber, const media::VideoMetadata &metadata, const Flag &cancelFlag)
{
    closeAll();
    m_runNumber = runNumber;
    m_metadata = metadata;
    m_cancelFlag = cancelFlag;
    m_framesPerSecond = metadata.nominalFrameRate > 0.0 ? metadata.nominalFrameRate : metadata.effectiveFrameRate();
    m_playbackEnd = metadata.frameCount;
    const Flag flag = cancelFlag;
    m_source = std::make_unique<media::libav::LibavVideoSource>([flag] { return flag && flag->load(); }, 1);
    QString error;
    m_nextSourceIndex = 0;
    if (!m_source->openWithMetadata(metadata, &error)) {
        if (cancelled())
            return;
        closeAll();
        emit operationFailed(m_runNumber, orDefault(error, tr("Could not prepare source video playback.")));
        return;
    }
    readPair(true);
}

void PlaybackWorker::play(quint64 runNumber, qint64 startFrame, qint64 endFrameExclusive, double framesPerSecond)
{
    if (runNumber != m_runNumber)
        return;
    if (!m_source || m_playing || !std::isfinite(framesPerSecond) || framesPerSecond <= 0.0 || startFrame < 0
        || endFrameExclusive - startFrame < 2 || endFrameExclusive > m_metadata.frameCount) {
        // Refused: the controller's pending play must still end.
        if (!m_playing)
            emit playingChanged(m_runNumber, false);
        return;
    }
    m_framesPerSecond = framesPerSecond;
    m_playbackEnd = endFrameExclusive;
    m_interrupt.store(false);
    if (m_currentFrameIndex != startFrame && !seekAndShow(startFrame))
        return;
    startPlaying();
}

void PlaybackWorker::startPlaying()
{
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setTimerType(Qt::PreciseTimer);
        connect(m_timer, &QTimer::timeout, this, &PlaybackWorker::_decodeNextFrame);
    }
    m_carry = 0.0;
    m_timer->start(tickIntervalMs(m_framesPerSecond));
    m_playing = true;
    emit playingChanged(m_runNumber, true);
}

void PlaybackWorker::stopPlaying()
{
    if (!m_playing)
        return;
    m_timer->stop();
    m_playing = false;
    emit playingChanged(m_runNumber, false);
}

void PlaybackWorker::pause(quint64 runNumber)
{
    if (runNumber != m_runNumber)
        return;
    m_interrupt.store(true);
    if (m_playing)
        stopPlaying();
    else
        emit playingChanged(m_runNumber, false); // ends the controller's pending pause
}

void PlaybackWorker::seek(quint64 runNumber, qint64 frameIndex)
{
    m_runNumber = runNumber;
    stopPlaying();
    if (m_source)
        seekAndShow(std::clamp<qint64>(frameIndex, 0, std::max<qint64>(m_metadata.frameCount - 1, 0)));
}

void PlaybackWorker::step(quint64 runNumber, int direction)
{
    seek(runNumber, m_currentFrameIndex + direction);
}

bool PlaybackWorker::seekAndShow(qint64 frameIndex)
{
    // A frame shortly ahead (a step, a short scrub) is reached by decoding on, which is cheaper
    // than seeking back to its key frame; the frames in between are decoded without conversion.
    const qint64 ahead = frameIndex - m_nextSourceIndex;
    if (m_nextSourceIndex >= 0 && ahead >= 0 && ahead <= std::max(1.0, m_metadata.nominalFrameRate / 2.0)) {
        for (qint64 i = 0; i < ahead; ++i) {
            if (!readPair(false))
                return false;
        }
        return readPair(true);
    }
    QString error;
    m_nextSourceIndex = -1;
    if (!m_source->seekToFrame(frameIndex, &error)) {
        if (!cancelled())
            emit operationFailed(m_runNumber, orDefault(error, tr("Could not seek to the requested video frame.")));
        return false;
    }
    return readPair(true);
}

void PlaybackWorker::_decodeNextFrame()
{
    if (!m_playing || !m_source)
        return;
    if (m_interrupt.load())
        return stopPlaying();
    const int frames = framesForTick(m_timer->interval(), m_framesPerSecond, &m_carry);
    for (int i = 0; i < frames; ++i) {
        if (m_interrupt.load())
            return stopPlaying();
        if (m_playbackEnd > 0 && m_currentFrameIndex >= m_playbackEnd - 1)
            return reachEnd();
        const bool lastOfTick = i == frames - 1 || m_currentFrameIndex + 2 >= m_playbackEnd;
        if (!readPair(lastOfTick))
            return;
        if (m_currentFrameIndex >= m_playbackEnd - 1)
            return reachEnd();
    }
}

void PlaybackWorker::reachEnd()
{
    stopPlaying();
    emit endReached(m_runNumber);
}

bool PlaybackWorker::readPair(bool convert)
{
    media::VideoFrame frame;
    QString error;
    const media::VideoReadStatus status = convert
        ? m_source->readFrame(&frame, &error)
        : m_source->skipFrame(&frame.frameIndex, &frame.presentationTimeUs, &error);
    if (status == media::VideoReadStatus::EndOfStream) {
        reachEnd();
        return false;
    }
    if (status != media::VideoReadStatus::Frame) {
        m_nextSourceIndex = -1;
        if (!cancelled()) {
            closeAll();
            emit operationFailed(m_runNumber, orDefault(error, tr("Could not decode the next video frame.")));
        }
        return false;
    }
    QImage resultImage;
    m_nextSourceIndex = frame.frameIndex + 1;
    if (!readResult(frame.frameIndex, convert, &resultImage))
        return false;
    m_currentFrameIndex = frame.frameIndex;
    if (convert)
        emit framePairDecoded(m_runNumber, shownSource(frame.frameIndex, frame.image), resultImage, frame.frameIndex,
                              frame.presentationTimeUs < 1 ? 0 : frame.presentationTimeUs);
    return true;
}

bool PlaybackWorker::readResult(qint64 frameIndex, bool convert, QImage *image)
{
    if (!m_resultSource || frameIndex < m_resultStart || frameIndex >= m_resultEnd)
        return true;
    const qint64 local = frameIndex - m_resultStart;
    QString error;
    if (local != m_lastResultIndex + 1 && !m_resultSource->seekToFrame(frameIndex, &error)) {
        failResult(orDefault(error, tr("Playback of the analysis result failed.")));
        return false;
    }
    media::VideoFrame frame;
    const media::VideoReadStatus status = convert
        ? m_resultSource->readFrame(&frame, &error)
        : m_resultSource->skipFrame(&frame.frameIndex, &frame.presentationTimeUs, &error);
    if (status != media::VideoReadStatus::Frame || frame.frameIndex != frameIndex) {
        failResult(status == media::VideoReadStatus::Failed && !error.isEmpty()
                       ? error
                       : tr("Could not decode the matching frame of the analysis result."));
        return false;
    }
    m_lastResultIndex = local;
    *image = frame.image;
    return true;
}

QImage PlaybackWorker::shownSource(qint64 frameIndex, const QImage &image)
{
    const qint64 local = frameIndex - m_resultStart;
    if (!m_sourceStabilized || local < 0 || local >= qint64(m_cameraTransforms.size()))
        return image;
    QImage warped;
    motion_core::warpFrame(m_warpPool, image, m_cameraTransforms[size_t(local)], &warped);
    return warped;
}

void PlaybackWorker::setSourceStabilized(bool stabilized)
{
    m_sourceStabilized = stabilized;
    if (m_source && !m_playing && m_currentFrameIndex >= 0)
        seekAndShow(m_currentFrameIndex);
}

void PlaybackWorker::forgetResult()
{
    m_resultSource.reset();
    m_cameraTransforms.clear();
    m_sourceStabilized = false;
}

void PlaybackWorker::failResult(const QString &message)
{
    stopPlaying();
    forgetResult();
    emit resultConfigurationChanged(m_runNumber, false, message);
}

void PlaybackWorker::configureResult(quint64 runNumber,
                                     const std::shared_ptr<const project_data::AnalysisResult> &result,
                                     qint64 startFrame, qint64 endFrameExclusive)
{
    m_runNumber = runNumber;
    stopPlaying();
    forgetResult();
    if (!m_source || !result || startFrame < 0 || startFrame >= endFrameExclusive
        || endFrameExclusive > m_metadata.frameCount || result->firstFrameIndex() != startFrame
        || result->frameCount() != endFrameExclusive - startFrame) {
        emit resultConfigurationChanged(m_runNumber, false, tr("The frame range of the analysis result is invalid."));
        return;
    }
    media::VideoMetadata metadata = m_metadata;
    metadata.filePath = QStringLiteral("temporary-result");
    metadata.containerName = QStringLiteral("ovra-frame-store");
    metadata.codecName = QStringLiteral("raw-image");
    metadata.frameCount = endFrameExclusive - startFrame;
    metadata.durationUs = m_metadata.nominalFrameRate > 0.0
        ? media::roundHalfAwayFromZero(double(metadata.frameCount) * 1e6 / m_metadata.nominalFrameRate)
        : 0;
    metadata.variableFrameRate = false;
    auto source = std::make_unique<project_data::AnalysisResultSource>(result);
    QString error;
    if (!source->openWithMetadata(metadata, &error)) {
        emit resultConfigurationChanged(m_runNumber, false,
                                        orDefault(error, tr("Could not open the analysis result.")));
        return;
    }
    m_resultSource = std::move(source);
    m_cameraTransforms = result->cameraTransforms();
    m_resultStart = startFrame;
    m_resultEnd = endFrameExclusive;
    m_lastResultIndex = -1;
    if (!seekAndShow(startFrame))
        return;
    emit resultConfigurationChanged(m_runNumber, true, QString());
}

void PlaybackWorker::clearResult(quint64 runNumber)
{
    m_runNumber = runNumber;
    stopPlaying();
    forgetResult();
    emit resultConfigurationChanged(m_runNumber, false, QString());
}

void PlaybackWorker::close(quint64 runNumber)
{
    m_runNumber = runNumber;
    closeAll();
}

} // namespace ovra::ui::controllers
