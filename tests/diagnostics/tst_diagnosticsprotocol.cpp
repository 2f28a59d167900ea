// SPDX-License-Identifier: GPL-3.0-or-later
#include "DiagnosticsClient.h"
#include "TestMedia.h"

#include "diagnostics/service/DiagnosticsService.h"
#include "diagnostics/service/EventJournal.h"
#include "diagnostics/service/ProgressEventFilter.h"
#include "diagnostics/service/Protocol.h"
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

using ovra::diagnostics::service::DiagnosticsService;
namespace protocol = ovra::diagnostics::service::protocol;
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
    std::unique_ptr<DiagnosticsService> m_service;

    void restart(bool control)
    {
        m_service = std::make_unique<DiagnosticsService>(m_app.get());
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
        const QJsonObject d = QJsonDocument::fromJson(ovra::tests::fileContent(path)).object();
        QVERIFY(QRegularExpression("^[0-9a-f]{64}$").match(d["token"].toString()).hasMatch());
        QCOMPARE(d["socketName"].toString(), "ovra-motion-diagnostics-" + d["instanceId"].toString());
        QCOMPARE(d["processId"].toInteger(), QCoreApplication::applicationPid());
        QVERIFY(m_service->start(true));
        QCOMPARE(m_service->descriptorPath(), path);
        QString error;
        QVERIFY(!m_service->start(false, &error));
        QCOMPARE(error, "already_running");
        m_service->stop();
        QVERIFY(!QFile::exists(path));
        QVERIFY(m_service->start(false));
        QVERIFY(m_service->descriptorPath() != path);
    }

    void hostileDescriptorDirectoriesAreNarrowedOrRefused()
    {
        m_service.reset();
        QDir(m_runtime.filePath("OVRA")).removeRecursively();
        QVERIFY(QDir().mkpath(descriptorDirectory()));
        QVERIFY(QFile::setPermissions(descriptorDirectory(), QFileDevice::Permissions(0x7777)));
        restart(false);
        QCOMPARE(QFile::permissions(descriptorDirectory()) & 0x0777,
                 QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        m_service.reset();
        // A link anywhere on the way would let its owner read the token or swap the file.
        QTemporaryDir elsewhere;
        QDir(m_runtime.filePath("OVRA/OVRA Motion")).removeRecursively();
        QVERIFY(QFile::link(elsewhere.path(), m_runtime.filePath("OVRA/OVRA Motion")));
        DiagnosticsService service(m_app.get());
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
        QTest::newRow("invalid utf-8") << QByteArray("{\"apiVersion\":1,\"method\":\"\xff\xfe\"}") << "invalid_json"
                                       << false;
        QTest::newRow("deep nesting") << QByteArray(5000, '[') + QByteArray(5000, ']') << "invalid_json" << false;
        QTest::newRow("version string") << "{\"apiVersion\":\"1\"," + t + ",\"method\":\"diagnostics.getSnapshot\"}"
                                        << "unsupported_api_version" << false;
        QTest::newRow("wrong token") << QByteArray(
            "{\"apiVersion\":1,\"token\":\"x\",\"method\":\"diagnostics.getSnapshot\"}")
                                     << "unauthorized" << true;
        QTest::newRow("method missing") << "{\"apiVersion\":1," + t + "}"
                                        << "invalid_method" << false;
        QTest::newRow("method number") << "{\"apiVersion\":1," + t + ",\"method\":5}"
                                       << "invalid_method" << false;
        QTest::newRow("params array") << "{\"apiVersion\":1," + t
                + ",\"method\":\"diagnostics.getSnapshot\",\"params\":[]}"
                                      << "invalid_params" << false;
        QTest::newRow("unknown method") << "{\"apiVersion\":1," + t + ",\"method\":\"diagnostics.GetSnapshot\"}"
                                        << "method_not_found" << false;
        const QByteArray open = "{\"apiVersion\":1," + t + ",\"method\":\"diagnostics.openVideo\",\"params\":{";
        QTest::newRow("no revision") << open + "}}"
                                     << "missing_expected_revision" << false;
        for (const char *bad : {"1.5", "-1", "\"3\"", "9007199254740992", "null"})
            QTest::newRow(bad) << open + "\"expectedRevision\":" + bad + "}}"
                               << "invalid_expected_revision" << false;
        QTest::newRow("stale") << open + "\"expectedRevision\":0}}"
                               << "stale_revision" << false;
        QTest::newRow("bad cursor") << "{\"apiVersion\":1," + t
                + ",\"method\":\"diagnostics.getEvents\",\"params\":{\"cursor\":-1}}"
                                    << "invalid_cursor" << false;
        for (const char *bad : {"0", "-1", "2.5", "\"10\""})
            QTest::newRow(QByteArray("limit ") + bad) << "{\"apiVersion\":1," + t
                    + ",\"method\":\"diagnostics.getEvents\",\"params\":{\"limit\":" + bad + "}}"
                                                      << "invalid_limit" << false;
    }
    void protocolErrors()
    {
        QFETCH(QByteArray, line);
        DiagnosticsClient client(m_service->descriptorPath());
        line.replace("TOKEN", client.token().toUtf8());
        // A request queued behind a refused token must never be handled.
        client.sendRaw(line + "\r\n" + request(client.token(), "diagnostics.getSnapshot", 2) + "\n");
        const QJsonObject response = client.readResponse();
        QFETCH(bool, closes);
        QTEST(outcome(response), "code");
        QCOMPARE(response["id"], QJsonValue::Null);
        QCOMPARE(response["revision"].toDouble(), 1.0);
        if (closes) {
            QTRY_VERIFY(!client.connected());
            QVERIFY(!client.socket().canReadLine());
        } else {
            QCOMPARE(client.readResponse()["id"], 2);
        }
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
        QTRY_VERIFY(!client.connected());
        QVERIFY(!client.socket().canReadLine());

        DiagnosticsClient flood(m_service->descriptorPath());
        flood.sendRaw(QByteArray(131073, 'x'));
        QCOMPARE(outcome(flood.readResponse()), "receive_buffer_limit");
        QTRY_VERIFY(!flood.connected());
    }

    // Blank lines are skipped; any JSON id comes back unchanged, in order, however many
    // requests one write carries.
    void requestsInOneWriteAreAnsweredInOrderWithTheirIds()
    {
        DiagnosticsClient client(m_service->descriptorPath());
        QJsonArray ids{"a", 7.5, QJsonObject{{"k", QJsonArray{1}}}, QJsonValue::Null};
        for (int i = 0; i < 40; ++i)
            ids.append(i);
        QByteArray lines = "  \t\n\r\n" + request(client.token(), "diagnostics.getCapabilities") + "\n";
        for (const QJsonValue &id : ids)
            lines += request(client.token(), "diagnostics.getEvents", id) + "\r\n";
        client.sendRaw(lines);
        QCOMPARE(client.readResponse()["id"], QJsonValue::Null);
        for (const QJsonValue &id : ids)
            QCOMPARE(client.readResponse()["id"], id);
    }

    void aFifthClientIsClosedUnanswered()
    {
        std::vector<std::unique_ptr<DiagnosticsClient>> clients;
        for (int i = 0; i < 5; ++i) {
            clients.push_back(std::make_unique<DiagnosticsClient>(m_service->descriptorPath()));
            QTRY_VERIFY(i == 4 || outcome(clients.back()->call("diagnostics.getCapabilities")) == "ok");
        }
        QTRY_VERIFY(!clients.back()->connected());
        QVERIFY(!clients.back()->socket().canReadLine());
        for (int i = 0; i < 4; ++i)
            QCOMPARE(outcome(clients[i]->call("diagnostics.getSnapshot")), "ok");
    }

    void aClientThatStopsReadingIsCutOff()
    {
        DiagnosticsClient reader(m_service->descriptorPath());
        DiagnosticsClient stalled(m_service->descriptorPath());
        const QByteArray lines = (request(stalled.token(), "diagnostics.getSnapshot") + "\n").repeated(32);
        stalled.socket().setReadBufferSize(1);
        QTRY_VERIFY_WITH_TIMEOUT((stalled.sendRaw(lines), !stalled.connected()), 60000);
        QCOMPARE(outcome(reader.call("diagnostics.getSnapshot")), "ok");
    }

    void hostileInputLeavesTheServiceAnswering()
    {
        auto *random = QRandomGenerator::global();
        const QString token = DiagnosticsClient(m_service->descriptorPath()).token();
        const QByteArray valid = request(token, "diagnostics.getSnapshot");
        const QJsonArray values{
            "", "x", -1, 1e308, 9007199254740993.0, true, QJsonValue::Null, QJsonArray{1}, QJsonObject{{"a", 1}}};
        const QStringList keys{"expectedRevision",
                               "path",
                               "framesPerSecond",
                               "startFrame",
                               "endFrameExclusive",
                               "x",
                               "width",
                               "coordinateSpace",
                               "rotationSpeedRpm",
                               "workerThreadCount",
                               "action",
                               "fraction",
                               "speed",
                               "cursor",
                               "limit"};
        const auto anyValue = [&] { return values[random->bounded(int(values.size()))]; };
        const std::function<QByteArray()> mutations[]
            = {[&] {
                   QByteArray b(random->bounded(200), '\0');
                   for (char &c : b)
                       c = char(random->bounded(256));
                   return b;
               },
               [&] { return valid.left(random->bounded(valid.size())); },
               [&] {
                   QByteArray b = valid;
                   b[random->bounded(b.size())] = char(random->bounded(256));
                   return b;
               },
               [&] {
                   QJsonObject params{{"expectedRevision", 1}};
                   for (int k = 0; k < 3; ++k)
                       params.insert(keys[random->bounded(int(keys.size()))], anyValue());
                   QJsonObject r{{"apiVersion", 1}, {"token", token}, {"params", params}};
                   r.insert("method",
                            random->bounded(4) ? QJsonValue(protocol::mutatingMethods().value(random->bounded(12)))
                                               : anyValue());
                   return QJsonDocument(r).toJson(QJsonDocument::Compact);
               },
               [&] {
                   QJsonObject r = QJsonDocument::fromJson(valid).object();
                   r.insert(r.keys()[random->bounded(3)], anyValue());
                   return QJsonDocument(r).toJson(QJsonDocument::Compact);
               }};
        const qint64 before = residentBytes();
        for (int round = 0; round < 40; ++round) {
            DiagnosticsClient client(m_service->descriptorPath());
            for (int i = 0; i < 100; ++i)
                client.socket().write(mutations[random->bounded(5)]().replace('\n', ' ') + "\n");
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
        ovra::diagnostics::service::ProgressEventFilter filter;
        QList<bool> passed;
        for (double p : {0.0, 0.01, 0.04, 0.05, 0.051})
            passed << filter.advance(p, "Processing");
        passed << filter.advance(0.051, "Writing") << filter.advance(qQNaN(), "Writing")
               << filter.advance(1e300, "Writing");
        QCOMPARE(passed, QList<bool>({true, false, false, true, false, true, true, true}));
    }

    void snapshotWithoutAVideo()
    {
        DiagnosticsClient client(m_service->descriptorPath());
        const QJsonObject response = client.call("diagnostics.getSnapshot");
        const QJsonObject s = resultOf(response);
        QCOMPARE(s["revision"], response["revision"]);
        for (const char *section : {"selection", "settings", "playback"})
            QCOMPARE(s[section]["state"], "unavailable");
        QCOMPARE(s["ffmpeg"], s["mediaRuntime"]);
        const QJsonObject report = resultOf(client.call("diagnostics.getPerformance"));
        QCOMPARE(report["activeOperation"], "none");
        QCOMPARE(report["performance"], s["preview"]["performance"]);
        QCOMPARE(report["performance"]["available"], false);
    }
};

QTEST_MAIN(DiagnosticsProtocolTest)
#include "tst_diagnosticsprotocol.moc"
