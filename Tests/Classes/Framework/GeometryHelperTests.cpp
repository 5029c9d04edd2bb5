#include "Classes/Framework/OVGeometry.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using pf::Point;
using pf::Rect;
using pf::Size;

TEST(GeometryHelpers, RectangleDistanceIsZeroInsideAndOnEveryEdge)
{
    const Rect r(0, 0, 10, 10);
    EXPECT_DOUBLE_EQ(OVRectDistanceToPoint(r, Point(13, 14)), 4);
    EXPECT_DOUBLE_EQ(OVRectDistanceToPoint(r, Point(5, 5)), 0);
    EXPECT_DOUBLE_EQ(OVRectDistanceToPoint(r, Point(10, 5)), 0);
    EXPECT_DOUBLE_EQ(OVRectDistanceToPoint(r, Point(5, 10)), 0);
    EXPECT_DOUBLE_EQ(OVRectDistanceToPoint(r, Point(-3, 5)), 3);
    EXPECT_DOUBLE_EQ(OVRectDistanceToPoint(r, Point(-1, -7)), 7);
}

TEST(GeometryHelpers, SquaresAndFittedRectanglesAreCentred)
{
    EXPECT_EQ(OVRectCenteredSquare(Rect(0, 0, 10, 4)), Rect(3, 0, 4, 4));
    EXPECT_EQ(OVRectCenteredSquare(Rect(1, 2, 4, 10)), Rect(1, 5, 4, 4));
    EXPECT_EQ(OVRectFitSize(Rect(0, 0, 100, 100), Size(200, 100)), Rect(0, 25, 100, 50));
    EXPECT_EQ(OVRectFitSize(Rect(10, 0, 100, 50), Size(1, 1)), Rect(35, 0, 50, 50));
    // A size without area has no aspect ratio: nothing is fitted, and nothing is NaN.
    const Rect none = OVRectFitSize(Rect(0, 0, 0, 0), Size(0, 0));
    EXPECT_EQ(none.origin, Point(0, 0));
    EXPECT_EQ(none.size, Size(0, 0));
    EXPECT_EQ(OVRectFitSize(Rect(0, 0, 10, 20), Size(0, 5)).origin, Point(5, 10));
}

TEST(GeometryHelpers, OutsetLerpAndDifference)
{
    EXPECT_EQ(OVRectOutset(Rect(1, 2, 3, 4), 1).origin, Point(0, 1));
    EXPECT_EQ(OVRectOutset(Rect(1, 2, 3, 4), 1).size, Size(5, 6));
    EXPECT_EQ(OVRectOutset(Rect(1, 2, 3, 4), -1).size, Size(1, 2));
    EXPECT_EQ(OVPointLerp(Point(0, 10), Point(10, 20), 0.25), Point(2.5, 12.5));
    EXPECT_DOUBLE_EQ(OVRectMaxDifference(Rect(0, 0, 10, 10), Rect(1, -3, 10, 12)), 3);
}

TEST(GeometryHelpers, TransformsUseRowVectors)
{
    OVTransform3D m;
    m.m11 = 1, m.m12 = 2, m.m13 = 3;
    m.m21 = 4, m.m22 = 5, m.m23 = 6;
    m.m31 = 7, m.m32 = 8, m.m33 = 9;
    m.m41 = 100, m.m42 = 200, m.m43 = 300;
    EXPECT_EQ(OVTransform3DApplyToVector(m, 1, 10), (OVVector3{41, 52, 63}));
    EXPECT_EQ(OVTransform3DProjectVector(OVVector3Make(1, 10, 100), m, 0.5),
              Point(741, (2 + 50 + 800) * 0.5));
    EXPECT_EQ(OVSpacePointFromLayerPoint(OVTransform3D(), OVVector3Make(0.5, 0.5, 0), Point(0.25, 0.5), 2),
              (OVVector3{0.5, 0.5, 0}));
}

TEST(GeometryHelpers, ProjectionAndUnprojectionAreInverse)
{
    for (double e : {2.0, 5.0})
        for (double a : {1.0, 0.75})
            EXPECT_EQ(OVProjectPoint3D(OVVector3Make(0, 0, 0), e, a), Point(0.5, 0.5));

    // A line through space: the parameter found for the projection of its point at t is t (halved,
    // and scaled by the aspect for y).
    const OVVector3 p{0.2, -0.1, 0.3}, d{0.5, 0.4, -0.2};
    const double e = 4, a = 0.8, t = 0.6;
    const OVVector3 q{p.x + t * d.x, p.y + t * d.y, p.z + t * d.z};
    const std::optional<Point> view = OVProjectPoint3D(q, e, a);
    ASSERT_TRUE(view);
    const std::optional<Point> found = OVUnprojectToLine(p, d, *view, e, a);
    ASSERT_TRUE(found);
    EXPECT_NEAR(found->x, t * 0.5, 1e-12);
    EXPECT_NEAR(found->y, t * 0.5 * a, 1e-12);
}

TEST(GeometryHelpers, DegenerateProjectionsGiveNothing)
{
    // A point in the eye's plane has no image.
    EXPECT_FALSE(OVProjectPoint3D(OVVector3Make(1, 1, 3), 3, 1));
    // A line parallel to the view in x, and an eye at distance 0.
    EXPECT_FALSE(OVUnprojectToLine(OVVector3Make(0, 0, 0), OVVector3Make(0, 1, 0), Point(0.5, 0.7), 3, 1));
    EXPECT_FALSE(OVUnprojectToLine(OVVector3Make(0, 0, 0), OVVector3Make(1, 1, 0), Point(0.7, 0.7), 0, 1));
}

