#include "Platform/UI/Event.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/PointerParking.h"

#include <QApplication>
#include <QCursor>
#include <QStyleHints>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

using pf::Event;
using pf::EventType;
using pf::Point;
using pf::Rect;

struct Recorded
{
    EventType type;
    Point location; // in the recording view's coordinates
    int clickCount;
    QString area;
};

class Recorder : public pf::View
{
public:
    using View::View;
    std::vector<Recorded> events;
    bool consumeWheel = true;

    void record(const Event& event)
    {
        events.push_back({event.type(), convertPointFromView(event.locationInWindow(), nullptr),
                          event.clickCount(), event.userData().value(QStringLiteral("name")).toString()});
    }
    void mouseDown(const Event& e) override { record(e); }
    void mouseDragged(const Event& e) override { record(e); }
    void mouseUp(const Event& e) override { record(e); }
    void mouseEntered(const Event& e) override { record(e); }
    void mouseExited(const Event& e) override { record(e); }
    void mouseMoved(const Event& e) override { record(e); }
    void scrollWheel(const Event& e) override
    {
        if (consumeWheel)
            record(e);
        else
            View::scrollWheel(e);
    }
};

// A shown window 300 x 200 whose content holds a recording view at (100, 50, 100, 80).
struct ShownWindow : ::testing::Test
{
    pf::SteppedClock clock;
    pf::Window window{Rect(0, 0, 300, 200)};
    Recorder* view = new Recorder(Rect(100, 50, 100, 80));

    ShownWindow()
    {
        window.contentView()->addSubview(view);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::mouseMove(window.windowHandle(), QPoint(5, 5));
    }
    // A point of the view (y-up) in Qt's coordinates of the window.
    QPoint at(Point p) const { return view->mapTo(&window, view->pointToWidget(p)).toPoint(); }
    // Moves the pointer there: a display's real pointer too, which synthesised events do not move.
    void pointTo(Point p)
    {
        placeRealPointer(window.mapToGlobal(at(p)));
        QTest::mouseMove(window.windowHandle(), at(p));
    }
};

TEST_F(ShownWindow, ClickCountsFollowTheClockAndTheInterval)
{
    QApplication::styleHints()->setMouseDoubleClickInterval(400);
    // Presses at 0, 0.3, 0.6 s count 1, 2, 3; after 0.5 s of quiet the count starts again. The first
    // press follows a long quiet, so that clicks of an earlier test at the same place do not count.
    const double gaps[] = {10, 0.3, 0.3, 0.5, 0.1};
    const int expected[] = {1, 2, 3, 1, 2};
    for (double gap : gaps) {
        clock.advance(gap);
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, at(Point(10, 10)));
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, at(Point(10, 10)));
    }
    std::vector<int> counts;
    for (const Recorded& r : view->events)
        if (r.type == EventType::LeftMouseDown)
            counts.push_back(r.clickCount);
    EXPECT_EQ(counts, std::vector<int>(std::begin(expected), std::end(expected)));
    // The press point arrives y-up in the view's coordinates, and the view receives the release.
    EXPECT_NEAR(view->events.front().location.y, 10, 1);
    EXPECT_EQ(view->events.back().type, EventType::LeftMouseUp);
}

TEST_F(ShownWindow, DragsGoToThePressedViewEvenOutsideIt)
{
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, at(Point(10, 10)));
    QTest::mouseMove(window.windowHandle(), at(Point(-50, 200)));
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, at(Point(-50, 200)));
    ASSERT_EQ(view->events.size(), 3u);
    EXPECT_EQ(view->events[1].type, EventType::LeftMouseDragged);
    EXPECT_NEAR(view->events[1].location.x, -50, 1);
    EXPECT_NEAR(view->events[1].location.y, 200, 1);
}

TEST_F(ShownWindow, TrackingAreasWithSubRectanglesAndAnInitialInsideTest)
{
    // Two halves of the view, and an area installed on the content view whose owner is the recorder.
    view->addTrackingArea(std::make_unique<pf::TrackingArea>(
        Rect(0, 0, 50, 80), pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways, view,
        QVariantMap{{QStringLiteral("name"), QStringLiteral("left")}}));
    view->addTrackingArea(std::make_unique<pf::TrackingArea>(
        Rect(50, 0, 50, 80), pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways, view,
        QVariantMap{{QStringLiteral("name"), QStringLiteral("right")}}));
    pointTo(Point(20, 20));
    pointTo(Point(70, 20));
    pointTo(Point(70, 200));
    std::vector<std::pair<EventType, QString>> seen;
    for (const Recorded& r : view->events)
        seen.emplace_back(r.type, r.area);
    const std::vector<std::pair<EventType, QString>> expected = {
        {EventType::MouseEntered, QStringLiteral("left")},
        {EventType::MouseExited, QStringLiteral("left")},
        {EventType::MouseEntered, QStringLiteral("right")},
        {EventType::MouseExited, QStringLiteral("right")},
    };
    EXPECT_EQ(seen, expected);

    // Installed while the pointer is inside: no entry is reported, the first event is the exit.
    // With AssumeInside the exit comes even though the pointer was never inside.
    view->events.clear();
    pointTo(Point(20, 20));
    view->events.clear();
    auto* inside = view->addTrackingArea(std::make_unique<pf::TrackingArea>(
        Rect(0, 0, 30, 30), pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways, view));
    auto* assumed = window.contentView()->addTrackingArea(std::make_unique<pf::TrackingArea>(
        Rect(0, 0, 10, 10),
        pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways |
            pf::TrackingArea::AssumeInside,
        view, QVariantMap{{QStringLiteral("name"), QStringLiteral("assumed")}}));
    EXPECT_TRUE(inside->isInside());
    pointTo(Point(25, 25));
    EXPECT_TRUE(std::none_of(view->events.begin(), view->events.end(),
                             [](const Recorded& r) { return r.type == EventType::MouseEntered; }));
    ASSERT_EQ(view->events.size(), 1u); // "left" stays inside; the assumed area exits
    EXPECT_EQ(view->events.back().area, QStringLiteral("assumed"));
    EXPECT_FALSE(assumed->isInside());
}

