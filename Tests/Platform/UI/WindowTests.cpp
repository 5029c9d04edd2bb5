#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/CursorStack.h"
#include "Platform/UI/Cursors.h"
#include "Platform/UI/EventMonitor.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Platform/UI/WindowDelegate.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using pf::Rect;

TEST(Window, OverlayKeepsItsScreenFrameAndFollowsItsOwnersResize)
{
    pf::Window owner(Rect(100, 100, 400, 300));
    owner.show();
    pf::Window loupe(Rect(150, 300, 80, 60), pf::Window::Borderless);
    pf::Window drawer(Rect(450, 120, 40, 200), pf::Window::Borderless);
    drawer.setAutoresizingMask(pf::View::MinXMargin | pf::View::HeightSizable);
    owner.addChildWindow(&loupe);
    owner.addChildWindow(&drawer);
    EXPECT_TRUE(loupe.isOverlay());
    EXPECT_EQ(loupe.frame(), Rect(150, 300, 80, 60));
    EXPECT_EQ(loupe.parentWidget(), &owner);

    // The owner grows by 100 to the right and 50 downwards (its top edge stays, y-up origin drops).
    owner.setFrame(Rect(100, 50, 500, 350));
    EXPECT_EQ(loupe.frame(), Rect(150, 300, 80, 60));  // default mask: fixed to the top left
    EXPECT_EQ(drawer.frame(), Rect(550, 70, 40, 250)); // right edge follows; bottom and top keep margins

    // Moving the owner moves its overlays and tells them.
    int moves = 0;
    auto token = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::didMoveNotification, &loupe, [&](const pf::Notification&) { ++moves; });
    owner.setFrameOrigin(pf::Point(120, 50));
    QApplication::processEvents();
    EXPECT_EQ(loupe.frame().origin, pf::Point(170, 300));
    EXPECT_GE(moves, 1);
    // Points over an overlay belong to it; it can let the mouse through.
    EXPECT_EQ(owner.windowAtBasePoint(pf::Point(60, 260)), &loupe);
    loupe.setIgnoresMouseEvents(true);
    EXPECT_EQ(owner.windowAtBasePoint(pf::Point(60, 260)), &owner);
}

class Refusing : public pf::WindowDelegate
{
public:
    bool allow = false;
    int willClose = 0;
    bool windowShouldClose(pf::Window*) override { return allow; }
    void windowWillClose(pf::Window*) override { ++willClose; }
};

TEST(Window, CloseAsksTheDelegateAndTakesOverlaysAndKeyStatusAlong)
{
    pf::Window owner(Rect(0, 0, 300, 200));
    pf::Window child(Rect(10, 10, 50, 50), pf::Window::Borderless);
    owner.addChildWindow(&child);
    owner.show();
    child.makeKeyWindow();
    EXPECT_TRUE(child.isKeyWindow());
    owner.makeKeyWindow();
    EXPECT_FALSE(child.isKeyWindow());

    Refusing delegate;
    owner.setDelegate(&delegate);
    owner.performClose();
    EXPECT_TRUE(owner.isVisible());
    EXPECT_EQ(delegate.willClose, 0);
    delegate.allow = true;
    int notifications = 0;
    auto token = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::willCloseNotification, nullptr, [&](const pf::Notification&) { ++notifications; });
    owner.performClose();
    EXPECT_FALSE(owner.isVisible());
    EXPECT_EQ(delegate.willClose, 1);
    EXPECT_EQ(notifications, 2); // the owner and its overlay
    EXPECT_EQ(pf::Window::keyWindow(), nullptr);
    owner.setDelegate(nullptr);
}

class Focusable : public pf::View
{
public:
    using View::View;
    bool refuseResign = false;
    int resigned = 0;
    bool acceptsFirstResponder() const override { return true; }
    bool resignFirstResponder() override
    {
        ++resigned;
        return !refuseResign;
    }
};

