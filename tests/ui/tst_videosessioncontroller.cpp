#include "ControllerTestAccess.h"
#include "TestMedia.h"

#include "media/libav/LibavVideoAnalyzer.h"
#include "ui/controllers/MediaRuntimeController.h"

#include <QSignalSpy>
#include <QtTest>

using ovra::tests::testMediaPath;
using ovra::ui::controllers::MediaRuntimeController;
using ovra::ui::controllers::VideoSessionController;
using State = VideoSessionController::AnalysisState;

class VideoSessionControllerTest : public QObject
{
    Q_OBJECT

    MediaRuntimeController m_runtime;

    static void open(VideoSessionController &session, const QString &path)
    {
        session.openSource(QUrl::fromLocalFile(path));
    }

private slots:
    void analysisPresets240AndKeepsTheDetectedRate()
    {
        VideoSessionController session(&m_runtime);
        QSignalSpy firstFrame(&session, &VideoSessionController::firstFrameReady);
        QSignalSpy state(&session, &VideoSessionController::stateChanged);
        open(session, testMediaPath("cfr25_bframes.mp4"));
        QCOMPARE(session.state(), State::Analyzing);
        QVERIFY(session.busy());
        QVERIFY(state.wait(20000));
        QCOMPARE(session.state(), State::Ready);
        QCOMPARE(firstFrame.count(), 1);
        QCOMPARE(firstFrame.first().first().value<QImage>().size(), QSize(320, 240));
        QCOMPARE(session.frameCount(), 100);
        QCOMPARE(session.fileName(), QStringLiteral("cfr25_bframes.mp4"));
        QCOMPARE(session.progress(), 1.0);
        QVERIFY(session.progressKnown());
        QCOMPARE(session.detectedCaptureFrameRate(), 25.0);
        QCOMPARE(session.captureFrameRate(), 240.0);
        QVERIFY(session.captureFrameRateManual());
        session.clearCaptureFrameRateOverride();
        QCOMPARE(session.captureFrameRate(), 25.0);
        QVERIFY(!session.captureFrameRateManual());
        QVERIFY(session.setCaptureFrameRate(10000.0));
        QVERIFY(!session.setCaptureFrameRate(10000.5));
        QVERIFY(!session.setCaptureFrameRate(0.0));
        QCOMPARE(session.captureFrameRate(), 10000.0);
        session.cancelAnalysis(); // nothing to cancel
        QCOMPARE(session.state(), State::Ready);
    }

    void refusedSources_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("withRuntime");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("message"); // empty: the analyser's own
        QTest::addColumn<bool>("hasSource"); // retryAnalysis can run again
        const auto local = [](const QString &name) {
            return QUrl::fromLocalFile(QFileInfo(testMediaPath("not_a_video.mp4")).dir().filePath(name));
        };
        QTest::newRow("missing") << local("no_such_file.mp4") << true << "no_such_file.mp4" << QString() << true;
        QTest::newRow("unreadable (a folder)") << local("widths") << true << "widths" << QString() << true;
        // One of the analyser's refusals proves the wiring; the others: tst_libavvideoanalyzer.
        QTest::newRow("not a video") << local("not_a_video.mp4") << true << "not_a_video.mp4" << QString() << true;
        QTest::newRow("web") << QUrl("https://example.com/videos/pump%20run.mp4") << true << "pump run.mp4"
                             << "Only local video files can be analyzed." << false;
        QTest::newRow("empty") << QUrl() << true << "" << "No video file was selected." << false;
        QTest::newRow("no FFmpeg") << local("cfr25_bframes.mp4") << false << "cfr25_bframes.mp4"
                                   << "The embedded FFmpeg libraries are unavailable." << true;
    }

    void refusedSources()
    {
        QFETCH(QUrl, url);
        QFETCH(bool, withRuntime);
        QFETCH(QString, message);
        ovra::media::VideoMetadata metadata;
        QVERIFY(!message.isEmpty() || !ovra::media::libav::LibavVideoAnalyzer().analyze(url.toLocalFile(), &metadata, &message));
        VideoSessionController session(withRuntime ? &m_runtime : nullptr);
        session.openSource(url);
        QTRY_COMPARE_WITH_TIMEOUT(session.state(), State::Error, 20000);
        QCOMPARE(session.errorMessage(), message);
        QTEST(session.fileName(), "fileName");
        QCOMPARE(session.frameCount(), 0);
        QTEST(session.hasSource(), "hasSource");
    }

    void cancelAndRetry()
    {
        VideoSessionController session(&m_runtime);
        QSignalSpy state(&session, &VideoSessionController::stateChanged);
        open(session, testMediaPath("long_cfr30.mp4"));
        session.cancelAnalysis();
        QCOMPARE(session.state(), State::Cancelling);
        QTRY_COMPARE_WITH_TIMEOUT(session.state(), State::Cancelled, 20000);
        QVERIFY(session.errorMessage().isEmpty());
        QCOMPARE(session.fileName(), QStringLiteral("long_cfr30.mp4"));
        session.retryAnalysis();
        QCOMPARE(session.state(), State::Analyzing);
        QTRY_COMPARE_WITH_TIMEOUT(session.state(), State::Ready, 60000);
        QCOMPARE(session.frameCount(), 900);
    }

    void progressOnlyGrows()
    {
        VideoSessionController session(nullptr);
        const QList<std::tuple<double, double, bool>> steps{
            {0.3, 0.3, true}, {0.2, 0.3, true}, {-1.0, 0.3, false}, {0.5, 0.5, true}};
        for (const auto &[reported, shown, known] : steps) {
            ControllerTestAccess::reportProgress(&session, reported);
            QCOMPARE(session.progress(), shown);
            QCOMPARE(session.progressKnown(), known);
        }
    }
};

QTEST_MAIN(VideoSessionControllerTest)
#include "tst_videosessioncontroller.moc"
