// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "media/VideoFrame.h"
#include "media/libav/LibavSupport.h"

#include <QSize>

#include <optional>

namespace ovra::media::libav {

// The best video stream of a file opened for decoding: demuxer, decoder, and the packet and
// frame they reuse. The analyser and the source share it and word its failures in their own
// terms, so a failure names the step that failed and FFmpeg's error code.
class LibavDecoder
{
public:
    enum class Step {
        AllocateInput,
        OpenInput,
        ReadStreamInfo,
        FindStream,
        AllocateDecoder,
        ConfigureDecoder,
        StartDecoder,
        AllocateBuffers,
        Seek,
        ReadPacket,
        SendPacket,
        Flush,
        Receive,
        Cancelled,
    };
    struct Failure
    {
        Step step = Step::Cancelled;
        int code = 0;
    };

    // The cancellation state is polled between packets and from inside FFmpeg's blocking I/O.
    explicit LibavDecoder(CancellationState *cancellation);

    // threadCount 0 lets FFmpeg use a thread per core (its own default would be one).
    bool open(const QString &filePath, int threadCount, Failure *failure);
    // Positions the demuxer at the key frame at or before a timestamp of the stream's time base.
    bool seek(qint64 timestamp, Failure *failure);
    // Frame (then frame() holds it until the next call), EndOfStream or Failed.
    VideoReadStatus decodeNext(Failure *failure);

    AVFormatContext *input() const { return m_input.get(); }
    AVStream *stream() const { return m_stream; }
    AVFrame *frame() const { return m_frame.get(); }
    int rotationDegrees() const;
    // The coded size, turned for a display rotation of 90 or 270 degrees.
    QSize displaySize() const;

private:
    bool fail(Failure *failure, Step step, int code = 0);
    bool feedDecoder(Failure *failure);

    CancellationState *m_cancellation;
    InputContextPtr m_input;
    CodecContextPtr m_codec;
    PacketPtr m_packet;
    FramePtr m_frame;
    AVStream *m_stream = nullptr;
    int m_streamIndex = -1;
    bool m_reachedEndOfFile = false;
    bool m_flushSent = false;
    std::optional<qint64> m_seekTarget;
};

} // namespace ovra::media::libav
