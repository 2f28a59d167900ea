// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/libav/LibavDecoder.h"

#include <algorithm>

namespace ovra::media::libav {

LibavDecoder::LibavDecoder(CancellationState *cancellation)
    : m_cancellation(cancellation)
{
}

bool LibavDecoder::fail(Failure *failure, Step step, int code)
{
    // Whatever failed while a cancellation was pending failed because of it.
    *failure = m_cancellation->query() ? Failure{Step::Cancelled, 0} : Failure{step, code};
    return false;
}

bool LibavDecoder::open(const QString &filePath, int threadCount, Failure *failure)
{
    m_input.reset(avformat_alloc_context());
    if (!m_input)
        return fail(failure, Step::AllocateInput);
    installInterruptCallback(m_input.get(), m_cancellation);
    AVFormatContext *opening = m_input.release();
    int result = avformat_open_input(&opening, filePath.toUtf8().constData(), nullptr, nullptr);
    if (result < 0)
        return fail(failure, Step::OpenInput, result);
    m_input.reset(opening);
    result = avformat_find_stream_info(m_input.get(), nullptr);
    if (result < 0)
        return fail(failure, Step::ReadStreamInfo, result);

    const AVCodec *decoder = nullptr;
    m_streamIndex = av_find_best_stream(m_input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (m_streamIndex < 0 || !decoder)
        return fail(failure, Step::FindStream, m_streamIndex);
    m_stream = m_input->streams[m_streamIndex];

    m_codec.reset(avcodec_alloc_context3(decoder));
    if (!m_codec)
        return fail(failure, Step::AllocateDecoder);
    result = avcodec_parameters_to_context(m_codec.get(), m_stream->codecpar);
    if (result < 0)
        return fail(failure, Step::ConfigureDecoder, result);
    m_codec->thread_count = std::max(threadCount, 0);
    result = avcodec_open2(m_codec.get(), decoder, nullptr);
    if (result < 0)
        return fail(failure, Step::StartDecoder, result);

    m_packet.reset(av_packet_alloc());
    m_frame.reset(av_frame_alloc());
    if (!m_packet || !m_frame)
        return fail(failure, Step::AllocateBuffers);
    return true;
}

bool LibavDecoder::seek(qint64 timestamp, Failure *failure)
{
    const int result = av_seek_frame(m_input.get(), m_streamIndex, timestamp, AVSEEK_FLAG_BACKWARD);
    if (result < 0)
        return fail(failure, Step::Seek, result);
    avcodec_flush_buffers(m_codec.get());
    av_packet_unref(m_packet.get());
    av_frame_unref(m_frame.get());
    m_reachedEndOfFile = false;
    m_flushSent = false;
    m_seekTarget = timestamp;
    return true;
}

VideoReadStatus LibavDecoder::decodeNext(Failure *failure)
{
    av_frame_unref(m_frame.get());
    if (m_cancellation->query()) {
        fail(failure, Step::Cancelled);
        return VideoReadStatus::Failed;
    }
    for (;;) {
        const int received = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (received >= 0)
            return VideoReadStatus::Frame;
        if (received == AVERROR_EOF || (received == AVERROR(EAGAIN) && m_flushSent))
            return VideoReadStatus::EndOfStream;
        if (received != AVERROR(EAGAIN)) {
            fail(failure, Step::Receive, received);
            return VideoReadStatus::Failed;
        }
        if (!feedDecoder(failure))
            return VideoReadStatus::Failed;
        if (m_cancellation->query()) {
            fail(failure, Step::Cancelled);
            return VideoReadStatus::Failed;
        }
    }
}

// Sends the decoder the next packet of the stream, or the flush once the file has ended.
bool LibavDecoder::feedDecoder(Failure *failure)
{
    while (!m_reachedEndOfFile) {
        const int read = av_read_frame(m_input.get(), m_packet.get());
        if (read == AVERROR_EOF) {
            m_reachedEndOfFile = true;
        } else if (read < 0) {
            return fail(failure, Step::ReadPacket, read);
        } else if (m_packet->stream_index != m_streamIndex) {
            av_packet_unref(m_packet.get());
        } else {
            // Frames before a seek's target are never shown: those no other frame refers to need
            // not be decoded at all, which shortens an exact seek to a frame far from its key frame.
            const qint64 presentation = m_packet->pts;
            m_codec->skip_frame = m_seekTarget && presentation != AV_NOPTS_VALUE && presentation < *m_seekTarget
                ? AVDISCARD_NONREF
                : AVDISCARD_DEFAULT;
            const int sent = avcodec_send_packet(m_codec.get(), m_packet.get());
            av_packet_unref(m_packet.get());
            return sent >= 0 || fail(failure, Step::SendPacket, sent);
        }
    }
    const int flushed = avcodec_send_packet(m_codec.get(), nullptr);
    if (flushed < 0 && flushed != AVERROR_EOF)
        return fail(failure, Step::Flush, flushed);
    m_flushSent = true;
    return true;
}

int LibavDecoder::rotationDegrees() const
{
    return displayRotationDegrees(m_stream);
}

QSize LibavDecoder::displaySize() const
{
    const int rotation = rotationDegrees();
    const QSize coded(m_stream->codecpar->width, m_stream->codecpar->height);
    return rotation == 90 || rotation == 270 ? coded.transposed() : coded;
}

} // namespace ovra::media::libav
