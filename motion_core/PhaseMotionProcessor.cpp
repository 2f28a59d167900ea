// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/PhaseMotionProcessor.h"

#include "motion_core/Composition.h"
#include "motion_core/Luminance.h"
#include "motion_core/PhaseKernels.h"
#include "motion_core/PlaneOperations.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cmath>
#include <exception>
#include <new>
#include <system_error>

namespace ovra::motion_core {

namespace {

bool fail(QString *errorMessage, const QString &message)
{
    if (errorMessage)
        *errorMessage = message;
    return false;
}

QString notConfiguredMessage()
{
    return PhaseMotionProcessor::tr("The phase motion processor has not been configured.");
}

QString frameMemoryMessage()
{
    return PhaseMotionProcessor::tr("There is not enough memory to process the frame.");
}

void copyPlanes(const std::vector<FloatPlane> &from, std::vector<FloatPlane> &to)
{
    to.resize(from.size());
    for (size_t level = 0; level < from.size(); ++level)
        to[level].copyFrom(from[level]);
}

void reshapePlanes(std::vector<FloatPlane> &planes, const std::vector<QSize> &levelSizes)
{
    planes.resize(levelSizes.size());
    for (size_t level = 0; level < levelSizes.size(); ++level)
        planes[level].reshape(levelSizes[level].width(), levelSizes[level].height());
}

// Stage durations from one monotonic clock read per stage.
class StageClock
{
public:
    StageClock() { m_timer.start(); }

