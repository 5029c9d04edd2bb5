#include "Classes/Editor/GMEffectIconView.h"
#include "Classes/Editor/OVStepScroller.h"
#include "Classes/Editor/OVStepScrollerDelegate.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <gtest/gtest.h>

using pf::Event;
using pf::EventType;
using pf::Point;
using pf::Rect;

namespace {

struct Recorder : OVStepScrollerDelegate
{
    std::vector<int> indexes;
    std::vector<double> positions;
    std::vector<qint64> hovers;
    void scrollerDidChangePosition(OVStepScroller*, double position) override
    {
        positions.push_back(position);
    }
    void scrollerDidChangeIndex(OVStepScroller*, int index) override { indexes.push_back(index); }
    void scrollerDidChangeHover(OVStepScroller*, qint64 index) override { hovers.push_back(index); }
};

class StepScroller : public ::testing::Test
{
protected:
    // A regular scroller 414 wide: a track of 400 points.
    OVStepScroller* make(int steps, bool reversed = false, double width = 414)
    {
        auto* scroller = new OVStepScroller(Rect(0, 0, width, 36));
        window.contentView()->addSubview(scroller);
        scroller->setReversedOrder(reversed);
        for (int i = 0; i < steps; ++i)
            scroller->insertStepWithName(QStringLiteral("Step %1").arg(i), i);
        scroller->setDelegate(&recorder);
        clock.advance(1); // the knob's moves so far have ended
        return scroller;
    }
    Event mouse(EventType type, double x, int clicks = 1)
    {
        return Event::mouseEvent(type, Point(x, 18), 0, clock.now(), &window, clicks);
    }
    Event wheel(double pixels)
    {
        return Event::scrollEvent(Point(100, 18), 0, clock.now(), &window, pixels, 0, false);
    }

