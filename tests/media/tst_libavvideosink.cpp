#include "TestMedia.h"
#include "VibratingVideo.h"

#include "media/libav/LibavEncoderSettings.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSink.h"
#include "media/libav/LibavVideoSource.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>
#include <stdexcept>

extern "C" {
#include <libavutil/log.h>
}

using namespace ovra::media;
using namespace ovra::media::libav;
using ovra::tests::fileContent;
using ovra::tests::verifyRefusal;
using ovra::tests::writeFile;

using EncoderOptions = QList<QPair<QByteArray, QByteArray>>;
Q_DECLARE_METATYPE(VideoOutputKind)
Q_DECLARE_METATYPE(EncoderOptions)

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

// Red, green and blue thirds, so that lost frames or swapped channels show.
QImage frameOfThird(QSize size, int index, int count)
{
    const int third = index * 3 / count;
    QImage image(size, QImage::Format_RGBA8888);
    image.fill(third == 0 ? QColor(220, 30, 30) : third == 1 ? QColor(30, 220, 30) : QColor(30, 30, 220));
    return image;
}

QImage grey(QSize size = small)
{
    QImage image(size, QImage::Format_RGBA8888);
    image.fill(Qt::gray);
    return image;
}

// Every pixel different, in a format the sink has to convert.
QImage patternImage(QSize size, int seed)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed * 31) % 256, (y * 13 + seed) % 256, (x * y + seed * 5) % 256));
    return image;
}

QStringList topLevelMp4Boxes(const QString &path)
{
    const QByteArray data = fileContent(path);
    QStringList boxes;
    for (qint64 position = 0, size = 8; size >= 8 && position + 8 <= data.size(); position += size) {
        size = qFromBigEndian<quint32>(data.constData() + position);
        if (size == 1)
            size = qFromBigEndian<quint64>(data.constData() + position + 8);
        boxes.append(QString::fromLatin1(data.mid(position + 4, 4)));
    }
    return boxes;
}

