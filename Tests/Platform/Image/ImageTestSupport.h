#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/RenderContext.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>

namespace pftest {

// A float RGBA bitmap whose pixel (x, y) — y counted upward from the bottom — is f(x, y).
template <typename F> pf::Bitmap makeFloatBitmap(int width, int height, F f)
{
    pf::Bitmap bitmap(width, height, pf::Bitmap::Format::RGBAf);
    for (int y = 0; y < height; ++y) {
        float* row = reinterpret_cast<float*>(bitmap.mutableRow(height - 1 - y));
        for (int x = 0; x < width; ++x) {
            const std::array<float, 4> c = f(x, y);
            for (int i = 0; i < 4; ++i)
                row[x * 4 + i] = c[static_cast<size_t>(i)];
        }
    }
    return bitmap;
}

inline pf::Bitmap randomBitmap(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    return makeFloatBitmap(width, height, [&](int, int) {
        const float a = unit(random);
        return std::array<float, 4>{unit(random) * a, unit(random) * a, unit(random) * a, a};
    });
}

// Pixel (x, y) of a rendered bitmap, y counted upward from the bottom of the bitmap.
inline std::array<float, 4> at(const pf::Bitmap& bitmap, int x, int y)
{
    std::array<float, 4> c{};
    bitmap.pixel(x, bitmap.height() - 1 - y, c.data());
    return c;
}

// The largest difference of any channel at any pixel between two bitmaps of the same size.
inline float largestDifference(const pf::Bitmap& a, const pf::Bitmap& b)
{
    float worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            float p[4], q[4];
            a.pixel(x, y, p);
            b.pixel(x, y, q);
            for (int i = 0; i < 4; ++i)
                worst = std::max(worst, std::abs(p[i] - q[i]));
        }
    return worst;
}

inline pf::Kernel kernel(const char* text)
{
    auto kernels = pf::Kernel::kernelsWithString(QString::fromUtf8(text), QStringLiteral("test kernel"));
    return kernels.empty() ? pf::Kernel() : kernels.front();
}

inline pf::RenderContext& context()
{
    static pf::RenderContext context(QStringLiteral("tests"));
    return context;
}

inline pf::Bitmap renderFloat(const pf::Image& image, const pf::Rect& rect)
{
    auto bitmap = context().render(image, rect, pf::Bitmap::Format::RGBAf);
    return bitmap ? *bitmap : pf::Bitmap();
}

// The picture as JPEG bytes carrying an EXIF orientation tag (1 to 8; 6: "turn a quarter clockwise to
// show"). Qt's writer turns the pixels instead of writing the tag, so the tag is spliced in by hand.
inline QByteArray jpegWithOrientation(const QImage& stored, int orientation, int quality = 100)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(stored))
        return {};
    // APP1 "Exif": a big-endian TIFF header and one directory with the single orientation entry.
    const char exif[] = {'\xFF', '\xE1', 0, 34, 'E', 'x', 'i', 'f', 0, 0,
                         'M',    'M',    0, 42, 0,   0,   0,   8,   0, 1,
                         '\x01', '\x12', 0, 3,  0,   0,   0,   1,   0, char(orientation),
                         0,      0,      0, 0,  0,   0};
    return jpeg.left(2) + QByteArray(exif, sizeof exif) + jpeg.mid(2);
}

} // namespace pftest
