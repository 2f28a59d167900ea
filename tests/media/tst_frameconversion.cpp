// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMedia.h"

#include "media/libav/LibavFrameConverter.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSink.h"
#include "media/libav/LibavVideoSource.h"
#include "media/libav/Rgb32ToYuv420.h"
#include "project_data/AnalysisResult.h"
#include "project_data/AnalysisResultSource.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
}

using namespace ovra::media;
using namespace ovra::media::libav;
using ovra::project_data::AnalysisResult;
using ovra::project_data::AnalysisResultSource;
using ovra::tests::maximumChannelDifference;
using ovra::tests::peakSignalToNoise;
using ovra::tests::runFfmpeg;
using ovra::tests::testMediaPath;

namespace {

// The widths FFmpeg's vector code treats differently: every small one and a band of ordinary ones.
QList<int> sweptWidths()
{
    QList<int> widths;
    for (int width = 2; width <= 660; width = width == 130 ? 560 : width + 1)
        widths.append(width);
    return widths;
}

QImage rawRgba(const QString &path, QSize size)
{
    const QByteArray bytes = ovra::tests::fileContent(path);
    if (bytes.size() != size.width() * size.height() * 4)
        return {};
    return QImage(reinterpret_cast<const uchar *>(bytes.constData()), size.width(), size.height(),
                  QImage::Format_RGBA8888)
        .copy();
}

QImage firstFrame(IVideoSource &source, const QString &path)
{
    VideoFrame frame;
    QString error;
    if (!source.open(path, &error) || source.readFrame(&frame, &error) != VideoReadStatus::Frame)
        qWarning("%s: %s", qPrintable(path), qPrintable(error));
    return frame.image;
}

QImage analyserPreview(const QString &path)
{
    QImage preview;
    LibavVideoAnalyzer analyzer;
    VideoMetadata metadata;
    analyzer.analyze(path, &metadata, nullptr, [&preview](const QImage &image) { preview = image; });
    return preview;
}

// The frame stored as an analysis result and read back through the result source.
QImage storedAndReadBack(const VideoFrame &frame, const VideoMetadata &metadata)
{
    auto store = std::make_shared<AnalysisResult>(metadata);
    if (!store->create() || !store->appendFrame(frame) || !store->finish())
        return {};
    AnalysisResultSource source(store);
    VideoFrame read;
    if (!source.openWithMetadata(metadata) || source.readFrame(&read) != VideoReadStatus::Frame)
        return {};
    return read.image;
}

// A synthetic decoded frame whose samples vary, so that every conversion routine does real work.
FramePtr patternFrame(AVPixelFormat format, int width, int height)
{
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;
    for (int plane = 0; plane < AV_NUM_DATA_POINTERS && frame->data[plane]; ++plane) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < frame->linesize[plane]; ++x)
                frame->data[plane][y * frame->linesize[plane] + x] = uint8_t(x * 7 + y * 13 + plane * 29);
        }
    }
    return frame;
}

} // namespace

class FrameConversionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