TEST(Window, FirstResponderMayRefuseToResign)
{
    pf::Window window(Rect(0, 0, 200, 200));
    auto* a = new Focusable(Rect(0, 0, 50, 50));
    auto* b = new Focusable(Rect(60, 0, 50, 50));
    window.contentView()->addSubview(a);
    window.contentView()->addSubview(b);
    EXPECT_TRUE(window.makeFirstResponder(a));
    a->refuseResign = true;
    EXPECT_FALSE(window.makeFirstResponder(b));
    EXPECT_EQ(window.firstResponder(), a);
    a->refuseResign = false;
    EXPECT_TRUE(window.makeFirstResponder(b));
    EXPECT_EQ(a->resigned, 2);
    // Qt moving the keyboard elsewhere (a click into a text field) makes the view resign, at the next
    // turn (Qt goes on with both widgets after the focus events, and resigning may delete either).
    window.show();
    window.makeKeyWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* field = new QLineEdit(window.contentView());
    field->show();
    field->setFocus(Qt::MouseFocusReason);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(window.firstResponder(), &window);
    EXPECT_EQ(b->resigned, 1);
    // A responder that goes away leaves the window as first responder.
    window.makeFirstResponder(a);
    delete a;
    EXPECT_EQ(window.firstResponder(), &window);
}

TEST(CursorStack, TopEntryIsTheWindowsCursor)
{
    pf::Window window(Rect(0, 0, 200, 200));
    pf::CursorStack stack(&window);
    const QVariant one = QStringLiteral("one"), two = pf::CursorStack::key(&window);
    stack.push(pf::Cursors::openHand(), one);
    stack.push(pf::Cursors::iBeam(), two);
    stack.push(pf::Cursors::closedHand(), one); // moves key one to the top
    EXPECT_EQ(stack.keys(), (std::vector<QVariant>{two, one}));
    EXPECT_EQ(window.windowCursor()->shape(), Qt::ClosedHandCursor);
    EXPECT_FALSE(window.areCursorRectsEnabled());
    stack.replace(pf::Cursors::crosshair(), two); // below the top: not shown yet
    EXPECT_EQ(window.windowCursor()->shape(), Qt::ClosedHandCursor);
    stack.pop(two); // below the top: nothing changes
    EXPECT_EQ(window.windowCursor()->shape(), Qt::ClosedHandCursor);
    stack.push(pf::Cursors::crosshair(), two);
    stack.pop(two);
    EXPECT_EQ(window.windowCursor()->shape(), Qt::ClosedHandCursor);
    stack.pop(one);
    EXPECT_EQ(window.windowCursor()->shape(), Qt::ArrowCursor);
    EXPECT_FALSE(window.areCursorRectsEnabled()); // they stay disabled until someone enables them
}

TEST(EventMonitor, SeesKeysFirstAndCanSwallowThem)
{
    pf::Window window(Rect(0, 0, 200, 200));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    struct KeyView : pf::View
    {
        using View::View;
        QStringList keys;
        bool acceptsFirstResponder() const override { return true; }
        void keyDown(const pf::Event& e) override { keys.append(e.characters()); }
        void flagsChanged(const pf::Event& e) override
        {
            keys.append(QString::number(e.modifierFlags(), 16));
        }
    };
    auto* view = new KeyView(Rect(0, 0, 100, 100));
    window.contentView()->addSubview(view);
    window.makeKeyWindow();
    window.makeFirstResponder(view);
    QStringList seen;
    auto token = pf::EventMonitor::addLocalMonitor(
        pf::eventMask(pf::EventType::KeyDown) | pf::eventMask(pf::EventType::FlagsChanged),
        [&](const pf::Event& e) {
            seen.append(e.type() == pf::EventType::KeyDown ? e.characters() : QStringLiteral("flags"));
            return e.characters() != QStringLiteral("x");
        });
    QTest::keyClick(window.windowHandle(), Qt::Key_A, Qt::NoModifier);
    QTest::keyClick(window.windowHandle(), Qt::Key_X, Qt::NoModifier);
    QTest::keyPress(window.windowHandle(), Qt::Key_Shift, Qt::NoModifier);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("a"), QStringLiteral("x"), QStringLiteral("flags")}));
    // The swallowed key never reached the view; the flags arrived as Shift set.
    EXPECT_EQ(view->keys, (QStringList{QStringLiteral("a"), QString::number(pf::Modifier::Shift, 16)}));
    QTest::keyRelease(window.windowHandle(), Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(view->keys.last(), QStringLiteral("0"));
}

} // namespace
