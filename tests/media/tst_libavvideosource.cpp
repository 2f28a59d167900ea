// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMedia.h"
#include "VibratingVideo.h"

#include "media/Cancellation.h"
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavSupport.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSource.h"
#include "media/libav/UniformTailRule.h"
#include "ovra/Version.h"

#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/display.h>
}

using ovra::media::VideoFrame;
using ovra::media::VideoMetadata;
using ovra::media::VideoReadStatus;
using ovra::media::libav::LibavRuntime;
using ovra::media::libav::LibavVersions;
using ovra::media::libav::LibavVideoAnalyzer;
using ovra::media::libav::LibavVideoSource;
using ovra::tests::testMediaPath;
using ovra::tests::verifyRefusal;

using Call = std::function<bool(LibavVideoSource &, const VideoMetadata &, QString *)>;
Q_DECLARE_METATYPE(Call)

namespace {

const QString cancelledMessage = QStringLiteral("Video analysis was cancelled.");

// A time grid in ticks of 1/30000 s built from the intervals into frames 1..n-1.
VideoMetadata gridWithIntervals(const QList<qint64> &intervals)
{
    VideoMetadata metadata;
    qint64 time = 0;
    metadata.frameTimestamps.append(time);
    for (const qint64 interval : intervals)
        metadata.frameTimestamps.append(time += interval);
    metadata.frameCount = metadata.frameTimestamps.size();
    return metadata;
}

// The intervals between frames of a uniform grid of ticksPerFrame rounded to whole ticks, with
// the frames at the given indices of that grid left out.
QList<qint64> roundedIntervals(double ticksPerFrame, qint64 count, const QList<qint64> &missing = {})
{
    QList<qint64> intervals;
    qint64 previous = 0;
    for (qint64 i = 1; intervals.size() < count; ++i) {
        if (missing.contains(i))
            continue;
        const qint64 time = std::llround(double(i) * ticksPerFrame);
        intervals.append(time - previous);
        previous = time;
    }
    return intervals;
}

VideoMetadata analysed(const QString &file)
{
    VideoMetadata metadata;
    QString error;
    if (!ovra::media::libav::LibavVideoAnalyzer().analyze(testMediaPath(file), &metadata, &error))
        qWarning("analysis of %s failed: %s", qPrintable(file), qPrintable(error));
    return metadata;
}

// Every frame of one sequential pass.
std::vector<VideoFrame> readAll(LibavVideoSource &source)
{
    std::vector<VideoFrame> frames;
    VideoFrame frame;
    while (source.readFrame(&frame) == VideoReadStatus::Frame)
        frames.push_back(frame);
    return frames;
}

} // namespace

class LibavVideoSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { LibavRuntime::overrideLoadedVersions(std::nullopt); }

    void seekingToEveryFrameMatchesASequentialPass_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *file : {"cfr25_bframes.mp4", "cfr30_bframes.mp4", "vfr_irregular_head.mp4", "mjpeg.avi"})
            QTest::newRow(file) << QString(file);
    }

    void seekingToEveryFrameMatchesASequentialPass()
    {
        QFETCH(QString, file);
        const VideoMetadata metadata = analysed(file);
        LibavVideoSource source;
        QString error;
        QVERIFY2(source.openWithMetadata(metadata, &error), qPrintable(error));
        const std::vector<VideoFrame> sequential = readAll(source);
        QCOMPARE(qint64(sequential.size()), metadata.frameCount);
        // Backwards, so that every seek has to go back to an earlier key frame.
        for (qint64 i = metadata.frameCount - 1; i >= 0; --i) {
            QCOMPARE(sequential[size_t(i)].frameIndex, i);
            QCOMPARE(sequential[size_t(i)].presentationTimeUs, ovra::media::frameTimeUs(i, metadata.nominalFrameRate));
            QVERIFY2(source.seekToFrame(i, &error), qPrintable(error));
            VideoFrame frame;
            QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
            QCOMPARE(frame.frameIndex, i);
            QCOMPARE(frame.presentationTimeUs, sequential[size_t(i)].presentationTimeUs);
            QVERIFY2(frame.image == sequential[size_t(i)].image, qPrintable(QStringLiteral("frame %1").arg(i)));
        }
    }

    void readingStopsAtTheAnalysedFrameCount()
    {
        VideoMetadata metadata = analysed("cfr30_bframes.mp4");
        metadata.frameCount = 50; // the file would decode further
        metadata.frameTimestamps.resize(50);
        LibavVideoSource source;
        QVERIFY(source.openWithMetadata(metadata));
        QCOMPARE(readAll(source).size(), size_t(50));
        VideoFrame frame;
        QCOMPARE(source.readFrame(&frame), VideoReadStatus::EndOfStream);
        QCOMPARE(source.skipFrame(), VideoReadStatus::EndOfStream);
    }

    // Rotated files against ffmpeg's own decoding and auto-rotation (sizes: tst_frameconversion).
    void framesMatchFfmpeg_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *file : {"rotated_90.mp4", "rotated_180.mp4", "rotated_270.mp4"})
            QTest::newRow(file) << QString(file);
    }

    void framesMatchFfmpeg()
    {
        QFETCH(QString, file);
        const QString path = testMediaPath(file);
        LibavVideoSource source;
        QString error;
        VideoFrame frame;
        QVERIFY2(source.open(path, &error) && source.seekToFrame(7, &error), qPrintable(error));
        QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
        QCOMPARE(frame.image.format(), QImage::Format_RGBA8888);
        // Only the colour conversion may differ.
        QCOMPARE_LE(ovra::tests::maximumChannelDifference(frame.image, ovra::tests::ffmpegReferenceFrame(path, 7)), 12);
    }

    void rotationIsNormalised_data()
    {
        QTest::addColumn<double>("matrixAngle"); // what the matrix reads as; NaN: no display matrix
        QTest::addColumn<QString>("rotateTag");
        QTest::addColumn<int>("degrees");
        // Plain display matrices: the rotated files of framesMatchFfmpeg and analysesGeneratedFiles.
        QTest::newRow("matrix wins over tag") << -90.0 << "90" << 270;
        QTest::newRow("tag 89.6 rounds to 90") << qQNaN() << "89.6" << 90;
        QTest::newRow("tag -450") << qQNaN() << "-450" << 270;
        QTest::newRow("tag 45") << qQNaN() << "45" << 45;
        QTest::newRow("tag not a number") << qQNaN() << "upright" << 0;
        QTest::newRow("nothing") << qQNaN() << QString() << 0;
    }

    void rotationIsNormalised()
    {
        QFETCH(double, matrixAngle);
        QFETCH(QString, rotateTag);
        AVFormatContext *context = avformat_alloc_context();
        AVStream *stream = avformat_new_stream(context, nullptr);
        if (!qIsNaN(matrixAngle)) {
            auto *matrix = reinterpret_cast<int32_t *>(
                av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
            // FFmpeg sets a clockwise angle but reads back the counterclockwise one.
            av_display_rotation_set(matrix, -matrixAngle);
        }
        if (!rotateTag.isEmpty())
            av_dict_set(&stream->metadata, "rotate", rotateTag.toUtf8().constData(), 0);
        const int degrees = ovra::media::libav::displayRotationDegrees(stream);
        avformat_free_context(context);
        QTEST(degrees, "degrees");
    }

    void refusals_data()
    {
        QTest::addColumn<bool>("opened"); // with the analysed metadata, before the call
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("message");
        const QString notOpen = "The video file is not open.";
        const QString outsideVideo = "The seek position is outside the video.";
        const QString outsideFrames = "The frame index is outside the video.";
        const QString incomplete = "The prepared video metadata is incomplete or unsupported.";
        const auto opening = [](const std::function<void(VideoMetadata &)> &change) {
            return Call([change](auto &s, VideoMetadata m, auto *e) {
                change(m);
                return s.openWithMetadata(m, e);
            });
        };
        QTest::newRow("seek a frame before open")
            << false << Call([](auto &s, auto &, auto *e) { return s.seekToFrame(0, e); }) << notOpen;
        QTest::newRow("seek a time before open")
            << false << Call([](auto &s, auto &, auto *e) { return s.seekToTime(0, e); }) << notOpen;
        QTest::newRow("read after close") << false << Call([](auto &s, auto &m, auto *e) {
            VideoFrame frame;
            s.openWithMetadata(m);
            s.close();
            s.close();
            return s.readFrame(&frame, e) != VideoReadStatus::Failed;
        }) << "The video source is not open or no frame output was provided.";
        QTest::newRow("time at the duration")
            << true << Call([](auto &s, auto &m, auto *e) { return s.seekToTime(m.durationUs, e); }) << outsideVideo;
        QTest::newRow("negative time") << true << Call([](auto &s, auto &, auto *e) { return s.seekToTime(-1, e); })
                                       << outsideVideo;
        // Inside the duration but past the last frame's time.
        QTest::newRow("time after the last frame")
            << true << Call([](auto &s, auto &m, auto *e) { return s.seekToTime(m.durationUs - 1, e); })
            << outsideFrames;
        QTest::newRow("frame count") << true
                                     << Call([](auto &s, auto &m, auto *e) { return s.seekToFrame(m.frameCount, e); })
                                     << outsideFrames;
        QTest::newRow("frame -1") << true << Call([](auto &s, auto &, auto *e) { return s.seekToFrame(-1, e); })
                                  << outsideFrames;
        QTest::newRow("no path") << false << opening([](auto &m) { m.filePath.clear(); }) << incomplete;
        QTest::newRow("no size") << false << opening([](auto &m) { m.frameSize = QSize(0, 240); }) << incomplete;
        QTest::newRow("no nominal rate") << false << opening([](auto &m) { m.nominalFrameRate = 0.0; }) << incomplete;
        QTest::newRow("variable rate without a time grid") << false << opening([](auto &m) {
            m.variableFrameRate = true;
            m.frameTimestamps.clear();
        }) << incomplete;
        QTest::newRow("size differs from the file") << false << opening([](auto &m) { m.frameSize = QSize(240, 320); })
                                                    << "Decoded video dimensions do not match the analyzed metadata.";
        QTest::newRow("non-right-angle rotation")
            << false << Call([](auto &s, auto &, auto *e) { return s.open(testMediaPath("rotated_45.mp4"), e); })
            << "This video uses an unsupported non-right-angle display rotation.";
    }

    void refusals()
    {
        QFETCH(bool, opened);
        QFETCH(Call, call);
        const VideoMetadata metadata = analysed("cfr25_bframes.mp4");
        LibavVideoSource source;
        QVERIFY(!opened || source.openWithMetadata(metadata));
        QString error;
        QVERIFY(!call(source, metadata, &error));
        QTEST(error, "message");
        QCOMPARE(source.isOpen(), opened);
        QCOMPARE(source.metadata().filePath.isEmpty(), !opened);
    }

    // Checked before every frame; sticky until the next open, which starts afresh.
    void cancellationStopsDecodingUntilTheNextOpen()
    {
        const QString cancelled = QStringLiteral("Video decoding was cancelled.");
        qint64 framesRead = 0;
        bool cancel = false;
        LibavVideoSource source([&] { return cancel || framesRead == 10; });
        QVERIFY(source.open(testMediaPath("long_cfr30.mp4")));
        QString error;
        VideoFrame frame;
        while (source.readFrame(&frame, &error) == VideoReadStatus::Frame)
            ++framesRead;
        QCOMPARE(error, cancelled);
        QCOMPARE(framesRead, qint64(10));
        QVERIFY(source.cancelled() && source.isOpen()); // a failed read leaves the source open
        verifyRefusal(source.seekToFrame(0, &error), error, cancelled);
        source.close();
        QVERIFY(source.cancelled());
        framesRead = 0;
        QVERIFY(source.open(testMediaPath("tiny_32x32.mp4")));
        QVERIFY(!source.cancelled());

        cancel = true;
        verifyRefusal(source.openWithMetadata(analysed("tiny_32x32.mp4"), &error), error,
                      QStringLiteral("Starting video decoding was cancelled."));
        verifyRefusal(source.open(testMediaPath("tiny_32x32.mp4"), &error), error,
                      QStringLiteral("Video analysis was cancelled."));
    }

    // The user-interface thread may mark the flag while the worker's check runs; the check's
    // "not cancelled" must not wipe that mark out.
    void aMarkSetDuringACheckIsKept()
    {
        ovra::media::CancellationState *state = nullptr;
        ovra::media::CancellationState cancellation([&state] {
            state->markCancelled();
            return false;
        });
        state = &cancellation;
        QVERIFY(cancellation.query());
    }

    // Minor versions may differ either way (a Debian point update); the real ones pass.
    void otherFfmpegMinorsAreAccepted()
    {
        const LibavVersions required = LibavRuntime::requiredVersions();
        const auto withMinor = [](unsigned value, unsigned minor) { return (value & 0xFFFF0000u) | (minor << 8) | 7u; };
        const LibavVersions loaded{withMinor(required.avformat, 0), withMinor(required.avcodec, 0),
                                   withMinor(required.avutil, 99), withMinor(required.swscale, 0),
                                   withMinor(required.swresample, 200)};
        QString error;
        QVERIFY(LibavRuntime::checkCompatibility(loaded, &error) && LibavRuntime::checkCompatibility(&error));
        QVERIFY(error.isEmpty());
    }

    void mismatchingFfmpegMajorDisablesAllMediaWork_data()
    {
        QTest::addColumn<int>("library");
        int library = 0;
        for (const char *name : {"avformat", "avcodec", "avutil", "swscale", "swresample"})
            QTest::newRow(name) << library++;
    }

    void mismatchingFfmpegMajorDisablesAllMediaWork()
    {
        QFETCH(int, library);
        const QString message
            = "The system's FFmpeg libraries do not match the versions " OVRA_DISPLAY_NAME " was built with.";
        LibavVersions loaded = LibavRuntime::requiredVersions();
        unsigned *fields[] = {&loaded.avformat, &loaded.avcodec, &loaded.avutil, &loaded.swscale, &loaded.swresample};
        *fields[library] -= 1u << 16; // one major lower, for example libswscale 5 instead of 6
        LibavRuntime::overrideLoadedVersions(loaded);
        QString runtimeError;
        verifyRefusal(LibavRuntime::checkCompatibility(&runtimeError), runtimeError, message);

        const QString video = testMediaPath(QStringLiteral("cfr25_bframes.mp4"));
        VideoMetadata untouched;
        untouched.filePath = QStringLiteral("sentinel");
        QString error;
        verifyRefusal(ovra::media::libav::LibavVideoAnalyzer().analyze(video, &untouched, &error), error, message);
        QCOMPARE(untouched.filePath, QStringLiteral("sentinel"));
        LibavVideoSource source;
        verifyRefusal(source.open(video, &error), error, message);
        QVERIFY(!source.isOpen());
    }

    void analysesGeneratedFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("nominalRate");
        QTest::addColumn<double>("captureRate");
        QTest::addColumn<bool>("variable");
        QTest::addColumn<qint64>("uniformStart");
        QTest::addColumn<bool>("slowMotionIntent");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<double>("pixelAspect");
        QTest::addColumn<double>("tailRate");
        const auto row = [](const char *file, QSize size, double nominal, double capture, bool variable = false,
                            qint64 uniformStart = 0, bool intent = false, int rotation = 0, double pixelAspect = 1.0) {
            QTest::newRow(file) << QString(file) << size << nominal << capture << variable << uniformStart << intent
                                << rotation << pixelAspect << 0.0;
        };
        const auto variableRow
            = [](const char *file, QSize size, double nominal, qint64 uniformStart, double tailRate) {
                  QTest::newRow(file) << QString(file) << size << nominal << 0.0 << true << uniformStart << false << 0
                                      << 1.0 << tailRate;
              };
        row("cfr25_bframes.mp4", {320, 240}, 25, 25);
        row("cfr30_bframes.mp4", {320, 180}, 30, 30);
        row("base240_avg30.mp4", {160, 120}, 30, 0);
        variableRow("vfr_irregular_head.mp4", {160, 120}, 480.0 / 17.0, 10, 30);
        // A frame missing where a tick is a whole frame, and where it is 0.7 of one.
        variableRow("frame_missing_25fps.avi", {96, 64}, 25, -1, 0);
        variableRow("frame_missing_700fps.mkv", {96, 64}, 700, 35, 700);
        row("rotated_90.mp4", {176, 320}, 25, 25, false, 0, false, 90);
        row("rotated_270.mp4", {176, 320}, 25, 25, false, 0, false, 270);
        row("rotated_45.mp4", {320, 176}, 25, 25, false, 0, false, 45); // analysed unturned
        row("sar_7_6.mp4", {640, 420}, 25, 25, false, 0, false, 0, 7.0 / 6.0);
        row("sar_7_6_rotated_90.mp4", {420, 640}, 25, 25, false, 0, false, 90, 6.0 / 7.0);
        row("slowmo_intent_stream.mkv", {160, 120}, 30, 0, false, 0, true);
        row("slowmo_intent_container.mov", {160, 120}, 30, 0, false, 0, true);
        // Scaled from 320x240, which keeps the 4:3 display shape with 964:963 pixels.
        row("odd_321x241.mp4", {321, 241}, 25, 25, false, 0, false, 0, 964.0 / 963.0);
        row("mjpeg.avi", {320, 240}, 25, 25);
        row("duration_to_last_frame.nut", {160, 120}, 30, 30);
    }

    void analysesGeneratedFiles()
    {
        QFETCH(QString, file);
        const QString path = testMediaPath(file);
        LibavVideoAnalyzer analyzer;
        VideoMetadata metadata;
        QString error = QStringLiteral("stale");
        QList<QImage> previews;
        const auto preview = [&previews](const QImage &image) { previews.append(image); };
        QVERIFY2(analyzer.analyze(path, &metadata, &error, preview), qPrintable(error));
        QVERIFY(error.isEmpty());

        QCOMPARE(metadata.filePath, path);
        QCOMPARE(metadata.frameCount, ovra::tests::ffprobeDecodedFrameCount(path));
        QTEST(metadata.frameSize, "size");
        QFETCH(double, nominalRate);
        QVERIFY2(qAbs(metadata.nominalFrameRate - nominalRate) < 1e-9,
                 qPrintable(QString::number(metadata.nominalFrameRate)));
        QTEST(metadata.detectedCaptureFrameRate, "captureRate");
        QTEST(metadata.captureFrameRate, "captureRate");
        QVERIFY(!metadata.captureFrameRateManual);
        QTEST(metadata.variableFrameRate, "variable");
        if (!metadata.variableFrameRate)
            QVERIFY2(qAbs(metadata.playbackFrameRate() - nominalRate) < 1e-6,
                     qPrintable(QString::number(metadata.playbackFrameRate())));
        QTEST(metadata.uniformStartFrame, "uniformStart");
        QTEST(metadata.uniformTailFrameRate, "tailRate");
        QTEST(metadata.slowMotionPlaybackIntent, "slowMotionIntent");
        QTEST(analyzer.rotationDegrees(), "rotation");
        QTEST(metadata.pixelAspectRatio, "pixelAspect");
        QVERIFY(metadata.hasTimeGrid() && metadata.durationUs > 0);
        QVERIFY(!metadata.containerName.isEmpty() && !metadata.codecName.isEmpty());

        // The preview is the first frame as it is played; a file the source refuses for its
        // rotation still gets a preview of the reported size.
        QCOMPARE(previews.size(), 1);
        QCOMPARE(previews[0].size(), metadata.frameSize);
        if (analyzer.rotationDegrees() % 90 == 0)
            QCOMPARE(ovra::tests::maximumChannelDifference(previews[0], ovra::tests::decodeAllFrames(path).at(0)), 0);
    }

    void badFilesFailAndLeaveTheRecordUntouched_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        const QString openFailed = QStringLiteral("Could not open the video through FFmpeg libraries: ");
        const QString invalidData = QStringLiteral("Invalid data found when processing input");
        QTest::newRow("empty path") << QString() << "No input video file was specified.";
        QTest::newRow("missing file") << testMediaPath("does-not-exist.mp4")
                                      << openFailed + "No such file or directory";
        QTest::newRow("text named .mp4") << testMediaPath("not_a_video.mp4") << openFailed + invalidData;
        QTest::newRow("truncated before its index")
            << testMediaPath("truncated_no_index.mp4") << openFailed + invalidData;
        // With frame threads the broken packet shows when it is sent or when its frame is received.
        QTest::newRow("truncated media data")
            << testMediaPath("truncated_media.mp4")
            << "^(Could not submit a frame for time-grid analysis|Could not decode the video time grid): " + invalidData
                + "$";
        QTest::newRow("audio only") << testMediaPath("audio_only.mp4")
                                    << "No supported video stream was found in the input file.";
    }

    void badFilesFailAndLeaveTheRecordUntouched()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        VideoMetadata metadata;
        metadata.filePath = QStringLiteral("sentinel");
        metadata.frameCount = 7;
        LibavVideoAnalyzer analyzer;
        QString error;
        QVERIFY(!analyzer.analyze(path, &metadata, &error));
        if (message.startsWith(QLatin1Char('^')))
            QVERIFY2(QRegularExpression(message).match(error).hasMatch(), qPrintable(error));
        else
            QCOMPARE(error, message);
        QCOMPARE(metadata.filePath, QStringLiteral("sentinel"));
        QCOMPARE(metadata.frameCount, qint64(7));
        QVERIFY(!analyzer.cancelled());
        // Without a record to fill there is nothing to do.
        verifyRefusal(analyzer.analyze(testMediaPath("tiny_32x32.mp4"), nullptr, &error), error,
                      QStringLiteral("No input video file was specified."));
    }

    void progressIsThrottledAndBelowOne()
    {
        QList<double> reports;
        LibavVideoAnalyzer analyzer;
        VideoMetadata metadata;
        QVERIFY(analyzer.analyze(testMediaPath("long_cfr30.mp4"), &metadata, nullptr, {},
                                 [&reports](double value) { reports.append(value); }));
        QCOMPARE(reports.value(0), 1.0 / 900.0); // the first frame is always reported
        QVERIFY(reports.size() < 900 / 2);
        QVERIFY(std::is_sorted(reports.cbegin(), reports.cend()));
        QVERIFY(reports.last() <= 0.99);
    }

    // The user-interface thread asks while the worker analyses; the analysis stops and leaves
    // the record alone.
    void cancellationFromAnotherThreadStopsTheAnalysis()
    {
        std::atomic<bool> cancelRequested{false};
        QSemaphore previewShown;
        QSemaphore cancelSet;
        LibavVideoAnalyzer analyzer([&] { return cancelRequested.load(); });
        VideoMetadata metadata;
        QString error;
        bool analysed = true;
        std::thread worker([&] {
            analysed = analyzer.analyze(testMediaPath("long_cfr30.mp4"), &metadata, &error, [&](const QImage &) {
                previewShown.release();
                cancelSet.acquire(); // hold the analysis at its first frame until the request is made
            });
        });
        previewShown.acquire();
        cancelRequested = true;
        cancelSet.release();
        worker.join();
        verifyRefusal(analysed, error, cancelledMessage);
        QVERIFY(analyzer.cancelled());
        QVERIFY(metadata.filePath.isEmpty());
    }

    void cancellationInsideFfmpegIoWinsOverItsError()
    {
        // The first check passes; the next comes from FFmpeg's interrupt callback while the file
        // is being opened and makes the open fail: the message must still say "cancelled".
        int checks = 0;
        LibavVideoAnalyzer analyzer([&checks] { return ++checks > 1; });
        VideoMetadata metadata;
        QString error;
        verifyRefusal(analyzer.analyze(testMediaPath("cfr25_bframes.mp4"), &metadata, &error), error, cancelledMessage);
        QVERIFY(analyzer.cancelled());
        QVERIFY(metadata.filePath.isEmpty());
    }

    void uniformTailRule_data()
    {
        QTest::addColumn<VideoMetadata>("grid");
        QTest::addColumn<double>("timeBase");
        QTest::addColumn<double>("baseRate");
        QTest::addColumn<bool>("variable");
        QTest::addColumn<qint64>("uniformStart");
        QTest::addColumn<double>("tailRate");
        const auto row = [](const char *name, const VideoMetadata &grid, bool variable, qint64 uniformStart,
                            double timeBase = 1.0 / 30000, double baseRate = 30, double tailRate = 0) {
            QTest::newRow(name) << grid << timeBase << baseRate << variable << uniformStart << tailRate;
        };
        const auto rounded = [](double ticksPerFrame, const QList<qint64> &missing = {}) {
            return gridWithIntervals(roundedIntervals(ticksPerFrame, 99, missing));
        };
        // An irregular head before a long uniform tail, and uniform files: vfr_irregular_head.mp4 and
        // the constant-rate files above.
        const QList<qint64> uniform(99, 1000);
        QList<qint64> lateIrregularity = uniform.mid(0, 39);
        lateIrregularity[24] = 1400; // the interval into frame 25
        row("40 frames, tail too short", gridWithIntervals(lateIrregularity), true, -1);
        QList<qint64> headLongerThanTail = uniform;
        for (int i = 0; i < 55; ++i)
            headLongerThanTail[i] = i % 2 ? 1300 : 700;
        row("irregular part longer than the tail", gridWithIntervals(headLongerThanTail), true, -1);
        row("uniform within 2 percent", gridWithIntervals({1000, 1019, 981, 1000, 1010}), false, 0);
        // 30 fps on a millisecond time base: 33 and 34 ms steps are rounding, not a variable rate.
        QList<qint64> milliseconds;
        for (int i = 1; i < 60; ++i)
            milliseconds.append(qint64(i * 1000 / 30) - qint64((i - 1) * 1000 / 30));
        row("1 ms time base at 30 fps", gridWithIntervals(milliseconds), false, 0, 0.001);
        // A tenth of a millisecond is a whole interval at 10,000 fps.
        row("90 kHz at 10,000 fps, a frame missing", rounded(9, {30}), true, 30, 1.0 / 90000, 10000, 10000);

        // A tick per frame (AVI, MP4 with the frame rate as time scale): a missing frame is a
        // two-tick interval, wherever it is.
        const double ticks25 = 1.0 / 25;
        row("a tick per frame, a frame missing", rounded(1, {20}), true, 20, ticks25, 25, 25);
        row("a tick per frame, the first frame after the start missing", rounded(1, {1}), true, 1, ticks25, 25, 25);
        row("a tick per frame, the frame before the last missing", rounded(1, {99}), true, -1, ticks25, 25);
        // Frame 40 of the full grid is frame 38 of this one.
        row("a tick per frame, several frames missing", rounded(1, {5, 9, 40}), true, 38, ticks25, 25, 25);
        // 700 fps in 1 ms ticks: steps of 1 and 2 ms are rounding; leaving out frame 7 turns
        // 1 + 1 ms into 2 ms, which only the grid as a whole shows.
        const double ticks700 = 1000.0 / 700;
        row("1 ms ticks at 700 fps", rounded(ticks700), false, 0, 0.001, 700);
        row("1 ms ticks at 700 fps, a frame missing", rounded(ticks700, {7}), true, 7, 0.001, 700, 700);
        // FFmpeg reports the tick rate as base rate when it finds none.
        row("a base rate that is only the tick rate", rounded(1.25), false, 0, 1.0 / 600, 600);

        // The tail's rate is its mean interval's: 240 fps in 1/600 s ticks alternate 2 and 3 ticks,
        // and rounding puts its last frame 103 ticks after its first (238.8 fps), which the base
        // rate corrects.
        const VideoMetadata tail240 = gridWithIntervals(QList<qint64>{8, 14, 9, 12, 13} + roundedIntervals(2.5, 41));
        row("a 240 fps tail", tail240, true, 5, 1.0 / 600, 240, 240);
        row("a 240 fps tail, no base rate", tail240, true, 5, 1.0 / 600, 0, 600.0 * 41 / 103);

        // Without a usable grid the rule leaves the rate alone.
        VideoMetadata missing = gridWithIntervals(uniform.mid(0, 40));
        missing.frameTimestamps.clear(); // a missing timestamp empties the grid
        row("no grid", missing, true, -1);
        row("repeated time", gridWithIntervals({1000, 0, 1000}), true, -1);
        row("single frame", gridWithIntervals({}), true, -1);
    }

    void uniformTailRule()
    {
        QFETCH(VideoMetadata, grid);
        QFETCH(double, timeBase);
        QFETCH(double, baseRate);
        grid.variableFrameRate = true; // the rule corrects it when the grid is uniform
        ovra::media::libav::applyUniformTailRule(grid, {timeBase, baseRate});
        QTEST(grid.variableFrameRate, "variable");
        QTEST(grid.uniformStartFrame, "uniformStart");
        QTEST(grid.uniformTailFrameRate, "tailRate");
    }

    void slowMotionIntent_data()
    {
        QTest::addColumn<QStringList>("entries"); // key, value, key, value, ...
        QTest::addColumn<bool>("intent");
        // The vendor key with " False " and no key at all: the generated files above.
        const QString key = QStringLiteral("full-frame-rate-playback-intent");
        QTest::newRow("zero") << QStringList{key, "0"} << true;
        QTest::newRow("upper-case key and value") << QStringList{"X." + key.toUpper(), "FALSE"} << true;
        QTest::newRow("one means full rate") << QStringList{key, "1"} << false;
        QTest::newRow("true") << QStringList{key, "true"} << false;
        QTest::newRow("key must end with the name") << QStringList{key + ".other", "0"} << false;
        QTest::newRow("first matching entry decides") << QStringList{"a." + key, "1", "b." + key, "0"} << false;
    }

    void slowMotionIntent()
    {
        QFETCH(QStringList, entries);
        AVDictionary *dictionary = nullptr;
        for (int i = 0; i + 1 < entries.size(); i += 2)
            av_dict_set(&dictionary, entries[i].toUtf8().constData(), entries[i + 1].toUtf8().constData(), 0);
        const bool intent = ovra::media::libav::hasSlowMotionPlaybackIntent(dictionary);
        av_dict_free(&dictionary);
        QTEST(intent, "intent");
    }

    void derivedTiming_data()
    {
        QTest::addColumn<VideoMetadata>("metadata");
        for (const char *column : {"hasTiming", "timingMapRequired"})
            QTest::addColumn<bool>(column);
        for (const char *column : {"playbackRate", "slowMotionFactor"})
            QTest::addColumn<double>(column);
        QTest::addColumn<qint64>("recordingUs");
        const auto row = [](const char *name, qint64 frames, qint64 durationUs, double nominal, double capture,
                            bool timing, double playback, bool map, qint64 recordingUs, double factor) {
            VideoMetadata metadata;
            metadata.frameCount = frames;
            metadata.durationUs = durationUs;
            metadata.nominalFrameRate = nominal;
            metadata.captureFrameRate = capture;
            QTest::newRow(name) << metadata << timing << map << playback << factor << recordingUs;
        };
        const qint64 s100 = 100000000;
        row("capture equals playback", 3000, s100, 30, 30, true, 30, false, s100, 1);
        row("240 fps stored at 30", 3000, s100, 30, 240, true, 30, true, 0, 0);
        row("within 2 percent", 3000, s100, 30, 30.5, true, 30, false, 98360656, 100000000.0 / 98360656.0);
        row("no duration falls back to nominal", 100, 0, 25, 25, true, 25, false, 4000000, 0);
        row("capture unknown", 100, 4000000, 25, 0, true, 25, false, 0, 0);
        row("capture rate and one frame", 1, 0, 0, 240, true, 0, false, 4167, 0);
        row("rate without length", 0, 0, 0, 240, false, 0, false, 0, 0);
        row("nothing known", 0, 0, 0, 0, false, 0, false, 0, 0);
    }

    void derivedTiming()
    {
        QFETCH(VideoMetadata, metadata);
        QTEST(metadata.hasTiming(), "hasTiming");
        QTEST(metadata.playbackFrameRate(), "playbackRate");
        QTEST(metadata.captureTimingMapRequired(), "timingMapRequired");
        QTEST(metadata.estimatedRecordingDurationUs(), "recordingUs");
        QTEST(metadata.averageSlowMotionFactor(), "slowMotionFactor");
    }

    // 30.5 against 30 agrees: derivedTiming's "within 2 percent".
    void roundingAndRateTolerance()
    {
        QCOMPARE(ovra::media::frameTimeUs(1, 2000000.0), qint64(1)); // half rounds up
        QVERIFY(ovra::media::ratesAgree(29.41, 30.0));
        QVERIFY(!ovra::media::ratesAgree(30.61, 30.0));
        QVERIFY(ovra::media::ratesAgree(0.105, 0.1)); // the 0.01 floor
    }

    // Frame times are rounded, so the inverse must land on the frame whose rounded time is at or
    // after the given one: 333,667 us is frame 10 of 29.97 fps, not frame 11.
    void timesMapToTheFirstFrameAtOrAfter_data()
    {
        QTest::addColumn<qint64>("timeUs");
        QTest::addColumn<double>("rate");
        QTest::addColumn<qint64>("frame"); // -1: no frame
        QTest::newRow("at a rounded-up frame time") << qint64(333667) << 29.97 << qint64(10);
        QTest::newRow("just before it") << qint64(333666) << 29.97 << qint64(10);
        QTest::newRow("just after it") << qint64(333668) << 29.97 << qint64(11);
        QTest::newRow("at a rounded-down frame time") << qint64(166667) << 60.0 << qint64(10);
        QTest::newRow("between frames") << qint64(20001) << 25.0 << qint64(1);
        QTest::newRow("before the first frame") << qint64(-1) << 25.0 << qint64(0);
        QTest::newRow("no rate") << qint64(0) << 0.0 << qint64(-1);
        QTest::newRow("beyond any frame number") << std::numeric_limits<qint64>::max() << 25.0 << qint64(-1);
    }

    void timesMapToTheFirstFrameAtOrAfter()
    {
        QFETCH(qint64, timeUs);
        QFETCH(double, rate);
        QTEST(ovra::media::firstFrameAtOrAfter(timeUs, rate).value_or(-1), "frame");
    }
};

QTEST_GUILESS_MAIN(LibavVideoSourceTest)
#include "tst_libavvideosource.moc"
