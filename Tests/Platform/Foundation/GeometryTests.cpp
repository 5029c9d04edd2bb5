#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"

#include <QVariant>
#include <QtGui/QTransform>
#include <cfloat>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

using pf::AffineTransform;
using pf::Point;
using pf::Rect;
using pf::Size;

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kQuarterTurn = std::numbers::pi / 2;

void expectNear(const AffineTransform& actual, const AffineTransform& expected)
{
    constexpr double tolerance = 1e-12;
    EXPECT_NEAR(actual.a, expected.a, tolerance);
    EXPECT_NEAR(actual.b, expected.b, tolerance);
    EXPECT_NEAR(actual.c, expected.c, tolerance);
    EXPECT_NEAR(actual.d, expected.d, tolerance);
    EXPECT_NEAR(actual.tx, expected.tx, tolerance);
    EXPECT_NEAR(actual.ty, expected.ty, tolerance);
}
} // namespace

TEST(Rect, SpecialValuesHaveTheirExactNumbers)
{
    const Rect null = Rect::null();
    EXPECT_EQ(null.origin.x, kInf);
    EXPECT_EQ(null.origin.y, kInf);
    EXPECT_EQ(null.size, Size(0, 0));
    EXPECT_TRUE(null.isNull());
    EXPECT_TRUE(null.isEmpty());
    EXPECT_FALSE(null.isInfinite());

    const Rect infinite = Rect::infinite();
    EXPECT_EQ(infinite.origin, Point(-DBL_MAX / 2, -DBL_MAX / 2));
    EXPECT_EQ(infinite.size, Size(DBL_MAX, DBL_MAX));
    EXPECT_TRUE(infinite.isInfinite());
    EXPECT_FALSE(infinite.isNull());
    EXPECT_FALSE(infinite.isEmpty());
    EXPECT_EQ(infinite.midX(), 0);
    EXPECT_EQ(infinite.maxY(), DBL_MAX / 2);

    EXPECT_TRUE(Rect().isEmpty());
    EXPECT_FALSE(Rect().isNull());
    EXPECT_TRUE(Rect(1, 2, 3, 0).isEmpty());
    EXPECT_FALSE(Rect(1, 2, -3, -1).isEmpty());
    EXPECT_EQ(Rect::null(), Rect(kInf, 5, 10, 10)); // every null rect is the same rect
    EXPECT_NE(Rect::null(), Rect());
}

TEST(Rect, NegativeSizesAreStandardizedEverywhere)
{
    const Rect r(10, 20, -4, -6);
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.midX(), 8);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.minY(), 14);
    EXPECT_EQ(r.midY(), 17);
    EXPECT_EQ(r.maxY(), 20);
    EXPECT_EQ(r.width(), 4);
    EXPECT_EQ(r.height(), 6);

    const Rect s = r.standardized();
    EXPECT_EQ(s.origin, Point(6, 14));
    EXPECT_EQ(s.size, Size(4, 6));
    EXPECT_EQ(r, Rect(6, 14, 4, 6));
    EXPECT_TRUE(Rect::null().standardized().isNull());

    EXPECT_TRUE(r.contains(Point(6, 14)));
    EXPECT_FALSE(r.contains(Point(10, 15)));
    EXPECT_EQ(r.insetBy(1, 1), Rect(7, 15, 2, 4));
    EXPECT_EQ(r.intersected(Rect(0, 0, 8, 16)), Rect(6, 14, 2, 2));
    EXPECT_EQ(r.united(Rect(0, 0, 1, 1)), Rect(0, 0, 10, 20));
}

