// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoMetadata.h"
#include "motion_core/RegionDisplacementTracker.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <vector>

// What the analysis benchmarks share: their video, its decoding alone, and how they print a rate.
namespace ovra::bench {

// frames per nanoseconds as frames per second, one decimal.
QString framesPerSecond(qint64 frames, qint64 nanoseconds);

// Reads the video named on the command line, FILE CAPTURE_FPS and at most `optionalArguments`
// more, into metadata: analysed, with the capture rate set, and prints its size and the
// processors. Answers 0, or the exit code after printing the usage (2) or why the file cannot be
// read (1).
int readBenchVideo(const QString &usage, int optionalArguments, media::VideoMetadata *metadata);

// Decodes every frame of the video and prints the rate; keeps the first `kept` frames.
std::vector<QImage> decodeEveryFrame(const media::VideoMetadata &metadata, int kept);

// Follows the frames `passes` times on the calling thread and prints the rate and the tiles
// followed; false, with the reason on stderr, when the first frame has nothing to follow.
bool measureAlone(motion_core::RegionDisplacementTracker &tracker, const std::vector<QImage> &frames, int passes);

} // namespace ovra::bench
