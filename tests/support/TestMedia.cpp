// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMedia.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>

namespace ovra::tests {
namespace {

bool runTool(const QString &program, const QStringList &arguments, QByteArray *output, QString *errorOutput)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (errorOutput)
            *errorOutput = QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

// Calls visit(channel, difference) for every channel of every pixel, alpha (channel 3) included.
template <typename Visit> void forEachChannelDifference(const QImage &a, const QImage &b, Visit visit)
{
    const QImage first = a.convertToFormat(QImage::Format_RGBA8888);
    const QImage second = b.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width() * 4; ++x)
            visit(x % 4, int(first.constScanLine(y)[x]) - int(second.constScanLine(y)[x]));
    }
}

} // namespace

QString testMediaPath(const QString &fileName)
{
    const QString folder = qEnvironmentVariable("OVRA_TEST_MEDIA_DIR");
    if (folder.isEmpty())
        qFatal("OVRA_TEST_MEDIA_DIR is not set; run the tests through ctest.");
    return QDir(folder).absoluteFilePath(fileName);
}

QString runFfprobe(const QStringList &arguments)
{
    QByteArray output;
    if (!runTool(qEnvironmentVariable("FFPROBE", QStringLiteral("ffprobe")), arguments, &output, nullptr))
        return {};
    return QString::fromUtf8(output);
}

bool runFfmpeg(const QStringList &arguments, QString *errorOutput)
{
    return runTool(qEnvironmentVariable("FFMPEG", QStringLiteral("ffmpeg")),
                   QStringList{"-nostdin", "-hide_banner", "-loglevel", "error", "-y"} + arguments, nullptr,
                   errorOutput);
}

qint64 ffprobeDecodedFrameCount(const QString &path)
{
    const QString output = runFfprobe({"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                                       "stream=nb_read_frames", "-of", "default=noprint_wrappers=1", path});
    // Side data (a display matrix, say) may add lines of its own.
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("nb_read_frames=")))
            return line.section(QLatin1Char('='), 1).trimmed().toLongLong();
    }
    return -1;
}

QImage ffmpegReferenceFrame(const QString &path, qint64 index)
{
    QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("frame.png"));
    QString error;
    if (!runFfmpeg({"-i", path, "-vf", QStringLiteral("select=eq(n\\,%1)").arg(index), "-frames:v", "1", "-pix_fmt",
                    "rgba", output},
                   &error))
        qWarning("ffmpeg could not extract frame %lld of %s: %s", index, qPrintable(path), qPrintable(error));
    return QImage(output).convertToFormat(QImage::Format_RGBA8888);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QImage filled(QSize size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGBA8888);
    image.fill(colour);
    return image;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

void verifyRefusal(bool accepted, QString &error, const QString &message)
{
    QVERIFY(!accepted);
    QCOMPARE(error, message);
    error.clear();
}

int maximumChannelDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 256;
    int maximum = 0;
    forEachChannelDifference(a, b,
                             [&maximum](int, int difference) { maximum = std::max(maximum, std::abs(difference)); });
    return maximum;
}

double peakSignalToNoise(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 0.0;
    double squaredError = 0.0;
    forEachChannelDifference(a, b, [&squaredError](int channel, int difference) {
        squaredError += channel == 3 ? 0.0 : double(difference) * difference;
    });
    const double meanSquaredError = std::max(squaredError / (3.0 * a.width() * a.height()), 1e-10);
    return 10.0 * std::log10(255.0 * 255.0 / meanSquaredError);
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    // Without a handler, exceeding the limit would end the process with SIGXFSZ.
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = rlim_t(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_savedHandler);
}

NoNewThreads::NoNewThreads()
{
    ::pthread_getattr_default_np(&m_saved);
    pthread_attr_t unstartable;
    ::pthread_getattr_default_np(&unstartable);
    ::pthread_attr_setstacksize(&unstartable, size_t(1) << 50);
    ::pthread_setattr_default_np(&unstartable);
    ::pthread_attr_destroy(&unstartable);
}

NoNewThreads::~NoNewThreads()
{
    ::pthread_setattr_default_np(&m_saved);
    ::pthread_attr_destroy(&m_saved);
}

} // namespace ovra::tests
