// SPDX-License-Identifier: GPL-3.0-or-later
#include "MotionCoreTesting.h"
#include "ShakingScene.h"
#include "TestMedia.h"
#include "VibratingVideo.h"

#include "media/libav/LibavVideoAnalyzer.h"
#include "ovra/Version.h"
#include "processing/BoundedQueue.h"
#include "processing/ComparisonComposer.h"
#include "processing/MotionSpectrumAnalysis.h"
#include "processing/ProcessingParametersWriter.h"
#include "processing/SettingsValidation.h"
#include "processing/VibrationMapAnalysis.h"
#include "processing/VideoProcessingPipeline.h"
#include "processing/VideoWatermarkRenderer.h"
#include "project_data/AnalysisResult.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>

using ovra::media::VideoMetadata;
using ovra::motion_core::MotionSettings;
using ovra::motion_core::MotionSpectrum;
using ovra::motion_core::SpectrumPeak;
using ovra::motion_core::VibrationMap;
using ovra::motion_core::VibrationMapTile;
using ovra::processing::ComparisonComposer;
using ovra::processing::MotionSpectrumResult;
using ovra::processing::ProcessingParametersWriter;
using ovra::processing::VideoProcessingPipeline;
using ovra::processing::VideoWatermarkRenderer;
using ovra::project_data::AnalysisResult;
using ovra::project_data::OutputLayout;
using ovra::project_data::ProcessingProgress;
using ovra::project_data::ProcessingRequest;
using ovra::project_data::ProcessingResult;
using ovra::project_data::ProcessingState;
using ovra::tests::fileContent;
using ovra::tests::filled;
using ovra::tests::verifyRefusal;
using ovra::tests::VibratingPattern;
using ovra::tests::writeFile;

using Change = std::function<void(ProcessingRequest &)>;
using MapChange = std::function<void(ovra::processing::VibrationMapRequest &)>;

// This executable replaces the global allocation functions, so that memory can run out on the
// threads a run starts, as when the machine runs short, while the test's own thread carries on.
namespace {

enum class Starved {
    None,
    AllOtherThreads,
    AllButTheFirstToAllocate
};
std::atomic<Starved> starved{Starved::None};
const std::thread::id testThread = std::this_thread::get_id();
std::atomic<std::thread::id> spared{};

bool starving(std::thread::id thread)
{
    const Starved mode = starved.load(std::memory_order_relaxed);
    if (mode == Starved::None || thread == testThread)
        return false;
    std::thread::id first;
    return mode == Starved::AllOtherThreads || !(spared.compare_exchange_strong(first, thread) || first == thread);
}

} // namespace

void *operator new(size_t size)
{
    if (starving(std::this_thread::get_id()))
        throw std::bad_alloc();
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void *memory) noexcept
{
    std::free(memory);
}

void operator delete(void *memory, size_t) noexcept
{
    std::free(memory);
}

namespace {

// What goes wrong during a run besides the request itself.
enum class Fault {
    None,
    DiskFullAtFrame40,
    NoThreadsForTheFrameLoop,
    NoMemoryForReading,
    NoMemoryForWriting
};

// At 60 fps an 8-12 Hz band needs one period of 8 Hz, 8 frames, and recommends two seconds: 120 frames.
const ovra::tests::VibratingPattern pattern{QSize(128, 96), 60.0, 150, 10.0, 0.25};

// The stored frames, as long as each one is where its number says: frames written on another
// thread must still be stored in order.
std::vector<QImage> storedFrames(const AnalysisResult &store)
{
    std::vector<QImage> frames;
    ovra::media::VideoFrame frame;
    for (qint64 i = 0; i < store.frameCount() && store.readFrame(i, &frame) && frame.frameIndex == i; ++i)
        frames.push_back(frame.image);
    return frames;
}

ProcessingRequest knownRequest()
{
    ProcessingRequest request;
    ovra::media::VideoMetadata &source = request.sourceMetadata;
    source.filePath = QStringLiteral("/data/pump.mp4");
    source.containerName = QStringLiteral("mov,mp4,m4a,3gp,3g2,mj2");
    source.codecName = QStringLiteral("h264");
    source.frameSize = QSize(1920, 1080);
    source.durationUs = 100000000;
    source.frameCount = 3000;
    source.nominalFrameRate = source.detectedCaptureFrameRate = source.captureFrameRate = 30.0;
    source.captureFrameRateManual = true;
    source.uniformStartFrame = 0;
    request.settings.startFrame = 30;
    request.settings.endFrameExclusive = 630;
    request.settings.playbackStartUs = 1000000;
    request.settings.playbackEndUs = 21000000;
    request.settings.regionOfInterest = QRectF(0.25, 0.5, 0.5, 0.25);
    request.settings.lowerFrequencyHz = 9.0;
    request.settings.upperFrequencyHz = 14.0;
    request.settings.amplificationFactor = 5.0;
    request.settings.rotationSpeedRpm = 3000.0;
    request.settings.workerThreadCount = 2;
    request.outputVideoPath = QStringLiteral("/out/clip.mp4");
    request.parametersFilePath = QStringLiteral("/out/clip.mp4.json");
    return request;
}

QJsonObject expectedDocument()
{
    QJsonObject document = QJsonDocument::fromJson(R"({
        "schemaVersion": 1,
        "application": {"name": "ovra-motion", "version": "set below"},
        "algorithm": {"name": "Riesz phase magnification", "version": "riesz-phase-cpu-0.4"},
        "source": {"filePath": "/data/pump.mp4", "container": "mov,mp4,m4a,3gp,3g2,mj2", "videoCodec": "h264",
            "width": 1920, "height": 1080, "durationUs": 100000000, "frameCount": 3000, "nominalFrameRate": 30,
            "averagePlaybackFrameRate": 30, "detectedCaptureFrameRate": 30, "captureFrameRate": 240,
            "captureFrameRateManual": true, "slowMotionPlaybackIntent": false, "estimatedRecordingDurationUs": 0,
            "averageSlowMotionFactor": 0, "variableFrameRate": false, "uniformStartFrame": 0},
        "processing": {
            "fragment": {"startFrame": 30, "endFrameExclusive": 630, "startTimeUs": 1000000, "endTimeUs": 21000000,
                         "processedFrameCount": 600},
            "regionCoordinateSpace": "decodedFrameNormalizedTopLeft",
            "regionOfInterest": {"x": 0.25, "y": 0.5, "width": 0.5, "height": 0.25},
            "regionProcessingOptimizationEnabled": true, "expandedRegionAmplificationFactor": 2.5,
            "stabilizationReferenceRegion": null, "cameraMotion": null, "lowerFrequencyHz": 9, "upperFrequencyHz": 14,
            "amplificationFactor": 5, "rotationSpeedRpm": 3000, "rotationFrequencyHz": 50,
            "workerThreadCount": 2, "effectiveWorkerThreadCount": 2, "workerThreadMode": "manual"},
        "export": {"videoFilePath": "/out/clip.mp4", "container": "mp4", "videoCodec": "h264", "qualityPercent": 75,
            "includeAudio": false, "preserveFrameSize": true, "preserveFrameRate": true, "playbackFrameRate": 30,
            "layout": "result",
            "watermark": {"enabled": true, "text": "set below", "position": "bottomRight",
                          "maximumWidthRatio": 0.28, "marginRatio": 0.02}},
        "recording": {"equipmentType": "", "equipmentDesignation": "", "inspectedComponent": "",
                      "recordingDateTime": "", "operatingMode": "", "loadDescription": "", "comment": ""}
    })")
                               .object();
    // The version the build generated, not a number copied into the test.
    document["application"]
        = QJsonObject{{"name", OVRA_APPLICATION_NAME}, {"version", OVRA_VERSION " build " OVRA_BUILD_NUMBER}};
    QJsonObject exported = document["export"].toObject();
    QJsonObject watermark = exported["watermark"].toObject();
    watermark["text"] = OVRA_DISPLAY_NAME;
    exported["watermark"] = watermark;
    document["export"] = exported;
    return document;
}

