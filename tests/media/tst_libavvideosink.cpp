// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMedia.h"
#include "VibratingVideo.h"

#include "media/NoReplaceRename.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSink.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>

extern "C" {
#include <libavutil/log.h>
}

using namespace ovra::media;
using namespace ovra::media::libav;
using ovra::tests::fileContent;
using ovra::tests::filled;
using ovra::tests::verifyRefusal;
using ovra::tests::writeFile;
using Change = std::function<void(VideoMetadata &, VideoEncodingSettings &)>;
Q_DECLARE_METATYPE(Change)
using RenameFunction = RenameOutcome (*)(const QString &, const QString &, QString *);
Q_DECLARE_METATYPE(RenameFunction)

namespace {

const QSize small(32, 32);

VideoMetadata metadataOf(QSize size, double frameRate = 25.0)
{
    VideoMetadata metadata;
    metadata.frameSize = size;
    metadata.nominalFrameRate = frameRate;
    return metadata;
}

VideoEncodingSettings settingsFor(const QString &container, const QString &codec)
{
    VideoEncodingSettings settings;
    settings.container = container;
    settings.videoCodec = codec;
    return settings;
}

const VideoEncodingSettings h264 = settingsFor("mp4", "h264");
const VideoEncodingSettings ffv1 = settingsFor("matroska", "ffv1");

// Lossy frames are solid red, green and blue thirds (lost frames or swapped channels show);
// lossless ones differ in every pixel, in a format the sink has to convert.
QImage testFrame(QSize size, int index, int count, bool lossless)
{
    if (!lossless) {
        const int third = index * 3 / count;
        QImage image(size, QImage::Format_RGBA8888);
        image.fill(third == 0 ? QColor(220, 30, 30) : third == 1 ? QColor(30, 220, 30) : QColor(30, 30, 220));
        return image;
    }
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + index * 31) % 256, (y * 13 + index) % 256, (x * y + index * 5) % 256));
    return image;
}

// The index must come before the media data, so that players can start before the end arrives.
bool indexFirst(const QString &path)
{
    const QByteArray data = fileContent(path);
    QStringList boxes;
    for (qint64 position = 0, size = 8; size >= 8 && position + 8 <= data.size(); position += size) {
        size = qFromBigEndian<quint32>(data.constData() + position);
        if (size == 1)
            size = qFromBigEndian<quint64>(data.constData() + position + 8);
        boxes.append(QString::fromLatin1(data.mid(position + 4, 4)));
    }
    return boxes.contains("mdat") && boxes.indexOf("moov") >= 0 && boxes.indexOf("moov") < boxes.indexOf("mdat");
}

} // namespace

class LibavVideoSinkTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_folder;

    QString path(const QString &name) const { return m_folder->filePath(name); }
    QStringList entries() const { return ovra::tests::folderEntries(m_folder->path()); }

    // The sink publishes by the no-replace rename; its link-and-unlink fallback is checked too.
    static void renameMethods()
    {
        QTest::addColumn<RenameFunction>("rename");
        QTest::newRow("rename without replacing") << RenameFunction(&renameWithoutReplacing);
        QTest::newRow("link then unlink") << RenameFunction(&linkThenUnlink);
    }

