#include "media/libav/LibavEncoderSettings.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSink.h"
#include "media/libav/LibavVideoSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <limits>
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

const QString notSpecifiedMessage = QStringLiteral("The output file was not specified or already exists.");
const QString reservedMessage = QStringLiteral("The reserved staging file is missing or is not empty.");
const QString unsupportedMessage = QStringLiteral("The requested video output format is unsupported.");
const QString appearedMessage =
    QStringLiteral("The output file appeared during processing; the existing file was not overwritten.");

VideoMetadata metadataOf(QSize size, double frameRate)
{
    VideoMetadata metadata;
    metadata.frameSize = size;
    metadata.nominalFrameRate = frameRate;
    return metadata;
}

VideoEncodingSettings h264Settings()
{
    return {};
}

VideoEncodingSettings ffv1Settings()
{
    VideoEncodingSettings settings;
    settings.container = QStringLiteral("matroska");
    settings.videoCodec = QStringLiteral("ffv1");
    return settings;
}

// A third of the frames each red, green and blue, so that swapped channels or lost frames show.
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

// Every pixel different; written in a format other than RGBA8888 to exercise the conversion.
QImage patternImage(QSize size, int seed)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed * 31) % 256, (y * 13 + seed) % 256, (x * y + seed * 5) % 256));
    return image;
}

// Names of the top-level boxes of an MP4 file, in file order.
QStringList topLevelBoxes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    QStringList boxes;
    qint64 position = 0;
    while (position + 8 <= data.size()) {
        qint64 size = qFromBigEndian<quint32>(data.constData() + position);
        if (size == 1 && position + 16 <= data.size())
            size = qFromBigEndian<quint64>(data.constData() + position + 8);
        else if (size == 0)
            size = data.size() - position;
        boxes.append(QString::fromLatin1(data.mid(position + 4, 4)));
        if (size < 8)
            break;
        position += size;
    }
    return boxes;
}

// "key=value" lines of ffprobe about the first video stream.
QMap<QString, QString> probeVideoStream(const QString &path)
{
    const QString ffprobe = qEnvironmentVariable("FFPROBE", QStringLiteral("ffprobe"));
    QProcess process;
    process.start(ffprobe, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                            QStringLiteral("v:0"), QStringLiteral("-count_frames"), QStringLiteral("-show_entries"),
                            QStringLiteral("stream=codec_name,pix_fmt,width,height,avg_frame_rate,nb_read_frames"),
                            QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"), path});
    QMap<QString, QString> values;
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return values;
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const int separator = line.indexOf(QLatin1Char('='));
        if (separator > 0)
            values.insert(line.left(separator), line.mid(separator + 1).trimmed());
    }
    return values;
}

