#include "media/libav/LibavEncoderSettings.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSink.h"
#include "media/libav/LibavVideoSource.h"

#include <QDir>
#include <QProcess>
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

using EncoderOptions = QList<QPair<QByteArray, QByteArray>>;
Q_DECLARE_METATYPE(VideoOutputKind)
Q_DECLARE_METATYPE(EncoderOptions)

namespace {

const QSize small(32, 32);

VideoMetadata metadataOf(QSize size, double frameRate)
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
QColor colourOfFrame(int index, int count)
{
    const int third = index * 3 / count;
    return third == 0 ? QColor(220, 30, 30) : third == 1 ? QColor(30, 220, 30) : QColor(30, 30, 220);
}

QImage solidImage(QSize size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGBA8888);
    image.fill(colour);
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
    QFile file(path);
    const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QStringList boxes;
    for (qint64 position = 0, size = 8; size >= 8 && position + 8 <= data.size(); position += size) {
        size = qFromBigEndian<quint32>(data.constData() + position);
        if (size == 1)
            size = qFromBigEndian<quint64>(data.constData() + position + 8);
        boxes.append(QString::fromLatin1(data.mid(position + 4, 4)));
    }
    return boxes;
}

QString probe(const QString &path, const QString &entries)
{
    QProcess ffprobe;
    ffprobe.start(qEnvironmentVariable("FFPROBE", "ffprobe"),
                  {"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries", "stream=" + entries,
                   "-of", "csv=p=0", path});
    return ffprobe.waitForFinished() ? QString::fromUtf8(ffprobe.readAllStandardOutput()).trimmed() : QString();
}

} // namespace

class LibavVideoSinkTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { av_log_set_level(AV_LOG_ERROR); } // the encoder's statistics only hide failures
    void init();
    void encoderSettings_data();
    void encoderSettings();
    void h264FileDecodesBackWithExactCountSizeAndRate_data();
    void h264FileDecodesBackWithExactCountSizeAndRate();
    void ffv1FileOfOddSizeIsLossless();
    void openRefusesBadRequestsWithoutTouchingTheDisk_data();
    void openRefusesBadRequestsWithoutTouchingTheDisk();
    void reservedStagingFile_data();
    void reservedStagingFile();
    void destinationCreatedDuringEncodingIsLeftUntouched();
    void cancellationLeavesNoFiles_data();
    void cancellationLeavesNoFiles();
    void frameErrorsKeepTheSinkOpenUntilAbortedOrDestroyed();
    void stagingFileThatCannotBeRemovedBlocksTheNextOpen();

private:
    QString path(const QString &name) const { return m_folder->filePath(name); }
    QStringList entries() const { return QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

    std::unique_ptr<QTemporaryDir> m_folder;
};

void LibavVideoSinkTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void LibavVideoSinkTest::encoderSettings_data()
{
    QTest::addColumn<VideoOutputKind>("kind");
    QTest::addColumn<QByteArray>("encoder");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("rateNumerator");
    QTest::addColumn<int>("rateDenominator");
    QTest::addColumn<int>("gop");
    QTest::addColumn<qint64>("bitRate");
    QTest::addColumn<EncoderOptions>("options");
    const auto h264 = VideoOutputKind::H264;
    const QSize hd(1920, 1080);
    const auto crf = [](const char *value) { return EncoderOptions{{"crf", value}}; };
    QTest::newRow("1080p30 libx264 q75") << h264 << QByteArray("libx264") << hd << 30.0 << 75 << 30 << 1 << 60
                                         << qint64(7464960) << crf("19");
    QTest::newRow("1080p30 h264_mf q75") << h264 << QByteArray("h264_mf") << hd << 30.0 << 75 << 30 << 1 << 60
                                         << qint64(7464960)
                                         << EncoderOptions{{"rate_control", "quality"}, {"quality", "75"}};
    QTest::newRow("q0") << h264 << QByteArray("libx264") << hd << 30.0 << 0 << 30 << 1 << 60 << qint64(7464960)
                        << crf("35");
    QTest::newRow("q100") << h264 << QByteArray("libx264") << hd << 30.0 << 100 << 30 << 1 << 60 << qint64(7464960)
                          << crf("14");
    QTest::newRow("64x64 at 10 fps: minimum bit rate") << h264 << QByteArray("libx264") << QSize(64, 64) << 10.0 << 75
                                                       << 10 << 1 << 20 << qint64(1000000) << crf("19");
    QTest::newRow("8K at 240 fps: maximum bit rate") << h264 << QByteArray("libx264") << QSize(7680, 4320) << 240.0
                                                     << 75 << 240 << 1 << 480 << qint64(100000000) << crf("19");
    QTest::newRow("NTSC rate") << h264 << QByteArray("libx264") << hd << 30000.0 / 1001.0 << 75 << 30000 << 1001
                               << 60 << qint64(7457502) << crf("19");
    QTest::newRow("slow rate: GOP of one") << h264 << QByteArray("libx264") << hd << 0.2 << 75 << 1 << 5 << 1
                                           << qint64(1000000) << crf("19");
    QTest::newRow("FFV1") << VideoOutputKind::Ffv1 << QByteArray("ffv1") << hd << 30.0 << 75 << 30 << 1 << 0
                          << qint64(0) << EncoderOptions{{"level", "3"}, {"coder", "1"}, {"context", "1"}};
}

void LibavVideoSinkTest::encoderSettings()
{
    QFETCH(VideoOutputKind, kind);
    QFETCH(QByteArray, encoder);
    QFETCH(QSize, size);
    QFETCH(double, rate);
    QFETCH(int, quality);
    const VideoEncoderSettings settings = videoEncoderSettings(kind, encoder, size, rate, quality);
    QTEST(settings.frameRateNumerator, "rateNumerator");
    QTEST(settings.frameRateDenominator, "rateDenominator");
    QTEST(settings.gopSize, "gop");
    QTEST(settings.bitRate, "bitRate");
    QTEST(settings.options, "options");
}

void LibavVideoSinkTest::h264FileDecodesBackWithExactCountSizeAndRate_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<VideoEncodingSettings>("settings");
    QTest::addColumn<QString>("probedRate");
    QTest::newRow("25 fps") << 25.0 << h264 << "25/1";
    QTest::newRow("29.97 fps, names in other case") << 30000.0 / 1001.0 << settingsFor("MP4", "LibX264") << "30000/1001";
}

void LibavVideoSinkTest::h264FileDecodesBackWithExactCountSizeAndRate()
{
    QFETCH(double, rate);
    QFETCH(VideoEncodingSettings, settings);
    const QSize size(96, 64);
    const int frames = 30;
    const QString output = path("clip.mp4");
    LibavVideoSink sink;
    QString error;
    QVERIFY2(sink.open(output, metadataOf(size, rate), settings, &error), qPrintable(error));
    for (int i = 0; i < frames; ++i)
        QVERIFY2(sink.writeFrame(solidImage(size, colourOfFrame(i, frames)), &error), qPrintable(error));
    QCOMPARE(entries().size(), 1);
    QVERIFY2(QRegularExpression(R"(^\.clip\.mp4\.[0-9a-f-]{36}\.partial\.mp4$)").match(entries().value(0)).hasMatch(),
             qPrintable(entries().value(0)));
    QVERIFY2(sink.finish(&error), qPrintable(error));
    QVERIFY(error.isEmpty() && !sink.isOpen());
    QCOMPARE(entries(), QStringList{"clip.mp4"});

    VideoMetadata analysed;
    QVERIFY2(LibavVideoAnalyzer().analyze(output, &analysed, &error), qPrintable(error));
    QCOMPARE(analysed.frameCount, frames);
    QCOMPARE(analysed.frameSize, size);
    QVERIFY2(qAbs(analysed.nominalFrameRate - rate) < 1e-6, qPrintable(QString::number(analysed.nominalFrameRate)));
    QFETCH(QString, probedRate);
    QCOMPARE(probe(output, "codec_name,pix_fmt,avg_frame_rate,nb_read_frames"),
             QString("h264,yuv420p,%1,%2").arg(probedRate).arg(frames));
    const QStringList boxes = topLevelMp4Boxes(output);
    QVERIFY2(boxes.contains("mdat") && boxes.indexOf("moov") >= 0 && boxes.indexOf("moov") < boxes.indexOf("mdat"),
             qPrintable(boxes.join(',')));

    LibavVideoSource source;
    QVERIFY2(source.openWithMetadata(analysed, &error), qPrintable(error));
    for (int index : {0, 15, 29}) {
        VideoFrame frame;
        QVERIFY(source.seekToFrame(index, &error));
        QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
        const QColor actual = frame.image.pixelColor(48, 32);
        const QColor expected = colourOfFrame(index, frames);
        QVERIFY2(qAbs(actual.red() - expected.red()) <= 12 && qAbs(actual.green() - expected.green()) <= 12
                     && qAbs(actual.blue() - expected.blue()) <= 12,
                 qPrintable(actual.name()));
    }
}

