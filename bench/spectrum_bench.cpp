// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the throughput of the motion spectrum of a whole video with a full-frame region:
// decoding alone, measuring alone (frames already decoded) and the whole analysis, whose
// decoding overlaps the measuring.
#include "BenchVideo.h"

#include "motion_core/RegionDisplacementTracker.h"
#include "processing/MotionSpectrumAnalysis.h"

#include <QCoreApplication>
#include <QTextStream>

#include <vector>

using ovra::bench::framesPerSecond;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    ovra::processing::MotionSpectrumRequest request;
    if (const int exitCode = ovra::bench::readBenchVideo("spectrum_bench FILE CAPTURE_FPS", 0, &request.sourceMetadata))
        return exitCode;
    const ovra::media::VideoMetadata &metadata = request.sourceMetadata;

    std::vector<QImage> frames = ovra::bench::decodeEveryFrame(metadata, 100);
    ovra::motion_core::RegionDisplacementTracker tracker(QRect(QPoint(0, 0), metadata.frameSize));
    if (!ovra::bench::measureAlone(tracker, frames, 5))
        return 1;
    out << "reduction=" << tracker.reduction() << Qt::endl;
    frames.clear();

    const ovra::processing::MotionSpectrumResult result
        = ovra::processing::MotionSpectrumAnalysis().run(request, {}, {});
    if (!result.succeeded()) {
        QTextStream(stderr) << result.errorMessage << Qt::endl;
        return 1;
    }
    out << "spectrum_fps_decode_included=" << framesPerSecond(result.analysedFrames, result.elapsedUs * 1000)
        << " resolution_hz=" << result.spectrum.resolutionHz << " peaks=" << result.spectrum.peaks.size() << Qt::endl;
    return 0;
}