    qint64 lapUs()
    {
        const qint64 now = m_timer.nsecsElapsed();
        const qint64 lap = (now - m_last) / 1000;
        m_last = now;
        return lap;
    }

private:
    QElapsedTimer m_timer;
    qint64 m_last = 0;
};

} // namespace

PhaseMotionProcessor::PhaseMotionProcessor(KernelSet kernels)
    : m_kernelSet(kernelSetSupported(kernels) ? kernels : bestKernelSet())
{
    if (m_kernelSet != KernelSet::Reference)
        m_vectorStages = std::make_unique<VectorStages>(m_kernelSet, m_pool);
}

void PhaseState::clear()
{
    previousLevels.clear();
    previousQuadrature.clear();
    previousR1.clear();
    previousR2.clear();
    horizontalAccumulator.clear();
    verticalAccumulator.clear();
}

bool PhaseMotionProcessor::configure(const media::VideoMetadata &metadata, const MotionSettings &settings,
                                     QString *errorMessage)
{
    m_configured = false;
    const QSize frameSize = metadata.frameSize;
    const double captureFps = metadata.captureFrameRate;
    if (frameSize.width() < 1 || frameSize.height() < 1)
        return fail(errorMessage, tr("Could not determine the source video's frame size."));
    if (!std::isfinite(captureFps) || captureFps <= 0.0)
        return fail(errorMessage, tr("The camera capture frame rate is required to configure the motion filter."));
    if (metadata.variableFrameRate)
        return fail(errorMessage, tr("The phase core prototype supports only a uniform time grid."));
    if (!bandValid(settings, captureFps))
        return fail(errorMessage, tr("The amplification band must lie between 0 Hz and the Nyquist frequency."));
    if (!regionsValid(settings) || !regionLargeEnough(settings, frameSize))
        return fail(errorMessage, tr("The amplification region or stabilization reference region is invalid."));
    if (!amplificationValid(settings))
        return fail(errorMessage, tr("The prototype amplification factor must be between 1 and 50."));
    if (!workerCountValid(settings))
        return fail(errorMessage, tr("The worker thread count must be between 0 and 256; 0 selects automatic mode."));
    const int fullFrameLevels = levelCountForSize(frameSize);
    if (fullFrameLevels < 1)
        return fail(errorMessage, tr("The minimum frame size for processing is 32 x 32 pixels."));
    if (!m_horizontalFilter.configure(captureFps, settings.lowerFrequencyHz, settings.upperFrequencyHz, errorMessage)
        || !m_verticalFilter.configure(captureFps, settings.lowerFrequencyHz, settings.upperFrequencyHz, errorMessage))
        return false;

    m_settings = settings;
    m_frameSize = frameSize;
    m_region.compute(frameSize, settings.regionOfInterest, settings.regionProcessingOptimizationEnabled,
                     fullFrameLevels, regionFeatherRadius(frameSize));
    m_pool.setThreadCount(effectiveWorkerThreadCount(settings));
    if (!prepareFrameBuffers(errorMessage))
        return false;
    m_configured = true;
    return true;
}

bool PhaseMotionProcessor::prepareFrameBuffers(QString *errorMessage)
{
    const QSize processingSize = m_region.processingRectangle().size();
    try {
        m_pyramid = std::make_unique<SpatialPyramid>(levelCountForSize(processingSize), m_pool);
        reset();
        m_timings.motionProcessingFrameWidth = processingSize.width();
        m_timings.motionProcessingFrameHeight = processingSize.height();
        m_timings.regionProcessingOptimizationApplied = m_region.applied();

        // Every per-frame plane is allocated here once, so that a frame size the machine
        // cannot handle fails now and steady-state frames do not allocate.
        std::vector<QSize> planeSizes = m_pyramid->planeSizes(processingSize);
        if (m_vectorStages) {
            m_vectorStages->prepare(m_frameSize, m_region.processingRectangle(), planeSizes,
                                    {m_region.regionInProcessing(), m_region.expandedRegionInProcessing(),
                                     m_region.expandedRegionWeight(m_settings.amplificationFactor),
                                     regionFeatherRadius(m_frameSize)});
            m_work.luminance.reshape(processingSize.width(), processingSize.height());
            m_work.pyramid.residual.reshape(planeSizes.back().width(), planeSizes.back().height());
            planeSizes.pop_back();
            reshapePlanes(m_work.pyramid.levels, planeSizes);
            reshapePlanes(m_work.quadrature, planeSizes);
            return true;
        }
        m_pyramid->reserve(processingSize, m_work.pyramid, m_work.magnified);
        planeSizes.pop_back(); // the residual's size
        for (std::vector<FloatPlane> *planes :
             {&m_work.r1, &m_work.r2, &m_work.amplitude, &m_work.filteredHorizontal, &m_work.filteredVertical})
            reshapePlanes(*planes, planeSizes);
        for (FloatPlane *plane :
             {&m_work.luminance, &m_work.weightedHorizontal, &m_work.weightedVertical, &m_work.blurScratch})
            plane->reshape(processingSize.width(), processingSize.height());
        return true;
    } catch (const std::bad_alloc &) {
        m_pyramid.reset();
        m_work = FrameWorkspace();
        return fail(errorMessage, tr("There is not enough memory to create the spatial pyramid."));
    }
}

void PhaseMotionProcessor::reset()
{
    m_horizontalFilter.reset();
    m_verticalFilter.reset();
    m_phaseState.clear();
    m_lastTimestampUs = -1;
    m_lastSequence = -1;
    m_phaseStateInitialised = false;
    // The processing geometry describes the configuration, not the frames, so it stays.
    MotionStageTimings cleared;
    cleared.motionProcessingFrameWidth = m_timings.motionProcessingFrameWidth;
    cleared.motionProcessingFrameHeight = m_timings.motionProcessingFrameHeight;
    cleared.regionProcessingOptimizationApplied = m_timings.regionProcessingOptimizationApplied;
    m_timings = cleared;
}

bool PhaseMotionProcessor::processFrame(const media::VideoFrame &frame, std::vector<media::VideoFrame> *outputFrames,
                                        QString *errorMessage)
{
    if (!m_configured || !m_pyramid)
        return fail(errorMessage, notConfiguredMessage());
    if (!outputFrames || frame.image.isNull() || frame.presentationTimeUs < 0)
        return fail(errorMessage, tr("A valid frame and an output frame container are required."));
    outputFrames->clear();
    if (frame.image.size() != m_frameSize)
        return fail(errorMessage, tr("The frame size changed during processing."));
    if (m_lastTimestampUs >= 0 && frame.presentationTimeUs <= m_lastTimestampUs)
        return fail(errorMessage, tr("Frame timestamps must be strictly increasing."));
    if (m_lastSequence >= 0 && frame.frameIndex >= 0 && frame.frameIndex <= m_lastSequence)
        return fail(errorMessage, tr("Frame sequence numbers must be strictly increasing."));

    media::VideoFrame result = frame;
    if (m_settings.amplificationFactor > 1.0 && !magnify(frame.image, &result.image, errorMessage))
        return false;
    m_lastTimestampUs = frame.presentationTimeUs;
    if (frame.frameIndex >= 0)
        m_lastSequence = frame.frameIndex;
    try {
        outputFrames->push_back(std::move(result));
    } catch (const std::bad_alloc &) {
        return fail(errorMessage, frameMemoryMessage());
    }
    return true;
}

bool PhaseMotionProcessor::flush(std::vector<media::VideoFrame> *outputFrames, QString *errorMessage)
{
    if (!m_configured)
        return fail(errorMessage, notConfiguredMessage());
    if (!outputFrames)
        return fail(errorMessage, tr("An output container for remaining frames is required."));
    outputFrames->clear();
    return true;
}

bool PhaseMotionProcessor::magnify(const QImage &image, QImage *result, QString *errorMessage)
{
    try {
        return magnifyStages(image, result, errorMessage);
    } catch (const std::bad_alloc &) {
        return fail(errorMessage, frameMemoryMessage());
    } catch (const std::system_error &error) {
        // The worker threads start with the first frame; the system may have none left.
        return fail(errorMessage,
                    tr("The system could not start a thread for motion processing: %1")
                        .arg(QString::fromLocal8Bit(error.code().message().c_str())));
    } catch (const std::exception &error) {
        return fail(errorMessage, tr("Motion core error: %1").arg(QString::fromLocal8Bit(error.what())));
    } catch (...) {
        return fail(errorMessage, tr("Motion core error: %1").arg(tr("unknown exception")));
    }
}

bool PhaseMotionProcessor::magnifyStages(const QImage &image, QImage *result, QString *errorMessage)
{
    if (m_vectorStages)
        return magnifyWithVectorStages(image, result, errorMessage);
    const bool cropped = m_region.isActive();
    const QImage working = cropped ? image.copy(m_region.processingRectangle()) : image;
    if (working.isNull())
        return fail(errorMessage, tr("There is not enough memory to prepare the selected processing region."));

    StageClock clock;
    extractLuminance(m_pool, working, m_work.luminance);
    m_timings.luminanceUs += clock.lapUs();

    m_pyramid->decompose(m_work.luminance, m_work.pyramid);
    m_timings.pyramidDecompositionUs += clock.lapUs();

    const std::vector<FloatPlane> &levels = m_work.pyramid.levels;
    m_work.r1.resize(levels.size());
    m_work.r2.resize(levels.size());
    for (size_t level = 0; level < levels.size(); ++level)
        m_pyramid->rieszTransform(levels[level], m_work.r1[level], m_work.r2[level]);
    m_timings.quadratureUs += clock.lapUs();

    accumulatePhase();
    m_timings.phaseAccumulationUs += clock.lapUs();

    if (!m_horizontalFilter.process(m_phaseState.horizontalAccumulator, &m_work.filteredHorizontal, m_pool,
                                    errorMessage)
        || !m_verticalFilter.process(m_phaseState.verticalAccumulator, &m_work.filteredVertical, m_pool, errorMessage))
        return false;
    m_timings.temporalFilterUs += clock.lapUs();

    denoisePhase();
    m_timings.phaseDenoisingUs += clock.lapUs();

    shiftLevels();
    m_timings.phaseShiftUs += clock.lapUs();

    m_pyramid->reconstruct(m_work.pyramid, m_work.magnified);
    m_timings.reconstructionUs += clock.lapUs();

    QImage composed
        = composite(m_pool, working, m_work.luminance, m_work.magnified, m_region.regionInProcessing(),
                    m_region.expandedRegionInProcessing(),
                    m_region.expandedRegionWeight(m_settings.amplificationFactor), regionFeatherRadius(m_frameSize));
    if (cropped)
        composed = pasteBack(image, composed, m_region.processingRectangle().topLeft());
    m_timings.compositionUs += clock.lapUs();

    ++m_timings.framesProcessed;
    *result = composed;
    return true;
}

bool PhaseMotionProcessor::magnifyWithVectorStages(const QImage &image, QImage *result, QString *errorMessage)
{
    // Fused stages report their time under the first stage of the group (MotionStageTimings).
    VectorStages &stages = *m_vectorStages;
    StageClock clock;
    stages.extractLuminance(image, m_work.luminance);
    m_timings.luminanceUs += clock.lapUs();

    stages.decompose(m_work.luminance, m_work.pyramid, m_work.quadrature);
    m_timings.pyramidDecompositionUs += clock.lapUs();

    std::vector<FloatPlane> &levels = m_work.pyramid.levels;

    if (!m_phaseStateInitialised) {
        seedPhaseState(levels);
        copyPlanes(m_work.quadrature, m_phaseState.previousQuadrature);
    }
    if (!m_horizontalFilter.prepareState(m_phaseState.horizontalAccumulator, errorMessage)
        || !m_verticalFilter.prepareState(m_phaseState.verticalAccumulator, errorMessage))
        return false;
    const float alpha = static_cast<float>(m_settings.amplificationFactor - 1.0);
    const FloatPlane *collapsed = &m_work.pyramid.residual;
    for (size_t level = levels.size(); level-- > 0;)
        collapsed
            = &stages.shiftPhase(level, {levels[level], m_work.quadrature[level]},
                                 {m_phaseState.previousLevels[level], m_phaseState.previousQuadrature[level]},
                                 m_phaseState.horizontalAccumulator[level], m_phaseState.verticalAccumulator[level],
                                 m_horizontalFilter, m_verticalFilter, alpha, *collapsed);
    const FloatPlane &magnified = *collapsed;
    m_timings.phaseAccumulationUs += clock.lapUs();
    // The unshifted levels are the next frame's previous ones; the old buffers are reused.
    std::swap(m_phaseState.previousLevels, levels);
    std::swap(m_phaseState.previousQuadrature, m_work.quadrature);

    *result = stages.composite(image, m_work.luminance, magnified);
    m_timings.compositionUs += clock.lapUs();
    ++m_timings.framesProcessed;
    return true;
}

void PhaseMotionProcessor::seedPhaseState(const std::vector<FloatPlane> &levels)
{
    copyPlanes(levels, m_phaseState.previousLevels);
    for (std::vector<FloatPlane> *accumulator :
         {&m_phaseState.horizontalAccumulator, &m_phaseState.verticalAccumulator}) {
        accumulator->resize(levels.size());
        for (size_t level = 0; level < levels.size(); ++level)
            (*accumulator)[level].reset(levels[level].width(), levels[level].height());
    }
    m_phaseStateInitialised = true;
}

void PhaseMotionProcessor::accumulatePhase()
{
    const std::vector<FloatPlane> &levels = m_work.pyramid.levels;
    if (!m_phaseStateInitialised) {
        seedPhaseState(levels);
        copyPlanes(m_work.r1, m_phaseState.previousR1);
        copyPlanes(m_work.r2, m_phaseState.previousR2);
    }
    m_work.amplitude.resize(levels.size());
    for (size_t level = 0; level < levels.size(); ++level) {
        accumulatePhaseDifference(
            m_pool, {levels[level], m_work.r1[level], m_work.r2[level]},
            {m_phaseState.previousLevels[level], m_phaseState.previousR1[level], m_phaseState.previousR2[level]},
            m_phaseState.horizontalAccumulator[level], m_phaseState.verticalAccumulator[level],
            m_work.amplitude[level]);
    }
    copyPlanes(levels, m_phaseState.previousLevels);
    copyPlanes(m_work.r1, m_phaseState.previousR1);
    copyPlanes(m_work.r2, m_phaseState.previousR2);
}

void PhaseMotionProcessor::denoisePhase()
{
    for (size_t level = 0; level < m_work.amplitude.size(); ++level) {
        FloatPlane &amplitude = m_work.amplitude[level];
        FloatPlane &horizontal = m_work.filteredHorizontal[level];
        FloatPlane &vertical = m_work.filteredVertical[level];
        weightByAmplitude(m_pool, amplitude, horizontal, vertical, m_work.weightedHorizontal, m_work.weightedVertical);
        for (FloatPlane *plane : {&m_work.weightedHorizontal, &m_work.weightedVertical, &amplitude})
            blur(m_pool, *plane, phaseDenoisingKernel(), *plane, m_work.blurScratch);
        divideByAmplitude(m_pool, m_work.weightedHorizontal, m_work.weightedVertical, amplitude, horizontal, vertical);
    }
}

void PhaseMotionProcessor::shiftLevels()
{
    const float alpha = static_cast<float>(m_settings.amplificationFactor - 1.0);
    std::vector<FloatPlane> &levels = m_work.pyramid.levels;
    for (size_t level = 0; level < levels.size(); ++level)
        shiftPhase(m_pool, alpha, m_work.filteredHorizontal[level], m_work.filteredVertical[level], m_work.r1[level],
                   m_work.r2[level], levels[level]);
}

} // namespace ovra::motion_core
