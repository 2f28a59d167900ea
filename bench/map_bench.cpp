// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the throughput of the vibration map of a whole video with a full-frame region at the
// default tile size: measuring alone (frames already decoded, on the calling thread) and the
// whole analysis, decoding included, whose decoding overlaps the measuring.
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSource.h"
#include "motion_core/RegionDisplacementTracker.h"
#include "processing/VibrationMapAnalysis.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>

#include <vector>

namespace {

QString fps(qint64 frames, qint64 nanoseconds)
{
    return QString::number(nanoseconds > 0 ? frames * 1e9 / nanoseconds : 0.0, 'f', 1);
}

std::vector<QImage> firstFrames(const ovra::media::VideoMetadata &metadata, int count)
{
    std::vector<QImage> frames;
    ovra::media::libav::LibavVideoSource source;
    ovra::media::VideoFrame frame;
    if (source.openWithMetadata(metadata))
        while (int(frames.size()) < count && source.readFrame(&frame) == ovra::media::VideoReadStatus::Frame)
            frames.push_back(frame.image);
    return frames;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3 && arguments.size() != 4) {
        err << "usage: map_bench FILE CAPTURE_FPS [TILE_PIXELS]" << Qt::endl;
        return 2;
    }
    ovra::media::libav::LibavRuntime::setLibraryLogEnabled(false);
    ovra::processing::VibrationMapRequest request;
    QString error;
    if (!ovra::media::libav::LibavVideoAnalyzer().analyze(arguments[1], &request.sourceMetadata, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    request.sourceMetadata.captureFrameRate = arguments[2].toDouble();
    request.tilePixels = arguments.value(3).toInt();
    // A band of a tenth of the Nyquist frequency around a fifth of it.
    request.lowerFrequencyHz = 0.15 * request.sourceMetadata.captureFrameRate;
    request.upperFrequencyHz = 0.25 * request.sourceMetadata.captureFrameRate;
    const ovra::media::VideoMetadata &metadata = request.sourceMetadata;
    const int tilePixels = request.tilePixels > 0
        ? request.tilePixels
        : ovra::processing::VibrationMapAnalysis::automaticTilePixels(metadata.frameSize);
    const ovra::motion_core::TileLayout layout
        = ovra::motion_core::TileLayout::grid(QRect(QPoint(0, 0), metadata.frameSize), tilePixels);
    out << "frames=" << metadata.frameCount << " size=" << metadata.frameSize.width() << 'x'
        << metadata.frameSize.height() << " logical_processors=" << QThread::idealThreadCount()
        << " tile_pixels=" << tilePixels << " reduction=" << layout.reduction << " tiles=" << layout.tileCount()
        << Qt::endl;

    const std::vector<QImage> frames = firstFrames(metadata, 100);
    ovra::motion_core::RegionDisplacementTracker tracker(layout);
    if (frames.empty() || !tracker.setReference(frames.front())) {
        err << "no texture to follow" << Qt::endl;
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    for (int pass = 0; pass < 3; ++pass)
        for (const QImage &frame : frames)
            tracker.track(frame);
    out << "measure_fps_one_thread=" << fps(3 * qint64(frames.size()), timer.nsecsElapsed())
        << " followed_tiles=" << tracker.series().tileCount << Qt::endl;

    const ovra::processing::VibrationMapResult result = ovra::processing::VibrationMapAnalysis().run(request, {}, {});
    if (!result.succeeded()) {
        err << result.errorMessage << Qt::endl;
        return 1;
    }
    out << "map_fps_decode_included=" << fps(result.analysedFrames, result.elapsedUs * 1000)
        << " resolution_hz=" << result.map.resolutionHz << " textured_tiles=" << result.map.texturedTileCount()
        << Qt::endl;
    return 0;
}
