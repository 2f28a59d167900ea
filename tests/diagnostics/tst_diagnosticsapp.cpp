#include "DiagnosticsClient.h"
#include "TestMedia.h"

#include <QDir>
#include <QJsonArray>
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
        QCOMPARE(capabilities["methods"].toArray().size(), 17);
        const QString video = ovra::tests::testMediaPath("cfr25_bframes.mp4");
        for (const QJsonValue &method : capabilities["methods"].toArray()) {
            const QString refusal = control ? "stale_revision" : "control_disabled";
            QCOMPARE(outcome(client.call(method["name"].toString(), {{"expectedRevision", 99}, {"path", video}})),
                     method["mutating"].toBool() ? refusal : "ok");
        }
        QCOMPARE(resultOf(client.call("diagnostics.getMotionSpectrum"))["state"], "unavailable");
        QCOMPARE(outcome(client.mutate("diagnostics.openVideo", {{"path", video}})), control ? "ok" : "control_disabled");
        QTRY_COMPARE_WITH_TIMEOUT(resultOf(client.call("diagnostics.getSnapshot"))["source"]["state"],
                                  control ? "ready" : "empty", 60000);
        terminate();
    }
};

QTEST_MAIN(DiagnosticsApplicationTest)
#include "tst_diagnosticsapp.moc"
