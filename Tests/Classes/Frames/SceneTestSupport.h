#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"

#include <QVariantMap>
#include <array>
#include <cmath>
#include <functional>

namespace scenetest {

using Rgb = std::array<double, 3>;

inline double toLinear(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

inline double toSRGB(double v)
{
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// A value as an 8-bit channel holds it.
inline double quantised(double v)
{
    return std::round(std::clamp(v, 0.0, 1.0) * 255) / 255;
}

// Straight sRGB colour c with alpha a, premultiplied, in each pixel (x, y counted upward) f gives.
inline pf::Image picture(int width, int height, const std::function<std::array<double, 4>(int, int)>& f)
{
    pf::Bitmap bitmap(width, height, pf::Bitmap::Format::RGBAf);
    for (int y = 0; y < height; ++y) {
        float* row = reinterpret_cast<float*>(bitmap.mutableRow(height - 1 - y));
        for (int x = 0; x < width; ++x) {
            const std::array<double, 4> c = f(x, y);
            for (int i = 0; i < 3; ++i)
                row[x * 4 + i] = float(c[size_t(i)] * c[3]);
            row[x * 4 + 3] = float(c[3]);
        }
    }
    return pf::Image::fromBitmap(bitmap);
}

inline pf::Image solid(int width, int height, const Rgb& c, double alpha = 1)
{
    return picture(width, height, [&](int, int) { return std::array<double, 4>{c[0], c[1], c[2], alpha}; });
}

inline QVariantMap sprite(const pf::Image& image, const QVariantMap& numbers = {})
{
    QVariantMap s = numbers;
    s.insert(QStringLiteral("image"), QVariant::fromValue(image));
    return s;
}

struct Pixels
{
    pf::Bitmap bitmap;
    bool isNull() const { return bitmap.isNull(); }
    // The pixel whose lower-left corner is (x, y), y counted upward, as 0..255 premultiplied RGBA.
    std::array<int, 4> at(int x, int y) const
    {
        const uint8_t* p = bitmap.row(bitmap.height() - 1 - y) + x * 4;
        return {p[0], p[1], p[2], p[3]};
    }
};

inline pf::RenderContext& context()
{
    static pf::RenderContext context(QStringLiteral("scene tests"));
    return context;
}

inline Pixels rendered(const pf::Image& image, int width, int height)
{
    if (image.isNull())
        return {};
    auto bitmap = context().render(image, pf::Rect(0, 0, width, height), pf::Bitmap::Format::RGBA8);
    return {bitmap ? *bitmap : pf::Bitmap()};
}

// The largest difference, in 8-bit steps, between a pixel and an expected sRGB colour (opaque).
inline double difference(const std::array<int, 4>& pixel, const Rgb& expected)
{
    double worst = 0;
    for (size_t i = 0; i < 3; ++i)
        worst = std::max(worst, std::abs(pixel[i] - expected[i] * 255));
    return worst;
}

} // namespace scenetest
