// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "media/VideoMetadata.h"

#include <QCoreApplication>
#include <QImage>
#include <QString>

#include <functional>

struct AVDictionary;

namespace ovra::media::libav {

// Decodes every frame of a video once to build its complete metadata and time grid.
class LibavVideoAnalyzer
{
    Q_DECLARE_TR_FUNCTIONS(LibavVideoAnalyzer)

public:
    using FirstFrameCallback = std::function<void(const QImage &)>;
    // A fraction in [0, 0.99], or -1 when the progress cannot be estimated.
    using ProgressCallback = std::function<void(double)>;

    explicit LibavVideoAnalyzer(CancellationCheck cancellationCheck = {});

    // On success overwrites *metadata completely; on failure leaves it untouched.
    bool analyze(const QString &filePath, VideoMetadata *metadata, QString *errorMessage = nullptr,
                 const FirstFrameCallback &firstFrameReady = {}, const ProgressCallback &progress = {});
    bool cancelled() const { return m_cancellation.cancelled(); }
    // Display rotation (0..359 degrees) of the last successfully analysed file.
    int rotationDegrees() const { return m_rotationDegrees; }

private:
    CancellationState m_cancellation;
    int m_rotationDegrees = 0;
};

// Whether a metadata dictionary marks the recording as not meant for full-frame-rate playback.
bool hasSlowMotionPlaybackIntent(const AVDictionary *metadata);

} // namespace ovra::media::libav
