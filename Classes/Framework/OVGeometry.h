#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"

#include <optional>

// Plain functions on points, rectangles, three-component vectors and 4 x 4 transforms. Rectangles are
// y-up (origin at the bottom left). They take and return values and keep no state.

struct OVVector3
{
    double x = 0, y = 0, z = 0;
    bool operator==(const OVVector3&) const = default;
};

// A 4 x 4 transform applied to row vectors: (x, y, z, 1) maps to x * row 1 + y * row 2 + z * row 3 + row 4.
// Default-constructed it is the identity.
struct OVTransform3D
{
    double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    double m41 = 0, m42 = 0, m43 = 0, m44 = 1;
};

OVVector3 OVVector3Make(double x, double y, double z);

// Grown by d on every side; a negative d shrinks it.
pf::Rect OVRectOutset(const pf::Rect& rect, double d);
// The largest square centred in the rectangle.
pf::Rect OVRectCenteredSquare(const pf::Rect& rect);
// The largest rectangle of the size's aspect ratio centred in the rectangle; for a size without area,
// the zero-size rectangle at the centre.
pf::Rect OVRectFitSize(const pf::Rect& rect, const pf::Size& size);
// 0 inside or on the edge; otherwise the larger of the horizontal and the vertical distance.
double OVRectDistanceToPoint(const pf::Rect& rect, const pf::Point& point);
// The largest absolute difference between corresponding components (x, y, width, height).
double OVRectMaxDifference(const pf::Rect& a, const pf::Rect& b);
pf::Point OVPointLerp(const pf::Point& a, const pf::Point& b, double t);

// (x, y, 0) mapped by the upper 3 x 3 part of the transform (no translation).
OVVector3 OVTransform3DApplyToVector(const OVTransform3D& transform, double x, double y);
// The vector mapped by the rotation part, keeping x and y, with y scaled by k.
pf::Point OVTransform3DProjectVector(const OVVector3& vector, const OVTransform3D& transform, double k);

// The view works in a space whose horizontal extent is -1..1 and vertical extent -1/aspect..1/aspect,
// with the eye on the z axis at `eyeDistance`; the view point (0.5, 0.5) is the centre.

// Perspective projection of a point into the unit view. Nothing for a point in the eye's plane
// (z == eyeDistance), which has no image.
std::optional<pf::Point> OVProjectPoint3D(const OVVector3& point, double eyeDistance, double aspect);
OVVector3 OVSpacePointFromLayerPoint(const OVTransform3D& transform, const OVVector3& origin,
                                     const pf::Point& point, double aspect);
// The parameters t along the line P + t * D at which the line projects (OVProjectPoint3D) onto the view
// point, found from x and from y, returned as (tx / 2, ty / 2 * aspect). Nothing when either cannot be
// found (the line's projection runs parallel to that axis of the view).
std::optional<pf::Point> OVUnprojectToLine(const OVVector3& p, const OVVector3& d, const pf::Point& viewPoint,
                                           double eyeDistance, double aspect);

// Two-dimensional points and vectors, and angles in degrees counted counterclockwise from +x (y up).
// None checks its input: a zero length, grid step or determinant gives IEEE infinities or
// not-a-number, except in OVVectorAngleDegrees (see there). Rounding is half away from zero.

pf::Point OVPointAdd(pf::Point a, pf::Point b);
pf::Point OVPointSubtract(pf::Point a, pf::Point b);
pf::Point OVPointMidpoint(pf::Point a, pf::Point b);
// The factor comes first.
pf::Point OVPointScale(double s, pf::Point p);
// Component by component.
pf::Point OVPointMultiply(pf::Point a, pf::Point b);
pf::Point OVPointRoundToGrid(pf::Point p, double grid);
double OVRoundToStep(double x, double step);
double OVSquare(double x);
double OVVectorLength(pf::Point v);
pf::Point OVVectorNormalize(pf::Point v);
// The unit vector turned 90 degrees counterclockwise.
pf::Point OVVectorPerpendicular(pf::Point v);
double OVVectorDot(pf::Point a, pf::Point b);
double OVPointDistance(pf::Point a, pf::Point b);
double OVPointManhattanDistance(pf::Point a, pf::Point b);
pf::Point OVVectorFromAngle(double degrees);
pf::Point OVPointOffsetByAngle(pf::Point p, double degrees, double distance);
// Turned counterclockwise.
pf::Point OVVectorRotate(pf::Point v, double degrees);
// The foot of the perpendicular from p on the line of the points q with q . (cos a, sin a) = d.
pf::Point OVPointProjectOnLine(pf::Point p, double degrees, double distance);
// The direction of v in [0, 360]. The cosine is limited to [-1, 1] so that a quotient that is not a
// number becomes -1: the zero vector points at 180.
double OVVectorAngleDegrees(pf::Point v);
// The counterclockwise turn from a to b, in [0, 360).
double OVVectorAngleBetween(pf::Point a, pf::Point b);
// Into [0, 360).
double OVAngleNormalize(double degrees);
// Into (-180, 180].
double OVAngleNormalizeSigned(double degrees);
// Whether t lies on the arc from s counterclockwise to e, both ends included.
bool OVAngleIsBetween(double t, double s, double e);
// (x, y) with x u + y v = w, by Cramer's rule.
pf::Point OVVectorSolve(pf::Point u, pf::Point v, pf::Point w);
