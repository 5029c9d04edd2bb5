#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVButtonTarget.h"
#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Framework/Toolkit/OVHintController.h"
#include "Classes/Framework/Toolkit/OVToolTipController.h"
#include "Platform/UI/CursorStack.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"

#include <QCoreApplication>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

using pf::EventType;
using pf::Point;
using pf::Rect;

struct Recorder : QObject, OVButtonTarget
{
    QStringList log;
    void buttonHovered(OVButton*, bool hovered) override { log << (hovered ? "hover+" : "hover-"); }
};

// A shown window with a hint line and one button in it, driven by synthesised events.
class ButtonHarness
{
public:
    ButtonHarness()
    {
        window.contentView()->addSubview(button);
        OVHintController::addHintControllerForWindow(&window, &hintLine);
        button->setTarget(&target);
        button->setHint(QStringLiteral("Apply the effect"));
        button->setAction([this](OVButton* b) { target.log << (b->state() ? "action on" : "action"); });
        window.show();
    }

    void perform(const QString& step)
    {
        // The event loop turns between the user's steps (a hover the button learns of inside an event
        // Qt delivers reaches the target then).
        QCoreApplication::sendPostedEvents();
        const Point inside(100, 65), outside(300, 250);
        auto mouse = [&](EventType type, Point at) {
            button->deliverMouseEvent(pf::Event::mouseEvent(type, at, 0, clock.now(), &window));
        };
        if (step == "enter")
            button->dispatch(
                pf::Event::enterExitEvent(EventType::MouseEntered, inside, 0, clock.now(), &window, nullptr));
        else if (step == "exit")
            button->dispatch(
                pf::Event::enterExitEvent(EventType::MouseExited, outside, 0, clock.now(), &window, nullptr));
        else if (step == "down")
            mouse(EventType::LeftMouseDown, inside);
        else if (step == "drag out")
            mouse(EventType::LeftMouseDragged, outside);
        else if (step == "drag in")
            mouse(EventType::LeftMouseDragged, inside);
        else if (step == "up in")
            mouse(EventType::LeftMouseUp, inside);
        else if (step == "up out")
            mouse(EventType::LeftMouseUp, outside);
        else if (step == "disable")
            button->setEnabled(false);
        else if (step == "enable")
            button->setEnabled(true);
        else if (step == "on")
            button->setState(true);
        else
            ADD_FAILURE() << "no step " << step.toStdString();
    }

    bool cursorPushed() const
    {
        OVCursorStack* stack = OVCursorStack::cursorStackForWindow(&window);
        if (!stack)
            return false;
        const auto keys = stack->keys();
        return std::find(keys.begin(), keys.end(), pf::CursorStack::key(button)) != keys.end();
    }

    pf::SteppedClock clock;
    pf::Window window{Rect(100, 100, 400, 300)};
    QLabel hintLine;
    Recorder target;
    OVButton* button = new OVButton(Rect(50, 50, 100, 30));
};

// The state table: each step's resulting state, and at the end the target's record, the hint line and
// the pointing hand on the cursor stack (both present exactly while the button is hovered or pressed).
TEST(OVButtonStates, FollowThePointerAndClickOnce)
{
    const struct
    {
        const char* name;
        bool isSwitch;
        std::vector<std::pair<const char*, int>> steps;
        QStringList log;
    } cases[] = {
        {"hover and leave", false, {{"enter", 2}, {"exit", 1}}, {"hover+", "hover-"}},
        {"press, drag out, drag back in, release",
         false,
         {{"enter", 2}, {"down", 3}, {"drag out", 1}, {"drag in", 3}, {"up in", 2}},
         {"hover+", "hover-", "hover+", "action"}},
        {"release outside: no action, normal without an exit",
         false,
         {{"enter", 2}, {"down", 3}, {"drag out", 1}, {"up out", 1}},
         {"hover+", "hover-"}},
        {"a switch flips before its action and ends hovered without a new hover start",
         true,
         {{"enter", 2}, {"down", 3}, {"up in", 2}},
         {"hover+", "hover-", "action on"}},
        {"disabled while hovered, enabled again away from the pointer",
         false,
         {{"enter", 2}, {"disable", 0}, {"down", 0}, {"up in", 0}, {"enable", 1}},
         {"hover+", "hover-"}},
        {"switching on keeps the hover", false, {{"enter", 2}, {"on", 2}}, {"hover+"}},
        {"switching on while pressed returns to normal",
         false,
         {{"enter", 2}, {"down", 3}, {"on", 1}},
         {"hover+", "hover-"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ButtonHarness harness;
        harness.button->setIsSwitchButton(c.isSwitch);
        for (const auto& [step, state] : c.steps) {
            harness.perform(QString::fromLatin1(step));
            EXPECT_EQ(harness.button->buttonState(), state) << "after " << step;
        }
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(harness.target.log, c.log);
        const bool active = harness.button->buttonState() > 1;
        EXPECT_EQ(harness.hintLine.text(), active ? QStringLiteral("Apply the effect") : QString());
        EXPECT_EQ(harness.cursorPushed(), active);
    }
}

TEST(OVButtonStates, TooltipsShowAfterARestAndNotAfterLeaving)
{
    ButtonHarness harness;
    OVToolTipController& tips = OVToolTipController::sharedController();
    harness.button->setToolTip(QStringLiteral("Enabled tip"));
    harness.button->setDisabledToolTip(QStringLiteral("Disabled tip"));
    harness.button->setEnabled(false);
    harness.perform("enter");
    harness.clock.advance(0.6);
    EXPECT_FALSE(tips.isShowing());
    harness.clock.advance(0.2);
    ASSERT_TRUE(tips.isShowing());
    EXPECT_EQ(tips.focusView(), harness.button);
    EXPECT_EQ(tips.toolTipLabel()->text(), QStringLiteral("Disabled tip"));
    harness.perform("exit");
    EXPECT_FALSE(tips.isShowing());

    harness.button->setEnabled(true);
    harness.perform("enter");
    harness.clock.advance(0.5);
    harness.perform("exit");
    harness.clock.advance(1);
    EXPECT_FALSE(tips.isShowing());
    // Closing the window while the delay runs cancels the tooltip.
    harness.perform("enter");
    harness.window.close();
    harness.clock.advance(1);
    EXPECT_FALSE(tips.isShowing());
}

TEST(OVButtonStates, ARemoteControlledButtonTracksNothingItself)
{
    ButtonHarness harness;
    harness.button->setIsRemoteControlled(true);
    harness.clock.advance(0);
    EXPECT_TRUE(harness.button->trackingAreas().empty());
    harness.button->setEnabled(false);
    harness.button->setEnabled(true);
    EXPECT_EQ(harness.button->buttonState(), 0);
    harness.button->setButtonState(2);
    EXPECT_EQ(harness.button->buttonState(), 2);
    harness.button->setIsRemoteControlled(false);
    harness.clock.advance(0);
    EXPECT_EQ(harness.button->trackingAreas().size(), 1u);
}

} // namespace
