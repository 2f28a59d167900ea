#include "TestMedia.h"

#include "media/libav/LibavVideoSource.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using ovra::tests::testMediaPath;

namespace {

struct CliRun
{
    int exitCode = -1;
    QByteArray output;
    QString errors;
};

CliRun runCli(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(OVRA_CLI_PATH), arguments);
    CliRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.output = process.readAllStandardOutput();
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QJsonObject probe(const QStringList &arguments)
{
    const CliRun run = runCli(QStringList{QStringLiteral("probe")} + arguments);
    if (run.exitCode != 0)
        qWarning("probe failed: %s", qPrintable(run.errors));
    return QJsonDocument::fromJson(run.output).object();
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void probePrintsEveryFieldAndDerivedQuantity()
    {
        const QJsonObject json = probe({testMediaPath("cfr25_bframes.mp4")});
        const QStringList expectedKeys{
            "filePath", "containerName", "codecName", "frameSize", "durationUs", "frameCount", "nominalFrameRate",
            "detectedCaptureFrameRate", "captureFrameRate", "captureFrameRateManual", "slowMotionPlaybackIntent",
            "variableFrameRate", "frameTimestampCount", "uniformStartFrame", "rotationDegrees", "hasValidFrameSize",
            "hasTiming", "hasTimeGrid", "playbackFrameRate", "playbackDurationUs", "captureFrameRateKnown",
            "effectiveFrameRate", "captureTimingMapRequired", "estimatedRecordingDurationUs",
            "averageSlowMotionFactor"};
        QStringList keys = json.keys();
        QStringList sortedExpected = expectedKeys;
        keys.sort();
        sortedExpected.sort();
        QCOMPARE(keys, sortedExpected);
        QCOMPARE(json["frameCount"].toInteger(), 100);
        QCOMPARE(json["frameTimestampCount"].toInteger(), 100);
        QCOMPARE(json["frameSize"].toObject()["width"].toInt(), 320);
        QCOMPARE(json["frameSize"].toObject()["height"].toInt(), 240);
        QCOMPARE(json["durationUs"].toInteger(), 4000000);
        QCOMPARE(json["captureFrameRate"].toDouble(), 25.0);
        QCOMPARE(json["estimatedRecordingDurationUs"].toInteger(), 4000000);
        QCOMPARE(json["uniformStartFrame"].toInteger(), 0);
        QCOMPARE(json["codecName"].toString(), QStringLiteral("h264"));
    }

    void probeListsTimestampsOnRequest()
    {
        const QJsonObject json = probe({testMediaPath("vfr_irregular_head.mp4"), "--timestamps"});
        const QJsonArray timestamps = json["frameTimestamps"].toArray();
        QCOMPARE(timestamps.size(), 80);
        QCOMPARE(json["frameTimestampCount"].toInteger(), 80);
        for (int i = 1; i < timestamps.size(); ++i)
            QVERIFY(timestamps[i].toInteger() > timestamps[i - 1].toInteger());
        QCOMPARE(timestamps[10].toInteger() - timestamps[9].toInteger(), 15000 - (9 * 1500 + 390));
        QCOMPARE(json["uniformStartFrame"].toInteger(), 10);
        QCOMPARE(json["variableFrameRate"].toBool(), true);
    }

    void probeReportsRotation()
    {
        const QJsonObject json = probe({testMediaPath("rotated_270.mp4")});
        QCOMPARE(json["rotationDegrees"].toInt(), 270);
        QCOMPARE(json["frameSize"].toObject()["width"].toInt(), 176);
        QCOMPARE(json["frameSize"].toObject()["height"].toInt(), 320);
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a video") << QStringList{"probe", testMediaPath("not_a_video.mp4")} << 1
                                     << "Could not open the video through FFmpeg libraries: Invalid data found when "
                                        "processing input";
        QTest::newRow("audio only") << QStringList{"probe", testMediaPath("audio_only.mp4")} << 1
                                    << "No supported video stream was found in the input file.";
        QTest::newRow("no file") << QStringList{"probe"} << 2 << "expected 1 argument(s), got 0.";
        QTest::newRow("unknown option") << QStringList{"probe", "--frobnicate", testMediaPath("tiny_32x32.mp4")} << 2
                                        << "Unknown option 'frobnicate'.";
        QTest::newRow("unknown command") << QStringList{"magnify"} << 2 << "Unknown command 'magnify'.";
        QTest::newRow("no command") << QStringList{} << 2 << "No command given.";
        QTest::newRow("frame without index") << QStringList{"frame", testMediaPath("tiny_32x32.mp4"), "--output",
                                                            "x.png"}
                                             << 2 << "--index and --output are required.";
        QTest::newRow("frame index not a number")
            << QStringList{"frame", testMediaPath("tiny_32x32.mp4"), "--index", "ten", "--output", "x.png"} << 2
            << "--index needs an integer, got 'ten'.";
        QTest::newRow("frame index past the end")
            << QStringList{"frame", testMediaPath("tiny_32x32.mp4"), "--index", "20", "--output",
                           QDir::temp().filePath("ovra-cli-test-never-written.png")}
            << 1 << "The frame index is outside the video.";
    }

    void exitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const CliRun run = runCli(arguments);
        QTEST(run.exitCode, "exitCode");
        QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
        QVERIFY(run.output.isEmpty());
    }

    void frameWritesTheUprightFrameAsPng()
    {
        QTemporaryDir folder;
        const QString output = folder.filePath("frame.png");
        const QString video = testMediaPath("rotated_90.mp4");
        const CliRun run = runCli({"frame", video, "--index", "17", "--output", output});
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));

        ovra::media::libav::LibavVideoSource source;
        QVERIFY(source.open(video));
        QVERIFY(source.seekToFrame(17));
        ovra::media::VideoFrame frame;
        QCOMPARE(source.readFrame(&frame), ovra::media::VideoReadStatus::Frame);
        const QImage written(output);
        QCOMPARE(written.size(), QSize(176, 320));
        QCOMPARE(ovra::tests::maximumChannelDifference(written, frame.image), 0);
    }

    void frameNeverOverwrites()
    {
        QTemporaryDir folder;
        const QString output = folder.filePath("existing.png");
        QFile existing(output);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep me");
        existing.close();
        const CliRun run = runCli({"frame", testMediaPath("tiny_32x32.mp4"), "--index", "0", "--output", output});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("keep me"));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
