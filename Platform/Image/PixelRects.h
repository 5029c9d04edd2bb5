#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/ImageNode.h"

#include <algorithm>
#include <cmath>

// The rectangle arithmetic both renderers plan their tiles and passes with. Both must round, clamp and
// pick pixels alike, or the CPU and GPU renderings of one image would cover different pixels.
namespace pf::PixelRects {

// Whether a rectangle has finite edges, all within a billion of the origin (whole-pixel arithmetic on it
// stays exact).
inline bool isFinite(const Rect& r)
{
    return !r.isNull() && !r.isInfinite() && std::isfinite(r.minX()) && std::isfinite(r.maxX()) &&
           std::isfinite(r.minY()) && std::isfinite(r.maxY()) && std::abs(r.minX()) < 1e9 &&
           std::abs(r.maxX()) < 1e9 && std::abs(r.minY()) < 1e9 && std::abs(r.maxY()) < 1e9;
}

// The pixels whose centres a rectangle needs, as whole pixels.
inline Rect roundOut(const Rect& r)
{
    if (r.isNull() || r.isInfinite())
        return r;
    const double x0 = std::floor(r.minX()), y0 = std::floor(r.minY());
    const double x1 = std::ceil(r.maxX()), y1 = std::ceil(r.maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

// The pixels whose centres lie in a rectangle, edges included: a pixel is a sample at its centre, and
// a centre on the edge of an image's domain is inside it, on every side alike.
inline Rect pixelsCentredIn(const Rect& r)
{
    if (r.isNull() || r.isInfinite())
        return r;
    const double x0 = std::ceil(r.minX() - 0.5), x1 = std::floor(r.maxX() - 0.5) + 1;
    const double y0 = std::ceil(r.minY() - 0.5), y1 = std::floor(r.maxY() - 0.5) + 1;
    if (x1 <= x0 || y1 <= y0)
        return Rect::null();
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

// Where points of a rectangle end up when clamped into `bounds`.
inline Rect project(const Rect& r, const Rect& bounds)
{
    if (r.isNull() || bounds.isNull())
        return Rect::null();
    if (bounds.isInfinite())
        return r;
    const double x0 = std::clamp(r.minX(), bounds.minX(), bounds.maxX());
    const double x1 = std::clamp(r.maxX(), bounds.minX(), bounds.maxX());
    const double y0 = std::clamp(r.minY(), bounds.minY(), bounds.maxY());
    const double y1 = std::clamp(r.maxY(), bounds.minY(), bounds.maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

// Where a node has pixels: inside both its domain and its extent.
inline Rect areaOf(const ImageNode& node)
{
    return node.domain.intersected(node.extent);
}

} // namespace pf::PixelRects
