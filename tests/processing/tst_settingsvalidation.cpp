#include "processing/SettingsValidation.h"

#include <QtTest>

#include <functional>

using ovra::media::VideoMetadata;
using ovra::motion_core::MotionSettings;

namespace {

struct Case
{
    VideoMetadata metadata;
    MotionSettings settings;
    double captureFps = 600.0;
};

using Change = std::function<void(Case &)>;

// Two seconds of a 600 fps recording and a band around a plucked string's 72-92 Hz.
Case validCase()
{
    Case c;
    c.metadata.frameCount = 1200;
    c.metadata.frameSize = QSize(640, 480);
    c.settings.startFrame = 0;
    c.settings.endFrameExclusive = 1200;
    c.settings.lowerFrequencyHz = 72.0;
    c.settings.upperFrequencyHz = 92.0;
    c.settings.amplificationFactor = 5.0;
    return c;
}

} // namespace

Q_DECLARE_METATYPE(Change)

class SettingsValidationTest : public QObject
{
    Q_OBJECT

private slots:
    // The rules the settings controller's tests do not reach.
    void rulesAndMessages_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("warning");
        const QString shortBurst = "The fragment is shorter than the recommended %1 frames (two seconds of capture "
                                   "time): the frequency filter has little time to settle, so results are less "
                                   "reliable.";
        QTest::newRow("two seconds at 600 fps") << Change([](Case &) {}) << QString() << QString();
        QTest::newRow("1.5 s at 5000 fps") << Change([](Case &c) {
            c.captureFps = 5000.0;
            c.metadata.frameCount = c.settings.endFrameExclusive = 7500;
        }) << QString() << shortBurst.arg(10000);
        QTest::newRow("fewer frames than five periods plus settling")
            << Change([](Case &c) { c.settings.endFrameExclusive = 85; })
            << "The selected fragment is too short for this frequency band. Select at least 86 frames." << QString();
        QTest::newRow("irregular head") << Change([](Case &c) {
            c.metadata.variableFrameRate = true;
            c.metadata.uniformStartFrame = 10;
        }) << "The selected fragment contains irregular frame intervals. Select a verified uniform section."
                                        << QString();
        QTest::newRow("capture rate unknown") << Change([](Case &c) { c.captureFps = 0.0; })
            << "Enter the camera capture frame rate before choosing the frequency band." << QString();
        QTest::newRow("fragment past the end") << Change([](Case &c) { c.settings.endFrameExclusive = 1201; })
                                               << "Choose a valid analysis fragment." << QString();
        QTest::newRow("region too small")
            << Change([](Case &c) { c.settings.regionOfInterest = QRectF(0.5, 0.5, 0.001, 0.001); })
            << "Choose a valid amplification region." << QString();
        QTest::newRow("lower edge 0") << Change([](Case &c) { c.settings.lowerFrequencyHz = 0.0; })
                                      << "Lower frequency must be greater than 0 Hz." << QString();
        QTest::newRow("edges swapped") << Change([](Case &c) { c.settings.upperFrequencyHz = 70.0; })
                                       << "Upper frequency must be greater than lower frequency." << QString();
        QTest::newRow("factor 25") << Change([](Case &c) { c.settings.amplificationFactor = 25.0; }) << QString()
                                   << "High amplification may produce visible artifacts.";
        QTest::newRow("factor 1") << Change([](Case &c) { c.settings.amplificationFactor = 1.0; }) << QString()
                                  << "An amplification factor of 1 leaves motion unchanged.";
    }

    void rulesAndMessages()
    {
        QFETCH(Change, change);
        QFETCH(QString, refusal);
        Case c = validCase();
        change(c);
        QCOMPARE(ovra::processing::settingsValidationMessage(c.metadata, c.settings, c.captureFps), refusal);
        if (refusal.isEmpty())
            QTEST(ovra::processing::settingsWarningMessage(c.settings, c.captureFps), "warning");
    }

    void rotationBands_data()
    {
        QTest::addColumn<double>("rpm");
        QTest::addColumn<int>("harmonic");
        QTest::addColumn<double>("halfWidth");
        QTest::addColumn<double>("lower"); // 0: refused
        QTest::addColumn<double>("upper");
        QTest::newRow("third harmonic") << 600.0 << 3 << 10.0 << 27.0 << 33.0;
        QTest::newRow("past Nyquist at 60 fps") << 1700.0 << 1 << 10.0 << 0.0 << 0.0;
        QTest::newRow("no width") << 600.0 << 1 << 0.0 << 0.0 << 0.0;
        QTest::newRow("speed below 500 RPM") << 400.0 << 1 << 10.0 << 0.0 << 0.0;
    }

    void rotationBands()
    {
        QFETCH(double, rpm);
        QFETCH(int, harmonic);
        QFETCH(double, halfWidth);
        QFETCH(double, lower);
        MotionSettings settings;
        settings.rotationSpeedRpm = rpm;
        double lowerHz = 0.0;
        double upperHz = 0.0;
        const bool usable = ovra::processing::rotationBand(settings, harmonic, halfWidth, harmonic == 3 ? 100.0 : 60.0,
                                                           &lowerHz, &upperHz);
        QCOMPARE(usable, lower > 0.0);
        QCOMPARE(lowerHz, lower);
        QTEST(upperHz, "upper");
    }
};

QTEST_GUILESS_MAIN(SettingsValidationTest)
#include "tst_settingsvalidation.moc"
