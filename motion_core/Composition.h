// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"
#include "motion_core/MotionWorkerPool.h"

#include <QImage>
#include <QPoint>
#include <QRectF>

#include <vector>

namespace ovra::motion_core {

// Mask of a normalised rectangle over a width x height image: 1 for the whole frame,
// 0 outside, rising with a smoothstep over featherRadius pixels inside the nearest edge
// (a hard 0/1 mask when featherRadius <= 0).
class RegionMask
{
public:
    RegionMask(const QRectF &rect, int width, int height, double featherRadius);
    float weight(int x, int y) const;

    // The same mask as two tables for vector kernels: with t = min(columns[x], rows[y]),
    // weight(x, y) is 0 when t < 0 and smoothstep(t) = t t (3 - 2 t) otherwise, exactly.
    // (The nearest edge's distance is the smaller of the two axes' distances, and rounding
    // and clamping keep the order.)
    void axisFactors(std::vector<float> &columns, std::vector<float> &rows) const;

private:
    // -1 outside [low, high] on an axis of length pixels, else the clamped feather factor.
    float axisFactor(int index, int length, double low, double high) const;

    QRectF m_rect;
    int m_width;
    int m_height;
    double m_featherRadius;
    bool m_wholeFrame;
};

float regionWeight(int x, int y, int width, int height, const QRectF &rect, double featherRadius);

// Adds the masked luminance change (magnified - luminance) equally to red, green and blue
// of a private ARGB32 copy of the working image. Inside the ring between region and
// expandedRegion the mask is lifted towards ringWeight. Returns the working image itself
// when the plane sizes do not match it; throws std::bad_alloc when the copy cannot be made.
QImage composite(MotionWorkerPool &pool, const QImage &workingImage, const FloatPlane &luminance,
                 const FloatPlane &magnified, const QRectF &region, const QRectF &expandedRegion, float ringWeight,
                 double featherRadius);

// Replaces the pixels of a private ARGB32 copy of fullFrame with the composite at topLeft.
// Returns fullFrame unchanged when the composite does not fit inside it.
QImage pasteBack(const QImage &fullFrame, const QImage &composite, const QPoint &topLeft);

} // namespace ovra::motion_core
