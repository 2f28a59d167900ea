#include "DiagnosticsClient.h"
#include "TestMedia.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The real application, offscreen in its own runtime directory, driven from outside.
class DiagnosticsApplicationTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;
    QProcess m_process;

    QString descriptorFolder() const { return m_runtime.filePath("OVRA/OVRA Motion/runtime/diagnostics"); }
    QStringList descriptors() const { return QDir(descriptorFolder()).entryList({"instance-*.json"}, QDir::Files); }

    // Starts the application and returns the path of the descriptor it published.
    QString launch(const QString &option)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
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
    // Polls events as a tool does and returns the snapshot once ready says so.
    const QJsonObject awaitState(DiagnosticsClient &client, const std::function<bool(const QJsonObject &)> &ready)
    {
        double cursor = 0;
        QJsonObject snapshot;
        (void)QTest::qWaitFor([&] {
            const QJsonObject page = resultOf(client.call("diagnostics.getEvents", {{"cursor", cursor}}));
            if (page["nextCursor"].toDouble() == cursor && !snapshot.isEmpty())
                return false;
            cursor = page["nextCursor"].toDouble();
            snapshot = resultOf(client.call("diagnostics.getSnapshot"));
            return ready(snapshot);
        }, 180000);
        return snapshot;
    }

private slots:
    // A failed check must not leave the application running into the next case.
    void cleanup()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(30000);
        }
        QDir(descriptorFolder()).removeRecursively();
    }

    void wholeJobThroughTheSocket()
    {
        const QString descriptor = launch("--mcp-control");
        QVERIFY(!descriptor.isEmpty());
        DiagnosticsClient intruder(descriptor);
        intruder.sendRaw("{\"apiVersion\":1,\"token\":\"" + QByteArray(64, '0') + "\",\"method\":\"diagnostics.getSnapshot\"}\n");
        QCOMPARE(outcome(intruder.readResponse()), "unauthorized");
        QTRY_VERIFY(!intruder.connected());

        DiagnosticsClient client(descriptor);
        const QString video = ovra::tests::testMediaPath("cfr25_bframes.mp4");
        QCOMPARE(outcome(client.mutate("diagnostics.openVideo", {{"path", video}})), "ok");
        awaitState(client, [](const QJsonObject &s) { return s["playback"]["canNavigate"].toBool(); });
        QCOMPARE(outcome(client.mutate("diagnostics.setCaptureFrameRate", {{"framesPerSecond", 25}})), "ok");
        QCOMPARE(outcome(client.mutate("diagnostics.setRange", {{"startFrame", 10}, {"endFrameExclusive", 60}})), "ok");
        QCOMPARE(outcome(client.mutate("diagnostics.setRoi", {{"x", 0.25}, {"y", 0.25}, {"width", 0.5}, {"height", 0.5}})), "ok");
        QCOMPARE(outcome(client.mutate("diagnostics.setProcessingParameters",
                                       {{"lowerFrequencyHz", 4}, {"upperFrequencyHz", 6}, {"amplificationFactor", 8}})), "ok");
        QCOMPARE(outcome(client.mutate("diagnostics.startPreview")), "ok");
        const QJsonObject previewed = awaitState(client, [](const QJsonObject &s) { return !s["preview"]["busy"].toBool(); });
        QCOMPARE(previewed["preview"]["state"], "ready");
        QCOMPARE(previewed["settings"]["amplificationFactor"], 8);
        QCOMPARE(previewed["settings"]["upperFrequencyHz"], 6);

        QTemporaryDir output;
        const QString mp4 = output.filePath("result.mp4");
        QCOMPARE(outcome(client.mutate("diagnostics.setExportDestination", {{"path", mp4}})), "ok");
        QCOMPARE(outcome(client.mutate("diagnostics.startExport")), "ok");
        const QJsonObject exported = awaitState(client, [](const QJsonObject &s) { return !s["export"]["busy"].toBool(); });
        QCOMPARE(exported["export"]["state"], "completed");
        QCOMPARE(ovra::tests::ffprobeDecodedFrameCount(mp4), 50);
        const QJsonObject parameters = QJsonDocument::fromJson(ovra::tests::fileContent(mp4 + ".json")).object();
        QVERIFY(!parameters.isEmpty());

        const QJsonObject report = resultOf(client.call("diagnostics.getPerformance"));
        QCOMPARE(report["activeOperation"], "none");
        QCOMPARE(report["exportCompleted"], true);
        QCOMPARE(report["previewPerformance"]["measuredFrames"], 50);
        // Only the region, with its margin, went through the motion core.
        QCOMPARE(report["previewPerformance"]["regionProcessingOptimizationApplied"], true);
        QVERIFY(report["previewPerformance"]["motionProcessingFrameWidth"].toInt() < 320);
        QVERIFY(report["previewPerformance"]["motionCore"]["measuredMs"].toDouble() > 0);
        QCOMPARE(report["performance"], report["exportPerformance"]);
        QCOMPARE(report["exportPerformance"]["measuredFrames"], 50);
        QVERIFY(report["exportPerformance"]["frameThroughputFps"].toDouble() > 0);
        terminate();
    }

    void debugAloneRefusesChanges()
    {
        const QString descriptor = launch("--mcp-debug");
        QVERIFY(!descriptor.isEmpty());
        DiagnosticsClient client(descriptor);
        const QJsonObject capabilities = resultOf(client.call("diagnostics.getCapabilities"));
        QCOMPARE(capabilities["controlEnabled"], false);
        QCOMPARE(capabilities["methods"].toArray().size(), 17);
        for (const QJsonValue &method : capabilities["methods"].toArray()) {
            const QJsonObject params{{"expectedRevision", 99}, {"path", ovra::tests::testMediaPath("cfr25_bframes.mp4")}};
            QCOMPARE(outcome(client.call(method["name"].toString(), params)), method["mutating"].toBool() ? "control_disabled" : "ok");
        }
        QCOMPARE(resultOf(client.call("diagnostics.getSnapshot"))["source"]["state"], "empty");
        QCOMPARE(resultOf(client.call("diagnostics.getMotionSpectrum"))["state"], "unavailable");
        terminate();
    }
};

QTEST_MAIN(DiagnosticsApplicationTest)
#include "tst_diagnosticsapp.moc"
