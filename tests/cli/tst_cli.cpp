// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMedia.h"
#include "VibratingVideo.h"

#include "media/StagingFile.h"
#include "processing/MeasurementScale.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>

using ovra::tests::fileContent;
using ovra::tests::testMediaPath;
using ovra::tests::writeFile;

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
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

QJsonObject probe(const QStringList &arguments)
{
    const CliRun run = runCli(QStringList{QStringLiteral("probe")} + arguments);
    if (run.exitCode != 0)
        qWarning("probe failed: %s", qPrintable(run.errors));
    return QJsonDocument::fromJson(run.output).object();
}

// Vibrates at 10 Hz; at 60 fps an 8-12 Hz band needs 8 frames (one period of 8 Hz) and recommends 120.
const ovra::tests::VibratingPattern pattern{QSize(128, 96), 60.0, 150, 10.0, 0.25};

QStringList hiddenFiles(const QString &folder)
{
    return ovra::tests::folderEntries(folder).filter(QRegularExpression("^\\."));
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    QString m_vibrating;

private slots:
    void initTestCase()
    {
        m_vibrating = m_folder.filePath("vibrating.mkv");
        QString error;
        QVERIFY2(ovra::tests::writeVibratingPatternVideo(m_vibrating, pattern, &error), qPrintable(error));
        // Files of the user's that exitCodes' runs must leave alone.
        QVERIFY(writeFile(m_folder.filePath("existing.png"), "keep"));
        QVERIFY(writeFile(m_folder.filePath("existing.mp4.json"), "keep"));
    }

    void processRecordsTheBandItWasGiven_data()
    {
        QTest::addColumn<QStringList>("band"); // each asks for 8 to 12 Hz
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QSize>("size");
        const QStringList band{"--band", "8:12"};
        QTest::newRow("band around the motion") << band << "mp4"
                                                << "h264"
                                                << "result" << QSize(128, 96);
        QTest::newRow("first harmonic of 600 RPM, beside the source")
            << QStringList{"--rpm", "600",      "--harmonic",   "1",          "--half-width",
                           "20",    "--layout", "side-by-side", "--stabilize"}
            << "mp4"
            << "h264"
            << "sideBySide" << QSize(256, 96);
        QTest::newRow("lossless for an output ending in .mkv, with a scale, below the source")
            << band + QStringList{"--scale", "0.05", "--layout", "stacked", "--reference", "0,0,0.5,1"} << "MKV"
            << "ffv1"
            << "stacked" << QSize(128, 192);
    }

    void processRecordsTheBandItWasGiven()
    {
        QFETCH(QStringList, band);
        QFETCH(QString, suffix);
        const QString output = m_folder.filePath(QString("magnified-%1.%2").arg(QTest::currentDataTag(), suffix));
        const CliRun run = runCli(QStringList{"process", m_vibrating, "--output", output, "--factor", "8"} + band);
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        QCOMPARE(QString::fromUtf8(run.output).split('\n', Qt::SkipEmptyParts),
                 QStringList({output, output + ".json"}));
        QVERIFY2(run.errors.contains("Processed 150 frames"), qPrintable(run.errors));

        const QJsonDocument parameters = QJsonDocument::fromJson(fileContent(output + ".json"));
        const QJsonObject processing = parameters["processing"].toObject();
        QCOMPARE(processing["lowerFrequencyHz"].toDouble(), 8.0);
        QCOMPARE(processing["upperFrequencyHz"].toDouble(), 12.0);
        QCOMPARE(processing["amplificationFactor"].toDouble(), 8.0);
        QCOMPARE(processing["fragment"].toObject()["processedFrameCount"].toInt(), 150);
        QTEST(parameters["export"]["videoCodec"].toString(), "codec");
        // The scale, typed, only where it was given.
        const QJsonObject typed{{"millimetresPerPixel", 0.05}, {"origin", "typed"}};
        QCOMPARE(parameters["measurementScale"].toObject(), band.contains("--scale") ? typed : QJsonObject());
        QTEST(parameters["export"]["layout"].toString(), "layout");
        // Camera motion compensation, against what it was asked to be.
        const QJsonObject whole{{"x", 0}, {"y", 0}, {"width", 1}, {"height", 1}};
        const QJsonObject half{{"x", 0}, {"y", 0}, {"width", 0.5}, {"height", 1}};
        QCOMPARE(processing["stabilizationReferenceRegion"].toObject(),
                 band.contains("--stabilize")       ? whole
                     : band.contains("--reference") ? half
                                                    : QJsonObject());
        QCOMPARE(processing["cameraMotion"].isObject(), band.contains("--stabilize") || band.contains("--reference"));
        const QJsonObject written = probe({output});
        QTEST(written["codecName"].toString(), "codec");
        const QJsonObject size = written["frameSize"].toObject();
        QTEST(QSize(size["width"].toInt(), size["height"].toInt()), "size");
    }

    // A killed run leaves its staging files; the next run into the folder removes them, but
    // neither a staging file whose writer still runs nor a file that is not ours. Ctrl-C then
    // cancels that run cleanly.
    void killedRunsAreClearedAndInterruptedOnesCancelCleanly()
    {
        QTemporaryDir folder;
        const QString input = folder.filePath("long.mkv");
        ovra::tests::VibratingPattern longPattern = pattern;
        longPattern.frameSize = QSize(320, 240);
        longPattern.frameCount = 1200;
        QString error;
        QVERIFY2(ovra::tests::writeVibratingPatternVideo(input, longPattern, &error), qPrintable(error));
        const QStringList arguments{"process", input, "--output", folder.filePath("o.mp4"), "--band", "8:12"};

        QProcess killed;
        killed.start(QStringLiteral(OVRA_CLI_PATH), arguments);
        // Both staging files reserved: the run is inside the export.
        QTRY_VERIFY_WITH_TIMEOUT(hiddenFiles(folder.path()).size() == 2, 60000);
        killed.kill();
        QVERIFY(killed.waitForFinished(60000));
        const QStringList leftovers = hiddenFiles(folder.path());
        QCOMPARE(leftovers.size(), 2);

        ovra::media::StagingFile live;
        QVERIFY(live.reserve(folder.filePath("live.mp4")));
        const QString foreign = ".o.mp4.not-a-uuid.staging.mp4";
        QVERIFY(writeFile(folder.filePath(foreign), "not ours"));
        const QStringList kept = hiddenFiles(folder.path()).filter(QRegularExpression("^\\.(live|o\\.mp4\\.not)"));

        QProcess interrupted;
        interrupted.start(QStringLiteral(OVRA_CLI_PATH), arguments);
        QTRY_VERIFY_WITH_TIMEOUT(hiddenFiles(folder.path()).size() == 4
                                     && !hiddenFiles(folder.path()).contains(leftovers[0])
                                     && !hiddenFiles(folder.path()).contains(leftovers[1]),
                                 60000);
        ::kill(static_cast<pid_t>(interrupted.processId()), SIGINT);
        QVERIFY(interrupted.waitForFinished(60000));
        QCOMPARE(interrupted.exitStatus(), QProcess::NormalExit);
        QCOMPARE(interrupted.exitCode(), 130);
        QVERIFY(
            QString::fromUtf8(interrupted.readAllStandardError()).contains("Processing was cancelled by the user."));
        QCOMPARE(ovra::tests::folderEntries(folder.path()), QStringList({kept[0], kept[1], "long.mkv"}));
    }

    // The values are the analyser's (tst_libavvideosource); this proves that probe prints them.
    void probePrintsTheAnalysedMetadata()
    {
        const QJsonObject json = probe({testMediaPath("sar_7_6_rotated_90.mp4")});
        QCOMPARE(json["frameCount"].toInteger(), 10);
        QCOMPARE(json["frameSize"].toObject(), QJsonObject({{"width", 420}, {"height", 640}}));
        QCOMPARE(json["durationUs"].toInteger(), 400000);
        QCOMPARE(json["captureFrameRate"].toDouble(), 25.0);
        QCOMPARE(json["rotationDegrees"].toInt(), 90);
        QCOMPARE(json["pixelAspectRatio"].toDouble(), 6.0 / 7.0);
        QCOMPARE(json["codecName"].toString(), QStringLiteral("h264"));
        QVERIFY(!json.contains("frameTimestamps"));

        const QJsonObject timed = probe({testMediaPath("vfr_irregular_head.mp4"), "--timestamps"});
        const QJsonArray timestamps = timed["frameTimestamps"].toArray();
        QCOMPARE(timestamps.size(), 80);
        QCOMPARE(timestamps[10].toInteger() - timestamps[9].toInteger(), 15000 - (9 * 1500 + 390));
        QCOMPARE(timed["uniformStartFrame"].toInteger(), 10);
        QCOMPARE(timed["uniformTailFrameRate"].toDouble(), 30.0);
        QCOMPARE(timed["variableFrameRate"].toBool(), true);
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString tiny = testMediaPath("tiny_32x32.mp4");
        const QString png = m_folder.filePath("never-written.png");
        // The analyser's refusals are its own (tst_libavvideosource); one proves they reach the user.
        QTest::newRow("not a video") << QStringList{"probe", testMediaPath("not_a_video.mp4")} << 1
                                     << "Could not open the video through FFmpeg libraries: Invalid data found when "
                                        "processing input";
        QTest::newRow("no file") << QStringList{"probe"} << 2 << "expected 1 argument(s), got 0.";
        QTest::newRow("unknown option") << QStringList{"probe", "--frobnicate", tiny} << 2
                                        << "Unknown option 'frobnicate'.";
        QTest::newRow("unknown command") << QStringList{"magnify"} << 2 << "Unknown command 'magnify'.";
        QTest::newRow("no command") << QStringList{} << 2 << "No command given.";
        QTest::newRow("two camera references")
            << QStringList{"spectrum", m_vibrating, "--stabilize", "--reference", "0,0,1,1"} << 2
            << "--stabilize and --reference exclude each other.";
        QTest::newRow("reference not a region") << QStringList{"spectrum", m_vibrating, "--reference", "0,0,1"} << 2
                                                << "--reference needs X,Y,W,H as fractions of the frame.";
        QTest::newRow("frame without index")
            << QStringList{"frame", tiny, "--output", png} << 2 << "--index and --output are required.";
        QTest::newRow("frame index not a number") << QStringList{"frame", tiny, "--index", "ten", "--output", png} << 2
                                                  << "--index needs an integer, got 'ten'.";
        QTest::newRow("spectrum of too few frames")
            << QStringList{"spectrum", m_vibrating, "--frames", "0:20"} << 1
            << "The fragment of 20 frames is too short for a motion spectrum: it needs at least 32 frames.";
        QTest::newRow("spectrum finer than the fragment allows")
            << QStringList{"spectrum", m_vibrating, "--resolution", "0.25"} << 1
            << "too short for a resolution of 0.25 Hz at 60 frames/s: it needs at least 240 frames.";
        QTest::newRow("frame index past the end") << QStringList{"frame", tiny, "--index", "20", "--output", png} << 1
                                                  << "The frame index is outside the video.";
        const QString existing = m_folder.filePath("existing");
        QTest::newRow("frame onto an existing file")
            << QStringList{"frame", tiny, "--index", "0", "--output", existing + ".png"} << 1
            << "already exists and was not overwritten";
        // The processing rules are tested where they live; these prove that the command line applies
        // them, checks its own numbers before converting them, and never overwrites.
        const QStringList process{"process", m_vibrating, "--output", m_folder.filePath("refused.mp4")};
        QTest::newRow("process beside an existing parameters file")
            << QStringList{"process", m_vibrating, "--output", existing + ".mp4", "--band", "8:12"} << 1
            << "already exists and was not overwritten";
        QTest::newRow("half a period of the lower edge")
            << process + QStringList{"--frames", "0:4", "--band", "8:12"} << 1
            << "The selected fragment is too short for this frequency band. Select at least 8 frames.";
        QTest::newRow("threads beyond any integer") << process + QStringList{"--threads", "1e30"} << 1
                                                    << "The number of worker threads must be between 0 (automatic) "
                                                       "and 256.";
        QTest::newRow("quality beyond any integer")
            << process + QStringList{"--quality", "-1e30"} << 1 << "Export quality must be between 0 and 100.";
        QTest::newRow("harmonic beyond any integer")
            << process + QStringList{"--rpm", "600", "--harmonic", "1e30", "--half-width", "10"} << 1
            << "No usable band around harmonic 1e+30 of 600 RPM with a half width of 10 %: the speed must be 500 to "
               "7000 RPM,";
        QTest::newRow("layout not one of the three")
            << process + QStringList{"--layout", "bogus"} << 2 << "--layout takes result, side-by-side or stacked.";
        QTest::newRow("band and rpm together")
            << process + QStringList{"--band", "8:12", "--rpm", "600", "--harmonic", "1", "--half-width", "10"} << 2
            << "Give either --band or --rpm/--harmonic/--half-width, not both.";
        QTest::newRow("map without a band")
            << QStringList{"map", m_vibrating, "--output", png} << 2 << "Give either --band or --frequency.";
        QTest::newRow("map onto an existing file")
            << QStringList{"map", m_vibrating, "--output", existing + ".png", "--band", "8:12"} << 1
            << "already exists and was not overwritten";
        QTest::newRow("capture rate unknown")
            << QStringList{"process", testMediaPath("slowmo_intent_stream.mkv"), "--output", process[3]} << 1
            << "--capture-fps";
    }

    void exitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const CliRun run = runCli(arguments);
        QTEST(run.exitCode, "exitCode");
        QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
        QVERIFY(run.output.isEmpty());
        for (const char *never : {"never-written.png", "refused.mp4", "existing.mp4"})
            QVERIFY2(!QFile::exists(m_folder.filePath(never)), never);
        QCOMPARE(fileContent(m_folder.filePath("existing.png")), "keep");
        QCOMPARE(fileContent(m_folder.filePath("existing.mp4.json")), "keep");
        QVERIFY(hiddenFiles(m_folder.path()).isEmpty());
    }

    void everyCommandsHelpDescribesItsInput()
    {
        for (const char *command : {"probe", "frame", "process", "spectrum", "map"}) {
            const CliRun run = runCli({command, "--help"});
            QCOMPARE(run.exitCode, 0);
            const QString help = QString::fromUtf8(run.output);
            QVERIFY2(help.contains(QRegularExpression("\nArguments:\n  (FILE|INPUT) +\\S")), qPrintable(help));
        }
    }

    void frameWritesTheUprightFrameAsPng()
    {
        const QString output = m_folder.filePath("frame.png");
        const QString video = testMediaPath("rotated_90.mp4");
        const CliRun run = runCli({"frame", video, "--index", "17", "--output", output});
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        // Upright as the source decodes it (tst_libavvideosource compares that with ffmpeg's rotation).
        QCOMPARE(ovra::tests::maximumChannelDifference(QImage(output), ovra::tests::decodeAllFrames(video).at(17)), 0);
    }

    // The sample's housing (12 Hz, sideways) and belt guard (45 Hz, up and down) are its two lines,
    // although the guard's stripes and the coding noise along them would mislead a tracker that
    // trusted texture in every direction. The whole spectrum goes to CSV, never over a file.
    void spectrumFindsTheSamplesTwoPartsAndWritesCsvOnce()
    {
        const QString csv = m_folder.filePath("spectrum.csv");
        const CliRun run
            = runCli({"spectrum", OVRA_SAMPLE_VIDEO, "--capture-fps", "240", "--csv", csv, "--scale", "0.1"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        const QStringList lines = QString::fromUtf8(run.output).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const std::pair<double, double> parts[] = {{12.0, 0.0}, {45.0, 90.0}}; // Hz, degrees
        for (const auto &[frequency, direction] : parts) {
            const bool found = std::any_of(lines.begin(), lines.end(), [&](const QString &line) {
                // F Hz A px L µm V mm/s D deg, at a tenth of a millimetre per pixel
                const QStringList fields = line.split(' ', Qt::SkipEmptyParts);
                const double turn = std::fmod(qAbs(fields[8].toDouble() - direction), 180.0); // axes
                const double micrometres = 100.0 * fields[2].toDouble();
                return fields.size() == 10 && qAbs(fields[0].toDouble() - frequency) <= 2.0
                    && std::min(turn, 180.0 - turn) <= 15.0 && fields[5] == "µm"
                    && qAbs(fields[4].toDouble() / micrometres - 1.0) <= 0.01
                    && qAbs(fields[6].toDouble() / (2e-3 * M_PI * fields[0].toDouble() * micrometres) - 1.0) <= 0.01;
            });
            QVERIFY2(found, qPrintable(run.output));
        }
        const QByteArray table = fileContent(csv);
        QCOMPARE(table.split('\n').first(),
                 "frequency_hz,amplitude_x_px,amplitude_y_px,amplitude_px,noise_floor_px,amplitude_mm,velocity_mm_s");
        QCOMPARE(table.split('\n').size(), 1 + 61 + 1); // the header, 0 to 120 Hz in bins of 2 Hz, the last end

        const CliRun again = runCli({"spectrum", OVRA_SAMPLE_VIDEO, "--capture-fps", "240", "--csv", csv});
        QCOMPARE(again.exitCode, 1);
        QVERIFY2(again.errors.contains("already exists and was not overwritten"), qPrintable(again.errors));
        QCOMPARE(fileContent(csv), table);
        QVERIFY(hiddenFiles(m_folder.path()).isEmpty());
    }

    // A scale calibrated from a line drawn one pixel too long over a ruler of 10 mm that spans
    // 200 pixels reads the known amplitude in mm within 2 % plus the map's own error in pixels, on
    // every tile of the map's table; its velocity is 2 pi f times it.
    void mapReadsMillimetresThroughTheScale()
    {
        const double trueScale = 10.0 / 200.0; // mm per pixel
        const ovra::processing::MeasurementScale drawn
            = ovra::processing::MeasurementScale::fromLine(QLineF(20.0, 30.0, 221.0, 30.0), 10.0);
        const QString csv = m_folder.filePath("map.csv");
        const QString png = m_folder.filePath("map.png");
        const CliRun run = runCli({"map", m_vibrating, "--output", png, "--csv", csv, "--band", "8:12", "--tile", "32",
                                   "--scale", QString::number(drawn.millimetresPerPixel, 'g', 10)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        QVERIFY2(QString::fromUtf8(run.output).contains(" mm/s "), run.output.constData());
        QCOMPARE(QImage(png).width(), pattern.frameSize.width());

        const QList<QByteArray> rows = fileContent(csv).trimmed().split('\n');
        QCOMPARE(rows.first(), "x,y,width,height,amplitude_px,amplitude_mm,velocity_mm_s,direction_deg,textured");
        const double trueMillimetres = pattern.amplitudePixels * trueScale;
        for (const QByteArray &row : rows.mid(1)) {
            const QList<QByteArray> fields = row.split(',');
            QVERIFY2(fields.size() == 9 && fields[8] == "1", row.constData());
            const double pixelError = std::abs(fields[4].toDouble() - pattern.amplitudePixels) * trueScale;
            QVERIFY2(std::abs(fields[5].toDouble() - trueMillimetres) <= 0.02 * trueMillimetres + pixelError,
                     row.constData());
            QVERIFY2(std::abs(fields[6].toDouble() / (2.0 * M_PI * pattern.frequencyHz * fields[5].toDouble()) - 1.0)
                         <= 0.03,
                     row.constData());
        }
        QVERIFY(rows.size() >= 1 + 6);
        QVERIFY(hiddenFiles(m_folder.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
