#include "TestMedia.h"
#include "VibratingVideo.h"

#include "media/libav/LibavVideoAnalyzer.h"
#include "processing/VideoProcessingPipeline.h"
#include "project_data/TemporaryVideo.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using ovra::media::VideoMetadata;
using ovra::processing::VideoProcessingPipeline;
using ovra::project_data::ProcessingProgress;
using ovra::project_data::ProcessingRequest;
using ovra::project_data::ProcessingResult;
using ovra::project_data::ProcessingState;

namespace {

// 60 fps keeps the minimum fragment for an 8-12 Hz band at two seconds: 120 frames.
const ovra::tests::VibratingPattern pattern{QSize(128, 96), 60.0, 150, 10.0, 0.25};

double psnr(const QImage &a, const QImage &b)
{
    const QImage first = a.convertToFormat(QImage::Format_RGBA8888);
    const QImage second = b.convertToFormat(QImage::Format_RGBA8888);
    double squared = 0.0;
    qint64 samples = 0;
    for (int y = 0; y < first.height(); ++y) {
        const uchar *p = first.constScanLine(y);
        const uchar *q = second.constScanLine(y);
        for (int x = 0; x < first.width(); ++x) {
            for (int c = 0; c < 3; ++c) {
                const double d = double(p[4 * x + c]) - double(q[4 * x + c]);
                squared += d * d;
                ++samples;
            }
        }
    }
    const double mse = squared / samples;
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Names in a folder, hidden ones included, so that staging files are seen.
QStringList folderEntries(const QString &path)
{
    return QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

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
        request.outputVideoPath = output;
        return request;
    }

    QString outputPath(const QString &name) const { return m_folder.filePath(name); }

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
        ovra::media::libav::LibavVideoAnalyzer analyzer;
        QVERIFY2(analyzer.analyze(m_input, &m_metadata, &error), qPrintable(error));
        QCOMPARE(m_metadata.frameCount, qint64(pattern.frameCount));
        QCOMPARE(m_metadata.captureFrameRate, pattern.frameRate);
    }

    void analysisThenExportKeepsTheStoredFrames()
    {
        VideoProcessingPipeline pipeline;
        QList<ProcessingProgress> progress;
        const ProcessingResult analysis = pipeline.run(
            request(true), [&progress](const ProcessingProgress &p) { progress.append(p); }, {});
        QVERIFY2(analysis.succeeded(), qPrintable(analysis.errorMessage));
        QVERIFY(analysis.temporaryVideo);
        QCOMPARE(analysis.temporaryVideo->frameCount(), qint64(pattern.frameCount));
        QCOMPARE(analysis.performance.measuredFrames, qint64(pattern.frameCount));
        QVERIFY(analysis.performance.motionProcessingUs > 0);
        QCOMPARE(progress.first().stageName, QStringLiteral("Opening source video"));
        QCOMPARE(progress.last().stageName, QStringLiteral("Finalizing the analysis result"));
        QCOMPARE(progress.last().fraction(), 1.0);
        for (const ProcessingProgress &p : progress)
            QCOMPARE(p.state, ProcessingState::Running);

        ProcessingRequest exportRequest = request(false, outputPath("from-result.mp4"));
        exportRequest.sourceResult = analysis.temporaryVideo;
        const ProcessingResult exported = pipeline.run(exportRequest, {}, {});
        QVERIFY2(exported.succeeded(), qPrintable(exported.errorMessage));
        QCOMPARE(exported.outputVideoPath, outputPath("from-result.mp4"));
        QCOMPARE(exported.parametersFilePath, outputPath("from-result.mp4.json"));

        const std::vector<QImage> decoded = ovra::tests::decodeAllFrames(exported.outputVideoPath);
        QCOMPARE(qint64(decoded.size()), analysis.temporaryVideo->frameCount());
        for (qint64 i = 0; i < qint64(decoded.size()); i += 7) {
            ovra::media::VideoFrame stored;
            QVERIFY(analysis.temporaryVideo->readFrame(i, &stored));
            QVERIFY2(psnr(decoded[size_t(i)], stored.image) > 35.0, qPrintable(QString::number(i)));
        }

        // The direct export writes the same video in one run.
        const ProcessingResult direct = pipeline.run(request(false, outputPath("direct.mp4")), {}, {});
        QVERIFY2(direct.succeeded(), qPrintable(direct.errorMessage));
        const std::vector<QImage> directFrames = ovra::tests::decodeAllFrames(direct.outputVideoPath);
        QCOMPARE(directFrames.size(), decoded.size());
        for (size_t i = 0; i < decoded.size(); ++i)
            QVERIFY(directFrames[i] == decoded[i]);
        QCOMPARE(folderEntries(m_folder.path()),
                 QStringList({"direct.mp4", "direct.mp4.json", "from-result.mp4", "from-result.mp4.json",
                              "vibrating.mkv"}));
    }

