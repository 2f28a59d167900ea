// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <vector>

namespace ovra::motion_core {

// A single-channel float image, row-major: sample (x, y) is element y * width + x.
//
// The storage only grows: reshaping to a smaller or equal size keeps the buffer, so the
// per-frame planes of the processor are allocated once and reused. Sample counts are
// limited to the 32-bit index range that parallel element loops use; a larger plane
// counts as an allocation failure (std::bad_alloc).
class FloatPlane
{
public:
    FloatPlane() = default;
    FloatPlane(int width, int height, float fill = 0.0f);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int sampleCount() const { return m_width * m_height; }
    bool isEmpty() const { return sampleCount() < 1; }

    float *data() { return m_samples.data(); }
    const float *data() const { return m_samples.data(); }
    float *row(int y) { return m_samples.data() + static_cast<qsizetype>(y) * m_width; }
    const float *row(int y) const { return m_samples.data() + static_cast<qsizetype>(y) * m_width; }
    float at(int x, int y) const { return row(y)[x]; }
    float &at(int x, int y) { return row(y)[x]; }

    // Sets the size; sample values are arbitrary until they are written.
    void reshape(int width, int height);
    void fill(float value);
    // Reshape, then fill: a freshly created plane.
    void reset(int width, int height, float fill = 0.0f);
    void copyFrom(const FloatPlane &other);

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<float> m_samples;
};

} // namespace ovra::motion_core
