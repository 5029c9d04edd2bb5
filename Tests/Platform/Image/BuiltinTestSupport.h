#pragma once

#include "ImageTestSupport.h"

#include "Platform/Image/BuiltinFilters.h"
#include "Platform/Image/Filter.h"

#include <QVariantMap>
#include <algorithm>
#include <cmath>
#include <vector>

namespace pftest {

// The output of the built-in filter `name` with its defaults and then `inputs`.
inline pf::Image filtered(const QString& name, const QVariantMap& inputs)
{
    pf::registerBuiltinFilters();
    pf::FilterPtr filter = pf::Filter::create(name);
    if (!filter)
        return pf::Image();
    filter->setDefaults();
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        filter->setValue(*it, it.key());
    return filter->outputImage();
}

inline QVariant var(const pf::Image& image)
{
    return QVariant::fromValue(image);
}

// A plain grid of premultiplied RGBA values in double, y counted upward, for reference computations.
struct Plane
{
    int width = 0, height = 0;
    double x0 = 0, y0 = 0; // the position of pixel (0, 0)
    std::vector<double> values;

    Plane() = default;
    Plane(int w, int h, double ox = 0, double oy = 0)
        : width(w), height(h), x0(ox), y0(oy), values(size_t(w) * size_t(h) * 4, 0.0)
    {}
    static Plane fromBitmap(const pf::Bitmap& bitmap)
    {
        Plane plane(bitmap.width(), bitmap.height());
        for (int y = 0; y < plane.height; ++y)
            for (int x = 0; x < plane.width; ++x) {
                const auto p = at(bitmap, x, y);
                for (int c = 0; c < 4; ++c)
                    plane.ref(x, y, c) = p[size_t(c)];
            }
        return plane;
    }
    double& ref(int x, int y, int c)
    {
        return values[(size_t(y) * size_t(width) + size_t(x)) * 4 + size_t(c)];
    }
    // Transparent outside.
    double get(int x, int y, int c) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return 0.0;
        return values[(size_t(y) * size_t(width) + size_t(x)) * 4 + size_t(c)];
    }
};

// The largest difference between a render of `area` and the reference plane covering the same area.
inline double largestDifference(const pf::Bitmap& rendered, const Plane& reference)
{
    double worst = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x) {
            const auto p = at(rendered, x, y);
            for (int c = 0; c < 4; ++c)
                worst = std::max(worst, std::abs(double(p[size_t(c)]) - reference.get(x, y, c)));
        }
    return worst;
}

// Renders `rect` in one piece and in tiles of 37 pixels; returns the largest difference.
inline double tiledDifference(const pf::Image& image, const pf::Rect& rect)
{
    static pf::RenderContext tiled(QStringLiteral("tiled tests"));
    static const bool configured = (tiled.setMaximumTileSize(37), true);
    (void)configured;
    const auto a = context().render(image, rect, pf::Bitmap::Format::RGBAf);
    const auto b = tiled.render(image, rect, pf::Bitmap::Format::RGBAf);
    return a && b ? largestDifference(*a, *b) : 1e30;
}

} // namespace pftest
