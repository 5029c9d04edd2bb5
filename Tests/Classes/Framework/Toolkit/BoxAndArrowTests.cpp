#include "Classes/Framework/Toolkit/OVArrowView.h"
#include "Classes/Framework/Toolkit/OVBoxView.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/UI/NamedImage.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using pf::Point;
using pf::Rect;

namespace {

bool inside(const QPainterPath& path, double x, double y)
{
    return path.contains(QPointF(x, y));
}

TEST(OVBoxView, TheTabSitsOnTopOrAlongTheLeftAsTheBoxTypeSays)
{
    OVBoxView untitled;
    untitled.setFrame(Rect(0, 0, 300, 200));
    untitled.setBoxType(1);
    EXPECT_EQ(untitled.titleSize(), pf::Size(30, 0));
    // No tab: the top edge runs straight across, and its rounded corners are the body's.
    EXPECT_TRUE(inside(untitled.outline(false), 150, 199.5));
    EXPECT_TRUE(inside(untitled.outline(false), 280, 199.5));
    EXPECT_FALSE(inside(untitled.outline(false), 299.5, 199.5));
    EXPECT_TRUE(inside(untitled.outline(true), 280, 198.5));
    EXPECT_FALSE(inside(untitled.outline(true), 280, 199.5));

    OVBoxView top(QStringLiteral("SAMPLE IMAGES"));
    top.setFrame(Rect(0, 0, 300, 200));
    top.setBoxType(1);
    const pf::Size tab = top.titleSize();
    EXPECT_EQ(tab.height, 20);
    EXPECT_GT(tab.width, 60);
    EXPECT_TRUE(inside(top.outline(false), tab.width - 15, 199.5)); // the tab
    EXPECT_FALSE(inside(top.outline(false), tab.width + 15, 190));  // beside it, above the body
    EXPECT_TRUE(inside(top.outline(false), tab.width + 15, 170));   // the body below

    OVBoxView side(QStringLiteral("SAMPLE IMAGES"));
    side.setFrame(Rect(0, 0, 300, 200));
    side.setBoxType(0);
    const QPainterPath outer = side.outline(false);
    // The body's rounded top-left corner stands at x = the title's height; the tab rises from the
    // bottom to the title's width plus 30.
    EXPECT_TRUE(inside(outer, 30, 199.5));
    EXPECT_FALSE(inside(outer, 20.5, 199.5));
    EXPECT_FALSE(inside(outer, 10, tab.width + 5));
    EXPECT_TRUE(inside(outer, 10, tab.width - 15));
    EXPECT_TRUE(inside(outer, 0.5, 100));

    // The title and the box type wait for the caller's redraw; the look redraws at once.
    EXPECT_FALSE(side.needsDisplay());
    side.setTitle(QStringLiteral("OTHER"));
    side.setBoxType(2);
    EXPECT_FALSE(side.needsDisplay());
    side.setLightLook(true);
    EXPECT_TRUE(side.needsDisplay());
}

// The jump across the wrapped edge is no larger than between neighbours inside the tile.
TEST(OVBoxView, BackgroundTilesRepeatWithoutASeam)
{
    double means[2] = {0, 0};
    int look = 0;
    for (const char* name : {"OVBoxDarkBackground", "OVBoxLightBackground"}) {
        for (double scale : {1.0, 2.0}) {
            SCOPED_TRACE(testing::Message() << name << " at " << scale);
            const QString path = pf::NamedImage::path(QString::fromLatin1(name), scale, pf::Bundle::main());
            ASSERT_FALSE(path.isEmpty());
            const QImage tile = QImage(path).convertToFormat(QImage::Format_Grayscale8);
            ASSERT_EQ(tile.width(), 64 * scale);
            ASSERT_EQ(tile.height(), 64 * scale);
            const int n = tile.width();
            auto at = [&](int x, int y) { return double(tile.constScanLine(y)[x]); };
            auto columnJump = [&](int a, int b) {
                double sum = 0;
                for (int y = 0; y < n; ++y)
                    sum += std::abs(at(a, y) - at(b, y));
                return sum / n;
            };
            auto rowJump = [&](int a, int b) {
                double sum = 0;
                for (int x = 0; x < n; ++x)
                    sum += std::abs(at(x, a) - at(x, b));
                return sum / n;
            };
            double columns = 0, rows = 0, sum = 0;
            for (int i = 0; i + 1 < n; ++i) {
                columns = std::max(columns, columnJump(i, i + 1));
                rows = std::max(rows, rowJump(i, i + 1));
            }
            EXPECT_LE(columnJump(n - 1, 0), columns);
            EXPECT_LE(rowJump(n - 1, 0), rows);
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x)
                    sum += at(x, y);
            means[look] = sum / (n * n);
        }
        ++look;
    }
    EXPECT_LT(means[0] + 40, means[1]); // the dark look is darker
}

