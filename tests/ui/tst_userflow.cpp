// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControllerTestAccess.h"
#include "ShakingScene.h"
#include "TestMedia.h"
#include "VibratingVideo.h"

#include "motion_core/FrameWarp.h"
#include "project_data/AnalysisResult.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/ExportController.h"
#include "ui/controllers/MeasurementScaleController.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/SaveWorkflowController.h"
#include "ui/controllers/SpectrumController.h"
#include "ui/controllers/VibrationMapController.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

using ovra::tests::testMediaPath;
using ovra::ui::controllers::ApplicationController;
using ovra::ui::controllers::MeasurementScaleController;
using ovra::ui::controllers::SaveWorkflowController;
using ovra::ui::controllers::SpectrumController;
using ovra::ui::controllers::VibrationMapController;
using State = ovra::ui::controllers::VideoSessionController::AnalysisState;
using Operation = ovra::ui::controllers::ApplicationController::Operation;

namespace {

const ovra::tests::VibratingPattern pattern{QSize(128, 96), 60.0, 180, 10.0, 0.25};
constexpr qint64 fragmentStart = 30;
constexpr qint64 fragmentEnd = 170;

// Result directories whose owner lock names this process.
int ownResultStores()
{
    int count = 0;
    QDirIterator it(ovra::project_data::AnalysisResult::storeRoot(), {QStringLiteral("result-*")}, QDir::Dirs);
    while (it.hasNext()) {
        QFile lock(QDir(it.next()).filePath(QStringLiteral("owner.lock")));
        if (lock.open(QIODevice::ReadOnly)
            && lock.readLine().trimmed().toLongLong() == QCoreApplication::applicationPid())
            ++count;
    }
    return count;
}

// Opens a video through the application's controllers and waits until playback shows it.
void openAndWait(ApplicationController &app, const QString &path)
{
    app.videoSession()->openSource(QUrl::fromLocalFile(path));
    QTRY_VERIFY_WITH_TIMEOUT(app.videoSession()->ready(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(app.playback()->canNavigate(), 20000);
}

} // namespace

class UserFlowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    QString m_input;
    std::vector<QImage> m_sourceFrames;

    // Plays, seeks and steps, checking at every refresh that both sides show frame i.
    void checkPairing(ApplicationController &app, const ovra::project_data::AnalysisResult &store)
    {
        auto *playback = app.playback();
        int refreshes = 0;
        QStringList faults;
        auto connection = connect(
            playback, &ovra::ui::controllers::PlaybackController::frameReady, this, [&](const QImage &source) {
                ++refreshes;
                const qint64 i = playback->currentFrameIndex();
                const bool inResult = i >= fragmentStart && i < fragmentEnd;
                ovra::media::VideoFrame stored;
                if (ovra::tests::maximumChannelDifference(source, m_sourceFrames.at(size_t(i))) > 0)
                    faults << QStringLiteral("source side is not frame %1").arg(i);
                if (inResult != playback->hasResultFrame())
                    faults << QStringLiteral("preview presence wrong at %1").arg(i);
                else if (inResult
                         && (!store.readFrame(i - fragmentStart, &stored)
                             || ovra::tests::maximumChannelDifference(playback->currentResultFrame(), stored.image)
                                 > 0))
                    faults << QStringLiteral("result side is not frame %1").arg(i);
            });
        const auto navigate = [&](const std::function<void()> &request, qint64 expected) {
            QCOMPARE(ControllerTestAccess::navigate(playback, request), expected);
        };
        playback->play();
        QTRY_VERIFY_WITH_TIMEOUT(!playback->playing() && !playback->playPending(), 30000);
        QCOMPARE(playback->currentFrameIndex(), fragmentEnd - 1);
        const double last = double(pattern.frameCount - 1);
        navigate([&] { playback->seekToFraction(0.0); }, 0);
        navigate([&] { playback->seekToFraction(fragmentStart / last); }, fragmentStart);
        navigate([&] { playback->stepBackward(); }, fragmentStart - 1);
        navigate([&] { playback->stepForward(); }, fragmentStart);
        navigate([&] { playback->seekToFraction((fragmentEnd - 1) / last); }, fragmentEnd - 1);
        navigate([&] { playback->stepForward(); }, fragmentEnd);
        navigate([&] { playback->seekToFraction(100 / last); }, 100);
        playback->play();
        QTRY_VERIFY_WITH_TIMEOUT(playback->playing(), 10000);
        playback->pause();
        QTRY_VERIFY_WITH_TIMEOUT(!playback->playing() && !playback->pausePending(), 10000);
        disconnect(connection);
        QVERIFY(refreshes > 20);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1String("; "))));
    }

    // The vibrating video's fragment analysed, shown beside the source and not saved.
    // A scale calibrated from a line drawn one pixel too long over 100 px that span 10 mm reads
    // the spectrum's peak in mm within 2 % plus the peak's own error in pixels; without a scale
    // the spectrum's CSV keeps its pixel columns only.
    void checkMillimetres(ApplicationController &app)
    {
        SpectrumController *spectrum = app.spectrum();
        QCOMPARE(spectrum->peakMillimetreTexts(), QStringList());
        const QString pixelsOnly = m_folder.filePath(QStringLiteral("pixels.csv"));
        QVERIFY(spectrum->exportCsv(QUrl::fromLocalFile(pixelsOnly)));
        QVERIFY(ovra::tests::fileContent(pixelsOnly)
                    .startsWith("frequency_hz,amplitude_x_px,amplitude_y_px,"
                                "amplitude_px,noise_floor_px\n"));

        MeasurementScaleController *scale = app.measurementScale();
        QSignalSpy shown(spectrum, &SpectrumController::peakMillimetreTextsChanged);
        QVERIFY(scale->setLine(QPointF(10.0 / 128, 0.5), QPointF(111.0 / 128, 0.5)));
        QVERIFY(scale->setLineMillimetres(10.0));
        QCOMPARE(scale->origin(), MeasurementScaleController::Origin::Line);
        QCOMPARE(shown.count(), 1);
        const double trueScale = 0.1;
        const double peakPixels = spectrum->peakAmplitudes().value(0);
        const double trueMillimetres = pattern.amplitudePixels * trueScale;
        const double millimetres = spectrum->measurementScale()->millimetres(peakPixels);
        QVERIFY2(std::abs(millimetres - trueMillimetres)
                     <= 0.02 * trueMillimetres + std::abs(peakPixels - pattern.amplitudePixels) * trueScale,
                 qPrintable(QString::number(millimetres)));
        QVERIFY2(spectrum->peakMillimetreTexts().value(0).contains(QStringLiteral(" µm · ")),
                 qPrintable(spectrum->peakMillimetreTexts().value(0)));

        const QString scaled = m_folder.filePath(QStringLiteral("millimetres.csv"));
        QVERIFY(spectrum->exportCsv(QUrl::fromLocalFile(scaled)));
        QVERIFY(ovra::tests::fileContent(scaled).contains(",noise_floor_px,amplitude_mm,velocity_mm_s\n"));
        QVERIFY(!spectrum->exportCsv(QUrl::fromLocalFile(scaled)));
        QVERIFY2(spectrum->exportMessage().contains("exists"), qPrintable(spectrum->exportMessage()));
    }

    void createUnsavedResult(ApplicationController &app)
    {
        openAndWait(app, m_input);
        QVERIFY(app.videoSession()->setCaptureFrameRate(60.0));
        app.processingSettings()->setFrequencyBand(8.0, 12.0);
        QVERIFY(app.analysisFragment()->setRangeFrames(fragmentStart, fragmentEnd));
        app.analysis()->startAnalysis();
        QTRY_VERIFY_WITH_TIMEOUT(app.analysis()->unsaved(), 120000);
        QTRY_VERIFY_WITH_TIMEOUT(app.playback()->resultAvailable() && app.playback()->canNavigate(), 20000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        m_input = m_folder.filePath(QStringLiteral("vibration.mp4"));
        QString error;
        QVERIFY2(ovra::tests::writeVibratingPatternVideo(m_input, pattern, &error), qPrintable(error));
        m_sourceFrames = ovra::tests::decodeAllFrames(m_input);
        QCOMPARE(int(m_sourceFrames.size()), pattern.frameCount);
    }

    void wholeUserFlow()
    {
        ApplicationController app;
        auto *session = app.videoSession();
        auto *settings = app.processingSettings();
        auto *fragment = app.analysisFragment();
        auto *analysis = app.analysis();
        auto *exporter = app.exporter();
        openAndWait(app, m_input);
        QVERIFY(session->setCaptureFrameRate(60.0));
        settings->setFrequencyBand(8.0, 12.0);
        settings->setAmplificationFactor(10.0);
        QVERIFY(fragment->setRangeFrames(fragmentStart, fragmentEnd));
        QVERIFY(settings->setRegionOfInterest(0.1, 0.1, 0.8, 0.8));
        QVERIFY2(settings->settingsValid(), qPrintable(settings->validationMessage()));
        QVERIFY(analysis->available());

        analysis->startAnalysis();
        QVERIFY(analysis->busy());
        QCOMPARE(app.currentOperation(), Operation::Analysis);
        // Locked while the analysis runs: nothing that feeds it can change.
        session->openSource(QUrl::fromLocalFile(testMediaPath("cfr25_bframes.mp4")));
        QCOMPARE(session->filePath(), m_input);
        QVERIFY(!fragment->setRangeFrames(0, 50));
        settings->setAmplificationFactor(3.0);
        QCOMPARE(settings->amplificationFactor(), 10.0);
        QVERIFY(!session->setCaptureFrameRate(30.0));
        QTRY_VERIFY_WITH_TIMEOUT(!analysis->busy(), 120000);
        QVERIFY2(analysis->ready(), qPrintable(analysis->errorMessage()));
        QCOMPARE(app.currentOperation(), Operation::None);
        QCOMPARE(analysis->frameCount(), fragmentEnd - fragmentStart);
        QVERIFY(analysis->unsaved());
        QVERIFY(!analysis->stale());
        QTRY_VERIFY_WITH_TIMEOUT(app.playback()->resultAvailable() && app.playback()->canNavigate(), 20000);

        // The unsaved result blocks another video.
        session->openSource(QUrl::fromLocalFile(testMediaPath("cfr25_bframes.mp4")));
        QCOMPARE(session->filePath(), m_input);
        QCOMPARE(session->errorMessage(),
                 QStringLiteral("Save or discard the current analysis result before opening another video."));

        ovra::project_data::ProcessingRequest request;
        QVERIFY(analysis->exportRequest(&request));
        checkPairing(app, *request.sourceResult);

        // A setting changed and changed back: stale, then current again.
        settings->setAmplificationFactor(11.0);
        QVERIFY(analysis->stale());
        settings->setAmplificationFactor(10.0);
        QVERIFY(!analysis->stale());

        QVERIFY(QDir(m_folder.path()).mkpath(QStringLiteral("saved")));
        const QString target = m_folder.filePath(QStringLiteral("saved/result"));
        QVERIFY(exporter->setDestination(QUrl::fromLocalFile(target)));
        QVERIFY(app.measurementScale()->setTypedScale(0.04));
        QVERIFY(exporter->canStart());
        exporter->setLayoutIndex(int(ovra::project_data::OutputLayout::Stacked));
        exporter->startExport();
        QVERIFY(app.playback()->exportActive());
        QCOMPARE(app.currentOperation(), Operation::Export);
        settings->setAmplificationFactor(3.0);
        QCOMPARE(settings->amplificationFactor(), 10.0);
        QTRY_VERIFY_WITH_TIMEOUT(!exporter->busy(), 120000);
        QVERIFY2(exporter->completed(), qPrintable(exporter->errorMessage()));
        QCOMPARE(exporter->exportRevision(), 1u);
        QCOMPARE(exporter->frameCount(), fragmentEnd - fragmentStart);
        QVERIFY(!analysis->unsaved());
        QVERIFY(ovra::tests::ffprobeDecodedFrameCount(exporter->destinationFilePath()) == fragmentEnd - fragmentStart);
        const QJsonObject parameters
            = QJsonDocument::fromJson(ovra::tests::fileContent(exporter->parametersFilePath())).object();
        const QJsonObject written = parameters.value("processing").toObject().value("fragment").toObject();
        QCOMPARE(written.value("startFrame").toInteger(), fragmentStart);
        QCOMPARE(written.value("endFrameExclusive").toInteger(), fragmentEnd);
        QCOMPARE(parameters.value("measurementScale").toObject(),
                 QJsonObject({{"millimetresPerPixel", 0.04}, {"origin", "typed"}}));
        QCOMPARE(parameters["export"]["layout"].toString(), QStringLiteral("stacked"));
        QCOMPARE(ovra::tests::folderEntries(m_folder.filePath(QStringLiteral("saved"))),
                 QStringList({"result.mp4", "result.mp4.json"}));

        // Saved: another video may be opened now.
        session->openSource(QUrl::fromLocalFile(testMediaPath("cfr25_bframes.mp4")));
        QCOMPARE(session->state(), State::Analyzing);
    }

    void unsavedResultWaitsForTheUsersDecision_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("continued");
        QTest::addColumn<bool>("saved");
        QTest::newRow("cancel keeps result and video") << "open"
                                                       << "cancel" << false << false;
        QTest::newRow("discard opens the other video") << "open"
                                                       << "discard" << true << false;
        QTest::newRow("save opens the other video once saved") << "open"
                                                               << "save" << true << true;
        QTest::newRow("save dialog closed: nothing changes") << "open"
                                                             << "close the save dialog" << false << false;
        QTest::newRow("refused destination: nothing changes") << "open"
                                                              << "refused destination" << false << false;
        QTest::newRow("discard closes the window") << "close"
                                                   << "discard" << true << false;
        QTest::newRow("save closes the window once saved") << "close"
                                                           << "save" << true << true;
    }

    // Opening another video or closing asks first while a result is unsaved. Save pauses the
    // player, asks where, and goes on once the file is written.
    void unsavedResultWaitsForTheUsersDecision()
    {
        QFETCH(QString, action);
        QFETCH(QString, answer);
        ApplicationController app;
        SaveWorkflowController *workflow = app.saveWorkflow();
        createUnsavedResult(app);
        QSignalSpy decision(workflow, &SaveWorkflowController::decisionRequested);
        QSignalSpy destination(workflow, &SaveWorkflowController::destinationRequested);
        QSignalSpy closeApproved(workflow, &SaveWorkflowController::closeApproved);
        const QString other = testMediaPath(QStringLiteral("cfr25_bframes.mp4"));
        if (action == "open")
            workflow->openSource(QUrl::fromLocalFile(other));
        else
            QVERIFY(!workflow->approveClose());
        QTRY_COMPARE(decision.count(), 1); // closing asks once the close event is over
        QCOMPARE(app.videoSession()->filePath(), m_input);

        QTemporaryDir folder;
        const QString target = folder.filePath(answer == "refused destination" ? "result.txt" : "result.mp4");
        if (answer == "cancel") {
            workflow->cancelAction();
        } else if (answer == "discard") {
            workflow->discardAndContinue();
        } else {
            app.playback()->play();
            QTRY_VERIFY(app.playback()->playing());
            workflow->saveAndContinue();
            QTRY_COMPARE(destination.count(), 1);
            QVERIFY(!app.playback()->playing());
            QVERIFY(app.playback()->currentFrameIndex() < fragmentEnd - 1); // paused, not played to its end
            QCOMPARE(destination.first().first().toUrl(), app.exporter()->suggestedFileUrl());
            if (answer == "close the save dialog")
                workflow->cancelSave();
            else
                workflow->saveTo(QUrl::fromLocalFile(target));
            QTRY_VERIFY_WITH_TIMEOUT(!app.exporter()->busy(), 120000);
        }
        QFETCH(bool, continued);
        const auto hasContinued
            = [&] { return action == "open" ? app.videoSession()->filePath() == other : closeApproved.count() == 1; };
        if (continued)
            QTRY_VERIFY(hasContinued());
        else
            QVERIFY(!hasContinued());
        QCOMPARE(workflow->approveClose(), action == "close" && continued);
        QTEST(QFileInfo::exists(target), "saved");
        QCOMPARE(app.analysis()->unsaved(), !continued);
        QCOMPARE(decision.count(), 1);
    }

    // Closing during an analysis asks; yes cancels it and closes once it has stopped.
    void closingDuringAnAnalysisCancelsItFirst()
    {
        ApplicationController app;
        SaveWorkflowController *workflow = app.saveWorkflow();
        openAndWait(app, testMediaPath("long_cfr30.mp4"));
        QVERIFY(app.videoSession()->setCaptureFrameRate(30.0));
        app.processingSettings()->setFrequencyBand(3.0, 5.0);
        app.analysis()->startAnalysis();
        QVERIFY(app.analysis()->busy());
        QSignalSpy busyQuestion(workflow, &SaveWorkflowController::closeDuringOperationRequested);
        QSignalSpy closeApproved(workflow, &SaveWorkflowController::closeApproved);
        QVERIFY(!workflow->approveClose());
        QCOMPARE(busyQuestion.count(), 1);
        workflow->cancelOperationsAndClose();
        QVERIFY(closeApproved.wait(20000));
        QVERIFY(!app.analysis()->busy() && !app.analysis()->ready());
        QVERIFY(workflow->approveClose());
    }

    void sourceAnalysisCanBeCancelledWhileSettingsAreLocked()
    {
        ApplicationController app;
        app.videoSession()->openSource(QUrl::fromLocalFile(testMediaPath("long_cfr30.mp4")));
        QCOMPARE(app.currentOperation(), Operation::SourceAnalysis);
        app.processingSettings()->setAmplificationFactor(7.0);
        QCOMPARE(app.processingSettings()->amplificationFactor(), 5.0);
        QVERIFY(app.cancelCurrentOperation()); // the states on the way: tst_videocontrollers
        QTRY_COMPARE_WITH_TIMEOUT(app.videoSession()->state(), State::Cancelled, 20000);
        QCOMPARE(app.currentOperation(), Operation::None);
        QVERIFY(!app.cancelCurrentOperation());
        app.processingSettings()->setAmplificationFactor(7.0);
        QCOMPARE(app.processingSettings()->amplificationFactor(), 7.0);
    }

    // The spectrum of the vibrating video finds its line; picking that peak sets the band around it.
    void spectrumPeakSetsTheBand()
    {
        ApplicationController app;
        auto *spectrum = app.spectrum();
        auto *settings = app.processingSettings();
        openAndWait(app, m_input);
        QVERIFY(app.videoSession()->setCaptureFrameRate(60.0));
        QSignalSpy result(spectrum, &SpectrumController::resultChanged);
        QVERIFY(spectrum->analyze());
        QVERIFY(!spectrum->analyze());
        QVERIFY2(result.wait(60000), qPrintable(spectrum->errorMessage()));
        QVERIFY(spectrum->ready() && !spectrum->stale() && !spectrum->busy());
        const double peak = spectrum->peakFrequencies().value(0);
        QVERIFY2(std::abs(peak - pattern.frequencyHz) <= spectrum->resolutionHz(), qPrintable(QString::number(peak)));
        checkMillimetres(app);
        QVERIFY(spectrum->selectPeak(0));
        QCOMPARE(settings->lowerFrequencyHz(), 0.9 * peak);
        QCOMPARE(settings->upperFrequencyHz(), 1.1 * peak);
        // Compensating the camera's motion measures other motion.
        settings->setCameraMotion(ovra::ui::controllers::ProcessingSettingsController::CameraMotion::WholeFrame);
        QVERIFY(spectrum->stale());
        settings->setCameraMotion(ovra::ui::controllers::ProcessingSettingsController::CameraMotion::Off);
        QVERIFY(!spectrum->stale());
        // Another region: the spectrum shown no longer describes it, and its peaks are not offered.
        QVERIFY(settings->setRegionOfInterest(0.5, 0.0, 0.5, 1.0));
        QVERIFY(spectrum->stale());
        QVERIFY(!spectrum->selectPeak(0));

        // Another video starts without a scale.
        openAndWait(app, m_input);
        QCOMPARE(app.measurementScale()->origin(), MeasurementScaleController::Origin::None);
        QVERIFY(!app.measurementScale()->hasLine() && !spectrum->measurementScale());
    }

    // A shaking camera compensated against the whole frame: the result tells how far it moved,
    // and the source side shows, on request, its frames as the result saw them.
    void shakingCameraIsCompensated()
    {
        ovra::tests::ShakingScene scene;
        scene.frameCount = 120;
        const QString path = m_folder.filePath(QStringLiteral("shaking.mkv"));
        QString error;
        QVERIFY2(ovra::tests::writeFramesVideo(path, scene.frames(), scene.frameRate, &error), qPrintable(error));
        ApplicationController app;
        openAndWait(app, path);
        QVERIFY(app.videoSession()->setCaptureFrameRate(scene.frameRate));
        app.processingSettings()->setFrequencyBand(9.0, 13.0);
        app.processingSettings()->setCameraMotion(
            ovra::ui::controllers::ProcessingSettingsController::CameraMotion::WholeFrame);
        auto *analysis = app.analysis();
        analysis->startAnalysis();
        QVERIFY2(analysis->busy(), qPrintable(analysis->errorMessage()));
        QTRY_VERIFY_WITH_TIMEOUT(!analysis->busy(), 120000);
        QVERIFY2(analysis->ready(), qPrintable(analysis->errorMessage()));
        ovra::project_data::ProcessingRequest request;
        QVERIFY(analysis->exportRequest(&request));
        const std::vector<QTransform> &transforms = request.sourceResult->cameraTransforms();
        QCOMPARE(transforms.size(), size_t(scene.frameCount));
        const auto moved = ovra::motion_core::summarizeCameraMotion(transforms, scene.frameSize, 1.0);
        QVERIFY2(moved.peakPixels > 1.0 && moved.peakPixels < 6.0, qPrintable(QString::number(moved.peakPixels)));
        QVERIFY(analysis->cameraMotionMeasured());
        QCOMPARE(analysis->cameraMotionRmsPixels(), moved.rmsPixels);
        QCOMPARE(analysis->cameraMotionPeakPixels(), moved.peakPixels);

        auto *playback = app.playback();
        QTRY_VERIFY_WITH_TIMEOUT(playback->stabilizedSourceAvailable() && playback->canNavigate(), 20000);
        const qint64 frame = 60;
        QCOMPARE(ControllerTestAccess::navigate(playback, [&] { playback->seekToFraction(frame / 119.0); }), frame);
        const QImage recorded = playback->currentFrame();
        QCOMPARE(ControllerTestAccess::navigate(playback, [&] { playback->setSourceStabilized(true); }), frame);
        QVERIFY(playback->sourceStabilized());
        QCOMPARE(playback->currentFrame(), ovra::motion_core::warpFrame(recorded, transforms[size_t(frame)]));
        QVERIFY(ovra::tests::maximumChannelDifference(playback->currentFrame(), recorded) > 16);
        QCOMPARE(ControllerTestAccess::navigate(playback, [&] { playback->setSourceStabilized(false); }), frame);
        QCOMPARE(playback->currentFrame(), recorded);
    }

    // The line is measured in pixels of the upright picture as it is shown: the rotated file's 7:6
    // pixels stand upright as 420 pixels 6/7 wide, 640 high.
    void lineIsMeasuredAsTheFrameIsShown_data()
    {
        QTest::addColumn<QPointF>("end");
        QTest::addColumn<double>("pixels");
        QTest::newRow("across") << QPointF(1.0, 0.0) << 360.0;
        QTest::newRow("down") << QPointF(0.0, 1.0) << 640.0;
    }

    void lineIsMeasuredAsTheFrameIsShown()
    {
        QFETCH(QPointF, end);
        QFETCH(double, pixels);
        ApplicationController app;
        openAndWait(app, testMediaPath("sar_7_6_rotated_90.mp4"));
        MeasurementScaleController *scale = app.measurementScale();
        QVERIFY(scale->setLine(QPointF(0.0, 0.0), end));
        QVERIFY(scale->setLineMillimetres(pixels / 2.0));
        QCOMPARE(scale->linePixels(), pixels);
        QCOMPARE(scale->millimetresPerPixel(), 0.5);
    }

    // Every refused entry says why and keeps the scale calibrated before it.
    void scaleRefusalsKeepTheScale_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QPointF>("start");
        QTest::addColumn<QPointF>("end");
        QTest::addColumn<double>("value");
        const QPointF centre(0.5, 0.5);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("typed zero") << "typed" << centre << centre << 0.0;
        QTest::newRow("typed negative") << "typed" << centre << centre << -0.1;
        QTest::newRow("typed not a number") << "typed" << centre << centre << nan;
        QTest::newRow("line shorter than a pixel") << "line" << centre << QPointF(0.5 + 0.9 / 128, 0.5) << 0.0;
        QTest::newRow("line leaving the frame") << "line" << centre << QPointF(1.2, 0.5) << 0.0;
        QTest::newRow("length zero") << "length" << centre << centre << 0.0;
        QTest::newRow("length infinite") << "length" << centre << centre << std::numeric_limits<double>::infinity();
    }

    void scaleRefusalsKeepTheScale()
    {
        QFETCH(QString, entry);
        QFETCH(QPointF, start);
        QFETCH(QPointF, end);
        QFETCH(double, value);
        ApplicationController app;
        openAndWait(app, m_input);
        MeasurementScaleController *scale = app.measurementScale();
        QVERIFY(scale->setLine(QPointF(0.0, 0.0), QPointF(0.75, 0.0))); // 96 px
        QVERIFY(scale->setLineMillimetres(48.0));
        QSignalSpy changed(scale, &MeasurementScaleController::scaleChanged);
        const bool accepted = entry == "typed" ? scale->setTypedScale(value)
            : entry == "line"                  ? scale->setLine(start, end)
                                               : scale->setLineMillimetres(value);
        QVERIFY(!accepted);
        QVERIFY(!scale->message().isEmpty());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(scale->origin(), MeasurementScaleController::Origin::Line);
        QCOMPARE(scale->millimetresPerPixel(), 0.5);
        QCOMPARE(scale->lineEnd(), QPointF(0.75, 0.0));
        QCOMPARE(app.spectrum()->measurementScale()->millimetresPerPixel, 0.5);
    }

    // The map of the vibrating video reads its motion tile by tile, in mm too with a scale; it
    // turns stale with the band it was made of and the region, and its files never overwrite.
    void vibrationMapOfTheVibratingVideo()
    {
        ApplicationController app;
        auto *map = app.vibrationMap();
        auto *settings = app.processingSettings();
        openAndWait(app, m_input);
        QVERIFY(app.videoSession()->setCaptureFrameRate(60.0));
        settings->setFrequencyBand(8.0, 12.0);
        QSignalSpy result(map, &VibrationMapController::resultChanged);
        QVERIFY(map->analyze());
        QVERIFY(!map->analyze());
        QVERIFY2(result.wait(60000), qPrintable(map->errorMessage()));
        QCOMPARE(map->state(), VibrationMapController::State::Ready);
        const QList<QRectF> rects = map->tileRects();
        QCOMPARE(rects.size(), qsizetype(map->result().map.tiles.size()));
        const auto middle
            = std::find_if(rects.begin(), rects.end(), [](const QRectF &r) { return r.contains(0.5, 0.5); });
        QVERIFY(middle != rects.end());
        const int index = int(middle - rects.begin());
        const auto &tile = map->result().map.tiles[size_t(index)];
        QVERIFY(tile.textured);
        QVERIFY2(std::abs(tile.amplitudePixels - pattern.amplitudePixels) < 0.15 * pattern.amplitudePixels,
                 qPrintable(QString::number(tile.amplitudePixels)));
        QVERIFY(!map->tileText(index).contains("mm") && !map->tileText(index).contains("µm"));
        QVERIFY(app.measurementScale()->setTypedScale(0.1)); // the window's scale reaches the map
        QVERIFY2(map->tileText(index).startsWith(ovra::processing::lengthText(0.1 * tile.amplitudePixels)),
                 qPrintable(map->tileText(index)));
        QVERIFY(map->largestAmplitudeText().contains("µm"));
        // The overlay colours the middle of the frame and keeps its shape.
        const QImage overlay = map->overlay();
        QCOMPARE(overlay.width() * pattern.frameSize.height(), overlay.height() * pattern.frameSize.width());
        QVERIFY(qAlpha(overlay.pixel(overlay.width() / 2, overlay.height() / 2)) == 255);

        const QString picture = m_folder.filePath("map.png");
        QVERIFY2(map->exportTo(QUrl::fromLocalFile(picture)), qPrintable(map->exportMessage()));
        QCOMPARE(QImage(picture).width(), pattern.frameSize.width());
        QFile table(m_folder.filePath("map.csv"));
        QVERIFY(table.open(QIODevice::ReadOnly));
        QCOMPARE(table.readAll().count('\n'), qsizetype(rects.size() + 1));
        QVERIFY(!map->exportTo(QUrl::fromLocalFile(picture)));
        QVERIFY(map->exportMessage().contains(picture));
        // Neither file is written when the other one exists.
        QFile existing(m_folder.filePath("other.csv"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        QVERIFY(!map->exportTo(QUrl::fromLocalFile(m_folder.filePath("other.png"))));
        QVERIFY(!QFileInfo::exists(m_folder.filePath("other.png")));

        settings->setFrequencyBand(8.0, 13.0);
        QVERIFY(map->stale());
        settings->setFrequencyBand(8.0, 12.0);
        QVERIFY(!map->stale());
        settings->setCameraMotion(ovra::ui::controllers::ProcessingSettingsController::CameraMotion::ReferenceRegion);
        QVERIFY(map->stale());
        settings->setCameraMotion(ovra::ui::controllers::ProcessingSettingsController::CameraMotion::Off);
        QVERIFY(!map->stale());
        // A map of a picked frequency does not follow the settings' band.
        QVERIFY(map->analyzeAround(10.0));
        QVERIFY(result.wait(60000));
        QCOMPARE(map->resultRequest().lowerFrequencyHz, 9.0);
        settings->setFrequencyBand(8.0, 13.0);
        QVERIFY(!map->stale());
        // The spot's spectrum: the tile and its neighbours, which a change of the region leaves current.
        auto *spectrum = app.spectrum();
        QSignalSpy spectrumResult(spectrum, &SpectrumController::resultChanged);
        QVERIFY(map->showSpectrumAt(index));
        QVERIFY(spectrumResult.wait(60000));
        const QRectF spot = spectrum->resultRequest().regionOfInterest;
        QVERIFY(spot.contains(rects[index]) && spot.width() <= 3 * rects[index].width() + 1e-9);
        QVERIFY(spectrum->spot() && !spectrum->stale());
        QVERIFY(std::abs(spectrum->peakFrequencies().value(0) - pattern.frequencyHz) <= spectrum->resolutionHz());
        QVERIFY(settings->setRegionOfInterest(0.5, 0.0, 0.5, 1.0));
        QVERIFY(map->stale() && !spectrum->stale());
        QVERIFY(spectrum->analyzeAgain());
        QCOMPARE(spectrum->latestRequest().regionOfInterest, spot);
    }

    // A cancelled map leaves nothing and no error; a map started over a running one replaces it;
    // the answer of a run for a video opened again is dropped.
    void vibrationMapRunsEndAsAsked()
    {
        ApplicationController app;
        auto *map = app.vibrationMap();
        openAndWait(app, testMediaPath("long_cfr30.mp4"));
        QVERIFY(app.videoSession()->setCaptureFrameRate(30.0));
        app.processingSettings()->setFrequencyBand(3.0, 5.0);
        QVERIFY(app.analysisFragment()->setRangeFrames(0, 300));
        QVERIFY(map->analyze());
        map->cancel();
        QCOMPARE(map->state(), VibrationMapController::State::Cancelling);
        QTRY_VERIFY_WITH_TIMEOUT(!map->busy(), 20000);
        QCOMPARE(map->state(), VibrationMapController::State::Available);
        QSignalSpy result(map, &VibrationMapController::resultChanged);
        QVERIFY(map->analyze());
        QVERIFY(map->analyzeAround(4.5));
        QVERIFY(result.wait(60000));
        QCOMPARE(result.count(), 1);
        QCOMPARE(map->resultRequest().upperFrequencyHz, 4.95);
        QVERIFY(map->analyze());
        app.videoSession()->openSource(QUrl::fromLocalFile(testMediaPath("long_cfr30.mp4")));
        QTRY_VERIFY_WITH_TIMEOUT(!map->busy(), 20000);
        QVERIFY(!map->ready() && map->errorMessage().isEmpty());
        QCOMPARE(result.count(), 2); // the one map cleared with its video, none adopted after
    }

    void shutdownStopsTheWorkers_data()
    {
        QTest::addColumn<QString>("work");
        QTest::newRow("preview") << "preview";
        QTest::newRow("export") << "export";
        QTest::newRow("spectrum") << "spectrum";
        QTest::newRow("map") << "map";
    }

    void shutdownStopsTheWorkers()
    {
        QFETCH(QString, work);
        const QString destination = m_folder.filePath(work + "-shutdown");
        QVERIFY(QDir().mkpath(destination));
        auto app = std::make_unique<ApplicationController>();
        openAndWait(*app, testMediaPath("long_cfr30.mp4"));
        QVERIFY(app->videoSession()->setCaptureFrameRate(30.0));
        app->processingSettings()->setFrequencyBand(3.0, 5.0);
        QVERIFY(app->analysisFragment()->setRangeFrames(0, work == "export" ? 300 : 900));
        if (work == "spectrum") {
            auto *spectrum = app->spectrum();
            QVERIFY(spectrum->analyze());
            spectrum->cancel();
            QTRY_VERIFY_WITH_TIMEOUT(!spectrum->busy(), 20000);
            QVERIFY(!spectrum->ready() && spectrum->errorMessage().isEmpty());
            QVERIFY(spectrum->analyze());
            QTRY_VERIFY_WITH_TIMEOUT(spectrum->progress() > 0.0, 60000);
        } else if (work == "map") {
            QVERIFY(app->vibrationMap()->analyze());
            QTRY_VERIFY_WITH_TIMEOUT(app->vibrationMap()->progress() > 0.0, 60000);
        } else if (work == "export") {
            app->analysis()->startAnalysis();
            QTRY_VERIFY_WITH_TIMEOUT(app->analysis()->ready(), 120000);
            QTRY_VERIFY_WITH_TIMEOUT(app->exporter()->available(), 20000);
            QVERIFY(app->exporter()->setDestination(QUrl::fromLocalFile(destination + "/out.mp4")));
            app->exporter()->startExport();
            QTRY_VERIFY_WITH_TIMEOUT(app->exporter()->progress() > 0.0, 60000);
        } else {
            app->analysis()->startAnalysis();
            QTRY_VERIFY_WITH_TIMEOUT(app->analysis()->progress() > 0.0, 60000);
        }
        QVERIFY(app->analysis()->busy() || app->exporter()->busy() || app->spectrum()->busy()
                || app->vibrationMap()->busy());
        QElapsedTimer shutdown;
        shutdown.start();
        app.reset();
        QVERIFY2(shutdown.elapsed() < 10000, qPrintable(QString::number(shutdown.elapsed())));
        QCOMPARE(ovra::tests::folderEntries(destination), QStringList());
        QCOMPARE(ownResultStores(), 0);
    }
};

QTEST_MAIN(UserFlowTest)
#include "tst_userflow.moc"
