#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QPainter>
#include <functional>
#include <gtest/gtest.h>

namespace {

using pf::Point;
using pf::Rect;
using pf::Size;
using pf::View;

void expectPoint(Point actual, Point expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

// A window 400 x 300 with a y-up view A at (50, 40, 200, 150), scrolled by (10, 20), holding a flipped
// view B at (30, 60, 100, 50) of A's coordinates.
struct Nested : ::testing::Test
{
    pf::Window window{Rect(0, 0, 400, 300)};
    View* a = new View(Rect(50, 40, 200, 150));
    View* b = new View(Rect(30, 60, 100, 50));

    Nested()
    {
        window.contentView()->addSubview(a);
        a->setBoundsOrigin(Point(10, 20));
        b->setFlipped(true);
        a->addSubview(b);
    }
};

TEST_F(Nested, ConversionsBetweenViewsWindowAndWidget)
{
    // The top-left corner of A's visible area is its bounds origin plus its height, in own coordinates.
    expectPoint(a->convertPointToView(Point(10, 170), nullptr), Point(50, 190));
    // Qt places A's widget from the top: the window is 300 high and A's top is at 190.
    EXPECT_EQ(a->geometry(), QRect(50, 110, 200, 150));
    // B's frame is in A's scrolled coordinates: it starts 20 right of and 40 above A's lower left.
    EXPECT_EQ(b->geometry(), QRect(20, 60, 100, 50));
    // B is flipped: its (0, 0) is its top left, which lies at A's (30, 110), the window's (70, 130).
    expectPoint(b->convertPointToView(Point(0, 0), nullptr), Point(70, 130));
    expectPoint(b->convertPointToView(Point(0, 0), a), Point(30, 110));
    expectPoint(b->convertPointToView(Point(100, 50), a), Point(130, 60));

    // Every conversion has its inverse.
    const Point samples[] = {{0, 0}, {12.5, 7.25}, {100, 50}, {-3, 80}};
    for (Point p : samples) {
        expectPoint(b->convertPointFromView(b->convertPointToView(p, nullptr), nullptr), p);
        expectPoint(b->convertPointFromView(b->convertPointToView(p, a), a), p);
        expectPoint(b->pointFromWidget(b->pointToWidget(p)), p);
    }
    // A rectangle through a flipped view keeps its extent and is standardized.
    const Rect inA = b->convertRectToView(Rect(10, 5, 20, 10), a);
    EXPECT_EQ(inA, Rect(40, 95, 20, 10));
    // Widget coordinates of the flipped view equal its own; of A they are flipped and scrolled.
    expectPoint(b->pointFromWidget(QPointF(4, 6)), Point(4, 6));
    expectPoint(a->pointFromWidget(QPointF(0, 0)), Point(10, 170));
}

TEST_F(Nested, ScrollingMovesSubviewsAndTheVisibleRect)
{
    a->setBoundsOrigin(Point(0, 0));
    EXPECT_EQ(b->geometry(), QRect(30, 40, 100, 50));
    b->setFrame(Rect(150, 120, 100, 50)); // sticks out of A at the top right
    // B is flipped: its clipped top is y 0..20, the visible part y 20..50.
    EXPECT_EQ(b->visibleRect(), Rect(0, 20, 50, 30));
}

TEST(ViewGeometry, ResizingTheSuperviewKeepsYUpFramesAndAppliesMasks)
{
    View parent(Rect(0, 0, 100, 100));
    View* fixed = new View(Rect(10, 10, 20, 20), &parent);
    View* stretch = new View(Rect(10, 10, 80, 80), &parent);
    stretch->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    parent.setFrameSize(Size(200, 150));
    EXPECT_EQ(fixed->frame(), Rect(10, 10, 20, 20));
    // y-up: a view with fixed margins stays at the bottom, so its widget moves down.
    EXPECT_EQ(fixed->geometry(), QRect(10, 120, 20, 20));
    EXPECT_EQ(stretch->frame(), Rect(10, 10, 180, 130));
}

// Each mask over the same change: 100 wide to 160 (+60), a view at x 20, width 30 (right margin 50).
TEST(ViewGeometry, AutoresizingSharesTheChangeInProportion)
{
    struct Case
    {
        unsigned mask;
        double x, width;
    };
    const Case cases[] = {
        {View::NotSizable, 20, 30},
        {View::MinXMargin, 80, 30},
        {View::WidthSizable, 20, 90},
        {View::MaxXMargin, 20, 30},
        {View::MinXMargin | View::MaxXMargin, 20 + 60 * 20 / 70.0, 30},
        {View::MinXMargin | View::WidthSizable, 20 + 60 * 20 / 50.0, 30 + 60 * 30 / 50.0},
        {View::WidthSizable | View::MaxXMargin, 20, 30 + 60 * 30 / 80.0},
        {View::MinXMargin | View::WidthSizable | View::MaxXMargin, 20 + 60 * 0.2, 30 + 60 * 0.3},
    };
    for (const Case& c : cases) {
        const Rect r = View::autoresizedFrame(Rect(20, 5, 30, 10), c.mask, Size(100, 40), Size(160, 40));
        EXPECT_NEAR(r.minX(), c.x, 1e-9) << "mask " << c.mask;
        EXPECT_NEAR(r.width(), c.width, 1e-9) << "mask " << c.mask;
        EXPECT_EQ(r.minY(), 5);
    }
    // The same algorithm vertically; flexible parts adding up to nothing share equally.
    const Rect vertical = View::autoresizedFrame(Rect(0, 0, 10, 0), View::MinYMargin | View::HeightSizable,
                                                 Size(10, 0), Size(10, 8));
    EXPECT_EQ(vertical, Rect(0, 4, 10, 4));
}

class Painted : public View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const Rect&) override
    {
        painter.fillRect(QRectF(0, 0, 10, 5), Qt::red); // the lower left corner, y-up
    }
};

