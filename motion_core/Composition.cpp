// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/Composition.h"

#include "motion_core/ProcessingRegion.h"

#include <QRect>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace ovra::motion_core {

namespace {

int shiftedChannel(int channel, float change)
{
    return std::clamp(static_cast<int>(std::lround(static_cast<float>(channel) + change)), 0, 255);
}

// A writable ARGB32 copy that shares nothing with image.
// Also returns its first pixel row: scanLine() detaches on every call, which worker
// threads must not do concurrently.
QImage privateArgbCopy(const QImage &image, uchar *&bits)
{
    QImage copy = image.convertToFormat(QImage::Format_ARGB32);
    // bits() detaches from a source that was ARGB32 already.
    bits = copy.isNull() ? nullptr : copy.bits();
    if (!bits)
        throw std::bad_alloc();
    return copy;
}

} // namespace

RegionMask::RegionMask(const QRectF &rect, int width, int height, double featherRadius)
    : m_rect(rect)
    , m_width(width)
    , m_height(height)
    , m_featherRadius(featherRadius)
    , m_wholeFrame(isWholeFrame(rect))
{
}

float RegionMask::weight(int x, int y) const
{
    if (m_wholeFrame)
        return 1.0f;
    const double px = (x + 0.5) / m_width;
    const double py = (y + 0.5) / m_height;
    if (px < m_rect.left() || px > m_rect.right() || py < m_rect.top() || py > m_rect.bottom())
        return 0.0f;
    if (m_featherRadius <= 0.0)
        return 1.0f;
    const double distance = std::min(m_width * std::min(px - m_rect.left(), m_rect.right() - px),
                                     m_height * std::min(py - m_rect.top(), m_rect.bottom() - py));
    const float t = std::clamp(static_cast<float>(distance / m_featherRadius), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

float RegionMask::axisFactor(int index, int length, double low, double high) const
{
    if (m_wholeFrame)
        return 1.0f;
    const double position = (index + 0.5) / length;
    if (position < low || position > high)
        return -1.0f;
    if (m_featherRadius <= 0.0)
        return 1.0f;
    const double distance = length * std::min(position - low, high - position);
    return std::clamp(static_cast<float>(distance / m_featherRadius), 0.0f, 1.0f);
}

void RegionMask::axisFactors(std::vector<float> &columns, std::vector<float> &rows) const
{
    columns.resize(static_cast<size_t>(m_width));
    rows.resize(static_cast<size_t>(m_height));
    for (int x = 0; x < m_width; ++x)
        columns[static_cast<size_t>(x)] = axisFactor(x, m_width, m_rect.left(), m_rect.right());
    for (int y = 0; y < m_height; ++y)
        rows[static_cast<size_t>(y)] = axisFactor(y, m_height, m_rect.top(), m_rect.bottom());
}

float regionWeight(int x, int y, int width, int height, const QRectF &rect, double featherRadius)
{
    return RegionMask(rect, width, height, featherRadius).weight(x, y);
}

QImage composite(MotionWorkerPool &pool, const QImage &workingImage, const FloatPlane &luminance,
                 const FloatPlane &magnified, const QRectF &region, const QRectF &expandedRegion, float ringWeight,
                 double featherRadius)
{
    const int width = workingImage.width();
    const int height = workingImage.height();
    if (workingImage.isNull() || luminance.width() != width || luminance.height() != height
        || magnified.width() != width || magnified.height() != height)
        return workingImage;

    uchar *bits = nullptr;
    QImage result = privateArgbCopy(workingImage, bits);
    const qsizetype bytesPerLine = result.bytesPerLine();
    const RegionMask regionMask(region, width, height, featherRadius);
    const RegionMask ringMask(expandedRegion, width, height, featherRadius);
    const bool withRing = ringWeight > 0.0f && !sameNormalisedRect(expandedRegion, region);
    parallelFor(pool, height, 16LL * width, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            auto *pixels = reinterpret_cast<QRgb *>(bits + y * bytesPerLine);
            const float *before = luminance.row(y);
            const float *after = magnified.row(y);
            for (int x = 0; x < width; ++x) {
                float mask = regionMask.weight(x, y);
                if (withRing) {
                    const float ring = ringMask.weight(x, y) * ringWeight;
                    mask = (1.0f - ring) * mask + ring;
                }
                const float change = (after[x] - before[x]) * mask;
                const QRgb pixel = pixels[x];
                pixels[x] = qRgba(shiftedChannel(qRed(pixel), change), shiftedChannel(qGreen(pixel), change),
                                  shiftedChannel(qBlue(pixel), change), qAlpha(pixel));
            }
        }
    });
    return result;
}

QImage pasteBack(const QImage &fullFrame, const QImage &composite, const QPoint &topLeft)
{
    if (fullFrame.isNull() || composite.isNull())
        return fullFrame;
    const QRect target(topLeft, composite.size());
    if (!fullFrame.rect().contains(target))
        return fullFrame;

    uchar *bits = nullptr;
    QImage result = privateArgbCopy(fullFrame, bits);
    const qsizetype bytesPerLine = result.bytesPerLine();
    const QImage source
        = composite.format() == QImage::Format_ARGB32 ? composite : composite.convertToFormat(QImage::Format_ARGB32);
    if (source.isNull())
        throw std::bad_alloc();
    const size_t rowBytes = static_cast<size_t>(target.width()) * sizeof(QRgb);
    for (int y = 0; y < target.height(); ++y) {
        auto *destination = reinterpret_cast<QRgb *>(bits + (target.y() + y) * bytesPerLine) + target.x();
        std::memcpy(destination, source.constScanLine(y), rowBytes);
    }
    return result;
}

} // namespace ovra::motion_core
