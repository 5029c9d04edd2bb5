#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <array>
#include <functional>

namespace framestest {

// A PNG of straight RGBA 0..1 values that f gives for each pixel, (x, y) counted from the top row as
// the file stores it.
inline void writePNG(const QString& path, int width, int height,
                     const std::function<std::array<double, 4>(int, int)>& f)
{
    QImage image(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto c = f(x, y);
            image.setPixelColor(x, y, QColor::fromRgbF(float(c[0]), float(c[1]), float(c[2]), float(c[3])));
        }
    QDir().mkpath(QFileInfo(path).path());
    image.save(path, "PNG");
}

inline void writeSolidPNG(const QString& path, double grey, double alpha = 1, int size = 16)
{
    writePNG(path, size, size, [&](int, int) { return std::array<double, 4>{grey, grey, grey, alpha}; });
}

// A frames bundle in a temporary folder with the resource folders the frame model looks in.
struct TempBundle
{
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    QString file(const QString& folder, const QString& name) const
    {
        return QDir(dir.path()).filePath(folder + QLatin1Char('/') + name);
    }
};

inline pf::RenderContext& context()
{
    static pf::RenderContext context(QStringLiteral("frames tests"));
    return context;
}

// Premultiplied RGBA 0..1 pixels of a rectangle, rows from the top, as floats.
struct Pixels
{
    pf::Bitmap bitmap;
    int width = 0, height = 0;
    bool isNull() const { return bitmap.isNull(); }
    // (x, y) counted upward from the rectangle's lower left.
    std::array<double, 4> at(int x, int y) const
    {
        const float* p = reinterpret_cast<const float*>(bitmap.row(height - 1 - y)) + x * 4;
        return {p[0], p[1], p[2], p[3]};
    }
};

inline Pixels rendered(const pf::Image& image, const pf::Rect& rect)
{
    Pixels pixels;
    if (image.isNull())
        return pixels;
    auto bitmap = context().render(image, rect, pf::Bitmap::Format::RGBAf);
    if (bitmap) {
        pixels.bitmap = *bitmap;
        pixels.width = int(std::ceil(rect.size.width));
        pixels.height = int(std::ceil(rect.size.height));
    }
    return pixels;
}

} // namespace framestest
