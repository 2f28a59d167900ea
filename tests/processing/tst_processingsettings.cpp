#include "TestMedia.h"

#include "ovra/Version.h"
#include "processing/ProcessingParametersWriter.h"
#include "processing/SettingsValidation.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <functional>

using ovra::media::VideoMetadata;
using ovra::motion_core::MotionSettings;
using ovra::processing::ProcessingParametersWriter;
using ovra::project_data::ProcessingRequest;
using ovra::tests::fileContent;
using ovra::tests::verifyRefusal;
using ovra::tests::writeFile;

namespace {

ProcessingRequest knownRequest()
{
    ProcessingRequest request;
    ovra::media::VideoMetadata &source = request.sourceMetadata;
    source.filePath = QStringLiteral("/data/pump.mp4");
    source.containerName = QStringLiteral("mov,mp4,m4a,3gp,3g2,mj2");
    source.codecName = QStringLiteral("h264");
    source.frameSize = QSize(1920, 1080);
    source.durationUs = 100000000;
    source.frameCount = 3000;
    source.nominalFrameRate = source.detectedCaptureFrameRate = source.captureFrameRate = 30.0;
    source.captureFrameRateManual = true;
    source.uniformStartFrame = 0;
    request.settings.startFrame = 30;
    request.settings.endFrameExclusive = 630;
    request.settings.playbackStartUs = 1000000;
    request.settings.playbackEndUs = 21000000;
    request.settings.regionOfInterest = QRectF(0.25, 0.5, 0.5, 0.25);
    request.settings.lowerFrequencyHz = 9.0;
    request.settings.upperFrequencyHz = 14.0;
    request.settings.amplificationFactor = 5.0;
    request.settings.rotationSpeedRpm = 3000.0;
    request.settings.workerThreadCount = 2;
    request.outputVideoPath = QStringLiteral("/out/clip.mp4");
    request.parametersFilePath = QStringLiteral("/out/clip.mp4.json");
    return request;
}

QJsonObject expectedDocument()
{
    QJsonObject document = QJsonDocument::fromJson(R"({
        "schemaVersion": 1,
        "application": {"name": "ovra-motion", "version": "set below"},
        "algorithm": {"name": "Riesz phase magnification", "version": "riesz-phase-cpu-0.4"},
        "source": {"filePath": "/data/pump.mp4", "container": "mov,mp4,m4a,3gp,3g2,mj2", "videoCodec": "h264",
            "width": 1920, "height": 1080, "durationUs": 100000000, "frameCount": 3000, "nominalFrameRate": 30,
            "averagePlaybackFrameRate": 30, "detectedCaptureFrameRate": 30, "captureFrameRate": 240,
            "captureFrameRateManual": true, "slowMotionPlaybackIntent": false, "estimatedRecordingDurationUs": 0,
            "averageSlowMotionFactor": 0, "variableFrameRate": false, "uniformStartFrame": 0},
        "processing": {
            "fragment": {"startFrame": 30, "endFrameExclusive": 630, "startTimeUs": 1000000, "endTimeUs": 21000000,
                         "processedFrameCount": 600},
            "regionCoordinateSpace": "decodedFrameNormalizedTopLeft",
            "regionOfInterest": {"x": 0.25, "y": 0.5, "width": 0.5, "height": 0.25},
            "regionProcessingOptimizationEnabled": true, "expandedRegionAmplificationFactor": 2.5,
            "stabilizationReferenceRegion": null, "lowerFrequencyHz": 9, "upperFrequencyHz": 14,
            "amplificationFactor": 5, "rotationSpeedRpm": 3000, "rotationFrequencyHz": 50,
            "workerThreadCount": 2, "effectiveWorkerThreadCount": 2, "workerThreadMode": "manual"},
        "export": {"videoFilePath": "/out/clip.mp4", "container": "mp4", "videoCodec": "h264", "qualityPercent": 75,
            "includeAudio": false, "preserveFrameSize": true, "preserveFrameRate": true, "playbackFrameRate": 30,
            "watermark": {"enabled": true, "text": "set below", "position": "bottomRight",
                          "maximumWidthRatio": 0.28, "marginRatio": 0.02}},
        "recording": {"equipmentType": "", "equipmentDesignation": "", "inspectedComponent": "",
                      "recordingDateTime": "", "operatingMode": "", "loadDescription": "", "comment": ""}
    })").object();
    // The version the build generated, not a number copied into the test.
    document["application"] = QJsonObject{{"name", OVRA_APPLICATION_NAME},
                                          {"version", OVRA_VERSION " build " OVRA_BUILD_NUMBER}};
    QJsonObject exported = document["export"].toObject();
    QJsonObject watermark = exported["watermark"].toObject();
    watermark["text"] = OVRA_DISPLAY_NAME;
    exported["watermark"] = watermark;
    document["export"] = exported;
    return document;
}

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

