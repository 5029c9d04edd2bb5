#pragma once

#include <QMetaType>
#include <QPointF>
#include <iosfwd>

class QDebug;

namespace pf {

// A position in y-up coordinates.
struct Point
{
    double x = 0, y = 0;

    constexpr Point() = default;
    constexpr Point(double x, double y) : x(x), y(y) {}

    bool operator==(const Point&) const = default;
    Point operator+(Point other) const { return {x + other.x, y + other.y}; }
    Point operator-(Point other) const { return {x - other.x, y - other.y}; }

    // Same numbers; flipping between y-up and y-down belongs to the view layer.
    QPointF toQPointF() const { return {x, y}; }
    static Point fromQPointF(const QPointF& point) { return {point.x(), point.y()}; }
};

QDebug operator<<(QDebug debug, const Point& point);
void PrintTo(const Point& point, std::ostream* stream);

} // namespace pf

Q_DECLARE_METATYPE(pf::Point)
