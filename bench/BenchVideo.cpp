// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchVideo.h"

#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>

namespace ovra::bench {

QString framesPerSecond(qint64 frames, qint64 nanoseconds)
{
    return QString::number(nanoseconds > 0 ? frames * 1e9 / nanoseconds : 0.0, 'f', 1);
}

int readBenchVideo(const QString &usage, int optionalArguments, media::VideoMetadata *metadata)
{
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3 || arguments.size() > 3 + optionalArguments) {
        QTextStream(stderr) << "usage: " << usage << Qt::endl;
        return 2;
    }
    media::libav::LibavRuntime::setLibraryLogEnabled(false);
    QString error;
    if (!media::libav::LibavVideoAnalyzer().analyze(arguments[1], metadata, &error)) {
        QTextStream(stderr) << error << Qt::endl;
        return 1;
    }
    metadata->captureFrameRate = arguments[2].toDouble();
    QTextStream(stdout) << "frames=" << metadata->frameCount << " size=" << metadata->frameSize.width() << 'x'
                        << metadata->frameSize.height() << " logical_processors=" << QThread::idealThreadCount()
                        << Qt::endl;
    return 0;
}

std::vector<QImage> decodeEveryFrame(const media::VideoMetadata &metadata, int kept)
{
    QElapsedTimer timer;
    timer.start();
    std::vector<QImage> frames;
    media::libav::LibavVideoSource source;
    media::VideoFrame frame;
    qint64 decoded = 0;
    if (source.openWithMetadata(metadata)) {
        for (; source.readFrame(&frame) == media::VideoReadStatus::Frame; ++decoded) {
            if (decoded < kept)
                frames.push_back(frame.image);
        }
    }
    QTextStream(stdout) << "decode_rgba_fps=" << framesPerSecond(decoded, timer.nsecsElapsed()) << Qt::endl;
    return frames;
}

bool measureAlone(motion_core::RegionDisplacementTracker &tracker, const std::vector<QImage> &frames, int passes)
{
    if (frames.empty() || !tracker.setReference(frames.front())) {
        QTextStream(stderr) << "no texture to follow" << Qt::endl;
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    for (int pass = 0; pass < passes; ++pass)
        for (const QImage &frame : frames)
            tracker.track(frame);
    QTextStream(stdout) << "measure_fps_one_thread="
                        << framesPerSecond(passes * qint64(frames.size()), timer.nsecsElapsed())
                        << " tiles=" << tracker.series().tileCount << Qt::endl;
    return true;
}

} // namespace ovra::bench
