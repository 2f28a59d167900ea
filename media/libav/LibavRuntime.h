// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace ovra::media::libav {

// Run-time version integers of the five FFmpeg libraries (major in bits 16-23).
struct LibavVersions
{
    unsigned avformat = 0;
    unsigned avcodec = 0;
    unsigned avutil = 0;
    unsigned swscale = 0;
    unsigned swresample = 0;
};

// Stateless facility that checks the loaded FFmpeg libraries against the headers the
// program was compiled with, and describes them.
class LibavRuntime
{
public:
    static QString backendName();
    static bool checkCompatibility(QString *errorMessage = nullptr);
    static QString versionSummary();
    // FFmpeg's own log lines on stderr; off by default in tools whose messages already say it all.
    static void setLibraryLogEnabled(bool enabled);

    static LibavVersions requiredVersions();
    static LibavVersions loadedVersions();
    static bool checkCompatibility(const LibavVersions &loaded, QString *errorMessage);
    static QString versionSummary(const LibavVersions &loaded);

    // Test seam: makes the whole process see other loaded versions (nullopt restores the real ones).
    static void overrideLoadedVersions(const std::optional<LibavVersions> &versions);
};

} // namespace ovra::media::libav
