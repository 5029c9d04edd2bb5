#pragma once

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"

#include <QMetaType>
#include <QString>
#include <vector>

namespace pf {

// An immutable list of numbers: a position, a rectangle (x, y, width, height), an offset or any small
// parameter set handed to a filter or a kernel. Components past the end read as 0.
class Vector
{
public:
    Vector() = default;
    explicit Vector(std::vector<double> values) : m_values(std::move(values)) {}
    Vector(double x, double y) : m_values{x, y} {}
    Vector(double x, double y, double z) : m_values{x, y, z} {}
    Vector(double x, double y, double z, double w) : m_values{x, y, z, w} {}
    static Vector fromPoint(const Point& point) { return Vector(point.x, point.y); }
    static Vector fromRect(const Rect& rect);
    static Vector fromTransform(const AffineTransform& t) { return Vector({t.a, t.b, t.c, t.d, t.tx, t.ty}); }
    // "[x y z]" or "x y z" (also with commas); an unreadable text gives an empty vector.
    static Vector fromString(const QString& text);

    int count() const { return static_cast<int>(m_values.size()); }
    double at(int index) const;
    double x() const { return at(0); }
    double y() const { return at(1); }
    double z() const { return at(2); }
    double w() const { return at(3); }
    const std::vector<double>& values() const { return m_values; }

    Point point() const { return Point(x(), y()); }
    Rect rect() const { return Rect(x(), y(), z(), w()); }
    AffineTransform transform() const;
    QString toString() const;

    bool operator==(const Vector& other) const = default;

private:
    std::vector<double> m_values;
};

} // namespace pf

Q_DECLARE_METATYPE(pf::Vector)