namespace {

// A result of one or two numbers; a non-finite expectation asks for a component that is not finite.
struct VectorCase
{
    const char* what;
    std::function<Point()> result;
    Point expected;
};

Point number(double x)
{
    return Point(x, 0);
}

bool matches(double got, double expected)
{
    if (!std::isfinite(expected))
        return !std::isfinite(got);
    return std::abs(got - expected) < 1e-7;
}

} // namespace

TEST(VectorFunctions, DegenerateAndWrappingInputsGiveTheirDefinedResults)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const VectorCase cases[] = {
        {"angle of +x", [] { return number(OVVectorAngleDegrees(Point(1, 0))); }, number(0)},
        {"angle of +y", [] { return number(OVVectorAngleDegrees(Point(0, 1))); }, number(90)},
        {"angle of -x", [] { return number(OVVectorAngleDegrees(Point(-1, 0))); }, number(180)},
        {"angle of -y", [] { return number(OVVectorAngleDegrees(Point(0, -1))); }, number(270)},
        {"angle just below +x", [] { return number(OVVectorAngleDegrees(Point(1, -0.000001))); },
         number(360 - 0.000001 / 3.141592653589793 * 180)},
        {"angle of the zero vector", [] { return number(OVVectorAngleDegrees(Point(0, 0))); }, number(180)},
        {"angle of a NaN vector", [] { return number(OVVectorAngleDegrees(Point(nan, 1))); }, number(180)},
        {"signed 180", [] { return number(OVAngleNormalizeSigned(180)); }, number(180)},
        {"signed 181", [] { return number(OVAngleNormalizeSigned(181)); }, number(-179)},
        {"signed -180", [] { return number(OVAngleNormalizeSigned(-180)); }, number(180)},
        {"signed 540", [] { return number(OVAngleNormalizeSigned(540)); }, number(180)},
        {"signed -90", [] { return number(OVAngleNormalizeSigned(-90)); }, number(-90)},
        {"signed 190", [] { return number(OVAngleNormalizeSigned(190)); }, number(-170)},
        {"wrap -90", [] { return number(OVAngleNormalize(-90)); }, number(270)},
        {"wrap 720", [] { return number(OVAngleNormalize(720)); }, number(0)},
        {"wrap 360", [] { return number(OVAngleNormalize(360)); }, number(0)},
        {"wrap NaN", [] { return number(OVAngleNormalize(nan)); }, number(nan)},
        {"arc through 180", [] { return number(OVAngleIsBetween(170, 160, -160)); }, number(1)},
        {"outside the arc through 180", [] { return number(OVAngleIsBetween(0, 160, -160)); }, number(0)},
        {"the arc's end", [] { return number(OVAngleIsBetween(-160, 160, -160)); }, number(1)},
        {"plain arc", [] { return number(OVAngleIsBetween(10, -20, 30)); }, number(1)},
        {"arc given unwrapped", [] { return number(OVAngleIsBetween(370, 340, 380)); }, number(1)},
        {"NaN on no arc", [] { return number(OVAngleIsBetween(nan, -20, 30)); }, number(0)},
        {"turn from +x to -y", [] { return number(OVVectorAngleBetween(Point(1, 0), Point(0, -1))); },
         number(270)},
        {"turn from -y to +x", [] { return number(OVVectorAngleBetween(Point(0, -1), Point(1, 0))); },
         number(90)},
        {"solve on the unit axes", [] { return OVVectorSolve(Point(1, 0), Point(0, 1), Point(3, -4)); },
         Point(3, -4)},
        {"solve on skewed axes", [] { return OVVectorSolve(Point(2, 0), Point(1, 1), Point(5, 3)); },
         Point(1, 3)},
        {"solve on parallel axes", [] { return OVVectorSolve(Point(1, 2), Point(2, 4), Point(1, 1)); },
         Point(inf, inf)},
        {"grid halves away from zero", [] { return OVPointRoundToGrid(Point(2.5, -2.5), 1); }, Point(3, -3)},
        {"grid of halves", [] { return OVPointRoundToGrid(Point(0.74, -0.76), 0.5); }, Point(0.5, -1)},
        {"step halves away from zero", [] { return number(OVRoundToStep(-7.5, 5)); }, number(-10)},
        {"zero grid", [] { return OVPointRoundToGrid(Point(1, 0), 0); }, Point(nan, nan)},
        {"project on x = 1", [] { return OVPointProjectOnLine(Point(3, 4), 0, 1); }, Point(1, 4)},
        {"project on y = 2", [] { return OVPointProjectOnLine(Point(3, 4), 90, 2); }, Point(3, 2)},
        {"perpendicular", [] { return OVVectorPerpendicular(Point(2, 0)); }, Point(0, 1)},
        {"normalised zero", [] { return OVVectorNormalize(Point(0, 0)); }, Point(nan, nan)},
        {"rotated a quarter", [] { return OVVectorRotate(Point(1, 2), 90); }, Point(-2, 1)},
        {"offset by angle", [] { return OVPointOffsetByAngle(Point(1, 1), 180, 2); }, Point(-1, 1)},
        {"scale, factor first", [] { return OVPointScale(0.5, Point(3, -4)); }, Point(1.5, -2)},
        {"midpoint", [] { return OVPointMidpoint(Point(1, 2), Point(2, 5)); }, Point(1.5, 3.5)},
        {"distance", [] { return number(OVPointDistance(Point(1, 1), Point(4, 5))); }, number(5)},
        {"manhattan", [] { return number(OVPointManhattanDistance(Point(1, 1), Point(-2, 5))); }, number(7)},
    };
    for (const VectorCase& c : cases) {
        const Point got = c.result();
        EXPECT_TRUE(matches(got.x, c.expected.x) && matches(got.y, c.expected.y))
            << c.what << ": got (" << got.x << ", " << got.y << ")";
    }
}