private slots:
    void initTestCase() { av_log_set_level(AV_LOG_ERROR); } // the encoder's statistics only hide failures

    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
    }

    // At the default quality the encoder must not flatten a motion of 0.08 px, as recorded (a
    // larger one suffers less), measured against the same pattern written losslessly.
    void h264KeepsSubPixelMotion()
    {
        const ovra::tests::VibratingPattern pattern{QSize(256, 192), 60.0, 150, 10.0, 0.08};
        QString error;
        QVERIFY2(ovra::tests::writeVibratingPatternVideo(path("lossless.mkv"), pattern, &error), qPrintable(error));
        QVERIFY2(ovra::tests::writeVibratingPatternVideo(path("q75.mp4"), pattern, &error, 75), qPrintable(error));
        const auto motion = [&](const QString &name) {
            return ovra::tests::motionAmplitude(ovra::tests::decodeAllFrames(path(name)), pattern, 60);
        };
        const double kept = motion("q75.mp4") / motion("lossless.mkv");
        QVERIFY2(kept >= 0.8 && kept <= 1.05, qPrintable(QString::number(kept)));
        // The quality reaches the encoder.
        QVERIFY2(ovra::tests::writeVibratingPatternVideo(path("q0.mp4"), pattern, &error, 0), qPrintable(error));
        QCOMPARE_LT(QFileInfo(path("q0.mp4")).size(), QFileInfo(path("q75.mp4")).size());
    }

    void writtenFileDecodesBackWithExactCountSizeShapeAndRate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("storedSize");
        QTest::addColumn<double>("pixelAspect");
        QTest::addColumn<double>("rate");
        QTest::addColumn<VideoEncodingSettings>("settings");
        QTest::addColumn<QString>("probed");
        QTest::newRow("H.264 at 25 fps") << "clip.mp4" << QSize(96, 64) << QSize(96, 64) << 1.0 << 25.0 << h264
                                         << "h264,yuv420p,25/1,30";
        QTest::newRow("H.264 at 29.97 fps with 7:6 pixels, names in other case")
            << "clip.mp4" << QSize(96, 64) << QSize(96, 64) << 7.0 / 6.0 << 30000.0 / 1001.0
            << settingsFor("MP4", "LibX264") << "h264,yuv420p,30000/1001,30";
        QTest::newRow("H.264 of odd size, last column and row repeated")
            << "clip.mp4" << QSize(33, 17) << QSize(34, 18) << 1.0 << 25.0 << h264 << "h264,yuv420p,25/1,30";
        QTest::newRow("FFV1 of odd size with 6:7 pixels, lossless")
            << "clip.mkv" << QSize(33, 17) << QSize(33, 17) << 6.0 / 7.0 << 25.0 << settingsFor("MKV", "FFV1")
            << "ffv1,bgra,25/1,30";
    }

    void writtenFileDecodesBackWithExactCountSizeShapeAndRate()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(QSize, storedSize);
        QFETCH(double, pixelAspect);
        QFETCH(double, rate);
        QFETCH(VideoEncodingSettings, settings);
        const int frames = 30;
        const bool lossless = name.endsWith(".mkv");
        const QString output = path(name);
        LibavVideoSink sink;
        QString error;
        VideoMetadata written = metadataOf(size, rate);
        written.pixelAspectRatio = pixelAspect;
        QVERIFY2(sink.open(output, written, settings, &error), qPrintable(error));
        for (int i = 0; i < frames; ++i)
            QVERIFY2(sink.writeFrame(testFrame(size, i, frames, lossless), &error), qPrintable(error));
        const QRegularExpression staging("^\\." + QRegularExpression::escape(name) + "\\.[0-9a-f-]{36}\\.staging\\."
                                         + name.section('.', -1) + "$");
        QVERIFY2(entries().size() == 1 && staging.match(entries().value(0)).hasMatch(),
                 qPrintable(entries().join(' ')));
        QVERIFY2(sink.finish(&error), qPrintable(error));
        QVERIFY(error.isEmpty() && !sink.isOpen());
        QCOMPARE(entries(), QStringList{name});

        VideoMetadata metadata;
        QVERIFY2(LibavVideoAnalyzer().analyze(output, &metadata, &error), qPrintable(error));
        QCOMPARE(metadata.frameSize, storedSize); // count and rate: ffprobe below
        QCOMPARE(metadata.pixelAspectRatio, pixelAspect);
        QTEST(ovra::tests::runFfprobe({"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                                       "stream=codec_name,pix_fmt,avg_frame_rate,nb_read_frames", "-of", "csv=p=0",
                                       output})
                  .trimmed(),
              "probed");
        QVERIFY(lossless || indexFirst(output));

        const std::vector<QImage> decoded = ovra::tests::decodeAllFrames(output);
        for (int i = 0; i < frames; ++i)
            QCOMPARE_LE(ovra::tests::maximumChannelDifference(decoded.at(size_t(i)),
                                                              testFrame(storedSize, i, frames, lossless)),
                        lossless ? 0 : 12);
    }

    void openRefusesBadRequestsWithoutTouchingTheDisk_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("message");
        const QString taken = "The output file was not specified or already exists.";
        const QString unsupported = "The requested video output format is unsupported.";
        const QString quality = "Export quality must be between 0 and 100.";
        const QString rational = "Could not represent the output frame rate.";
        const auto row
            = [](const char *name, const QString &message, const Change &change,
                 const QString &destination = "clip.mp4") { QTest::newRow(name) << destination << change << message; };
        const Change none = [](auto &, auto &) {};
        row("empty path", taken, none, QString());
        row("existing file", taken, none, "existing.mp4");
        row("dangling link", taken, none, "dangling.mp4");
        row("missing directory", "The output directory does not exist.", none, "missing/clip.mp4");
        row("no frame size", "The frame size or frame rate is unknown for export.",
            [](auto &m, auto &) { m.frameSize = QSize(); });
        row("FFV1 in MP4", unsupported, [](auto &, auto &s) {
            s.container = "mp4";
            s.videoCodec = "ffv1";
        });
        row("audio", unsupported, [](auto &, auto &s) { s.includeAudio = true; });
        row("quality 101", quality, [](auto &, auto &s) { s.qualityPercent = 101; });
        row("quality -1", quality, [](auto &, auto &s) { s.qualityPercent = -1; });
        // Failures after the encoder search remove the staging file again.
        row("rate too slow", rational, [](auto &m, auto &) { m.nominalFrameRate = 1e-12; });
        row("rate too fast", rational, [](auto &m, auto &) { m.nominalFrameRate = 1e12; });
        row("quality 0 is accepted", QString(), [](auto &, auto &s) { s.qualityPercent = 0; });
    }

    void openRefusesBadRequestsWithoutTouchingTheDisk()
    {
        QFETCH(QString, destination);
        QFETCH(Change, change);
        QFETCH(QString, message);
        QVERIFY(writeFile(path("existing.mp4"), "theirs"));
        QVERIFY(QFile::link(path("nowhere"), path("dangling.mp4")));
        const int before = entries().size();
        VideoMetadata metadata = metadataOf(small);
        VideoEncodingSettings settings = h264;
        change(metadata, settings);

        LibavVideoSink sink;
        QString error;
        const bool opened
            = sink.open(destination.isEmpty() ? QString() : path(destination), metadata, settings, &error);
        QCOMPARE(error, message);
        QCOMPARE(opened, message.isEmpty());
        QCOMPARE(entries().size(), before + (opened ? 1 : 0));
        QCOMPARE(fileContent(path("existing.mp4")), QByteArray("theirs"));
    }

    void destinationCreatedDuringEncodingIsLeftUntouched()
    {
        LibavVideoSink sink;
        QString error;
        QVERIFY2(sink.open(path("clip.mp4"), metadataOf(small), h264, &error), qPrintable(error));
        for (int i = 0; i < 5; ++i)
            QVERIFY(sink.writeFrame(filled(small)));
        QVERIFY(writeFile(path("clip.mp4"), "theirs"));
        verifyRefusal(sink.finish(&error), error,
                      QString("The output file appeared during processing; the existing file was not overwritten."));
        QVERIFY(!sink.isOpen());
        QCOMPARE(entries(), QStringList{"clip.mp4"});
        QCOMPARE(fileContent(path("clip.mp4")), QByteArray("theirs"));
    }

    void cancellationLeavesNoFiles_data()
    {
        QTest::addColumn<int>("checksBeforeCancel");
        QTest::addColumn<bool>("throwing");
        QTest::addColumn<int>("frames"); // written before finish; -1: open fails
        QTest::addColumn<bool>("leftOpen"); // for the caller to abort, as after any failed write
        QTest::addColumn<QString>("message");
        // One check at open; per frame one before converting and one before draining packets
        // (the encoder's look-ahead holds them back over these few frames).
        const QString writing = "Video encoding was cancelled.";
        QTest::newRow("before open") << 0 << false << -1 << false << "Starting video encoding was cancelled.";
        QTest::newRow("before a frame") << 5 << false << 8 << false << writing;
        QTest::newRow("check throws before a frame") << 5 << true << 8 << false << writing;
        QTest::newRow("after submitting a frame") << 6 << false << 8 << true << writing;
        QTest::newRow("at finish") << 1000000 << false << 4 << false << "Finalizing the video was cancelled.";
    }

    void cancellationLeavesNoFiles()
    {
        QFETCH(int, checksBeforeCancel);
        QFETCH(bool, throwing);
        QFETCH(int, frames);
        int checks = 0;
        bool cancelNow = false;
        LibavVideoSink sink([&] {
            if (!cancelNow && ++checks <= checksBeforeCancel)
                return false;
            if (throwing)
                throw std::runtime_error("cancelled");
            return true;
        });
        QString error;
        bool failed = !sink.open(path("clip.mp4"), metadataOf(small), h264, &error);
        QCOMPARE(failed, frames < 0);
        for (int i = 0; i < frames && !failed; ++i)
            failed = !sink.writeFrame(filled(small), &error);
        cancelNow = true;
        QVERIFY(failed || !sink.finish(&error));
        QTEST(error, "message");
        QVERIFY(sink.cancelled());
        QTEST(sink.isOpen(), "leftOpen");
        sink.abort();
        QCOMPARE(entries(), QStringList());
    }

    void frameErrorsKeepTheSinkOpenUntilAbortedOrDestroyed()
    {
        const QString notOpen = "The video sink is not open or the frame is invalid.";
        auto sink = std::make_unique<LibavVideoSink>();
        QString error;
        verifyRefusal(sink->writeFrame(filled(small), &error), error, notOpen);
        verifyRefusal(sink->finish(&error), error, QString("The video sink is not open."));
        for (bool destroy : {false, true}) {
            QVERIFY2(sink->open(path("clip.mp4"), metadataOf(small), h264, &error), qPrintable(error));
            verifyRefusal(sink->writeFrame(QImage(), &error), error, notOpen);
            verifyRefusal(sink->writeFrame(filled(QSize(31, 32)), &error), error,
                          QString("The exported frame size differs from the source frame size."));
            QVERIFY(sink->isOpen());
            QCOMPARE(entries().size(), 1);
            destroy ? sink.reset() : sink->abort();
            QCOMPARE(entries(), QStringList());
        }
    }

    // Here a non-empty directory takes the staging file's place, so removing it fails.
    void stagingFileThatCannotBeRemovedBlocksTheNextOpen()
    {
        LibavVideoSink sink;
        QString error;
        QVERIFY(sink.open(path("clip.mkv"), metadataOf(small), ffv1, &error));
        const QString staging = path(entries().value(0));
        QVERIFY(QFile::remove(staging) && QDir().mkpath(staging + "/inside"));
        sink.abort();
        QVERIFY2(sink.cleanupMessage().startsWith(QString("A temporary file may remain at %1: ").arg(staging)),
                 qPrintable(sink.cleanupMessage()));
        verifyRefusal(sink.open(path("other.mkv"), metadataOf(small), ffv1, &error), error, sink.cleanupMessage());
        QVERIFY(QDir(staging).removeRecursively());
        QVERIFY2(sink.open(path("other.mkv"), metadataOf(small), ffv1, &error), qPrintable(error));
        QVERIFY(sink.cleanupMessage().isEmpty());
    }

    void renamesToAFreeNameOnly_data() { renameMethods(); }

    void renamesToAFreeNameOnly()
    {
        QFETCH(RenameFunction, rename);
        QVERIFY(writeFile(path(".staged"), "video") && writeFile(path("taken.mp4"), "theirs"));
        // A dangling link takes its name too; following it would create a file elsewhere.
        QVERIFY(QFile::link(path("nowhere"), path("link.mp4")));
        for (const char *target : {"taken.mp4", "link.mp4"}) {
            QString error;
            QCOMPARE(rename(path(".staged"), path(target), &error), RenameOutcome::TargetExists);
            QVERIFY(!error.isEmpty());
        }
        QCOMPARE(fileContent(path("taken.mp4")), QByteArray("theirs"));
        QCOMPARE(rename(path("missing"), path("final.mp4"), nullptr), RenameOutcome::Failed);
        QCOMPARE(rename(path(".staged"), path("final.mp4"), nullptr), RenameOutcome::Renamed);
        QCOMPARE(entries(), QStringList({"final.mp4", "taken.mp4"})); // a dangling link is not listed
        QCOMPARE(fileContent(path("final.mp4")), QByteArray("video"));
    }

    void exactlyOneOfTwoRacingRenamesWins_data() { renameMethods(); }

    // Two publishers start together on one final name, many times over: exactly one wins each
    // round, and the name then holds the winner's file, never the loser's.
    void exactlyOneOfTwoRacingRenamesWins()
    {
        QFETCH(RenameFunction, rename);
        for (int round = 0; round < 200; ++round) {
            const QString target = path(QString("final-%1.mp4").arg(round));
            const QString staged[2] = {path(QString(".first-%1").arg(round)), path(QString(".second-%1").arg(round))};
            QVERIFY(writeFile(staged[0], "first") && writeFile(staged[1], "second"));
            std::atomic<int> ready{0};
            RenameOutcome outcomes[2] = {RenameOutcome::Failed, RenameOutcome::Failed};
            auto publish = [&](int slot) {
                ready.fetch_add(1);
                while (ready.load() < 2) { }
                outcomes[slot] = rename(staged[slot], target, nullptr);
            };
            std::thread other(publish, 1);
            publish(0);
            other.join();
            const int winner = outcomes[0] == RenameOutcome::Renamed ? 0 : 1;
            QCOMPARE(outcomes[winner], RenameOutcome::Renamed);
            QCOMPARE(outcomes[1 - winner], RenameOutcome::TargetExists);
            QCOMPARE(fileContent(target), QByteArray(winner == 0 ? "first" : "second"));
            QVERIFY(QFileInfo::exists(staged[1 - winner]));
        }
    }
};

QTEST_GUILESS_MAIN(LibavVideoSinkTest)
#include "tst_libavvideosink.moc"
