// SPDX-License-Identifier: GPL-3.0-or-later
#include "project_data/AnalysisResultSource.h"

#include "media/ErrorMessage.h"

#include <QCoreApplication>

#include <optional>

namespace ovra::project_data {
namespace {

using media::reportFailure;
using media::VideoFrame;
using media::VideoMetadata;
using media::VideoReadStatus;

QString outsideMessage()
{
    return AnalysisResultSource::tr("The requested frame is outside the analysis result.");
}

QString notOpenMessage()
{
    return AnalysisResultSource::tr(
        "The analysis result is not open for reading. Open it before seeking or reading frames.");
}

} // namespace

AnalysisResultSource::AnalysisResultSource(std::shared_ptr<const AnalysisResult> store)
    : m_store(std::move(store))
    , m_firstFrameIndex(m_store ? m_store->firstFrameIndex() : 0)
{
}

bool AnalysisResultSource::open(const QString &, QString *errorMessage)
{
    if (!m_store)
        return reportFailure(errorMessage, tr("No analysis result is available."));
    return openWithMetadata(m_store->metadata(), errorMessage);
}

bool AnalysisResultSource::openWithMetadata(const VideoMetadata &metadata, QString *errorMessage)
{
    if (!m_store || m_store->frameCount() < 1)
        return reportFailure(errorMessage, tr("No analysis result is available."));
    m_metadata = metadata;
    m_position = 0;
    m_opened = true;
    return true;
}

bool AnalysisResultSource::seekToTime(qint64 timeUs, QString *errorMessage)
{
    const std::optional<qint64> frameIndex = media::firstFrameAtOrAfter(timeUs, m_metadata.nominalFrameRate);
    if (!frameIndex)
        return reportFailure(errorMessage, outsideMessage());
    return seekToFrame(*frameIndex, errorMessage);
}

bool AnalysisResultSource::seekToFrame(qint64 frameIndex, QString *errorMessage)
{
    if (!m_opened)
        return reportFailure(errorMessage, notOpenMessage());
    if (frameIndex < m_firstFrameIndex || frameIndex - m_firstFrameIndex >= m_store->frameCount())
        return reportFailure(errorMessage, outsideMessage());
    m_position = frameIndex - m_firstFrameIndex;
    return true;
}

VideoReadStatus AnalysisResultSource::readFrame(VideoFrame *frame, QString *errorMessage)
{
    if (!m_opened || !frame) {
        reportFailure(errorMessage, notOpenMessage());
        return VideoReadStatus::Failed;
    }
    if (m_position >= m_store->frameCount())
        return VideoReadStatus::EndOfStream;
    if (!m_store->readFrame(m_position, frame, errorMessage))
        return VideoReadStatus::Failed;
    frame->frameIndex = m_firstFrameIndex + m_position;
    // The grid of the source's nominal rate replaces the stored times; none without a rate.
    frame->presentationTimeUs = media::isValidRate(m_metadata.nominalFrameRate)
        ? media::frameTimeUs(frame->frameIndex, m_metadata.nominalFrameRate)
        : -1;
    ++m_position;
    return VideoReadStatus::Frame;
}

VideoReadStatus AnalysisResultSource::skipFrame(qint64 *frameIndex, qint64 *presentationTimeUs, QString *errorMessage)
{
    VideoFrame frame;
    const VideoReadStatus status = readFrame(&frame, errorMessage);
    if (status == VideoReadStatus::Frame) {
        if (frameIndex)
            *frameIndex = frame.frameIndex;
        if (presentationTimeUs)
            *presentationTimeUs = frame.presentationTimeUs;
    }
    return status;
}

} // namespace ovra::project_data
