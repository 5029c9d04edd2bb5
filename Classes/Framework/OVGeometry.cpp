#include "Classes/Framework/OVGeometry.h"

#include <algorithm>
#include <cmath>

using pf::Point;
using pf::Rect;
using pf::Size;

OVVector3 OVVector3Make(double x, double y, double z)
{
    return {x, y, z};
}

Rect OVRectOutset(const Rect& rect, double d)
{
    return Rect(rect.origin.x - d, rect.origin.y - d, rect.size.width + 2 * d, rect.size.height + 2 * d);
}

Rect OVRectCenteredSquare(const Rect& rect)
{
    Rect square = rect;
    if (rect.size.width > rect.size.height) {
        square.origin.x += (rect.size.width - rect.size.height) / 2;
        square.size.width = rect.size.height;
    } else {
        square.origin.y += (rect.size.height - rect.size.width) / 2;
        square.size.height = rect.size.width;
    }
    return square;
}

Rect OVRectFitSize(const Rect& rect, const Size& size)
{
    const double width = rect.size.width;
    const double height = rect.size.height;
    if (!(size.width > 0) || !(size.height > 0))
        return Rect(rect.origin.x + width / 2, rect.origin.y + height / 2, 0, 0);
    double fittedWidth, fittedHeight;
    if (width / height > size.width / size.height) {
        fittedHeight = height;
        fittedWidth = height / size.height * size.width;
    } else {
        fittedWidth = width;
        fittedHeight = width / size.width * size.height;
    }
    return Rect(rect.origin.x + (width - fittedWidth) / 2, rect.origin.y + (height - fittedHeight) / 2,
                fittedWidth, fittedHeight);
}

double OVRectDistanceToPoint(const Rect& rect, const Point& point)
{
    const double x = rect.origin.x, y = rect.origin.y;
    const double horizontal = std::max({0.0, x - point.x, point.x - (x + rect.size.width)});
    const double vertical = std::max({0.0, y - point.y, point.y - (y + rect.size.height)});
    return std::max(horizontal, vertical);
}

double OVRectMaxDifference(const Rect& a, const Rect& b)
{
    return std::max({std::abs(a.origin.x - b.origin.x), std::abs(a.origin.y - b.origin.y),
                     std::abs(a.size.width - b.size.width), std::abs(a.size.height - b.size.height)});
}

Point OVPointLerp(const Point& a, const Point& b, double t)
{
    return Point(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t);
}

OVVector3 OVTransform3DApplyToVector(const OVTransform3D& m, double x, double y)
{
    return {m.m11 * x + m.m21 * y, m.m12 * x + m.m22 * y, m.m13 * x + m.m23 * y};
}

Point OVTransform3DProjectVector(const OVVector3& v, const OVTransform3D& m, double k)
{
    return Point(m.m11 * v.x + m.m21 * v.y + m.m31 * v.z, (m.m12 * v.x + m.m22 * v.y + m.m32 * v.z) * k);
}

std::optional<Point> OVProjectPoint3D(const OVVector3& q, double eyeDistance, double aspect)
{
    const double d = eyeDistance - q.z;
    if (d == 0)
        return std::nullopt;
    return Point(q.x * eyeDistance / d * 0.5 + 0.5, q.y * eyeDistance / d * 0.5 * aspect + 0.5);
}

OVVector3 OVSpacePointFromLayerPoint(const OVTransform3D& m, const OVVector3& o, const Point& p,
                                     double aspect)
{
    const double u = 2 * p.x;
    const double v = 2 * p.y / aspect;
    return {m.m11 * u + m.m21 * v + 2 * (o.x - 0.5) + m.m41,
            m.m12 * u + m.m22 * v + 2 * (o.y - 0.5) / aspect + m.m42,
            m.m13 * u + m.m23 * v + 2 * o.z + m.m43};
}

std::optional<Point> OVUnprojectToLine(const OVVector3& p, const OVVector3& d, const Point& viewPoint,
                                       double eyeDistance, double aspect)
{
    const double u = 2 * (viewPoint.x - 0.5);
    const double v = 2 * (viewPoint.y - 0.5) / aspect;
    const double g = eyeDistance - p.z;
    // From u = (Px + t Dx) e / (e - Pz - t Dz): t = (u g - Px e) / (u Dz + Dx e), likewise for y.
    const double denominatorX = u * d.z + d.x * eyeDistance;
    const double denominatorY = v * d.z + d.y * eyeDistance;
    if (denominatorX == 0 || denominatorY == 0)
        return std::nullopt;
    const double tx = (u * g - p.x * eyeDistance) / denominatorX;
    const double ty = (v * g - p.y * eyeDistance) / denominatorY;
    return Point(tx * 0.5, ty * 0.5 * aspect);
}