    void magnifiesInBandMotion()
    {
        VideoProcessingPipeline pipeline;
        const ProcessingResult analysis = pipeline.run(request(true), {}, {});
        QVERIFY2(analysis.succeeded(), qPrintable(analysis.errorMessage));
        std::vector<QImage> output;
        for (qint64 i = 0; i < analysis.temporaryVideo->frameCount(); ++i) {
            ovra::media::VideoFrame frame;
            QVERIFY(analysis.temporaryVideo->readFrame(i, &frame));
            output.push_back(frame.image);
        }
        const std::vector<QImage> input = ovra::tests::decodeAllFrames(m_input);
        const double before = ovra::tests::horizontalMotionAmplitude(input, 60, pattern.frequencyHz, pattern.frameRate);
        const double after = ovra::tests::horizontalMotionAmplitude(output, 60, pattern.frequencyHz, pattern.frameRate);
        QVERIFY2(std::abs(before - pattern.amplitudePixels) < 0.05, qPrintable(QString::number(before)));
        QVERIFY2(after > 3.0 * before, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
    }

    void refusedRequestsTouchNothing_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message");
        QTest::newRow("no input") << "no input" << "The input and output video paths are required.";
        QTest::newRow("no output") << "no output" << "The input and output video paths are required.";
        QTest::newRow("analysis of a result") << "analysis of a result" << "Invalid analysis destination.";
        QTest::newRow("output is the input")
            << "output is the input" << "An output path matches the input file or a result file already exists.";
        QTest::newRow("output exists") << "output exists"
                                       << "An output path matches the input file or a result file already exists.";
        QTest::newRow("no output folder") << "no output folder"
                                          << "The output directory does not exist: " + QDir(m_folder.path()).filePath("missing");
        QTest::newRow("fragment too short")
            << "fragment too short"
            << "The selected fragment is too short for the configured frequency band. Select at least 120 frames.";
        QTest::newRow("invalid frame range") << "invalid frame range" << "The selected frame range is invalid.";
        QTest::newRow("time range beyond the end") << "time range beyond the end" << "The selected time range is invalid.";
        QTest::newRow("no capture rate") << "no capture rate"
                                         << "The camera capture frame rate is required before motion processing.";
    }

    void refusedRequestsTouchNothing()
    {
        QFETCH(QString, change);
        ProcessingRequest request = this->request(false, outputPath("refused.mp4"));
        if (change == "no input")
            request.sourceMetadata.filePath.clear();
        else if (change == "no output")
            request.outputVideoPath.clear();
        else if (change == "analysis of a result") {
            request.analysisMode = true;
            request.sourceResult = std::make_shared<ovra::project_data::TemporaryVideo>(m_metadata);
        } else if (change == "output is the input")
            request.outputVideoPath = m_folder.path() + "/./VIBRATING.mkv";
        else if (change == "output exists")
            request.outputVideoPath = m_input;
        else if (change == "no output folder")
            request.outputVideoPath = outputPath("missing/refused.mp4");
        else if (change == "fragment too short")
            request.settings.endFrameExclusive = 119;
        else if (change == "invalid frame range")
            request.settings.endFrameExclusive = pattern.frameCount + 1;
        else if (change == "time range beyond the end") {
            request.settings.startFrame = -1;
            request.settings.endFrameExclusive = -1;
            request.settings.playbackStartUs = m_metadata.durationUs;
        } else if (change == "no capture rate") {
            request.sourceMetadata.captureFrameRate = 0.0;
            request.sourceMetadata.filePath = ovra::tests::testMediaPath("base240_avg30.mp4");
            request.sourceMetadata.frameCount = 0; // not reusable: the source analyses the file itself
            request.settings.endFrameExclusive = 48;
        }
        const QStringList before = folderEntries(m_folder.path());
        const ProcessingResult result = VideoProcessingPipeline().run(request, {}, {});
        QCOMPARE(result.state, ProcessingState::Failed);
        QTEST(result.errorMessage, "message");
        QCOMPARE(folderEntries(m_folder.path()), before);
    }

