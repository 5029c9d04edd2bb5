#include "BrushTestSupport.h"

#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVStoredBrushState.h"
#include "Platform/Foundation/Log.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace pf;
using namespace brushtest;

namespace {

OVBrush makeBrush(qint32 type, double size, double pressure = 1.0, const QString& kernel = QString())
{
    OVBrush brush;
    brush.type = type;
    brush.size = size;
    brush.smoothness = 0.2;
    brush.pressure = pressure;
    brush.kernelName = kernel;
    return brush;
}

// The green channel (the mask's value) at a pixel.
float valueAt(const Image& image, int x, int y)
{
    return render(image, Rect(x, y, 1, 1)).at(x, y)[1];
}

// A click brush that records what it is told and paints a fixed picture.
class FakeClickBrush : public OVStoredBrushState<OVMaskBrushProtocol>
{
public:
    void brushDownAtPoint(const OVBrush& b, const Point& p) override
    {
        downSize = b.size;
        downPoint = p;
    }
    void processPoint(const Point& p) override { processPoints({p}); }
    void processPoints(const std::vector<Point>& points) override { steps += int(points.size()); }
    void brushUp() override { ++brushUps; }
    Image image() const override { return picture; }
    bool hasDirtyRect() const override { return true; }
    Rect dirtyRect() const override { return Rect(1, 2, 3, 4); }

    Image picture = greyMask(10, 10, 1);
    double downSize = 0;
    Point downPoint;
    int steps = 0, brushUps = 0;
};

} // namespace

TEST(OVMaskBrush, StepRectanglesOfTheWorkedExamples)
{
    struct Case
    {
        double size;
        Point down, next; // pixels of an 800 x 600 start image
        Rect expected;
    };
    const std::vector<Case> cases = {
        {20, {100, 100}, {110, 100}, Rect(40, 40, 130, 120)},  // the squares (40,40,120,120), (50,40,120,120)
        {20, {100, 100}, {100, 100}, Rect(40, 40, 120, 120)},  // the first point: one square
        {0, {400, 300}, {400, 300}, Rect(350, 250, 100, 100)}, // a brush of size 0 still touches 100 x 100
    };
    for (const Case& c : cases) {
        OVMaskBrush brush;
        brush.setStartImage(greyMask(800, 600, 0));
        brush.brushDownAtPoint(makeBrush(OVBrush::Draw, c.size), Point(c.down.x / 800, c.down.y / 600));
        EXPECT_EQ(brush.lastPoint(), c.down);
        brush.processPoint(Point(c.next.x / 800, c.next.y / 600));
        EXPECT_EQ(brush.dirtyRect(), c.expected);
        EXPECT_NEAR(brush.lastPoint().x, c.next.x, 1e-9);
        EXPECT_NEAR(brush.lastPoint().y, c.next.y, 1e-9);
        brush.processPoints({});
        EXPECT_TRUE(brush.dirtyRect().isNull());
    }
}

TEST(OVMaskBrush, StepsChangeOnlyTheirRectangleAndAccumulate)
{
    const Image start = greyMask(300, 200, 0.3);
    OVMaskBrush brush;
    brush.setStartImage(start);
    brush.brushDownAtPoint(makeBrush(OVBrush::Draw, 20, 0.7), Point(0.1, 0.5));
    brush.processPoint(Point(0.1, 0.5));
    const Pixels before = render(brush.image(), Rect(0, 0, 300, 200));
    brush.processPoint(Point(0.3, 0.5)); // (30, 100) to (90, 100)
    const Rect step = brush.dirtyRect();
    EXPECT_EQ(step, Rect(-30, 40, 180, 120));
    const Pixels after = render(brush.image(), Rect(0, 0, 300, 200));
    int changedInside = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            const bool inside = step.contains(Point(x + 0.5, y + 0.5));
            if (!inside) {
                ASSERT_EQ(before.at(x, y), after.at(x, y)) << x << ", " << y;
            } else if (before.at(x, y) != after.at(x, y))
                ++changedInside;
        }
    EXPECT_GT(changedInside, 500);
    // Both segments are in the mask: painted 0.3 + 0.7 x 0.7, far from the stroke the start mask.
    const Image painted = brush.image();
    EXPECT_NEAR(valueAt(painted, 30, 100), 0.79f, 1.0f / 255);
    EXPECT_NEAR(valueAt(painted, 85, 100), 0.79f, 1.0f / 255);
    EXPECT_NEAR(valueAt(painted, 200, 100), 0.3f, 1e-6);
    brush.brushUp();
    EXPECT_EQ(brush.image(), start);
    EXPECT_FALSE(brush.hasCanvas());
}

TEST(OVMaskBrush, EraseRemovesEarlierCoverage)
{
    for (const double pressure : {1.0, 0.5}) {
        OVMaskBrush brush;
        brush.setStartImage(greyMask(100, 100, 0.8));
        brush.brushDownAtPoint(makeBrush(OVBrush::Eraser, 30, pressure), Point(0.2, 0.5));
        brush.processPoints({Point(0.2, 0.5), Point(0.8, 0.5)});
        EXPECT_NEAR(valueAt(brush.image(), 50, 50), 0.8 * (1 - pressure), 1.0 / 255);
        EXPECT_NEAR(valueAt(brush.image(), 50, 90), 0.8f, 1e-6);
    }
}