// Codec, pixel format, average rate and decoded frame count as ffprobe sees them.
QString probedStream(const QString &path)
{
    return ovra::tests::runFfprobe({"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                                    "stream=codec_name,pix_fmt,avg_frame_rate,nb_read_frames", "-of", "csv=p=0", path})
        .trimmed();
}

} // namespace

class LibavVideoSinkTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_folder;

    QString path(const QString &name) const { return m_folder->filePath(name); }
    QStringList entries() const { return ovra::tests::folderEntries(m_folder->path()); }

private slots:
    void initTestCase() { av_log_set_level(AV_LOG_ERROR); } // the encoder's statistics only hide failures

    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
    }

    // The rate as an exact rational, the key-frame distance and the quality mapping; the bit
    // rate is left out, x264 ignores it under "crf".
    void encoderSettings_data()
    {
        QTest::addColumn<VideoOutputKind>("kind");
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("rateNumerator");
        QTest::addColumn<int>("rateDenominator");
        QTest::addColumn<int>("gop");
        QTest::addColumn<EncoderOptions>("options");
        // Dead zones, trellis and DCT decimation off, for sub-pixel motion, at a fast preset
        // (h264KeepsSubPixelMotion).
        static constexpr char smallMotion[] = "deadzone-inter=0:deadzone-intra=0:trellis=0:no-dct-decimate=1";
        const auto row = [](const char *name, double rate, int quality, int numerator, int denominator, int gop,
                            const char *crf) {
            QTest::newRow(name) << VideoOutputKind::H264 << rate << quality << numerator << denominator << gop
                                << EncoderOptions{{"crf", crf}, {"x264-params", smallMotion}, {"preset", "veryfast"}};
        };
        row("30 fps, quality 75", 30.0, 75, 30, 1, 60, "19");
        row("quality 0", 30.0, 0, 30, 1, 60, "35");
        row("quality 100", 30.0, 100, 30, 1, 60, "14");
        row("NTSC rate", 30000.0 / 1001.0, 75, 30000, 1001, 60, "19");
        row("slow rate: GOP of one", 0.2, 75, 1, 5, 1, "19");
        QTest::newRow("FFV1") << VideoOutputKind::Ffv1 << 30.0 << 75 << 30 << 1 << 0
                              << EncoderOptions{{"level", "3"}, {"coder", "1"}, {"context", "1"}};
    }

    void encoderSettings()
    {
        QFETCH(VideoOutputKind, kind);
        QFETCH(double, rate);
        QFETCH(int, quality);
        const VideoEncoderSettings settings = videoEncoderSettings(kind, "libx264", QSize(1920, 1080), rate, quality);
        QTEST(settings.frameRateNumerator, "rateNumerator");
        QTEST(settings.frameRateDenominator, "rateDenominator");
        QTEST(settings.gopSize, "gop");
        QTEST(settings.options, "options");
    }

    void h264KeepsSubPixelMotion_data()
    {
        QTest::addColumn<double>("amplitude");
        QTest::addColumn<double>("lowest"); // kept fraction of the lossless file's motion
        QTest::newRow("0.08 px, as recorded") << 0.08 << 0.8;
        QTest::newRow("0.8 px, as magnified") << 0.8 << 0.95;
    }

    void h264KeepsSubPixelMotion()
    {
        // At the default quality the encoder must not flatten a tiny motion: measured against
        // the same pattern written losslessly.
        QFETCH(double, amplitude);
        QFETCH(double, lowest);
        const ovra::tests::VibratingPattern pattern{QSize(256, 192), 60.0, 150, 10.0, amplitude};
        QString error;
        const QString lossless = m_folder->filePath("lossless.mkv");
        const QString h264 = m_folder->filePath("quality75.mp4");
        QVERIFY2(ovra::tests::writeVibratingPatternVideo(lossless, pattern, &error), qPrintable(error));
        QVERIFY2(ovra::tests::writeVibratingPatternVideo(h264, pattern, &error, 75), qPrintable(error));
        const double reference = ovra::tests::motionAmplitude(ovra::tests::decodeAllFrames(lossless), pattern, 60);
        const double kept = ovra::tests::motionAmplitude(ovra::tests::decodeAllFrames(h264), pattern, 60) / reference;
        qInfo("kept %.3f of %.3f px, %lld bytes for %d frames of %dx%d", kept, reference, QFileInfo(h264).size(),
              pattern.frameCount, pattern.frameSize.width(), pattern.frameSize.height());
        QVERIFY2(kept >= lowest && kept <= 1.05, qPrintable(QString::number(kept)));
    }

    void writtenFileDecodesBackWithExactCountSizeAndRate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("rate");
        QTest::addColumn<VideoEncodingSettings>("settings");
        QTest::addColumn<QString>("probed");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("H.264 at 25 fps") << "clip.mp4" << QSize(96, 64) << 25.0 << h264 << "h264,yuv420p,25/1,30" << 12;
        QTest::newRow("H.264 at 29.97 fps, names in other case") << "clip.mp4" << QSize(96, 64) << 30000.0 / 1001.0
                                                                 << settingsFor("MP4", "LibX264")
                                                                 << "h264,yuv420p,30000/1001,30" << 12;
        QTest::newRow("FFV1 of odd size, lossless") << "clip.mkv" << QSize(33, 17) << 25.0 << settingsFor("MKV", "FFV1")
                                                    << "ffv1,bgra,25/1,30" << 0;
    }

    void writtenFileDecodesBackWithExactCountSizeAndRate()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(double, rate);
        QFETCH(VideoEncodingSettings, settings);
        QFETCH(int, tolerance);
        const int frames = 30;
        // Lossy frames are solid, so that only a lossless codec has to keep every pixel.
        const auto image = [&](int i) { return tolerance ? frameOfThird(size, i, frames) : patternImage(size, i); };
        const QString output = path(name);
        LibavVideoSink sink;
        QString error;
        QVERIFY2(sink.open(output, metadataOf(size, rate), settings, &error), qPrintable(error));
        for (int i = 0; i < frames; ++i)
            QVERIFY2(sink.writeFrame(image(i), &error), qPrintable(error));
        const QRegularExpression partial("^\\." + QRegularExpression::escape(name) + "\\.[0-9a-f-]{36}\\.staging\\."
                                         + name.section('.', -1) + "$");
        QVERIFY2(entries().size() == 1 && partial.match(entries().value(0)).hasMatch(),
                 qPrintable(entries().join(' ')));
        QVERIFY2(sink.finish(&error), qPrintable(error));
        QVERIFY(error.isEmpty() && !sink.isOpen());
        QCOMPARE(entries(), QStringList{name});

        VideoMetadata metadata;
        QVERIFY2(LibavVideoAnalyzer().analyze(output, &metadata, &error), qPrintable(error));
        QCOMPARE(metadata.frameCount, frames);
        QCOMPARE(metadata.frameSize, size);
        QVERIFY2(qAbs(metadata.nominalFrameRate - rate) < 1e-6, qPrintable(QString::number(metadata.nominalFrameRate)));
        QTEST(probedStream(output), "probed");
        if (name.endsWith(".mp4")) {
            const QStringList boxes = topLevelMp4Boxes(output);
            QVERIFY2(boxes.contains("mdat") && boxes.indexOf("moov") >= 0
                         && boxes.indexOf("moov") < boxes.indexOf("mdat"),
                     qPrintable(boxes.join(',')));
        }

        LibavVideoSource source;
        QVERIFY2(source.openWithMetadata(metadata, &error), qPrintable(error));
        for (int index : {15, 0, 29, 7}) {
            VideoFrame frame;
            QVERIFY(source.seekToFrame(index, &error));
            QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
            QVERIFY(ovra::tests::maximumChannelDifference(frame.image, image(index)) <= tolerance);
        }
    }

    void openRefusesBadRequestsWithoutTouchingTheDisk_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("rate");
        QTest::addColumn<VideoEncodingSettings>("settings");
        QTest::addColumn<QString>("message");
        const QString taken = "The output file was not specified or already exists.";
        const QString unknown = "The frame size or frame rate is unknown for export.";
        const QString unsupported = "The requested video output format is unsupported.";
        const QString quality = "Export quality must be between 0 and 100.";
        const auto changed = [](auto change) {
            VideoEncodingSettings settings = h264;
            change(settings);
            return settings;
        };
        QTest::newRow("empty path") << QString() << small << 25.0 << h264 << taken;
        QTest::newRow("existing file") << "existing.mp4" << small << 25.0 << h264 << taken;
        QTest::newRow("dangling link") << "dangling.mp4" << small << 25.0 << h264 << taken;
        QTest::newRow("no frame size") << "clip.mp4" << QSize() << 25.0 << h264 << unknown;
        QTest::newRow("1919 wide") << "clip.mp4" << QSize(1919, 1080) << 25.0 << h264
                                   << "H.264/yuv420p export requires an even frame width and height.";
        QTest::newRow("FFV1 in MP4") << "clip.mp4" << small << 25.0 << settingsFor("mp4", "ffv1") << unsupported;
        QTest::newRow("audio") << "clip.mp4" << small << 25.0 << changed([](auto &s) { s.includeAudio = true; })
                               << unsupported;
        QTest::newRow("quality 101") << "clip.mp4" << small << 25.0 << changed([](auto &s) { s.qualityPercent = 101; })
                                     << quality;
        QTest::newRow("quality -1") << "clip.mp4" << small << 25.0 << changed([](auto &s) { s.qualityPercent = -1; })
                                    << quality;
        QTest::newRow("missing directory") << "missing/clip.mp4" << small << 25.0 << h264
                                           << "The output directory does not exist.";
        // Failures after the encoder search remove the staging file again.
        QTest::newRow("rate too slow for a rational")
            << "clip.mp4" << small << 1e-12 << h264 << "Could not represent the output frame rate.";
        QTest::newRow("rate too fast for a rational")
            << "clip.mp4" << small << 1e12 << h264 << "Could not represent the output frame rate.";
        QTest::newRow("quality 0 is accepted") << "clip.mp4" << small << 25.0
                                               << changed([](auto &s) { s.qualityPercent = 0; }) << QString();
    }

    void openRefusesBadRequestsWithoutTouchingTheDisk()
    {
        QFETCH(QString, destination);
        QFETCH(QSize, size);
        QFETCH(double, rate);
        QFETCH(VideoEncodingSettings, settings);
        QFETCH(QString, message);
        QVERIFY(writeFile(path("existing.mp4"), "theirs"));
        QVERIFY(QFile::link(path("nowhere"), path("dangling.mp4")));
        const int before = entries().size();

        LibavVideoSink sink;
        QString error;
        const bool opened =
            sink.open(destination.isEmpty() ? QString() : path(destination), metadataOf(size, rate), settings, &error);
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
            QVERIFY(sink.writeFrame(grey()));
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
        QTest::addColumn<int>("frames");    // written before finish; -1: open fails
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
            failed = !sink.writeFrame(grey(), &error);
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
        verifyRefusal(sink->writeFrame(grey(), &error), error, notOpen);
        verifyRefusal(sink->finish(&error), error, QString("The video sink is not open."));

        for (bool destroy : {false, true}) {
            QVERIFY2(sink->open(path("clip.mp4"), metadataOf(small), h264, &error), qPrintable(error));
            verifyRefusal(sink->writeFrame(QImage(), &error), error, notOpen);
            verifyRefusal(sink->writeFrame(grey(QSize(31, 32)), &error), error,
                          QString("The exported frame size differs from the source frame size."));
            QVERIFY(sink->isOpen());
            QCOMPARE(entries().size(), 1);
            if (destroy)
                sink.reset();
            else
                sink->abort();
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
};

QTEST_GUILESS_MAIN(LibavVideoSinkTest)
#include "tst_libavvideosink.moc"
