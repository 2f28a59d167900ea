#include "TestMedia.h"

#include "media/Cancellation.h"
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavSupport.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSource.h"
#include "ovra/Version.h"
#include "ui/controllers/MediaRuntimeController.h"

#include <QtTest>

#include <functional>
#include <vector>

extern "C" {
#include <libavutil/display.h>
}

using ovra::media::VideoFrame;
using ovra::media::VideoMetadata;
using ovra::media::VideoReadStatus;
using ovra::media::libav::LibavRuntime;
using ovra::media::libav::LibavVersions;
using ovra::media::libav::LibavVideoSource;
using ovra::tests::testMediaPath;
using ovra::tests::verifyRefusal;

using Call = std::function<bool(LibavVideoSource &, const VideoMetadata &, QString *)>;
Q_DECLARE_METATYPE(Call)

namespace {

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
        QCOMPARE(frame.image.size(), source.metadata().frameSize);
        QCOMPARE(frame.image.format(), QImage::Format_RGBA8888);
        // Only the colour conversion may differ.
        QCOMPARE_LE(ovra::tests::maximumChannelDifference(frame.image, ovra::tests::ffmpegReferenceFrame(path, 7)), 12);
    }

    void rotationIsNormalised_data()
    {
        QTest::addColumn<double>("matrixAngle"); // what the matrix reads as; NaN: no display matrix
        QTest::addColumn<QString>("rotateTag");
        QTest::addColumn<int>("degrees");
        // Plain display matrices: the rotated files of framesMatchFfmpeg and tst_libavvideoanalyzer.
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
            return Call([change](auto &s, VideoMetadata m, auto *e) { change(m); return s.openWithMetadata(m, e); });
        };
        QTest::newRow("seek a frame before open") << false << Call([](auto &s, auto &, auto *e) { return s.seekToFrame(0, e); }) << notOpen;
        QTest::newRow("seek a time before open") << false << Call([](auto &s, auto &, auto *e) { return s.seekToTime(0, e); }) << notOpen;
        QTest::newRow("read after close") << false << Call([](auto &s, auto &m, auto *e) {
            VideoFrame frame;
            s.openWithMetadata(m);
            s.close();
            s.close();
            return s.readFrame(&frame, e) != VideoReadStatus::Failed;
        }) << "The video source is not open or no frame output was provided.";
        QTest::newRow("time at the duration") << true << Call([](auto &s, auto &m, auto *e) { return s.seekToTime(m.durationUs, e); }) << outsideVideo;
        QTest::newRow("negative time") << true << Call([](auto &s, auto &, auto *e) { return s.seekToTime(-1, e); }) << outsideVideo;
        // Inside the duration but past the last frame's time.
        QTest::newRow("time after the last frame") << true << Call([](auto &s, auto &m, auto *e) { return s.seekToTime(m.durationUs - 1, e); }) << outsideFrames;
        QTest::newRow("frame count") << true << Call([](auto &s, auto &m, auto *e) { return s.seekToFrame(m.frameCount, e); }) << outsideFrames;
        QTest::newRow("frame -1") << true << Call([](auto &s, auto &, auto *e) { return s.seekToFrame(-1, e); }) << outsideFrames;
        QTest::newRow("no path") << false << opening([](auto &m) { m.filePath.clear(); }) << incomplete;
        QTest::newRow("no size") << false << opening([](auto &m) { m.frameSize = QSize(0, 240); }) << incomplete;
        QTest::newRow("no nominal rate") << false << opening([](auto &m) { m.nominalFrameRate = 0.0; }) << incomplete;
        QTest::newRow("variable rate without a time grid") << false << opening([](auto &m) {
            m.variableFrameRate = true;
            m.frameTimestamps.clear();
        }) << incomplete;
        QTest::newRow("size differs from the file") << false << opening([](auto &m) { m.frameSize = QSize(240, 320); })
                                                    << "Decoded video dimensions do not match the analyzed metadata.";
        QTest::newRow("non-right-angle rotation") << false << Call([](auto &s, auto &, auto *e) {
            return s.open(testMediaPath("rotated_45.mp4"), e);
        }) << "This video uses an unsupported non-right-angle display rotation.";
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
        const QString message = "The FFmpeg DLL versions do not match the headers used to build " OVRA_DISPLAY_NAME ".";
        LibavVersions loaded = LibavRuntime::requiredVersions();
        unsigned *fields[] = {&loaded.avformat, &loaded.avcodec, &loaded.avutil, &loaded.swscale, &loaded.swresample};
        *fields[library] -= 1u << 16; // one major lower, for example libswscale 5 instead of 6
        LibavRuntime::overrideLoadedVersions(loaded);
        ovra::ui::controllers::MediaRuntimeController controller;
        QVERIFY(!controller.available());
        QCOMPARE(controller.errorMessage(), message);

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
};

QTEST_GUILESS_MAIN(LibavVideoSourceTest)
#include "tst_libavvideosource.moc"