bool closeTo(const QColor &actual, const QColor &expected, int tolerance)
{
    return qAbs(actual.red() - expected.red()) <= tolerance && qAbs(actual.green() - expected.green()) <= tolerance
        && qAbs(actual.blue() - expected.blue()) <= tolerance;
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
    void outputKind_data();
    void outputKind();

    void h264FileDecodesBackWithExactCountSizeAndRate_data();
    void h264FileDecodesBackWithExactCountSizeAndRate();
    void ffv1FileOfOddSizeIsLossless();
    void encodesIntoAHiddenStagingFileUntilFinished_data();
    void encodesIntoAHiddenStagingFileUntilFinished();
    void openRefusesBadRequestsWithoutTouchingTheDisk_data();
    void openRefusesBadRequestsWithoutTouchingTheDisk();
    void qualityZeroIsAccepted();
    void reservedStagingFileMustBeAnEmptyRegularFile_data();
    void reservedStagingFileMustBeAnEmptyRegularFile();
    void reservedStagingFileIsFilledAndNotRenamed();
    void failureAfterTheEncoderSearchRemovesTheReservedFile_data();
    void failureAfterTheEncoderSearchRemovesTheReservedFile();
    void destinationCreatedDuringEncodingIsLeftUntouched();
    void cancellationLeavesNoFiles_data();
    void cancellationLeavesNoFiles();
    void frameErrorsKeepTheSinkOpenUntilAborted();
    void destructionRemovesAnUnfinishedFile();
    void finishNeedsAnOpenSink();
    void staleStagingFileBlocksTheNextOpenUntilRemoved();

private:
    QString path(const QString &name) const { return m_folder->filePath(name); }
    QStringList folderEntries() const
    {
        return QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    void encode(LibavVideoSink &sink, QSize size, int frames);

    std::unique_ptr<QTemporaryDir> m_folder;
};

void LibavVideoSinkTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void LibavVideoSinkTest::encode(LibavVideoSink &sink, QSize size, int frames)
{
    for (int i = 0; i < frames; ++i) {
        QString error;
        QVERIFY2(sink.writeFrame(solidImage(size, colourOfFrame(i, frames)), &error), qPrintable(error));
    }
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
    const QSize fullHd(1920, 1080);
    const auto crf = [](const char *value) { return EncoderOptions{{"crf", value}}; };
    QTest::newRow("1080p30 libx264 q75") << h264 << QByteArray("libx264") << fullHd << 30.0 << 75 << 30 << 1 << 60
                                         << qint64(7464960) << crf("19");
    QTest::newRow("1080p30 h264_mf q75")
        << h264 << QByteArray("h264_mf") << fullHd << 30.0 << 75 << 30 << 1 << 60 << qint64(7464960)
        << EncoderOptions{{"rate_control", "quality"}, {"quality", "75"}};
    QTest::newRow("q0 gives crf 35") << h264 << QByteArray("libx264") << fullHd << 30.0 << 0 << 30 << 1 << 60
                                     << qint64(7464960) << crf("35");
    QTest::newRow("q100 gives crf 14") << h264 << QByteArray("libx264") << fullHd << 30.0 << 100 << 30 << 1 << 60
                                       << qint64(7464960) << crf("14");
    QTest::newRow("quality above 100 is clamped") << h264 << QByteArray("libx264") << fullHd << 30.0 << 150 << 30
                                                  << 1 << 60 << qint64(7464960) << crf("14");
    QTest::newRow("64x64 at 10 fps gets the minimum bit rate")
        << h264 << QByteArray("libx264") << QSize(64, 64) << 10.0 << 75 << 10 << 1 << 20 << qint64(1000000) << crf("19");
    QTest::newRow("8K at 240 fps gets the maximum bit rate")
        << h264 << QByteArray("libx264") << QSize(7680, 4320) << 240.0 << 75 << 240 << 1 << 480
        << qint64(100000000) << crf("19");
    QTest::newRow("NTSC rate") << h264 << QByteArray("libx264") << fullHd << 30000.0 / 1001.0 << 75 << 30000 << 1001
                               << 60 << qint64(7457502) << crf("19");
    QTest::newRow("slow rate keeps a GOP of one") << h264 << QByteArray("libx264") << fullHd << 0.2 << 75 << 1 << 5
                                                  << 1 << qint64(1000000) << crf("19");
    QTest::newRow("FFV1") << VideoOutputKind::Ffv1 << QByteArray("ffv1") << fullHd << 30.0 << 75 << 30 << 1 << 0
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

void LibavVideoSinkTest::outputKind_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<int>("kind"); // -1: none
    QTest::newRow("mp4 h264") << "mp4" << "h264" << int(VideoOutputKind::H264);
    QTest::newRow("MP4 LibX264") << "MP4" << "LibX264" << int(VideoOutputKind::H264);
    QTest::newRow("matroska ffv1") << "matroska" << "ffv1" << int(VideoOutputKind::Ffv1);
    QTest::newRow("MKV FFV1") << "MKV" << "FFV1" << int(VideoOutputKind::Ffv1);
    QTest::newRow("mp4 ffv1") << "mp4" << "ffv1" << -1;
    QTest::newRow("mkv h264") << "mkv" << "h264" << -1;
    QTest::newRow("avi h264") << "avi" << "h264" << -1;
}

void LibavVideoSinkTest::outputKind()
{
    QFETCH(QString, container);
    QFETCH(QString, codec);
    QFETCH(int, kind);
    VideoEncodingSettings settings;
    settings.container = container;
    settings.videoCodec = codec;
    const std::optional<VideoOutputKind> found = videoOutputKind(settings);
    QCOMPARE(found ? int(*found) : -1, kind);
}

void LibavVideoSinkTest::h264FileDecodesBackWithExactCountSizeAndRate_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<QString>("probedRate");
    QTest::newRow("25 fps") << 25.0 << QStringLiteral("25/1");
    QTest::newRow("29.97 fps") << 30000.0 / 1001.0 << QStringLiteral("30000/1001");
}

