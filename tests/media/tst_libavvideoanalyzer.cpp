#include "TestMedia.h"

#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSource.h"

#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <thread>

extern "C" {
#include <libavutil/dict.h>
}

using ovra::media::VideoMetadata;
using ovra::media::libav::LibavVideoAnalyzer;
using ovra::tests::testMediaPath;

namespace {

// A time grid in ticks of 1/30000 s built from the intervals into frames 1..n-1.
VideoMetadata gridWithIntervals(const QList<qint64> &intervals)
{
    VideoMetadata metadata;
    qint64 time = 0;
    metadata.frameTimestamps.append(time);
    for (const qint64 interval : intervals)
        metadata.frameTimestamps.append(time += interval);
    metadata.frameCount = metadata.frameTimestamps.size();
    return metadata;
}

QList<qint64> repeated(qint64 value, int count)
{
    return QList<qint64>(count, value);
}

} // namespace

class LibavVideoAnalyzerTest : public QObject
{
    Q_OBJECT

private slots:
    void analysesGeneratedFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("nominalRate");
        QTest::addColumn<double>("captureRate");
        QTest::addColumn<bool>("variable");
        QTest::addColumn<qint64>("uniformStart");
        QTest::addColumn<bool>("slowMotionIntent");
        QTest::addColumn<int>("rotation");