TEST(OVArrowView, LinesRunFromTheHeadsAndTurnWhereTheDirectionsSay)
{
    OVArrowView arrow(Rect(0, 0, 300, 150));
    arrow.setHeadSize(pf::Size(10, 20));
    arrow.setFromPoint(Point(0, 0));
    arrow.setFromDirection(4);
    arrow.setToPoint(Point(100, 50));
    arrow.setToDirection(3);
    // Vertically first, then across to the head's base.
    const QPainterPath line = arrow.linePath();
    ASSERT_EQ(line.elementCount(), 3); // the corner, reached twice, is one point
    const QPointF corners[] = {{0, 0}, {0, 50}, {80, 50}};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(QPointF(line.elementAt(i)), corners[i]) << i;
    EXPECT_TRUE(arrow.headPath(Point(0, 0), 4).isEmpty());

    // Parallel ends turn at the centre line (by default the middle of the bounds).
    arrow.setFromPoint(Point(10, 10));
    arrow.setFromDirection(1);
    arrow.setToPoint(Point(200, 100));
    arrow.setToDirection(1);
    arrow.setCurved(true);
    const QPainterPath curve = arrow.linePath();
    ASSERT_EQ(curve.elementCount(), 4);
    EXPECT_EQ(QPointF(curve.elementAt(0)), QPointF(30, 10));
    EXPECT_EQ(QPointF(curve.elementAt(1)), QPointF(150, 10));
    EXPECT_EQ(QPointF(curve.elementAt(2)), QPointF(150, 100));
    EXPECT_EQ(QPointF(curve.elementAt(3)), QPointF(220, 100));

    // Direction 5: no head, no gap.
    arrow.setToDirection(5);
    EXPECT_EQ(QPointF(arrow.linePath().elementAt(3)), QPointF(200, 100));
}

TEST(OVArrowView, HeadsFillTheGapBetweenThePointAndTheLine)
{
    OVArrowView arrow;
    arrow.setHeadSize(pf::Size(10, 20));
    const Point p(100, 50);
    struct Case
    {
        unsigned direction;
        QRectF box;  // the head's extent
        QPointF tip; // its sharp end
    };
    // Horizontal heads point at the point, vertical ones away from it.
    const Case cases[] = {
        {0, QRectF(95, 50, 10, 20), QPointF(100, 70)},
        {1, QRectF(100, 45, 20, 10), QPointF(100, 50)},
        {2, QRectF(95, 30, 10, 20), QPointF(100, 30)},
        {3, QRectF(80, 45, 20, 10), QPointF(100, 50)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.direction);
        const QPainterPath head = arrow.headPath(p, c.direction);
        const QRectF box = head.boundingRect();
        EXPECT_NEAR(box.left(), c.box.left(), 1e-9);
        EXPECT_NEAR(box.top(), c.box.top(), 1e-9);
        EXPECT_NEAR(box.width(), c.box.width(), 1e-9);
        EXPECT_NEAR(box.height(), c.box.height(), 1e-9);
        EXPECT_NEAR(head.elementAt(0).x, c.tip.x(), 1e-9);
        EXPECT_NEAR(head.elementAt(0).y, c.tip.y(), 1e-9);
    }
    // Only the from point asks for a redraw.
    OVArrowView fresh;
    fresh.setToPoint(Point(5, 5));
    fresh.setWidth(3);
    EXPECT_FALSE(fresh.needsDisplay());
    fresh.setFromPoint(Point(1, 1));
    EXPECT_TRUE(fresh.needsDisplay());
}

} // namespace
