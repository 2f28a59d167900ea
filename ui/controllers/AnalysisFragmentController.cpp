// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/AnalysisFragmentController.h"

#include "media/VideoMetadata.h"
#include "processing/SettingsValidation.h"
#include "ui/controllers/VideoSessionController.h"

#include <algorithm>
#include <cmath>

namespace ovra::ui::controllers {

AnalysisFragmentController::AnalysisFragmentController(VideoSessionController *session, QObject *parent)
    : QObject(parent)
    , m_session(session)
{
    connect(session, &VideoSessionController::sourceChanged, this, &AnalysisFragmentController::synchronise);
    connect(session, &VideoSessionController::stateChanged, this, &AnalysisFragmentController::synchronise);
    connect(session, &VideoSessionController::videoInfoChanged, this, &AnalysisFragmentController::synchronise);
    synchronise();
}

AnalysisFragmentController::State AnalysisFragmentController::state() const
{
    if (!available())
        return State::Unavailable;
    return selectionValid() ? State::Ready : State::Invalid;
}

bool AnalysisFragmentController::selectionValid() const
{
    return m_frameCount >= 2 && m_startFrame >= 0 && m_endFrameExclusive <= m_frameCount
        && m_endFrameExclusive - m_startFrame >= 2;
}

bool AnalysisFragmentController::physicalTimingAvailable() const
{
    return selectionValid() && m_session->captureFrameRateKnown();
}

qint64 AnalysisFragmentController::playbackDurationUs() const
{
    return selectionValid() ? std::max<qint64>(playbackEndUs() - playbackStartUs(), 0) : 0;
}

qint64 AnalysisFragmentController::physicalDurationUs() const
{
    if (!physicalTimingAvailable())
        return 0;
    return media::roundHalfAwayFromZero(double(selectedFrameCount()) * 1e6 / m_session->captureFrameRate());
}

qint64 AnalysisFragmentController::playbackTimeUs(qint64 frameIndex) const
{
    return processing::playbackTimeUs(m_session->metadata(), frameIndex);
}

bool AnalysisFragmentController::applyRange(qint64 start, qint64 requestedEnd)
{
    const qint64 n = m_frameCount;
    const qint64 newStart = std::clamp<qint64>(start, 0, n - 2);
    const qint64 newEnd = requestedEnd > n ? n : std::max(requestedEnd, newStart + 2);
    if (newStart == m_startFrame && newEnd == m_endFrameExclusive && m_rangeCustomized)
        return true;
    m_startFrame = newStart;
    m_endFrameExclusive = newEnd;
    m_rangeCustomized = true;
    emit rangeChanged();
    return true;
}

bool AnalysisFragmentController::setRangeFrames(qint64 startFrame, qint64 endFrameExclusive)
{
    return editable() && applyRange(startFrame, endFrameExclusive);
}

bool AnalysisFragmentController::setStartFrame(qint64 frameIndex)
{
    return editable() && applyRange(frameIndex, m_endFrameExclusive);
}

bool AnalysisFragmentController::setEndFrameInclusive(qint64 frameIndex)
{
    return editable() && applyRange(m_startFrame, frameIndex + 1);
}

void AnalysisFragmentController::clearRange()
{
    if (!editable())
        return;
    if (m_startFrame == 0 && m_endFrameExclusive == m_frameCount && !m_rangeCustomized)
        return;
    m_startFrame = 0;
    m_endFrameExclusive = m_frameCount;
    m_rangeCustomized = false;
    emit rangeChanged();
}

void AnalysisFragmentController::synchronise()
{
    const media::VideoMetadata &metadata = m_session->metadata();
    const bool usable = m_session->ready() && metadata.frameCount >= 2;
    const QString path = usable ? m_session->filePath() : QString();
    const qint64 frameCount = usable ? metadata.frameCount : 0;
    const qint64 durationUs = usable ? metadata.durationUs : 0;
    const double playbackRate = usable ? metadata.playbackFrameRate() : 0.0;
    const double captureRate = usable ? metadata.captureFrameRate : 0.0;
    const bool captureKnown = usable && metadata.captureFrameRateKnown();
    const bool timingMap = usable && metadata.captureTimingMapRequired();

    const bool sourceChanged = path != m_sourcePath || frameCount != m_frameCount;
    const auto differs = [](double a, double b) { return !(std::abs(a - b) <= 1e-9); };
    const bool timingChanged = durationUs != m_durationUs || differs(playbackRate, m_playbackFrameRate)
        || differs(captureRate, m_captureFrameRate) || captureKnown != m_captureFrameRateKnown
        || timingMap != m_captureTimingMapRequired;
    if (!sourceChanged && !timingChanged)
        return;
    m_sourcePath = path;
    m_frameCount = frameCount;
    m_durationUs = durationUs;
    m_playbackFrameRate = playbackRate;
    m_captureFrameRate = captureRate;
    m_captureFrameRateKnown = captureKnown;
    m_captureTimingMapRequired = timingMap;
    if (sourceChanged) {
        m_startFrame = usable ? processing::automaticStartFrame(metadata) : 0;
        m_endFrameExclusive = frameCount;
        m_rangeCustomized = false;
    }
    emit rangeChanged();
}

} // namespace ovra::ui::controllers
