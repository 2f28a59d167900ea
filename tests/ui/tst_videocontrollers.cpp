// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControllerTestAccess.h"
#include "TestMedia.h"

#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "ovra/Version.h"
#include "processing/ProcessingRecords.h"
#include "project_data/AnalysisResult.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/AnalysisSettingsSnapshot.h"
#include "ui/controllers/ExportController.h"
#include "ui/controllers/MediaRuntimeController.h"
#include "ui/controllers/PlaybackWorker.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/StatusLine.h"
#include "ui/items/VideoFrameItem.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovra::ui::controllers;
using ovra::media::VideoMetadata;
using ovra::media::libav::LibavRuntime;
using ovra::media::libav::LibavVersions;
using ovra::tests::filled;
using ovra::tests::testMediaPath;
using ovra::tests::writeFile;
using ovra::ui::controllers::PlaybackController;
using ovra::ui::controllers::PlaybackWorker;
using ovra::ui::items::VideoFrameItem;
using State = VideoSessionController::AnalysisState;

Q_DECLARE_METATYPE(ovra::ui::controllers::StatusLine::Facts)

namespace {

// The FFmpeg libraries a session is given.
enum Runtime {
    Loaded,
    Mismatched,
    Missing
};

VideoMetadata video(qint64 frames, qint64 uniformStart = 0, const QString &name = QStringLiteral("clip.mp4"))
{
    VideoMetadata m;
    m.filePath = QStringLiteral("/videos/") + name;
    m.frameSize = QSize(1920, 1080);
    m.frameCount = frames;
    m.nominalFrameRate = 30.0;
    m.durationUs = ovra::media::roundHalfAwayFromZero(frames * 1e6 / 30.0);
    m.uniformStartFrame = uniformStart;
    return m;
}

// A session, fragment and settings controller over a 1000-frame 30 fps video captured at 240 fps.
struct Controllers
{
    VideoSessionController session{nullptr};
    AnalysisFragmentController fragment{&session};
    ProcessingSettingsController settings{&session, &fragment};

    explicit Controllers(const VideoMetadata &metadata = video(1000))
    {
        ControllerTestAccess::makeReady(&session, metadata);
    }
};

} // namespace

// The session that opens a video, the playback over it, the item that shows its frames, the
// fragment and settings, and the analysis and export controllers without the application
// controller, so that no interaction lock hides their own rules.
class VideoControllersTest : public QObject
{
    Q_OBJECT

    MediaRuntimeController m_runtime;
    VideoSessionController m_session{&m_runtime};
    AnalysisFragmentController m_fragment{&m_session};
    ProcessingSettingsController m_settings{&m_session, &m_fragment};
    PlaybackController m_playback{&m_session, &m_fragment, &m_runtime};
    AnalysisController m_analysis{&m_session, &m_runtime, &m_settings, &m_playback};
    ExportController m_exporter{&m_session, &m_runtime, &m_settings, &m_playback, &m_analysis};
    QTemporaryDir m_folder;
    std::shared_ptr<ovra::project_data::AnalysisResult> m_store; // a result for source frames 10..39
    // Without a runtime nothing decodes: the frame item's tests hand it their own frames.
    VideoSessionController m_idleSession{nullptr};
    AnalysisFragmentController m_idleFragment{&m_idleSession};
    PlaybackController m_idlePlayback{&m_idleSession, &m_idleFragment, nullptr};

    qint64 navigate(const std::function<void()> &request)
    {
        return ControllerTestAccess::navigate(&m_playback, request);
    }

