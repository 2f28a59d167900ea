#include "DiagnosticsClient.h"

#include "diagnostics/service/EventJournal.h"
#include "diagnostics/service/PerformanceReport.h"
#include "diagnostics/service/SemanticDebugService.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/ProcessingSettingsController.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using ovra::diagnostics::service::SemanticDebugService;
using ovra::ui::controllers::ApplicationController;

namespace {

QByteArray request(const QString &token, const QString &method, const QJsonValue &id = QJsonValue::Undefined)
{
    QJsonObject object{{"apiVersion", 1}, {"token", token}, {"method", method}};
    if (!id.isUndefined())
        object.insert("id", id);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() * 4096 : 0;
}

} // namespace

class DiagnosticsProtocolTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;
    std::unique_ptr<ApplicationController> m_app;
    std::unique_ptr<SemanticDebugService> m_service;

    void restart(bool control)
    {
        m_service = std::make_unique<SemanticDebugService>(m_app.get());
        QVERIFY(m_service->start(control));
    }
    QString descriptorDirectory() const { return m_runtime.filePath("OVRA/OVRA Motion/runtime/diagnostics"); }

private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
        m_app = std::make_unique<ApplicationController>();
    }
    void init() { restart(true); }
    void cleanup() { m_service.reset(); }

    void descriptorIsPrivateAndFollowsTheLifecycle()
    {
        const QString path = m_service->descriptorPath();
        QCOMPARE(QFileInfo(path).absolutePath(), descriptorDirectory());
        QCOMPARE(QFile::permissions(path) & 0x0777, QFile::ReadUser | QFile::WriteUser);
        QCOMPARE(QFile::permissions(descriptorDirectory()) & 0x0777,
                 QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject d = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(d.keys().size(), 7);
        QVERIFY(QRegularExpression("^[0-9a-f]{64}$").match(d["token"].toString()).hasMatch());
        QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(d["instanceId"].toString()).hasMatch());
        QCOMPARE(d["socketName"].toString(), "ovra-motion-diagnostics-" + d["instanceId"].toString());
        QCOMPARE(d["processId"].toInteger(), QCoreApplication::applicationPid());
        QVERIFY(d["controlEnabled"].toBool());
        QVERIFY(m_service->start(true));
        QCOMPARE(m_service->descriptorPath(), path);
        QString error;
        QVERIFY(!m_service->start(false, &error));
        QCOMPARE(error, "already_running");
        m_service->stop();
        QVERIFY(!QFile::exists(path));
        QVERIFY(m_service->start(false));
        QVERIFY(m_service->descriptorPath() != path);
        const QJsonObject events = resultOf(DiagnosticsClient(m_service->descriptorPath()).call("diagnostics.getEvents"));
        QCOMPARE(events["droppedBefore"].toInt(), 0);
    }

    void hostileDescriptorDirectoriesAreNarrowedOrRefused()
    {
        m_service.reset();
        QDir(m_runtime.filePath("OVRA")).removeRecursively();
        QVERIFY(QDir().mkpath(descriptorDirectory()));
        QVERIFY(QFile::setPermissions(descriptorDirectory(), QFileDevice::Permissions(0x7777)));
        restart(false);
        QCOMPARE(QFile::permissions(descriptorDirectory()) & 0x0777, QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        m_service.reset();
        // A link anywhere on the way would let its owner read the token or swap the file.
        QTemporaryDir elsewhere;
        QDir(m_runtime.filePath("OVRA/OVRA Motion")).removeRecursively();
        QVERIFY(QFile::link(elsewhere.path(), m_runtime.filePath("OVRA/OVRA Motion")));
        SemanticDebugService service(m_app.get());
        QString error;
        QVERIFY(!service.start(true, &error));
        QCOMPARE(error, "descriptor_directory_unavailable");
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        QFile::remove(m_runtime.filePath("OVRA/OVRA Motion"));
    }

    void protocolErrors_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("closes");
        const QByteArray t = "\"token\":\"TOKEN\"";
        QTest::newRow("not json") << QByteArray("{\"apiVersion\":1,") << "invalid_json" << false;
        QTest::newRow("array") << QByteArray("[1,2]") << "invalid_json" << false;
        QTest::newRow("invalid utf-8") << QByteArray("{\"apiVersion\":1,\"method\":\"\xff\xfe\"}") << "invalid_json" << false;
        QTest::newRow("deep nesting") << QByteArray(5000, '[') + QByteArray(5000, ']') << "invalid_json" << false;
        QTest::newRow("version string") << "{\"apiVersion\":\"1\"," + t + ",\"method\":\"diagnostics.getSnapshot\"}" << "unsupported_api_version" << false;
        QTest::newRow("version missing") << "{" + t + ",\"method\":\"diagnostics.getSnapshot\"}" << "unsupported_api_version" << false;
        QTest::newRow("wrong token") << QByteArray("{\"apiVersion\":1,\"token\":\"x\",\"method\":\"diagnostics.getSnapshot\"}") << "unauthorized" << true;
        QTest::newRow("token number") << QByteArray("{\"apiVersion\":1,\"token\":7,\"method\":\"m\"}") << "unauthorized" << true;
        QTest::newRow("method missing") << "{\"apiVersion\":1," + t + "}" << "invalid_method" << false;
        QTest::newRow("method number") << "{\"apiVersion\":1," + t + ",\"method\":5}" << "invalid_method" << false;
        QTest::newRow("params array") << "{\"apiVersion\":1," + t + ",\"method\":\"diagnostics.getSnapshot\",\"params\":[]}" << "invalid_params" << false;
        QTest::newRow("unknown method") << "{\"apiVersion\":1," + t + ",\"method\":\"diagnostics.GetSnapshot\"}" << "method_not_found" << false;
        const QByteArray open = "{\"apiVersion\":1," + t + ",\"method\":\"diagnostics.openVideo\",\"params\":{";
        QTest::newRow("no revision") << open + "}}" << "missing_expected_revision" << false;
        for (const char *bad : {"1.5", "-1", "\"3\"", "9007199254740992", "null"})
            QTest::newRow(bad) << open + "\"expectedRevision\":" + bad + "}}" << "invalid_expected_revision" << false;
        QTest::newRow("stale") << open + "\"expectedRevision\":0}}" << "stale_revision" << false;
        QTest::newRow("bad cursor") << "{\"apiVersion\":1," + t + ",\"method\":\"diagnostics.getEvents\",\"params\":{\"cursor\":-1}}" << "invalid_cursor" << false;
        for (const char *bad : {"0", "-1", "2.5", "\"10\""})
            QTest::newRow(QByteArray("limit ") + bad) << "{\"apiVersion\":1," + t + ",\"method\":\"diagnostics.getEvents\",\"params\":{\"limit\":" + bad + "}}" << "invalid_limit" << false;
    }
    void protocolErrors()
    {
        QFETCH(QByteArray, line);
        DiagnosticsClient client(m_service->descriptorPath());
        line.replace("TOKEN", client.token().toUtf8());
        // A request queued behind a refused token must never be handled.
        client.sendRaw(line + "\r\n" + request(client.token(), "diagnostics.getSnapshot", 2) + "\n");
        const QJsonObject response = client.readResponse();
        QFETCH(QString, code);
        QFETCH(bool, closes);
        QCOMPARE(outcome(response), code);
        QCOMPARE(response["id"], QJsonValue::Null);
        QCOMPARE(response["revision"].toDouble(), 1.0);
        if (closes) {
            QVERIFY(client.waitClosed());
            QVERIFY(!client.socket().canReadLine());
        } else {
            QCOMPARE(client.readResponse()["id"], 2);
        }
    }

    void readOnlyModeRefusesEveryMutationFirst()
    {
        restart(false);
        DiagnosticsClient client(m_service->descriptorPath());
        const QJsonObject caps = resultOf(client.call("diagnostics.getCapabilities"));
        QCOMPARE(caps["controlEnabled"], false);
        QCOMPARE(caps["methods"].toArray().size(), 16);
        for (const QJsonValue &method : caps["methods"].toArray()) {
            const QString name = method["name"].toString();
            const QString code = outcome(client.call(name, {{"expectedRevision", 99}}));
            QCOMPARE(code, method["mutating"].toBool() ? QString("control_disabled") : QString("ok"));
        }
    }

    void idsComeBackUnchanged()
    {
        DiagnosticsClient client(m_service->descriptorPath());
        const QJsonArray ids{"a", 7.5, QJsonObject{{"k", QJsonArray{1}}}, QJsonValue::Null};
        QByteArray lines = "  \t\n\r\n" + request(client.token(), "diagnostics.getCapabilities") + "\n";
        for (const QJsonValue &id : ids)
            lines += request(client.token(), "diagnostics.getCapabilities", id) + "\r\n";
        client.sendRaw(lines);
        QCOMPARE(client.readResponse()["id"], QJsonValue::Null);
        for (const QJsonValue &id : ids)
            QCOMPARE(client.readResponse()["id"], id);
    }

    void lineLimits()
    {
        DiagnosticsClient client(m_service->descriptorPath());
        QByteArray exact = request(client.token(), "diagnostics.getCapabilities", 1);
        exact.insert(1, QByteArray(65536 - exact.size(), ' '));
        client.sendRaw(exact + "\n");
        QCOMPARE(outcome(client.readResponse()), "ok");
        client.sendRaw(" " + exact + "\n" + request(client.token(), "diagnostics.getSnapshot") + "\n");
        QCOMPARE(outcome(client.readResponse()), "message_too_large");
        QVERIFY(client.waitClosed());
        QVERIFY(!client.socket().canReadLine());

        DiagnosticsClient flood(m_service->descriptorPath());
        flood.sendRaw(QByteArray(131073, 'x'));
        QCOMPARE(outcome(flood.readResponse()), "receive_buffer_limit");
        QVERIFY(flood.waitClosed());
    }

    void fortyRequestsInOneWriteAreAnsweredInOrder()
    {
        DiagnosticsClient client(m_service->descriptorPath());
        QByteArray lines;
        for (int i = 0; i < 40; ++i)
            lines += request(client.token(), "diagnostics.getEvents", i) + "\n";
        client.sendRaw(lines);
        for (int i = 0; i < 40; ++i)
            QCOMPARE(client.readResponse()["id"], i);
    }

    void aFifthClientIsClosedUnanswered()
    {
        std::vector<std::unique_ptr<DiagnosticsClient>> clients;
        for (int i = 0; i < 5; ++i) {
            clients.push_back(std::make_unique<DiagnosticsClient>(m_service->descriptorPath()));
            QTRY_VERIFY(i == 4 || outcome(clients.back()->call("diagnostics.getCapabilities")) == "ok");
        }
        QVERIFY(clients.back()->waitClosed());
        QVERIFY(!clients.back()->socket().canReadLine());
        for (int i = 0; i < 4; ++i)
            QCOMPARE(outcome(clients[i]->call("diagnostics.getSnapshot")), "ok");
    }

    void aClientThatStopsReadingIsCutOff()
    {
        DiagnosticsClient reader(m_service->descriptorPath());
        DiagnosticsClient stalled(m_service->descriptorPath());
        const QByteArray line = request(stalled.token(), "diagnostics.getSnapshot") + "\n";
        stalled.socket().setReadBufferSize(1);
        QByteArray lines;
        for (int i = 0; i < 32; ++i)
            lines += line;
        QTRY_VERIFY_WITH_TIMEOUT((stalled.sendRaw(lines), !stalled.connected()), 60000);
        QCOMPARE(outcome(reader.call("diagnostics.getSnapshot")), "ok");
    }

    void hostileInputLeavesTheServiceAnswering()
    {
        auto *random = QRandomGenerator::global();
        const QByteArray valid = request(DiagnosticsClient(m_service->descriptorPath()).token(), "diagnostics.getSnapshot");
        const qint64 before = residentBytes();
        for (int round = 0; round < 40; ++round) {
            DiagnosticsClient client(m_service->descriptorPath());
            QByteArray lines;
            for (int i = 0; i < 100; ++i) {
                QByteArray line = valid;
                switch (random->bounded(5)) {
                case 0: line = QByteArray(random->bounded(200), '\0'); random->fillRange(reinterpret_cast<quint32 *>(line.data()), line.size() / 4); break;
                case 1: line.truncate(random->bounded(line.size())); break;
                case 2: line[random->bounded(line.size())] = char(random->bounded(256)); break;
                case 3: line.replace("1", QByteArray::number(random->generateDouble() * 1e308) + "e10"); break;
                default: line.replace("\"diagnostics.getSnapshot\"", QByteArray("[{\"a\":") .repeated(300) + "1" + QByteArray("}]").repeated(300)); break;
                }
                lines += line.replace('\n', ' ') + "\n";
            }
            client.sendRaw(lines);
            QTRY_VERIFY(client.socket().bytesAvailable() > 0 || !client.connected());
            // Half the clients vanish in the middle of a line.
            if (round % 2)
                client.sendRaw(valid.left(20));
        }
        DiagnosticsClient after(m_service->descriptorPath());
        QTRY_COMPARE(outcome(after.call("diagnostics.getSnapshot")), "ok");
        QVERIFY2(residentBytes() - before < 64 * 1024 * 1024, "the service kept what hostile clients sent");
    }

    void changesAreCoalescedIntoOneEventPerArea()
    {
        DiagnosticsClient client(m_service->descriptorPath());
        QJsonObject events = resultOf(client.call("diagnostics.getEvents"));
        QCOMPARE(events["events"].toArray().size(), 1);
        QCOMPARE(events["events"][0]["code"], "service.started");
        QCOMPARE(events["events"][0]["revision"], 1);
        auto *settings = m_app->processingSettings();
        for (int i = 0; i < 3; ++i)
            emit settings->settingsChanged();
        emit m_app->analysisFragment()->rangeChanged();
        // Every signal counts, including those the other controllers raise in answer.
        const QJsonValue revision = client.call("diagnostics.getCapabilities")["revision"];
        QVERIFY(revision.toInt() >= 5);
        QTRY_VERIFY(resultOf(client.call("diagnostics.getEvents", {{"cursor", 1}}))["events"].toArray().size() >= 2);
        events = resultOf(client.call("diagnostics.getEvents", {{"cursor", 1}, {"limit", 1000}}));
        QStringList codes;
        for (const QJsonValue &event : events["events"].toArray()) {
            QCOMPARE(event["revision"], revision);
            codes << event["code"].toString();
        }
        QCOMPARE(codes.count("settings.changed"), 1);
        QCOMPARE(codes.count("selection.changed"), 1);
        QCOMPARE(events["nextCursor"].toInt(), 1 + codes.size());
        const QJsonObject none = resultOf(client.call("diagnostics.getEvents", {{"cursor", 30}}));
        QCOMPARE(none["events"].toArray().size(), 0);
        QCOMPARE(none["nextCursor"], 30);
    }

    void journalKeepsTheNewest256()
    {
        ovra::diagnostics::service::EventJournal journal;
        for (int i = 0; i < 300; ++i)
            journal.append("x", 1);
        QString error;
        QJsonObject all = journal.query({{"limit", 1000}}, 1, &error);
        QCOMPARE(all["events"].toArray().size(), 256);
        QCOMPARE(all["events"][0]["id"], 45);
        QCOMPARE(all["nextCursor"], 300);
        QCOMPARE(all["droppedBefore"], 44);
        QCOMPARE(journal.query({{"cursor", 298}, {"limit", 1}}, 1, &error)["nextCursor"], 299);
    }

    void progressIsThrottledToBucketsAndStages()
    {
        ovra::diagnostics::service::ProgressThrottle throttle;
        QList<bool> passed;
        for (double p : {0.0, 0.01, 0.04, 0.05, 0.051})
            passed << throttle.advance(p, "Processing");
        passed << throttle.advance(0.051, "Writing") << throttle.advance(qQNaN(), "Writing") << throttle.advance(1e300, "Writing");
        QCOMPARE(passed, QList<bool>({true, false, false, true, false, true, true, true}));
    }

    void snapshotWithoutAVideo()
    {
        DiagnosticsClient client(m_service->descriptorPath());
        const QJsonObject response = client.call("diagnostics.getSnapshot");
        const QJsonObject s = resultOf(response);
        QCOMPARE(s["revision"], response["revision"]);
        QCOMPARE(s["source"]["state"], "empty");
        for (const char *section : {"selection", "settings", "playback"})
            QCOMPARE(s[section]["state"], "unavailable");
        QCOMPARE(s["source"]["metadata"].toObject().size(), 20);
        QCOMPARE(s["ffmpeg"], s["mediaRuntime"]);
        QCOMPARE(s["libav"]["state"], "ready");
        QCOMPARE(s["settings"]["workerThreadMode"], "automatic");
        QCOMPARE(s["export"]["watermark"]["text"], "ovra-motion 0.2.17 build 22");
        const QJsonObject report = resultOf(client.call("diagnostics.getPerformance"));
        QCOMPARE(report["activeOperation"], "none");
        QCOMPARE(report["performance"], s["preview"]["performance"]);
        QCOMPARE(report["performance"]["available"], false);
    }

    void performanceFiguresNeverDivideByZero()
    {
        ovra::project_data::ProcessingPerformance r;
        r.totalElapsedUs = 1000;
        r.decoderUs = 900;
        r.encoderStartupUs = 700;
        r.encoderWriteUs = 11;
        r.encoderFinalizeUs = 5;
        const QJsonObject full = ovra::diagnostics::service::PerformanceReport::full(r);
        QCOMPARE(full["unaccountedElapsedMs"], 0.0);
        QCOMPARE(full["frameThroughputFps"], 0.0);
        QCOMPARE(full["pipeline"]["averageDecoderMsPerFrame"], 0.0);
        QCOMPARE(full["pipeline"]["encoderCriticalPathMs"], 0.716);
        QCOMPARE(full["pipeline"]["decoderShareOfFrameLoopPercent"], 0.0);
        r.measuredFrames = 4;
        r.frameLoopElapsedUs = 2000;
        const QJsonObject measured = ovra::diagnostics::service::PerformanceReport::full(r);
        QCOMPARE(measured["frameThroughputFps"], 2000.0);
        QCOMPARE(measured["pipeline"]["averageDecoderMsPerFrame"], 0.225);
        QCOMPARE(measured["pipeline"]["decoderShareOfFrameLoopPercent"], 45.0);
        QCOMPARE(ovra::diagnostics::service::PerformanceReport::brief(r).size(), 17);
    }
};

QTEST_MAIN(DiagnosticsProtocolTest)
#include "tst_diagnosticsprotocol.moc"