TEST(Rect, IntersectionAndUnion)
{
    const Rect a(0, 0, 10, 10);
    EXPECT_EQ(a.intersected(Rect(5, -5, 10, 10)), Rect(5, 0, 5, 5));
    EXPECT_TRUE(a.intersects(Rect(5, -5, 10, 10)));

    // Apart: null. Touching edges: a zero-width rectangle, which does not count as intersecting.
    EXPECT_TRUE(a.intersected(Rect(20, 0, 5, 5)).isNull());
    EXPECT_FALSE(a.intersects(Rect(20, 0, 5, 5)));
    const Rect touching = a.intersected(Rect(10, 2, 5, 5));
    EXPECT_FALSE(touching.isNull());
    EXPECT_EQ(touching, Rect(10, 2, 0, 5));
    EXPECT_FALSE(a.intersects(Rect(10, 2, 5, 5)));

    EXPECT_TRUE(a.intersected(Rect::null()).isNull());
    EXPECT_TRUE(Rect::null().intersected(a).isNull());
    EXPECT_EQ(a.intersected(Rect::infinite()), a);
    EXPECT_EQ(Rect::infinite().intersected(Rect(3, 4, -2, -2)), Rect(1, 2, 2, 2));
    EXPECT_TRUE(Rect::infinite().intersected(Rect::infinite()).isInfinite());
    EXPECT_FALSE(Rect::infinite().intersects(Rect::null()));

    EXPECT_EQ(a.united(Rect(20, -5, 1, 1)), Rect(0, -5, 21, 15));
    EXPECT_EQ(a.united(Rect::null()), a);
    EXPECT_EQ(Rect::null().united(a), a);
    EXPECT_TRUE(Rect::null().united(Rect::null()).isNull());
    EXPECT_TRUE(a.united(Rect::infinite()).isInfinite());
    EXPECT_TRUE(Rect::infinite().united(Rect::null()).isInfinite());
    // An empty but real rectangle still extends the union.
    EXPECT_EQ(a.united(Rect(30, 30, 0, 0)), Rect(0, 0, 30, 30));
}

TEST(Rect, IntegralInsetAndOffset)
{
    EXPECT_EQ(Rect(0.5, -1.5, 2, 2.2).integral(), Rect(0, -2, 3, 3));
    EXPECT_EQ(Rect(1, 2, 3, 4).integral(), Rect(1, 2, 3, 4));
    EXPECT_EQ(Rect(2.5, 2.5, -1, -1).integral(), Rect(1, 1, 2, 2));
    EXPECT_TRUE(Rect::null().integral().isNull());
    EXPECT_TRUE(Rect::infinite().integral().isInfinite());

    EXPECT_EQ(Rect(0, 0, 10, 6).insetBy(2, 3), Rect(2, 3, 6, 0));
    EXPECT_EQ(Rect(0, 0, 10, 6).insetBy(-1, -1), Rect(-1, -1, 12, 8));
    EXPECT_TRUE(Rect(0, 0, 10, 6).insetBy(2, 3.5).isNull());
    EXPECT_TRUE(Rect(0, 0, 10, 6).insetBy(6, 0).isNull());
    EXPECT_TRUE(Rect::null().insetBy(-5, -5).isNull());
    EXPECT_TRUE(Rect::infinite().insetBy(5, 5).isInfinite());

    EXPECT_EQ(Rect(1, 2, 3, 4).offsetBy(-1, 10), Rect(0, 12, 3, 4));
    EXPECT_TRUE(Rect::null().offsetBy(-1e300, -1e300).isNull());
    EXPECT_TRUE(Rect::infinite().offsetBy(1e300, 0).isInfinite());
}

TEST(Rect, ContainmentIsHalfOpenForPoints)
{
    const Rect r(0, 0, 4, 2);
    EXPECT_TRUE(r.contains(Point(0, 0)));
    EXPECT_TRUE(r.contains(Point(3.999, 1.999)));
    EXPECT_FALSE(r.contains(Point(4, 1)));
    EXPECT_FALSE(r.contains(Point(1, 2)));
    EXPECT_FALSE(r.contains(Point(-0.001, 1)));
    EXPECT_FALSE(Rect(1, 1, 0, 0).contains(Point(1, 1)));
    EXPECT_FALSE(Rect::null().contains(Point(0, 0)));
    EXPECT_TRUE(Rect::infinite().contains(Point(DBL_MAX, -DBL_MAX)));
    EXPECT_FALSE(Rect::infinite().contains(Point(std::nan(""), 0)));

    EXPECT_TRUE(r.contains(r));
    EXPECT_TRUE(r.contains(Rect(4, 2, -4, -2)));
    EXPECT_TRUE(r.contains(Rect(1, 1, 1, 1)));
    EXPECT_FALSE(r.contains(Rect(1, 1, 3.5, 1)));
    EXPECT_FALSE(r.contains(Rect::null()));
    EXPECT_FALSE(Rect::null().contains(Rect::null()));
    EXPECT_FALSE(r.contains(Rect::infinite()));
    EXPECT_TRUE(Rect::infinite().contains(r));
    EXPECT_TRUE(Rect::infinite().contains(Rect::infinite()));
}

