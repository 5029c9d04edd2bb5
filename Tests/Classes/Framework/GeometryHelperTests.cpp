#include "Classes/Framework/OVGeometry.h"

#include <gtest/gtest.h>

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
