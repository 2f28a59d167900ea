// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileInfo>
#include <QString>

namespace ovra::media {

// What a sink is asked to produce; written to the parameters file under the same names.
struct VideoEncodingSettings
{
    QString container = QStringLiteral("mp4");
    QString videoCodec = QStringLiteral("h264");
    int qualityPercent = 75;
    bool includeAudio = false;
    bool preserveFrameSize = true;
    bool preserveFrameRate = true;

    // What an output file's name asks for: lossless FFV1 Matroska for ".mkv", for engineers who
    // measure the result further; H.264 MP4 otherwise.
    static VideoEncodingSettings forOutputPath(const QString &path)
    {
        VideoEncodingSettings settings;
        if (QFileInfo(path).suffix().compare(QLatin1String("mkv"), Qt::CaseInsensitive) == 0) {
            settings.container = QStringLiteral("matroska");
            settings.videoCodec = QStringLiteral("ffv1");
        }
        return settings;
    }
};

} // namespace ovra::media
