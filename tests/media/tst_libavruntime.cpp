#include "TestMedia.h"

#include "media/libav/LibavRuntime.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSource.h"
#include "ovra/Version.h"
#include "ui/controllers/MediaRuntimeController.h"

#include <QtTest>

using ovra::media::libav::LibavRuntime;
using ovra::media::libav::LibavVersions;
using ovra::tests::verifyRefusal;

class LibavRuntimeTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { LibavRuntime::overrideLoadedVersions(std::nullopt); }

    // Minor versions may differ either way (a Debian point update); the real ones pass.
    void otherMinorsAreAccepted()
    {
        const LibavVersions required = LibavRuntime::requiredVersions();
        const auto withMinor = [](unsigned value, unsigned minor) { return (value & 0xFFFF0000u) | (minor << 8) | 7u; };
        const LibavVersions loaded{withMinor(required.avformat, 0), withMinor(required.avcodec, 0),
                                   withMinor(required.avutil, 99), withMinor(required.swscale, 0),
                                   withMinor(required.swresample, 200)};
        QString error;
        QVERIFY(LibavRuntime::checkCompatibility(loaded, &error) && LibavRuntime::checkCompatibility(&error));
        QVERIFY(error.isEmpty());
    }

    void mismatchingMajorDisablesAllMediaWork_data()
    {
        QTest::addColumn<int>("library");
        int library = 0;
        for (const char *name : {"avformat", "avcodec", "avutil", "swscale", "swresample"})
            QTest::newRow(name) << library++;
    }

    void mismatchingMajorDisablesAllMediaWork()
    {
        QFETCH(int, library);
        const QString message
            = "The FFmpeg DLL versions do not match the headers used to build " OVRA_DISPLAY_NAME ".";
        LibavVersions loaded = LibavRuntime::requiredVersions();
        unsigned *fields[] = {&loaded.avformat, &loaded.avcodec, &loaded.avutil, &loaded.swscale, &loaded.swresample};
        *fields[library] -= 1u << 16; // one major lower, for example libswscale 5 instead of 6
        LibavRuntime::overrideLoadedVersions(loaded);

        ovra::ui::controllers::MediaRuntimeController controller;
        QVERIFY(!controller.available());
        QCOMPARE(controller.errorMessage(), message);

        const QString video = ovra::tests::testMediaPath(QStringLiteral("cfr25_bframes.mp4"));
        ovra::media::VideoMetadata untouched;
        untouched.filePath = QStringLiteral("sentinel");
        QString error;
        verifyRefusal(ovra::media::libav::LibavVideoAnalyzer().analyze(video, &untouched, &error), error, message);
        QCOMPARE(untouched.filePath, QStringLiteral("sentinel"));

        ovra::media::libav::LibavVideoSource source;
        verifyRefusal(source.open(video, &error), error, message);
        QVERIFY(!source.isOpen());
    }
};

QTEST_GUILESS_MAIN(LibavRuntimeTest)
#include "tst_libavruntime.moc"