TEST(ViewGeometry, DrawRectPaintsInOwnCoordinates)
{
    Painted plain(Rect(0, 0, 40, 30));
    Painted flipped(Rect(0, 0, 40, 30));
    flipped.setFlipped(true);
    for (Painted* view : {&plain, &flipped}) {
        const QImage image = view->snapshot();
        const int row = view == &plain ? 27 : 2; // 3 pixels from the bottom, or from the top
        EXPECT_EQ(image.pixelColor(5, row), QColor(Qt::red));
        EXPECT_EQ(image.pixelColor(5, view == &plain ? 2 : 27).alpha(), 0);
    }
    // Alpha is multiplied down the hierarchy.
    View parent(Rect(0, 0, 40, 30));
    auto* child = new Painted(Rect(0, 0, 40, 30), &parent);
    parent.setAlphaValue(0.5);
    child->setAlphaValue(0.5);
    EXPECT_NEAR(parent.snapshot().pixelColor(5, 27).alphaF(), 0.25, 0.01);
}

// A tall document in a 100 x 100 window part that places only the widgets of subviews it shows: however
// the document moves, grows or scrolls, a subview that shows has its widget where its frame says.
TEST(ViewGeometry, SubviewsOutOfSightAreShownInPlaceWhenTheyComeIntoView)
{
    pf::Window window{Rect(0, 0, 100, 100)};
    auto* clip = new View(Rect(0, 0, 100, 100));
    window.contentView()->addSubview(clip);
    auto* document = new View(Rect(0, -900, 100, 1000)); // its top shows
    document->setPlacesOnlyShownSubviews(true);
    clip->addSubview(document);
    auto* near = new View(Rect(10, 950, 20, 20));
    auto* far = new View(Rect(10, 100, 20, 20));
    document->addSubview(near);
    document->addSubview(far);
    window.show();
    const auto placed = [&](View* view) { return view->placementIsDeferred() ? QRect() : view->geometry(); };
    EXPECT_EQ(placed(near), QRect(10, 30, 20, 20));

    far->setFrame(Rect(30, 200, 20, 20)); // still out of sight
    EXPECT_TRUE(far->placementIsDeferred());
    const struct
    {
        const char* change;
        std::function<void()> apply;
        QRect farWidget;
    } cases[] = {
        {"scrolled to the far one", [&] { clip->setBoundsOrigin(Point(0, -750)); }, QRect(30, 780, 20, 20)},
        {"scrolled back", [&] { clip->setBoundsOrigin(Point(0, 0)); }, QRect(30, 780, 20, 20)},
        {"grown", [&] { document->setFrame(Rect(0, -900, 100, 1100)); }, QRect()},
        {"moved under the window", [&] { document->setFrame(Rect(0, -190, 100, 1100)); },
         QRect(30, 880, 20, 20)},
    };
    for (const auto& c : cases) {
        c.apply();
        EXPECT_EQ(placed(far), c.farWidget) << c.change;
        for (View* view : {near, far}) {
            const QRect expected = document->rectToWidget(view->frame()).toRect();
            const QRect shown = QRect(QPoint(), document->size()) & QRect(-document->pos(), clip->size());
            if (expected.intersects(shown)) {
                EXPECT_EQ(view->geometry(), expected) << c.change;
            }
        }
    }
    // A picture of the whole document draws every subview in its place.
    document->setFrame(Rect(0, -900, 100, 1000));
    ASSERT_TRUE(far->placementIsDeferred());
    document->snapshot();
    EXPECT_FALSE(far->placementIsDeferred());
    EXPECT_EQ(far->geometry(), document->rectToWidget(far->frame()).toRect());
}

} // namespace
