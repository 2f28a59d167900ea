// SPDX-License-Identifier: GPL-3.0-or-later
// Prints how side-by-side playback of a video with its analysis result keeps pace, how long an
// exact seek takes until both frames are shown, and the CPU used while paused. The result is a
// store of the source's own frames (same size and store format as a processed result), so the
// figures measure the player, not the motion processor.
#include "media/libav/LibavVideoSource.h"
#include "project_data/AnalysisResult.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/MediaRuntimeController.h"
#include "ui/controllers/PlaybackController.h"
#include "ui/controllers/PlaybackWorker.h"
#include "ui/controllers/VideoSessionController.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <functional>

using namespace ovra::ui;

namespace {

QTextStream out(stdout);

// Runs the event loop until done() holds (checked after every playback signal) or the timeout.
bool waitFor(controllers::PlaybackController &playback, const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    const auto check = [&] {
        if (done())
            loop.quit();
    };
    QObject::connect(&playback, &controllers::PlaybackController::stateChanged, &loop, check);
    QObject::connect(&playback, &controllers::PlaybackController::positionChanged, &loop, check);
    QObject::connect(&playback, &controllers::PlaybackController::resultStateChanged, &loop, check);
    loop.exec();
    return done();
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument("FILE", "video to play");
    parser.addOption({"frames", "frames of the result (default 300)", "N", "300"});
    parser.addOption({"seeks", "exact seeks to random frames (default 50)", "N", "50"});
    parser.process(application);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    controllers::MediaRuntimeController runtime;
    controllers::VideoSessionController session(&runtime);
    controllers::AnalysisFragmentController fragment(&session);
    controllers::PlaybackController playback(&session, &fragment, &runtime);
    session.openSource(QUrl::fromLocalFile(parser.positionalArguments().first()));
    if (!waitFor(
            playback, [&] { return playback.canNavigate() || session.hasError(); }, 600000)
        || session.hasError()) {
        out << "error=" << session.errorMessage() << playback.errorMessage() << Qt::endl;
        return 1;
    }
    const ovra::media::VideoMetadata metadata = session.metadata();
    const qint64 frames = std::min<qint64>(parser.value("frames").toLongLong(), metadata.frameCount);
    out << "video=" << metadata.frameSize.width() << "x" << metadata.frameSize.height() << "@"
        << metadata.nominalFrameRate << " frames=" << metadata.frameCount << " result_frames=" << frames << Qt::endl;

    // The result: the source's own frames 0..frames-1.
    auto store = std::make_shared<ovra::project_data::AnalysisResult>(metadata, 0);
    ovra::media::libav::LibavVideoSource source;
    QString error;
    if (!store->create(&error) || !source.openWithMetadata(metadata, &error))
        return out << "error=" << error << Qt::endl, 1;
    ovra::media::VideoFrame frame;
    for (qint64 i = 0; i < frames; ++i) {
        if (source.readFrame(&frame, &error) != ovra::media::VideoReadStatus::Frame
            || !store->appendFrame(frame, &error))
            return out << "error=" << error << Qt::endl, 1;
    }
    if (!store->finish(&error))
        return out << "error=" << error << Qt::endl, 1;
    source.close();
    if (!playback.configureResult(store, 0, frames)
        || !waitFor(
            playback, [&] { return playback.resultAvailable() && playback.canNavigate(); }, 60000))
        return out << "error=" << playback.resultErrorMessage() << Qt::endl, 1;

    // Side-by-side playback of the whole result at speed 1.
    fragment.setRangeFrames(0, frames);
    const int interval = controllers::PlaybackWorker::tickIntervalMs(metadata.nominalFrameRate);
    const double step = metadata.nominalFrameRate * interval / 1000.0;
    qint64 refreshes = 0, late = 0, unpaired = 0, skippedBeyondPacing = 0, previousIndex = -1;
    QElapsedTimer clock, sinceRefresh;
    auto connection = QObject::connect(&playback, &controllers::PlaybackController::frameReady, [&] {
        const qint64 index = playback.currentFrameIndex();
        if (!playback.hasResultFrame())
            ++unpaired;
        if (previousIndex >= 0) {
            ++refreshes;
            if (sinceRefresh.elapsed() > interval * 3 / 2)
                ++late;
            if (index - previousIndex > qint64(std::ceil(step)) + 1)
                skippedBeyondPacing += index - previousIndex - qint64(std::ceil(step));
        }
        previousIndex = index;
        sinceRefresh.restart();
    });
    playback.seekToFraction(0.0);
    waitFor(
        playback, [&] { return playback.canPlay() && playback.currentFrameIndex() == 0; }, 10000);
    previousIndex = -1;
    clock.start();
    playback.play();
    waitFor(
        playback, [&] { return !playback.playing() && !playback.playPending(); }, 600000);
    const double seconds = clock.elapsed() / 1000.0;
    QObject::disconnect(connection);
    out << "playback_refreshes_per_second=" << QString::number(refreshes / seconds, 'f', 1) << " (goal "
        << QString::number(std::min(metadata.nominalFrameRate, 30.0), 'f', 1) << ")" << Qt::endl;
    out << "playback_seconds=" << QString::number(seconds, 'f', 2)
        << " expected_seconds=" << QString::number((frames - 1) / metadata.nominalFrameRate, 'f', 2) << Qt::endl;
    out << "playback_late_refreshes=" << late << " dropped_frames_beyond_pacing=" << skippedBeyondPacing
        << " unpaired_refreshes=" << unpaired << Qt::endl;

    // Exact seeks to random frames until both sides show the frame.
    const int seeks = parser.value("seeks").toInt();
    QRandomGenerator random(20261206);
    std::vector<double> latencies;
    int wrongFrames = 0;
    for (int i = 0; i < seeks; ++i) {
        const qint64 target = random.bounded(frames);
        QElapsedTimer latency;
        latency.start();
        playback.seekToFraction(double(target) / double(metadata.frameCount - 1));
        if (!waitFor(
                playback, [&] { return playback.canNavigate() && playback.hasResultFrame(); }, 30000))
            return out << "error=seek to " << target << " timed out" << Qt::endl, 1;
        latencies.push_back(latency.nsecsElapsed() / 1e6);
        if (playback.currentFrameIndex() != target)
            ++wrongFrames;
    }
    if (!latencies.empty())
        out << "seek_latency_ms median=" << QString::number(percentile(latencies, 0.5), 'f', 1)
            << " p95=" << QString::number(percentile(latencies, 0.95), 'f', 1) << " (goal p95 <= 250)"
            << " wrong_frames=" << wrongFrames << Qt::endl;

    // CPU while paused.
    const double cpuBefore = cpuSeconds();
    QEventLoop idle;
    QTimer::singleShot(2000, &idle, &QEventLoop::quit);
    idle.exec();
    out << "paused_cpu_percent=" << QString::number((cpuSeconds() - cpuBefore) / 2.0 * 100.0, 'f', 2) << Qt::endl;
    return 0;
}
