// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "media/IVideoSource.h"

#include <QCoreApplication>
#include <memory>

namespace ovra::media::libav {

// Decodes a video analysed by LibavVideoAnalyzer into upright RGBA8888 frames, with seeking
// that lands exactly on the requested frame even between key frames.
class LibavVideoSource final : public IVideoSource
{
    Q_DECLARE_TR_FUNCTIONS(LibavVideoSource)

public:
    // decoderThreadCount 0 lets FFmpeg choose.
    explicit LibavVideoSource(CancellationCheck cancellationCheck = {}, int decoderThreadCount = 0);
    ~LibavVideoSource() override;

    bool open(const QString &filePath, QString *errorMessage = nullptr) override;
    bool openWithMetadata(const VideoMetadata &metadata, QString *errorMessage = nullptr) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    const VideoMetadata &metadata() const override { return m_metadata; }
    bool seekToTime(qint64 timeUs, QString *errorMessage = nullptr) override;
    bool seekToFrame(qint64 frameIndex, QString *errorMessage = nullptr) override;
    VideoReadStatus readFrame(VideoFrame *frame, QString *errorMessage = nullptr) override;
    VideoReadStatus skipFrame(qint64 *frameIndex = nullptr, qint64 *presentationTimeUs = nullptr,
                              QString *errorMessage = nullptr) override;
    bool cancelled() const override { return m_cancellation.cancelled(); }

private:
    struct DecoderState;

    bool openDecoder(QString *errorMessage);
    bool seekToValidFrame(qint64 frameIndex, QString *errorMessage);
    VideoReadStatus decodeNextFrame(QString *errorMessage);
    // Reads the next frame, converting it only when an image is asked for.
    VideoReadStatus advance(QImage *image, qint64 *frameIndex, qint64 *presentationTimeUs, QString *errorMessage);
    bool convertDecodedFrame(QImage *image, QString *errorMessage);

    CancellationState m_cancellation;
    int m_decoderThreadCount = 0;
    VideoMetadata m_metadata;
    qint64 m_cursor = 0;
    bool m_open = false;
    std::unique_ptr<DecoderState> m_decoder;
};

} // namespace ovra::media::libav