void LibavVideoSinkTest::h264FileDecodesBackWithExactCountSizeAndRate()
{
    QFETCH(double, rate);
    QFETCH(QString, probedRate);
    const QSize size(96, 64);
    const int frames = 30;
    const QString output = path(QStringLiteral("clip.mp4"));
    LibavVideoSink sink;
    QString error;
    QVERIFY2(sink.open(output, metadataOf(size, rate), h264Settings(), &error), qPrintable(error));
    QVERIFY(sink.isOpen());
    encode(sink, size, frames);
    QVERIFY2(sink.finish(&error), qPrintable(error));
    QVERIFY(error.isEmpty());
    QVERIFY(!sink.isOpen());
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("clip.mp4")});

    VideoMetadata analysed;
    QVERIFY2(LibavVideoAnalyzer().analyze(output, &analysed, &error), qPrintable(error));
    QCOMPARE(analysed.frameCount, frames);
    QCOMPARE(analysed.frameSize, size);
    QVERIFY2(qAbs(analysed.nominalFrameRate - rate) < 1e-6, qPrintable(QString::number(analysed.nominalFrameRate)));
    QVERIFY(!analysed.variableFrameRate);

    const QMap<QString, QString> stream = probeVideoStream(output);
    QCOMPARE(stream.value(QStringLiteral("codec_name")), QStringLiteral("h264"));
    QCOMPARE(stream.value(QStringLiteral("pix_fmt")), QStringLiteral("yuv420p"));
    QCOMPARE(stream.value(QStringLiteral("avg_frame_rate")), probedRate);
    QCOMPARE(stream.value(QStringLiteral("nb_read_frames")), QString::number(frames));

    const QStringList boxes = topLevelBoxes(output);
    QVERIFY2(boxes.contains(QStringLiteral("moov")) && boxes.contains(QStringLiteral("mdat")),
             qPrintable(boxes.join(QLatin1Char(','))));
    QVERIFY2(boxes.indexOf(QStringLiteral("moov")) < boxes.indexOf(QStringLiteral("mdat")),
             qPrintable(boxes.join(QLatin1Char(','))));

    // Colours survive the trip through yuv420p with their channels in place.
    LibavVideoSource source;
    QVERIFY2(source.openWithMetadata(analysed, &error), qPrintable(error));
    for (int index : {0, 15, 29}) {
        QVERIFY(source.seekToFrame(index, &error));
        VideoFrame frame;
        QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
        const QColor colour = frame.image.pixelColor(size.width() / 2, size.height() / 2);
        QVERIFY2(closeTo(colour, colourOfFrame(index, frames), 12), qPrintable(colour.name()));
    }
}

void LibavVideoSinkTest::ffv1FileOfOddSizeIsLossless()
{
    const QSize size(33, 17);
    const QString output = path(QStringLiteral("clip.mkv"));
    LibavVideoSink sink;
    QString error;
    QVERIFY2(sink.open(output, metadataOf(size, 25.0), ffv1Settings(), &error), qPrintable(error));
    for (int i = 0; i < 5; ++i)
        QVERIFY2(sink.writeFrame(patternImage(size, i), &error), qPrintable(error));
    QVERIFY2(sink.finish(&error), qPrintable(error));
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("clip.mkv")});

    const QMap<QString, QString> stream = probeVideoStream(output);
    QCOMPARE(stream.value(QStringLiteral("codec_name")), QStringLiteral("ffv1"));
    QCOMPARE(stream.value(QStringLiteral("pix_fmt")), QStringLiteral("bgra"));

    VideoMetadata analysed;
    QVERIFY2(LibavVideoAnalyzer().analyze(output, &analysed, &error), qPrintable(error));
    QCOMPARE(analysed.frameCount, 5);
    QCOMPARE(analysed.frameSize, size);
    LibavVideoSource source;
    QVERIFY2(source.openWithMetadata(analysed, &error), qPrintable(error));
    for (int i = 0; i < 5; ++i) {
        VideoFrame frame;
        QCOMPARE(source.readFrame(&frame, &error), VideoReadStatus::Frame);
        QCOMPARE(frame.image.convertToFormat(QImage::Format_ARGB32), patternImage(size, i));
    }
}

