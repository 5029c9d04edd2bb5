#include "Platform/UI/Event.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/View.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QPointer>
#include <gtest/gtest.h>

namespace {

using pf::Rect;
using pf::ViewAnimator;

TEST(ViewAnimator, AGroupAnimatesOnTheClockAndCompletesOnce)
{
    pf::SteppedClock clock;
    pf::View parent(Rect(0, 0, 400, 400));
    auto* moving = new pf::View(Rect(0, 0, 100, 100), &parent);
    auto* fading = new pf::View(Rect(0, 0, 10, 10), &parent);
    QPointer<pf::View> removed = new pf::View(Rect(0, 0, 10, 10), &parent);
    int completions = 0;
    ViewAnimator::runGroup(
        1.0,
        [&] {
            ViewAnimator::animateFrame(moving, Rect(200, 100, 200, 100));
            ViewAnimator::fadeOutAndHide(fading);
            ViewAnimator::fadeOutAndRemove(removed);
        },
        [&] { ++completions; }, ViewAnimator::Timing::Linear);
    clock.advance(0.5);
    EXPECT_NEAR(moving->frame().minX(), 100, 2);
    EXPECT_NEAR(moving->frame().width(), 150, 2);
    EXPECT_NEAR(fading->alphaValue(), 0.5, 0.02);
    EXPECT_EQ(completions, 0);
    clock.advance(0.6);
    EXPECT_EQ(moving->frame(), Rect(200, 100, 200, 100));
    EXPECT_TRUE(fading->isHidden());
    EXPECT_EQ(fading->alphaValue(), 1.0); // alpha given back for the next show
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(ViewAnimator::runningCount(), 0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(removed.isNull());
}

TEST(ViewAnimator, ANewAnimationReplacesTheRunningOneFromWhereItWas)
{
    pf::SteppedClock clock;
    pf::View view(Rect(0, 0, 10, 10));
    int first = 0, second = 0;
    ViewAnimator::runGroup(
        1.0, [&] { ViewAnimator::animateAlpha(&view, 0); }, [&] { ++first; }, ViewAnimator::Timing::Linear);
    clock.advance(0.5);
    ViewAnimator::runGroup(
        1.0, [&] { ViewAnimator::animateAlpha(&view, 1); }, [&] { ++second; }, ViewAnimator::Timing::Linear);
    EXPECT_EQ(first, 1); // the replaced group ends
    clock.advance(0.5);
    EXPECT_NEAR(view.alphaValue(), 0.75, 0.02);
    clock.advance(0.6);
    EXPECT_EQ(second, 1);
    // Slow motion is exactly Shift, nothing else.
    pf::Event::setModifierFlagsProvider([] { return pf::Modifier::Shift; });
    EXPECT_EQ(ViewAnimator::durationFor(1, 10), 10);
    pf::Event::setModifierFlagsProvider([] { return pf::Modifier::Shift | pf::Modifier::Command; });
    EXPECT_EQ(ViewAnimator::durationFor(1, 10), 1);
    pf::Event::setModifierFlagsProvider(nullptr);
}

// A view that lays its subviews out in groups of its own whenever it is resized.
class GroupingView : public pf::View
{
public:
    using pf::View::View;
    int nestedCompletions = 0;
    void resizeSubviewsWithOldSize(pf::Size) override
    {
        for (int i = 0; i < 20; ++i)
            ViewAnimator::runGroup(
                0, [this] { ViewAnimator::animateAlpha(this, 1); }, [this] { ++nestedCompletions; });
    }
};

TEST(ViewAnimator, AnImmediateChangeMayOpenGroupsOfItsOwn)
{
    pf::SteppedClock clock;
    GroupingView view(Rect(0, 0, 10, 10));
    int completions = 0;
    // The frame applied at once runs the view's own groups while the outer one is still open.
    ViewAnimator::runGroup(
        0, [&] { ViewAnimator::animateFrame(&view, Rect(0, 0, 50, 50)); }, [&] { ++completions; });
    clock.advance(0.1);
    EXPECT_EQ(view.frame(), Rect(0, 0, 50, 50));
    EXPECT_EQ(view.nestedCompletions, 20);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(ViewAnimator::runningCount(), 0);
}

TEST(ViewAnimator, AnimatesAgainAfterTheClockItRanOnIsGone)
{
    pf::View view(Rect(0, 0, 10, 10));
    {
        pf::SteppedClock first;
        ViewAnimator::runGroup(1.0, [&] { ViewAnimator::animateAlpha(&view, 0); });
        first.advance(0.5);
    } // the clock goes mid-animation, with the animator's frame timer on it
    pf::SteppedClock second;
    int completions = 0;
    ViewAnimator::runGroup(
        0.5, [&] { ViewAnimator::animateAlpha(&view, 1); }, [&] { ++completions; });
    second.advance(0.6);
    EXPECT_EQ(view.alphaValue(), 1.0);
    EXPECT_EQ(completions, 1);
}

TEST(Timer, AnOwnersDestructionCancelsItsTimers)
{
    pf::SteppedClock clock;
    int fired = 0;
    auto* owner = new pf::View(Rect(0, 0, 10, 10));
    auto oneShot = pf::Timer::scheduled(
        0.5, false, [&](pf::Timer&) { ++fired; }, owner);
    auto handOff = pf::Timer::afterThisEvent([&] { ++fired; }, owner);
    std::weak_ptr<pf::Timer> unheld = pf::Timer::scheduled(
        0.2, true, [&](pf::Timer&) { ++fired; }, owner);
    delete owner;
    clock.advance(1);
    EXPECT_EQ(fired, 0);
    EXPECT_FALSE(oneShot->isValid());
    EXPECT_FALSE(handOff->isValid());
    EXPECT_TRUE(unheld.expired()); // nothing keeps a cancelled timer alive
    EXPECT_EQ(clock.pendingCount(), 0);

    // Without an owner a one-shot runs once, at its time, also when nobody holds it.
    pf::Timer::scheduled(0.3, false, [&](pf::Timer&) { ++fired; });
    clock.advance(0.29);
    EXPECT_EQ(fired, 0);
    clock.advance(0.01);
    EXPECT_EQ(fired, 1);
}

TEST(ViewAnimator, AnOverlayWindowSlidesInsideItsParentAndAGoneOneEndsItsAnimation)
{
    pf::SteppedClock clock;
    pf::Window parent(Rect(100, 100, 600, 400));
    auto* child = new pf::Window(Rect(0, 0, 100, 100), pf::Window::Borderless);
    child->setFrame(Rect(599, 200, 1, 200));
    parent.addChildWindow(child);
    int completions = 0;
    ViewAnimator::runGroup(
        1.0, [&] { ViewAnimator::animateWindowFrame(child, Rect(400, 200, 200, 200)); },
        [&] { ++completions; }, ViewAnimator::Timing::Linear);
    clock.advance(0.5);
    EXPECT_NEAR(child->frame().minX(), 499.5, 2);
    EXPECT_NEAR(child->frame().width(), 100.5, 2);
    clock.advance(0.6);
    EXPECT_EQ(child->frame(), Rect(400, 200, 200, 200));
    EXPECT_EQ(completions, 1);

    ViewAnimator::runGroup(
        1.0, [&] { ViewAnimator::animateWindowFrame(child, Rect(599, 200, 1, 200)); },
        [&] { ++completions; });
    clock.advance(0.2);
    delete child;
    clock.advance(0.1);
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(ViewAnimator::runningCount(), 0);
}

} // namespace
