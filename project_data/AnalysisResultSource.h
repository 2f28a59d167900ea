// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/IVideoSource.h"
#include "project_data/AnalysisResult.h"

#include <QCoreApplication>
#include <memory>

namespace ovra::project_data {

// Presents a finished analysis result as a video. The stored frames cover a fragment of the
// source; the store's first frame index maps them back to the source's frame numbers and time line.
class AnalysisResultSource final : public media::IVideoSource
{
    Q_DECLARE_TR_FUNCTIONS(AnalysisResultSource)

public:
    explicit AnalysisResultSource(std::shared_ptr<const AnalysisResult> store);

    bool open(const QString &filePath, QString *errorMessage = nullptr) override;
    bool openWithMetadata(const media::VideoMetadata &metadata, QString *errorMessage = nullptr) override;
    void close() override { m_opened = false; }
    bool isOpen() const override { return m_opened; }
    const media::VideoMetadata &metadata() const override { return m_metadata; }
    bool seekToTime(qint64 timeUs, QString *errorMessage = nullptr) override;
    bool seekToFrame(qint64 frameIndex, QString *errorMessage = nullptr) override;
    media::VideoReadStatus readFrame(media::VideoFrame *frame, QString *errorMessage = nullptr) override;
    media::VideoReadStatus skipFrame(qint64 *frameIndex = nullptr, qint64 *presentationTimeUs = nullptr,
                                     QString *errorMessage = nullptr) override;
    // Reading the store cannot be cancelled.
    bool cancelled() const override { return false; }

private:
    std::shared_ptr<const AnalysisResult> m_store;
    media::VideoMetadata m_metadata;
    qint64 m_firstFrameIndex = 0;
    qint64 m_position = 0;
    bool m_opened = false;
};

} // namespace ovra::project_data
