// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the bundled sample video through the project's own H.264 sink.
#include "VibrationScene.h"

#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavVideoSink.h"

#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        err << "usage: ovra-sample-video OUTPUT.mp4" << Qt::endl;
        return 2;
    }
    ovra::media::libav::LibavRuntime::setLibraryLogEnabled(false);

    const ovra::tools::VibrationScene scene;
    ovra::media::VideoMetadata metadata;
    metadata.frameSize = scene.frameSize;
    metadata.nominalFrameRate = scene.captureFps;
    metadata.frameCount = scene.frameCount;
    ovra::media::VideoEncodingSettings encoding;
    encoding.qualityPercent = 90;

    ovra::media::libav::LibavVideoSink sink;
    QString error;
    if (!sink.open(arguments[1], metadata, encoding, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    for (int i = 0; i < scene.frameCount; ++i) {
        if (!sink.writeFrame(scene.renderFrame(i), &error)) {
            sink.abort();
            err << error << Qt::endl;
            return 1;
        }
    }
    if (!sink.finish(&error)) {
        err << error << Qt::endl;
        return 1;
    }
    return 0;
}
