#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Framework/Toolkit/OVHintController.h"
#include "Classes/Framework/Toolkit/OVToolTipController.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QLabel>
#include <gtest/gtest.h>

namespace {

using pf::Rect;

Qt::CursorShape shown(const pf::Window& window)
{
    return window.windowCursor() ? window.windowCursor()->shape() : Qt::BlankCursor;
}

QVariantList keys(const pf::Window& window)
{
    QVariantList list;
    if (OVCursorStack* stack = OVCursorStack::cursorStackForWindow(&window))
        for (const QVariant& key : stack->keys())
            list << key;
    return list;
}

TEST(OVCursorStack, TheTopOfEachWindowsStackIsShown)
{
    const QVariant one(1), two(2);
    const QCursor a(Qt::CrossCursor), b(Qt::IBeamCursor), c(Qt::PointingHandCursor);
    // Three pushes, the last one with the first key again: keys two then one, cursor c on top.
    const auto pushThree = [&](pf::Window* w) {
        OVCursorStack::pushCursor(a, one, w);
        OVCursorStack::pushCursor(b, two, w);
        OVCursorStack::pushCursor(c, one, w);
    };
    const struct
    {
        const char* name;
        std::function<void(pf::Window*)> steps;
        QVariantList keys;
        Qt::CursorShape shown;
    } cases[] = {
        {"pushing a key again moves it to the top", pushThree, {two, one}, Qt::PointingHandCursor},
        {"popping below the top changes nothing shown",
         [&](pf::Window* w) {
             pushThree(w);
             OVCursorStack::popCursorForKey(two, w);
         },
         {one},
         Qt::PointingHandCursor},
        {"popping the top shows the next",
         [&](pf::Window* w) {
             pushThree(w);
             OVCursorStack::popCursorForKey(one, w);
         },
         {two},
         Qt::IBeamCursor},
        {"popping the last shows the arrow",
         [&](pf::Window* w) {
             OVCursorStack::pushCursor(a, one, w);
             OVCursorStack::popCursorForKey(one, w);
         },
         {},
         Qt::ArrowCursor},
        {"replacing below the top shows later",
         [&](pf::Window* w) {
             OVCursorStack::pushCursor(a, one, w);
             OVCursorStack::pushCursor(b, two, w);
             OVCursorStack::replaceCursor(c, one, w);
             EXPECT_EQ(shown(*w), Qt::IBeamCursor);
             OVCursorStack::popCursorForKey(two, w);
         },
         {one},
         Qt::PointingHandCursor},
        {"a push without a cursor is refused",
         [&](pf::Window* w) {
             OVCursorStack::pushCursor(a, one, w);
             pf::LogCapture log;
             OVCursorStack::pushCursor(std::nullopt, two, w);
             OVCursorStack::pushCursor(b, QVariant(), w);
             EXPECT_EQ(log.lines().size(), 2);
             EXPECT_TRUE(
                 log.contains(QStringLiteral("Warning: Neither Cursor (nil) nor key (2) can be nil.")));
         },
         {one},
         Qt::CrossCursor},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pf::Window window;
        c.steps(&window);
        EXPECT_EQ(keys(window), c.keys);
        EXPECT_EQ(shown(window), c.shown);
        EXPECT_FALSE(window.areCursorRectsEnabled());
    }
    EXPECT_EQ(OVCursorStack::registeredWindowCount(), 0);
}

// A refused push still disables the cursor rectangles; closing gives them back and drops the stack, so
// the next push starts afresh; a window destroyed without closing leaves no entry behind.
TEST(OVCursorStack, StacksLiveUntilTheirWindowClosesOrGoes)
{
    pf::Window window;
    window.show();
    {
        pf::LogCapture log;
        OVCursorStack::pushCursor(std::nullopt, QStringLiteral("GMZoomView"), &window);
    }
    EXPECT_FALSE(window.areCursorRectsEnabled());
    OVCursorStack::pushCursor(QCursor(Qt::CrossCursor), QStringLiteral("GMLoupe"), &window);
    EXPECT_TRUE(
        OVCursorStack::cursorStackForWindow(&window)->description().endsWith(QStringLiteral("GMLoupe")));
    window.close();
    EXPECT_TRUE(window.areCursorRectsEnabled());
    EXPECT_EQ(OVCursorStack::cursorStackForWindow(&window), nullptr);
    OVCursorStack::popCursorForKey(QStringLiteral("GMLoupe"), &window); // no stack: nothing made
    EXPECT_EQ(OVCursorStack::cursorStackForWindow(&window), nullptr);
    OVCursorStack::pushCursor(QCursor(Qt::IBeamCursor), QStringLiteral("GMPreview"), &window);
    EXPECT_EQ(keys(window), QVariantList{QStringLiteral("GMPreview")});

    auto* unclosed = new pf::Window();
    OVCursorStack::pushCursor(QCursor(Qt::CrossCursor), 1, unclosed);
    EXPECT_EQ(OVCursorStack::registeredWindowCount(), 2);
    delete unclosed;
    EXPECT_EQ(OVCursorStack::registeredWindowCount(), 1);
    OVCursorStack::removeCursorStackForWindow(&window);
    EXPECT_EQ(OVCursorStack::registeredWindowCount(), 0);
}

TEST(OVHintController, TheLatestHintShowsAndThePreviousReturns)
{
    QLabel line;
    const QVariant a(QStringLiteral("a")), b(QStringLiteral("b"));
    const auto sendAThenB = [&](OVHintController& h) {
        h.sendHint(QStringLiteral("A"), a);
        h.sendHint(QStringLiteral("B"), b);
    };
    const struct
    {
        const char* name;
        std::function<void(OVHintController&)> steps;
        QString shown;
    } cases[] = {
        {"removing the top shows the one before",
         [&](OVHintController& h) {
             sendAThenB(h);
             h.removeHintForKey(b);
         },
         QStringLiteral("A")},
        {"removing one below keeps the top",
         [&](OVHintController& h) {
             sendAThenB(h);
             h.removeHintForKey(a);
         },
         QStringLiteral("B")},
        {"sending again moves the key to the top with its new text",
         [&](OVHintController& h) {
             sendAThenB(h);
             h.sendHint(QStringLiteral("A2"), a);
             h.removeHintForKey(QStringLiteral("absent"));
         },
         QStringLiteral("A2")},
        {"removing the last empties the line",
         [&](OVHintController& h) {
             h.sendHint(QStringLiteral("A"), a);
             h.removeHintForKey(a);
         },
         QString()},
        {"a hint without a key is ignored",
         [&](OVHintController& h) {
             h.sendHint(QStringLiteral("A"), a);
             pf::LogCapture log;
             h.sendHint(QStringLiteral("B"), QVariant());
             EXPECT_TRUE(log.contains(QStringLiteral("Warning: ")));
             EXPECT_EQ(h.hints(), QStringList{QStringLiteral("A")});
         },
         QStringLiteral("A")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        line.setText(QStringLiteral("stale"));
        OVHintController hints(&line);
        c.steps(hints);
        EXPECT_EQ(line.text(), c.shown);
    }
}

// Child windows use their parent's hint line; hints are translated; a window destroyed without
// closing takes its registration with it.
TEST(OVHintController, WindowsFindTheirOwnOrTheirParentsLine)
{
    pf::Localization::setLanguageForTesting(QStringLiteral("de"));
    auto* parent = new pf::Window(Rect(100, 100, 400, 300));
    auto* child = new pf::Window(Rect(120, 120, 100, 100), pf::Window::Borderless);
    parent->addChildWindow(child);
    pf::Window other;
    QLabel line, otherLine;
    OVHintController::addHintControllerForWindow(parent, &line);
    OVHintController::addHintControllerForWindow(nullptr, &otherLine);
    OVHintController::sendHint(QStringLiteral("Paint where the effect applies"), 1, child);
    OVHintController::sendHint(QStringLiteral("Elsewhere"), 2, &other);
    EXPECT_EQ(line.text(), QStringLiteral("Malen Sie, wo der Effekt wirkt"));
    EXPECT_TRUE(otherLine.text().isEmpty());
    OVHintController::removeHintForKey(1, child);
    EXPECT_TRUE(line.text().isEmpty());
    EXPECT_EQ(OVHintController::registeredWindowCount(), 1);
    delete parent;
    EXPECT_EQ(OVHintController::registeredWindowCount(), 0);
    OVHintController::sendHint(QStringLiteral("After"), 1, &other);
    pf::Localization::setLanguageForTesting(QStringLiteral("en"));
}

class ToolTips : public ::testing::Test
{
protected:
    void SetUp() override
    {
        owner.setFrame(Rect(100, 100, 400, 300));
        view = new pf::View(Rect(0, 0, 400, 300));
        owner.contentView()->addSubview(view);
        owner.show();
    }
    void TearDown() override { tips.hideForView(tips.focusView()); }

    pf::SteppedClock clock;
    pf::Window owner;
    pf::View* view = nullptr;
    OVToolTipController& tips = OVToolTipController::sharedController();
};

TEST_F(ToolTips, HangBelowOrStandAboveRightOfThePointInsideTheWindow)
{
    tips.showTooltip(QStringLiteral("Size of the <b>brush</b>"), pf::Point(50, 200), view);
    ASSERT_TRUE(tips.isShowing());
    pf::Window* tip = tips.window();
    EXPECT_EQ(tip->parentWindow(), &owner);
    EXPECT_EQ(tips.toolTipLabel()->text(), QStringLiteral("Size of the <b>brush</b>"));
    EXPECT_DOUBLE_EQ(tip->frame().minX(), 150);
    EXPECT_DOUBLE_EQ(tip->frame().maxY(), 300);
    // Near the right edge: the tooltip's right edge is the window's.
    tips.showTooltip(QStringLiteral("A tooltip near the right edge"), pf::Point(395, 20), view);
    EXPECT_DOUBLE_EQ(tip->frame().maxX(), owner.frame().maxX());
    EXPECT_DOUBLE_EQ(tip->frame().minY(), owner.frame().minY());
    EXPECT_EQ(owner.childWindows().size(), 1);
    // Placed above (a bar over captions): its bottom left at the point, still inside the window.
    tips.showTooltip(QStringLiteral("Play"), pf::Point(50, 200), view, OVToolTipController::Placement::Above);
    EXPECT_DOUBLE_EQ(tip->frame().minX(), 150);
    EXPECT_DOUBLE_EQ(tip->frame().minY(), 300);
    tips.showTooltip(QStringLiteral("Play"), pf::Point(50, 299), view, OVToolTipController::Placement::Above);
    EXPECT_DOUBLE_EQ(tip->frame().maxY(), owner.frame().maxY());
}

TEST_F(ToolTips, HideAfterThirtySecondsWhenEmptiedOrWhenTheWindowCloses)
{
    tips.showTooltip(QStringLiteral("Resting"), pf::Point(10, 10), view);
    clock.advance(29.9);
    EXPECT_TRUE(tips.isShowing());
    clock.advance(0.2);
    EXPECT_FALSE(tips.isShowing());

    tips.showTooltip(QStringLiteral("Shown"), pf::Point(10, 10), view);
    tips.showTooltip(QString(), pf::Point(10, 10), view);
    EXPECT_FALSE(tips.isShowing());

    tips.showTooltip(QStringLiteral("Shown"), pf::Point(10, 10), view);
    tips.hideForView(nullptr);
    EXPECT_TRUE(tips.isShowing()); // not its view
    owner.close();
    EXPECT_FALSE(tips.isShowing());
    EXPECT_TRUE(owner.childWindows().isEmpty());
    tips.showTooltip(QStringLiteral("Window not on screen"), pf::Point(10, 10), view);
    EXPECT_FALSE(tips.isShowing());
}

} // namespace