TEST(AffineTransform, QuarterTurnIsCounterClockwiseAndExact)
{
    const AffineTransform turn = AffineTransform::rotation(kQuarterTurn);
    EXPECT_EQ(turn, (AffineTransform{0, 1, -1, 0, 0, 0}));
    // Asymmetric points: a transposed matrix would give (1, -2), a flipped one (-2, 1).
    EXPECT_EQ(turn.map(Point(2, 1)), Point(-1, 2));
    EXPECT_EQ(turn.map(Point(1, 0)), Point(0, 1));
    EXPECT_EQ(turn.map(Size(4, 3)), Size(-3, 4));
    EXPECT_EQ(turn.map(Rect(0, 0, 4, 3)), Rect(-3, 0, 3, 4));
    EXPECT_EQ(AffineTransform::rotation(std::numbers::pi).map(Point(2, 1)), Point(-2, -1));

    const AffineTransform small = AffineTransform::rotation(0.5);
    EXPECT_DOUBLE_EQ(small.a, std::cos(0.5));
    EXPECT_DOUBLE_EQ(small.b, std::sin(0.5));
    EXPECT_DOUBLE_EQ(small.c, -std::sin(0.5));
}

TEST(AffineTransform, ConcatenationOrder)
{
    const AffineTransform move = AffineTransform::translation(10, 0);
    const AffineTransform turn = AffineTransform::rotation(kQuarterTurn);
    // Move first, then turn: (1, 0) -> (11, 0) -> (0, 11).
    EXPECT_EQ(move.concatenated(turn).map(Point(1, 0)), Point(0, 11));
    // Turn first, then move: (1, 0) -> (0, 1) -> (10, 1).
    EXPECT_EQ(turn.concatenated(move).map(Point(1, 0)), Point(10, 1));

    // translated/scaled/rotated apply the new step before the receiver.
    EXPECT_EQ(turn.translated(10, 0).map(Point(1, 0)), Point(0, 11));
    EXPECT_EQ(AffineTransform::translation(5, 7).scaled(2, 3).map(Point(1, 1)), Point(7, 10));
    EXPECT_EQ(AffineTransform::scale(2, 3).rotated(kQuarterTurn).map(Point(1, 0)), Point(0, 3));
    EXPECT_EQ(AffineTransform::scale(2, 3).translated(1, 1), (AffineTransform{2, 0, 0, 3, 2, 3}));

    const AffineTransform shear{1, 0.5, 2, 1, 3, -4};
    EXPECT_EQ(shear.map(Point(1, 2)), Point(8, -1.5));
    EXPECT_EQ(shear.concatenated(move).map(Point(1, 2)), Point(18, -1.5));
}

TEST(AffineTransform, InversionRoundTripsAndSingularStaysPut)
{
    const AffineTransform t =
        AffineTransform::translation(3, -2).scaled(2, 0.5).rotated(0.7).concatenated({1, 0.25, 0, 1, 0, 0});
    ASSERT_TRUE(t.isInvertible());
    const AffineTransform inverse = t.inverted();
    expectNear(t.concatenated(inverse), AffineTransform::identity());
    expectNear(inverse.concatenated(t), AffineTransform::identity());
    const Point p = inverse.map(t.map(Point(12.5, -7)));
    EXPECT_NEAR(p.x, 12.5, 1e-12);
    EXPECT_NEAR(p.y, -7, 1e-12);
    EXPECT_EQ(AffineTransform::translation(3, 4).inverted(), AffineTransform::translation(-3, -4));

    const AffineTransform flat{1, 2, 2, 4, 5, 6};
    EXPECT_FALSE(flat.isInvertible());
    EXPECT_EQ(flat.inverted(), flat);
    EXPECT_TRUE(AffineTransform::identity().isIdentity());
    EXPECT_FALSE(AffineTransform::translation(0, 1e-9).isIdentity());
}