    void timeRangesAlignToFrames()
    {
        // [0.5 s, 0.5 s + 2 s] at 60 fps: frames 30..150, exactly the minimum length of 120.
        ProcessingRequest request = this->request(true);
        request.settings.startFrame = -1;
        request.settings.endFrameExclusive = -1;
        request.settings.playbackStartUs = 500000;
        request.settings.playbackEndUs = 2500000;
        const ProcessingResult result = VideoProcessingPipeline().run(request, {}, {});
        QVERIFY2(result.succeeded(), qPrintable(result.errorMessage));
        QCOMPARE(result.temporaryVideo->frameCount(), qint64(120));
        // One microsecond later the start moves to frame 31 and the fragment is too short.
        request.settings.playbackStartUs = 500001;
        QCOMPARE(VideoProcessingPipeline().run(request, {}, {}).state, ProcessingState::Failed);
    }

    void variableRateFilesNeedAFrameRangeInTheUniformTail()
    {
        ProcessingRequest request;
        ovra::media::libav::LibavVideoAnalyzer analyzer;
        QVERIFY(analyzer.analyze(ovra::tests::testMediaPath("vfr_irregular_head.mp4"), &request.sourceMetadata));
        request.sourceMetadata.captureFrameRate = 30.0;
        request.settings.lowerFrequencyHz = 5.0;
        request.settings.upperFrequencyHz = 7.0;
        request.settings.amplificationFactor = 2.0;
        request.analysisMode = true;
        const QString irregular =
            QStringLiteral("The selected fragment contains irregular frame intervals. Select a verified uniform section.");
        for (const auto &[start, end] : {std::pair{qint64(-1), qint64(-1)}, std::pair{qint64(9), qint64(80)}}) {
            request.settings.startFrame = start;
            request.settings.endFrameExclusive = end;
            const ProcessingResult result = VideoProcessingPipeline().run(request, {}, {});
            QCOMPARE(result.errorMessage, irregular);
        }
        // From the uniform start on, the range is processed.
        request.settings.startFrame = 10;
        request.settings.endFrameExclusive = 80;
        const ProcessingResult accepted = VideoProcessingPipeline().run(request, {}, {});
        QVERIFY2(accepted.succeeded(), qPrintable(accepted.errorMessage));
        QCOMPARE(accepted.temporaryVideo->frameCount(), qint64(70));
    }

    void cancellationAtEveryPointLeavesNothingBehind()
    {
        // Count how often a full export asks, then cancel at each of those points in turn.
        int checks = 0;
        const QString output = outputPath("cancelled.mp4");
        ProcessingResult complete = VideoProcessingPipeline().run(request(false, output), {}, [&checks] {
            ++checks;
            return false;
        });
        QVERIFY(complete.succeeded());
        QFile::remove(output);
        QFile::remove(output + ".json");
        const QStringList before = folderEntries(m_folder.path());
        const QString storeRoot = ovra::project_data::TemporaryVideo::storeRoot();
        const QStringList storesBefore = QDir(storeRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);

        for (const bool analysis : {false, true}) {
            for (int cancelAt = 1; cancelAt <= checks; cancelAt += std::max(1, cancelAt / 3)) {
                int calls = 0;
                const ProcessingResult result =
                    VideoProcessingPipeline().run(request(analysis, output), {}, [&] { return ++calls >= cancelAt; });
                if (result.succeeded())
                    break; // the analysis asks less often than the export
                QCOMPARE(result.state, ProcessingState::Cancelled);
                QCOMPARE(result.errorMessage, QStringLiteral("Processing was cancelled by the user."));
                QVERIFY(!result.temporaryVideo);
                QCOMPARE(folderEntries(m_folder.path()), before);
                QCOMPARE(QDir(storeRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot), storesBefore);
            }
        }
    }

