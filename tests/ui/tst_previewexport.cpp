#include "ControllerTestAccess.h"
#include "TestMedia.h"

#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/ExportController.h"
#include "ui/controllers/MediaRuntimeController.h"
#include "ui/controllers/ProcessingSettingsController.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovra::ui::controllers;
using ovra::tests::testMediaPath;
using ovra::tests::writeFile;

// The preview and export controllers with their peers but without the application controller,
// so that no interaction lock hides their own rules.
class PreviewExportTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    MediaRuntimeController m_runtime;
    VideoSessionController m_session{&m_runtime};
    AnalysisFragmentController m_fragment{&m_session};
    ProcessingSettingsController m_settings{&m_session, &m_fragment};
    ovra::ui::playback::PlaybackController m_playback{&m_session, &m_fragment, &m_runtime};
    PreviewController m_preview{&m_session, &m_runtime, &m_settings, &m_playback};
    ExportController m_exporter{&m_session, &m_runtime, &m_settings, &m_playback, &m_preview};

    void open(const QString &name)
    {
        m_session.openSource(QUrl::fromLocalFile(testMediaPath(name)));
        QTRY_VERIFY_WITH_TIMEOUT(m_session.ready() && m_playback.canNavigate(), 30000);
        QVERIFY(m_session.setCaptureFrameRate(25.0));
        m_settings.setFrequencyBand(4.0, 6.0);
    }

    void createAndWait()
    {
        m_preview.createPreview();
        QVERIFY2(m_preview.busy(), qPrintable(m_preview.errorMessage()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_preview.busy() && m_playback.canNavigate(), 60000);
    }

private slots:
    void initTestCase() { open(QStringLiteral("cfr25_bframes.mp4")); }

    void refusalsBeforeAResultExists()
    {
        m_settings.setAmplificationFactor(60.0);
        m_preview.createPreview();
        QVERIFY(!m_preview.busy());
        QCOMPARE(m_preview.errorMessage(), QStringLiteral("Amplification factor must be between 1 and 50."));
        m_settings.setAmplificationFactor(5.0);
        QVERIFY(m_exporter.setDestination(QUrl::fromLocalFile(m_folder.filePath("early.mp4"))));
        m_exporter.startExport();
        QCOMPARE(m_exporter.errorMessage(), QStringLiteral("Create an analysis result before saving."));
        QVERIFY(!m_exporter.busy());
    }

    void destinations_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("message");
        QTest::newRow("no suffix") << "clip" << "clip.mp4" << "";
        QTest::newRow("upper-case suffix") << "clip.MP4" << "clip.MP4" << "";
        QTest::newRow("lossless") << "clip.mkv" << "clip.mkv" << "";
        QTest::newRow("mov") << "clip.mov" << ""
                             << "The processed video must use the .mp4 or the lossless .mkv extension.";
        QTest::newRow("missing folder") << "none/clip.mp4" << "" << "The destination folder does not exist.";
        QTest::newRow("existing video") << "taken.mp4" << "" << "The selected output file already exists.";
        QTest::newRow("existing parameters") << "half.mp4" << "" << "The export parameters file already exists.";
        QTest::newRow("the source") << "SOURCE" << "" << "The output file must differ from the source video.";
    }

    void destinations()
    {
        QFETCH(QString, name);
        QFETCH(QString, stored);
        QVERIFY(writeFile(m_folder.filePath("taken.mp4"), "x") && writeFile(m_folder.filePath("half.mp4.json"), "x"));
        const QString path = name == QLatin1String("SOURCE") ? m_session.filePath() : m_folder.filePath(name);
        QCOMPARE(m_exporter.setDestination(QUrl::fromLocalFile(path)), stored.isEmpty() == false);
        QTEST(m_exporter.errorMessage(), "message");
        if (!stored.isEmpty()) {
            QCOMPARE(m_exporter.destinationFilePath(), m_folder.filePath(stored));
            QCOMPARE(m_exporter.parametersFilePath(), m_folder.filePath(stored) + ".json");
            QCOMPARE(m_exporter.stageName(), QStringLiteral("Destination is ready"));
        }
        QVERIFY(!m_exporter.setDestination(QUrl("https://example.com/clip.mp4")));
        QCOMPARE(m_exporter.errorMessage(), QStringLiteral("Choose a local MP4 file."));
    }

    void suggestedNameAvoidsExistingFiles()
    {
        QVERIFY(m_exporter.setPreferredDirectory(QUrl::fromLocalFile(m_folder.path())));
        QCOMPARE(m_exporter.preferredDirectoryPath(), m_folder.path());
        const QString first = m_folder.filePath("cfr25_bframes_analysis_.mp4"); // no result yet: no time
        QCOMPARE(m_exporter.suggestedFileUrl().toLocalFile(), first);
        QVERIFY(writeFile(first + ".json", "x"));
        QCOMPARE(m_exporter.suggestedFileUrl().toLocalFile(), m_folder.filePath("cfr25_bframes_analysis_-2.mp4"));
        QVERIFY(!m_exporter.setPreferredDirectory(QUrl::fromLocalFile(m_folder.filePath("none"))));
    }

    void resultLifecycle()
    {
        createAndWait();
        QVERIFY2(m_preview.ready(), qPrintable(m_preview.errorMessage()));
        QCOMPARE(m_preview.stageName(), QStringLiteral("Analysis result is ready"));
        QCOMPARE(m_preview.previewRevision(), m_preview.settingsRevision());
        QVERIFY(m_preview.storageBytes() > 0);
        QVERIFY(m_exporter.suggestedFileUrl().fileName().startsWith(
            "cfr25_bframes_analysis_" + m_preview.resultFinishedAt().toString("yyyy-MM-dd_HH-mm-ss")));
        // An unsaved result blocks the next run until it is acknowledged.
        m_settings.setAmplificationFactor(6.0);
        QVERIFY(m_preview.stale());
        m_preview.createPreview();
        QVERIFY(!m_preview.busy());
        QCOMPARE(m_preview.errorMessage(),
                 QStringLiteral("Save or discard the current result before starting another analysis."));
        m_preview.acknowledgeDiscard();
        QVERIFY(m_preview.ready() && !m_preview.unsaved());
        m_preview.createPreview();
        QVERIFY(m_preview.busy() && m_preview.stale());
        QSignalSpy state(&m_preview, &PreviewController::stateChanged);
        m_preview.createPreview(); // while busy: nothing at all
        QCOMPARE(state.count(), 0);
        // Answers of the older generation change nothing; the current one is obeyed.
        ControllerTestAccess::previewAnswer(&m_preview, m_preview.generationId() - 1);
        QVERIFY(m_preview.busy());
        m_preview.cancel();
        QVERIFY(m_preview.cancelling());
        QTRY_VERIFY_WITH_TIMEOUT(!m_preview.busy(), 60000);
        QCOMPARE(m_preview.stageName(), QStringLiteral("Analysis result was cancelled"));
        QVERIFY(m_preview.ready()); // the old result stays, stale
        QVERIFY(m_preview.stale());
        ControllerTestAccess::previewAnswer(&m_preview, m_preview.generationId(), QString());
        QCOMPARE(m_preview.errorMessage(), QStringLiteral("Could not create the analysis result."));
        m_preview.discardResult();
        QVERIFY(!m_preview.ready());
        QVERIFY(!m_playback.previewAvailable());
    }

    void newSourceDuringARunDropsEverything()
    {
        QTRY_VERIFY_WITH_TIMEOUT(m_playback.canNavigate(), 20000);
        m_preview.createPreview();
        QVERIFY(m_preview.busy());
        QVERIFY(m_exporter.setDestination(QUrl::fromLocalFile(m_folder.filePath("kept.mp4"))));
        m_session.openSource(QUrl::fromLocalFile(testMediaPath("cfr30_bframes.mp4")));
        QVERIFY(m_preview.cancelling());
        QVERIFY(m_exporter.destinationFilePath().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!m_preview.busy(), 60000);
        QVERIFY(!m_preview.ready());
        QVERIFY(m_preview.stageName().isEmpty());
        QCOMPARE(m_preview.progress(), 0.0);
        QTRY_VERIFY_WITH_TIMEOUT(m_session.ready(), 30000);
    }
};

QTEST_MAIN(PreviewExportTest)
#include "tst_previewexport.moc"
