// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "media/VideoMetadata.h"
#include "motion_core/VibrationMap.h"
#include "processing/ProcessingRecords.h"

#include <QCoreApplication>
#include <QImage>
#include <QMetaType>
#include <QRectF>
#include <QString>

#include <optional>

namespace ovra::processing {

// What to map: a band over a fragment and a region of an analysed video.
struct VibrationMapRequest
{
    // Frequencies are in hertz of capture time: sourceMetadata.captureFrameRate is the rate
    // in force (the file's own or the one the user gave).
    media::VideoMetadata sourceMetadata;
    qint64 startFrame = 0;
    qint64 endFrameExclusive = 0; // 0: the end of the video
    QRectF regionOfInterest{0.0, 0.0, 1.0, 1.0}; // normalised to the upright frame
    // With it, camera motion is compensated against this region (the whole frame: 0, 0, 1, 1).
    std::optional<QRectF> stabilizationReferenceRegion;
    double lowerFrequencyHz = 0.0;
    double upperFrequencyHz = 0.0;
    int tilePixels = 0; // side of a tile in frame pixels; 0: automaticTilePixels
};

struct VibrationMapResult
{
    project_data::ProcessingState state = project_data::ProcessingState::Idle;
    QString errorMessage;
    motion_core::VibrationMap map;
    QImage referenceFrame; // the fragment's first frame, upright, as the map was measured on
    qint64 analysedFrames = 0;
    qint64 elapsedUs = 0;

    bool succeeded() const { return state == project_data::ProcessingState::Succeeded; }
};

// Reads the fragment, follows a grid of tiles over the region frame by frame and maps how much
// each moves within the band. run() works on the calling thread (meant to be a worker) from
// start to end; progress arrives on that thread, at most once per frame; the cancellation check
// is polled between frames (and inside decoding).
class VibrationMapAnalysis
{
    Q_DECLARE_TR_FUNCTIONS(VibrationMapAnalysis)

public:
    static constexpr int minimumTilePixels = 8;

    // 64 tiles across the frame's width, at least 16 pixels each.
    static int automaticTilePixels(const QSize &frameSize);

    VibrationMapResult run(const VibrationMapRequest &request, const ProgressCallback &progressCallback,
                           const media::CancellationCheck &cancellationCheck);
};

// True when both ask for the same figures: the same file, capture rate, fragment, region, band
// and tile size.
bool sameAnalysis(const VibrationMapRequest &a, const VibrationMapRequest &b);

void registerVibrationMapMetaTypes();

} // namespace ovra::processing

Q_DECLARE_METATYPE(ovra::processing::VibrationMapResult)
