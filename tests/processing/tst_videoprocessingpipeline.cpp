#include "TestMedia.h"
#include "VibratingVideo.h"

#include "media/libav/LibavVideoAnalyzer.h"
#include "processing/BoundedQueue.h"
#include "processing/VideoProcessingPipeline.h"
#include "processing/VideoWatermarkRenderer.h"
#include "project_data/TemporaryVideo.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <optional>
#include <thread>
#include <unistd.h>

using ovra::media::VideoMetadata;
using ovra::processing::VideoProcessingPipeline;
using ovra::processing::VideoWatermarkRenderer;
using ovra::project_data::ProcessingProgress;
using ovra::project_data::ProcessingRequest;
using ovra::project_data::ProcessingResult;
using ovra::project_data::ProcessingState;
using ovra::project_data::TemporaryVideo;
using ovra::tests::fileContent;
using ovra::tests::verifyRefusal;
using ovra::tests::writeFile;

using Change = std::function<void(ProcessingRequest &)>;

namespace {

// At 60 fps an 8-12 Hz band needs 60 frames and recommends two seconds: 120 frames.
const ovra::tests::VibratingPattern pattern{QSize(128, 96), 60.0, 150, 10.0, 0.25};

// The stored frames, as long as each one is where its number says: frames written on another
// thread must still be stored in order.
std::vector<QImage> storedFrames(const TemporaryVideo &store)
{
    std::vector<QImage> frames;
    ovra::media::VideoFrame frame;
    for (qint64 i = 0; i < store.frameCount() && store.readFrame(i, &frame) && frame.frameIndex == i; ++i)
        frames.push_back(frame.image);
    return frames;
}

QImage greyFrame(QSize size)
{
    QImage image(size, QImage::Format_RGBA8888);
    image.fill(QColor(128, 128, 128));
    return image;
}

} // namespace

