#include "Platform/UI/Homography.h"

#include <algorithm>
#include <cmath>

namespace pf {

namespace {

// Smallest w a drawn point may have. Points closer to the eye's plane than this would land so far away
// that the rasteriser's fixed-point coordinates overflow; the limits rectangle keeps the rest finite.
constexpr double kNearW = 1e-5;

// A linear function a*x + b*y + c of the source plane; the clipped polygon keeps where it is >= 0.
struct HalfPlane
{
    double a, b, c;
    double at(const QPointF& p) const { return a * p.x() + b * p.y() + c; }
};

QPolygonF clipAgainst(const QPolygonF& polygon, const HalfPlane& plane)
{
    QPolygonF result;
    const int n = polygon.size();
    if (n == 0)
        return result;
    result.reserve(n + 2);
    for (int i = 0; i < n; ++i) {
        const QPointF& current = polygon[i];
        const QPointF& next = polygon[(i + 1) % n];
        const double dc = plane.at(current);
        const double dn = plane.at(next);
        if (dc >= 0)
            result.append(current);
        if ((dc >= 0) != (dn >= 0)) {
            const double t = dc / (dc - dn);
            result.append(current + (next - current) * t);
        }
    }
    return result;
}

} // namespace

bool Homography::invert(Homography* inverse) const
{
    bool invertible = false;
    const QTransform inverted = m_transform.inverted(&invertible);
    *inverse = Homography(invertible ? inverted : QTransform());
    return invertible;
}

double Homography::w(Point p) const
{
    return m_transform.m13() * p.x + m_transform.m23() * p.y + m_transform.m33();
}

bool Homography::map(Point p, Point* mapped) const
{
    const QTransform& t = m_transform;
    const double w = t.m13() * p.x + t.m23() * p.y + t.m33();
    if (!(w > 0))
        return false;
    *mapped =
        Point((t.m11() * p.x + t.m21() * p.y + t.m31()) / w, (t.m12() * p.x + t.m22() * p.y + t.m32()) / w);
    return std::isfinite(mapped->x) && std::isfinite(mapped->y);
}

QPolygonF Homography::clipped(const QPolygonF& polygon, const QRectF& limits) const
{
    const QTransform& t = m_transform;
    // X, Y and W of the target as linear functions of the source point.
    const HalfPlane X{t.m11(), t.m21(), t.m31()};
    const HalfPlane Y{t.m12(), t.m22(), t.m32()};
    const HalfPlane W{t.m13(), t.m23(), t.m33()};
    QPolygonF result = clipAgainst(polygon, {W.a, W.b, W.c - kNearW});
    if (limits.isEmpty() || result.isEmpty())
        return result;
    // x >= left  <=>  X - left * W >= 0 (W > 0 after the first clip), and so on.
    const double left = limits.left(), right = limits.right(), top = limits.top(), bottom = limits.bottom();
    result = clipAgainst(result, {X.a - left * W.a, X.b - left * W.b, X.c - left * W.c});
    result = clipAgainst(result, {right * W.a - X.a, right * W.b - X.b, right * W.c - X.c});
    result = clipAgainst(result, {Y.a - top * W.a, Y.b - top * W.b, Y.c - top * W.c});
    result = clipAgainst(result, {bottom * W.a - Y.a, bottom * W.b - Y.b, bottom * W.c - Y.c});
    return result;
}

QPolygonF Homography::mapClipped(const QPolygonF& polygon) const
{
    QPolygonF result;
    result.reserve(polygon.size());
    for (const QPointF& p : polygon)
        result.append(m_transform.map(p));
    return result;
}

Rect Homography::mapRect(const Rect& rect, const QRectF& limits) const
{
    const Rect r = rect.standardized();
    if (r.isNull())
        return Rect::null();
    if (m_transform.isAffine()) {
        const QRectF mapped = m_transform.mapRect(r.toQRectF());
        const Rect result = Rect::fromQRectF(mapped);
        return limits.isEmpty() ? result : result.intersected(Rect::fromQRectF(limits));
    }
    const QPolygonF corners = QPolygonF(QRectF(r.minX(), r.minY(), r.width(), r.height()));
    const QPolygonF visible = mapClipped(clipped(corners, limits));
    if (visible.isEmpty())
        return Rect::null();
    return Rect::fromQRectF(visible.boundingRect());
}

double Homography::scaleAt(Point p) const
{
    const QTransform& t = m_transform;
    const double w = t.m13() * p.x + t.m23() * p.y + t.m33();
    if (!(w > 0))
        return 0;
    // For x' = X/W, y' = Y/W the Jacobian determinant is det(H) / W^3.
    const double det = t.determinant();
    return std::sqrt(std::abs(det) / (w * w * w));
}

} // namespace pf
