// A second process that owns an analysis result store. It prints the store's directory on
// standard output; with "hold" it keeps the store until its standard input closes, with
// "exit" it returns at once (destroying the store).
#include "project_data/TemporaryVideo.h"

#include <QCoreApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const QString mode = arguments.value(1);
    if (mode != QLatin1String("hold") && mode != QLatin1String("exit")) {
        std::fprintf(stderr, "usage: store_owner_helper hold|exit\n");
        return 2;
    }

    ovra::media::VideoMetadata metadata;
    metadata.frameSize = QSize(4, 2);
    ovra::project_data::TemporaryVideo store(metadata);
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

    if (mode == QLatin1String("hold")) {
        char byte = 0;
        while (std::fread(&byte, 1, 1, stdin) == 1) {
        }
    }
    return 0;
}
