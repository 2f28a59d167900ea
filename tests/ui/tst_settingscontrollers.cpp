#include "ControllerTestAccess.h"

#include "motion_core/TemporalBandpassFilter.h"
#include "project_data/ProcessingRecords.h"
#include "ui/controllers/AnalysisFragmentController.h"
#include "ui/controllers/ProcessingSettingsController.h"

#include <QLocale>
#include <QSignalSpy>
#include <QtTest>

using ovra::media::VideoMetadata;
using ovra::ui::controllers::AnalysisFragmentController;
using ovra::ui::controllers::ProcessingSettingsController;
using ovra::ui::controllers::VideoSessionController;

namespace {

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

    explicit Controllers(const VideoMetadata &metadata = video(1000)) { ControllerTestAccess::makeReady(&session, metadata); }
};

} // namespace

class SettingsControllersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void fragmentStartsAtTheUniformPart()
    {
        Controllers c(video(1000, 37));
        QCOMPARE(c.fragment.startFrame(), 37);
        QCOMPARE(c.fragment.endFrameExclusive(), 1000);
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
        QVERIFY(!one.fragment.setRangeFrames(0, 1) && !one.fragment.setStartFrame(0) && !one.fragment.setEndFrameInclusive(0));
    }

    // The rules are tested where they live (tst_processingsettings); these prove that the
    // controller reports a refusal and a warning, and stores what it was given.
    void messages_data()
    {
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QString>("validation");
        QTest::addColumn<QString>("warning");
        QTest::newRow("near Nyquist") << 100.0 << 5.0 << QString()
                                      << "The selected band is close to Nyquist; reliable frequency separation may be poor.";
        QTest::newRow("factor 60") << 14.0 << 60.0 << "Amplification factor must be between 1 and 50." << QString();
        QTest::newRow("at Nyquist") << 120.0 << 5.0 << "Upper frequency must be below the Nyquist frequency of 120.00 Hz."
                                    << QString();
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

    void shortFragment()
    {
        Controllers c;
        const qint64 required = c.settings.requiredMinimumFrameCount();
        const qint64 recommended = c.settings.recommendedMinimumFrameCount();
        QVERIFY(2 < required && required < recommended);
        QVERIFY(c.fragment.setRangeFrames(0, required - 1));
        QVERIFY(!c.settings.fragmentDurationSufficient());
        QCOMPARE(c.settings.fragmentValidationMessage(),
                 QStringLiteral("Select at least %1 frames for this frequency band.").arg(required));
        // Between the required and the recommended length: valid, with a warning.
        QVERIFY(c.fragment.setRangeFrames(0, required));
        QVERIFY(c.settings.settingsValid());
        QVERIFY(c.settings.fragmentValidationMessage().isEmpty());
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
        QCOMPARE(changed.count(), 0);
        QCOMPARE(c.settings.workerThreadCount(), 0);
        QCOMPARE(c.settings.regionOfInterest(), QRectF(0, 0, 1, 1));
        QVERIFY(c.settings.setRegionOfInterest(0.2, 0.2, 0.5, 0.5));
        QVERIFY(c.settings.regionCustomized());
        QCOMPARE(changed.count(), 1);
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
        QCOMPARE(c.fragment.endFrameExclusive(), 500);
    }
};

QTEST_MAIN(SettingsControllersTest)
#include "tst_settingscontrollers.moc"