    void waitUntilStopped()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!m_playback.playing() && !m_playback.playPending() && !m_playback.pausePending(),
                                 20000);
    }

    void createAndWait()
    {
        m_analysis.startAnalysis();
        QVERIFY2(m_analysis.busy(), qPrintable(m_analysis.errorMessage()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_analysis.busy() && m_playback.canNavigate(), 60000);
    }

public:
    static void initMain() { qputenv("QT_QUICK_BACKEND", "software"); }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        m_session.openSource(QUrl::fromLocalFile(testMediaPath("cfr25_bframes.mp4")));
        QTRY_VERIFY_WITH_TIMEOUT(m_playback.ready() && !m_playback.busy(), 20000);
        QCOMPARE(m_playback.currentFrameIndex(), 0);
        QCOMPARE(m_playback.frameCount(), 100);
        QVERIFY(m_playback.canNavigate());

        m_store = std::make_shared<ovra::project_data::AnalysisResult>(m_session.metadata(), 10);
        QVERIFY(m_store->create());
        const QImage grey = filled(QSize(320, 240));
        for (int i = 10; i < 40; ++i)
            QVERIFY(m_store->appendFrame({grey, -1, i}));
        QVERIFY(m_store->finish());
    }

    void pacing_data()
    {
        QTest::addColumn<double>("framesPerSecond");
        QTest::addColumn<int>("intervalMs");
        QTest::addColumn<QList<int>>("framesPerTick");
        QTest::newRow("240 fps at 1.0") << 240.0 << 33 << QList<int>{7, 8, 8, 8, 8};
        QTest::newRow("25 fps at 0.5") << 12.5 << 80 << QList<int>{1, 1, 1};
        QTest::newRow("30 fps") << 30.0 << 33 << QList<int>{1, 1, 1};
        QTest::newRow("no rate") << 0.0 << 33 << QList<int>{1};
    }

    void pacing()
    {
        QFETCH(double, framesPerSecond);
        QFETCH(QList<int>, framesPerTick);
        const int interval = PlaybackWorker::tickIntervalMs(framesPerSecond);
        QTEST(interval, "intervalMs");
        double carry = 0.0;
        QList<int> frames;
        for (qsizetype i = 0; i < framesPerTick.size(); ++i)
            frames << PlaybackWorker::framesForTick(interval, framesPerSecond, &carry);
        QCOMPARE(frames, framesPerTick); // 7 then 8s: the fraction is carried, not dropped
    }

    void navigationStopsAtTheVideoBoundaries()
    {
        QCOMPARE(navigate([this] { m_playback.seekToFraction(0.0); }), 0);
        QCOMPARE(navigate([this] { m_playback.stepBackward(); }), 0);
        QCOMPARE(navigate([this] { m_playback.seekToFraction(1.0); }), 99);
        QCOMPARE(navigate([this] { m_playback.stepForward(); }), 99);
        QCOMPARE(navigate([this] { m_playback.seekToFraction(0.5); }), 50); // 49.5 rounds away from zero
        QCOMPARE(navigate([this] { m_playback.stepBackward(); }), 49);
        QCOMPARE(m_playback.progress(), 49.0 / 99.0);
        QCOMPARE(m_playback.positionUs(), 49 * 40000);
    }

    void speedLimits()
    {
        for (double refused : {0.04, 1.5, qQNaN()})
            m_playback.setPlaybackSpeed(refused);
        QCOMPARE(m_playback.playbackSpeed(), 1.0);
        m_playback.setPlaybackSpeed(0.5);
        QCOMPARE(m_playback.playbackSpeed(), 0.5);
        m_playback.setPlaybackSpeed(1.0);
    }

    void playsToTheEndOfTheFragmentAndRestarts()
    {
        QVERIFY(m_fragment.setRangeFrames(10, 40));
        QList<qint64> shown;
        auto connection = connect(&m_playback, &PlaybackController::frameReady, this,
                                  [&] { shown << m_playback.currentFrameIndex(); });
        m_playback.play();
        QVERIFY(m_playback.playPending());
        waitUntilStopped();
        QCOMPARE(shown.first(), 10); // 50 lies outside, so playback starts at the fragment start
        QCOMPARE(shown.last(), 39);
        QVERIFY(std::is_sorted(shown.begin(), shown.end()));
        shown.clear();
        m_playback.play(); // from the fragment's last frame: again from its start
        waitUntilStopped();
        QCOMPARE(shown.first(), 10);
        QCOMPARE(shown.last(), 39);
        disconnect(connection);
    }

    // What each side shows frame by frame is checked in tst_userflow; here the rules around it.
    void resultFramesOutsideItsRangeAreCleared()
    {
        QVERIFY(!m_playback.configureResult(m_store, 10, 200));
        QCOMPARE(m_playback.resultErrorMessage(), QStringLiteral("The frame range of the analysis result is invalid."));
        QVERIFY(m_playback.configureResult(m_store, 10, 40));
        QTRY_VERIFY_WITH_TIMEOUT(m_playback.resultAvailable() && !m_playback.busy(), 10000);
        QCOMPARE(m_playback.currentFrameIndex(), 10);
        QVERIFY(m_playback.hasResultFrame());
        QSignalSpy cleared(&m_playback, &PlaybackController::resultFrameCleared);
        QCOMPARE(navigate([this] { m_playback.seekToFraction(0.0); }), 0); // outside the result
        QCOMPARE(cleared.count(), 1);
        m_playback.clearResult();
        QVERIFY(!m_playback.resultAvailable() && !m_playback.hasResultFrame());
    }

    void staleAnswersChangeNothing()
    {
        const qint64 index = m_playback.currentFrameIndex();
        ControllerTestAccess::answer(&m_playback, 1, QImage(8, 8, QImage::Format_RGBA8888));
        QCOMPARE(m_playback.currentFrameIndex(), index);
        QVERIFY(m_playback.ready());
        QVERIFY(!m_playback.hasError());
    }

    void exportActivityPausesFirst()
    {
        QVERIFY(m_fragment.setRangeFrames(0, 100));
        QSignalSpy state(&m_playback, &PlaybackController::stateChanged);
        m_playback.play();
        QTRY_VERIFY_WITH_TIMEOUT(m_playback.playing(), 10000);
        bool pausedBeforeActive = false;
        auto connection = connect(&m_playback, &PlaybackController::stateChanged, this, [&] {
            if (m_playback.exportActive() && !pausedBeforeActive)
                pausedBeforeActive = m_playback.pausePending();
        });
        m_playback.setExportActive(true);
        QVERIFY(pausedBeforeActive);
        QVERIFY(!m_playback.canPlay());
        waitUntilStopped();
        disconnect(connection);
        m_playback.setExportActive(false);
        QVERIFY(m_playback.canNavigate());
    }

    void refusalsBeforeAResultExists()
    {
        QVERIFY(m_session.setCaptureFrameRate(25.0));
        m_settings.setFrequencyBand(4.0, 6.0);
        m_settings.setAmplificationFactor(60.0);
        m_analysis.startAnalysis();
        QVERIFY(!m_analysis.busy());
        QCOMPARE(m_analysis.errorMessage(), QStringLiteral("Amplification factor must be between 1 and 50."));
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
        QTest::newRow("no suffix") << "clip"
                                   << "clip.mp4"
                                   << "";
        QTest::newRow("upper-case suffix") << "clip.MP4"
                                           << "clip.MP4"
                                           << "";
        QTest::newRow("lossless") << "clip.mkv"
                                  << "clip.mkv"
                                  << "";
        QTest::newRow("mov") << "clip.mov"
                             << ""
                             << "The processed video must use the .mp4 or the lossless .mkv extension.";
        QTest::newRow("missing folder") << "none/clip.mp4"
                                        << ""
                                        << "The destination folder does not exist.";
        QTest::newRow("existing video") << "taken.mp4"
                                        << ""
                                        << "The selected output file already exists.";
        QTest::newRow("existing parameters") << "half.mp4"
                                             << ""
                                             << "The export parameters file already exists.";
        QTest::newRow("the source") << "SOURCE"
                                    << ""
                                    << "The output file must differ from the source video.";
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
        QVERIFY2(m_analysis.ready(), qPrintable(m_analysis.errorMessage()));
        QCOMPARE(m_analysis.stageName(), QStringLiteral("Analysis result is ready"));
        QCOMPARE(m_analysis.resultRevision(), m_analysis.settingsRevision());
        QVERIFY(m_analysis.storageBytes() > 0);
        QVERIFY(m_exporter.suggestedFileUrl().fileName().startsWith(
            "cfr25_bframes_analysis_" + m_analysis.resultFinishedAt().toString("yyyy-MM-dd_HH-mm-ss")));
        // A camera motion choice is a setting of the result like the factor.
        m_settings.setCameraMotion(ProcessingSettingsController::CameraMotion::WholeFrame);
        QVERIFY(m_analysis.stale());
        m_settings.setCameraMotion(ProcessingSettingsController::CameraMotion::Off);
        QVERIFY(!m_analysis.stale());
        // An unsaved result blocks the next run until it is acknowledged.
        m_settings.setAmplificationFactor(6.0);
        QVERIFY(m_analysis.stale());
        m_analysis.startAnalysis();
        QVERIFY(!m_analysis.busy());
        QCOMPARE(m_analysis.errorMessage(),
                 QStringLiteral("Save or discard the current result before starting another analysis."));
        m_analysis.acknowledgeDiscard();
        QVERIFY(m_analysis.ready() && !m_analysis.unsaved());
        m_analysis.startAnalysis();
        QVERIFY(m_analysis.busy() && m_analysis.stale());
        QSignalSpy state(&m_analysis, &AnalysisController::stateChanged);
        m_analysis.startAnalysis(); // while busy: nothing at all
        QCOMPARE(state.count(), 0);
        m_analysis.cancel();
        QVERIFY(m_analysis.cancelling());
        QTRY_VERIFY_WITH_TIMEOUT(!m_analysis.busy(), 60000);
        QCOMPARE(m_analysis.stageName(), QStringLiteral("Analysis result was cancelled"));
        QVERIFY(m_analysis.ready()); // the old result stays, stale
        QVERIFY(m_analysis.stale());
        ControllerTestAccess::analysisFailure(&m_analysis, QString());
        QCOMPARE(m_analysis.errorMessage(), QStringLiteral("Could not create the analysis result."));
        m_analysis.discardResult();
        QVERIFY(!m_analysis.ready());
        QVERIFY(!m_playback.resultAvailable());
    }

    // A replaced run is cancelled and nothing it says afterwards is heard, however late; the run
    // that replaced it is; a stopped job starts nothing.
    void onlyTheLatestRunIsHeard()
    {
        QStringList heard;
        QObject owner;
        BackgroundJob job(QStringLiteral("Test job"), &owner);
        const auto work = [&heard](const QString &name, bool untilCancelled) {
            return [&heard, name, untilCancelled](const JobRun &run) {
                const auto progress
                    = run.progress([&heard, name](const ovra::project_data::ProcessingProgress &record) {
                          heard << name + ' ' + record.stageName;
                      });
                ovra::project_data::ProcessingProgress record;
                record.stageName = QStringLiteral("started");
                progress(record);
                while (untilCancelled && !run.cancellationCheck()())
                    QThread::yieldCurrentThread();
                record.stageName = QStringLiteral("stopping");
                progress(record);
                return name;
            };
        };
        const auto finished = [&heard](const QString &name) { heard << name + QStringLiteral(" finished"); };
        QVERIFY(job.start(work("first", true), finished));
        QTRY_COMPARE(heard, QStringList{"first started"});
        QVERIFY(job.start(work("second", false), finished));
        QTRY_VERIFY(!job.running());
        QCOMPARE(heard, (QStringList{"first started", "second started", "second stopping", "second finished"}));
        job.stop();
        QVERIFY(!job.start(work("third", false), finished));
    }

    void newSourceDuringARunDropsEverything()
    {
        QTRY_VERIFY_WITH_TIMEOUT(m_playback.canNavigate(), 20000);
        m_analysis.startAnalysis();
        QVERIFY(m_analysis.busy());
        QVERIFY(m_exporter.setDestination(QUrl::fromLocalFile(m_folder.filePath("kept.mp4"))));
        m_session.openSource(QUrl::fromLocalFile(testMediaPath("cfr30_bframes.mp4")));
        QVERIFY(m_analysis.cancelling());
        QVERIFY(m_exporter.destinationFilePath().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!m_analysis.busy(), 60000);
        QVERIFY(!m_analysis.ready());
        QVERIFY(m_analysis.stageName().isEmpty());
        QCOMPARE(m_analysis.progress(), 0.0);
        QTRY_VERIFY_WITH_TIMEOUT(m_session.ready(), 30000);
    }

    void damageLeavesRetryOrSave_data()
    {
        QTest::addColumn<QString>("damage"); // of the result's frames.bin, or "source" for the video
        QTest::addColumn<qint64>("from"); // the frame shown when the request is made
        QTest::addColumn<QString>("request");
        QTest::newRow("play from the fragment's last frame") << "deleted" << 99LL << "play";
        QTest::newRow("play into the damage") << "truncated" << 40LL << "play";
        QTest::newRow("seek") << "deleted" << 0LL << "seek";
        QTest::newRow("step") << "deleted" << 0LL << "step";
        QTest::newRow("preview configuration") << "deleted" << 0LL << "configure";
        QTest::newRow("load") << "source" << 0LL << "load";
    }

    // Whichever request of the player meets a broken result or source, it ends where the user
    // can navigate again or retry, and can still save the result.
    void damageLeavesRetryOrSave()
    {
        QFETCH(QString, damage);
        QFETCH(qint64, from);
        QFETCH(QString, request);
        const QString source = m_folder.filePath("damaged.mp4");
        const QString intactFrames = m_folder.filePath("frames.bin.intact");
        if (m_session.filePath() != source) {
            QVERIFY(QFile::copy(testMediaPath("cfr25_bframes.mp4"), source));
            m_session.openSource(QUrl::fromLocalFile(source));
            QTRY_VERIFY_WITH_TIMEOUT(m_playback.canNavigate(), 20000);
            QVERIFY(m_session.setCaptureFrameRate(25.0));
            m_settings.setFrequencyBand(4.0, 6.0);
            createAndWait();
            QVERIFY2(m_analysis.ready(), qPrintable(m_analysis.errorMessage()));
            QCOMPARE(m_fragment.endFrameExclusive(), 100);
        }
        const auto store = ControllerTestAccess::result(&m_analysis);
        const QString frames = QDir(store->directory()).filePath("frames.bin");
        if (!QFile::exists(intactFrames))
            QVERIFY(QFile::copy(frames, intactFrames));
        QFile::remove(frames); // mends the last row's damage
        QVERIFY(QFile::copy(intactFrames, frames));
        const qint64 first = store->firstFrameIndex();
        const qint64 end = first + store->frameCount();
        if (!m_playback.resultAvailable()) {
            QVERIFY(m_playback.configureResult(store, first, end));
            QTRY_VERIFY_WITH_TIMEOUT(m_playback.resultAvailable() && m_playback.canNavigate(), 10000);
        }
        const double fraction = double(from) / double(m_playback.frameCount() - 1);
        QCOMPARE(navigate([&] { m_playback.seekToFraction(fraction); }), from);

        if (damage == QLatin1String("source"))
            QVERIFY(QFile::remove(source));
        else if (damage == QLatin1String("truncated"))
            QVERIFY(QFile::resize(frames, QFileInfo(frames).size() / 2));
        else
            QVERIFY(QFile::remove(frames));
        if (request == QLatin1String("play"))
            m_playback.play();
        else if (request == QLatin1String("seek"))
            m_playback.seekToFraction(0.5);
        else if (request == QLatin1String("step"))
            m_playback.stepForward();
        else if (request == QLatin1String("configure"))
            QVERIFY(m_playback.configureResult(store, first, end));
        else
            m_playback.retry();
        QVERIFY(!m_playback.idle());
        QTRY_VERIFY_WITH_TIMEOUT(m_playback.idle(), 20000);

        QVERIFY(m_analysis.ready());
        QVERIFY(m_exporter.available()); // the result may be readable even where playing it failed
        if (damage == QLatin1String("source")) {
            QVERIFY(m_playback.hasError()); // with "Retry playback", which works once the file is back
            QVERIFY(QFile::copy(testMediaPath("cfr25_bframes.mp4"), source));
            m_playback.retry();
            QTRY_VERIFY_WITH_TIMEOUT(m_playback.canNavigate() && m_playback.resultAvailable(), 20000);
        } else {
            QVERIFY(m_playback.canNavigate());
            QVERIFY(!m_playback.resultAvailable());
            QCOMPARE(m_playback.resultErrorMessage(),
                     QStringLiteral("Could not read the temporary analysis result. Run the analysis again."));
        }
    }

    void analysisPresets240AndKeepsTheDetectedRate()
    {
        VideoSessionController session(&m_runtime);
        QSignalSpy firstFrame(&session, &VideoSessionController::firstFrameReady);
        QSignalSpy state(&session, &VideoSessionController::stateChanged);
        session.openSource(QUrl::fromLocalFile(testMediaPath("cfr25_bframes.mp4")));
        QCOMPARE(session.state(), State::Analyzing);
        QVERIFY(session.busy());
        QVERIFY(state.wait(20000));
        QCOMPARE(session.state(), State::Ready);
        QCOMPARE(firstFrame.count(), 1);
        QCOMPARE(firstFrame.first().first().value<QImage>().size(), QSize(320, 240));
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
        QTest::addColumn<int>("runtime");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("message"); // empty: the analyser's own
        QTest::addColumn<bool>("hasSource"); // retryAnalysis can run again
        const auto local = [](const QString &name) {
            return QUrl::fromLocalFile(QFileInfo(testMediaPath("not_a_video.mp4")).dir().filePath(name));
        };
        QTest::newRow("missing") << local("no_such_file.mp4") << int(Loaded) << "no_such_file.mp4" << QString() << true;
        QTest::newRow("unreadable (a folder)") << local("widths") << int(Loaded) << "widths" << QString() << true;
        // One of the analyser's refusals proves the wiring; the others: tst_libavvideosource.
        QTest::newRow("not a video") << local("not_a_video.mp4") << int(Loaded) << "not_a_video.mp4" << QString()
                                     << true;
        QTest::newRow("web") << QUrl("https://example.com/videos/pump%20run.mp4") << int(Loaded) << "pump run.mp4"
                             << "Only local video files can be analyzed." << false;
        QTest::newRow("empty") << QUrl() << int(Loaded) << ""
                               << "No video file was selected." << false;
        QTest::newRow("other FFmpeg major")
            << local("cfr25_bframes.mp4") << int(Mismatched) << "cfr25_bframes.mp4"
            << "The system's FFmpeg libraries do not match the versions " OVRA_DISPLAY_NAME " was built with." << true;
        QTest::newRow("no FFmpeg") << local("cfr25_bframes.mp4") << int(Missing) << "cfr25_bframes.mp4"
                                   << "The system's FFmpeg libraries are unavailable." << true;
    }

    void refusedSources()
    {
        QFETCH(QUrl, url);
        QFETCH(int, runtime);
        QFETCH(QString, message);
        ovra::media::VideoMetadata metadata;
        QVERIFY(!message.isEmpty()
                || !ovra::media::libav::LibavVideoAnalyzer().analyze(url.toLocalFile(), &metadata, &message));
        // The runtime is checked once, when its controller is made: here with libavcodec a major lower.
        LibavVersions otherMajor = LibavRuntime::requiredVersions();
        otherMajor.avcodec -= 1u << 16;
        LibavRuntime::overrideLoadedVersions(otherMajor);
        MediaRuntimeController mismatched;
        LibavRuntime::overrideLoadedVersions(std::nullopt);
        VideoSessionController session(runtime == Loaded ? &m_runtime : runtime == Mismatched ? &mismatched : nullptr);
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
        session.openSource(QUrl::fromLocalFile(testMediaPath("long_cfr30.mp4")));
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

    // The status line names the most urgent fact: a running operation before the player, the
    // player before a failure, a failure before what is settled.
    void statusLineOrder_data()
    {
        using Facts = StatusLine::Facts;
        using Tone = StatusLine::Tone;
        QTest::addColumn<Facts>("facts");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Tone>("tone");
        QTest::addColumn<bool>("active");
        Facts facts;
        QTest::newRow("nothing open") << facts << "Ready to open a video" << Tone::Success << false;
        facts.session = State::Ready;
        QTest::newRow("source ready") << facts << "Source video is ready" << Tone::Success << false;
        Facts failing = facts;
        failing.session = State::Error;
        failing.sessionError = QStringLiteral("broken");
        failing.exporter = ExportController::State::Processing;
        failing.exportStage = QStringLiteral("Encoding");
        QTest::newRow("export stage wins over a session error") << failing << "Encoding" << Tone::Error << true;
        failing.exporter = ExportController::State::Error;
        QTest::newRow("failed save without a message") << failing << "Saving the result failed" << Tone::Error << false;
        Facts result = facts;
        result.analysis = AnalysisController::State::Stale;
        QTest::newRow("stale result") << result << "Analysis settings have changed" << Tone::Warning << false;
        result.playback = PlaybackController::State::Loading;
        QTest::newRow("result not yet playable")
            << result << "Preparing analysis result playback…" << Tone::Warning << true;
        result.resultPlayable = true;
        QTest::newRow("frame loading") << result << "Preparing video frame…" << Tone::Warning << true;
        result.playback = PlaybackController::State::Ready;
        result.analysis = AnalysisController::State::Ready;
        QTest::newRow("result ready") << result << "Analysis result is ready" << Tone::Success << false;
        result.resultError = QStringLiteral("gone");
        QTest::newRow("result playback error") << result << "gone" << Tone::Error << false;
        Facts saved = facts;
        saved.exporter = ExportController::State::Completed;
        saved.savedFileName = QStringLiteral("a.mp4");
        QTest::newRow("saved result") << saved << "Result saved: a.mp4" << Tone::Success << false;
        saved.playback = PlaybackController::State::Playing;
        QTest::newRow("playing hides the saved note") << saved << "Playing selected fragment" << Tone::Success << false;
        Facts cancelled;
        cancelled.session = State::Cancelled;
        QTest::newRow("cancelled source analysis") << cancelled << "Video analysis cancelled" << Tone::Warning << false;
    }
    void statusLineOrder()
    {
        QFETCH(StatusLine::Facts, facts);
        QFETCH(QString, text);
        QFETCH(StatusLine::Tone, tone);
        QFETCH(bool, active);
        QCOMPARE(StatusLine::textOf(facts), text);
        QCOMPARE(StatusLine::toneOf(facts), tone);
        QCOMPARE(StatusLine::activeIn(facts), active);
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

    void paintedRectLetterboxes_data()
    {
        QTest::addColumn<QSize>("frameSize");
        QTest::addColumn<double>("pixelAspect");
        QTest::addColumn<QRectF>("painted");
        QTest::addColumn<bool>("reshaped");
        const QRectF wide(0, 218.75, 1000, 562.5);
        const QRectF squareFourThree(0, 125, 1000, 750);
        QTest::newRow("square pixels") << QSize(1920, 1080) << 1.0 << wide << false;
        QTest::newRow("7:6 pixels shown 16:9") << QSize(640, 420) << 7.0 / 6.0 << wide << true;
        QTest::newRow("upright 6:7 pixels shown 9:16")
            << QSize(420, 640) << 6.0 / 7.0 << QRectF(218.75, 0, 562.5, 1000) << true;
        QTest::newRow("negative is square") << QSize(640, 480) << -2.0 << squareFourThree << false;
        QTest::newRow("infinite is square") << QSize(640, 480) << qInf() << squareFourThree << false;
    }

    void paintedRectLetterboxes()
    {
        QFETCH(QSize, frameSize);
        QFETCH(double, pixelAspect);
        VideoFrameItem item;
        item.setSize(QSizeF(1000, 1000));
        QCOMPARE(item.paintedRect(), QRectF());
        ControllerTestAccess::answer(&m_idlePlayback, 0, filled(frameSize, Qt::red));
        QSignalSpy rect(&item, &VideoFrameItem::paintedRectChanged);
        item.setPlaybackController(&m_idlePlayback);
        QCOMPARE(rect.count(), 1);
        // The ratio arrives with the finished analysis, after the first frame is already shown.
        item.setPixelAspectRatio(pixelAspect);
        QTEST(item.paintedRect(), "painted");
        QFETCH(bool, reshaped);
        const int signalled = reshaped ? 2 : 1;
        QCOMPARE(rect.count(), signalled);
        ControllerTestAccess::answer(&m_idlePlayback, 0, filled(frameSize, Qt::blue));
        QCOMPARE(rect.count(), signalled); // same size: the rectangle stays
        item.setSize(QSizeF(500, 1000));
        QCOMPARE(rect.count(), signalled + 1);
    }

    void modesAndControllers()
    {
        VideoFrameItem item;
        ControllerTestAccess::answer(&m_idlePlayback, 0, filled(QSize(64, 48), Qt::red));
        item.setPlaybackController(&m_idlePlayback);
        QVERIFY(item.hasFrame());
        QSignalSpy availability(&item, &VideoFrameItem::frameAvailabilityChanged);
        item.setShowsResult(true); // no result frame: cleared
        QVERIFY(!item.hasFrame());
        QCOMPARE(availability.count(), 1);
        ControllerTestAccess::answer(&m_idlePlayback, 0, filled(QSize(64, 48), Qt::red),
                                     filled(QSize(64, 48), Qt::green));
        QCOMPARE(item.frame().pixelColor(0, 0), QColor(Qt::green));
        QSignalSpy controller(&item, &VideoFrameItem::playbackControllerChanged);
        item.setPlaybackController(nullptr);
        QVERIFY(!item.hasFrame());
        item.setPlaybackController(nullptr); // already none
        QCOMPARE(controller.count(), 1);
    }

    void rendersTheFrame()
    {
        QQuickWindow window;
        window.resize(200, 100);
        VideoFrameItem item(window.contentItem());
        item.setSize(QSizeF(200, 100));
        ControllerTestAccess::answer(&m_idlePlayback, 0, filled(QSize(100, 100), Qt::red));
        item.setPlaybackController(&m_idlePlayback);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage shown = window.grabWindow();
        QCOMPARE(shown.pixelColor(100, 50), QColor(Qt::red));
        QVERIFY(shown.pixelColor(10, 50) != QColor(Qt::red)); // letterbox outside the picture
    }

    void fragmentStartsAtTheUniformPart()
    {
        Controllers c(video(1000, 37));
        QCOMPARE(c.fragment.startFrame(), 37);
        QVERIFY(c.fragment.autoStartAdjusted());
        QVERIFY(!c.fragment.rangeCustomized());
        c.fragment.clearRange();
        QCOMPARE(c.fragment.startFrame(), 0);
        QVERIFY(!c.fragment.autoStartAdjusted());
        // A timing change alone (the capture rate) keeps a customised range.
        QVERIFY(c.fragment.setRangeFrames(100, 200));
        QVERIFY(c.session.setCaptureFrameRate(120.0));
        QCOMPARE(c.fragment.startFrame(), 100);
        QVERIFY(c.fragment.rangeCustomized());
    }

    void fragmentEdits_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("second");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        QTest::newRow("range before the start") << "range" << -5LL << 3LL << 0LL << 3LL;
        QTest::newRow("empty range at the end") << "range" << 999LL << 999LL << 998LL << 1000LL;
        QTest::newRow("end beyond the video") << "range" << 10LL << 5000LL << 10LL << 1000LL;
        QTest::newRow("start near the end") << "start" << 995LL << 0LL << 995LL << 1000LL;
        QTest::newRow("end at the start") << "end" << 995LL << 0LL << 995LL << 997LL;
    }

    void fragmentEdits()
    {
        QFETCH(QString, operation);
        QFETCH(qint64, first);
        QFETCH(qint64, second);
        Controllers c;
        if (operation != QLatin1String("range"))
            QVERIFY(c.fragment.setRangeFrames(995, 1000));
        QSignalSpy changed(&c.fragment, &AnalysisFragmentController::rangeChanged);
        const bool accepted = operation == QLatin1String("range") ? c.fragment.setRangeFrames(first, second)
            : operation == QLatin1String("start")                 ? c.fragment.setStartFrame(first)
                                                                  : c.fragment.setEndFrameInclusive(first);
        QVERIFY(accepted);
        QTEST(c.fragment.startFrame(), "start");
        QTEST(c.fragment.endFrameExclusive(), "end");
        QVERIFY(c.fragment.rangeCustomized());
        // The same range again changes nothing and says nothing.
        const auto before = changed.count();
        QVERIFY(c.fragment.setRangeFrames(c.fragment.startFrame(), c.fragment.endFrameExclusive()));
        QCOMPARE(changed.count(), before);
    }

    // The playback duration at the file's 30 fps, the physical one at the 240 fps of capture.
    void fragmentTimes()
    {
        Controllers c;
        QVERIFY(c.fragment.setRangeFrames(30, 60));
        QCOMPARE(c.fragment.playbackDurationUs(), 1000000);
        QCOMPARE(c.fragment.physicalDurationUs(), 125000);
    }

    void fragmentNeedsTwoFrames()
    {
        Controllers one(video(1));
        QVERIFY(!one.fragment.available());
        QVERIFY(!one.fragment.setRangeFrames(0, 1) && !one.fragment.setStartFrame(0)
                && !one.fragment.setEndFrameInclusive(0));
    }

    // The rules are tested where they live (tst_videoprocessingpipeline); these prove that the
    // controller reports a refusal and a warning, and stores what it was given.
    void messages_data()
    {
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QString>("validation");
        QTest::addColumn<QString>("warning");
        QTest::newRow("near Nyquist")
            << 100.0 << 5.0 << QString()
            << "The selected band is close to Nyquist; reliable frequency separation may be poor.";
        QTest::newRow("factor 60") << 14.0 << 60.0 << "Amplification factor must be between 1 and 50." << QString();
        QTest::newRow("at Nyquist") << 120.0 << 5.0
                                    << "Upper frequency must be below the Nyquist frequency of 120.00 Hz." << QString();
    }

    void messages()
    {
        QFETCH(double, upper);
        QFETCH(double, factor);
        QFETCH(QString, validation);
        Controllers c;
        c.settings.setFrequencyBand(9.0, upper);
        c.settings.setAmplificationFactor(factor);
        QCOMPARE(c.settings.amplificationFactor(), factor); // stored and reported, never refused on entry
        QCOMPARE(c.settings.validationMessage(), validation);
        QTEST(c.settings.warningMessage(), "warning");
        QCOMPARE(c.settings.settingsValid(), validation.isEmpty());
        QCOMPARE(c.settings.frequencyBandValid(), upper < 120.0);
        ovra::project_data::ProcessingRequest request;
        QString error;
        QCOMPARE(c.settings.buildRequest(&request, &error), validation.isEmpty());
        QCOMPARE(error, validation);
        if (validation.isEmpty())
            QCOMPARE(request.settings.amplificationFactor, factor);
    }

    // A breathing clip, 10 s at 30 fps magnified at 0.4-3 Hz, holds four periods of the lower
    // edge: shorter than recommended, so valid with the warning; half a period is refused.
    void shortFragment()
    {
        Controllers c(video(300));
        QVERIFY(c.session.setCaptureFrameRate(30.0));
        c.settings.setFrequencyBand(0.4, 3.0);
        QVERIFY(c.settings.settingsValid());
        const QString warning = c.settings.warningMessage();
        QVERIFY2(warning.contains("It holds 4 whole period(s) of the lower band edge"), qPrintable(warning));
        QVERIFY(c.settings.fragmentValidationMessage().isEmpty());
        QVERIFY(c.fragment.setRangeFrames(0, 38));
        QVERIFY(!c.settings.settingsValid());
        QCOMPARE(
            c.settings.fragmentValidationMessage(),
            QStringLiteral("The selected fragment is too short for this frequency band. Select at least 75 frames."));
    }

    void refusedEdits()
    {
        Controllers c;
        QSignalSpy changed(&c.settings, &ProcessingSettingsController::settingsChanged);
        c.settings.setWorkerThreadCount(-1);
        c.settings.setWorkerThreadCount(c.settings.maximumWorkerThreadCount() + 1);
        c.settings.setAmplificationFactor(qQNaN());
        c.settings.setRotationSpeedRpm(2e6);
        QVERIFY(!c.settings.setRegionOfInterest(0.2, 0.2, 5.0 / 1920.0, 0.5));
        QVERIFY(c.settings.setReferenceRegion(0.1, 0.1, 0.3, 0.3));
        changed.clear();
        QVERIFY(!c.settings.setReferenceRegion(0.2, 0.2, 5.0 / 1920.0, 0.5));
        QVERIFY(!c.settings.setReferenceRegion(0.8, 0.2, 0.3, 0.5)); // past the right edge
        QCOMPARE(c.settings.referenceRegion(), QRectF(0.1, 0.1, 0.3, 0.3));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(c.settings.workerThreadCount(), 0);
        QCOMPARE(c.settings.regionOfInterest(), QRectF(0, 0, 1, 1));
        QVERIFY(c.settings.setRegionOfInterest(0.2, 0.2, 0.5, 0.5));
        QVERIFY(c.settings.regionCustomized());
        QCOMPARE(changed.count(), 1);
    }

    // The choice and the reference region reach the motion core as its two fields; a reference
    // region chosen before one is drawn starts away from the amplification region.
    void cameraMotion_data()
    {
        using Choice = ProcessingSettingsController::CameraMotion;
        QTest::addColumn<Choice>("choice");
        QTest::addColumn<QRectF>("amplification");
        QTest::addColumn<QRectF>("drawn");
        QTest::addColumn<QRectF>("expected");
        const QRectF full(0, 0, 1, 1);
        QTest::newRow("off") << Choice::Off << full << QRectF() << QRectF();
        QTest::newRow("whole frame") << Choice::WholeFrame << full << QRectF(0.5, 0.5, 0.2, 0.2) << full;
        QTest::newRow("reference drawn") << Choice::ReferenceRegion << full << QRectF(0.6, 0.1, 0.3, 0.2)
                                         << QRectF(0.6, 0.1, 0.3, 0.2);
        QTest::newRow("reference not drawn, full frame")
            << Choice::ReferenceRegion << full << QRectF() << QRectF(0.05, 0.05, 0.25, 0.25);
        QTest::newRow("reference not drawn, region at the top left")
            << Choice::ReferenceRegion << QRectF(0.1, 0.2, 0.3, 0.3) << QRectF() << QRectF(0.7, 0.7, 0.25, 0.25);
        QTest::newRow("reference not drawn, region at the right")
            << Choice::ReferenceRegion << QRectF(0.6, 0.4, 0.3, 0.3) << QRectF() << QRectF(0.05, 0.05, 0.25, 0.25);
    }

    void cameraMotion()
    {
        QFETCH(ProcessingSettingsController::CameraMotion, choice);
        QFETCH(QRectF, amplification);
        QFETCH(QRectF, drawn);
        QFETCH(QRectF, expected);
        Controllers c;
        QVERIFY(c.settings.setRegionOfInterest(amplification.x(), amplification.y(), amplification.width(),
                                               amplification.height()));
        if (!drawn.isNull())
            QVERIFY(c.settings.setReferenceRegion(drawn.x(), drawn.y(), drawn.width(), drawn.height()));
        c.settings.setCameraMotion(choice);
        QCOMPARE(c.settings.cameraMotion(), choice);
        QVERIFY2(c.settings.settingsValid(), qPrintable(c.settings.validationMessage()));
        ovra::project_data::ProcessingRequest request;
        QVERIFY(c.settings.buildRequest(&request, nullptr));
        QCOMPARE(request.settings.cameraMotionCompensationEnabled, !expected.isNull());
        QCOMPARE(request.settings.stabilizationReferenceRegion, expected);
    }

    void rotationBand()
    {
        Controllers c;
        c.settings.setRotationSpeedRpm(600.0);
        QVERIFY(c.settings.applyRotationBand(1, 10.0));
        QCOMPARE(c.settings.lowerFrequencyHz(), 9.0);
        QCOMPARE(c.settings.upperFrequencyHz(), 11.0);
        c.settings.setRotationSpeedRpm(300.0);
        QVERIFY(!c.settings.applyRotationBand(1, 10.0));
        // The shaft-speed helper shows a band before it is applied, also one reaching Nyquist.
        const QVariantMap shown = c.settings.bandAroundPreview(10.0, 10.0);
        QCOMPARE(shown, (QVariantMap{{"lowerHz", 9.0}, {"upperHz", 11.0}, {"usable", true}}));
        const QVariantMap tooHigh = c.settings.bandAroundPreview(c.settings.nyquistFrequencyHz(), 10.0);
        QCOMPARE(tooHigh.value("upperHz").toDouble(), 1.1 * c.settings.nyquistFrequencyHz());
        QVERIFY(!tooHigh.value("usable").toBool());
    }

    void settingsSnapshot_data()
    {
        QTest::addColumn<bool>("detectedRate");
        QTest::addColumn<bool>("kept");
        QTest::newRow("restored with the detected rate") << true << false;
        QTest::newRow("restored with a manual rate") << false << false;
        QTest::newRow("kept for the analysis") << false << true;
    }

    // The processing dialog edits live: closed without an analysis, every setting it found comes
    // back, a detected capture rate as detected rather than as a manual one.
    void settingsSnapshot()
    {
        QFETCH(bool, detectedRate);
        QFETCH(bool, kept);
        Controllers c;
        AnalysisSettingsSnapshot snapshot(&c.session, &c.settings);
        if (detectedRate)
            c.session.clearCaptureFrameRateOverride();
        const auto values = [&c] {
            return QVariantList{c.session.captureFrameRate(),
                                c.session.captureFrameRateManual(),
                                c.settings.lowerFrequencyHz(),
                                c.settings.upperFrequencyHz(),
                                c.settings.amplificationFactor(),
                                c.settings.rotationSpeedRpm(),
                                c.settings.workerThreadCount(),
                                c.settings.regionProcessingOptimizationEnabled(),
                                QVariant::fromValue(c.settings.cameraMotion())};
        };
        const QVariantList found = values();
        snapshot.take();
        QVERIFY(c.session.setCaptureFrameRate(detectedRate ? 240.0 : 120.0));
        c.settings.setFrequencyBand(3.0, 4.0);
        c.settings.setAmplificationFactor(12.0);
        c.settings.setRotationSpeedRpm(1200.0);
        c.settings.setWorkerThreadCount(1);
        c.settings.setRegionProcessingOptimizationEnabled(false);
        c.settings.setCameraMotion(ProcessingSettingsController::CameraMotion::WholeFrame);
        const QVariantList edited = values();
        for (qsizetype i = 0; i < found.size(); ++i) // a manual rate stays manual
            QVERIFY2(edited.at(i) != found.at(i) || (i == 1 && !detectedRate), qPrintable(QString::number(i)));
        if (kept)
            snapshot.keep();
        snapshot.restore();
        QCOMPARE(values(), kept ? edited : found);
    }

    void lockedSettingsChangeNothing()
    {
        Controllers c;
        c.settings.setAmplificationFactor(8.0);
        c.settings.setEditingLocked(true);
        QSignalSpy changed(&c.settings, &ProcessingSettingsController::settingsChanged);
        c.settings.resetToDefaults();
        c.settings.setAmplificationFactor(3.0);
        c.settings.setFrequencyBand(1.0, 2.0);
        c.settings.setWorkerThreadCount(1);
        c.settings.setRegionProcessingOptimizationEnabled(false);
        c.settings.useFullFrame();
        QVERIFY(!c.settings.setRegionOfInterest(0.1, 0.1, 0.5, 0.5));
        c.settings.setCameraMotion(ProcessingSettingsController::CameraMotion::WholeFrame);
        QVERIFY(!c.settings.setReferenceRegion(0.1, 0.1, 0.5, 0.5));
        QVERIFY(!c.settings.applyRotationBand(1, 10.0));
        QVERIFY(!c.settings.applyBandAround(10.0, 10.0));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(c.settings.amplificationFactor(), 8.0);
    }

    void fingerprintNotifiesRealChangesOnly()
    {
        Controllers c;
        QSignalSpy changed(&c.settings, &ProcessingSettingsController::settingsChanged);
        c.settings.setAmplificationFactor(5.0 + 1e-12); // below the 1e-9 step
        c.settings.setFrequencyBand(9.0, 14.0);
        QCOMPARE(changed.count(), 0);
        c.settings.setAmplificationFactor(6.0);
        c.settings.setAmplificationFactor(5.0);
        QCOMPARE(changed.count(), 2);
        QVERIFY(c.fragment.setRangeFrames(10, 900));
        QVERIFY(c.session.setCaptureFrameRate(200.0));
        QCOMPARE(changed.count(), 4);
    }

    void newVideoStartsFromDefaults()
    {
        Controllers c;
        c.settings.setAmplificationFactor(12.0);
        c.settings.setFrequencyBand(20.0, 30.0);
        c.settings.setRotationSpeedRpm(1000.0);
        c.settings.setWorkerThreadCount(1);
        c.settings.setRegionProcessingOptimizationEnabled(false);
        QVERIFY(c.settings.setRegionOfInterest(0.1, 0.1, 0.5, 0.5));
        QVERIFY(c.settings.setReferenceRegion(0.6, 0.6, 0.3, 0.3));
        c.settings.setCameraMotion(ProcessingSettingsController::CameraMotion::ReferenceRegion);
        QSignalSpy changed(&c.settings, &ProcessingSettingsController::settingsChanged);
        int signalsAtSourceChange = -1; // the settings controller reacts first, being connected first
        connect(&c.session, &VideoSessionController::sourceChanged, this,
                [&] { signalsAtSourceChange = int(changed.count()); });
        ControllerTestAccess::makeReady(&c.session, video(500, 0, QStringLiteral("second.mp4")));
        QCOMPARE(signalsAtSourceChange, 1);
        QCOMPARE(c.settings.amplificationFactor(), 5.0);
        QCOMPARE(c.settings.lowerFrequencyHz(), 9.0);
        QCOMPARE(c.settings.upperFrequencyHz(), 14.0);
        QCOMPARE(c.settings.rotationSpeedRpm(), 700.0);
        QCOMPARE(c.settings.workerThreadCount(), 0);
        QVERIFY(c.settings.regionProcessingOptimizationEnabled());
        QVERIFY(!c.settings.regionCustomized());
        QCOMPARE(c.settings.cameraMotion(), ProcessingSettingsController::CameraMotion::Off);
        QVERIFY(c.settings.referenceRegion().isNull());
        QCOMPARE(c.fragment.endFrameExclusive(), 500);
    }
};

QTEST_MAIN(VideoControllersTest)
#include "tst_videocontrollers.moc"
