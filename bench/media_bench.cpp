// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the analysis and RGBA decoding throughput of the media layer for one video file.
#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        err << "usage: media_bench FILE" << Qt::endl;
        return 2;
    }
    ovra::media::libav::LibavRuntime::setLibraryLogEnabled(false);

    ovra::media::libav::LibavVideoAnalyzer analyzer;
    ovra::media::VideoMetadata metadata;
    QString error;
    QElapsedTimer timer;
    timer.start();
    if (!analyzer.analyze(arguments[1], &metadata, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    const double analysisSeconds = timer.nsecsElapsed() / 1e9;

    ovra::media::libav::LibavVideoSource source;
    if (!source.openWithMetadata(metadata, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    ovra::media::VideoFrame frame;
    qint64 decoded = 0;
    timer.restart();
    while (source.readFrame(&frame, &error) == ovra::media::VideoReadStatus::Frame)
        ++decoded;
    const double decodeSeconds = timer.nsecsElapsed() / 1e9;

    out << "frames=" << metadata.frameCount << " size=" << metadata.frameSize.width() << 'x'
        << metadata.frameSize.height() << Qt::endl;
    out << "analysis_fps=" << QString::number(metadata.frameCount / analysisSeconds, 'f', 1) << Qt::endl;
    out << "decode_rgba_fps=" << QString::number(decoded / decodeSeconds, 'f', 1) << Qt::endl;
    return 0;
}