// The runs from source to result, and the mark the export draws on every frame.
class VideoProcessingPipelineTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    QString m_input;
    VideoMetadata m_metadata;

    ProcessingRequest request(bool analysis, const QString &output = {}) const
    {
        ProcessingRequest request;
        request.sourceMetadata = m_metadata;
        request.settings.startFrame = 0;
        request.settings.endFrameExclusive = pattern.frameCount;
        request.settings.lowerFrequencyHz = 8.0;
        request.settings.upperFrequencyHz = 12.0;
        request.settings.amplificationFactor = 5.0;
        request.analysisMode = analysis;
        request.outputVideoPath = output.isEmpty() ? QString() : m_folder.filePath(output);
        return request;
    }

    QString outputPath(const QString &name) const { return m_folder.filePath(name); }
    QStringList entries() const { return ovra::tests::folderEntries(m_folder.path()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        // A private temporary folder, so that the result stores of this test are the only ones seen.
        QVERIFY(QDir(m_folder.path()).mkdir("tmp"));
        qputenv("TMPDIR", m_folder.filePath("tmp").toLocal8Bit());
        m_input = m_folder.filePath("vibrating.mkv");
        QString error;
        QVERIFY2(ovra::tests::writeVibratingPatternVideo(m_input, pattern, &error), qPrintable(error));
        QVERIFY2(ovra::media::libav::LibavVideoAnalyzer().analyze(m_input, &m_metadata, &error), qPrintable(error));
        QCOMPARE(m_metadata.captureFrameRate, pattern.frameRate);
    }

    void analysisThenExportKeepsTheStoredFramesAndMagnifies()
    {
        VideoProcessingPipeline pipeline;
        QList<ProcessingProgress> progress;
        const ProcessingResult analysis =
            pipeline.run(request(true), [&progress](const ProcessingProgress &p) { progress.append(p); }, {});
        QVERIFY2(analysis.succeeded(), qPrintable(analysis.errorMessage));
        const std::vector<QImage> stored = storedFrames(*analysis.temporaryVideo);
        QCOMPARE(qint64(stored.size()), qint64(pattern.frameCount));
        QCOMPARE(progress.first().stageName, QStringLiteral("Opening source video"));
        QCOMPARE(progress.last().stageName, QStringLiteral("Finalizing the analysis result"));
        QCOMPARE(progress.last().fraction(), 1.0);
        for (const ProcessingProgress &p : progress)
            QCOMPARE(p.state, ProcessingState::Running);

        const double before = ovra::tests::motionAmplitude(ovra::tests::decodeAllFrames(m_input), pattern, 60);
        const double after = ovra::tests::motionAmplitude(stored, pattern, 60);
        QVERIFY2(std::abs(before - pattern.amplitudePixels) < 0.05, qPrintable(QString::number(before)));
        QVERIFY2(after > 3.0 * before, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));

        ProcessingRequest exportRequest = request(false, "from-result.mp4");
        exportRequest.sourceResult = analysis.temporaryVideo;
        const ProcessingResult exported = pipeline.run(exportRequest, {}, {});
        QVERIFY2(exported.succeeded(), qPrintable(exported.errorMessage));
        const std::vector<QImage> decoded = ovra::tests::decodeAllFrames(exported.outputVideoPath);
        QCOMPARE(decoded.size(), stored.size());
        for (size_t i = 0; i < decoded.size(); i += 7)
            QVERIFY2(ovra::tests::peakSignalToNoise(decoded[i], stored[i]) > 35.0, qPrintable(QString::number(i)));

        // The direct export writes the same video in one run.
        const ProcessingResult direct = pipeline.run(request(false, "direct.mp4"), {}, {});
        QVERIFY2(direct.succeeded(), qPrintable(direct.errorMessage));
        QVERIFY(ovra::tests::decodeAllFrames(direct.outputVideoPath) == decoded);
        QCOMPARE(entries(), QStringList({"direct.mp4", "direct.mp4.json", "from-result.mp4", "from-result.mp4.json",
                                         "tmp", "vibrating.mkv"}));
    }

    // Refusals before the first frame, and failures on the reading and on the writing thread.
    void failedRunsLeaveNothingBehind_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("message");
        QTest::addColumn<qint64>("fileSizeLimit"); // 0: none
        const QString paths = "The input and output video paths are required.";
        const QString taken = "An output path matches the input file or a result file already exists.";
        const QString tooShort
            = "The selected fragment is too short for the configured frequency band. Select at least 60 frames.";
        QTest::newRow("no input") << Change([](auto &r) { r.sourceMetadata.filePath.clear(); }) << paths << qint64(0);
        QTest::newRow("no output") << Change([](auto &r) { r.outputVideoPath.clear(); }) << paths << qint64(0);
        QTest::newRow("analysis of a result") << Change([this](auto &r) {
            r.analysisMode = true;
            r.sourceResult = std::make_shared<TemporaryVideo>(m_metadata);
        }) << "Invalid analysis destination." << qint64(0);
        QTest::newRow("output is the input") << Change([this](auto &r) { r.outputVideoPath = m_input; }) << taken << qint64(0);
        QTest::newRow("no output folder")
            << Change([this](auto &r) { r.outputVideoPath = outputPath("missing/x.mp4"); })
            << "The output directory does not exist: " + outputPath("missing") << qint64(0);
        QTest::newRow("fragment too short") << Change([](auto &r) { r.settings.endFrameExclusive = 59; }) << tooShort << qint64(0);
        QTest::newRow("invalid frame range") << Change([](auto &r) { r.settings.endFrameExclusive = 151; })
                                             << "The selected frame range is invalid." << qint64(0);
        QTest::newRow("time range beyond the end") << Change([this](auto &r) {
            r.settings.startFrame = r.settings.endFrameExclusive = -1;
            r.settings.playbackStartUs = m_metadata.durationUs;
        }) << "The selected time range is invalid." << qint64(0);
        QTest::newRow("no capture rate") << Change([](auto &r) {
            r.sourceMetadata.captureFrameRate = 0.0;
            r.sourceMetadata.filePath = ovra::tests::testMediaPath("base240_avg30.mp4");
            r.sourceMetadata.frameCount = 0; // not reusable: the source analyses the file itself
            r.settings.endFrameExclusive = 48;
        }) << "The camera capture frame rate is required before motion processing." << qint64(0);
        QTest::newRow("source ends early") << Change([](auto &r) {
            r.sourceMetadata.frameCount = r.settings.endFrameExclusive = pattern.frameCount + 2;
            r.sourceMetadata.frameTimestamps.clear();
        }) << "The decoder reached the end of the stream before the calculated end of the time range." << qint64(0);
        QTest::newRow("disk full at frame 40") << Change([](auto &r) { r.analysisMode = true; })
            << "Could not write the temporary analysis result. Check free disk space and access to the temporary "
               "folder." << TemporaryVideo::requiredStorageBytes(pattern.frameSize, 40);
    }

    // Linux names differ by letter case; links and other spellings of one file are the same file.
    void sameFileMeansOneFileOnDisk_data() // each row names a file beside the input
    {
        QTest::addColumn<bool>("same");
        QTest::newRow("missing/../vibrating.mkv") << true;
        QTest::newRow("VIBRATING.mkv") << false;
        QTest::newRow("hard.mkv") << true;
        QTest::newRow("soft.mkv") << true;
    }

    void sameFileMeansOneFileOnDisk()
    {
        QCOMPARE(::link(qPrintable(m_input), qPrintable(outputPath("hard.mkv"))), 0);
        QVERIFY(QFile::link(m_input, outputPath("soft.mkv")));
        QTEST(VideoProcessingPipeline::sameFile(m_input, outputPath(QTest::currentDataTag())), "same");
        QVERIFY(QFile::remove(outputPath("hard.mkv")) && QFile::remove(outputPath("soft.mkv")));
    }

    void failedRunsLeaveNothingBehind()
    {
        QFETCH(Change, change);
        QFETCH(qint64, fileSizeLimit);
        ProcessingRequest request = this->request(false, "refused.mp4");
        change(request);
        const QStringList before = entries();
        const QStringList storesBefore = ovra::tests::folderEntries(TemporaryVideo::storeRoot());
        std::optional<ovra::tests::FileSizeLimit> limit;
        if (fileSizeLimit > 0)
            limit.emplace(fileSizeLimit);
        const ProcessingResult result = VideoProcessingPipeline().run(request, {}, {});
        limit.reset();
        QCOMPARE(result.state, ProcessingState::Failed);
        QTEST(result.errorMessage, "message");
        QCOMPARE(entries(), before);
        QCOMPARE(ovra::tests::folderEntries(TemporaryVideo::storeRoot()), storesBefore);
    }

    void timeRangesAlignToFramesAndExportsRecordTheStoredFragment()
    {
        // [0.5 s, 2.5 s] at 60 fps: frames 30..150.
        ProcessingRequest request = this->request(true);
        request.settings.startFrame = request.settings.endFrameExclusive = -1;
        request.settings.playbackStartUs = 500000;
        request.settings.playbackEndUs = 2500000;
        const ProcessingResult analysis = VideoProcessingPipeline().run(request, {}, {});
        QVERIFY2(analysis.succeeded(), qPrintable(analysis.errorMessage));
        QCOMPARE(analysis.temporaryVideo->frameCount(), qint64(120));
        QCOMPARE(analysis.temporaryVideo->firstFrameIndex(), qint64(30));

        // The export writes what the store holds, whatever fragment the request names.
        for (const auto &[start, name] : {std::pair{qint64(-1), "by-time.mp4"}, std::pair{qint64(0), "by-frames.mp4"}}) {
            ProcessingRequest exportRequest = request;
            exportRequest.analysisMode = false;
            exportRequest.outputVideoPath = outputPath(name);
            exportRequest.sourceResult = analysis.temporaryVideo;
            exportRequest.settings.startFrame = start;
            exportRequest.settings.endFrameExclusive = start < 0 ? -1 : 120;
            const ProcessingResult exported = VideoProcessingPipeline().run(exportRequest, {}, {});
            QVERIFY2(exported.succeeded(), qPrintable(exported.errorMessage));
            const QJsonObject fragment = QJsonDocument::fromJson(fileContent(exported.parametersFilePath))
                                             .object()["processing"].toObject()["fragment"].toObject();
            QCOMPARE(fragment["startFrame"].toInteger(), 30);
            QCOMPARE(fragment["endFrameExclusive"].toInteger(), 150);
            QCOMPARE(fragment["startTimeUs"].toInteger(), 500000);
            QCOMPARE(fragment["processedFrameCount"].toInteger(), 120);
            QVERIFY(QFile::remove(exported.outputVideoPath) && QFile::remove(exported.parametersFilePath));
        }

        // One microsecond later the start moves to frame 31.
        request.settings.playbackStartUs = 500001;
        const ProcessingResult later = VideoProcessingPipeline().run(request, {}, {});
        QVERIFY2(later.succeeded(), qPrintable(later.errorMessage));
        QCOMPARE(later.temporaryVideo->firstFrameIndex(), qint64(31));
    }

    void variableRateFilesNeedAFrameRangeInTheUniformTail()
    {
        ProcessingRequest request;
        QVERIFY(ovra::media::libav::LibavVideoAnalyzer().analyze(ovra::tests::testMediaPath("vfr_irregular_head.mp4"),
                                                                  &request.sourceMetadata));
        request.sourceMetadata.captureFrameRate = 30.0;
        request.settings.lowerFrequencyHz = 5.0;
        request.settings.upperFrequencyHz = 7.0;
        request.settings.amplificationFactor = 2.0;
        request.analysisMode = true;
        for (const auto &[start, end] : {std::pair{qint64(-1), qint64(-1)}, std::pair{qint64(9), qint64(80)}}) {
            request.settings.startFrame = start;
            request.settings.endFrameExclusive = end;
            QCOMPARE(VideoProcessingPipeline().run(request, {}, {}).errorMessage,
                     "The selected fragment contains irregular frame intervals. Select a verified uniform section.");
        }
        // From the uniform start on, the range is processed.
        request.settings.startFrame = 10;
        const ProcessingResult accepted = VideoProcessingPipeline().run(request, {}, {});
        QVERIFY2(accepted.succeeded(), qPrintable(accepted.errorMessage));
        QCOMPARE(accepted.temporaryVideo->frameCount(), qint64(70));

        // Exported, the uniform tail plays at its own 30 fps, not at the whole file's average
        // of 28.2, and the parameters file says so.
        request.analysisMode = false;
        request.outputVideoPath = outputPath("tail.mp4");
        const ProcessingResult exported = VideoProcessingPipeline().run(request, {}, {});
        QVERIFY2(exported.succeeded(), qPrintable(exported.errorMessage));
        const QString probed = ovra::tests::runFfprobe(
            {"-v", "error", "-show_entries", "stream=avg_frame_rate", "-of", "csv=p=0", exported.outputVideoPath});
        QCOMPARE(probed.trimmed(), "30/1");
        QCOMPARE(QJsonDocument::fromJson(fileContent(exported.parametersFilePath))["export"]["playbackFrameRate"], 30.0);
        QVERIFY(QFile::remove(exported.outputVideoPath) && QFile::remove(exported.parametersFilePath));
    }

    void cancellationAtEveryPointLeavesNothingBehind()
    {
        // Count how often a full export asks, then cancel at each of those points in turn.
        int checks = 0;
        QVERIFY(VideoProcessingPipeline().run(request(false, "counted.mp4"), {}, [&] { return ++checks < 0; }).succeeded());
        const QStringList before = entries();
        const QString storeRoot = TemporaryVideo::storeRoot();
        const QStringList storesBefore = ovra::tests::folderEntries(storeRoot);

        for (const bool analysis : {false, true}) {
            for (int cancelAt = 1; cancelAt <= checks; cancelAt += std::max(1, cancelAt / 3)) {
                int calls = 0;
                const ProcessingResult result = VideoProcessingPipeline().run(request(analysis, "cancelled.mp4"), {},
                                                                              [&] { return ++calls >= cancelAt; });
                if (result.succeeded())
                    break; // the analysis asks less often than the export
                QCOMPARE(result.state, ProcessingState::Cancelled);
                QCOMPARE(result.errorMessage, QStringLiteral("Processing was cancelled by the user."));
                QVERIFY(!result.temporaryVideo);
                QCOMPARE(entries(), before);
                QCOMPARE(ovra::tests::folderEntries(storeRoot), storesBefore);
            }
        }
    }

    // Another program takes a final name while the run is under way; its file is left alone.
    void finalNamesTakenDuringTheRunAreLeftAlone_data()
    {
        QTest::addColumn<QString>("taken");
        QTest::addColumn<QString>("stage"); // when; empty: after ten frames
        QTest::addColumn<QString>("message");
        QTest::newRow("video during encoding")
            << "clip.mp4" << QString() << "A final output file appeared during processing; publishing was cancelled.";
        QTest::newRow("parameters file at publication: the video is rolled back")
            << "clip.mp4.json" << "Publishing the result" << "Could not publish the JSON file: File exists";
    }

    void finalNamesTakenDuringTheRunAreLeftAlone()
    {
        QFETCH(QString, taken);
        QFETCH(QString, stage);
        const QString intruder = outputPath(taken);
        const QStringList before = entries();
        QStringList staging;
        const auto intrude = [&](const ProcessingProgress &progress) {
            if (progress.processedFrames == 10 && staging.isEmpty())
                staging = entries().filter(QStringLiteral(".staging"));
            const bool now = stage.isEmpty() ? progress.processedFrames == 10 : progress.stageName == stage;
            if (now && !QFile::exists(intruder))
                QVERIFY(writeFile(intruder, "not ours"));
        };
        const ProcessingResult result = VideoProcessingPipeline().run(request(false, "clip.mp4"), intrude, {});
        QCOMPARE(result.state, ProcessingState::Failed);
        QTEST(result.errorMessage, "message");
        QCOMPARE(fileContent(intruder), QByteArray("not ours"));
        QVERIFY(QFile::remove(intruder));
        QCOMPARE(entries(), before);
        // Until publication both staging files sit hidden beside their targets.
        const QRegularExpression names(R"(^\.clip\.mp4\.[0-9a-f-]{36}\.staging\.mp4 )"
                                       R"(\.clip\.mp4\.json\.[0-9a-f-]{36}\.staging\.json$)");
        QVERIFY2(names.match(staging.join(' ')).hasMatch(), qPrintable(staging.join(' ')));
    }

    // Frames handed between threads wait in a queue that never holds more than its capacity,
    // however far the producer runs ahead: memory stays a few frames, not the clip.
    void queueHoldsAtMostItsCapacity()
    {
        ovra::processing::BoundedQueue<int> queue(2);
        std::thread producer([&queue] {
            for (int i = 0; i < 20 && queue.push(i); ++i) {
            }
            queue.close();
        });
        for (int expected = 0; expected < 20; ++expected) {
            QTRY_COMPARE(queue.size(), size_t(std::min(2, 20 - expected)));
            QCOMPARE(queue.pop(), std::optional<int>(expected));
        }
        QCOMPARE(queue.pop(), std::nullopt);
        producer.join();
    }

    void markFollowsTheShorterSide_data()
    {
        QTest::addColumn<QSize>("frameSize");
        QTest::addColumn<int>("fontPixelSize");
        QTest::addColumn<int>("margin");
        QTest::addColumn<double>("maximumWidth");
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 30 << 22 << 537.6;
        QTest::newRow("portrait 1080x1920") << QSize(1080, 1920) << 30 << 22 << 302.4;
        QTest::newRow("320x240: minimums, text scaled down") << QSize(320, 240) << 18 << 12 << 89.6;
        QTest::newRow("4000x3000: maximums") << QSize(4000, 3000) << 72 << 48 << 1120.0;
    }

    void markFollowsTheShorterSide()
    {
        QFETCH(QSize, frameSize);
        QFETCH(double, maximumWidth);
        const VideoWatermarkRenderer::Layout layout = VideoWatermarkRenderer::layoutFor(frameSize);
        QTEST(layout.fontPixelSize, "fontPixelSize");
        QTEST(layout.marginPixels, "margin");
        QCOMPARE(layout.maximumWidth, maximumWidth);

        VideoWatermarkRenderer renderer;
        QString error = "stale";
        QVERIFY(renderer.prepare(frameSize, &error));
        QVERIFY(error.isEmpty());
        // The glyphs fit the maximum width; the image adds the outline on both sides.
        const double outline = VideoWatermarkRenderer::outlineWidth(layout.fontPixelSize, 1.0);
        QVERIFY(renderer.image().width() <= std::ceil(maximumWidth + 2 * outline));
        const QRect mark(renderer.position(), renderer.image().size());
        QCOMPARE(mark.right() + 1 + layout.marginPixels, frameSize.width());
        QCOMPARE(mark.bottom() + 1 + layout.marginPixels, frameSize.height());
    }

    void applyBlendsLightGlyphsWithADarkOutlineOnlyInsideTheMark()
    {
        const QSize size(1280, 720);
        VideoWatermarkRenderer renderer;
        QVERIFY(renderer.prepare(size));
        // Slightly transparent white glyphs and a dark outline (thin, so rarely fully covered).
        const QImage mark = renderer.image().convertToFormat(QImage::Format_ARGB32);
        int fill = 0;
        int outline = 0;
        for (int y = 0; y < mark.height(); ++y) {
            for (int x = 0; x < mark.width(); ++x) {
                fill += mark.pixelColor(x, y) == QColor(255, 255, 255, 205);
                outline += mark.pixelColor(x, y).red() < 40 && mark.pixelColor(x, y).alpha() >= 100;
            }
        }
        QVERIFY2(fill > 50 && outline > 50 && mark.pixelColor(0, 0).alpha() == 0,
                 qPrintable(QString("%1 fill, %2 outline").arg(fill).arg(outline)));

        QImage frame = greyFrame(size);
        QString error = "stale";
        QVERIFY(renderer.apply(frame, &error));
        QVERIFY(error.isEmpty());
        QCOMPARE(frame.format(), QImage::Format_RGBA8888);
        const QRect area(renderer.position(), mark.size());
        // The mark's pixels, checked above, land inside its area and nowhere else.
        QVERIFY(frame != greyFrame(size));
        QImage outside = frame;
        QPainter(&outside).fillRect(area, QColor(128, 128, 128));
        QCOMPARE(outside, greyFrame(size));
    }

    void frameSmallerThanTheMarkClipsItAtTheOrigin()
    {
        const QSize size(10, 40);
        VideoWatermarkRenderer renderer;
        QVERIFY(renderer.prepare(size));
        QVERIFY(renderer.image().width() > size.width() - VideoWatermarkRenderer::layoutFor(size).marginPixels);
        QCOMPARE(renderer.position().x(), 0);
        QImage frame = greyFrame(size);
        QVERIFY(renderer.apply(frame));
        QVERIFY(frame != greyFrame(size));
    }

    void framesItWasNotPreparedForAreRejected_data()
    {
        QTest::addColumn<QSize>("preparedSize"); // invalid: never prepared; empty: a failed preparation
        QTest::addColumn<QSize>("frameSize");
        QTest::newRow("unprepared") << QSize() << QSize(320, 240);
        QTest::newRow("one pixel narrower") << QSize(320, 240) << QSize(319, 240);
        QTest::newRow("null image") << QSize(320, 240) << QSize();
        QTest::newRow("after preparing for no width") << QSize(0, 240) << QSize(320, 240);
    }

    void framesItWasNotPreparedForAreRejected()
    {
        QFETCH(QSize, preparedSize);
        QFETCH(QSize, frameSize);
        VideoWatermarkRenderer renderer;
        QString error;
        if (preparedSize.isValid()) {
            QVERIFY(renderer.prepare(QSize(320, 240)));
            const bool prepared = renderer.prepare(preparedSize, &error);
            QCOMPARE(prepared, !preparedSize.isEmpty());
            QCOMPARE(error, prepared ? QString() : QString("The watermark frame size is invalid."));
        }
        QImage frame = frameSize.isValid() ? greyFrame(frameSize) : QImage();
        const QImage before = frame;
        verifyRefusal(renderer.apply(frame, &error), error,
                      QString("The watermark renderer is not configured for this frame."));
        QCOMPARE(frame, before);
    }

    void frameItCannotPaintOnIsReported()
    {
        VideoWatermarkRenderer renderer;
        QVERIFY(renderer.prepare(QSize(320, 240)));
        QImage indexed(320, 240, QImage::Format_Indexed8);
        QString error;
        QTest::ignoreMessage(QtWarningMsg,
                             "QPainter::begin: Cannot paint on an image with the QImage::Format_Indexed8 format");
        verifyRefusal(renderer.apply(indexed, &error), error, QString("Could not draw the video watermark."));
    }
};

QTEST_MAIN(VideoProcessingPipelineTest)
#include "tst_videoprocessingpipeline.moc"
