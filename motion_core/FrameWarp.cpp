// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/FrameWarp.h"

#include <algorithm>
#include <cmath>

namespace ovra::motion_core {

namespace {

// Catmull-Rom weights of the four samples around a position t in [0, 1) past the second one.
void cubicWeights(float t, float *w)
{
    const float t2 = t * t;
    const float t3 = t2 * t;
    w[0] = 0.5f * (-t3 + 2.0f * t2 - t);
    w[1] = 0.5f * (3.0f * t3 - 5.0f * t2 + 2.0f);
    w[2] = 0.5f * (-3.0f * t3 + 4.0f * t2 + t);
    w[3] = 0.5f * (t3 - t2);
}

uchar toByte(float value)
{
    return static_cast<uchar>(std::clamp(value + 0.5f, 0.0f, 255.0f));
}

class RowWarp
{
public:
    RowWarp(const QImage &frame, const QTransform &toSource)
        : m_frame(frame)
        , m_t(toSource)
        , m_lastX(frame.width() - 1)
        , m_lastY(frame.height() - 1)
    {
    }

    void run(int y, uchar *out) const
    {
        for (int x = 0; x < m_frame.width(); ++x, out += 4) {
            const double sx = m_t.m11() * x + m_t.m21() * y + m_t.dx();
            const double sy = m_t.m12() * x + m_t.m22() * y + m_t.dy();
            sample(sx, sy, out);
        }
    }

private:
    void sample(double sx, double sy, uchar *out) const
    {
        const double fx = std::floor(sx);
        const double fy = std::floor(sy);
        float wx[4];
        float wy[4];
        cubicWeights(static_cast<float>(sx - fx), wx);
        cubicWeights(static_cast<float>(sy - fy), wy);
        const int x0 = static_cast<int>(std::clamp(fx, -4.0, double(m_lastX) + 4.0)) - 1;
        const int y0 = static_cast<int>(std::clamp(fy, -4.0, double(m_lastY) + 4.0)) - 1;
        const bool inside = x0 >= 0 && y0 >= 0 && x0 + 3 <= m_lastX && y0 + 3 <= m_lastY;
        float sum[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int j = 0; j < 4; ++j) {
            const uchar *line = m_frame.constScanLine(inside ? y0 + j : std::clamp(y0 + j, 0, m_lastY));
            float row[4] = {0.0f, 0.0f, 0.0f, 0.0f};
            for (int i = 0; i < 4; ++i) {
                const uchar *pixel = line + 4 * (inside ? x0 + i : std::clamp(x0 + i, 0, m_lastX));
                for (int c = 0; c < 4; ++c)
                    row[c] += wx[i] * pixel[c];
            }
            for (int c = 0; c < 4; ++c)
                sum[c] += wy[j] * row[c];
        }
        for (int c = 0; c < 4; ++c)
            out[c] = toByte(sum[c]);
    }

    const QImage &m_frame;
    const QTransform &m_t;
    const int m_lastX;
    const int m_lastY;
};

} // namespace

void warpFrame(MotionWorkerPool &pool, const QImage &frame, const QTransform &toSource, QImage *output)
{
    const bool rgba = frame.format() == QImage::Format_RGBA8888 || frame.format() == QImage::Format_RGBX8888;
    const QImage source = rgba ? frame : frame.convertToFormat(QImage::Format_RGBA8888);
    if (output->size() != source.size() || output->format() != source.format())
        *output = QImage(source.size(), source.format());
    // bits() detaches once here, not in every worker.
    uchar *const bits = output->bits();
    const qsizetype stride = output->bytesPerLine();
    const RowWarp warp(source, toSource);
    parallelFor(pool, source.height(), qint64(source.width()) * 64, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            warp.run(y, bits + y * stride);
    });
}

QImage warpFrame(const QImage &frame, const QTransform &toSource)
{
    MotionWorkerPool pool;
    QImage output;
    warpFrame(pool, frame, toSource, &output);
    return output;
}

} // namespace ovra::motion_core