// Points, vectors and angles ----------------------------------------------------------------------------

namespace {

constexpr double kPi = 3.141592653589793;

double radians(double degrees)
{
    return degrees / 180 * kPi;
}

double degreesOf(double radians)
{
    return radians / kPi * 180;
}

} // namespace

Point OVPointAdd(Point a, Point b)
{
    return Point(a.x + b.x, a.y + b.y);
}

Point OVPointSubtract(Point a, Point b)
{
    return Point(a.x - b.x, a.y - b.y);
}

Point OVPointMidpoint(Point a, Point b)
{
    return Point((a.x + b.x) * 0.5, (a.y + b.y) * 0.5);
}

Point OVPointScale(double s, Point p)
{
    return Point(p.x * s, p.y * s);
}

Point OVPointMultiply(Point a, Point b)
{
    return Point(a.x * b.x, a.y * b.y);
}

Point OVPointRoundToGrid(Point p, double grid)
{
    return Point(std::round(p.x / grid) * grid, std::round(p.y / grid) * grid);
}

double OVRoundToStep(double x, double step)
{
    return std::round(x / step) * step;
}

double OVSquare(double x)
{
    return x * x;
}

double OVVectorLength(Point v)
{
    return std::sqrt(v.x * v.x + v.y * v.y);
}

Point OVVectorNormalize(Point v)
{
    const double length = OVVectorLength(v);
    return Point(v.x / length, v.y / length);
}

Point OVVectorPerpendicular(Point v)
{
    const double length = OVVectorLength(v);
    return Point(-v.y / length, v.x / length);
}

double OVVectorDot(Point a, Point b)
{
    return a.x * b.x + a.y * b.y;
}

double OVPointDistance(Point a, Point b)
{
    return std::sqrt(OVSquare(b.x - a.x) + OVSquare(b.y - a.y));
}

double OVPointManhattanDistance(Point a, Point b)
{
    return std::abs(b.x - a.x) + std::abs(b.y - a.y);
}

Point OVVectorFromAngle(double degrees)
{
    const double a = radians(degrees);
    return Point(std::cos(a), std::sin(a));
}

Point OVPointOffsetByAngle(Point p, double degrees, double distance)
{
    const double a = radians(degrees);
    return Point(p.x + std::cos(a) * distance, p.y + std::sin(a) * distance);
}

Point OVVectorRotate(Point v, double degrees)
{
    const double a = radians(degrees);
    const double c = std::cos(a), s = std::sin(a);
    return Point(v.x * c - v.y * s, v.y * c + v.x * s);
}

Point OVPointProjectOnLine(Point p, double degrees, double distance)
{
    const Point n = OVVectorFromAngle(degrees);
    const double t = distance - (n.x * p.x + n.y * p.y);
    return Point(p.x + n.x * t, p.y + n.y * t);
}

double OVVectorAngleDegrees(Point v)
{
    double c = v.x / OVVectorLength(v);
    // Comparisons, not std::max: a quotient that is not a number fails the first and becomes -1.
    if (!(c >= -1))
        c = -1;
    if (c > 1)
        c = 1;
    double phi = std::acos(c);
    if (v.y < 0)
        phi = 2 * kPi - phi;
    return std::clamp(degreesOf(phi), 0.0, 360.0);
}

double OVVectorAngleBetween(Point a, Point b)
{
    return OVAngleNormalize(OVVectorAngleDegrees(b) - OVVectorAngleDegrees(a));
}

double OVAngleNormalize(double degrees)
{
    return degrees - std::floor(degrees / 360) * 360;
}

double OVAngleNormalizeSigned(double degrees)
{
    const double a = OVAngleNormalize(degrees);
    return a > 180 ? a - 360 : a;
}

bool OVAngleIsBetween(double t, double s, double e)
{
    t = OVAngleNormalizeSigned(t);
    s = OVAngleNormalizeSigned(s);
    e = OVAngleNormalizeSigned(e);
    if (e >= s)
        return s <= t && t <= e;
    return t >= s || t <= e;
}

Point OVVectorSolve(Point u, Point v, Point w)
{
    const double det = u.x * v.y - u.y * v.x;
    return Point((v.y * w.x - v.x * w.y) / det, (u.x * w.y - u.y * w.x) / det);
}
