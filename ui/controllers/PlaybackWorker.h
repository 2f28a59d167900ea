// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/IVideoSource.h"
#include "motion_core/MotionWorkerPool.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QTransform>

#include <atomic>
#include <memory>
#include <vector>

class QTimer;

namespace ovra::project_data {
class AnalysisResult;
}

namespace ovra::ui::controllers {

// Decodes the source video and, while an analysis result is configured, the matching frames
// of the analysis result, in step, on the playback thread. Every request carries the number the
// controller gave it; answers carry the number of the request being served.
class PlaybackWorker : public QObject
{
    Q_OBJECT

public:
    using Flag = std::shared_ptr<std::atomic_bool>;

    explicit PlaybackWorker(QObject *parent = nullptr);
    ~PlaybackWorker() override;

    // Requests; the controller posts them as queued calls into the worker thread.
    void load(quint64 runNumber, const media::VideoMetadata &metadata, const Flag &cancelFlag);
    void play(quint64 runNumber, qint64 startFrame, qint64 endFrameExclusive, double framesPerSecond);
    void pause(quint64 runNumber);
    void seek(quint64 runNumber, qint64 frameIndex);
    void step(quint64 runNumber, int direction);
    void configureResult(quint64 runNumber, const std::shared_ptr<const project_data::AnalysisResult> &result,
                         qint64 startFrame, qint64 endFrameExclusive);
    void clearResult(quint64 runNumber);
    // A mode rather than a request: source frames of the result's fragment are shown warped as
    // the result saw them, from now on and, when it is still, at once for the frame shown.
    void setSourceStabilized(bool stabilized);
    void close(quint64 runNumber);
    // The only direct call, from any thread: stops the running playback loop at the next frame.
    void requestInterrupt() { m_interrupt.store(true); }

    // Pacing: the display is refreshed at most 30 times per second.
    static int tickIntervalMs(double framesPerSecond);
    // Frames to decode on one tick (at least one); updates the fractional carry.
    static int framesForTick(int intervalMs, double framesPerSecond, double *carry);

signals:
    void framePairDecoded(qulonglong runNumber, const QImage &sourceImage, const QImage &resultImage,
                          qlonglong frameIndex, qlonglong presentationTimeUs);
    void resultConfigurationChanged(qulonglong runNumber, bool available, const QString &errorMessage);
    void playingChanged(qulonglong runNumber, bool playing);
    void operationFailed(qulonglong runNumber, const QString &errorMessage);
    void endReached(qulonglong runNumber);

private slots:
    void _decodeNextFrame();

private:
    void closeAll();
    void startPlaying();
    void stopPlaying();
    bool cancelled() const;
    // Reads (or skips, without conversion) the next source frame and its result counterpart;
    // a converted pair is sent. False when the loop must stop (end, failure).
    bool readPair(bool convert);
    bool readResult(qint64 frameIndex, bool convert, QImage *image);
    bool seekAndShow(qint64 frameIndex);
    void reachEnd();
    void failResult(const QString &message);
    void forgetResult();
    QImage shownSource(qint64 frameIndex, const QImage &image);

    std::unique_ptr<media::IVideoSource> m_source;
    std::unique_ptr<media::IVideoSource> m_resultSource;
    Flag m_cancelFlag;
    media::VideoMetadata m_metadata;
    quint64 m_runNumber = 0;
    qint64 m_currentFrameIndex = -1;
    qint64 m_nextSourceIndex = -1; // the frame the source reads next; -1 when unknown
    qint64 m_resultStart = 0;
    qint64 m_resultEnd = 0;
    qint64 m_lastResultIndex = -1;
    std::vector<QTransform> m_cameraTransforms; // of the result's frames; empty without compensation
    bool m_sourceStabilized = false;
    // A full HD warp takes a thread some 20 ms: shown frames share it out like the motion core.
    motion_core::MotionWorkerPool m_warpPool;
    qint64 m_playbackEnd = 0;
    double m_framesPerSecond = 0.0;
    double m_carry = 0.0;
    std::atomic_bool m_interrupt{false};
    bool m_playing = false;
    QTimer *m_timer = nullptr;
};

} // namespace ovra::ui::controllers