        QTest::newRow("25 fps with B-frames") << "cfr25_bframes.mp4" << QSize(320, 240) << 25.0 << 25.0 << false
                                              << qint64(0) << false << 0;
        QTest::newRow("30 fps with B-frames") << "cfr30_bframes.mp4" << QSize(320, 180) << 30.0 << 30.0 << false
                                              << qint64(0) << false << 0;
        // Nothing in the file tells that it was shot at 240 fps: the user has to say so.
        QTest::newRow("240 fps stored at 30") << "slowmo240_stored30.mp4" << QSize(320, 240) << 30.0 << 30.0
                                              << false << qint64(0) << false << 0;
        QTest::newRow("base rate 240, average 30") << "base240_avg30.mp4" << QSize(160, 120) << 30.0 << 0.0 << false
                                                   << qint64(0) << false << 0;
        QTest::newRow("irregular head, uniform tail") << "vfr_irregular_head.mp4" << QSize(160, 120) << 480.0 / 17.0
                                                      << 0.0 << true << qint64(10) << false << 0;
        QTest::newRow("rotated 90") << "rotated_90.mp4" << QSize(176, 320) << 25.0 << 25.0 << false << qint64(0)
                                    << false << 90;
        QTest::newRow("rotated 180") << "rotated_180.mp4" << QSize(320, 176) << 25.0 << 25.0 << false << qint64(0)
                                     << false << 180;
        QTest::newRow("rotated 270") << "rotated_270.mp4" << QSize(176, 320) << 25.0 << 25.0 << false << qint64(0)
                                     << false << 270;
        QTest::newRow("rotated 45 is analysed unturned") << "rotated_45.mp4" << QSize(320, 176) << 25.0 << 25.0
                                                         << false << qint64(0) << false << 45;
        QTest::newRow("slow-motion intent on the stream")
            << "slowmo_intent_stream.mkv" << QSize(160, 120) << 30.0 << 0.0 << false << qint64(0) << true << 0;
        QTest::newRow("slow-motion intent on the container")
            << "slowmo_intent_container.mov" << QSize(160, 120) << 30.0 << 0.0 << false << qint64(0) << true << 0;
        QTest::newRow("tiny") << "tiny_32x32.mp4" << QSize(32, 32) << 25.0 << 25.0 << false << qint64(0) << false
                              << 0;
        QTest::newRow("odd size") << "odd_321x241.mp4" << QSize(321, 241) << 25.0 << 25.0 << false << qint64(0)
                                  << false << 0;
        QTest::newRow("MJPEG in AVI") << "mjpeg.avi" << QSize(320, 240) << 25.0 << 25.0 << false << qint64(0)
                                      << false << 0;
    }

    void analysesGeneratedFiles()
    {
        QFETCH(QString, file);
        const QString path = testMediaPath(file);
        LibavVideoAnalyzer analyzer;
        VideoMetadata metadata;
        QString error = QStringLiteral("stale");
        QVERIFY2(analyzer.analyze(path, &metadata, &error), qPrintable(error));
        QVERIFY(error.isEmpty());

        QCOMPARE(metadata.filePath, path);
        QCOMPARE(metadata.frameCount, ovra::tests::ffprobeDecodedFrameCount(path));
        QTEST(metadata.frameSize, "size");
        QFETCH(double, nominalRate);
        QVERIFY2(qAbs(metadata.nominalFrameRate - nominalRate) < 1e-9, qPrintable(QString::number(metadata.nominalFrameRate)));
        QTEST(metadata.detectedCaptureFrameRate, "captureRate");
        QTEST(metadata.captureFrameRate, "captureRate");
        QVERIFY(!metadata.captureFrameRateManual);
        QTEST(metadata.variableFrameRate, "variable");
        QTEST(metadata.uniformStartFrame, "uniformStart");
        QTEST(metadata.slowMotionPlaybackIntent, "slowMotionIntent");
        QTEST(analyzer.rotationDegrees(), "rotation");
        QVERIFY(metadata.hasTimeGrid());
        QVERIFY(metadata.durationUs > 0);
        QVERIFY(!metadata.containerName.isEmpty());
        QVERIFY(!metadata.codecName.isEmpty());
    }

    void badFilesFailAndLeaveTheRecordUntouched_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        const QString invalidData = QStringLiteral("Invalid data found when processing input");
        QTest::newRow("empty path") << QString() << "No input video file was specified.";
        QTest::newRow("missing file") << testMediaPath("does-not-exist.mp4")
                                      << "Could not open the video through FFmpeg libraries: No such file or directory";
        QTest::newRow("text named .mp4") << testMediaPath("not_a_video.mp4")
                                         << "Could not open the video through FFmpeg libraries: " + invalidData;
        QTest::newRow("truncated before its index")
            << testMediaPath("truncated_no_index.mp4") << "Could not open the video through FFmpeg libraries: " + invalidData;
        // With frame threads the broken packet shows when it is sent or when its frame is received.
        QTest::newRow("truncated media data")
            << testMediaPath("truncated_media.mp4")
            << "^(Could not submit a frame for time-grid analysis|Could not decode the video time grid): " + invalidData
                + "$";
        QTest::newRow("audio only") << testMediaPath("audio_only.mp4")
                                    << "No supported video stream was found in the input file.";
    }

    void badFilesFailAndLeaveTheRecordUntouched()
    {
        QFETCH(QString, path);
        VideoMetadata metadata;
        metadata.filePath = QStringLiteral("sentinel");
        metadata.frameCount = 7;
        LibavVideoAnalyzer analyzer;
        QString error;
        QVERIFY(!analyzer.analyze(path, &metadata, &error));
        QFETCH(QString, message);
        if (message.startsWith(QLatin1Char('^')))
            QVERIFY2(QRegularExpression(message).match(error).hasMatch(), qPrintable(error));
        else
            QCOMPARE(error, message);
        QCOMPARE(metadata.filePath, QStringLiteral("sentinel"));
        QCOMPARE(metadata.frameCount, qint64(7));
        QVERIFY(!analyzer.cancelled());
    }

    void missingOutputRecordIsRefused()
    {
        LibavVideoAnalyzer analyzer;
        QString error;
        QVERIFY(!analyzer.analyze(testMediaPath("tiny_32x32.mp4"), nullptr, &error));
        QCOMPARE(error, QStringLiteral("No input video file was specified."));
    }

    void progressIsThrottledAndBelowOne()
    {
        QList<double> reports;
        LibavVideoAnalyzer analyzer;
        VideoMetadata metadata;
        QVERIFY(analyzer.analyze(testMediaPath("long_cfr30.mp4"), &metadata, nullptr, {},
                                 [&reports](double value) { reports.append(value); }));
        QVERIFY(!reports.isEmpty());
        QCOMPARE(reports.first(), 1.0 / 900.0); // the first frame is always reported
        QVERIFY(reports.size() < 900 / 2);       // at most one report per 100 ms after that
        for (int i = 1; i < reports.size(); ++i)
            QVERIFY(reports[i] >= reports[i - 1]);
        QVERIFY(reports.last() <= 0.99);
    }

    void firstFramePreviewHasThePlayedOrientation_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("unrotated") << "cfr25_bframes.mp4";
        QTest::newRow("90") << "rotated_90.mp4";
        QTest::newRow("180") << "rotated_180.mp4";
        QTest::newRow("270") << "rotated_270.mp4";
    }

    void firstFramePreviewHasThePlayedOrientation()
    {
        QFETCH(QString, file);
        const QString path = testMediaPath(file);
        QImage preview;
        int previews = 0;
        LibavVideoAnalyzer analyzer;
        VideoMetadata metadata;
        QVERIFY(analyzer.analyze(path, &metadata, nullptr, [&](const QImage &image) {
            preview = image;
            ++previews;
        }));
        QCOMPARE(previews, 1);
        QCOMPARE(preview.size(), metadata.frameSize);

        ovra::media::libav::LibavVideoSource source;
        ovra::media::VideoFrame first;
        QVERIFY(source.openWithMetadata(metadata));
        QCOMPARE(source.readFrame(&first), ovra::media::VideoReadStatus::Frame);
        QCOMPARE(ovra::tests::maximumChannelDifference(preview, first.image), 0);
    }

    void cancellationFromAnotherThreadStopsTheAnalysis()
    {
        std::atomic<bool> cancelRequested{false};
        std::atomic<int> checksAfterRequest{0};
        QSemaphore previewShown;
        QSemaphore cancelSet;
        LibavVideoAnalyzer analyzer([&] {
            if (!cancelRequested)
                return false;
            ++checksAfterRequest;
            return true;
        });
        VideoMetadata metadata;
        metadata.filePath = QStringLiteral("sentinel");
        QString error;
        bool analysed = true;
        std::thread worker([&] {
            analysed = analyzer.analyze(testMediaPath("long_cfr30.mp4"), &metadata, &error, [&](const QImage &) {
                previewShown.release();
                cancelSet.acquire(); // hold the analysis at its first frame until the request is made
            });
        });
        previewShown.acquire();
        cancelRequested = true;
        cancelSet.release();
        worker.join();

        QVERIFY(!analysed);
        QCOMPARE(error, QStringLiteral("Video analysis was cancelled."));
        QVERIFY(analyzer.cancelled());
        QCOMPARE(checksAfterRequest.load(), 1); // sticky: the first answer stopped it
        QCOMPARE(metadata.filePath, QStringLiteral("sentinel"));
    }

    void cancellationInsideFfmpegIoWinsOverItsError()
    {
        // The first check passes; the next one comes from FFmpeg's interrupt callback while the
        // file is being opened and makes the open fail: the message must still say "cancelled".
        int checks = 0;
        LibavVideoAnalyzer analyzer([&checks] { return ++checks > 1; });
        VideoMetadata metadata;
        QString error;
        QVERIFY(!analyzer.analyze(testMediaPath("cfr25_bframes.mp4"), &metadata, &error));
        QCOMPARE(error, QStringLiteral("Video analysis was cancelled."));
        QVERIFY(analyzer.cancelled());
        QVERIFY(metadata.filePath.isEmpty());

        // The flag is reset by the next analysis.
        LibavVideoAnalyzer fresh;
        QVERIFY(fresh.analyze(testMediaPath("cfr25_bframes.mp4"), &metadata, &error));
        QVERIFY(!fresh.cancelled());
    }

    void uniformTailRule_data()
    {
        QTest::addColumn<QList<qint64>>("intervals");
        QTest::addColumn<double>("timeBase");
        QTest::addColumn<bool>("variable");
        QTest::addColumn<qint64>("uniformStart");

        QList<qint64> irregularHead;
        for (int i = 1; i <= 10; ++i)
            irregularHead.append(700 + 37 * i);
        QTest::newRow("100 frames, intervals 1-10 irregular")
            << irregularHead + repeated(1000, 89) << 1.0 / 30000 << true << qint64(10);

        QList<qint64> lateIrregularity = repeated(1000, 39);
        lateIrregularity[24] = 1400; // the interval into frame 25
        QTest::newRow("40 frames, tail too short") << lateIrregularity << 1.0 / 30000 << true << qint64(-1);

        QList<qint64> headLongerThanTail = repeated(1000, 99);
        for (int i = 0; i < 55; ++i)
            headLongerThanTail[i] = 1000 + (i % 2 ? 300 : -300);
        QTest::newRow("irregular part longer than the tail")
            << headLongerThanTail << 1.0 / 30000 << true << qint64(-1);

        QTest::newRow("uniform") << repeated(1000, 49) << 1.0 / 30000 << false << qint64(0);
        QTest::newRow("uniform within 2 percent") << QList<qint64>{1000, 1019, 981, 1000, 1010} << 1.0 / 30000 << false
                                                  << qint64(0);

        // 30 fps on a millisecond time base: 33 and 34 ms steps are rounding, not a variable rate.
        QList<qint64> milliseconds;
        for (int i = 1; i < 60; ++i)
            milliseconds.append(qint64(i * 1000 / 30) - qint64((i - 1) * 1000 / 30));
        QTest::newRow("1 ms time base at 30 fps") << milliseconds << 0.001 << false << qint64(0);
    }

    void uniformTailRule()
    {
        QFETCH(QList<qint64>, intervals);
        QFETCH(double, timeBase);
        VideoMetadata metadata = gridWithIntervals(intervals);
        metadata.variableFrameRate = true; // the rule corrects it when the grid is uniform
        ovra::media::libav::applyUniformTailRule(metadata, timeBase);
        QTEST(metadata.variableFrameRate, "variable");
        QTEST(metadata.uniformStartFrame, "uniformStart");
    }

    void uniformTailRuleNeedsAUsableGrid()
    {
        VideoMetadata missing = gridWithIntervals(repeated(1000, 40));
        missing.frameTimestamps.clear(); // a missing timestamp empties the grid
        missing.variableFrameRate = true;
        ovra::media::libav::applyUniformTailRule(missing, 1.0 / 30000);
        QCOMPARE(missing.uniformStartFrame, qint64(-1));
        QVERIFY(missing.variableFrameRate);

        VideoMetadata repeatedTime = gridWithIntervals(QList<qint64>{1000, 0, 1000});
        repeatedTime.variableFrameRate = true;
        ovra::media::libav::applyUniformTailRule(repeatedTime, 1.0 / 30000);
        QCOMPARE(repeatedTime.uniformStartFrame, qint64(-1));
        QVERIFY(repeatedTime.variableFrameRate);

        VideoMetadata single = gridWithIntervals({});
        ovra::media::libav::applyUniformTailRule(single, 1.0 / 30000);
        QCOMPARE(single.uniformStartFrame, qint64(-1));
    }

    void slowMotionIntent_data()
    {
        QTest::addColumn<QStringList>("entries"); // key, value, key, value, ...
        QTest::addColumn<bool>("intent");
        QTest::newRow("vendor key, False in blanks")
            << QStringList{"com.apple.quicktime.full-frame-rate-playback-intent", " False "} << true;
        QTest::newRow("zero") << QStringList{"full-frame-rate-playback-intent", "0"} << true;
        QTest::newRow("upper-case key and value") << QStringList{"X.FULL-FRAME-RATE-PLAYBACK-INTENT", "FALSE"} << true;
        QTest::newRow("one means full rate") << QStringList{"full-frame-rate-playback-intent", "1"} << false;
        QTest::newRow("true") << QStringList{"full-frame-rate-playback-intent", "true"} << false;
        QTest::newRow("key must end with the name")
            << QStringList{"full-frame-rate-playback-intent.other", "0"} << false;
        QTest::newRow("first matching entry decides")
            << QStringList{"a.full-frame-rate-playback-intent", "1", "b.full-frame-rate-playback-intent", "0"} << false;
        QTest::newRow("no entries") << QStringList{} << false;
    }

    void slowMotionIntent()
    {
        QFETCH(QStringList, entries);
        AVDictionary *dictionary = nullptr;
        for (int i = 0; i + 1 < entries.size(); i += 2)
            av_dict_set(&dictionary, entries[i].toUtf8().constData(), entries[i + 1].toUtf8().constData(), 0);
        const bool intent = ovra::media::libav::hasSlowMotionPlaybackIntent(dictionary);
        av_dict_free(&dictionary);
        QTEST(intent, "intent");
    }
};

QTEST_GUILESS_MAIN(LibavVideoAnalyzerTest)
#include "tst_libavvideoanalyzer.moc"