private slots:
    void everyPathDecodesEveryWidthAsFfmpegDoes_data()
    {
        QTest::addColumn<int>("width");
        for (int width : sweptWidths())
            QTest::addRow("%d", width) << width;
    }

    void everyPathDecodesEveryWidthAsFfmpegDoes()
    {
        QFETCH(int, width);
        const bool odd = width % 2;
        const QString video = testMediaPath(QString("widths/w%1.%2").arg(width).arg(odd ? "mkv" : "mp4"));
        const QImage reference
            = rawRgba(testMediaPath(QString("widths/w%1.rgba").arg(width)), QSize(width, odd ? 5 : 6));
        QVERIFY(!reference.isNull());

        LibavVideoSource source;
        const QImage decoded = firstFrame(source, video);
        // Vector and plain conversion paths, chosen by alignment, may round one level apart.
        QCOMPARE_LE(maximumChannelDifference(decoded, reference), 1);
        QCOMPARE_LE(maximumChannelDifference(analyserPreview(video), reference), 1);
        QCOMPARE_LE(maximumChannelDifference(storedAndReadBack({decoded, 0, 0}, source.metadata()), reference), 1);
    }

    void conversionStaysInsideItsDestination_data()
    {
        QTest::addColumn<int>("format");
        for (AVPixelFormat format :
             {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUV444P, AV_PIX_FMT_NV12,
              AV_PIX_FMT_YUV420P10LE, AV_PIX_FMT_GRAY8, AV_PIX_FMT_RGB24, AV_PIX_FMT_BGRA})
            QTest::addRow("%s", av_get_pix_fmt_name(format)) << int(format);
    }

    void conversionStaysInsideItsDestination()
    {
        QFETCH(int, format);
        constexpr uint8_t guard = 0xA5;
        constexpr int guardBytes = 256;
        LibavFrameConverter converter;
        for (int width : sweptWidths() + QList<int>{1, 3840}) {
            for (int height : {1, 2, 3, 8}) {
                const FramePtr frame = patternFrame(AVPixelFormat(format), width, height);
                QVERIFY(frame);
                const int stride = RgbaDestination::strideFor(width);
                const qsizetype size = RgbaDestination::bytesFor(stride, height);
                std::vector<uint8_t> memory(size + guardBytes, guard);
                QCOMPARE(converter.convert(frame.get(), RgbaDestination{memory.data(), stride}),
                         LibavFrameConverter::Result::Converted);
                const auto past
                    = std::find_if(memory.begin() + size, memory.end(), [](uint8_t b) { return b != guard; });
                QVERIFY2(past == memory.end(),
                         qPrintable(QString("width %1, height %2: byte %3 past the end written")
                                        .arg(width)
                                        .arg(height)
                                        .arg(past - memory.begin() - size)));
            }
        }
    }

    // Random pixels, also in the tails of the vector loops, against the BT.601 limited-range
    // formulas in double precision, each chroma sample from the mean of its 2x2 block.
    void yuv420ExportConversionFollowsTheFormulas_data()
    {
        QTest::addColumn<int>("width");
        for (int width : {2, 30, 66, 1922})
            QTest::addRow("%d", width) << width;
    }

    void yuv420ExportConversionFollowsTheFormulas()
    {
        QFETCH(int, width);
        QImage image(width, 4, QImage::Format_ARGB32);
        QRandomGenerator random(width);
        for (int y = 0; y < image.height(); ++y)
            random.fillRange(reinterpret_cast<quint32 *>(image.scanLine(y)), width);
        const FramePtr frame = patternFrame(AV_PIX_FMT_YUV420P, width, image.height());
        QVERIFY(frame);
        convertToYuv420(image, frame.get());

        // Rounded to the nearest level; the fixed-point weights may add a hundredth.
        constexpr double tolerance = 0.52;
        const auto rgbAt = [&](int x, int y) {
            const QRgb p = image.pixel(x, y);
            return std::array<double, 3>{double(qRed(p)), double(qGreen(p)), double(qBlue(p))};
        };
        // Weights of red, green and blue, then the levels' scale and offset.
        const auto level
            = [](const std::array<double, 3> &rgb, double wr, double wg, double wb, double scale, double offset) {
                  return offset + scale * (wr * rgb[0] + wg * rgb[1] + wb * rgb[2]) / 255.0;
              };
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < width; ++x) {
                const double luma = level(rgbAt(x, y), 0.299, 0.587, 0.114, 219, 16);
                QCOMPARE_LE(std::abs(frame->data[0][y * frame->linesize[0] + x] - luma), tolerance);
                if (x % 2 || y % 2)
                    continue;
                std::array<double, 3> mean{};
                for (const auto &rgb : {rgbAt(x, y), rgbAt(x + 1, y), rgbAt(x, y + 1), rgbAt(x + 1, y + 1)})
                    for (int c = 0; c < 3; ++c)
                        mean[c] += rgb[c] / 4;
                const int at = y / 2 * frame->linesize[1] + x / 2;
                const double u = level(mean, -0.299 / 1.772, -0.587 / 1.772, 0.5, 224, 128);
                const double v = level(mean, 0.5, -0.587 / 1.402, -0.114 / 1.402, 224, 128);
                QCOMPARE_LE(std::abs(frame->data[1][at] - u), tolerance);
                QCOMPARE_LE(std::abs(frame->data[2][at] - v), tolerance);
            }
        }
    }

    // Bars converted into each matrix and range must decode back to the bars, and an export of the
    // decoded frames must look the same as the source when a player decodes both.
    void honoursColourMatrixAndRange_data()
    {
        QTest::addColumn<QString>("encoding"); // ffmpeg options, split at blanks
        QTest::addColumn<bool>("exported");
        const QString h264 = " -c:v libx264 -preset ultrafast -pix_fmt yuv420p";
        QTest::addRow("BT.709 limited") << "-vf scale=out_color_matrix=bt709 -colorspace bt709 -color_range tv" + h264
                                        << true;
        QTest::addRow("BT.601 limited") << "-vf scale=out_color_matrix=bt601 -colorspace smpte170m -color_range tv"
                + h264 << true;
        QTest::addRow("BT.2020 limited") << "-vf scale=out_color_matrix=bt2020 -colorspace bt2020nc -color_range tv"
                + h264 << false;
        QTest::addRow("untagged") << "-vf scale=out_color_matrix=bt601" + h264 << false;
        QTest::addRow("BT.709 full")
            << "-vf scale=out_color_matrix=bt709:out_range=full -colorspace bt709 -color_range pc" + h264 << false;
        QTest::addRow("MJPEG") << "-vf scale=out_range=full -c:v mjpeg -pix_fmt yuvj420p" << false;
    }

    void honoursColourMatrixAndRange()
    {
        QFETCH(QString, encoding);
        QFETCH(bool, exported);
        const QString bars = m_folder.filePath("bars.png");
        if (!QFile::exists(bars))
            QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "smptebars=size=1280x720", "-frames:v", "1", bars}));
        const QImage original = QImage(bars).convertToFormat(QImage::Format_RGBA8888);
        const QString name
            = QString("%1.%2").arg(QTest::currentDataTag()).arg(encoding.contains("mjpeg") ? "avi" : "mp4");
        const QString video = m_folder.filePath(name);
        QVERIFY(runFfmpeg(QStringList{"-i", bars} + encoding.split(' ') + QStringList{video}));

        LibavVideoSource source;
        const QImage decoded = firstFrame(source, video);
        QCOMPARE_GE(peakSignalToNoise(decoded, original), 40.0);
        QCOMPARE_GE(peakSignalToNoise(analyserPreview(video), original), 40.0);
        if (!exported)
            return;
        const QString exportPath = m_folder.filePath(name + ".export.mp4");
        LibavVideoSink sink;
        QString error;
        QVERIFY2(sink.open(exportPath, source.metadata(), VideoEncodingSettings(), &error)
                     && sink.writeFrame(decoded, &error) && sink.finish(&error),
                 qPrintable(error));
        QCOMPARE_GE(peakSignalToNoise(ovra::tests::ffmpegReferenceFrame(exportPath, 0),
                                      ovra::tests::ffmpegReferenceFrame(video, 0)),
                    38.0);
    }
};

QTEST_GUILESS_MAIN(FrameConversionTest)
#include "tst_frameconversion.moc"
