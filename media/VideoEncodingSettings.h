#pragma once

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
};

} // namespace ovra::media
