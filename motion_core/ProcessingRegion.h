// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>

namespace ovra::motion_core {

// Qt's fuzzy comparison of top-left points and sizes.
bool sameNormalisedRect(const QRectF &a, const QRectF &b);
// True when rect is (0, 0, 1, 1) under that comparison.
bool isWholeFrame(const QRectF &rect);

// Where each frame is processed and where amplification applies.
//
// With the optimisation, only a rectangle around the region is processed: the region plus
// a feather margin (the soft mask edge) plus a context margin for the pyramid filters,
// at least 16 x 2^levels pixels per side and aligned to 2^levels so that the pyramid's
// halvings stay exact, with levels counted up to four.
class ProcessingRegion
{
public:
    void compute(const QSize &frameSize, const QRectF &region, bool optimisationEnabled, int levelCount,
                 double featherRadius);

    // Applied and smaller than the frame: frames are cropped and pasted back.
    bool isActive() const { return m_applied && m_processingRectangle != m_fullRectangle; }
    bool applied() const { return m_applied; }
    QRect processingRectangle() const { return m_processingRectangle; }
    // Both normalised to the processing rectangle.
    QRectF regionInProcessing() const { return m_regionInProcessing; }
    QRectF expandedRegionInProcessing() const { return m_expandedRegionInProcessing; }

    // Weight of the ring between region and expanded region: small motions there come out
    // amplified by about A / 2.
    float expandedRegionWeight(double amplificationFactor) const;

private:
    QRect m_fullRectangle;
    QRect m_processingRectangle;
    QRectF m_regionInProcessing;
    QRectF m_expandedRegionInProcessing;
    bool m_applied = false;
};

} // namespace ovra::motion_core