    void failedJsonPublicationRollsBackTheVideo()
    {
        const QString output = outputPath("rollback.mp4");
        const QString parameters = output + ".json";
        bool intruded = false;
        const ProcessingResult result = VideoProcessingPipeline().run(
            request(false, output),
            [&](const ProcessingProgress &progress) {
                // Another program takes the parameters file's name just before publication.
                if (progress.stageName == QStringLiteral("Publishing the result") && !intruded) {
                    QFile file(parameters);
                    QVERIFY(file.open(QIODevice::WriteOnly));
                    file.write("someone else's");
                    intruded = true;
                }
            },
            {});
        QCOMPARE(result.state, ProcessingState::Failed);
        QVERIFY2(result.errorMessage.startsWith(QStringLiteral("Could not publish the JSON file: ")),
                 qPrintable(result.errorMessage));
        QVERIFY(!QFile::exists(output));
        QFile file(parameters);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("someone else's"));
        file.close();
        QFile::remove(parameters);
        QVERIFY(!folderEntries(m_folder.path()).join(' ').contains(QStringLiteral(".rollback")));
        QVERIFY(!folderEntries(m_folder.path()).join(' ').contains(QStringLiteral(".staging")));
    }

    void outputAppearingDuringEncodingIsLeftAlone()
    {
        const QString output = outputPath("appeared.mp4");
        const QStringList before = folderEntries(m_folder.path());
        const ProcessingResult result = VideoProcessingPipeline().run(
            request(false, output),
            [&](const ProcessingProgress &progress) {
                if (progress.processedFrames == 10 && !QFile::exists(output)) {
                    QFile file(output);
                    QVERIFY(file.open(QIODevice::WriteOnly));
                    file.write("not ours");
                    // While encoding, both staging files sit hidden beside their targets.
                    const QStringList staging = folderEntries(m_folder.path()).filter(QStringLiteral(".staging"));
                    QCOMPARE(staging.size(), 2);
                    QVERIFY(staging.filter(QRegularExpression("^\\.appeared\\.mp4\\.[0-9a-f-]{36}\\.staging\\.mp4$")).size() == 1);
                    QVERIFY(staging.filter(QRegularExpression("^\\.appeared\\.mp4\\.json\\.[0-9a-f-]{36}\\.staging\\.json$")).size() == 1);
                }
            },
            {});
        QCOMPARE(result.state, ProcessingState::Failed);
        QCOMPARE(result.errorMessage,
                 QStringLiteral("A final output file appeared during processing; publishing was cancelled."));
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("not ours"));
        file.close();
        QFile::remove(output);
        QCOMPARE(folderEntries(m_folder.path()), before);
    }

    void sourceEndingEarlyFails()
    {
        ProcessingRequest request = this->request(false, outputPath("early.mp4"));
        request.sourceMetadata.frameCount = pattern.frameCount + 2; // the file has two frames less
        request.sourceMetadata.frameTimestamps.clear();
        request.settings.endFrameExclusive = pattern.frameCount + 2;
        const QStringList before = folderEntries(m_folder.path());
        const ProcessingResult result = VideoProcessingPipeline().run(request, {}, {});
        QCOMPARE(result.errorMessage,
                 QStringLiteral("The decoder reached the end of the stream before the calculated end of the time range."));
        QCOMPARE(folderEntries(m_folder.path()), before);
    }

    void stagingNamesAndFileIdentity()
    {
        const QString staging = VideoProcessingPipeline::stagingFileName(outputPath("clip.mp4"), "staging.mp4");
        QVERIFY(QRegularExpression("/\\.clip\\.mp4\\.[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\.staging\\.mp4$")
                    .match(staging)
                    .hasMatch());
        QVERIFY(VideoProcessingPipeline::sameFile(m_input, m_folder.path() + "/sub/../vibrating.mkv"));
        QVERIFY(!VideoProcessingPipeline::sameFile(m_input, QString()));
        const QString link = outputPath("link.mkv");
        QVERIFY(QFile::link(m_input, link));
        QVERIFY(VideoProcessingPipeline::sameFile(m_input, link));
        QFile::remove(link);
    }
};

QTEST_MAIN(VideoProcessingPipelineTest)
#include "tst_videoprocessingpipeline.moc"
