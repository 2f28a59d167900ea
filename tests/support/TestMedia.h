// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <pthread.h>
#include <sys/resource.h>

// Access to the videos generated for the tests and to the ffmpeg tools as independent references.
namespace ovra::tests {

// Absolute path of a generated test video (fails the current test if the folder is unknown).
QString testMediaPath(const QString &fileName);

// Runs ffprobe (stdout, or a null string on failure) or ffmpeg.
QString runFfprobe(const QStringList &arguments);
bool runFfmpeg(const QStringList &arguments, QString *errorOutput = nullptr);

// The number of frames ffprobe decodes in the first video stream (-count_frames).
qint64 ffprobeDecodedFrameCount(const QString &path);

// Frame `index` as ffmpeg itself decodes and auto-rotates it, converted to RGBA8888.
QImage ffmpegReferenceFrame(const QString &path, qint64 index);

// Writes a whole file (false on failure) and reads one back ("<missing>" when it cannot be read).
bool writeFile(const QString &path, const QByteArray &content);
QByteArray fileContent(const QString &path);

// An RGBA8888 image of one colour.
QImage filled(QSize size, const QColor &colour = Qt::gray);

// Every name in a folder, hidden ones included, sorted.
QStringList folderEntries(const QString &folder);

// Checks that a call was refused with exactly the message it left in error, then clears error.
void verifyRefusal(bool accepted, QString &error, const QString &message);

// Largest difference of any channel (alpha included; 256 when the sizes differ), and the peak
// signal-to-noise ratio in dB over the colour channels (0 when the sizes differ).
int maximumChannelDifference(const QImage &a, const QImage &b);
double peakSignalToNoise(const QImage &a, const QImage &b);

// For its lifetime, files of this process cannot grow beyond `bytes`: writes past it fail with
// EFBIG, as on a full disk, in every thread of this process and nowhere else.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved = {};
    void (*m_savedHandler)(int) = nullptr;
};

// For its lifetime, no new thread of this process starts: every new thread's stack is bigger
// than any address space, so creating one fails with EAGAIN, as when the system has no memory
// or threads left. Threads that already run carry on.
class NoNewThreads
{
public:
    NoNewThreads();
    ~NoNewThreads();
    NoNewThreads(const NoNewThreads &) = delete;
    NoNewThreads &operator=(const NoNewThreads &) = delete;

private:
    pthread_attr_t m_saved = {};
};

} // namespace ovra::tests
