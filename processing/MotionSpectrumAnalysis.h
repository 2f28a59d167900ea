// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "media/VideoMetadata.h"
#include "motion_core/MotionSpectrum.h"
#include "processing/MeasurementScale.h"
#include "processing/ProcessingRecords.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaType>
#include <QRectF>
#include <QString>

#include <optional>

namespace ovra::processing {

// What to analyse: a fragment and a region of an analysed video.
struct MotionSpectrumRequest
{
    // Frequencies are in hertz of capture time: sourceMetadata.captureFrameRate is the rate
    // in force (the file's own or the one the user gave).
    media::VideoMetadata sourceMetadata;
    qint64 startFrame = 0;
    qint64 endFrameExclusive = 0; // 0: the end of the video
    QRectF regionOfInterest{0.0, 0.0, 1.0, 1.0}; // normalised to the upright frame
    // With it, camera motion is compensated against this region (the whole frame: 0, 0, 1, 1).
    std::optional<QRectF> stabilizationReferenceRegion;
    // The widest acceptable bin in Hz; 0 chooses about seven segments over the fragment.
    double resolutionHz = 0.0;
    int maximumPeakCount = 8;
};

struct MotionSpectrumResult
{
    project_data::ProcessingState state = project_data::ProcessingState::Idle;
    QString errorMessage;
    motion_core::MotionSpectrum spectrum;
    qint64 analysedFrames = 0;
    qint64 elapsedUs = 0;

    bool succeeded() const { return state == project_data::ProcessingState::Succeeded; }
};

// Reads the fragment, measures the region's displacement frame by frame and turns it into a
// motion spectrum. run() works on the calling thread (meant to be a worker) from start to end;
// progress arrives on that thread, at most once per frame, with the frames done and the total;
// the cancellation check is polled between frames (and inside decoding).
class MotionSpectrumAnalysis
{
    Q_DECLARE_TR_FUNCTIONS(MotionSpectrumAnalysis)

public:
    MotionSpectrumResult run(const MotionSpectrumRequest &request, const ProgressCallback &progressCallback,
                             const media::CancellationCheck &cancellationCheck);

    // The refusal for a fragment of frameCount frames at captureFps with the requested bin
    // width (0: automatic), or an empty string when the fragment is long enough.
    static QString resolutionRefusal(qint64 frameCount, double captureFps, double resolutionHz);
};

// True when both ask for the same figures: the same file, capture rate, fragment, region,
// resolution and number of peaks.
bool sameAnalysis(const MotionSpectrumRequest &a, const MotionSpectrumRequest &b);

// Every bin of a spectrum as CSV; with a scale, each bin's amplitude in mm and its velocity follow.
QByteArray motionSpectrumCsv(const motion_core::MotionSpectrum &spectrum, const std::optional<MeasurementScale> &scale);

void registerMotionSpectrumMetaTypes();

} // namespace ovra::processing

Q_DECLARE_METATYPE(ovra::processing::MotionSpectrumResult)
