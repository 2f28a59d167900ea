// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the throughput of a full analysis run, of exporting its result and of a direct
// export, with the per-frame cost of each pipeline stage, the exported file's size and its
// fidelity to the stored frames, the processor time per frame and the store's size per minute
// of video.
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSource.h"
#include "processing/VideoProcessingPipeline.h"
#include "project_data/AnalysisResult.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <sys/resource.h>

namespace {

using ovra::project_data::AnalysisResult;
using ovra::project_data::ProcessingPerformance;
using ovra::project_data::ProcessingRequest;
using ovra::project_data::ProcessingResult;

constexpr int psnrFrameStep = 4; // every fourth frame is compared, the others are only decoded

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString perFrame(qint64 microseconds, qint64 frames)
{
    return fixed(frames > 0 ? microseconds / 1000.0 / frames : 0.0, 3);
}

void printRun(QTextStream &out, const char *prefix, const ProcessingPerformance &performance)
{
    const qint64 frames = performance.measuredFrames;
    out << prefix << "_fps=" << fixed(performance.frameThroughputFps(), 1) << Qt::endl;
    out << prefix << "_decoder_ms_per_frame=" << perFrame(performance.decoderUs, frames) << Qt::endl;
    out << prefix << "_motion_ms_per_frame=" << perFrame(performance.motionProcessingUs, frames) << Qt::endl;
    out << prefix << "_write_ms_per_frame=" << perFrame(performance.encoderWriteUs, frames) << Qt::endl;
    out << prefix << "_finalize_ms=" << fixed(performance.encoderFinalizeUs / 1000.0, 1) << Qt::endl;
}

// Squared error summed over the colour channels of two equally sized images.
double squaredError(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGBX8888);
    const QImage y = b.convertToFormat(QImage::Format_RGBX8888);
    double sum = 0.0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row);
        const uchar *q = y.constScanLine(row);
        for (int i = 0; i < 4 * x.width(); ++i) {
            if (i % 4 == 3)
                continue;
            const double d = double(p[i]) - q[i];
            sum += d * d;
        }
    }
    return sum;
}

// PSNR in dB of the exported video against the stored frames, over every psnrFrameStep-th frame.
double exportPsnr(const QString &video, const AnalysisResult &store)
{
    ovra::media::libav::LibavVideoSource source;
    if (!source.open(video))
        return 0.0;
    double error = 0.0;
    double samples = 0.0;
    ovra::media::VideoFrame decoded;
    ovra::media::VideoFrame stored;
    for (qint64 i = 0; source.readFrame(&decoded) == ovra::media::VideoReadStatus::Frame; ++i) {
        if (i % psnrFrameStep != 0 || !store.readFrame(i, &stored))
            continue;
        error += squaredError(decoded.image, stored.image);
        samples += 3.0 * decoded.image.width() * decoded.image.height();
    }
    return samples > 0 && error > 0 ? 10.0 * std::log10(255.0 * 255.0 * samples / error) : 0.0;
}

// User and system processor time of the whole process so far, all threads together.
qint64 processorTimeUs()
{
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto microseconds = [](const timeval &time) { return qint64(time.tv_sec) * 1000000 + time.tv_usec; };
    return microseconds(usage.ru_utime) + microseconds(usage.ru_stime);
}

bool runAndPrint(QTextStream &out, QTextStream &err, const char *prefix, const ProcessingRequest &request,
                 ProcessingResult *result)
{
    const qint64 processorStartUs = processorTimeUs();
    *result = ovra::processing::VideoProcessingPipeline().run(request, {}, {});
    if (!result->succeeded()) {
        err << prefix << ": " << result->errorMessage << Qt::endl;
        return false;
    }
    printRun(out, prefix, result->performance);
    // Less sensitive than the rate to other work on the machine.
    out << prefix
        << "_cpu_ms_per_frame=" << perFrame(processorTimeUs() - processorStartUs, result->performance.measuredFrames)
        << Qt::endl;
    if (!result->outputVideoPath.isEmpty())
        out << prefix << "_file_mb=" << fixed(QFileInfo(result->outputVideoPath).size() / 1e6, 2) << Qt::endl;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        err << "usage: pipeline_bench FILE" << Qt::endl;
        return 2;
    }
    ovra::media::libav::LibavRuntime::setLibraryLogEnabled(false);

    ProcessingRequest request;
    QString error;
    if (!ovra::media::libav::LibavVideoAnalyzer().analyze(arguments[1], &request.sourceMetadata, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    ovra::media::VideoMetadata &metadata = request.sourceMetadata;
    if (!metadata.captureFrameRateKnown())
        metadata.captureFrameRate = 240.0;
    request.settings.startFrame = 0;
    request.settings.endFrameExclusive = metadata.frameCount;
    request.settings.lowerFrequencyHz = 9.0;
    request.settings.upperFrequencyHz = 14.0;
    request.settings.amplificationFactor = 5.0;
    request.settings.workerThreadCount = 2;
    request.analysisMode = true;
    const qint64 minuteBytes
        = AnalysisResult::requiredStorageBytes(metadata.frameSize, std::llround(60.0 * metadata.nominalFrameRate));
    out << "frames=" << metadata.frameCount << " size=" << metadata.frameSize.width() << 'x'
        << metadata.frameSize.height() << " threads=2 quality=" << request.encoding.qualityPercent
        << " store_gb_per_minute=" << fixed(minuteBytes / 1e9, 2) << Qt::endl;

    ProcessingResult analysis;
    if (!runAndPrint(out, err, "analysis", request, &analysis))
        return 1;
    // The same analysis with the camera's motion compensated against the whole frame.
    ProcessingRequest stabilized = request;
    stabilized.settings.cameraMotionCompensationEnabled = true;
    stabilized.settings.stabilizationReferenceRegion = QRectF(0.0, 0.0, 1.0, 1.0);
    ProcessingResult stabilizedAnalysis;
    if (!runAndPrint(out, err, "analysis_stabilized", stabilized, &stabilizedAnalysis))
        return 1;
    stabilizedAnalysis = {};

    QTemporaryDir folder;
    request.analysisMode = false;
    request.sourceResult = analysis.analysisResult;
    request.outputVideoPath = folder.filePath(QStringLiteral("export.mp4"));
    ProcessingResult exported;
    if (!runAndPrint(out, err, "export", request, &exported))
        return 1;
    out << "export_psnr_db=" << fixed(exportPsnr(exported.outputVideoPath, *analysis.analysisResult), 2) << Qt::endl;

    request.sourceResult.reset();
    request.outputVideoPath = folder.filePath(QStringLiteral("direct.mp4"));
    ProcessingResult direct;
    return runAndPrint(out, err, "direct", request, &direct) ? 0 : 1;
}
