// Prints the throughput of a full analysis run and of exporting its result, with the
// per-frame cost of each pipeline stage.
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "processing/VideoProcessingPipeline.h"
#include "project_data/TemporaryVideo.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

using ovra::project_data::ProcessingPerformance;

QString perFrame(qint64 microseconds, qint64 frames)
{
    return QString::number(frames > 0 ? microseconds / 1000.0 / frames : 0.0, 'f', 3);
}

void printRun(QTextStream &out, const char *prefix, const ProcessingPerformance &performance)
{
    const qint64 frames = performance.measuredFrames;
    out << prefix << "_fps=" << QString::number(performance.frameThroughputFps(), 'f', 1) << Qt::endl;
    out << prefix << "_decoder_ms_per_frame=" << perFrame(performance.decoderUs, frames) << Qt::endl;
    out << prefix << "_motion_ms_per_frame=" << perFrame(performance.motionProcessingUs, frames) << Qt::endl;
    out << prefix << "_write_ms_per_frame=" << perFrame(performance.encoderWriteUs, frames) << Qt::endl;
    out << prefix << "_finalize_ms=" << QString::number(performance.encoderFinalizeUs / 1000.0, 'f', 1) << Qt::endl;
    const double loop = static_cast<double>(performance.frameLoopElapsedUs);
    const double notMotion = loop > 0 ? 100.0 * (loop - performance.motionProcessingUs) / loop : 0.0;
    out << prefix << "_loop_share_not_motion_percent=" << QString::number(notMotion, 'f', 1) << Qt::endl;
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

    ovra::project_data::ProcessingRequest request;
    QString error;
    ovra::media::libav::LibavVideoAnalyzer analyzer;
    if (!analyzer.analyze(arguments[1], &request.sourceMetadata, &error)) {
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
    request.analysisMode = true;

    ovra::processing::VideoProcessingPipeline pipeline;
    const ovra::project_data::ProcessingResult analysis = pipeline.run(request, {}, {});
    if (!analysis.succeeded()) {
        err << analysis.errorMessage << Qt::endl;
        return 1;
    }
    out << "frames=" << analysis.performance.measuredFrames << " size=" << metadata.frameSize.width() << 'x'
        << metadata.frameSize.height() << " threads=" << analysis.performance.motionWorkerThreadCount << Qt::endl;
    printRun(out, "analysis", analysis.performance);

    QTemporaryDir folder;
    request.analysisMode = false;
    request.sourceResult = analysis.temporaryVideo;
    request.outputVideoPath = folder.filePath(QStringLiteral("bench.mp4"));
    const ovra::project_data::ProcessingResult exported = pipeline.run(request, {}, {});
    if (!exported.succeeded()) {
        err << exported.errorMessage << Qt::endl;
        return 1;
    }
    printRun(out, "export", exported.performance);
    return 0;
}
