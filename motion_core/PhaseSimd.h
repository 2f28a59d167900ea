#pragma once

#include "motion_core/KernelSet.h"

namespace ovra::motion_core {

// Vector kernels of the per-frame phase stages. Each fuses the reference stages that read
// and write the same samples (PhaseKernels.h, RieszTransform.h, TemporalBandpassFilter.h),
// so that a level's planes are streamed through memory once or twice per frame instead of
// once per stage. The Riesz pair is recomputed from the level wherever it is needed; it is
// three samples' difference and cheaper than storing it. Each call covers a range of rows.

// The band-pass design in single precision, as the filter applies it.
struct FilterCoefficients
{
    float b0;
    float b1;
    float b2;
    float a1;
    float a2;
};

// The two delay planes of one filter for one level.
struct FilterState
{
    float *z1;
    float *z2;
};

// Per sample of the level: the quaternion phase difference to the previous frame is
// added to the two accumulators, each accumulator is run through its temporal filter
// (the same operations in the same order as TemporalBandpassFilter::process, no fused
// multiply-add), and the filtered phase is weighted by the local amplitude:
// weightedH = amplitude x filteredH, weightedV = amplitude x filteredV.
struct PhaseDifferenceJob
{
    const float *level;
    const float *previous;
    int width;
    int height;
    float *accumulatorH;
    float *accumulatorV;
    FilterCoefficients filterH;
    FilterState stateH;
    FilterCoefficients filterV;
    FilterState stateV;
    float *weightedH;
    float *weightedV;
    float *amplitude;
};

// Amplitude-weighted smoothing of the filtered phase (9-tap Gaussian blurs of weightedH,
// weightedV and amplitude, then the division) and the phase shift by alpha times the
// smoothed phase, written to shifted; level itself stays unchanged.
struct DenoiseShiftJob
{
    const float *weightedH;
    const float *weightedV;
    const float *amplitude;
    const float *level;
    float *shifted;
    int width;
    int height;
    float alpha;
};

// Scratch floats a chunk needs for levels of this width (three planes x nine blurred rows,
// each padded by a vector's width).
inline long long denoiseScratchFloats(int width) { return 27LL * (width + 16); }

struct PhaseKernelsSimd
{
    void (*phaseDifferenceRows)(const PhaseDifferenceJob &job, int begin, int end);
    void (*denoiseShiftRows)(const DenoiseShiftJob &job, float *scratch, int begin, int end);
};

template<KernelSet set>
const PhaseKernelsSimd &phaseKernels();
template<>
const PhaseKernelsSimd &phaseKernels<KernelSet::Sse2>();
template<>
const PhaseKernelsSimd &phaseKernels<KernelSet::Avx2>();
template<>
const PhaseKernelsSimd &phaseKernels<KernelSet::Avx512>();

} // namespace ovra::motion_core
