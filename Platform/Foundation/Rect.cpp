#include "Platform/Foundation/Rect.h"

#include "Platform/Foundation/ValueDescription.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace pf {

namespace {
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kInfiniteOrigin = -DBL_MAX / 2;
constexpr double kInfiniteSize = DBL_MAX;

Rect fromEdges(double x1, double y1, double x2, double y2)
{
    return {x1, y1, x2 - x1, y2 - y1};
}

const auto describe = [](auto& stream, const Rect& rect) {
    if (rect.isNull())
        stream << "Rect(null)";
    else if (rect.isInfinite())
        stream << "Rect(infinite)";
    else
        stream << "Rect(" << rect.origin.x << ", " << rect.origin.y << ", " << rect.size.width << " x "
               << rect.size.height << ')';
};

} // namespace

Rect Rect::null()
{
    return {kInfinity, kInfinity, 0, 0};
}

Rect Rect::infinite()
{
    return {kInfiniteOrigin, kInfiniteOrigin, kInfiniteSize, kInfiniteSize};
}

bool Rect::isNull() const
{
    return origin.x == kInfinity || origin.y == kInfinity;
}

bool Rect::isInfinite() const
{
    return origin.x == kInfiniteOrigin && origin.y == kInfiniteOrigin && size.width == kInfiniteSize &&
           size.height == kInfiniteSize;
}

bool Rect::isEmpty() const
{
    return isNull() || size.width == 0 || size.height == 0;
}

Rect Rect::standardized() const
{
    if (isNull())
        return null();
    Rect result = *this;
    if (result.size.width < 0) {
        result.origin.x += result.size.width;
        result.size.width = -result.size.width;
    }
    if (result.size.height < 0) {
        result.origin.y += result.size.height;
        result.size.height = -result.size.height;
    }
    return result;
}

double Rect::minX() const
{
    return size.width < 0 ? origin.x + size.width : origin.x;
}

double Rect::midX() const
{
    return origin.x + size.width / 2;
}

double Rect::maxX() const
{
    return size.width < 0 ? origin.x : origin.x + size.width;
}

double Rect::minY() const
{
    return size.height < 0 ? origin.y + size.height : origin.y;
}

double Rect::midY() const
{
    return origin.y + size.height / 2;
}

double Rect::maxY() const
{
    return size.height < 0 ? origin.y : origin.y + size.height;
}

double Rect::width() const
{
    return std::abs(size.width);
}

double Rect::height() const
{
    return std::abs(size.height);
}

Rect Rect::intersected(const Rect& other) const
{
    if (isNull() || other.isNull())
        return null();
    if (isInfinite())
        return other.standardized();
    if (other.isInfinite())
        return standardized();
    const double x1 = std::max(minX(), other.minX());
    const double y1 = std::max(minY(), other.minY());
    const double x2 = std::min(maxX(), other.maxX());
    const double y2 = std::min(maxY(), other.maxY());
    // Written so that NaN edges also give null.
    if (!(x1 <= x2 && y1 <= y2))
        return null();
    return fromEdges(x1, y1, x2, y2);
}

Rect Rect::united(const Rect& other) const
{
    if (isNull())
        return other.standardized();
    if (other.isNull())
        return standardized();
    if (isInfinite() || other.isInfinite())
        return infinite();
    return fromEdges(std::min(minX(), other.minX()), std::min(minY(), other.minY()),
                     std::max(maxX(), other.maxX()), std::max(maxY(), other.maxY()));
}

Rect Rect::integral() const
{
    if (isNull() || isInfinite())
        return *this;
    return fromEdges(std::floor(minX()), std::floor(minY()), std::ceil(maxX()), std::ceil(maxY()));
}

Rect Rect::insetBy(double dx, double dy) const
{
    if (isNull() || isInfinite())
        return *this;
    const Rect r = standardized();
    const Rect result{r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy};
    if (!(result.size.width >= 0 && result.size.height >= 0))
        return null();
    return result;
}

Rect Rect::offsetBy(double dx, double dy) const
{
    if (isNull() || isInfinite())
        return *this;
    return {origin.x + dx, origin.y + dy, size.width, size.height};
}

bool Rect::contains(Point point) const
{
    if (isNull())
        return false;
    if (isInfinite())
        return !std::isnan(point.x) && !std::isnan(point.y);
    return minX() <= point.x && point.x < maxX() && minY() <= point.y && point.y < maxY();
}

bool Rect::contains(const Rect& other) const
{
    if (isNull() || other.isNull())
        return false;
    if (isInfinite())
        return true;
    return minX() <= other.minX() && other.maxX() <= maxX() && minY() <= other.minY() &&
           other.maxY() <= maxY();
}

bool Rect::intersects(const Rect& other) const
{
    const Rect common = intersected(other);
    return !common.isEmpty();
}

bool Rect::operator==(const Rect& other) const
{
    if (isNull() || other.isNull())
        return isNull() && other.isNull();
    const Rect a = standardized();
    const Rect b = other.standardized();
    return a.origin == b.origin && a.size == b.size;
}

PF_DEFINE_VALUE_PRINTERS(Rect, describe)

} // namespace pf