void LibavVideoSinkTest::encodesIntoAHiddenStagingFileUntilFinished_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("stagingPattern");
    QTest::newRow("with suffix") << QStringLiteral("clip.mp4")
                                 << QStringLiteral("^\\.clip\\.mp4\\.[0-9a-f-]{36}\\.partial\\.mp4$");
    QTest::newRow("without suffix") << QStringLiteral("clip") << QStringLiteral("^\\.clip\\.[0-9a-f-]{36}\\.partial$");
}

void LibavVideoSinkTest::encodesIntoAHiddenStagingFileUntilFinished()
{
    QFETCH(QString, destination);
    QFETCH(QString, stagingPattern);
    const QSize size(32, 32);
    LibavVideoSink sink;
    QString error;
    QVERIFY2(sink.open(path(destination), metadataOf(size, 25.0), h264Settings(), &error), qPrintable(error));
    encode(sink, size, 3);
    const QStringList entries = folderEntries();
    QCOMPARE(entries.size(), 1);
    QVERIFY2(QRegularExpression(stagingPattern).match(entries.first()).hasMatch(), qPrintable(entries.first()));
    QVERIFY2(sink.finish(&error), qPrintable(error));
    QCOMPARE(folderEntries(), QStringList{destination});
}

void LibavVideoSinkTest::openRefusesBadRequestsWithoutTouchingTheDisk_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("rate");
    QTest::addColumn<VideoEncodingSettings>("settings");
    QTest::addColumn<QString>("message");

    const QSize size(64, 48);
    const VideoEncodingSettings h264 = h264Settings();
    VideoEncodingSettings withAudio = h264;
    withAudio.includeAudio = true;
    VideoEncodingSettings scaled = h264;
    scaled.preserveFrameSize = false;
    VideoEncodingSettings retimed = h264;
    retimed.preserveFrameRate = false;
    VideoEncodingSettings ffv1InMp4 = h264;
    ffv1InMp4.videoCodec = QStringLiteral("ffv1");
    VideoEncodingSettings tooGood = h264;
    tooGood.qualityPercent = 101;
    VideoEncodingSettings negative = h264;
    negative.qualityPercent = -1;
    const QString quality = QStringLiteral("Export quality must be between 0 and 100.");
    const QString unknown = QStringLiteral("The frame size or frame rate is unknown for export.");

    QTest::newRow("empty path") << QString() << size << 25.0 << h264 << notSpecifiedMessage;
    QTest::newRow("existing file") << "existing.mp4" << size << 25.0 << h264 << notSpecifiedMessage;
    QTest::newRow("dangling link") << "dangling.mp4" << size << 25.0 << h264 << notSpecifiedMessage;
    QTest::newRow("no frame size") << "clip.mp4" << QSize() << 25.0 << h264 << unknown;
    QTest::newRow("no frame rate") << "clip.mp4" << size << 0.0 << h264 << unknown;
    QTest::newRow("odd width for H.264") << "clip.mp4" << QSize(1919, 1080) << 25.0 << h264
                                         << QStringLiteral("H.264/yuv420p export requires an even frame width and height.");
    QTest::newRow("odd height for H.264") << "clip.mp4" << QSize(64, 47) << 25.0 << h264
                                          << QStringLiteral("H.264/yuv420p export requires an even frame width and height.");
    QTest::newRow("FFV1 in MP4") << "clip.mp4" << size << 25.0 << ffv1InMp4 << unsupportedMessage;
    QTest::newRow("audio") << "clip.mp4" << size << 25.0 << withAudio << unsupportedMessage;
    QTest::newRow("scaling") << "clip.mp4" << size << 25.0 << scaled << unsupportedMessage;
    QTest::newRow("retiming") << "clip.mp4" << size << 25.0 << retimed << unsupportedMessage;
    QTest::newRow("quality 101") << "clip.mp4" << size << 25.0 << tooGood << quality;
    QTest::newRow("quality -1") << "clip.mp4" << size << 25.0 << negative << quality;
    QTest::newRow("missing directory") << "missing/clip.mp4" << size << 25.0 << h264
                                       << QStringLiteral("The output directory does not exist.");
}

