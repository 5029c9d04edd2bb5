#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Size.h"

#include <QMetaType>
#include <QRectF>
#include <iosfwd>

class QDebug;

namespace pf {

// An axis-aligned rectangle in y-up coordinates: origin plus size. The size may be negative; every query
// works on the standardized rectangle. Two special values: the null rectangle (no rectangle at all, the
// result of intersecting rectangles that do not meet) and the infinite rectangle (contains everything,
// the extent of an unbounded image).
struct Rect
{
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double width, double height) : origin(x, y), size(width, height) {}
    constexpr Rect(Point origin, Size size) : origin(origin), size(size) {}

    // Origin (+inf, +inf), size 0.
    static Rect null();
    // Origin (-DBL_MAX/2, -DBL_MAX/2), size (DBL_MAX, DBL_MAX).
    static Rect infinite();

    bool isNull() const;
    // Exactly the infinite rectangle (the operations below keep it exact).
    bool isInfinite() const;
    // Null, or no area: a width or height of zero.
    bool isEmpty() const;

    // The same rectangle with a non-negative size (the origin moves to the minimum corner).
    Rect standardized() const;

    double minX() const;
    double midX() const;
    double maxX() const;
    double minY() const;
    double midY() const;
    double maxY() const;
    double width() const;  // never negative
    double height() const; // never negative

    // Null when they do not meet; rectangles that only touch give a zero-width or zero-height rectangle.
    Rect intersected(const Rect& other) const;
    // The smallest rectangle containing both; a null rectangle adds nothing, an infinite one absorbs.
    Rect united(const Rect& other) const;
    // The smallest rectangle with integral edges that contains this one.
    Rect integral() const;
    // Moves every edge inwards (outwards for negative values); null when the result would have a
    // negative width or height.
    Rect insetBy(double dx, double dy) const;
    Rect offsetBy(double dx, double dy) const;

    // Half-open: minX <= x < maxX and minY <= y < maxY.
    bool contains(Point point) const;
    // Every edge of `other` lies within this rectangle (closed); false when either is null.
    bool contains(const Rect& other) const;
    // They share some area; rectangles that only touch do not intersect.
    bool intersects(const Rect& other) const;

    // Compares the standardized rectangles; all null rectangles are equal.
    bool operator==(const Rect& other) const;

    // Same numbers; flipping between y-up and y-down belongs to the view layer.
    QRectF toQRectF() const { return {origin.x, origin.y, size.width, size.height}; }
    static Rect fromQRectF(const QRectF& rect) { return {rect.x(), rect.y(), rect.width(), rect.height()}; }
};

QDebug operator<<(QDebug debug, const Rect& rect);
void PrintTo(const Rect& rect, std::ostream* stream);

} // namespace pf

Q_DECLARE_METATYPE(pf::Rect)