    pf::SteppedClock clock;
    pf::Window window{Rect(0, 0, 600, 100)};
    Recorder recorder;
};

TEST(BrowserArtwork, EveryImageTheBrowsersUseLoadsAtBothScales)
{
    QStringList names = OVStepScroller::imageNames();
    names << GMEffectIconView::separatorImageName();
    for (const QString& name : names)
        for (double scale : {1.0, 2.0}) {
            const QImage image = pf::NamedImage::image(name, scale, pf::Bundle::main());
            EXPECT_FALSE(image.isNull()) << qPrintable(name) << " at " << scale;
            EXPECT_EQ(image.devicePixelRatio(), scale) << qPrintable(name);
        }
    // The copy button's skin.
    OVButton button;
    button.setName(QStringLiteral("StepScrollerTab"));
    EXPECT_TRUE(button.leftImages(false) && button.midImages(false) && button.rightImages(false));
}

TEST_F(StepScroller, SizeComesFromTheHeightAskedFor)
{
    auto* small = new OVStepScroller(Rect(0, 0, 300, 20));
    EXPECT_EQ(small->controlSize(), OVStepScroller::Small);
    EXPECT_EQ(small->frame().height(), 8.0);
    EXPECT_EQ(small->shadowSize(), 0.0);
    auto* regular = new OVStepScroller(Rect(0, 0, 20, 25));
    EXPECT_EQ(regular->controlSize(), OVStepScroller::Regular);
    EXPECT_EQ(regular->frame().height(), 36.0);
    EXPECT_EQ(regular->frame().width(), OVStepScroller::minWidthForHeight(36)); // 97
    delete small;
    delete regular;
}

TEST_F(StepScroller, TheKnobNeverGetsNarrowerThanItsTwoCaps)
{
    const QImage cap = pf::NamedImage::image(QStringLiteral("ScrollerKnobLeft.png"));
    ASSERT_FALSE(cap.isNull());
    const double caps = 2 * cap.width() / cap.devicePixelRatio();
    OVStepScroller* scroller = make(0);
    for (int steps : {1, 2, 5, 40, 200}) {
        SCOPED_TRACE(steps);
        scroller->insertStepWithName(QString(), 0);
        while (scroller->numberOfSteps() < steps)
            scroller->insertStepWithName(QStringLiteral("x"), scroller->numberOfSteps());
        clock.advance(1);
        EXPECT_DOUBLE_EQ(scroller->knobProportion(), 1.0 / steps);
        EXPECT_GE(scroller->knobWidth(), caps - 1e-9);
        EXPECT_NEAR(scroller->knobView()->frame().width(), std::max(caps, 400.0 / steps), 1e-6);
        scroller->disableSteps();
    }
    // One step: the knob fills the track at position 0.
    scroller->insertStepWithName(QStringLiteral("only"), 0);
    EXPECT_EQ(scroller->position(), 0.0);
    EXPECT_DOUBLE_EQ(scroller->knobWidth(), 400.0);
}

TEST_F(StepScroller, ReversedOrderMapsInsertionHoverAndSegments)
{
    OVStepScroller* scroller = make(0, true);
    // Inserting at i puts the name at slot n - 1 - i of the new count.
    scroller->insertStepWithName(QStringLiteral("Original"), 0);
    scroller->insertStepWithName(QStringLiteral("Skin"), 1);
    scroller->insertStepWithName(QStringLiteral("Eyes"), 2);
    scroller->insertStepWithName(QStringLiteral("Teeth"), 1);
    EXPECT_EQ(scroller->names(), (QStringList{"Eyes", "Skin", "Teeth", "Original"}));
    // Step 0 is the rightmost segment; each segment is 100 points of the 400-point track.
    for (int step = 0; step < 4; ++step)
        EXPECT_EQ(scroller->frameForSegment(step), Rect(7 + (3 - step) * 100, 7, 100, 22)) << step;
    // Hover by the same mapping, by the segments' width.
    recorder.hovers.clear();
    for (double x : {20.0, 120.0, 250.0, 390.0})
        scroller->mouseMoved(mouse(EventType::MouseMoved, x));
    scroller->mouseExited(
        Event::enterExitEvent(EventType::MouseExited, Point(500, 18), 0, clock.now(), &window, nullptr));
    EXPECT_EQ(recorder.hovers, (std::vector<qint64>{3, 2, 1, 0, OVStepScroller::NotFound}));
    // Selecting step 0 puts the knob at the right end.
    scroller->selectStepAtIndex(0);
    EXPECT_EQ(scroller->position(), 1.0);
    EXPECT_EQ(scroller->currentIndex(), 0);
    EXPECT_EQ(scroller->orderedCurrentIndex(), 3);
}

TEST_F(StepScroller, HoverFindsTheStepUnderThePointerWhenTheKnobIsWiderThanASegment)
{
    // Forty steps of 10 points: the knob, never narrower than its caps, is wider than a segment.
    OVStepScroller* scroller = make(40);
    ASSERT_GT(scroller->knobWidth(), scroller->segmentWidth());
    for (int step : {0, 7, 25, 39}) {
        scroller->mouseMoved(mouse(EventType::MouseMoved, 7 + step * 10 + 5));
        EXPECT_EQ(scroller->hoveredIndex(), step);
    }
}

TEST_F(StepScroller, OnlyTheUsersInputIsReportedAndLettingGoSnapsOntoAStep)
{
    // Five steps: positions 0, 0.25, 0.5, 0.75, 1; a knob of 80 points leaves 320 to move in.
    OVStepScroller* scroller = make(5);
    scroller->selectStepAtIndex(2);
    scroller->setPosition(0.75);
    EXPECT_TRUE(recorder.indexes.empty());
    EXPECT_TRUE(recorder.positions.empty());
    scroller->setPosition(0);
    clock.advance(1);

    // A drag of 130 points: steps 1 and 2 are passed, each reported once, every move reported.
    scroller->mouseDown(mouse(EventType::LeftMouseDown, 40)); // on the knob: no jump
    for (double x = 40; x < 170; x += 13)
        scroller->mouseDragged(mouse(EventType::LeftMouseDragged, x + 13));
    EXPECT_EQ(recorder.indexes, (std::vector<int>{1, 2}));
    EXPECT_EQ(recorder.positions.size(), 10u);
    EXPECT_NEAR(scroller->position(), 130.0 / 320, 1e-9);
    // Letting go snaps to the nearest step (0.406 -> 0.5), which is step 2 already: no new index.
    scroller->mouseUp(mouse(EventType::LeftMouseUp, 170));
    EXPECT_DOUBLE_EQ(scroller->position(), 0.5);
    EXPECT_EQ(recorder.indexes, (std::vector<int>{1, 2}));

    // A click beside the knob jumps down to the step left of the pointer.
    recorder.indexes.clear();
    scroller->mouseDown(mouse(EventType::LeftMouseDown, 7 + 320 * 0.9));
    scroller->mouseUp(mouse(EventType::LeftMouseUp, 7 + 320 * 0.9));
    EXPECT_DOUBLE_EQ(scroller->position(), 0.75);
    EXPECT_EQ(recorder.indexes, (std::vector<int>{3}));

    // The wheel moves freely; 0.2 s after the last notch the knob snaps and reports the step.
    recorder.indexes.clear();
    scroller->scrollWheel(wheel(4)); // 40 points to the left
    scroller->scrollWheel(wheel(4));
    clock.advance(0.15);
    EXPECT_NEAR(scroller->position(), 0.75 - 80.0 / 320, 1e-9);
    scroller->scrollWheel(wheel(1));
    clock.advance(0.15);
    EXPECT_NEAR(scroller->position(), 0.75 - 90.0 / 320, 1e-9);
    EXPECT_EQ(recorder.indexes, (std::vector<int>{2}));
    clock.advance(0.1);
    EXPECT_DOUBLE_EQ(scroller->position(), 0.5);
    EXPECT_EQ(recorder.indexes, (std::vector<int>{2}));
}

TEST_F(StepScroller, SmallMovesAreNotAnimated)
{
    OVStepScroller* scroller = make(0);
    scroller->disableSteps();
    const int before = pf::ViewAnimator::runningCount();
    scroller->setPosition(3.0 / 400); // under 4 points of the movable width
    EXPECT_EQ(pf::ViewAnimator::runningCount(), before);
    scroller->setPosition(0.5);
    EXPECT_EQ(pf::ViewAnimator::runningCount(), before + 1);
}

TEST_F(StepScroller, OutOfRangeIndexesAreRefusedWithAWarning)
{
    OVStepScroller* scroller = make(3);
    scroller->selectStepAtIndex(2);
    clock.advance(1);
    pf::LogCapture log;
    scroller->removeStepAtIndex(3);
    scroller->selectStepAtIndex(7);
    EXPECT_EQ(
        log.lines(),
        (QStringList{"Warning: Trying to remove Step Name at index 3, even though there are only 3 steps",
                     "Warning: Trying to select StepScroller index 7 greater then max index 2"}));
    EXPECT_EQ(scroller->numberOfSteps(), 3);
    log.clear();
    // Removing the current step, the highest: the re-rounded knob stays, nothing is reported.
    scroller->removeStepAtIndex(2);
    EXPECT_TRUE(log.contains(QStringLiteral("greater then max index 1")));
    EXPECT_EQ(scroller->position(), 1.0);
    EXPECT_TRUE(recorder.indexes.empty());
}

} // namespace