void LibavVideoSinkTest::openRefusesBadRequestsWithoutTouchingTheDisk()
{
    QFETCH(QString, destination);
    QFETCH(QSize, size);
    QFETCH(double, rate);
    QFETCH(VideoEncodingSettings, settings);
    QFETCH(QString, message);
    QFile existing(path(QStringLiteral("existing.mp4")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    QCOMPARE(existing.write("someone else's"), 14);
    existing.close();
    QVERIFY(QFile::link(path(QStringLiteral("nowhere")), path(QStringLiteral("dangling.mp4"))));
    const QStringList before = folderEntries();

    LibavVideoSink sink;
    QString error;
    QVERIFY(!sink.open(destination.isEmpty() ? QString() : path(destination), metadataOf(size, rate), settings, &error));
    QCOMPARE(error, message);
    QVERIFY(!sink.isOpen());
    QCOMPARE(folderEntries(), before);
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("someone else's"));
}

void LibavVideoSinkTest::qualityZeroIsAccepted()
{
    VideoEncodingSettings settings = h264Settings();
    settings.qualityPercent = 0;
    LibavVideoSink sink;
    QString error;
    QVERIFY2(sink.open(path(QStringLiteral("clip.mp4")), metadataOf(QSize(32, 32), 25.0), settings, &error),
             qPrintable(error));
    encode(sink, QSize(32, 32), 2);
    QVERIFY2(sink.finish(&error), qPrintable(error));
    QVERIFY(QFileInfo(path(QStringLiteral("clip.mp4"))).size() > 0);
}

void LibavVideoSinkTest::reservedStagingFileMustBeAnEmptyRegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << QStringLiteral("missing");
    QTest::newRow("not empty") << QStringLiteral("not empty");
    QTest::newRow("symbolic link to an empty file") << QStringLiteral("link");
    QTest::newRow("directory") << QStringLiteral("directory");
    QTest::newRow("empty path") << QStringLiteral("empty path");
}

void LibavVideoSinkTest::reservedStagingFileMustBeAnEmptyRegularFile()
{
    QFETCH(QString, kind);
    const QString reserved = path(QStringLiteral(".clip.mp4.reserved.staging.mp4"));
    if (kind == QLatin1String("not empty") || kind == QLatin1String("link")) {
        QFile file(kind == QLatin1String("link") ? path(QStringLiteral("empty")) : reserved);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (kind == QLatin1String("not empty"))
            file.write("x");
    }
    if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(path(QStringLiteral("empty")), reserved));
    if (kind == QLatin1String("directory"))
        QVERIFY(QDir().mkdir(reserved));
    const QStringList before = folderEntries();

    LibavVideoSink sink;
    QString error;
    QVERIFY(!sink.openReservedStagingFile(kind == QLatin1String("empty path") ? QString() : reserved,
                                          metadataOf(QSize(32, 32), 25.0), h264Settings(), &error));
    QCOMPARE(error, reservedMessage);
    QCOMPARE(folderEntries(), before);
}

