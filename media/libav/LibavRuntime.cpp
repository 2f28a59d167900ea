// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/libav/LibavRuntime.h"

#include "ovra/Version.h"

#include <QCoreApplication>
#include <QStringList>

#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace ovra::media::libav {
namespace {

unsigned majorOf(unsigned version)
{
    return (version >> 16) & 0xffu;
}

std::mutex overrideMutex;
std::optional<LibavVersions> versionOverride;

} // namespace

QString LibavRuntime::backendName()
{
    return QStringLiteral("libav");
}

LibavVersions LibavRuntime::requiredVersions()
{
    return {LIBAVFORMAT_VERSION_INT, LIBAVCODEC_VERSION_INT, LIBAVUTIL_VERSION_INT, LIBSWSCALE_VERSION_INT,
            LIBSWRESAMPLE_VERSION_INT};
}

LibavVersions LibavRuntime::loadedVersions()
{
    {
        std::lock_guard lock(overrideMutex);
        if (versionOverride)
            return *versionOverride;
    }
    return {avformat_version(), avcodec_version(), avutil_version(), swscale_version(), swresample_version()};
}

void LibavRuntime::overrideLoadedVersions(const std::optional<LibavVersions> &versions)
{
    std::lock_guard lock(overrideMutex);
    versionOverride = versions;
}

bool LibavRuntime::checkCompatibility(const LibavVersions &loaded, QString *errorMessage)
{
    const LibavVersions required = requiredVersions();
    const bool compatible = majorOf(loaded.avcodec) == majorOf(required.avcodec)
        && majorOf(loaded.avformat) == majorOf(required.avformat) && majorOf(loaded.avutil) == majorOf(required.avutil)
        && majorOf(loaded.swresample) == majorOf(required.swresample)
        && majorOf(loaded.swscale) == majorOf(required.swscale);
    if (errorMessage) {
        if (compatible)
            errorMessage->clear();
        else
            *errorMessage
                = QCoreApplication::translate(
                      "LibavRuntime", "The system's FFmpeg libraries do not match the versions %1 was built with.")
                      .arg(QStringLiteral(OVRA_DISPLAY_NAME));
    }
    return compatible;
}

bool LibavRuntime::checkCompatibility(QString *errorMessage)
{
    return checkCompatibility(loadedVersions(), errorMessage);
}

QString LibavRuntime::versionSummary(const LibavVersions &loaded)
{
    const auto describe = [](const char *name, unsigned version) {
        return QStringLiteral("%1 %2.%3.%4")
            .arg(QLatin1String(name))
            .arg((version >> 16) & 0xffu)
            .arg((version >> 8) & 0xffu)
            .arg(version & 0xffu);
    };
    return QStringList{describe("libavformat", loaded.avformat), describe("libavcodec", loaded.avcodec),
                       describe("libavutil", loaded.avutil), describe("libswscale", loaded.swscale),
                       describe("libswresample", loaded.swresample)}
        .join(QStringLiteral(", "));
}

QString LibavRuntime::versionSummary()
{
    return versionSummary(loadedVersions());
}

void LibavRuntime::setLibraryLogEnabled(bool enabled)
{
    av_log_set_level(enabled ? AV_LOG_WARNING : AV_LOG_QUIET);
}

} // namespace ovra::media::libav