TEST(AffineTransform, MapsRectanglesToBoundingBoxes)
{
    const AffineTransform t = AffineTransform::rotation(kQuarterTurn).translated(-1, -1);
    // Corners (0,0)-(2,4) move to (-1,-1)-(1,3), then turn to x in [-3, 1], y in [-1, 1].
    EXPECT_EQ(t.map(Rect(0, 0, 2, 4)), Rect(-3, -1, 4, 2));
    EXPECT_EQ(AffineTransform::scale(-2, 1).map(Rect(1, 1, 1, 1)), Rect(-4, 1, 2, 1));
    const Rect diamond = AffineTransform::rotation(std::numbers::pi / 4).map(Rect(0, 0, 1, 1));
    EXPECT_NEAR(diamond.minX(), -std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(diamond.width(), std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(diamond.height(), std::sqrt(2.0), 1e-12);

    EXPECT_TRUE(t.map(Rect::null()).isNull());
    EXPECT_TRUE(t.map(Rect::infinite()).isInfinite());
}

TEST(Geometry, ConvertsToQtWithoutFlipping)
{
    EXPECT_EQ(Rect(1, 2, 3, 4).toQRectF(), QRectF(1, 2, 3, 4));
    EXPECT_EQ(Rect::fromQRectF(QRectF(-1, 2, 3, 4)), Rect(-1, 2, 3, 4));
    EXPECT_EQ(Point::fromQPointF(Point(1, -2).toQPointF()), Point(1, -2));
    EXPECT_EQ(Size::fromQSizeF(QSizeF(3, 4)), Size(3, 4));

    const AffineTransform t{1, 2, 3, 4, 5, 6};
    const QTransform q = t.toQTransform();
    // Qt maps x' = m11*x + m21*y + dx, y' = m12*x + m22*y + dy (spelled out: this library links no Qt Gui).
    EXPECT_EQ(q.m11() * 2 + q.m21() * 1 + q.dx(), t.map(Point(2, 1)).x);
    EXPECT_EQ(q.m12() * 2 + q.m22() * 1 + q.dy(), t.map(Point(2, 1)).y);
    EXPECT_EQ(q.m13(), 0);
    EXPECT_EQ(q.m33(), 1);
    EXPECT_EQ(AffineTransform::fromQTransform(q), t);
    EXPECT_EQ(AffineTransform::fromQTransform(QTransform(2, 4, 0, 6, 8, 0, 10, 12, 2)),
              (AffineTransform{1, 2, 3, 4, 5, 6}));

    pf::LogCapture capture;
    EXPECT_EQ(AffineTransform::fromQTransform(QTransform(1, 0, 0.001, 0, 1, 0, 0, 0, 1)),
              AffineTransform::identity());
    EXPECT_TRUE(capture.contains(QStringLiteral("perspective")));
}

TEST(Geometry, TravelsInQVariant)
{
    const QVariant rect = QVariant::fromValue(Rect(1, 2, 3, 4));
    EXPECT_EQ(rect.value<Rect>(), Rect(1, 2, 3, 4));
    EXPECT_EQ(rect, QVariant::fromValue(Rect(4, 6, -3, -4)));
    EXPECT_NE(rect, QVariant::fromValue(Rect(1, 2, 3, 5)));
    EXPECT_EQ(QVariant::fromValue(Point(1, 2)).value<Point>(), Point(1, 2));
    EXPECT_EQ(QVariant::fromValue(Size(1, 2)).value<Size>(), Size(1, 2));
    EXPECT_EQ(QVariant::fromValue(AffineTransform::scale(2, 2)).value<AffineTransform>(),
              AffineTransform::scale(2, 2));
}
