// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/FloatPlane.h"

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QTransform>

#include <vector>

namespace ovra::motion_core {

// How far the camera moved over a fragment: the displacement of the frame's centre against the
// first frame, in pixels of the frame as shown.
struct CameraMotionSummary
{
    double rmsPixels = 0.0;
    double peakPixels = 0.0;
};

// The summary of the transforms a CameraMotionEstimator gave for frames of frameSize.
CameraMotionSummary summarizeCameraMotion(const std::vector<QTransform> &transforms, const QSize &frameSize,
                                          double pixelAspectRatio);

// Estimates the camera's motion, frame by frame, against a reference frame: the similarity
// (translation, rotation, uniform scale, in the geometry of the frame as shown) that maps what
// is static in a reference region of the first frame onto a later frame.
//
// Patches of the region with texture are followed by Lucas-Kanade, first on a box-reduced
// luminance from the last frame's estimate (so that motion of several pixels per frame is
// caught), then at full resolution with bicubic sampling, iterated to a few thousandths of a
// pixel. The similarity is fitted to the patches' positions by least squares weighted with each
// patch's texture (a patch on one edge tells only the motion across it), and robustly: patches
// that move on their own (the machine, a person) fall out of the fit by their residual, and
// patches that keep moving faster than the steadiest quarter count less and less, so that the
// still world tells the camera's motion even where the machine fills half the frame.
//
// Why our own estimator: on a rendered scene whose camera moves by fractions of a pixel between
// frames (120 fps, 0.6 px tremor at 7 Hz, +-3 px drift), FFmpeg's vidstabdetect reported 6850 of
// its 6852 local motions as exactly zero: its fields are whole pixels between consecutive
// frames, and deshake's block search is whole pixels too, where magnification needs the camera
// against the first frame to a hundredth of a pixel (this estimator: within 0.01 px there). The
// project's tile tracker follows translations only, on one reduced level, within a few samples;
// its method (five-point derivatives, one-edge tiles measured across only) is kept here at two
// levels and fitted to a similarity. A general vision library would be a large dependency whose
// warp quantises positions to 1/32 pixel, as large as the motion we magnify.
class CameraMotionEstimator
{
public:
    // region: where the static world is, in pixels of the upright frame; pixelAspectRatio:
    // the width of a stored pixel in shown pixels.
    CameraMotionEstimator(const QRect &region, double pixelAspectRatio);
    ~CameraMotionEstimator();

    // Starts over with the reference frame; false when the region has no texture to follow.
    bool setReference(const QImage &frame);
    // The transform from the reference frame's pixels to this frame's pixels (the one a warp
    // takes to put the frame back into the reference's geometry).
    QTransform track(const QImage &frame);

private:
    struct Patch;
    struct Level;
    struct Similarity
    {
        double a = 1.0;
        double b = 0.0;
        double tx = 0.0;
        double ty = 0.0;
    };

    QTransform transformOf(const Similarity &similarity) const;
    void load(Level &level, const QImage &frame, const QTransform &transform);
    void sampleSquare(const Level &level, size_t patch, const QTransform &transform, int extra,
                      std::vector<float> &out) const;
    void setReferencePatches(Level &level);
    void keepTexturedPatches();
    void refine(Level &level, const QImage &frame, int iterations);
    void rememberMotion(const Level &level, const std::vector<QPointF> &observed);
    std::vector<double> trust() const;
    bool fit(const Level &level, const std::vector<QPointF> &observed);

    QRect m_region;
    double m_aspect;
    QPointF m_centre; // of the region, in shown pixels: the fit's origin
    QRect m_window; // the part of the frame the coarse level reduces
    std::vector<Level> m_levels; // coarse to fine
    Similarity m_similarity;
    std::vector<QPointF> m_lastObserved; // the fine patches' places in the last frame
    std::vector<double> m_motionEnergy; // per patch: its mean squared speed of late
    std::vector<float> m_samples; // one patch's, while measuring
};

} // namespace ovra::motion_core
