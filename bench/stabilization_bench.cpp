// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what compensating the camera's motion costs per frame on one thread, split into the
// estimate against the first frame (whole-frame reference) and the warp back onto it.
#include "BenchVideo.h"

#include "motion_core/CameraMotionEstimator.h"
#include "motion_core/FrameWarp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    ovra::media::VideoMetadata metadata;
    if (const int exitCode = ovra::bench::readBenchVideo("stabilization_bench FILE CAPTURE_FPS", 0, &metadata))
        return exitCode;
    const std::vector<QImage> frames = ovra::bench::decodeEveryFrame(metadata, 60);
    ovra::motion_core::CameraMotionEstimator estimator(QRect(QPoint(0, 0), metadata.frameSize),
                                                       metadata.pixelAspectRatio);
    QTextStream out(stdout);
    if (!estimator.setReference(frames.front())) {
        QTextStream(stderr) << "the first frame has no texture to follow" << Qt::endl;
        return 1;
    }
    std::vector<QTransform> transforms;
    QElapsedTimer timer;
    timer.start();
    for (size_t i = 1; i < frames.size(); ++i)
        transforms.push_back(estimator.track(frames[i]));
    const double estimateMs = timer.nsecsElapsed() / 1e6 / double(transforms.size());

    ovra::motion_core::MotionWorkerPool pool;
    QImage warped;
    timer.restart();
    for (size_t i = 0; i < transforms.size(); ++i)
        ovra::motion_core::warpFrame(pool, frames[i + 1], transforms[i], &warped);
    const double warpMs = timer.nsecsElapsed() / 1e6 / double(transforms.size());
    const ovra::motion_core::CameraMotionSummary summary
        = ovra::motion_core::summarizeCameraMotion(transforms, metadata.frameSize, metadata.pixelAspectRatio);
    out << "estimate_ms_per_frame=" << QString::number(estimateMs, 'f', 2)
        << " warp_ms_per_frame=" << QString::number(warpMs, 'f', 2)
        << " camera_rms_px=" << QString::number(summary.rmsPixels, 'f', 3) << Qt::endl;
    return 0;
}
