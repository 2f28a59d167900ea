// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "media/IVideoSink.h"
#include "media/StagingFile.h"
#include "media/libav/LibavEncoderSettings.h"

#include <QCoreApplication>
#include <QSize>
#include <QString>

#include <memory>

struct AVFrame;

namespace ovra::media::libav {

// Encodes equally sized pictures at a constant rate into H.264 (yuv420p) MP4 with its index
// first, or FFV1 (BGRA) Matroska. It writes a locked staging file beside the destination and
// publishes it by a rename that never replaces an existing file; nothing is left behind after a
// failure, a cancellation or an abort unless removing the staging file itself failed, which the
// clean-up message then names (and which blocks the next open until a retry succeeds).
class LibavVideoSink final : public IVideoSink
{
    Q_DECLARE_TR_FUNCTIONS(LibavVideoSink)

public:
    explicit LibavVideoSink(CancellationCheck cancellationCheck = {});
    ~LibavVideoSink() override;

    // The destination must not exist; the sink chooses its own staging file.
    bool open(const QString &outputFilePath, const VideoMetadata &metadata, const VideoEncodingSettings &settings,
              QString *errorMessage = nullptr) override;
    bool writeFrame(const QImage &image, QString *errorMessage = nullptr) override;
    bool finish(QString *errorMessage = nullptr) override;
    void abort() override;
    bool isOpen() const override { return m_open; }

    bool cancelled() const { return m_cancellation.cancelled(); }
    QString cleanupMessage() const override { return m_cleanupMessage; }

private:
    struct EncoderState;

    bool startEncoder(VideoOutputKind kind, double frameRate, int qualityPercent, QString *errorMessage);
    bool openCodec(VideoOutputKind kind, const VideoEncoderSettings &settings, QString *errorMessage);
    bool prepareConversion(QString *errorMessage);
    bool writeHeader(VideoOutputKind kind, QString *errorMessage);
    bool convertInto(AVFrame *frame, const QImage &image, QString *errorMessage);
    bool drainPackets(bool flushing, QString *errorMessage);
    bool publish(QString *errorMessage);
    bool failPublication(QString *errorMessage, const QString &message);

    CancellationState m_cancellation;
    std::unique_ptr<EncoderState> m_encoder;
    StagingFile m_staging;
    QString m_finalPath;
    QString m_cleanupMessage;
    QSize m_frameSize;
    double m_pixelAspectRatio = 1.0;
    bool m_open = false;
};

} // namespace ovra::media::libav
