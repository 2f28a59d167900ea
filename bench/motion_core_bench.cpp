// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds synthetic moving frames through the phase motion processor and prints, per case,
// the throughput, the CPU time (all threads) and the time of every stage per frame, which
// other load on the machine disturbs less than the throughput, and a hash of the last output
// frame, so that a change meant to keep the output can be checked against a build without it.

#include "motion_core/PhaseMotionProcessor.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHashFunctions>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace ovra;
using namespace ovra::motion_core;

namespace {

constexpr double captureFps = 240.0;
constexpr int warmUpFrames = 2; // the first frame also creates the phase and filter state
constexpr int distinctFrames = 8;

struct BenchCase
{
    const char *name;
    QSize size;
    QRectF region;
};

// A textured grey pattern moved by a 0.3 px, 30 Hz sinusoid at 240 fps: eight distinct frames.
std::vector<QImage> movingPattern(const QSize &size)
{
    std::vector<QImage> frames;
    for (int n = 0; n < distinctFrames; ++n) {
        const double shift = 0.3 * std::sin(2.0 * M_PI * n / distinctFrames);
        QImage image(size, QImage::Format_RGBA8888);
        for (int y = 0; y < size.height(); ++y) {
            uchar *pixel = image.scanLine(y);
            for (int x = 0; x < size.width(); ++x, pixel += 4) {
                const double u = x - shift;
                const double value
                    = 128.0 + 50.0 * std::sin(u * 0.7 + y * 0.3) + 30.0 * std::sin(u * 0.23 - y * 0.41 + 1.0);
                pixel[0] = pixel[1] = pixel[2] = static_cast<uchar>(std::lround(value));
                pixel[3] = 255;
            }
        }
        frames.push_back(image);
    }
    return frames;
}

double perFrameMs(qint64 totalUs, int frames)
{
    return static_cast<double>(totalUs) / 1000.0 / frames;
}

size_t outputHash(const QImage &image)
{
    return qHashBits(image.constBits(), static_cast<size_t>(image.sizeInBytes()));
}

bool runCase(const BenchCase &benchCase, const std::vector<QImage> &images, KernelSet kernels, int threads, int frames)
{
    media::VideoMetadata metadata;
    metadata.frameSize = benchCase.size;
    metadata.captureFrameRate = captureFps;
    MotionSettings settings;
    settings.lowerFrequencyHz = 8.0;
    settings.upperFrequencyHz = 12.0;
    settings.amplificationFactor = 10.0;
    settings.workerThreadCount = threads;
    settings.regionOfInterest = benchCase.region;
    settings.regionProcessingOptimizationEnabled = true;

    PhaseMotionProcessor processor(kernels);
    QString error;
    if (!processor.configure(metadata, settings, &error)) {
        std::fprintf(stderr, "%s: %s\n", benchCase.name, qPrintable(error));
        return false;
    }
    std::vector<media::VideoFrame> output;
    auto feed = [&](int index) {
        media::VideoFrame frame;
        frame.image = images[static_cast<size_t>(index % distinctFrames)];
        frame.frameIndex = index;
        frame.presentationTimeUs = media::frameTimeUs(index, captureFps);
        return processor.processFrame(frame, &output, &error);
    };
    for (int index = 0; index < warmUpFrames; ++index) {
        if (!feed(index)) {
            std::fprintf(stderr, "%s: %s\n", benchCase.name, qPrintable(error));
            return false;
        }
    }

    const MotionStageTimings before = processor.stageTimings();
    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuStart = std::clock();
    for (int index = warmUpFrames; index < warmUpFrames + frames; ++index) {
        if (!feed(index)) {
            std::fprintf(stderr, "%s: %s\n", benchCase.name, qPrintable(error));
            return false;
        }
    }
    const double elapsedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const double cpuMs = static_cast<double>(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
    const MotionStageTimings &after = processor.stageTimings();

    std::printf("case=%s size=%dx%d kernels=%s threads=%d fps=%.2f ms_per_frame=%.2f cpu_ms_per_frame=%.2f "
                "luminance_ms=%.2f pyramid_ms=%.2f quadrature_ms=%.2f accumulation_ms=%.2f temporal_ms=%.2f "
                "denoise_ms=%.2f shift_ms=%.2f reconstruction_ms=%.2f composition_ms=%.2f output_hash=%016zx\n",
                benchCase.name, benchCase.size.width(), benchCase.size.height(), kernelSetName(kernels),
                effectiveWorkerThreadCount(settings), frames * 1000.0 / elapsedMs, elapsedMs / frames, cpuMs / frames,
                perFrameMs(after.luminanceUs - before.luminanceUs, frames),
                perFrameMs(after.pyramidDecompositionUs - before.pyramidDecompositionUs, frames),
                perFrameMs(after.quadratureUs - before.quadratureUs, frames),
                perFrameMs(after.phaseAccumulationUs - before.phaseAccumulationUs, frames),
                perFrameMs(after.temporalFilterUs - before.temporalFilterUs, frames),
                perFrameMs(after.phaseDenoisingUs - before.phaseDenoisingUs, frames),
                perFrameMs(after.phaseShiftUs - before.phaseShiftUs, frames),
                perFrameMs(after.reconstructionUs - before.reconstructionUs, frames),
                perFrameMs(after.compositionUs - before.compositionUs, frames), outputHash(output.front().image));
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Throughput of the phase motion processor on synthetic frames.");
    parser.addHelpOption();
    const QCommandLineOption framesOption("frames", "Measured frames per case (default 20).", "N", "20");
    const QCommandLineOption threadsOption("threads", "Run only this worker thread count (default 1 and 2).", "N");
    const QCommandLineOption kernelsOption(
        "kernels", "Kernel set: reference, sse2, avx2 or avx512 (default: the fastest this CPU runs).", "NAME");
    parser.addOption(framesOption);
    parser.addOption(threadsOption);
    const QCommandLineOption caseOption("case", "Run only the case of this name (default: all).", "NAME");
    parser.addOption(kernelsOption);
    parser.addOption(caseOption);
    parser.process(application);

    bool valid = false;
    const int frames = parser.value(framesOption).toInt(&valid);
    if (!valid || frames < 1) {
        std::fprintf(stderr, "--frames needs a positive number\n");
        return 2;
    }
    std::vector<int> threadCounts{1, 2};
    if (parser.isSet(threadsOption)) {
        const int threads = parser.value(threadsOption).toInt(&valid);
        if (!valid || threads < 1) {
            std::fprintf(stderr, "--threads needs a positive number\n");
            return 2;
        }
        threadCounts = {threads};
    }

    KernelSet kernels = bestKernelSet();
    if (parser.isSet(kernelsOption)) {
        const QString name = parser.value(kernelsOption);
        bool known = false;
        for (KernelSet set : {KernelSet::Reference, KernelSet::Sse2, KernelSet::Avx2, KernelSet::Avx512}) {
            if (name == QLatin1String(kernelSetName(set))) {
                kernels = set;
                known = true;
            }
        }
        if (!known || !kernelSetSupported(kernels)) {
            std::fprintf(stderr, "--kernels: unknown or not supported by this CPU: %s\n", qPrintable(name));
            return 2;
        }
    }

    const QRectF wholeFrame(0.0, 0.0, 1.0, 1.0);
    const BenchCase cases[] = {
        {"full_640x400", QSize(640, 400), wholeFrame},
        {"full_1280x720", QSize(1280, 720), wholeFrame},
        {"full_1920x1080", QSize(1920, 1080), wholeFrame},
        {"roi10_1920x1080", QSize(1920, 1080), QRectF(0.45, 0.45, 0.1, 0.1)},
    };
    QSize patternSize;
    std::vector<QImage> images;
    for (const BenchCase &benchCase : cases) {
        if (parser.isSet(caseOption) && parser.value(caseOption) != QLatin1String(benchCase.name))
            continue;
        if (benchCase.size != patternSize) {
            images = movingPattern(benchCase.size);
            patternSize = benchCase.size;
        }
        for (int threads : threadCounts) {
            if (!runCase(benchCase, images, kernels, threads, frames))
                return 1;
        }
    }
    return 0;
}