void LibavVideoSinkTest::reservedStagingFileIsFilledAndNotRenamed()
{
    const QString reserved = path(QStringLiteral(".clip.mp4.reserved.staging.mp4"));
    QFile file(reserved);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    LibavVideoSink sink;
    QString error;
    QVERIFY2(sink.openReservedStagingFile(reserved, metadataOf(QSize(32, 32), 25.0), h264Settings(), &error),
             qPrintable(error));
    encode(sink, QSize(32, 32), 4);
    QVERIFY2(sink.finish(&error), qPrintable(error));
    QCOMPARE(folderEntries(), QStringList{QFileInfo(reserved).fileName()});
    VideoMetadata analysed;
    QVERIFY2(LibavVideoAnalyzer().analyze(reserved, &analysed, &error), qPrintable(error));
    QCOMPARE(analysed.frameCount, 4);
}

void LibavVideoSinkTest::failureAfterTheEncoderSearchRemovesTheReservedFile_data()
{
    QTest::addColumn<double>("rate");
    QTest::newRow("rate too slow for a rational") << 1e-12;
    QTest::newRow("rate too fast for a rational") << 1e12;
}

void LibavVideoSinkTest::failureAfterTheEncoderSearchRemovesTheReservedFile()
{
    QFETCH(double, rate);
    const QString reserved = path(QStringLiteral(".clip.mp4.reserved.staging.mp4"));
    QFile file(reserved);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    LibavVideoSink sink;
    QString error;
    QVERIFY(!sink.openReservedStagingFile(reserved, metadataOf(QSize(32, 32), rate), h264Settings(), &error));
    QCOMPARE(error, QStringLiteral("Could not represent the output frame rate."));
    QVERIFY(!sink.isOpen());
    QVERIFY(sink.cleanupMessage().isEmpty());
    QCOMPARE(folderEntries(), QStringList());
}

void LibavVideoSinkTest::destinationCreatedDuringEncodingIsLeftUntouched()
{
    const QSize size(32, 32);
    const QString output = path(QStringLiteral("clip.mp4"));
    LibavVideoSink sink;
    QString error;
    QVERIFY2(sink.open(output, metadataOf(size, 25.0), h264Settings(), &error), qPrintable(error));
    encode(sink, size, 5);
    QFile intruder(output);
    QVERIFY(intruder.open(QIODevice::WriteOnly));
    QCOMPARE(intruder.write("someone else's"), 14);
    intruder.close();

    QVERIFY(!sink.finish(&error));
    QCOMPARE(error, appearedMessage);
    QVERIFY(!sink.isOpen());
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("clip.mp4")});
    QVERIFY(intruder.open(QIODevice::ReadOnly));
    QCOMPARE(intruder.readAll(), QByteArray("someone else's"));
}

void LibavVideoSinkTest::cancellationLeavesNoFiles_data()
{
    QTest::addColumn<int>("checksBeforeCancel");
    QTest::addColumn<bool>("throwing");
    QTest::addColumn<int>("framesWritten"); // before the failing step; -1: open fails
    QTest::addColumn<QString>("message");
    // The check runs once at open, then before, between and after the packets of every frame.
    QTest::newRow("before open") << 0 << false << -1 << QStringLiteral("Starting video encoding was cancelled.");
    QTest::newRow("throwing check before open") << 0 << true << -1 << QStringLiteral("Starting video encoding was cancelled.");
    QTest::newRow("while writing") << 6 << false << 8 << QStringLiteral("Video encoding was cancelled.");
    QTest::newRow("throwing while writing") << 6 << true << 8 << QStringLiteral("Video encoding was cancelled.");
    QTest::newRow("at finish") << 1000000 << false << 4 << QStringLiteral("Finalizing the video was cancelled.");
}

