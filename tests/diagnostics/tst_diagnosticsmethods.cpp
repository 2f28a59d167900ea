// SPDX-License-Identifier: GPL-3.0-or-later
#include "DiagnosticsClient.h"
#include "TestMedia.h"

#include "diagnostics/service/DiagnosticsService.h"
#include "processing/MotionSpectrumAnalysis.h"
#include "processing/VibrationMapAnalysis.h"
#include "project_data/AnalysisResult.h"
#include "ui/controllers/AnalysisController.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/SpectrumController.h"
#include "ui/controllers/VibrationMapController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QDir>
#include <QJsonArray>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using ovra::diagnostics::service::DiagnosticsService;
using ovra::ui::controllers::ApplicationController;

// Every control method against the real controllers and a generated video, in the order a user
// goes: before a video, while it is analysed, with it open, during an analysis and an export; then
// the real application, offscreen in its own runtime directory, driven from outside.
class DiagnosticsMethodsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;
    std::unique_ptr<ApplicationController> m_app;
    std::unique_ptr<DiagnosticsService> m_service;
    std::unique_ptr<DiagnosticsClient> m_client;
    QTemporaryDir m_appRuntime;
    QProcess m_process;
    std::unique_ptr<QLockFile> m_storeLock;

    const QJsonObject snapshot() { return resultOf(m_client->call("diagnostics.getSnapshot")); }
    // Waits until the journal has an event with this code after the cursor; moves the cursor.
    bool awaitEvent(const QString &code, double *cursor)
    {
        return QTest::qWaitFor(
            [&] {
                const QJsonObject page = resultOf(m_client->call("diagnostics.getEvents", {{"cursor", *cursor}}));
                *cursor = page["nextCursor"].toDouble();
                for (const QJsonValue &event : page["events"].toArray())
                    if (event["code"] == code)
                        return true;
                return false;
            },
            120000);
    }
    void table()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonObject>("params");
        QTest::addColumn<QString>("code");
    }
    void run()
    {
        QFETCH(QString, method);
        QFETCH(QJsonObject, params);
        QFETCH(QString, code);
        const QJsonObject before = snapshot();
        const QJsonObject response = m_client->mutate(method, params);
        QCOMPARE(outcome(response), code);
        if (code != "ok") {
            QCOMPARE(response["result"], QJsonValue::Undefined);
            QCOMPARE(snapshot()["settings"], before["settings"]);
            QCOMPARE(snapshot()["selection"], before["selection"]);
        }
    }

    QString descriptorFolder() const { return m_appRuntime.filePath("OVRA/OVRA Motion/runtime/diagnostics"); }
    QStringList descriptors() const { return QDir(descriptorFolder()).entryList({"instance-*.json"}, QDir::Files); }

    // Starts the application and returns the path of the descriptor it published.
    QString launch(const QString &option)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", m_appRuntime.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(OVRA_APPLICATION_BINARY, {option});
        if (!QTest::qWaitFor([this] { return descriptors().size() == 1; }, 60000))
            return {};
        return QDir(descriptorFolder()).filePath(descriptors().first());
    }
    // Ends it as a service manager or a terminal would; the descriptor must go with it.
    void terminate()
    {
        m_process.terminate();
        QVERIFY(m_process.waitForFinished(30000));
        QCOMPARE(m_process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_process.exitCode(), 0);
        QVERIFY(descriptors().isEmpty());
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
        m_app = std::make_unique<ApplicationController>();
        m_service = std::make_unique<DiagnosticsService>(m_app.get());
        QVERIFY(m_service->start(true));
        m_client = std::make_unique<DiagnosticsClient>(m_service->descriptorPath());
    }

    void beforeAVideo_data()
    {
        table();
        const QJsonObject range{{"startFrame", 0}, {"endFrameExclusive", 2}};
        const QJsonObject roi{{"x", 0.1}, {"y", 0.1}, {"width", 0.5}, {"height", 0.5}};
        QTest::newRow("range") << "diagnostics.setRange" << range << "state_conflict";
        QTest::newRow("roi") << "diagnostics.setRoi" << roi << "state_conflict";
        QTest::newRow("parameters") << "diagnostics.setProcessingParameters" << QJsonObject{{"amplificationFactor", 3}}
                                    << "state_conflict";
        QTest::newRow("play") << "diagnostics.playback" << QJsonObject{{"action", "play"}} << "state_conflict";
        QTest::newRow("jump") << "diagnostics.playback" << QJsonObject{{"action", "jump"}} << "invalid_playback_action";
        for (const char *method : {"startPreview", "cancelPreview", "startExport", "cancelExport", "cancelAnalysis"})
            QTest::newRow(method) << QString("diagnostics.") + method << QJsonObject() << "state_conflict";
        QTest::newRow("destination") << "diagnostics.setExportDestination" << QJsonObject{{"path", "/tmp/x.mp4"}}
                                     << "state_conflict";
        QTest::newRow("open empty") << "diagnostics.openVideo" << QJsonObject{{"path", ""}} << "invalid_path";
        QTest::newRow("open folder") << "diagnostics.openVideo" << QJsonObject{{"path", QDir::tempPath()}}
                                     << "invalid_path";
        QTest::newRow("open missing") << "diagnostics.openVideo" << QJsonObject{{"path", "/nonexistent.mp4"}}
                                      << "invalid_path";
        QTest::newRow("rate string") << "diagnostics.setCaptureFrameRate" << QJsonObject{{"framesPerSecond", "60"}}
                                     << "invalid_params";
        QTest::newRow("rate") << "diagnostics.setCaptureFrameRate" << QJsonObject{{"framesPerSecond", 60}}
                              << "state_conflict";
    }
    void beforeAVideo() { run(); }

    void openingAVideo()
    {
        const QString path = ovra::tests::testMediaPath("cfr25_bframes.mp4");
        double cursor = 0;
        // A long analysis can be neither replaced nor joined by a second open, only cancelled.
        QCOMPARE(outcome(m_client->mutate("diagnostics.openVideo",
                                          {{"path", ovra::tests::testMediaPath("long_cfr30.mp4")}})),
                 "ok");
        QCOMPARE(outcome(m_client->mutate("diagnostics.openVideo", {{"path", path}})), "state_conflict");
        QCOMPARE(outcome(m_client->mutate("diagnostics.cancelAnalysis")), "ok");
        QTRY_COMPARE_WITH_TIMEOUT(snapshot()["source"]["state"], "cancelled", 30000);
        // A single frame makes no fragment, so the player would not start: play and toggle say so.
        QTemporaryDir folder;
        const QString still = folder.filePath("still.mp4");
        QVERIFY(ovra::tests::runFfmpeg(
            {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "1", "-pix_fmt", "yuv420p", still}));
        QCOMPARE(outcome(m_client->mutate("diagnostics.openVideo", {{"path", still}})), "ok");
        QTRY_VERIFY_WITH_TIMEOUT(snapshot()["playback"]["canPlay"].toBool(), 60000);
        for (const char *action : {"play", "toggle"})
            QCOMPARE(outcome(m_client->mutate("diagnostics.playback", {{"action", action}})), "state_conflict");
        QCOMPARE(resultOf(m_client->mutate("diagnostics.openVideo", {{"path", path}}))["path"],
                 QFileInfo(path).canonicalFilePath());
        QVERIFY(awaitEvent("source.state_changed", &cursor));
        QTRY_VERIFY_WITH_TIMEOUT(snapshot()["playback"]["canNavigate"].toBool(), 60000);
        const QJsonObject s = snapshot();
        QCOMPARE(s["source"]["state"], "ready");
        QCOMPARE(s["source"]["metadata"]["frameCount"], 100);
        QCOMPARE(s["selection"]["state"], "ready");
        QCOMPARE(outcome(m_client->mutate("diagnostics.cancelAnalysis")), "state_conflict");
        QCOMPARE(resultOf(m_client->mutate("diagnostics.setCaptureFrameRate",
                                           {{"framesPerSecond", 25}}))["captureFrameRate"],
                 25);
    }

    // Figures of a video that was opened again are not served from before (the file may have been
    // replaced); the analysis that made them ends with its source.
    void spectrumEndsWithItsSource()
    {
        const QString method = "diagnostics.getMotionSpectrum";
        QTRY_COMPARE_WITH_TIMEOUT(resultOf(m_client->call(method))["state"], "succeeded", 60000);
        QCOMPARE(outcome(m_client->mutate("diagnostics.openVideo", {{"path", m_app->videoSession()->filePath()}})),
                 "ok");
        QTRY_VERIFY_WITH_TIMEOUT(snapshot()["playback"]["canNavigate"].toBool(), 60000);
        QCOMPARE(outcome(m_client->mutate("diagnostics.setCaptureFrameRate", {{"framesPerSecond", 25}})), "ok");
        QCOMPARE(resultOf(m_client->call(method))["state"], "running");
    }

    void withAVideo_data()
    {
        table();
        const auto range = [](QJsonValue start, QJsonValue end) {
            return QJsonObject{{"startFrame", start}, {"endFrameExclusive", end}};
        };
        QTest::newRow("rate rejected") << "diagnostics.setCaptureFrameRate" << QJsonObject{{"framesPerSecond", -5}}
                                       << "capture_frame_rate_rejected";
        QTest::newRow("range 1.5") << "diagnostics.setRange" << range(1.5, 10) << "invalid_params";
        QTest::newRow("range one frame") << "diagnostics.setRange" << range(0, 1) << "invalid_range";
        QTest::newRow("range negative") << "diagnostics.setRange" << range(-1, 10) << "invalid_range";
        QTest::newRow("range past end") << "diagnostics.setRange" << range(0, 101) << "invalid_range";
        QTest::newRow("range two") << "diagnostics.setRange" << range(0, 2) << "ok";
        QTest::newRow("range to end") << "diagnostics.setRange" << range(10, 100) << "ok";
        const QJsonObject roi{{"x", 0.25}, {"y", 0.25}, {"width", 0.5}, {"height", 0.5}};
        const auto with = [roi](const char *key, const QJsonValue &value) {
            QJsonObject r = roi;
            r[key] = value;
            return r;
        };
        QTest::newRow("roi space") << "diagnostics.setRoi" << with("coordinateSpace", "pixels")
                                   << "unsupported_coordinate_space";
        QTest::newRow("roi missing") << "diagnostics.setRoi" << with("height", QJsonValue::Null) << "invalid_params";
        QTest::newRow("roi tiny") << "diagnostics.setRoi" << with("width", 0.0001) << "invalid_roi";
        QTest::newRow("roi") << "diagnostics.setRoi" << roi << "ok";
        const QString p = "diagnostics.setProcessingParameters";
        QTest::newRow("band") << p
                              << QJsonObject{{"lowerFrequencyHz", 4}, {"upperFrequencyHz", 6}, {"workerThreadCount", 1}}
                              << "ok";
        QTest::newRow("no keys") << p << QJsonObject() << "empty_processing_parameters";
        QTest::newRow("bool as number") << p << QJsonObject{{"regionProcessingOptimizationEnabled", 1}}
                                        << "invalid_params";
        QTest::newRow("workers -1") << p << QJsonObject{{"workerThreadCount", -1}} << "invalid_params";
        QTest::newRow("workers 2.5") << p << QJsonObject{{"workerThreadCount", 2.5}} << "invalid_params";
        QTest::newRow("workers above") << p << QJsonObject{{"workerThreadCount", 257}}
                                       << "invalid_processing_parameters";
        QTest::newRow("rpm with factor") << p << QJsonObject{{"rotationSpeedRpm", 10}, {"amplificationFactor", 7}}
                                         << "invalid_processing_parameters";
        QTest::newRow("edge over other") << p << QJsonObject{{"lowerFrequencyHz", 20}}
                                         << "invalid_processing_parameters";
        QTest::newRow("factor string") << p << QJsonObject{{"amplificationFactor", "7"}} << "invalid_params";
        const QJsonObject reference{{"x", 0.6}, {"y", 0.1}, {"width", 0.3}, {"height", 0.2}};
        const auto referenceWith = [reference](const char *key, const QJsonValue &value) {
            QJsonObject r = reference;
            r[key] = value;
            return QJsonObject{{"stabilizationReferenceRegion", r}};
        };
        QTest::newRow("camera motion unknown") << p << QJsonObject{{"cameraMotion", "tripod"}} << "invalid_params";
        QTest::newRow("camera motion number") << p << QJsonObject{{"cameraMotion", 1}} << "invalid_params";
        QTest::newRow("reference without height")
            << p << referenceWith("height", QJsonValue::Undefined) << "invalid_params";
        QTest::newRow("reference as a list")
            << p << QJsonObject{{"stabilizationReferenceRegion", QJsonArray{0, 0, 1, 1}}} << "invalid_params";
        QTest::newRow("reference while off")
            << p << QJsonObject{{"cameraMotion", "off"}, {"stabilizationReferenceRegion", reference}}
            << "invalid_params";
        QTest::newRow("no reference for the whole frame")
            << p << QJsonObject{{"cameraMotion", "wholeFrame"}, {"stabilizationReferenceRegion", QJsonValue::Null}}
            << "invalid_params";
        QTest::newRow("reference tiny") << p << referenceWith("width", 0.0001) << "invalid_processing_parameters";
        QTest::newRow("reference outside") << p << referenceWith("x", 0.8) << "invalid_processing_parameters";
        QJsonObject referenceWithBadFactor = referenceWith("x", 0.1);
        referenceWithBadFactor["amplificationFactor"] = 60;
        QTest::newRow("reference with a bad factor") << p << referenceWithBadFactor << "invalid_processing_parameters";
        QTest::newRow("destination empty")
            << "diagnostics.setExportDestination" << QJsonObject{{"path", ""}} << "invalid_path";
    }
    void withAVideo() { run(); }

    // What is set is what the snapshot reads back; the last row leaves compensation off for the
    // spectrum and map below.
    void cameraMotion_data()
    {
        QTest::addColumn<QJsonObject>("params");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QJsonValue>("region");
        const QJsonObject reference{{"x", 0.6}, {"y", 0.1}, {"width", 0.3}, {"height", 0.2}};
        const QJsonObject fullFrame{{"x", 0}, {"y", 0}, {"width", 1}, {"height", 1}};
        const auto shown = [](QJsonObject region) {
            region["coordinateSpace"] = "normalized_upright_frame";
            return region;
        };
        QTest::newRow("reference region")
            << QJsonObject{{"cameraMotion", "referenceRegion"}, {"stabilizationReferenceRegion", reference}}
            << "referenceRegion" << QJsonValue(shown(reference));
        QTest::newRow("whole frame") << QJsonObject{{"cameraMotion", "wholeFrame"}} << "wholeFrame"
                                     << QJsonValue(shown(fullFrame));
        QTest::newRow("the reference region kept")
            << QJsonObject{{"cameraMotion", "referenceRegion"}} << "referenceRegion" << QJsonValue(shown(reference));
        QTest::newRow("whole frame as read")
            << QJsonObject{{"cameraMotion", "wholeFrame"}, {"stabilizationReferenceRegion", fullFrame}} << "wholeFrame"
            << QJsonValue(shown(fullFrame));
        QTest::newRow("a region alone") << QJsonObject{{"stabilizationReferenceRegion", fullFrame}} << "referenceRegion"
                                        << QJsonValue(shown(fullFrame));
        QTest::newRow("off") << QJsonObject{{"stabilizationReferenceRegion", QJsonValue::Null}} << "off"
                             << QJsonValue(QJsonValue::Null);
    }
    void cameraMotion()
    {
        QFETCH(QJsonObject, params);
        QFETCH(QString, choice);
        QFETCH(QJsonValue, region);
        const QJsonObject result = resultOf(m_client->mutate("diagnostics.setProcessingParameters", params));
        QCOMPARE(result["cameraMotion"], choice);
        QCOMPARE(result["stabilizationReferenceRegion"], region);
        const QJsonObject settings = snapshot()["settings"].toObject();
        QCOMPARE(settings["cameraMotion"], choice);
        QCOMPARE(settings["stabilizationReferenceRegion"], region);
    }

    // The first request only starts the analysis; the figures that follow are those of the
    // analysis of the session's fragment, region and capture rate, made by the window's spectrum.
    void spectrumOfTheCurrentFragment()
    {
        const QString method = "diagnostics.getMotionSpectrum";
        QCOMPARE(outcome(m_client->call(method, {{"resolutionHz", 0}})), "invalid_params");
        QCOMPARE(resultOf(m_client->call(method))["state"], "running");
        QJsonObject answer;
        QTRY_VERIFY_WITH_TIMEOUT((answer = resultOf(m_client->call(method)))["state"] != "running", 60000);
        QCOMPARE(answer["state"], "succeeded");

        ovra::processing::MotionSpectrumRequest request;
        request.sourceMetadata = m_app->videoSession()->metadata();
        request.startFrame = 10;
        request.endFrameExclusive = 100;
        request.regionOfInterest = QRectF(0.25, 0.25, 0.5, 0.5); // as the rows above set it
        const ovra::processing::MotionSpectrumResult direct
            = ovra::processing::MotionSpectrumAnalysis().run(request, {}, {});
        QCOMPARE(answer["captureFrameRate"], 25);
        QCOMPARE(answer["resolutionHz"].toDouble(), direct.spectrum.resolutionHz);
        QJsonArray amplitudes;
        for (const double amplitude : direct.spectrum.amplitudePixels)
            amplitudes.append(amplitude);
        QCOMPARE(answer["amplitudePixels"].toArray(), amplitudes);
        QCOMPARE(answer["peaks"].toArray().size(), qsizetype(direct.spectrum.peaks.size()));
        // The window's spectrum is the one measured: the processing dialog shows what was asked for.
        QVERIFY(m_app->spectrum()->ready());
        QCOMPARE(m_app->spectrum()->spectrum().amplitudePixels, direct.spectrum.amplitudePixels);
    }

    // A read-only client reads a spectrum that exists, the window's included, but starts none;
    // stopping the service ends the analysis it ran.
    void spectrumForAReadOnlyClient()
    {
        const QString method = "diagnostics.getMotionSpectrum";
        QCOMPARE(resultOf(m_client->call(method, {{"resolutionHz", 2}}))["state"], "running");
        m_service->stop();
        QVERIFY(m_service->start(false));
        DiagnosticsClient reader(m_service->descriptorPath());
        QCOMPARE(outcome(reader.call(method, {{"resolutionHz", 2}})), "control_disabled");
        auto *window = m_app->spectrum();
        QVERIFY(window->analyze());
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy() && window->ready(), 60000);
        const QJsonObject answer = resultOf(reader.call(method));
        QCOMPARE(answer["state"], "succeeded");
        QCOMPARE(answer["analysedFrames"], double(window->analysedFrames()));
        m_service->stop();
        QVERIFY(m_service->start(true));
        m_client = std::make_unique<DiagnosticsClient>(m_service->descriptorPath());
    }

    // The map follows the spectrum's rules: a read-only client reads the window's map but starts
    // none; a client in control starts one, here of the band around a frequency, and reads the
    // figures of the same analysis run directly.
    void vibrationMapOfTheCurrentFragment()
    {
        const QString method = "diagnostics.getVibrationMap";
        QCOMPARE(outcome(m_client->call(method, {{"frequencyHz", -5}})), "invalid_params");
        m_service->stop();
        QVERIFY(m_service->start(false));
        DiagnosticsClient reader(m_service->descriptorPath());
        QCOMPARE(outcome(reader.call(method)), "control_disabled");
        auto *window = m_app->vibrationMap();
        QVERIFY(window->analyze());
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), 60000);
        QVERIFY2(window->ready(), qPrintable(window->errorMessage()));
        QCOMPARE(resultOf(reader.call(method))["texturedTileCount"], window->result().map.texturedTileCount());
        QCOMPARE(outcome(reader.call(method, {{"frequencyHz", 5}})), "control_disabled");
        m_service->stop();
        QVERIFY(m_service->start(true));
        m_client = std::make_unique<DiagnosticsClient>(m_service->descriptorPath());

        QCOMPARE(resultOf(m_client->call(method, {{"frequencyHz", 5}}))["state"], "running");
        QJsonObject answer;
        QTRY_VERIFY_WITH_TIMEOUT(
            (answer = resultOf(m_client->call(method, {{"frequencyHz", 5}})))["state"] != "running", 60000);
        QCOMPARE(answer["state"], "succeeded");
        ovra::processing::VibrationMapRequest request = window->resultRequest();
        QCOMPARE(request.lowerFrequencyHz, 4.5);
        QCOMPARE(request.regionOfInterest, QRectF(0.25, 0.25, 0.5, 0.5)); // as the rows above set it
        const ovra::processing::VibrationMapResult direct
            = ovra::processing::VibrationMapAnalysis().run(request, {}, {});
        const QJsonArray tiles = answer["tiles"].toArray();
        QCOMPARE(tiles.size(), qsizetype(direct.map.tiles.size()));
        for (qsizetype i = 0; i < tiles.size(); ++i) {
            const auto &tile = direct.map.tiles[size_t(i)];
            const QJsonArray row = tiles[i].toArray();
            QCOMPARE(row[0].toInt(), tile.pixels.x());
            QCOMPARE(row[4].isNull(), !tile.textured); // no data is never a zero
            if (tile.textured)
                QCOMPARE(row[4].toDouble(), tile.amplitudePixels);
        }
    }

    void playback_data()
    {
        table();
        const auto action = [](const char *name, const char *key = "none", double value = 0) {
            return QJsonObject{{"action", name}, {key, value}};
        };
        QTest::newRow("pause idle") << "diagnostics.playback" << action("pause") << "ok";
        QTest::newRow("speed 0.05") << "diagnostics.playback" << action("setSpeed", "speed", 0.05) << "ok";
        QTest::newRow("speed 1") << "diagnostics.playback" << action("setSpeed", "speed", 1.0) << "ok";
        QTest::newRow("speed 0.04") << "diagnostics.playback" << action("setSpeed", "speed", 0.04) << "invalid_params";
        QTest::newRow("speed 1.01") << "diagnostics.playback" << action("setSpeed", "speed", 1.01) << "invalid_params";
        QTest::newRow("seek 1.5") << "diagnostics.playback" << action("seek", "fraction", 1.5) << "invalid_params";
        QTest::newRow("seek 1") << "diagnostics.playback" << action("seek", "fraction", 1) << "ok";
        QTest::newRow("seek 0") << "diagnostics.playback" << action("seek", "fraction", 0) << "ok";
    }
    void playback() { run(); }

    void playAndPause()
    {
        QCOMPARE(resultOf(m_client->mutate("diagnostics.playback", {{"action", "play"}}))["playback"]["playPending"],
                 true);
        QTRY_VERIFY_WITH_TIMEOUT(snapshot()["playback"]["playing"].toBool(), 20000);
        QCOMPARE(outcome(m_client->mutate("diagnostics.playback", {{"action", "play"}})), "ok");
        QCOMPARE(outcome(m_client->mutate("diagnostics.playback", {{"action", "pause"}})), "ok");
        QTRY_VERIFY_WITH_TIMEOUT(snapshot()["playback"]["state"] == "ready", 20000);
    }

    // Another instance clearing stale results holds the store's lock: the analysis waits for it
    // (a few seconds at most), busy, until the lock is let go.
    void aPreviewWaitsForTheStore()
    {
        const QDir root(ovra::project_data::AnalysisResult::storeRoot());
        QVERIFY(root.mkpath("."));
        m_storeLock = std::make_unique<QLockFile>(root.filePath("cleanup.lock"));
        QVERIFY(m_storeLock->tryLock(0));
        QCOMPARE(outcome(m_client->mutate("diagnostics.startPreview")), "ok");
    }

    // The analysis locks the controllers, which would ignore these edits: each is refused instead,
    // and no spectrum analysis is started beside the analysis.
    void duringAPreview_data()
    {
        table();
        QTest::newRow("open") << "diagnostics.openVideo"
                              << QJsonObject{{"path", ovra::tests::testMediaPath("cfr30_bframes.mp4")}}
                              << "state_conflict";
        QTest::newRow("rate") << "diagnostics.setCaptureFrameRate" << QJsonObject{{"framesPerSecond", 30}}
                              << "state_conflict";
        QTest::newRow("range") << "diagnostics.setRange" << QJsonObject{{"startFrame", 0}, {"endFrameExclusive", 50}}
                               << "state_conflict";
        QTest::newRow("roi") << "diagnostics.setRoi" << QJsonObject{{"x", 0}, {"y", 0}, {"width", 1}, {"height", 1}}
                             << "state_conflict";
        QTest::newRow("parameters") << "diagnostics.setProcessingParameters" << QJsonObject{{"amplificationFactor", 3}}
                                    << "state_conflict";
        QTest::newRow("preview") << "diagnostics.startPreview" << QJsonObject() << "state_conflict";
        QTest::newRow("spectrum") << "diagnostics.getMotionSpectrum" << QJsonObject{{"resolutionHz", 1}}
                                  << "state_conflict";
        QTest::newRow("map") << "diagnostics.getVibrationMap" << QJsonObject{{"frequencyHz", 3}} << "state_conflict";
    }
    void duringAPreview()
    {
        QVERIFY(m_app->analysis()->busy());
        run();
    }

    void previewThenExport()
    {
        double cursor = 0;
        QCOMPARE(outcome(m_client->mutate("diagnostics.cancelPreview")), "ok");
        m_storeLock.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!snapshot()["preview"]["busy"].toBool(), 60000);
        QCOMPARE(outcome(m_client->mutate("diagnostics.cancelPreview")), "state_conflict");
        QCOMPARE(outcome(m_client->mutate("diagnostics.setProcessingParameters", {{"cameraMotion", "wholeFrame"}})),
                 "ok");
        QCOMPARE(outcome(m_client->mutate("diagnostics.startPreview")), "ok");
        QVERIFY(awaitEvent("preview.progress_changed", &cursor));
        QTRY_VERIFY_WITH_TIMEOUT(snapshot()["preview"]["state"] == "ready", 120000);
        const auto *analysis = m_app->analysis();
        QVERIFY(analysis->cameraMotionMeasured());
        QCOMPARE(snapshot()["preview"]["cameraMotion"].toObject(),
                 QJsonObject({{"rmsPixels", analysis->cameraMotionRmsPixels()},
                              {"peakPixels", analysis->cameraMotionPeakPixels()}}));
        QCOMPARE(outcome(m_client->mutate("diagnostics.openVideo",
                                          {{"path", ovra::tests::testMediaPath("cfr30_bframes.mp4")}})),
                 "unsaved_result_pending");
        const QJsonObject previewed
            = resultOf(m_client->call("diagnostics.getPerformance"))["previewPerformance"].toObject();
        QCOMPARE(previewed["measuredFrames"], 90);
        // Only the region, with its margin, went through the motion core.
        QCOMPARE(previewed["regionProcessingOptimizationApplied"], true);
        QVERIFY(previewed["motionProcessingFrameWidth"].toInt() < 320);
        QVERIFY(previewed["motionCore"]["measuredMs"].toDouble() > 0);

        QTemporaryDir folder;
        QCOMPARE(outcome(m_client->mutate("diagnostics.setExportDestination", {{"path", folder.filePath("a.avi")}})),
                 "invalid_export_destination");
        const QJsonObject destination
            = resultOf(m_client->mutate("diagnostics.setExportDestination", {{"path", folder.filePath("out")}}));
        QCOMPARE(destination["parametersFilePath"], folder.filePath("out.mp4.json"));
        QCOMPARE(resultOf(m_client->mutate("diagnostics.startExport"))["destinationFilePath"],
                 folder.filePath("out.mp4"));
        // While the export runs only reading and cancelling the export get through (its progress
        // leaves the revision alone, so the one just answered is still current).
        const QJsonObject roi{
            {"x", 0}, {"y", 0}, {"width", 1}, {"height", 1}, {"expectedRevision", double(m_client->lastRevision())}};
        QCOMPARE(outcome(m_client->call("diagnostics.setRoi", roi)), "state_conflict");
        QCOMPARE(outcome(m_client->call("diagnostics.getSnapshot")), "ok");
        QVERIFY(awaitEvent("export.state_changed", &cursor));
        QTRY_VERIFY_WITH_TIMEOUT(snapshot()["export"]["state"] == "completed", 120000);
        QVERIFY(QFileInfo(folder.filePath("out.mp4")).size() > 0);
        const QJsonObject report = resultOf(m_client->call("diagnostics.getPerformance"));
        QCOMPARE(report["performance"], report["exportPerformance"]);
        QCOMPARE(report["exportPerformance"]["measuredFrames"], 90);
        QVERIFY(report["exportPerformance"]["frameThroughputFps"].toDouble() > 0);
        QCOMPARE(outcome(m_client->mutate("diagnostics.cancelExport")), "state_conflict");
    }

    // A failed check must not leave the application running into the next case.
    void cleanup()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(30000);
        }
        QDir(descriptorFolder()).removeRecursively();
    }

    void optionsStartTheEndpoint_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("control");
        QTest::newRow("control") << "--mcp-control" << true;
        QTest::newRow("debug alone") << "--mcp-debug" << false;
    }

    // The methods themselves are tested in-process (tst_diagnosticsmethods); here the application
    // starts the endpoint its option asks for, obeys it, and takes the descriptor with it when
    // it is terminated.
    void optionsStartTheEndpoint()
    {
        QFETCH(QString, option);
        QFETCH(bool, control);
        const QString descriptor = launch(option);
        QVERIFY(!descriptor.isEmpty());
        DiagnosticsClient client(descriptor);
        const QJsonObject capabilities = resultOf(client.call("diagnostics.getCapabilities"));
        QCOMPARE(capabilities["controlEnabled"], control);
        QCOMPARE(capabilities["methods"].toArray().size(), 18);
        const QString video = ovra::tests::testMediaPath("cfr25_bframes.mp4");
        for (const QJsonValue &method : capabilities["methods"].toArray()) {
            const QString refusal = control ? "stale_revision" : "control_disabled";
            QCOMPARE(outcome(client.call(method["name"].toString(), {{"expectedRevision", 99}, {"path", video}})),
                     method["mutating"].toBool() ? refusal : "ok");
        }
        QCOMPARE(resultOf(client.call("diagnostics.getMotionSpectrum"))["state"], "unavailable");
        QCOMPARE(outcome(client.mutate("diagnostics.openVideo", {{"path", video}})),
                 control ? "ok" : "control_disabled");
        QTRY_COMPARE_WITH_TIMEOUT(resultOf(client.call("diagnostics.getSnapshot"))["source"]["state"],
                                  control ? "ready" : "empty", 60000);
        terminate();
    }
};

QTEST_MAIN(DiagnosticsMethodsTest)
#include "tst_diagnosticsmethods.moc"
