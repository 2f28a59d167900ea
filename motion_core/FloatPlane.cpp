// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/FloatPlane.h"

#include <algorithm>
#include <limits>
#include <new>

namespace ovra::motion_core {

FloatPlane::FloatPlane(int width, int height, float fill)
{
    reset(width, height, fill);
}

void FloatPlane::reshape(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    const qint64 samples = static_cast<qint64>(width) * height;
    if (samples > std::numeric_limits<int>::max())
        throw std::bad_alloc();
    if (static_cast<size_t>(samples) > m_samples.size())
        m_samples.resize(static_cast<size_t>(samples));
    m_width = width;
    m_height = height;
}

void FloatPlane::fill(float value)
{
    std::fill_n(m_samples.begin(), sampleCount(), value);
}

void FloatPlane::reset(int width, int height, float fill)
{
    reshape(width, height);
    this->fill(fill);
}

void FloatPlane::copyFrom(const FloatPlane &other)
{
    if (&other == this)
        return;
    reshape(other.width(), other.height());
    std::copy_n(other.data(), other.sampleCount(), m_samples.begin());
}

} // namespace ovra::motion_core
