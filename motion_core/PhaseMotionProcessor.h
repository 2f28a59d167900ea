// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoFrame.h"
#include "media/VideoMetadata.h"
#include "motion_core/FloatPlane.h"
#include "motion_core/KernelSet.h"
#include "motion_core/MotionSettings.h"
#include "motion_core/MotionStageTimings.h"
#include "motion_core/MotionWorkerPool.h"
#include "motion_core/ProcessingRegion.h"
#include "motion_core/SpatialPyramid.h"
#include "motion_core/TemporalBandpassFilter.h"
#include "motion_core/VectorStages.h"

#include <QCoreApplication>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

namespace ovra::motion_core {

// What the processor remembers between frames, one plane per pyramid level. The vector
// kernels recompute the previous Riesz pair from the previous quadrature sources and leave
// the Riesz planes empty; the reference kernels need no sources.
struct PhaseState
{
    std::vector<FloatPlane> previousLevels;
    std::vector<FloatPlane> previousQuadrature;
    std::vector<FloatPlane> previousR1;
    std::vector<FloatPlane> previousR2;
    std::vector<FloatPlane> horizontalAccumulator;
    std::vector<FloatPlane> verticalAccumulator;

    void clear();
};

// Per-frame working planes. Nothing here outlives a frame logically, but the buffers are
// kept so that steady-state processing does not allocate. The vector kernels use only the
// luminance and the pyramid; their other planes live in VectorStages.
struct FrameWorkspace
{
    FloatPlane luminance;
    Pyramid pyramid;
    std::vector<FloatPlane> quadrature;
    std::vector<FloatPlane> r1;
    std::vector<FloatPlane> r2;
    std::vector<FloatPlane> amplitude;
    std::vector<FloatPlane> filteredHorizontal;
    std::vector<FloatPlane> filteredVertical;
    FloatPlane weightedHorizontal;
    FloatPlane weightedVertical;
    FloatPlane blurScratch;
    FloatPlane magnified;
};

// Riesz-pyramid phase magnification (Wadhwa et al.): motions inside the band come out
// amplified by the factor A, without frame delay. One caller thread at a time.
//
// By default the per-sample work runs on the fastest vector kernels the CPU supports; the
// reference kernels (plain scalar code, stage by stage) can be chosen instead, and a set
// the CPU does not support falls back to the best one it does.
//
// Expected failures come back as false plus a translated message; nothing is thrown out of
// these operations.
class PhaseMotionProcessor
{
    Q_DECLARE_TR_FUNCTIONS(PhaseMotionProcessor)

public:
    explicit PhaseMotionProcessor(KernelSet kernels = bestKernelSet());

    bool configure(const media::VideoMetadata &metadata, const MotionSettings &settings, QString *errorMessage);
    void reset();
    // Clears outputFrames, then appends the frames that are ready.
    bool processFrame(const media::VideoFrame &frame, std::vector<media::VideoFrame> *outputFrames,
                      QString *errorMessage);
    bool flush(std::vector<media::VideoFrame> *outputFrames, QString *errorMessage);

    const MotionStageTimings &stageTimings() const { return m_timings; }
    const ProcessingRegion &processingRegion() const { return m_region; }
    KernelSet kernelSet() const { return m_kernelSet; }

private:
    bool prepareFrameBuffers(QString *errorMessage);
    // Runs the phase path on one frame; exceptions become messages.
    bool magnify(const QImage &image, QImage *result, QString *errorMessage);
    bool magnifyStages(const QImage &image, QImage *result, QString *errorMessage);
    bool magnifyWithVectorStages(const QImage &image, QImage *result, QString *errorMessage);
    // The first frame is its own predecessor: zero phase difference.
    void seedPhaseState(const std::vector<FloatPlane> &levels);
    void accumulatePhase();
    void denoisePhase();
    void shiftLevels();

    MotionSettings m_settings;
    QSize m_frameSize;
    ProcessingRegion m_region;
    KernelSet m_kernelSet;
    MotionWorkerPool m_pool;
    std::unique_ptr<VectorStages> m_vectorStages; // null with the reference kernels
    std::unique_ptr<SpatialPyramid> m_pyramid;
    TemporalBandpassFilter m_horizontalFilter;
    TemporalBandpassFilter m_verticalFilter;
    PhaseState m_phaseState;
    MotionStageTimings m_timings;
    qint64 m_lastTimestampUs = -1;
    qint64 m_lastSequence = -1;
    bool m_phaseStateInitialised = false;
    bool m_configured = false;
    FrameWorkspace m_work;
};

} // namespace ovra::motion_core
