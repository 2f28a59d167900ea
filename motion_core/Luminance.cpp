// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/Luminance.h"

#include <new>

namespace ovra::motion_core {

namespace {

float luma(float red, float green, float blue)
{
    return (green * 0.7152f + red * 0.2126f) + blue * 0.0722f;
}

void lumaOfArgbRow(const QRgb *pixels, float *out, int width)
{
    for (int x = 0; x < width; ++x) {
        const QRgb pixel = pixels[x];
        out[x] = luma(static_cast<float>(qRed(pixel)), static_cast<float>(qGreen(pixel)),
                      static_cast<float>(qBlue(pixel)));
    }
}

// Byte order R, G, B, A in memory.
void lumaOfRgbaBytesRow(const uchar *pixels, float *out, int width)
{
    for (int x = 0; x < width; ++x) {
        const uchar *pixel = pixels + 4 * x;
        out[x] = luma(static_cast<float>(pixel[0]), static_cast<float>(pixel[1]), static_cast<float>(pixel[2]));
    }
}

} // namespace

void extractLuminance(MotionWorkerPool &pool, const QImage &image, FloatPlane &output)
{
    const QImage::Format format = image.format();
    const bool bytesInPlace = format == QImage::Format_RGBA8888 || format == QImage::Format_RGBX8888;
    const bool wordsInPlace = format == QImage::Format_ARGB32 || format == QImage::Format_RGB32;
    QImage converted;
    if (!bytesInPlace && !wordsInPlace) {
        converted = image.convertToFormat(QImage::Format_ARGB32);
        if (converted.isNull() && !image.isNull())
            throw std::bad_alloc();
    }
    const QImage &source = converted.isNull() ? image : converted;

    const int width = source.width();
    output.reshape(width, source.height());
    parallelFor(pool, source.height(), 5LL * width, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            if (bytesInPlace)
                lumaOfRgbaBytesRow(source.constScanLine(y), output.row(y), width);
            else
                lumaOfArgbRow(reinterpret_cast<const QRgb *>(source.constScanLine(y)), output.row(y), width);
        }
    });
}

} // namespace ovra::motion_core
