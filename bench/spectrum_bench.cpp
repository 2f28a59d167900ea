// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the throughput of the motion spectrum of a whole video with a full-frame region:
// decoding alone, measuring alone (frames already decoded) and the whole analysis, whose
// decoding overlaps the measuring.
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSource.h"
#include "motion_core/RegionDisplacementTracker.h"
#include "processing/MotionSpectrumAnalysis.h"

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

// Decodes every frame; keeps the first `kept` ones.
qint64 decodeAll(const ovra::media::VideoMetadata &metadata, int kept, std::vector<QImage> *frames)
{
    ovra::media::libav::LibavVideoSource source;
    if (!source.openWithMetadata(metadata))
        return 0;
    ovra::media::VideoFrame frame;
    qint64 decoded = 0;
    while (source.readFrame(&frame) == ovra::media::VideoReadStatus::Frame) {
        if (decoded++ < kept)
            frames->push_back(frame.image);
    }
    return decoded;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        err << "usage: spectrum_bench FILE CAPTURE_FPS" << Qt::endl;
        return 2;
    }
    ovra::media::libav::LibavRuntime::setLibraryLogEnabled(false);
    ovra::processing::MotionSpectrumRequest request;
    QString error;
    if (!ovra::media::libav::LibavVideoAnalyzer().analyze(arguments[1], &request.sourceMetadata, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    request.sourceMetadata.captureFrameRate = arguments[2].toDouble();
    const ovra::media::VideoMetadata &metadata = request.sourceMetadata;
    out << "frames=" << metadata.frameCount << " size=" << metadata.frameSize.width() << 'x'
        << metadata.frameSize.height() << " logical_processors=" << QThread::idealThreadCount() << Qt::endl;

    QElapsedTimer timer;
    timer.start();
    std::vector<QImage> frames;
    const qint64 decoded = decodeAll(metadata, 100, &frames);
    out << "decode_rgba_fps=" << fps(decoded, timer.nsecsElapsed()) << Qt::endl;

    ovra::motion_core::RegionDisplacementTracker tracker(QRect(QPoint(0, 0), metadata.frameSize));
    if (frames.empty() || !tracker.setReference(frames.front())) {
        err << "no texture to follow" << Qt::endl;
        return 1;
    }
    timer.restart();
    for (int pass = 0; pass < 5; ++pass)
        for (const QImage &frame : frames)
            tracker.track(frame);
    out << "measure_fps_one_thread=" << fps(5 * qint64(frames.size()), timer.nsecsElapsed())
        << " tiles=" << tracker.series().tileCount << " reduction=" << tracker.reduction() << Qt::endl;
    frames.clear();

    const ovra::processing::MotionSpectrumResult result
        = ovra::processing::MotionSpectrumAnalysis().run(request, {}, {});
    if (!result.succeeded()) {
        err << result.errorMessage << Qt::endl;
        return 1;
    }
    out << "spectrum_fps_decode_included=" << fps(result.analysedFrames, result.elapsedUs * 1000)
        << " resolution_hz=" << result.spectrum.resolutionHz << " peaks=" << result.spectrum.peaks.size() << Qt::endl;
    return 0;
}