// Programmer errors and strokes that cannot paint: a logged line (or none), no canvas, and nothing
// changes however many points follow.
TEST(OVMaskBrush, StrokesThatCannotPaintLeaveTheMaskAlone)
{
    struct Case
    {
        const char* what;
        OVBrush brush;
        bool start, background;
        QString logged; // empty: nothing is logged
    };
    const std::vector<Case> cases = {
        {"no start image", makeBrush(OVBrush::Draw, 10), false, true, "Error: No start image set"},
        {"smart, no photo", makeBrush(OVBrush::SmartBrush, 10), true, false,
         "Error: No background image set"},
        {"click, no photo", makeBrush(OVBrush::Click, 10), true, false, "Error: No background image set"},
        {"unknown type", makeBrush(7, 10), true, true, ""},
        {"unknown smart kernel", makeBrush(OVBrush::SmartBrush, 10, 1, "glitterBrush"), true, true,
         "Warning: Filter 'GMAutoBrush' has no Kernel named 'glitterBrush'"},
        {"size NaN", makeBrush(OVBrush::Draw, std::numeric_limits<double>::quiet_NaN()), true, true,
         "Warning: A brush of size nan paints nothing"},
        {"size infinite", makeBrush(OVBrush::Eraser, std::numeric_limits<double>::infinity()), true, true,
         "Warning: A brush of size inf paints nothing"},
        {"click of size NaN", makeBrush(OVBrush::Click, std::numeric_limits<double>::quiet_NaN()), true, true,
         "Warning: A brush of size nan paints nothing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OVMaskBrush brush;
        const Image start = greyMask(64, 64, 0.25);
        if (c.start)
            brush.setStartImage(start);
        if (c.background)
            brush.setBackgroundImage(greyMask(64, 64, 0.5));
        LogCapture capture;
        brush.brushDownAtPoint(c.brush, Point(0.5, 0.5));
        brush.processPoints({Point(0.5, 0.5), Point(0.6, 0.5)});
        EXPECT_EQ(capture.lines().size(), c.logged.isEmpty() ? 0 : 1)
            << capture.lines().join('\n').toStdString();
        if (!c.logged.isEmpty()) {
            EXPECT_TRUE(capture.contains(c.logged));
        }
        EXPECT_FALSE(brush.hasCanvas());
        EXPECT_TRUE(brush.dirtyRect().isNull());
        EXPECT_EQ(brush.image(), c.start ? start : Image());
    }
}

// Points that mark no place (from a damaged record or a device) are skipped: the stroke paints what
// it paints without them, and no step rectangle is NaN or endless.
TEST(OVMaskBrush, PointsWithoutAPlaceAreSkipped)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    const std::vector<Point> good = {{0.2, 0.5}, {0.25, 0.5}, {0.3, 0.55}};
    struct Case
    {
        const char* what;
        Point down;
        std::vector<Point> points;
    };
    const Case cases[] = {
        {"NaN in the middle", good[0], {good[0], {nan, 0.5}, good[1], {0.3, inf}, good[2]}},
        {"only bad points first", good[0], {{inf, inf}, {nan, nan}, good[0], good[1], good[2]}},
        {"a brush-down without a place", {nan, 0.5}, {good[0], good[1], good[2]}},
    };
    const auto painted = [](Point down, const std::vector<Point>& points, std::vector<Rect>* steps) {
        OVMaskBrush brush;
        brush.setStartImage(greyMask(400, 300, 0));
        brush.brushDownAtPoint(makeBrush(OVBrush::Draw, 12), down);
        for (const Point& p : points) {
            brush.processPoint(p);
            if (steps)
                steps->push_back(brush.dirtyRect());
        }
        return render(brush.image(), Rect(0, 0, 400, 300));
    };
    const Pixels expected = painted(good[0], good, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Rect> steps;
        const Pixels got = painted(c.down, c.points, &steps);
        int covered = 0, differing = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x) {
                covered += got.at(x, y)[1] > 0 ? 1 : 0;
                differing += std::abs(got.at(x, y)[1] - expected.at(x, y)[1]) > 1.5f / 255 ? 1 : 0;
            }
        EXPECT_EQ(differing, 0);
        EXPECT_LT(covered, 400 * 300 / 100) << "the stroke covers about 0.7 % of the mask";
        for (const Rect& r : steps)
            EXPECT_TRUE(r.isNull() ||
                        (std::isfinite(r.width()) && std::isfinite(r.minX()) && r.width() < 300))
                << r.minX() << " " << r.width();
    }
}

TEST(OVMaskBrush, ClickStrokesGoWholeToTheClickBrush)
{
    auto fake = std::make_shared<FakeClickBrush>();
    OVMaskBrush::setClickBrushFactory([fake] { return fake; });
    OVMaskBrush brush;
    const Image start = greyMask(200, 100, 0), photo = greyMask(200, 100, 0.5);
    brush.setStartImage(start);
    brush.setBackgroundImage(photo);
    brush.brushDownAtPoint(makeBrush(OVBrush::Click, 12), Point(0.25, 0.5));
    brush.processPoints({Point(0.25, 0.5), Point(0.3, 0.5)});
    EXPECT_FALSE(brush.hasCanvas());
    EXPECT_EQ(fake->startImage(), start);
    EXPECT_EQ(fake->backgroundImage(), photo);
    EXPECT_EQ(fake->brushSize(), 12);
    EXPECT_EQ(fake->downPoint, Point(0.25, 0.5));
    EXPECT_EQ(fake->steps, 2);
    EXPECT_EQ(brush.image(), fake->picture);
    EXPECT_EQ(brush.dirtyRect(), Rect(1, 2, 3, 4));
    brush.brushUp();
    EXPECT_EQ(fake->brushUps, 1);
    EXPECT_EQ(brush.image(), start);
    OVMaskBrush::setClickBrushFactory(nullptr);
}