void LibavVideoSinkTest::ffv1FileOfOddSizeIsLossless()
{
    const QSize size(33, 17);
    const QString output = path("clip.mkv");
    LibavVideoSink sink;
    QString error;
    QVERIFY2(sink.open(output, metadataOf(size, 25.0), settingsFor("MKV", "FFV1"), &error), qPrintable(error));
    for (int i = 0; i < 5; ++i)
        QVERIFY2(sink.writeFrame(patternImage(size, i), &error), qPrintable(error));
    QVERIFY2(sink.finish(&error), qPrintable(error));
    QCOMPARE(entries(), QStringList{"clip.mkv"});
    QCOMPARE(probe(output, "codec_name,pix_fmt"), QString("ffv1,bgra"));

    VideoMetadata analysed;
    QVERIFY2(LibavVideoAnalyzer().analyze(output, &analysed, &error), qPrintable(error));
    QCOMPARE(analysed.frameCount, 5);
    LibavVideoSource source;
    QVERIFY2(source.openWithMetadata(analysed, &error), qPrintable(error));
    for (int i = 0; i < 5; ++i) {
        VideoFrame frame;
        QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
        QCOMPARE(frame.image.convertToFormat(QImage::Format_ARGB32), patternImage(size, i));
    }
}

void LibavVideoSinkTest::openRefusesBadRequestsWithoutTouchingTheDisk_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("rate");
    QTest::addColumn<VideoEncodingSettings>("settings");
    QTest::addColumn<QString>("message");
    const QString taken = "The output file was not specified or already exists.";
    const QString unknown = "The frame size or frame rate is unknown for export.";
    const QString odd = "H.264/yuv420p export requires an even frame width and height.";
    const QString unsupported = "The requested video output format is unsupported.";
    const QString quality = "Export quality must be between 0 and 100.";
    auto changed = [](auto change) {
        VideoEncodingSettings settings = h264;
        change(settings);
        return settings;
    };
    QTest::newRow("empty path") << QString() << small << 25.0 << h264 << taken;
    QTest::newRow("existing file") << "existing.mp4" << small << 25.0 << h264 << taken;
    QTest::newRow("dangling link") << "dangling.mp4" << small << 25.0 << h264 << taken;
    QTest::newRow("no frame size") << "clip.mp4" << QSize() << 25.0 << h264 << unknown;
    QTest::newRow("no frame rate") << "clip.mp4" << small << 0.0 << h264 << unknown;
    QTest::newRow("1919 wide") << "clip.mp4" << QSize(1920 - 1, 1080) << 25.0 << h264 << odd;
    QTest::newRow("FFV1 in MP4") << "clip.mp4" << small << 25.0 << settingsFor("mp4", "ffv1") << unsupported;
    QTest::newRow("H.264 in Matroska") << "clip.mkv" << small << 25.0 << settingsFor("mkv", "h264") << unsupported;
    QTest::newRow("audio") << "clip.mp4" << small << 25.0 << changed([](auto &s) { s.includeAudio = true; })
                           << unsupported;
    QTest::newRow("retiming") << "clip.mp4" << small << 25.0 << changed([](auto &s) { s.preserveFrameRate = false; })
                              << unsupported;
    QTest::newRow("quality 101") << "clip.mp4" << small << 25.0 << changed([](auto &s) { s.qualityPercent = 101; })
                                 << quality;
    QTest::newRow("quality -1") << "clip.mp4" << small << 25.0 << changed([](auto &s) { s.qualityPercent = -1; })
                                << quality;
    QTest::newRow("missing directory") << "missing/clip.mp4" << small << 25.0 << h264
                                       << "The output directory does not exist.";
    QTest::newRow("quality 0 is accepted") << "clip.mp4" << small << 25.0
                                           << changed([](auto &s) { s.qualityPercent = 0; }) << QString();
}

