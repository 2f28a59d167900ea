// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/ProcessingRegion.h"

#include <algorithm>
#include <cmath>

namespace ovra::motion_core {

namespace {

QRectF normalisedTo(const QRect &rect, const QRect &frame)
{
    return QRectF(static_cast<double>(rect.x() - frame.x()) / frame.width(),
                  static_cast<double>(rect.y() - frame.y()) / frame.height(),
                  static_cast<double>(rect.width()) / frame.width(),
                  static_cast<double>(rect.height()) / frame.height());
}

// Exclusive end of the aligned span that covers the last index, at most limit.
int alignedEnd(int lastIndex, int alignment, int limit)
{
    return std::min(limit, (lastIndex / alignment + 1) * alignment);
}

} // namespace

bool sameNormalisedRect(const QRectF &a, const QRectF &b)
{
    return a.topLeft() == b.topLeft() && a.size() == b.size();
}

bool isWholeFrame(const QRectF &rect)
{
    return sameNormalisedRect(rect, QRectF(0.0, 0.0, 1.0, 1.0));
}

void ProcessingRegion::compute(const QSize &frameSize, const QRectF &region, bool optimisationEnabled, int levelCount,
                               double featherRadius)
{
    m_fullRectangle = frameSize.isEmpty() ? QRect() : QRect(QPoint(0, 0), frameSize);
    m_processingRectangle = m_fullRectangle;
    m_regionInProcessing = region;
    m_expandedRegionInProcessing = region;
    m_applied = false;
    if (!optimisationEnabled || isWholeFrame(region) || levelCount < 1)
        return;

    m_applied = true;
    const int width = frameSize.width();
    const int height = frameSize.height();
    // Margins and alignment follow the four finest levels: the coarser ones of a large frame
    // would otherwise grow the rectangle to most of the frame and undo the saving.
    const int scale = 1 << std::min(levelCount, 4);
    const int featherMargin = std::max(static_cast<int>(std::ceil(featherRadius)), scale);
    const int contextMargin = 3 * scale;
    const int minimumSide = 16 * scale;

    const int left = std::clamp(static_cast<int>(std::floor(region.left() * width)), 0, width - 1);
    const int top = std::clamp(static_cast<int>(std::floor(region.top() * height)), 0, height - 1);
    const int right = std::clamp(static_cast<int>(std::ceil(region.right() * width)), left + 1, width);
    const int bottom = std::clamp(static_cast<int>(std::ceil(region.bottom() * height)), top + 1, height);
    const QRect pixelRegion(left, top, right - left, bottom - top);

    const QRect feather
        = pixelRegion.adjusted(-featherMargin, -featherMargin, featherMargin, featherMargin) & m_fullRectangle;
    const QRect context
        = feather.adjusted(-contextMargin, -contextMargin, contextMargin, contextMargin) & m_fullRectangle;

    const int sizedWidth = std::min(std::max(context.width(), minimumSide), width);
    const int sizedHeight = std::min(std::max(context.height(), minimumSide), height);
    const int x = std::clamp(context.x() + context.width() / 2 - sizedWidth / 2, 0, width - sizedWidth);
    const int y = std::clamp(context.y() + context.height() / 2 - sizedHeight / 2, 0, height - sizedHeight);

    const int alignedLeft = std::max(0, x - x % scale);
    const int alignedTop = std::max(0, y - y % scale);
    const int alignedRight = alignedEnd(x + sizedWidth - 1, scale, width);
    const int alignedBottom = alignedEnd(y + sizedHeight - 1, scale, height);
    m_processingRectangle = QRect(alignedLeft, alignedTop, alignedRight - alignedLeft, alignedBottom - alignedTop);

    m_regionInProcessing = normalisedTo(pixelRegion, m_processingRectangle);
    m_expandedRegionInProcessing = normalisedTo(feather, m_processingRectangle);
}

float ProcessingRegion::expandedRegionWeight(double amplificationFactor) const
{
    if (!m_applied || amplificationFactor <= 1.0)
        return 0.0f;
    const double weight = (amplificationFactor * 0.5 - 1.0) / (amplificationFactor - 1.0);
    return static_cast<float>(std::clamp(weight, 0.0, 1.0));
}

} // namespace ovra::motion_core
