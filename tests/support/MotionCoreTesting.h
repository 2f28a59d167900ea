// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Inputs and comparisons shared by the motion core tests.

#include "media/VideoFrame.h"
#include "media/VideoMetadata.h"
#include "motion_core/FloatPlane.h"
#include "motion_core/KernelSet.h"
#include "motion_core/MotionSettings.h"
#include "motion_core/TemporalBandpassFilter.h"

#include <QImage>
#include <QMetaType>
#include <QRandomGenerator>
#include <QSize>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

Q_DECLARE_METATYPE(ovra::motion_core::KernelSet)

namespace ovra::tests {

constexpr double motionCaptureFps = 240.0;

inline motion_core::FloatPlane randomPlane(const QSize &size, quint32 seed, double low = 0.0, double high = 255.0)
{
    QRandomGenerator random(seed);
    motion_core::FloatPlane plane(size.width(), size.height());
    for (int i = 0; i < plane.sampleCount(); ++i)
        plane.data()[i] = static_cast<float>(low + random.bounded(high - low));
    return plane;
}

inline bool identical(const float *a, const float *b, int count)
{
    return std::memcmp(a, b, sizeof(float) * size_t(count)) == 0;
}

inline bool identical(const motion_core::FloatPlane &a, const motion_core::FloatPlane &b)
{
    return a.width() == b.width() && a.height() == b.height() && identical(a.data(), b.data(), a.sampleCount());
}

// The vector kernel sets this CPU runs, after the reference when asked for.
inline std::vector<motion_core::KernelSet> supportedKernelSets(bool withReference)
{
    using motion_core::KernelSet;
    std::vector<KernelSet> sets;
    for (KernelSet set : {KernelSet::Reference, KernelSet::Sse2, KernelSet::Avx2, KernelSet::Avx512}) {
        if (motion_core::kernelSetSupported(set) && (withReference || set != KernelSet::Reference))
            sets.push_back(set);
    }
    return sets;
}

// Default settings with only the frequency band set.
// |1 + (A - 1) H(f)|: what a factor A promises at f with the core's band-pass H.
inline double theoreticalGain(double factor, double motionHz, double captureFps, double lowerHz, double upperHz)
{
    motion_core::TemporalBandpassFilter design;
    design.configure(captureFps, lowerHz, upperHz, nullptr);
    const std::complex<double> z = std::polar(1.0, -2.0 * M_PI * motionHz / captureFps);
    const std::complex<double> response
        = (design.b0() + design.b1() * z + design.b2() * z * z) / (1.0 + design.a1() * z + design.a2() * z * z);
    return std::abs(1.0 + (factor - 1.0) * response);
}

inline motion_core::MotionSettings band(double lowerHz, double upperHz)
{
    motion_core::MotionSettings settings;
    settings.lowerFrequencyHz = lowerHz;
    settings.upperFrequencyHz = upperHz;
    return settings;
}

// The 8-12 Hz band at the given factor and worker count.
inline motion_core::MotionSettings motionSettings(double factor, int threads = 1)
{
    motion_core::MotionSettings settings = band(8.0, 12.0);
    settings.amplificationFactor = factor;
    settings.workerThreadCount = threads;
    return settings;
}

inline media::VideoMetadata motionMetadata(const QSize &size)
{
    media::VideoMetadata metadata;
    metadata.frameSize = size;
    metadata.captureFrameRate = motionCaptureFps;
    metadata.nominalFrameRate = 30.0;
    return metadata;
}

inline media::VideoFrame motionFrame(qint64 index, const QImage &image)
{
    return {image, media::frameTimeUs(index, motionCaptureFps), index};
}

// Two crossed grey gratings (8 x 16 and 10 x 16 px) moved right by shift pixels.
inline QImage gratingFrame(const QSize &size, double shift)
{
    QImage image(size, QImage::Format_RGBA8888);
    for (int y = 0; y < size.height(); ++y) {
        uchar *pixel = image.scanLine(y);
        for (int x = 0; x < size.width(); ++x, pixel += 4) {
            const double u = x - shift;
            const double value = 128.0 + 50.0 * std::sin(2.0 * M_PI * (u / 8.0 + y / 16.0))
                + 30.0 * std::sin(2.0 * M_PI * (u / 10.0 - y / 16.0) + 1.0);
            pixel[0] = pixel[1] = pixel[2] = uchar(std::lround(value));
            pixel[3] = 255;
        }
    }
    return image;
}

// The shift of a 10 Hz, 0.4 px motion at frame index: inside the 8-12 Hz band.
inline double inBandShift(qint64 index)
{
    return 0.4 * std::sin(2.0 * M_PI * 10.0 * double(index) / motionCaptureFps);
}

} // namespace ovra::tests