void LibavVideoSinkTest::openRefusesBadRequestsWithoutTouchingTheDisk()
{
    QFETCH(QString, destination);
    QFETCH(QSize, size);
    QFETCH(double, rate);
    QFETCH(VideoEncodingSettings, settings);
    QFETCH(QString, message);
    QFile existing(path("existing.mp4"));
    QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("theirs") == 6);
    existing.close();
    QVERIFY(QFile::link(path("nowhere"), path("dangling.mp4")));
    const QStringList before = entries();

    LibavVideoSink sink;
    QString error;
    const bool opened = sink.open(destination.isEmpty() ? QString() : path(destination), metadataOf(size, rate),
                                  settings, &error);
    QCOMPARE(error, message);
    QCOMPARE(opened, message.isEmpty());
    QCOMPARE(entries().size(), before.size() + (opened ? 1 : 0));
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("theirs"));
}

void LibavVideoSinkTest::reservedStagingFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("rate");
    QTest::addColumn<QString>("message");
    const QString unusable = "The reserved staging file is missing or is not empty.";
    QTest::newRow("missing") << "missing" << 25.0 << unusable;
    QTest::newRow("not empty") << "not empty" << 25.0 << unusable;
    QTest::newRow("link to an empty file") << "link" << 25.0 << unusable;
    // Failures after the encoder search remove even the caller's reservation.
    QTest::newRow("rate too slow for a rational") << "empty" << 1e-12 << "Could not represent the output frame rate.";
    QTest::newRow("rate too fast for a rational") << "empty" << 1e12 << "Could not represent the output frame rate.";
    QTest::newRow("filled and not renamed") << "empty" << 25.0 << QString();
}

void LibavVideoSinkTest::reservedStagingFile()
{
    QFETCH(QString, kind);
    QFETCH(double, rate);
    QFETCH(QString, message);
    const QString reserved = path(".clip.mp4.reserved.staging.mp4");
    if (kind != "missing") {
        QFile file(kind == "link" ? path("empty") : reserved);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kind == "not empty" ? "x" : "");
    }
    if (kind == "link")
        QVERIFY(QFile::link(path("empty"), reserved));
    const QStringList before = entries();

    LibavVideoSink sink;
    QString error;
    const bool opened = sink.openReservedStagingFile(reserved, metadataOf(small, rate), h264, &error);
    QCOMPARE(error, message);
    if (!opened) {
        QCOMPARE(entries(), kind == "empty" ? QStringList() : before);
        return;
    }
    for (int i = 0; i < 4; ++i)
        QVERIFY(sink.writeFrame(solidImage(small, Qt::gray)));
    QVERIFY2(sink.finish(&error), qPrintable(error));
    QCOMPARE(entries(), before);
    VideoMetadata analysed;
    QVERIFY2(LibavVideoAnalyzer().analyze(reserved, &analysed, &error), qPrintable(error));
    QCOMPARE(analysed.frameCount, 4);
}

