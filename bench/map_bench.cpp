// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the throughput of the vibration map of a whole video with a full-frame region at the
// default tile size: decoding alone, measuring alone (frames already decoded, on the calling
// thread) and the whole analysis, decoding included, whose decoding overlaps the measuring.
#include "BenchVideo.h"

#include "motion_core/RegionDisplacementTracker.h"
#include "processing/VibrationMapAnalysis.h"

#include <QCoreApplication>
#include <QTextStream>

#include <vector>

using ovra::bench::framesPerSecond;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    ovra::processing::VibrationMapRequest request;
    if (const int exitCode
        = ovra::bench::readBenchVideo("map_bench FILE CAPTURE_FPS [TILE_PIXELS]", 1, &request.sourceMetadata))
        return exitCode;
    request.tilePixels = QCoreApplication::arguments().value(3).toInt();
    // A band of a tenth of the Nyquist frequency around a fifth of it.
    request.lowerFrequencyHz = 0.15 * request.sourceMetadata.captureFrameRate;
    request.upperFrequencyHz = 0.25 * request.sourceMetadata.captureFrameRate;
    const ovra::media::VideoMetadata &metadata = request.sourceMetadata;
    const int tilePixels = request.tilePixels > 0
        ? request.tilePixels
        : ovra::processing::VibrationMapAnalysis::automaticTilePixels(metadata.frameSize);
    const ovra::motion_core::TileLayout layout
        = ovra::motion_core::TileLayout::grid(QRect(QPoint(0, 0), metadata.frameSize), tilePixels);
    QTextStream out(stdout);
    out << "tile_pixels=" << tilePixels << " reduction=" << layout.reduction << " tiles=" << layout.tileCount()
        << Qt::endl;

    const std::vector<QImage> frames = ovra::bench::decodeEveryFrame(metadata, 100);
    ovra::motion_core::RegionDisplacementTracker tracker(layout);
    if (!ovra::bench::measureAlone(tracker, frames, 3))
        return 1;

    const ovra::processing::VibrationMapResult result = ovra::processing::VibrationMapAnalysis().run(request, {}, {});
    if (!result.succeeded()) {
        QTextStream(stderr) << result.errorMessage << Qt::endl;
        return 1;
    }
    out << "map_fps_decode_included=" << framesPerSecond(result.analysedFrames, result.elapsedUs * 1000)
        << " resolution_hz=" << result.map.resolutionHz << " textured_tiles=" << result.map.texturedTileCount()
        << Qt::endl;
    return 0;
}
