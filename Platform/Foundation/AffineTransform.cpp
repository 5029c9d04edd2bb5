#include "Platform/Foundation/AffineTransform.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/ValueDescription.h"

#include <QtGui/QTransform>
#include <algorithm>
#include <cmath>

namespace pf {

AffineTransform AffineTransform::translation(double tx, double ty)
{
    return {1, 0, 0, 1, tx, ty};
}

AffineTransform AffineTransform::scale(double sx, double sy)
{
    return {sx, 0, 0, sy, 0, 0};
}

SineCosine exactSineCosine(double radians)
{
    double sine = std::sin(radians);
    double cosine = std::cos(radians);
    constexpr double residue = 1e-15;
    if (std::abs(sine) < residue) {
        sine = 0;
        cosine = std::copysign(1.0, cosine);
    } else if (std::abs(cosine) < residue) {
        cosine = 0;
        sine = std::copysign(1.0, sine);
    }
    return {sine, cosine};
}

AffineTransform AffineTransform::rotation(double radians)
{
    const auto [sine, cosine] = exactSineCosine(radians);
    return {cosine, sine, -sine, cosine, 0, 0};
}

AffineTransform AffineTransform::translated(double tx, double ty) const
{
    return translation(tx, ty).concatenated(*this);
}

AffineTransform AffineTransform::scaled(double sx, double sy) const
{
    return scale(sx, sy).concatenated(*this);
}

AffineTransform AffineTransform::rotated(double radians) const
{
    return rotation(radians).concatenated(*this);
}

AffineTransform AffineTransform::concatenated(const AffineTransform& then) const
{
    const AffineTransform& t = then;
    return {a * t.a + b * t.c, a * t.b + b * t.d,          c * t.a + d * t.c,
            c * t.b + d * t.d, tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
}

bool AffineTransform::isInvertible() const
{
    const double det = determinant();
    return det != 0 && std::isfinite(det);
}

AffineTransform AffineTransform::inverted() const
{
    if (!isInvertible())
        return *this;
    const double det = determinant();
    return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
}

bool AffineTransform::isIdentity() const
{
    return *this == AffineTransform{};
}

Point AffineTransform::map(Point p) const
{
    return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty};
}

Size AffineTransform::map(Size s) const
{
    return {a * s.width + c * s.height, b * s.width + d * s.height};
}

Rect AffineTransform::map(const Rect& rect) const
{
    if (rect.isNull() || rect.isInfinite())
        return rect;
    const Point corners[] = {map(Point(rect.minX(), rect.minY())), map(Point(rect.maxX(), rect.minY())),
                             map(Point(rect.minX(), rect.maxY())), map(Point(rect.maxX(), rect.maxY()))};
    double x1 = corners[0].x, x2 = corners[0].x, y1 = corners[0].y, y2 = corners[0].y;
    for (const Point& corner : corners) {
        x1 = std::min(x1, corner.x);
        x2 = std::max(x2, corner.x);
        y1 = std::min(y1, corner.y);
        y2 = std::max(y2, corner.y);
    }
    return {x1, y1, x2 - x1, y2 - y1};
}

QTransform AffineTransform::toQTransform() const
{
    return QTransform(a, b, c, d, tx, ty);
}

AffineTransform AffineTransform::fromQTransform(const QTransform& t)
{
    if (t.m13() != 0 || t.m23() != 0 || t.m33() == 0) {
        warning(QStringLiteral("A perspective transform has no affine equivalent; using its affine part"));
        return {t.m11(), t.m12(), t.m21(), t.m22(), t.m31(), t.m32()};
    }
    const double w = t.m33();
    return {t.m11() / w, t.m12() / w, t.m21() / w, t.m22() / w, t.m31() / w, t.m32() / w};
}

namespace {

const auto describe = [](auto& stream, const AffineTransform& t) {
    stream << "AffineTransform(a " << t.a << ", b " << t.b << ", c " << t.c << ", d " << t.d << ", tx "
           << t.tx << ", ty " << t.ty << ')';
};

} // namespace

PF_DEFINE_VALUE_PRINTERS(AffineTransform, describe)

} // namespace pf