void LibavVideoSinkTest::cancellationLeavesNoFiles()
{
    QFETCH(int, checksBeforeCancel);
    QFETCH(bool, throwing);
    QFETCH(int, framesWritten);
    QFETCH(QString, message);
    int checks = 0;
    bool cancelNow = false;
    LibavVideoSink sink([&] {
        if (cancelNow || ++checks > checksBeforeCancel) {
            if (throwing)
                throw std::runtime_error("cancelled");
            return true;
        }
        return false;
    });
    const QSize size(32, 32);
    QString error;
    const bool opened = sink.open(path(QStringLiteral("clip.mp4")), metadataOf(size, 25.0), h264Settings(), &error);
    if (framesWritten < 0) {
        QVERIFY(!opened);
    } else {
        QVERIFY2(opened, qPrintable(error));
        bool failed = false;
        for (int i = 0; i < framesWritten && !failed; ++i)
            failed = !sink.writeFrame(solidImage(size, Qt::gray), &error);
        if (!failed) {
            cancelNow = true;
            failed = !sink.finish(&error);
        }
        QVERIFY(failed);
        sink.abort();
    }
    QCOMPARE(error, message);
    QVERIFY(sink.cancelled());
    QVERIFY(!sink.isOpen());
    QCOMPARE(folderEntries(), QStringList());
}

void LibavVideoSinkTest::frameErrorsKeepTheSinkOpenUntilAborted()
{
    const QSize size(32, 32);
    LibavVideoSink sink;
    QString error;
    QVERIFY(!sink.writeFrame(solidImage(size, Qt::gray), &error));
    QCOMPARE(error, QStringLiteral("The video sink is not open or the frame is invalid."));

    QVERIFY2(sink.open(path(QStringLiteral("clip.mp4")), metadataOf(size, 25.0), h264Settings(), &error),
             qPrintable(error));
    QVERIFY(!sink.writeFrame(QImage(), &error));
    QCOMPARE(error, QStringLiteral("The video sink is not open or the frame is invalid."));
    QVERIFY(!sink.writeFrame(solidImage(QSize(31, 32), Qt::gray), &error));
    QCOMPARE(error, QStringLiteral("The exported frame size differs from the source frame size."));
    QVERIFY(sink.isOpen());
    QCOMPARE(folderEntries().size(), 1);
    sink.abort();
    QVERIFY(!sink.isOpen());
    QCOMPARE(folderEntries(), QStringList());
}

void LibavVideoSinkTest::destructionRemovesAnUnfinishedFile()
{
    {
        LibavVideoSink sink;
        QVERIFY(sink.open(path(QStringLiteral("clip.mkv")), metadataOf(QSize(16, 16), 25.0), ffv1Settings()));
        QVERIFY(sink.writeFrame(patternImage(QSize(16, 16), 1)));
        QCOMPARE(folderEntries().size(), 1);
    }
    QCOMPARE(folderEntries(), QStringList());
}

void LibavVideoSinkTest::finishNeedsAnOpenSink()
{
    LibavVideoSink sink;
    QString error;
    QVERIFY(!sink.finish(&error));
    QCOMPARE(error, QStringLiteral("The video sink is not open."));
}

// A staging file that cannot be removed (here: replaced by a non-empty directory) is named in
// the clean-up message and blocks the sink until a later attempt removes it.
void LibavVideoSinkTest::staleStagingFileBlocksTheNextOpenUntilRemoved()
{
    const QSize size(16, 16);
    LibavVideoSink sink;
    QString error;
    QVERIFY(sink.open(path(QStringLiteral("clip.mkv")), metadataOf(size, 25.0), ffv1Settings(), &error));
    const QString staging = path(folderEntries().value(0));
    QVERIFY(QFile::remove(staging));
    QVERIFY(QDir().mkpath(staging + QStringLiteral("/inside")));

    sink.abort();
    QVERIFY2(sink.cleanupMessage().startsWith(QStringLiteral("A temporary file may remain at %1: ").arg(staging)),
             qPrintable(sink.cleanupMessage()));
    QVERIFY(!sink.open(path(QStringLiteral("other.mkv")), metadataOf(size, 25.0), ffv1Settings(), &error));
    QCOMPARE(error, sink.cleanupMessage());

    QVERIFY(QDir(staging).removeRecursively());
    QVERIFY2(sink.open(path(QStringLiteral("other.mkv")), metadataOf(size, 25.0), ffv1Settings(), &error),
             qPrintable(error));
    QVERIFY(sink.cleanupMessage().isEmpty());
}

QTEST_GUILESS_MAIN(LibavVideoSinkTest)
#include "tst_libavvideosink.moc"