void LibavVideoSinkTest::destinationCreatedDuringEncodingIsLeftUntouched()
{
    LibavVideoSink sink;
    QString error;
    QVERIFY2(sink.open(path("clip.mp4"), metadataOf(small, 25.0), h264, &error), qPrintable(error));
    for (int i = 0; i < 5; ++i)
        QVERIFY(sink.writeFrame(solidImage(small, Qt::gray)));
    QFile intruder(path("clip.mp4"));
    QVERIFY(intruder.open(QIODevice::WriteOnly) && intruder.write("theirs") == 6);
    intruder.close();

    QVERIFY(!sink.finish(&error));
    QCOMPARE(error, QString("The output file appeared during processing; the existing file was not overwritten."));
    QVERIFY(!sink.isOpen());
    QCOMPARE(entries(), QStringList{"clip.mp4"});
    QVERIFY(intruder.open(QIODevice::ReadOnly));
    QCOMPARE(intruder.readAll(), QByteArray("theirs"));
}

void LibavVideoSinkTest::cancellationLeavesNoFiles_data()
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

void LibavVideoSinkTest::cancellationLeavesNoFiles()
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
    bool failed = !sink.open(path("clip.mp4"), metadataOf(small, 25.0), h264, &error);
    QCOMPARE(failed, frames < 0);
    for (int i = 0; i < frames && !failed; ++i)
        failed = !sink.writeFrame(solidImage(small, Qt::gray), &error);
    cancelNow = true;
    QVERIFY(failed || !sink.finish(&error));
    QTEST(error, "message");
    QVERIFY(sink.cancelled());
    QTEST(sink.isOpen(), "leftOpen");
    sink.abort();
    QCOMPARE(entries(), QStringList());
}

void LibavVideoSinkTest::frameErrorsKeepTheSinkOpenUntilAbortedOrDestroyed()
{
    const QString notOpen = "The video sink is not open or the frame is invalid.";
    auto sink = std::make_unique<LibavVideoSink>();
    QString error;
    QVERIFY(!sink->writeFrame(solidImage(small, Qt::gray), &error));
    QCOMPARE(error, notOpen);
    QVERIFY(!sink->finish(&error));
    QCOMPARE(error, QString("The video sink is not open."));

    for (bool destroy : {false, true}) {
        QVERIFY2(sink->open(path("clip.mp4"), metadataOf(small, 25.0), h264, &error), qPrintable(error));
        QVERIFY(!sink->writeFrame(QImage(), &error));
        QCOMPARE(error, notOpen);
        QVERIFY(!sink->writeFrame(solidImage(QSize(31, 32), Qt::gray), &error));
        QCOMPARE(error, QString("The exported frame size differs from the source frame size."));
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
void LibavVideoSinkTest::stagingFileThatCannotBeRemovedBlocksTheNextOpen()
{
    LibavVideoSink sink;
    QString error;
    QVERIFY(sink.open(path("clip.mkv"), metadataOf(small, 25.0), ffv1, &error));
    const QString staging = path(entries().value(0));
    QVERIFY(QFile::remove(staging) && QDir().mkpath(staging + "/inside"));

    sink.abort();
    QVERIFY2(sink.cleanupMessage().startsWith(QString("A temporary file may remain at %1: ").arg(staging)),
             qPrintable(sink.cleanupMessage()));
    QVERIFY(!sink.open(path("other.mkv"), metadataOf(small, 25.0), ffv1, &error));
    QCOMPARE(error, sink.cleanupMessage());
    QVERIFY(QDir(staging).removeRecursively());
    QVERIFY2(sink.open(path("other.mkv"), metadataOf(small, 25.0), ffv1, &error), qPrintable(error));
    QVERIFY(sink.cleanupMessage().isEmpty());
}

QTEST_GUILESS_MAIN(LibavVideoSinkTest)
#include "tst_libavvideosink.moc"