// The rules a request's settings must meet, and the file that records them.
class ProcessingSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void writesExactlyTheKnownContentIntoTheReservedFile()
    {
        QTemporaryDir folder;
        const QString staging = folder.filePath(".clip.mp4.json.staging.json");
        QVERIFY(writeFile(staging, {}));
        const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
        QString error = QStringLiteral("stale");
        const ProcessingRequest request = knownRequest();
        QVERIFY(
            ProcessingParametersWriter::writeStagingFile(staging, request, request.sourceMetadata, 240.0, 600, &error));
        QVERIFY(error.isEmpty());
        const QByteArray bytes = fileContent(staging);
        QJsonObject document = QJsonDocument::fromJson(bytes).object();
        const QString created = document.take(QStringLiteral("createdAtUtc")).toString();
        QCOMPARE(document, expectedDocument());
        const QDateTime createdAt = QDateTime::fromString(created, Qt::ISODateWithMs);
        QVERIFY(createdAt >= before && createdAt <= QDateTime::currentDateTimeUtc());
        QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)").match(created).hasMatch(),
                 qPrintable(created));
        QVERIFY(bytes.contains("\n    \"algorithm\": {\n        \"name\"")); // indented
    }

    void optionalParts()
    {
        ProcessingRequest request = knownRequest();
        request.settings.regionProcessingOptimizationEnabled = false;
        request.settings.cameraMotionCompensationEnabled = true;
        request.settings.stabilizationReferenceRegion = QRectF(0.1, 0.2, 0.3, 0.4);
        request.settings.workerThreadCount = 0;
        request.recording.recordingDateTime = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC);
        request.recording.comment = QStringLiteral("bearing 2");
        const QJsonObject document = QJsonDocument::fromJson(ProcessingParametersWriter::buildParametersDocument(
                                                                 request, request.sourceMetadata, 30.0, 600))
                                         .object();
        const QJsonObject processing = document["processing"].toObject();
        QVERIFY(processing["expandedRegionAmplificationFactor"].isNull());
        QCOMPARE(processing["stabilizationReferenceRegion"].toObject(),
                 QJsonObject({{"x", 0.1}, {"y", 0.2}, {"width", 0.3}, {"height", 0.4}}));
        QCOMPARE(processing["effectiveWorkerThreadCount"].toInt(), std::max(1, QThread::idealThreadCount()));
        QCOMPARE(processing["workerThreadMode"].toString(), QStringLiteral("automatic"));
        const QJsonObject recording = document["recording"].toObject();
        QCOMPARE(recording["recordingDateTime"].toString(), QStringLiteral("2026-03-04T05:06:07.089Z"));
        QCOMPARE(recording["comment"].toString(), QStringLiteral("bearing 2"));
        // At the file's own rate the recording duration can be estimated.
        const QJsonObject source = document["source"].toObject();
        QCOMPARE(source["estimatedRecordingDurationUs"].toInteger(), 100000000);
        QCOMPARE(source["averageSlowMotionFactor"].toDouble(), 1.0);
    }

    void refusesAnythingButAnEmptyReservation_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"missing", "not empty", "symbolic link", "directory"})
            QTest::newRow(kind) << QString(kind);
    }

    void refusesAnythingButAnEmptyReservation()
    {
        QFETCH(QString, kind);
        QTemporaryDir folder;
        const QString staging = folder.filePath("staging.json");
        if (kind == "not empty")
            QVERIFY(writeFile(staging, "keep"));
        else if (kind == "symbolic link")
            QVERIFY(writeFile(folder.filePath("target.json"), {})
                    && QFile::link(folder.filePath("target.json"), staging));
        else if (kind == "directory")
            QVERIFY(QDir(folder.path()).mkdir("staging.json"));
        QString error;
        const ProcessingRequest request = knownRequest();
        verifyRefusal(
            ProcessingParametersWriter::writeStagingFile(staging, request, request.sourceMetadata, 240.0, 600, &error),
            error, QStringLiteral("The reserved staging JSON file is missing or is not empty."));
        if (kind == "not empty")
            QCOMPARE(fileContent(staging), QByteArray("keep"));
    }

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

QTEST_GUILESS_MAIN(ProcessingSettingsTest)
#include "tst_processingsettings.moc"