struct Case
{
    VideoMetadata metadata;
    MotionSettings settings;
    double captureFps = 600.0;
};

using CaseChange = std::function<void(Case &)>;

// Two seconds of a 600 fps recording and a band around a plucked string's 72-92 Hz.
Case validCase()
{
    Case c;
    c.metadata.frameCount = 1200;
    c.metadata.frameSize = QSize(640, 480);
    c.settings.startFrame = 0;
    c.settings.endFrameExclusive = 1200;
    c.settings.lowerFrequencyHz = 72.0;
    c.settings.upperFrequencyHz = 92.0;
    c.settings.amplificationFactor = 5.0;
    return c;
}

struct ExpectedPeak
{
    double frequencyHz;
    double amplitudePixels;
    double directionDegrees;
};
using ExpectedPeaks = std::vector<ExpectedPeak>;

double directionError(double a, double b)
{
    const double difference = std::fmod(std::abs(a - b), 180.0);
    return std::min(difference, 180.0 - difference);
}

// Nothing in a frozen folder can be created, renamed or deleted, not even by root.
bool freezeFolder(const QString &path, bool frozen)
{
    if (::geteuid() == 0)
        return QProcess::execute("chattr", {frozen ? "+i" : "-i", path}) == 0;
    return QFile::setPermissions(
        path, frozen ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString describe(const MotionSpectrum &spectrum)
{
    QString text = QStringLiteral("bin %1 Hz, peaks:").arg(spectrum.resolutionHz);
    for (const SpectrumPeak &peak : spectrum.peaks)
        text += QStringLiteral(" %1 Hz %2 px %3 deg;")
                    .arg(peak.frequencyHz)
                    .arg(peak.amplitudePixels)
                    .arg(peak.directionDegrees);
    return text;
}

// Textured background, part A at 11 Hz with 0.08 px along 30 degrees, part B at 31 Hz with 0.3 px
// along 120 degrees and a flat area, with sensor noise.
VibratingPattern vibrationScene()
{
    VibratingPattern scene{{384, 216}, 120.0, 480, 11.0, 0.0};
    scene.structure = ovra::tests::naturalTexture(3);
    const auto axis = [](double degrees) {
        return QPointF(std::cos(qDegreesToRadians(degrees)), std::sin(qDegreesToRadians(degrees)));
    };
    scene.parts
        = {{QRect(24, 24, 144, 104), {11.0, 0.08}, axis(30.0)}, {QRect(216, 24, 144, 104), {31.0, 0.3}, axis(120.0)}};
    scene.flatArea = QRect(64, 156, 256, 48);
    scene.noiseSigma = 2.0;
    return scene;
}

QString describe(const VibrationMap &map)
{
    QString text
        = QStringLiteral("strongest %1 Hz, floor %2 px:").arg(map.strongestFrequencyHz).arg(map.noiseFloorPixels);
    for (const VibrationMapTile &tile : map.tiles)
        text += QStringLiteral(" (%1,%2 %3 px %4 deg%5)")
                    .arg(tile.pixels.x())
                    .arg(tile.pixels.y())
                    .arg(tile.amplitudePixels, 0, 'f', 4)
                    .arg(tile.directionDegrees, 0, 'f', 0)
                    .arg(tile.textured ? "" : " no data");
    return text;
}

} // namespace

Q_DECLARE_METATYPE(CaseChange)
Q_DECLARE_METATYPE(MapChange)
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(OutputLayout)
Q_DECLARE_METATYPE(VibratingPattern)
Q_DECLARE_METATYPE(std::optional<QRectF>)

// The runs from source to result, the rules a request must meet and the file that records them,
// the motion spectrum, and the mark the export draws on every frame.
class VideoProcessingPipelineTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    QTemporaryDir m_clipFolder; // its videos stay out of the pipeline's listings
    QString m_input;
    VideoMetadata m_metadata;
    VideoMetadata m_scene; // of vibrationScene(), written on first use

    // An analysis in 9-13 Hz by 10 of the scene as a lossless video of that name, written on first use.
    bool sceneAnalysis(const ovra::tests::ShakingScene &scene, const QString &name, ProcessingRequest *request,
                       QString *error)
    {
        const QString path = m_clipFolder.filePath(name);
        if (!QFileInfo::exists(path) && !ovra::tests::writeFramesVideo(path, scene.frames(), scene.frameRate, error))
            return false;
        if (!ovra::media::libav::LibavVideoAnalyzer().analyze(path, &request->sourceMetadata, error))
            return false;
        request->sourceMetadata.captureFrameRate = scene.frameRate;
        request->settings.startFrame = 0;
        request->settings.endFrameExclusive = scene.frameCount;
        request->settings.lowerFrequencyHz = 9.0;
        request->settings.upperFrequencyHz = 13.0;
        request->settings.amplificationFactor = 10.0;
        request->analysisMode = true;
        return true;
    }

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

    // The pattern as a video of the current test row, analysed, captured at the pattern's rate.
    bool writeClip(const VibratingPattern &pattern, VideoMetadata *metadata, QString *error)
    {
        const QString path = m_clipFolder.filePath(
            QStringLiteral("%1 %2.mkv").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        if (!ovra::tests::writeVibratingPatternVideo(path, pattern, error)
            || !ovra::media::libav::LibavVideoAnalyzer().analyze(path, metadata, error))
            return false;
        metadata->captureFrameRate = pattern.frameRate;
        return true;
    }

    MotionSpectrumResult analyse(const VibratingPattern &pattern, const ovra::processing::ProgressCallback &progress,
                                 const ovra::media::CancellationCheck &cancellation)
    {
        ovra::processing::MotionSpectrumRequest request;
        MotionSpectrumResult failed;
        if (!writeClip(pattern, &request.sourceMetadata, &failed.errorMessage))
            return failed;
        return ovra::processing::MotionSpectrumAnalysis().run(request, progress, cancellation);
    }

    // A map of the scene in the band, with the request changed as the row asks.
    ovra::processing::VibrationMapResult map(double lowerHz, double upperHz, const MapChange &change = {})
    {
        ovra::processing::VibrationMapResult failed;
        if (m_scene.filePath.isEmpty() && !writeClip(vibrationScene(), &m_scene, &failed.errorMessage))
            return failed;
        ovra::processing::VibrationMapRequest request;
        request.sourceMetadata = m_scene;
        request.lowerFrequencyHz = lowerHz;
        request.upperFrequencyHz = upperHz;
        if (change)
            change(request);
        return ovra::processing::VibrationMapAnalysis().run(request, {}, {});
    }

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
        const ProcessingResult analysis
            = pipeline.run(request(true), [&progress](const ProcessingProgress &p) { progress.append(p); }, {});
        QVERIFY2(analysis.succeeded(), qPrintable(analysis.errorMessage));
        const std::vector<QImage> stored = storedFrames(*analysis.analysisResult);
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
        exportRequest.sourceResult = analysis.analysisResult;
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
        QCOMPARE(entries(),
                 QStringList({"direct.mp4", "direct.mp4.json", "from-result.mp4", "from-result.mp4.json", "tmp",
                              "vibrating.mkv"}));
    }

    // Each frame of a comparison shows the source frame in one half and its result in the other
    // (exactly when lossless), each labelled in its top left corner, whether the result comes
    // from a store or is made on the way; an odd frame follows the encoder's even-size rule as a
    // whole.
    void comparisonsShowTheSourceBesideItsResult_data()
    {
        QTest::addColumn<OutputLayout>("layout");
        QTest::addColumn<QSize>("frameSize");
        QTest::addColumn<bool>("fromStore");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QSize>("writtenSize");
        QTest::addColumn<QString>("key");
        QTest::addColumn<double>("fidelityDb");
        QTest::newRow("side by side from a stored result")
            << OutputLayout::SideBySide << QSize(128, 96) << true << "mp4" << QSize(256, 96) << "sideBySide" << 35.0;
        QTest::newRow("stacked, odd size, processed on the way")
            << OutputLayout::Stacked << QSize(127, 95) << false << "mp4" << QSize(128, 190) << "stacked" << 35.0;
        QTest::newRow("side by side, odd size, lossless, from a stored result")
            << OutputLayout::SideBySide << QSize(127, 95) << true << "mkv" << QSize(254, 95) << "sideBySide" << 90.0;
    }

    void comparisonsShowTheSourceBesideItsResult()
    {
        QFETCH(OutputLayout, layout);
        QFETCH(QSize, frameSize);
        QFETCH(QString, suffix);
        VibratingPattern clip = pattern;
        clip.frameSize = frameSize;
        ProcessingRequest analysis = request(true);
        analysis.settings.startFrame = 20;
        QString error;
        QVERIFY2(writeClip(clip, &analysis.sourceMetadata, &error), qPrintable(error));
        VideoProcessingPipeline pipeline;
        const ProcessingResult analysed = pipeline.run(analysis, {}, {});
        QVERIFY2(analysed.succeeded(), qPrintable(analysed.errorMessage));

        ProcessingRequest comparison = request(false);
        comparison.outputVideoPath
            = m_clipFolder.filePath(QStringLiteral("%1.%2").arg(QTest::currentDataTag(), suffix));
        comparison.encoding = ovra::media::VideoEncodingSettings::forOutputPath(comparison.outputVideoPath);
        comparison.sourceMetadata = analysis.sourceMetadata;
        comparison.settings = analysis.settings;
        comparison.layout = layout;
        QFETCH(bool, fromStore);
        if (fromStore)
            comparison.sourceResult = analysed.analysisResult;
        const ProcessingResult exported = pipeline.run(comparison, {}, {});
        QVERIFY2(exported.succeeded(), qPrintable(exported.errorMessage));
        QTEST(QJsonDocument::fromJson(fileContent(exported.parametersFilePath))["export"]["layout"].toString(), "key");

        const std::vector<QImage> sources = ovra::tests::decodeAllFrames(analysis.sourceMetadata.filePath);
        const std::vector<QImage> results = storedFrames(*analysed.analysisResult);
        const std::vector<QImage> written = ovra::tests::decodeAllFrames(exported.outputVideoPath);
        QCOMPARE(written.size(), results.size());
        const QPoint resultOrigin = ComparisonComposer::composedSize(layout, frameSize).width() > frameSize.width()
            ? QPoint(frameSize.width(), 0)
            : QPoint(0, frameSize.height());
        // Below the labels each half is its frame; where the labels are, it is not.
        const QRect lowerHalf(0, frameSize.height() / 2, frameSize.width(),
                              frameSize.height() - frameSize.height() / 2);
        const QRect labelCorner(0, 0, frameSize.width() / 2, frameSize.height() / 3);
        QFETCH(double, fidelityDb);
        const qint64 start = analysis.settings.startFrame;
        for (size_t i = 0; i < written.size(); i += 37) {
            QTEST(written[i].size(), "writtenSize");
            for (const auto &[origin, frame] :
                 {std::pair(QPoint(0, 0), sources[start + i]), std::pair(resultOrigin, results[i])}) {
                const double below = ovra::tests::peakSignalToNoise(written[i].copy(lowerHalf.translated(origin)),
                                                                    frame.copy(lowerHalf));
                const double label = ovra::tests::peakSignalToNoise(written[i].copy(labelCorner.translated(origin)),
                                                                    frame.copy(labelCorner));
                QVERIFY2(below > fidelityDb && label < 20.0,
                         qPrintable(QStringLiteral("frame %1 at (%2, %3): %4 dB, %5 dB")
                                        .arg(i)
                                        .arg(origin.x())
                                        .arg(origin.y())
                                        .arg(below)
                                        .arg(label)));
            }
        }
    }

    // Slow structures are filmed for a few periods only. From one period of the lower band edge
    // on they are magnified, steadily once that first period is over, and nothing blows up.
    void fewPeriodsOfSlowMotionAreMagnified_data()
    {
        QTest::addColumn<VibratingPattern>("clip");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::newRow("breathing: 10 s at 30 fps, 0.4-3 Hz")
            << VibratingPattern{{96, 64}, 30.0, 300, 1.0, 0.2} << 0.4 << 3.0;
        QTest::newRow("crane: 9 s at 24 fps, 0.2-0.5 Hz")
            << VibratingPattern{{96, 64}, 24.0, 216, 0.3, 0.2} << 0.2 << 0.5;
    }

    void fewPeriodsOfSlowMotionAreMagnified()
    {
        QFETCH(VibratingPattern, clip);
        ProcessingRequest request;
        QString error;
        QVERIFY2(writeClip(clip, &request.sourceMetadata, &error), qPrintable(error));
        request.settings.startFrame = 0;
        request.settings.endFrameExclusive = clip.frameCount;
        QFETCH(double, lower);
        QFETCH(double, upper);
        request.settings.lowerFrequencyHz = lower;
        request.settings.upperFrequencyHz = upper;
        request.settings.amplificationFactor = 5.0;
        request.analysisMode = true;
        const ProcessingResult result = VideoProcessingPipeline().run(request, {}, {});
        QVERIFY2(result.succeeded(), qPrintable(result.errorMessage));
        const std::vector<QImage> stored = storedFrames(*result.analysisResult);
        QCOMPARE(int(stored.size()), clip.frameCount);
        const int firstPeriod = int(std::ceil(clip.frameRate / lower));
        using ovra::tests::motionAmplitude;
        const double before = motionAmplitude(ovra::tests::vibratingPatternFrames(clip), clip, firstPeriod);
        const double after = motionAmplitude(stored, clip, firstPeriod);
        // The factor of 5, to within a fifth.
        QVERIFY2(std::abs(after / before - 5.0) < 1.0, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
    }

    // A part vibrating at 11 Hz in a world filmed by a camera that drifts, trembles at 7 Hz and
    // rolls: compensated, the part is magnified as on a tripod, the background stands still, and
    // the part's spectrum shows its own line, not the camera's. Uncompensated, the same checks fail.
    void cameraMotionIsCompensated_data()
    {
        QTest::addColumn<std::optional<QRectF>>("reference");
        QTest::addColumn<bool>("compensated");
        QTest::newRow("whole frame") << std::optional(QRectF(0, 0, 1, 1)) << true;
        QTest::newRow("reference region on the background") << std::optional(QRectF(0.02, 0.03, 0.3, 0.9)) << true;
        QTest::newRow("no compensation") << std::optional<QRectF>() << false;
    }

    void cameraMotionIsCompensated()
    {
        QFETCH(std::optional<QRectF>, reference);
        QFETCH(bool, compensated);
        const ovra::tests::ShakingScene scene;
        ProcessingRequest request;
        QString error;
        QVERIFY2(sceneAnalysis(scene, QStringLiteral("shaking scene.mkv"), &request, &error), qPrintable(error));
        request.settings.cameraMotionCompensationEnabled = reference.has_value();
        request.settings.stabilizationReferenceRegion = reference.value_or(QRectF());
        const ProcessingResult result = VideoProcessingPipeline().run(request, {}, {});
        QVERIFY2(result.succeeded(), qPrintable(result.errorMessage));
        QCOMPARE(result.cameraMotion.has_value(), compensated);
        const std::vector<QImage> stored = storedFrames(*result.analysisResult);

        const int settled = int(scene.frameRate / 2);
        const QRect partArea = scene.part.toRect().adjusted(8, 8, -8, -8);
        const double gain = ovra::tests::motionAmplitude(stored, scene.partPattern(), settled, partArea)
            / scene.partTone.amplitudePixels;
        const double theory
            = ovra::tests::theoreticalGain(10.0, scene.partTone.frequencyHz, scene.frameRate, 9.0, 13.0);
        double residual = 0.0; // of the background, at the camera's and at the part's frequency
        for (const double hz : {scene.tremor.frequencyHz, scene.partTone.frequencyHz})
            for (const QPointF direction : {QPointF(1, 0), QPointF(0, 1)})
                residual = std::max(residual,
                                    ovra::tests::motionAmplitude(stored, scene.backgroundPattern(hz, direction),
                                                                 settled, QRect(16, 16, 80, 208)));

        ovra::processing::MotionSpectrumRequest spectrumRequest;
        spectrumRequest.sourceMetadata = request.sourceMetadata;
        spectrumRequest.regionOfInterest
            = QRectF(scene.part.x() / scene.frameSize.width(), scene.part.y() / scene.frameSize.height(),
                     scene.part.width() / scene.frameSize.width(), scene.part.height() / scene.frameSize.height());
        spectrumRequest.stabilizationReferenceRegion = reference;
        spectrumRequest.resolutionHz = 1.0; // 7 and 11 Hz four bins apart, beyond each other's leakage
        const MotionSpectrumResult spectrum = ovra::processing::MotionSpectrumAnalysis().run(spectrumRequest, {}, {});
        QVERIFY2(spectrum.succeeded(), qPrintable(spectrum.errorMessage));
        const auto amplitudeAt = [&spectrum](double hz) {
            double amplitude = 0.0;
            for (int bin = 0; bin < spectrum.spectrum.binCount(); ++bin)
                if (std::abs(spectrum.spectrum.frequenciesHz[size_t(bin)] - hz) <= spectrum.spectrum.resolutionHz / 2)
                    amplitude = std::max(amplitude, spectrum.spectrum.amplitudePixels[size_t(bin)]);
            return amplitude;
        };
        const std::vector<SpectrumPeak> &peaks = spectrum.spectrum.peaks;
        const bool partLineFirst = !peaks.empty() && std::abs(peaks.front().frequencyHz - 11.0) < 0.5;
        const double cameraLine = amplitudeAt(scene.tremor.frequencyHz) / amplitudeAt(scene.partTone.frequencyHz);

        qInfo("gain %.2f (theory %.2f), background residual %.4f px, strongest line %.2f Hz, 7 Hz at %.2f of 11 Hz",
              gain, theory, residual, peaks.empty() ? 0.0 : peaks.front().frequencyHz, cameraLine);
        const bool magnifiedAsOnATripod = std::abs(gain / theory - 1.0) <= 0.15;
        const bool backgroundStill = residual < 0.05;
        const bool spectrumOfThePart = partLineFirst && cameraLine <= 0.2;
        QCOMPARE(magnifiedAsOnATripod && backgroundStill && spectrumOfThePart, compensated);
        if (!compensated)
            return;
        QVERIFY(result.cameraMotion->peakPixels > 1.0 && result.cameraMotion->peakPixels < 6.0);
        // About the frame's centre, as an export of the stored result tells it.
        QCOMPARE(
            result.cameraMotion->rmsPixels,
            ovra::motion_core::summarizeCameraMotion(result.analysisResult->cameraTransforms(), scene.frameSize, 1.0)
                .rmsPixels);
        // Exported beside its stored result, the source is stabilised too: its background stays.
        ProcessingRequest comparison = request;
        comparison.analysisMode = false;
        comparison.sourceResult = result.analysisResult;
        comparison.layout = OutputLayout::SideBySide;
        comparison.outputVideoPath
            = m_clipFolder.filePath(QStringLiteral("beside %1.mkv").arg(QTest::currentDataTag()));
        comparison.encoding = ovra::media::VideoEncodingSettings::forOutputPath(comparison.outputVideoPath);
        const ProcessingResult exported = VideoProcessingPipeline().run(comparison, {}, {});
        QVERIFY2(exported.succeeded(), qPrintable(exported.errorMessage));
        const std::vector<QImage> written = ovra::tests::decodeAllFrames(exported.outputVideoPath);
        const QRect background(16, 140, 80, 90); // of the source half, below its label
        double difference = 0.0;
        for (int y = background.top(); y <= background.bottom(); ++y)
            for (int x = background.left(); x <= background.right(); ++x)
                difference
                    += std::abs(int(written.front().pixel(x, y) & 0xff) - int(written.back().pixel(x, y) & 0xff));
        difference /= background.width() * background.height();
        QVERIFY2(difference < 2.0, qPrintable(QString::number(difference)));
    }

    // A recording from a steady camera comes out of compensation nearly as it went in, also where
    // the machine fills half the frame and most of its texture.
    void compensationSparesASteadyRecording_data()
    {
        QTest::addColumn<QRectF>("part");
        QTest::newRow("a part in the middle") << QRectF(112.0, 80.0, 96.0, 80.0);
        QTest::newRow("a part over half the frame") << QRectF(56.0, 16.0, 208.0, 176.0);
    }

    void compensationSparesASteadyRecording()
    {
        ovra::tests::ShakingScene scene;
        QFETCH(QRectF, part);
        scene.part = part;
        scene.partTone.amplitudePixels = 0.3;
        scene.driftPixels = 0.0;
        scene.tremor.amplitudePixels = 0.0;
        scene.roll.amplitudePixels = 0.0;
        scene.frameCount = 120;
        ProcessingRequest steady;
        QString error;
        QVERIFY2(sceneAnalysis(scene, QStringLiteral("steady %1.mkv").arg(QTest::currentDataTag()), &steady, &error),
                 qPrintable(error));
        ProcessingRequest compensated = steady;
        compensated.settings.cameraMotionCompensationEnabled = true;
        compensated.settings.stabilizationReferenceRegion = QRectF(0, 0, 1, 1);
        const ProcessingResult plain = VideoProcessingPipeline().run(steady, {}, {});
        const ProcessingResult stabilized = VideoProcessingPipeline().run(compensated, {}, {});
        QVERIFY2(plain.succeeded() && stabilized.succeeded(), qPrintable(plain.errorMessage + stabilized.errorMessage));
        const std::vector<QImage> a = storedFrames(*plain.analysisResult);
        const std::vector<QImage> b = storedFrames(*stabilized.analysisResult);
        QCOMPARE(a.size(), b.size());
        double squares = 0.0;
        qint64 samples = 0;
        for (size_t i = 0; i < a.size(); ++i)
            for (int y = 0; y < a[i].height(); ++y)
                for (int x = 0; x < 3 * a[i].width(); ++x) {
                    const int difference
                        = int(a[i].constScanLine(y)[x + x / 3]) - int(b[i].constScanLine(y)[x + x / 3]);
                    squares += difference * difference;
                    ++samples;
                }
        const double psnr = 10.0 * std::log10(255.0 * 255.0 / std::max(squares / double(samples), 1e-12));
        QVERIFY2(psnr >= 45.0, qPrintable(QString::number(psnr)));
    }

    // Refusals before the first frame, and failures on the reading and on the writing thread.
    void failedRunsLeaveNothingBehind_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("message");
        QTest::addColumn<Fault>("fault");
        const QString paths = "The input and output video paths are required.";
        const QString taken = "An output path matches the input file or a result file already exists.";
        const QString tooShort
            = "The selected fragment is too short for this frequency band. Select at least 8 frames.";
        QTest::newRow("no input") << Change([](auto &r) { r.sourceMetadata.filePath.clear(); }) << paths << Fault::None;
        QTest::newRow("no output") << Change([](auto &r) { r.outputVideoPath.clear(); }) << paths << Fault::None;
        QTest::newRow("analysis of a result") << Change([this](auto &r) {
            r.analysisMode = true;
            r.sourceResult = std::make_shared<AnalysisResult>(m_metadata);
        }) << "Invalid analysis destination." << Fault::None;
        QTest::newRow("output is the input")
            << Change([this](auto &r) { r.outputVideoPath = m_input; }) << taken << Fault::None;
        QTest::newRow("no output folder")
            << Change([this](auto &r) { r.outputVideoPath = outputPath("missing/x.mp4"); })
            << "The output directory does not exist: " + outputPath("missing") << Fault::None;
        QTest::newRow("half a period of the lower edge")
            << Change([](auto &r) { r.settings.endFrameExclusive = 4; }) << tooShort << Fault::None;
        QTest::newRow("invalid frame range") << Change([](auto &r) { r.settings.endFrameExclusive = 151; })
                                             << "The selected frame range is invalid." << Fault::None;
        QTest::newRow("time range beyond the end") << Change([this](auto &r) {
            r.settings.startFrame = r.settings.endFrameExclusive = -1;
            r.settings.playbackStartUs = m_metadata.durationUs;
        }) << "The selected time range is invalid." << Fault::None;
        QTest::newRow("no capture rate") << Change([](auto &r) {
            r.sourceMetadata.captureFrameRate = 0.0;
            r.sourceMetadata.filePath = ovra::tests::testMediaPath("base240_avg30.mp4");
            r.sourceMetadata.frameCount = 0; // not reusable: the source analyses the file itself
            r.settings.endFrameExclusive = 48;
        }) << "The camera capture frame rate is required before motion processing."
                                         << Fault::None;
        QTest::newRow("source ends early") << Change([](auto &r) {
            r.sourceMetadata.frameCount = r.settings.endFrameExclusive = pattern.frameCount + 2;
            r.sourceMetadata.frameTimestamps.clear();
        }) << "The decoder reached the end of the stream before the calculated end of the time range."
                                           << Fault::None;
        const Change analysis = [](auto &r) {
            r.analysisMode = true;
            r.settings.workerThreadCount = 1; // no motion worker threads: the faults meet the pipeline's own
        };
        QTest::newRow("disk full at frame 40")
            << analysis
            << "Could not write the temporary analysis result. Check free disk space and access to the temporary "
               "folder."
            << Fault::DiskFullAtFrame40;
        QTest::newRow("no thread for reading and writing") << analysis
                                                           << "The system could not start a thread for processing: "
                + QString::fromStdString(std::make_error_code(std::errc::resource_unavailable_try_again).message())
                                                           << Fault::NoThreadsForTheFrameLoop;
        const QString noMemory = "There is not enough memory to process the video.";
        QTest::newRow("no memory for reading") << analysis << noMemory << Fault::NoMemoryForReading;
        QTest::newRow("no memory for writing") << analysis << noMemory << Fault::NoMemoryForWriting;
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
        QFETCH(Fault, fault);
        ProcessingRequest request = this->request(false, "refused.mp4");
        change(request);
        const QStringList before = entries();
        const QStringList storesBefore = ovra::tests::folderEntries(AnalysisResult::storeRoot());
        std::optional<ovra::tests::FileSizeLimit> limit;
        if (fault == Fault::DiskFullAtFrame40)
            limit.emplace(AnalysisResult::requiredStorageBytes(pattern.frameSize, 40));
        std::optional<ovra::tests::NoNewThreads> noThreads;
        const auto strike = [&](const ProcessingProgress &progress) {
            // "Processing frames" before the first frame: the reading and writing threads start next.
            if (progress.totalFrames == 0 || progress.processedFrames > 0)
                return;
            if (fault == Fault::NoThreadsForTheFrameLoop)
                noThreads.emplace();
            // The writing thread allocates only after the reading thread has allocated the frame
            // it writes, so sparing the first thread to allocate starves the writing one.
            if (fault == Fault::NoMemoryForReading)
                starved = Starved::AllOtherThreads;
            if (fault == Fault::NoMemoryForWriting)
                starved = Starved::AllButTheFirstToAllocate;
        };
        const ProcessingResult result = VideoProcessingPipeline().run(request, strike, {});
        limit.reset();
        noThreads.reset();
        starved = Starved::None;
        spared = std::thread::id();
        QFETCH(QString, message);
        QCOMPARE(result.state, ProcessingState::Failed);
        QVERIFY2(result.errorMessage.endsWith(message), qPrintable(result.errorMessage));
        QCOMPARE(entries(), before);
        QCOMPARE(ovra::tests::folderEntries(AnalysisResult::storeRoot()), storesBefore);
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
        QCOMPARE(analysis.analysisResult->frameCount(), qint64(120));
        QCOMPARE(analysis.analysisResult->firstFrameIndex(), qint64(30));

        // The export writes what the store holds, whatever fragment the request names.
        for (const auto &[start, name] :
             {std::pair{qint64(-1), "by-time.mp4"}, std::pair{qint64(0), "by-frames.mp4"}}) {
            ProcessingRequest exportRequest = request;
            exportRequest.analysisMode = false;
            exportRequest.outputVideoPath = outputPath(name);
            exportRequest.sourceResult = analysis.analysisResult;
            exportRequest.settings.startFrame = start;
            exportRequest.settings.endFrameExclusive = start < 0 ? -1 : 120;
            const ProcessingResult exported = VideoProcessingPipeline().run(exportRequest, {}, {});
            QVERIFY2(exported.succeeded(), qPrintable(exported.errorMessage));
            const QJsonObject fragment = QJsonDocument::fromJson(fileContent(exported.parametersFilePath))
                                             .object()["processing"]
                                             .toObject()["fragment"]
                                             .toObject();
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
        QCOMPARE(later.analysisResult->firstFrameIndex(), qint64(31));
    }

    // Exported, a uniform tail plays at its own rate, not at the whole file's average (28.2 fps
    // for the first file) nor at the rate of its last rounded interval (29.4 fps for 34 ms, 200
    // fps for 3/600 s), and the parameters file says so.
    void variableRateFilesNeedAFrameRangeInTheUniformTail_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("uniformStart");
        QTest::addColumn<double>("tailRate");
        QTest::addColumn<QString>("probedRate");
        QTest::newRow("30000 ticks a second") << "vfr_irregular_head.mp4" << qint64(10) << 30.0 << "30/1";
        QTest::newRow("1000 ticks a second") << "vfr_irregular_head.mkv" << qint64(10) << 30.0 << "30/1";
        QTest::newRow("600 ticks a second") << "vfr_240fps_tail_600.mp4" << qint64(40) << 240.0 << "240/1";
    }

    void variableRateFilesNeedAFrameRangeInTheUniformTail()
    {
        QFETCH(QString, file);
        QFETCH(qint64, uniformStart);
        ProcessingRequest request;
        QVERIFY(ovra::media::libav::LibavVideoAnalyzer().analyze(ovra::tests::testMediaPath(file),
                                                                 &request.sourceMetadata));
        const qint64 frameCount = request.sourceMetadata.frameCount;
        request.sourceMetadata.captureFrameRate = 30.0;
        request.settings.lowerFrequencyHz = 5.0;
        request.settings.upperFrequencyHz = 7.0;
        request.settings.amplificationFactor = 2.0;
        request.analysisMode = true;
        for (const auto &[start, end] : {std::pair{qint64(-1), qint64(-1)}, std::pair{uniformStart - 1, frameCount}}) {
            request.settings.startFrame = start;
            request.settings.endFrameExclusive = end;
            QCOMPARE(VideoProcessingPipeline().run(request, {}, {}).errorMessage,
                     "The selected fragment contains irregular frame intervals. Select a verified uniform section.");
        }
        // From the uniform start on, the range is processed.
        request.settings.startFrame = uniformStart;
        const ProcessingResult accepted = VideoProcessingPipeline().run(request, {}, {});
        QVERIFY2(accepted.succeeded(), qPrintable(accepted.errorMessage));
        QCOMPARE(accepted.analysisResult->frameCount(), frameCount - uniformStart);

        request.analysisMode = false;
        request.outputVideoPath = outputPath(QStringLiteral("tail at %1.mp4").arg(QTest::currentDataTag()));
        const ProcessingResult exported = VideoProcessingPipeline().run(request, {}, {});
        QVERIFY2(exported.succeeded(), qPrintable(exported.errorMessage));
        const QString probed = ovra::tests::runFfprobe(
            {"-v", "error", "-show_entries", "stream=avg_frame_rate", "-of", "csv=p=0", exported.outputVideoPath});
        QTEST(probed.trimmed(), "probedRate");
        const QJsonDocument parameters = QJsonDocument::fromJson(fileContent(exported.parametersFilePath));
        QTEST(parameters["export"]["playbackFrameRate"].toDouble(), "tailRate");
        QVERIFY(QFile::remove(exported.outputVideoPath) && QFile::remove(exported.parametersFilePath));
    }

    void cancellationAtEveryPointLeavesNothingBehind()
    {
        // Count how often a full export asks, then cancel at each of those points in turn.
        int checks = 0;
        QVERIFY(
            VideoProcessingPipeline().run(request(false, "counted.mp4"), {}, [&] { return ++checks < 0; }).succeeded());
        const QStringList before = entries();
        const QString storeRoot = AnalysisResult::storeRoot();
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
                QVERIFY(!result.analysisResult);
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
            << "clip.mp4.json"
            << "Publishing the result"
            << "Could not publish the JSON file: File exists";
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
        QFETCH(QString, message);
        QCOMPARE(result.state, ProcessingState::Failed);
        QVERIFY2(result.errorMessage.endsWith(message), qPrintable(result.errorMessage));
        QCOMPARE(fileContent(intruder), QByteArray("not ours"));
        QVERIFY(QFile::remove(intruder));
        QCOMPARE(entries(), before);
        // Until publication both staging files sit hidden beside their targets.
        const QRegularExpression names(R"(^\.clip\.mp4\.[0-9a-f-]{36}\.staging\.mp4 )"
                                       R"(\.clip\.mp4\.json\.[0-9a-f-]{36}\.staging\.json$)");
        QVERIFY2(names.match(staging.join(' ')).hasMatch(), qPrintable(staging.join(' ')));
    }

    // A video that can be neither hidden nor deleted again stays published, and the message says so.
    void rollbackThatCannotTakeTheVideoBackSaysSo()
    {
        QTemporaryDir folder;
        ProcessingRequest frozen = request(false);
        frozen.outputVideoPath = folder.filePath("frozen.mp4");
        bool isFrozen = false;
        const auto thaw = qScopeGuard([&] { QVERIFY(!isFrozen || freezeFolder(folder.path(), false)); });
        const auto freeze = [&](const ProcessingProgress &progress) {
            if (progress.stageName == "Publishing the result" && !isFrozen)
                isFrozen = freezeFolder(folder.path(), true);
        };
        const ProcessingResult result = VideoProcessingPipeline().run(frozen, freeze, {});
        if (!isFrozen)
            QSKIP("This file system cannot freeze a folder.");
        QCOMPARE(result.state, ProcessingState::Failed);
        QVERIFY2(result.errorMessage.startsWith("Could not publish the JSON file: ")
                     && result.errorMessage.contains("Could not roll back the published video " + frozen.outputVideoPath
                                                     + ": "),
                 qPrintable(result.errorMessage));
    }

    void resultMessagesCarryWarnings()
    {
        const ProcessingResult failed = ProcessingResult::failed("Disk full.", "A file may remain at /x: busy");
        QCOMPARE(failed.errorMessage, QStringLiteral("Disk full. A file may remain at /x: busy"));
        QCOMPARE(failed.state, ProcessingState::Failed);
        const ProcessingResult cancelled = ProcessingResult::cancelled("A file may remain at /y: busy");
        QCOMPARE(cancelled.state, ProcessingState::Cancelled);
        QCOMPARE(cancelled.errorMessage,
                 QStringLiteral("Processing was cancelled by the user. A file may remain at /y: busy"));
    }

    // Frames handed between threads wait in a queue that never holds more than its capacity,
    // however far the producer runs ahead: memory stays a few frames, not the clip.
    void queueHoldsAtMostItsCapacity()
    {
        ovra::processing::BoundedQueue<int> queue(2);
        std::thread producer([&queue] {
            for (int i = 0; i < 20 && queue.push(i); ++i) { }
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

        QImage frame = filled(size);
        QString error = "stale";
        QVERIFY(renderer.apply(frame, &error));
        QVERIFY(error.isEmpty());
        const QRect area(renderer.position(), mark.size());
        // The mark's pixels, checked above, land inside its area and nowhere else.
        QVERIFY(frame != filled(size));
        QImage outside = frame;
        QPainter(&outside).fillRect(area, Qt::gray);
        QCOMPARE(outside, filled(size));
    }

    void frameSmallerThanTheMarkClipsItAtTheOrigin()
    {
        const QSize size(10, 40);
        VideoWatermarkRenderer renderer;
        QVERIFY(renderer.prepare(size));
        QVERIFY(renderer.image().width() > size.width() - VideoWatermarkRenderer::layoutFor(size).marginPixels);
        QCOMPARE(renderer.position().x(), 0);
        QImage frame = filled(size);
        QVERIFY(renderer.apply(frame));
        QVERIFY(frame != filled(size));
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
        QImage frame = frameSize.isValid() ? filled(frameSize) : QImage();
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

    void writesExactlyTheKnownContentIntoTheReservedFile()
    {
        QTemporaryDir folder;
        const QString staging = folder.filePath(".clip.mp4.json.staging.json");
        QVERIFY(writeFile(staging, {}));
        const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
        QString error = QStringLiteral("stale");
        const ProcessingRequest request = knownRequest();
        QVERIFY(ProcessingParametersWriter::writeStagingFile(staging, request, request.sourceMetadata, 240.0, 600, {},
                                                             &error));
        QVERIFY(error.isEmpty());
        const QByteArray bytes = fileContent(staging);
        QJsonObject document = QJsonDocument::fromJson(bytes).object();
        const QString created = document.take(QStringLiteral("createdAtUtc")).toString();
        QCOMPARE(document, expectedDocument());
        const QDateTime createdAt = QDateTime::fromString(created, Qt::ISODateWithMs);
        QVERIFY(createdAt >= before && createdAt <= QDateTime::currentDateTimeUtc());
        QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)").match(created).hasMatch(),
                 qPrintable(created));
        QVERIFY(bytes.contains("\n    \"algorithm\": {\n        \"name\"")); // indented
    }

    void optionalParts()
    {
        ProcessingRequest request = knownRequest();
        request.settings.regionProcessingOptimizationEnabled = false;
        request.settings.cameraMotionCompensationEnabled = true;
        request.settings.stabilizationReferenceRegion = QRectF(0.1, 0.2, 0.3, 0.4);
        request.settings.workerThreadCount = 0;
        request.recording.recordingDateTime = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC);
        request.recording.comment = QStringLiteral("bearing 2");
        request.measurementScale = ovra::processing::MeasurementScale::fromLine(QLineF(0, 0, 300, 400), 25.0);
        const QJsonObject document = QJsonDocument::fromJson(ProcessingParametersWriter::buildParametersDocument(
                                                                 request, request.sourceMetadata, 30.0, 600,
                                                                 ovra::motion_core::CameraMotionSummary{0.25, 1.5}))
                                         .object();
        QCOMPARE(document["algorithm"]["version"].toString(),
                 QStringLiteral("riesz-phase-cpu-0.4+camera-similarity-1"));
        const QJsonObject processing = document["processing"].toObject();
        QVERIFY(processing["expandedRegionAmplificationFactor"].isNull());
        QCOMPARE(processing["stabilizationReferenceRegion"].toObject(),
                 QJsonObject({{"x", 0.1}, {"y", 0.2}, {"width", 0.3}, {"height", 0.4}}));
        QCOMPARE(processing["cameraMotion"].toObject(), QJsonObject({{"rmsPixels", 0.25}, {"peakPixels", 1.5}}));
        QCOMPARE(processing["effectiveWorkerThreadCount"].toInt(), std::max(1, QThread::idealThreadCount()));
        QCOMPARE(processing["workerThreadMode"].toString(), QStringLiteral("automatic"));
        const QJsonObject recording = document["recording"].toObject();
        QCOMPARE(recording["recordingDateTime"].toString(), QStringLiteral("2026-03-04T05:06:07.089Z"));
        QCOMPARE(recording["comment"].toString(), QStringLiteral("bearing 2"));
        QCOMPARE(document["measurementScale"].toObject(),
                 QJsonObject({{"millimetresPerPixel", 0.05}, {"origin", "line"}}));
        // At the file's own rate the recording duration can be estimated.
        const QJsonObject source = document["source"].toObject();
        QCOMPARE(source["estimatedRecordingDurationUs"].toInteger(), 100000000);
        QCOMPARE(source["averageSlowMotionFactor"].toDouble(), 1.0);
    }

    void refusesAnythingButAnEmptyReservation_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"missing", "not empty", "symbolic link", "directory"})
            QTest::newRow(kind) << QString(kind);
    }

    void refusesAnythingButAnEmptyReservation()
    {
        QFETCH(QString, kind);
        QTemporaryDir folder;
        const QString staging = folder.filePath("staging.json");
        if (kind == "not empty")
            QVERIFY(writeFile(staging, "keep"));
        else if (kind == "symbolic link")
            QVERIFY(writeFile(folder.filePath("target.json"), {})
                    && QFile::link(folder.filePath("target.json"), staging));
        else if (kind == "directory")
            QVERIFY(QDir(folder.path()).mkdir("staging.json"));
        QString error;
        const ProcessingRequest request = knownRequest();
        verifyRefusal(ProcessingParametersWriter::writeStagingFile(staging, request, request.sourceMetadata, 240.0, 600,
                                                                   {}, &error),
                      error, QStringLiteral("The reserved staging JSON file is missing or is not empty."));
        if (kind == "not empty")
            QCOMPARE(fileContent(staging), QByteArray("keep"));
    }

    // The rules the settings controller's tests do not reach.
    void rulesAndMessages_data()
    {
        QTest::addColumn<CaseChange>("change");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("warning");
        const auto shortFragment = [](int recommended, int periods) {
            return QStringLiteral("The fragment is shorter than the recommended %1 frames: the frequency filter has "
                                  "little time to settle, so results are less reliable. It holds %2 whole period(s) "
                                  "of the lower band edge, and the first of them is less reliable than the rest.")
                .arg(recommended)
                .arg(periods);
        };
        const auto clip = [](double fps, qint64 frames, double lower, double upper) {
            return CaseChange([=](Case &c) {
                c.captureFps = fps;
                c.metadata.frameCount = c.settings.endFrameExclusive = frames;
                c.settings.lowerFrequencyHz = lower;
                c.settings.upperFrequencyHz = upper;
            });
        };
        const QString tooShort
            = "The selected fragment is too short for this frequency band. Select at least %1 frames.";
        QTest::newRow("two seconds at 600 fps") << CaseChange([](Case &) {}) << QString() << QString();
        QTest::newRow("1.5 s at 5000 fps") << clip(5000.0, 7500, 72.0, 92.0) << QString() << shortFragment(10000, 108);
        QTest::newRow("breathing: 10 s at 30 fps, 0.4-3 Hz")
            << clip(30.0, 300, 0.4, 3.0) << QString() << shortFragment(413, 4);
        QTest::newRow("crane: 9 s at 24 fps, 0.2-0.5 Hz")
            << clip(24.0, 216, 0.2, 0.5) << QString() << shortFragment(718, 1);
        QTest::newRow("half a period of the crane's lower edge")
            << clip(24.0, 60, 0.2, 0.5) << tooShort.arg(120) << QString();
        QTest::newRow("half a period of the lower edge")
            << CaseChange([](Case &c) { c.settings.endFrameExclusive = 4; }) << tooShort.arg(9) << QString();
        QTest::newRow("irregular head") << CaseChange([](Case &c) {
            c.metadata.variableFrameRate = true;
            c.metadata.uniformStartFrame = 10;
        }) << "The selected fragment contains irregular frame intervals. Select a verified uniform section."
                                        << QString();
        QTest::newRow("capture rate unknown")
            << CaseChange([](Case &c) { c.captureFps = 0.0; })
            << "Enter the camera capture frame rate before choosing the frequency band." << QString();
        QTest::newRow("fragment past the end") << CaseChange([](Case &c) { c.settings.endFrameExclusive = 1201; })
                                               << "Choose a valid analysis fragment." << QString();
        QTest::newRow("region too small")
            << CaseChange([](Case &c) { c.settings.regionOfInterest = QRectF(0.5, 0.5, 0.001, 0.001); })
            << "Choose a valid amplification region." << QString();
        QTest::newRow("lower edge 0") << CaseChange([](Case &c) { c.settings.lowerFrequencyHz = 0.0; })
                                      << "Lower frequency must be greater than 0 Hz." << QString();
        QTest::newRow("edges swapped") << CaseChange([](Case &c) { c.settings.upperFrequencyHz = 70.0; })
                                       << "Upper frequency must be greater than lower frequency." << QString();
        QTest::newRow("factor 25") << CaseChange([](Case &c) { c.settings.amplificationFactor = 25.0; }) << QString()
                                   << "High amplification may produce visible artifacts.";
        QTest::newRow("factor 1") << CaseChange([](Case &c) { c.settings.amplificationFactor = 1.0; }) << QString()
                                  << "An amplification factor of 1 leaves motion unchanged.";
    }

    void rulesAndMessages()
    {
        QFETCH(CaseChange, change);
        QFETCH(QString, refusal);
        Case c = validCase();
        change(c);
        QCOMPARE(ovra::processing::settingsValidationMessage(c.metadata, c.settings, c.captureFps), refusal);
        if (refusal.isEmpty())
            QTEST(ovra::processing::settingsWarningMessage(c.settings, c.captureFps), "warning");
    }

    void rotationBands_data()
    {
        QTest::addColumn<double>("rpm");
        QTest::addColumn<int>("harmonic");
        QTest::addColumn<double>("halfWidth");
        QTest::addColumn<double>("lower"); // 0: refused
        QTest::addColumn<double>("upper");
        QTest::newRow("third harmonic") << 600.0 << 3 << 10.0 << 27.0 << 33.0;
        QTest::newRow("past Nyquist at 60 fps") << 1700.0 << 1 << 10.0 << 0.0 << 0.0;
        QTest::newRow("no width") << 600.0 << 1 << 0.0 << 0.0 << 0.0;
        QTest::newRow("speed below 500 RPM") << 400.0 << 1 << 10.0 << 0.0 << 0.0;
    }

    void rotationBands()
    {
        QFETCH(double, rpm);
        QFETCH(int, harmonic);
        QFETCH(double, halfWidth);
        QFETCH(double, lower);
        MotionSettings settings;
        settings.rotationSpeedRpm = rpm;
        double lowerHz = 0.0;
        double upperHz = 0.0;
        const bool usable = ovra::processing::rotationBand(settings, harmonic, halfWidth, harmonic == 3 ? 100.0 : 60.0,
                                                           &lowerHz, &upperHz);
        QCOMPARE(usable, lower > 0.0);
        QCOMPARE(lowerHz, lower);
        QTEST(upperHz, "upper");
    }

    // Rendered parts vibrating at known frequencies: every line is found within one bin with its
    // own amplitude, and nothing else rises above a fifth of the strongest.
    void findsTheLinesOfRenderedMotion_data()
    {
        QTest::addColumn<VibratingPattern>("pattern");
        QTest::addColumn<ExpectedPeaks>("expected");

        VibratingPattern parts{{192, 96}, 100.0, 400, 7.4, 0.3};
        parts.rightHalf = {19.0, 0.15};
        QTest::newRow("two parts, two frequencies") << parts << ExpectedPeaks{{7.4, 0.3, 0.0}, {19.0, 0.15, 0.0}};

        VibratingPattern harmonic{{192, 96}, 120.0, 360, 9.3, 0.4};
        harmonic.structure = ovra::tests::naturalTexture(5);
        harmonic.direction = {0.0, 1.0};
        harmonic.overtones = {{18.6, 0.12}};
        QTest::newRow("fundamental and harmonic, vertical")
            << harmonic << ExpectedPeaks{{9.3, 0.4, 90.0}, {18.6, 0.12, 90.0}};

        VibratingPattern slowMotion{{192, 96}, 240.0, 300, 50.0, 0.25};
        slowMotion.playbackFrameRate = 30.0;
        slowMotion.direction = {std::sqrt(0.5), std::sqrt(0.5)};
        slowMotion.structure = ovra::tests::naturalTexture(9);
        QTest::newRow("slow motion, capture rate in force") << slowMotion << ExpectedPeaks{{50.0, 0.25, 45.0}};

        VibratingPattern noise{{192, 96}, 60.0, 300, 10.0, 0.0};
        noise.noiseSigma = 3.0;
        QTest::newRow("static scene with sensor noise") << noise << ExpectedPeaks{};
    }

    void findsTheLinesOfRenderedMotion()
    {
        QFETCH(VibratingPattern, pattern);
        QFETCH(ExpectedPeaks, expected);
        const MotionSpectrumResult result = analyse(pattern, {}, {});
        QVERIFY2(result.succeeded(), qPrintable(result.errorMessage));
        const MotionSpectrum &spectrum = result.spectrum;
        const QString found = describe(spectrum);

        for (int k = 2; k < spectrum.binCount() && expected.empty(); ++k)
            QVERIFY2(spectrum.amplitudePixels[k] <= spectrum.noiseFloorPixels[k], qPrintable(found));
        const auto near = [&spectrum](double a, double b) { return std::abs(a - b) <= spectrum.resolutionHz; };
        for (const ExpectedPeak &line : expected) {
            const auto peak = std::find_if(spectrum.peaks.begin(), spectrum.peaks.end(), [&](const SpectrumPeak &peak) {
                return near(peak.frequencyHz, line.frequencyHz);
            });
            QVERIFY2(peak != spectrum.peaks.end(), qPrintable(found));
            QVERIFY2(std::abs(peak->amplitudePixels / line.amplitudePixels - 1.0) <= 0.15, qPrintable(found));
            QVERIFY2(directionError(peak->directionDegrees, line.directionDegrees) <= 15.0, qPrintable(found));
        }
        for (const SpectrumPeak &peak : spectrum.peaks) {
            const bool expectedLine = std::any_of(expected.begin(), expected.end(), [&](const ExpectedPeak &line) {
                return near(peak.frequencyHz, line.frequencyHz);
            });
            QVERIFY2(expectedLine || peak.amplitudePixels <= 0.2 * spectrum.peaks.front().amplitudePixels,
                     qPrintable(found));
        }
    }

    // The rendered scene: each band is read on the part that vibrates in it, with its amplitude
    // and direction; the other part, the still background and the flat area stay apart.
    void mapsWhereEachBandVibrates_data()
    {
        QTest::addColumn<double>("lowerHz");
        QTest::addColumn<double>("upperHz");
        QTest::addColumn<int>("vibrating"); // the scene's part
        QTest::addColumn<double>("pixelAspect");
        QTest::newRow("A's band") << 9.0 << 13.0 << 0 << 1.0;
        QTest::newRow("B's band") << 29.0 << 33.0 << 1 << 1.0;
        // Motion is told in pixels as shown, where the scale's millimetres apply: on pixels
        // twice as wide, A's 30 degree motion is wider and flatter.
        QTest::newRow("A's band, pixels twice as wide") << 9.0 << 13.0 << 0 << 2.0;
    }

    void mapsWhereEachBandVibrates()
    {
        QFETCH(double, lowerHz);
        QFETCH(double, upperHz);
        QFETCH(int, vibrating);
        QFETCH(double, pixelAspect);
        const VibratingPattern scene = vibrationScene();
        const ovra::processing::VibrationMapResult result
            = map(lowerHz, upperHz, [&](auto &r) { r.sourceMetadata.pixelAspectRatio = pixelAspect; });
        QVERIFY2(result.succeeded(), qPrintable(result.errorMessage));
        const VibrationMap &map = result.map;
        const QString found = describe(map);

        const ovra::tests::MovingPart &part = scene.parts[size_t(vibrating)];
        const ovra::tests::MovingPart &other = scene.parts[size_t(1 - vibrating)];
        const QPointF shown(part.direction.x() * pixelAspect, part.direction.y());
        const double direction = qRadiansToDegrees(std::atan2(shown.y(), shown.x()));
        const double amplitude = part.tone.amplitudePixels * std::hypot(shown.x(), shown.y());
        int inside = 0;
        int background = 0;
        for (const VibrationMapTile &tile : map.tiles) {
            const QString where
                = QStringLiteral("tile at %1,%2 in %3").arg(tile.pixels.x()).arg(tile.pixels.y()).arg(found);
            if (scene.flatArea.contains(tile.pixels)) {
                QVERIFY2(!tile.textured, qPrintable(where));
                continue;
            }
            QVERIFY2(tile.textured, qPrintable(where));
            if (part.area.contains(tile.pixels)) {
                ++inside;
                QVERIFY2(std::abs(tile.amplitudePixels / amplitude - 1.0) <= 0.15, qPrintable(where));
                QVERIFY2(directionError(tile.directionDegrees, direction) <= 10.0, qPrintable(where));
            } else if (other.area.contains(tile.pixels)) {
                QVERIFY2(tile.amplitudePixels < 0.2 * amplitude, qPrintable(where));
            } else if (!tile.pixels.intersects(part.area) && !tile.pixels.intersects(other.area)
                       && !tile.pixels.intersects(scene.flatArea)) {
                ++background;
                QVERIFY2(tile.amplitudePixels < map.noiseFloorPixels, qPrintable(where));
            }
        }
        QVERIFY2(inside >= 20 && background >= 20, qPrintable(found));
        QVERIFY2(std::abs(map.strongestFrequencyHz - part.tone.frequencyHz) <= map.resolutionHz, qPrintable(found));
    }

    void mapRefusals_data()
    {
        QTest::addColumn<double>("lowerHz");
        QTest::addColumn<MapChange>("change");
        QTest::addColumn<QString>("message");
        QTest::newRow("band past Nyquist")
            << 50.0 << MapChange() << "Upper frequency must be below the Nyquist frequency of 60.00 Hz.";
        QTest::newRow("band below the fragment's bins") << 1.0 << MapChange([](auto &r) {
            r.endFrameExclusive = 64;
        }) << "is too short to map a band from 1 Hz at 120 frames/s: it needs at least 180 frames."; // after the plural
        QTest::newRow("tiles too small") << 9.0 << MapChange([](auto &r) { r.tilePixels = 7; })
                                         << "Choose tiles of at least 8 pixels.";
        QTest::newRow("region smaller than a tile") << 9.0 << MapChange([](auto &r) {
            r.regionOfInterest = {0.5, 0.5, 0.05, 0.5};
        }) << "Choose a region of at least 22 x 22 pixels.";
        // The flat area of the scene lies in 1/6..5/6 across and 0.73..0.94 down.
        QTest::newRow("flat region") << 9.0 << MapChange([](auto &r) {
            r.regionOfInterest = {0.2, 0.73, 0.6, 0.2};
        }) << "The region has no texture whose motion can be measured.";
    }

    void mapRefusals()
    {
        QFETCH(double, lowerHz);
        QFETCH(MapChange, change);
        const ovra::processing::VibrationMapResult result = map(lowerHz, lowerHz + 11.0, change);
        QFETCH(QString, message);
        QCOMPARE(result.state, ProcessingState::Failed);
        QVERIFY2(result.errorMessage.endsWith(message), qPrintable(result.errorMessage));
    }

    void cancellationStopsBetweenFrames()
    {
        int reports = 0;
        const MotionSpectrumResult result = analyse(
            VibratingPattern{{192, 96}, 60.0, 120, 10.0, 0.2}, [&reports](const auto &) { ++reports; },
            [&reports] { return reports == 5; });
        QCOMPARE(result.state, ovra::project_data::ProcessingState::Cancelled);
        QCOMPARE(reports, 5);
    }
};

QTEST_MAIN(VideoProcessingPipelineTest)
#include "tst_videoprocessingpipeline.moc"
