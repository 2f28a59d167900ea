#include "TestMedia.h"

#include "ovra/Version.h"
#include "processing/ProcessingParametersWriter.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

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

} // namespace

class ProcessingParametersWriterTest : public QObject
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
};

QTEST_GUILESS_MAIN(ProcessingParametersWriterTest)
#include "tst_processingparameterswriter.moc"
