// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/playback/PlaybackWorker.h"

#include "media/libav/LibavVideoSource.h"
#include "project_data/TemporaryVideo.h"
#include "project_data/TemporaryVideoSource.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace ovra::ui::playback {
namespace {

QString orDefault(const QString &message, const QString &fallback)
{
    return message.isEmpty() ? fallback : message;
}

} // namespace

PlaybackWorker::PlaybackWorker(QObject *parent)
    : QObject(parent)
{
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
    m_previewSource.reset();
    m_source.reset();
    m_metadata = media::VideoMetadata();
    m_currentFrameIndex = -1;
    m_nextSourceIndex = -1;
    m_previewStart = m_previewEnd = 0;
    m_lastPreviewIndex = -1;
    m_playbackEnd = 0;
    m_framesPerSecond = 0.0;
    m_carry = 0.0;
}

void PlaybackWorker::load(quint64 requestId, const media::VideoMetadata &metadata, const Flag &cancelFlag)
{
    closeAll();
    m_requestId = requestId;
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
        emit operationFailed(m_requestId, orDefault(error, tr("Could not prepare source video playback.")));
        return;
    }
    readPair(true);
}

void PlaybackWorker::play(quint64 requestId, qint64 startFrame, qint64 endFrameExclusive, double framesPerSecond)
{
    if (requestId != m_requestId)
        return;
    if (!m_source || m_playing || !std::isfinite(framesPerSecond) || framesPerSecond <= 0.0 || startFrame < 0
        || endFrameExclusive - startFrame < 2 || endFrameExclusive > m_metadata.frameCount) {
        // Refused: the controller's pending play must still end.
        if (!m_playing)
            emit playingChanged(m_requestId, false);
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
    emit playingChanged(m_requestId, true);
}

void PlaybackWorker::stopPlaying()
{
    if (!m_playing)
        return;
    m_timer->stop();
    m_playing = false;
    emit playingChanged(m_requestId, false);
}

void PlaybackWorker::pause(quint64 requestId)
{
    if (requestId != m_requestId)
        return;
    m_interrupt.store(true);
    if (m_playing)
        stopPlaying();
    else
        emit playingChanged(m_requestId, false); // ends the controller's pending pause
}

void PlaybackWorker::seek(quint64 requestId, qint64 frameIndex)
{
    m_requestId = requestId;
    stopPlaying();
    if (m_source)
        seekAndShow(std::clamp<qint64>(frameIndex, 0, std::max<qint64>(m_metadata.frameCount - 1, 0)));
}

void PlaybackWorker::step(quint64 requestId, int direction)
{
    seek(requestId, m_currentFrameIndex + direction);
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
            emit operationFailed(m_requestId, orDefault(error, tr("Could not seek to the requested video frame.")));
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
    emit endReached(m_requestId);
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
            emit operationFailed(m_requestId, orDefault(error, tr("Could not decode the next video frame.")));
        }
        return false;
    }
    QImage previewImage;
    m_nextSourceIndex = frame.frameIndex + 1;
    if (!readPreview(frame.frameIndex, convert, &previewImage))
        return false;
    m_currentFrameIndex = frame.frameIndex;
    if (convert)
        emit framePairDecoded(m_requestId, frame.image, previewImage, frame.frameIndex,
                              frame.presentationTimeUs < 1 ? 0 : frame.presentationTimeUs);
    return true;
}

bool PlaybackWorker::readPreview(qint64 frameIndex, bool convert, QImage *image)
{
    if (!m_previewSource || frameIndex < m_previewStart || frameIndex >= m_previewEnd)
        return true;
    const qint64 local = frameIndex - m_previewStart;
    QString error;
    if (local != m_lastPreviewIndex + 1 && !m_previewSource->seekToFrame(frameIndex, &error)) {
        failPreview(orDefault(error, tr("Processed preview playback failed.")));
        return false;
    }
    media::VideoFrame frame;
    const media::VideoReadStatus status = convert
        ? m_previewSource->readFrame(&frame, &error)
        : m_previewSource->skipFrame(&frame.frameIndex, &frame.presentationTimeUs, &error);
    if (status != media::VideoReadStatus::Frame || frame.frameIndex != frameIndex) {
        failPreview(status == media::VideoReadStatus::Failed && !error.isEmpty()
                        ? error
                        : tr("Could not decode the matching processed preview frame."));
        return false;
    }
    m_lastPreviewIndex = local;
    *image = frame.image;
    return true;
}

void PlaybackWorker::failPreview(const QString &message)
{
    stopPlaying();
    m_previewSource.reset();
    emit previewConfigurationChanged(m_requestId, false, message);
}

void PlaybackWorker::configurePreview(quint64 requestId,
                                      const std::shared_ptr<const project_data::TemporaryVideo> &result,
                                      qint64 startFrame, qint64 endFrameExclusive)
{
    m_requestId = requestId;
    stopPlaying();
    m_previewSource.reset();
    if (!m_source || !result || startFrame < 0 || startFrame >= endFrameExclusive
        || endFrameExclusive > m_metadata.frameCount || result->firstFrameIndex() != startFrame
        || result->frameCount() != endFrameExclusive - startFrame) {
        emit previewConfigurationChanged(m_requestId, false, tr("The processed preview range is invalid."));
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
    auto source = std::make_unique<project_data::TemporaryVideoSource>(result);
    QString error;
    if (!source->openWithMetadata(metadata, &error)) {
        emit previewConfigurationChanged(m_requestId, false,
                                         orDefault(error, tr("Could not open the processed preview.")));
        return;
    }
    m_previewSource = std::move(source);
    m_previewStart = startFrame;
    m_previewEnd = endFrameExclusive;
    m_lastPreviewIndex = -1;
    if (!seekAndShow(startFrame))
        return;
    emit previewConfigurationChanged(m_requestId, true, QString());
}

void PlaybackWorker::clearPreview(quint64 requestId)
{
    m_requestId = requestId;
    stopPlaying();
    m_previewSource.reset();
    emit previewConfigurationChanged(m_requestId, false, QString());
}

void PlaybackWorker::close(quint64 requestId)
{
    m_requestId = requestId;
    closeAll();
}

} // namespace ovra::ui::playback