TEST_F(ShownWindow, DuringADragAreasChangeSilently)
{
    view->addTrackingArea(std::make_unique<pf::TrackingArea>(
        Rect(0, 0, 100, 80), pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways, view));
    QTest::mouseMove(window.windowHandle(), at(Point(10, 10)));
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, at(Point(10, 10)));
    QTest::mouseMove(window.windowHandle(), at(Point(-40, 10)));
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, at(Point(-40, 10)));
    std::vector<EventType> types;
    for (const Recorded& r : view->events)
        types.push_back(r.type);
    // Entered, then the press session; leaving during the drag and releasing outside sends no exit.
    const std::vector<EventType> expected = {EventType::MouseEntered, EventType::LeftMouseDown,
                                             EventType::LeftMouseDragged, EventType::LeftMouseUp};
    EXPECT_EQ(types, expected);
}

TEST(Wheel, NotchesAndPreciseDeltasArePlatformDeltas)
{
    Recorder outer(Rect(0, 0, 100, 100));
    auto* inner = new Recorder(Rect(10, 10, 50, 50), &outer);
    inner->consumeWheel = false; // passes the wheel up the chain
    struct Case
    {
        QPoint pixels, angle;
        Qt::ScrollPhase phase;
        double deltaY, scrollingY;
        bool precise;
        pf::EventPhase mapped;
    };
    const Case cases[] = {
        {{}, {0, 120}, Qt::NoScrollPhase, 1.0, 1.0, false, pf::EventPhase::None},
        {{}, {0, -240}, Qt::NoScrollPhase, -2.0, -2.0, false, pf::EventPhase::None},
        {{0, 7}, {0, 14}, Qt::ScrollUpdate, 14 / 120.0, 7, true, pf::EventPhase::Changed},
        {{0, 0}, {0, 0}, Qt::ScrollBegin, 0, 0, false, pf::EventPhase::Began},
    };
    for (const Case& c : cases) {
        outer.events.clear();
        QWheelEvent wheel(QPointF(20, 20), QPointF(20, 20), c.pixels, c.angle, Qt::NoButton, Qt::NoModifier,
                          c.phase, false);
        QApplication::sendEvent(inner, &wheel);
        ASSERT_EQ(outer.events.size(), 1u);
    }
    // The mapping itself, through an event built the same way the views build it.
    for (const Case& c : cases) {
        Event captured;
        class Catcher : public pf::View
        {
        public:
            Event* out;
            void scrollWheel(const Event& e) override { *out = e; }
        } catcher;
        catcher.out = &captured;
        catcher.setFrame(Rect(0, 0, 50, 50));
        QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), c.pixels, c.angle, Qt::NoButton, Qt::ShiftModifier,
                          c.phase, false);
        QApplication::sendEvent(&catcher, &wheel);
        EXPECT_NEAR(captured.deltaY(), c.deltaY, 1e-9);
        EXPECT_NEAR(captured.scrollingDeltaY(), c.scrollingY, 1e-9);
        EXPECT_EQ(captured.hasPreciseScrollingDeltas(), c.precise);
        EXPECT_EQ(captured.phase(), c.mapped);
        EXPECT_EQ(captured.modifierFlags(), pf::Modifier::Shift);
    }
}

TEST(Modifiers, MapToThePlatformFlags)
{
    EXPECT_EQ(pf::modifierFlagsFromQt(Qt::ControlModifier), pf::Modifier::Command);
    EXPECT_EQ(pf::modifierFlagsFromQt(Qt::MetaModifier), pf::Modifier::Control);
    EXPECT_EQ(pf::modifierFlagsFromQt(Qt::AltModifier | Qt::ShiftModifier),
              pf::Modifier::Option | pf::Modifier::Shift);
    EXPECT_EQ(pf::qtModifiersFromFlags(pf::Modifier::Command | pf::Modifier::Control),
              Qt::ControlModifier | Qt::MetaModifier);
    EXPECT_EQ(pf::keyCodeFromQtKey(Qt::Key_Y), pf::KeyCode::Y);
    EXPECT_EQ(pf::keyCodeFromQtKey(Qt::Key_5), 23);
    EXPECT_EQ(pf::keyCodeFromQtKey(Qt::Key_Left), pf::KeyCode::LeftArrow);
}

} // namespace

namespace {

TEST(ToolTips, TheRectangleUnderThePointerGivesTheText)
{
    pf::Window window(Rect(0, 0, 200, 100));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    pf::View* view = window.contentView();
    view->addToolTipRect(Rect(0, 0, 100, 50), QStringLiteral("lower left"));
    const int upper = view->addToolTipRect(Rect(100, 50, 100, 50), QStringLiteral("upper right"));
    auto ask = [&](Point p) {
        const QPoint at = view->pointToWidget(p).toPoint();
        QHelpEvent help(QEvent::ToolTip, at, view->mapToGlobal(at));
        QApplication::sendEvent(view, &help);
        return help.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(ask(Point(10, 10)), QStringLiteral("lower left")); // y-up: near the bottom
    EXPECT_EQ(ask(Point(150, 90)), QStringLiteral("upper right"));
    EXPECT_EQ(ask(Point(150, 10)), QString());
    view->removeToolTip(upper);
    EXPECT_EQ(ask(Point(150, 90)), QString());
}

} // namespace
