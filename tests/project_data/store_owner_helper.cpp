// SPDX-License-Identifier: GPL-3.0-or-later
// A second process that owns an analysis result store: it prints the store's directory on
// standard output and keeps the store until it is killed or its standard input closes.
#include "project_data/AnalysisResult.h"

#include <QCoreApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    ovra::media::VideoMetadata metadata;
    metadata.frameSize = QSize(4, 2);
    ovra::project_data::AnalysisResult store(metadata);
    ovra::media::VideoFrame frame;
    frame.image = QImage(metadata.frameSize, QImage::Format_RGBA8888);
    frame.image.fill(Qt::red);
    QString error;
    if (!store.create(&error) || !store.appendFrame(frame, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(store.directory()));
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) { }
    return 0;
}
