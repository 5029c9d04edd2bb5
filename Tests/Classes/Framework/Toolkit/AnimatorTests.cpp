#include "Classes/Framework/Toolkit/OVAnimator.h"
#include "ControlsTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/WindowDelegate.h"

#include <gtest/gtest.h>

namespace {

using pf::Layer;
using pf::Point;
using pf::Rect;

struct Closing : pf::WindowDelegate
{
    int asked = 0;
    bool windowShouldClose(pf::Window*) override
    {
        ++asked;
        return false;
    }
};

// A window with a layer host holding one red tile (start) and one blue tile (end).
struct Transition : ControlsWindow
{
    pf::LayerHostView* host = new pf::LayerHostView(Rect(0, 0, 400, 300));
    std::shared_ptr<Layer> start = Layer::create();
    std::shared_ptr<Layer> end = Layer::create();

    Transition()
    {
        add(host);
        const pf::Transaction::Scope atOnce(true);
        start->setFrame(Rect(20, 20, 100, 80));
        start->setBackgroundColor(Qt::red);
        end->setFrame(Rect(220, 120, 160, 120));
        end->setBackgroundColor(Qt::blue);
        end->setHidden(true);
        host->layer()->addSublayer(start);
        host->layer()->addSublayer(end);
    }

    void step(double seconds)
    {
        clock.advance(seconds);
        QApplication::processEvents();
    }
    void turns(int count)
    {
        for (int i = 0; i < count; ++i)
            step(0);
    }
};

TEST(OVAnimator, CopiesMoveAndCrossFadeThenEverythingIsGivenBack)
{
    Transition t;
    Closing closing;
    t.window.setDelegate(&closing);
    t.start->setOpacity(0.5);
    auto animator = OVAnimator::create();
    std::weak_ptr<OVAnimator> weak = animator;
    animator->setHideLayers({t.start});
    animator->recordStartLayers({}, t.host);
    EXPECT_FALSE(animator->animationView()) << "an empty group records nothing";
    animator->recordStartLayers({t.start}, t.host);
    ASSERT_TRUE(animator->animationView());
    EXPECT_EQ(animator->baseLayers().front()->opacity(), 0) << "the snapshots wait, invisible";
    bool completed = false;
    OVAnimator* recorder = animator.get();
    animator->animateWithEndStateBlock(
        [&] {
            const pf::Transaction::Scope atOnce(true);
            t.end->setHidden(false);
            recorder->recordEndLayers({t.end}, t.host);
        },
        [&] { completed = true; });
    animator.reset(); // the animator holds itself
    ASSERT_FALSE(weak.expired());
    t.turns(2);
    auto running = weak.lock();
    ASSERT_TRUE(running);
    EXPECT_EQ(t.start->opacity(), 0) << "hidden while the copies stand in";
    EXPECT_EQ(running->lastDuration(), 1.0);
    EXPECT_EQ(t.window.delegate(), running.get());

    // Halfway the copy lies between the two frames and shows both snapshots.
    t.step(0.5);
    const Layer& copy = *running->layerGroups().front().front();
    const pf::Rect halfway = copy.presentationState().bounds;
    EXPECT_GT(halfway.width(), 105);
    EXPECT_LT(halfway.width(), 155);
    const QImage overlay = running->animationView()->snapshot(1);
    const QColor mid = overlay.pixelColor(int(copy.presentationState().position.x),
                                          overlay.height() - 1 - int(copy.presentationState().position.y));
    EXPECT_GT(mid.red(), 40) << "the start snapshot fades out";
    EXPECT_GT(mid.blue(), 40) << "as the end snapshot fades in";

    // The close during the animation still asks the real delegate.
    t.window.performClose();
    EXPECT_EQ(closing.asked, 1);
    EXPECT_TRUE(t.window.isVisible());
    running.reset();

    t.step(0.6);
    t.turns(2);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(weak.expired()) << "let go once finished";
    EXPECT_EQ(t.window.delegate(), &closing) << "the delegate is given back";
    EXPECT_EQ(t.start->opacity(), 0.5) << "each hidden layer gets its own opacity back";
    t.window.setDelegate(nullptr);
}

TEST(OVAnimator, KeepsTheWindowSizeAndWarnsWhenItsDelegateWasReplaced)
{
    Transition t;
    auto animator = OVAnimator::create();
    animator->recordStartLayers({t.start}, t.host);
    animator->animateWithEndStateBlock(nullptr, nullptr); // missing blocks do nothing
    t.turns(1);
    const QSize before = t.window.size();
    t.window.resize(before.width() + 50, before.height() + 40);
    EXPECT_EQ(t.window.size(), before);
    Closing other;
    t.window.setDelegate(&other);
    pf::LogCapture log;
    t.step(0);
    t.step(1.1);
    t.turns(2);
    EXPECT_FALSE(animator->isRunning());
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Window delegate was changed during animation")));
    EXPECT_EQ(t.window.delegate(), &other);
    t.window.setDelegate(nullptr);
}

TEST(OVAnimator, AnimatesOnlyMatchedPairs)
{
    Transition t;
    auto second = Layer::create();
    {
        const pf::Transaction::Scope atOnce(true);
        second->setFrame(Rect(200, 20, 50, 50));
        t.host->layer()->addSublayer(second);
    }
    auto animator = OVAnimator::create();
    animator->recordStartLayers({t.start, second}, t.host);
    animator->recordStartLayers({second}, t.host);
    pf::LogCapture log;
    bool completed = false;
    // One end group for two start groups, and it holds fewer layers than its start group.
    animator->animateWithEndStateBlock([&] { animator->recordEndLayers({t.end}, t.host); },
                                       [&] { completed = true; });
    t.turns(2);
    t.step(1.1);
    t.turns(2);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(log.contains(QStringLiteral("only matching pairs animate")));
    EXPECT_EQ(animator->layerGroups()[0][1]->bounds().size, pf::Size(50, 50)) << "the unmatched copy stays";
}

// The window's own delegate destroyed while the animator stands in for it: the window is given none back,
// and nothing is passed on to it meanwhile. An end-state block that closes and destroys the window ends
// the animation there.
TEST(OVAnimator, ADelegateDestroyedDuringTheTransitionIsNotHandedBack)
{
    struct Counting : pf::WindowDelegate
    {
        int* moves;
        explicit Counting(int* counter) : moves(counter) {}
        void windowDidMove(pf::Window*) override { ++*moves; }
    };
    for (const bool destroyedBeforeTheEndState : {true, false}) {
        SCOPED_TRACE(destroyedBeforeTheEndState);
        Transition t;
        int moves = 0;
        auto own = std::make_unique<Counting>(&moves);
        t.window.setDelegate(own.get());
        auto animator = OVAnimator::create();
        animator->recordStartLayers({t.start}, t.host);
        animator->animateWithEndStateBlock([&] { own.reset(); }, nullptr);
        if (destroyedBeforeTheEndState)
            own.reset();
        t.turns(2);
        t.window.setFrameOrigin(Point(130, 140));
        t.step(1.1);
        t.turns(2);
        EXPECT_FALSE(animator->isRunning());
        EXPECT_EQ(t.window.delegate(), nullptr);
        EXPECT_EQ(moves, 0);
    }

    Transition t;
    auto* other = new pf::Window(Rect(150, 150, 300, 200));
    auto* host = new pf::LayerHostView(Rect(0, 0, 300, 200));
    other->contentView()->addSubview(host);
    other->show();
    auto tile = Layer::create();
    {
        const pf::Transaction::Scope atOnce(true);
        tile->setFrame(Rect(10, 10, 50, 50));
        host->layer()->addSublayer(tile);
    }
    auto animator = OVAnimator::create();
    animator->recordStartLayers({tile}, host);
    bool completed = false;
    animator->animateWithEndStateBlock([&] { delete other; }, [&] { completed = true; });
    t.turns(3);
    t.step(1.1);
    t.turns(2);
    EXPECT_TRUE(completed);
    EXPECT_FALSE(animator->isRunning());
}

TEST(OVAnimator, AWindowDestroyedMidwayEndsTheAnimation)
{
    auto t = std::make_unique<Transition>();
    auto animator = OVAnimator::create();
    animator->recordStartLayers({t->start}, t->host);
    bool completed = false;
    animator->animateWithEndStateBlock(nullptr, [&] { completed = true; });
    t->turns(1);
    t.reset(); // the window goes while the animation waits
    EXPECT_TRUE(completed);
    EXPECT_FALSE(animator->isRunning());
}

} // namespace
