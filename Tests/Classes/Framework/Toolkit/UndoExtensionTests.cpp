#include "Classes/Framework/Toolkit/UndoManagerORVExtension.h"
#include "Platform/Foundation/KeyValueCoding.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <new>

namespace {

using pf::Point;
using pf::Rect;
namespace Undo = UndoManagerORVExtension;

// An effect whose setter registers its undo through the category, as the framework's effects do.
class Effect : public pf::KeyValueCoding
{
public:
    explicit Effect(pf::UndoManager& manager) : m_manager(&manager) {}
    ~Effect() override { m_manager->removeAllActionsWithTarget(this); }

    QVariant valueForKey(const QString& key) const override { return values.value(key); }
    void setValueForKey(const QVariant& value, const QString& key) override { set(key, value.toDouble()); }

    void set(const QString& key, double value)
    {
        registrations +=
            Undo::registerMouseAwareUndoWithTarget(*m_manager, *this, values.value(key), key, gesture) ? 1
                                                                                                       : 0;
        values.insert(key, value);
    }

    QVariantMap values;
    int registrations = 0;
    bool gesture = false;

private:
    pf::UndoManager* m_manager;
};

// A slider: every drag step changes the effect's keys.
class Slider : public pf::View
{
public:
    using View::View;
    std::function<void()> onDrag;
    void mouseDown(const pf::Event&) override {}
    void mouseDragged(const pf::Event&) override { onDrag(); }
};

class MouseAwareUndo : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pf::Event::setPressedMouseButtonsProvider([this] { return buttons; });
        effect.values = {{"radius", 10.0}, {"amount", 0.5}};
        other.values = {{"radius", 3.0}};
    }
    void TearDown() override
    {
        pf::Event::setPressedMouseButtonsProvider(nullptr);
        Undo::gestureEndedFor(effect);
        Undo::gestureEndedFor(other);
    }
    // Ends the undo manager's grouping by event loop turn.
    void endTurn() { QCoreApplication::processEvents(); }

    // Presses in a real window, drags `steps` times (each step running `step`) and releases.
    void drag(int steps, const std::function<void(int)>& step)
    {
        pf::Window window(Rect(100, 100, 300, 200));
        auto* slider = new Slider(Rect(20, 20, 260, 40));
        window.contentView()->addSubview(slider);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        int i = 0;
        slider->onDrag = [&] { step(i++); };
        const QPoint start = slider->mapTo(&window, slider->pointToWidget(Point(10, 20))).toPoint();
        buttons = 1;
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, start);
        for (int n = 1; n <= steps; ++n) {
            QTest::mouseMove(window.windowHandle(), start + QPoint(n * 4 % 240, 0));
            EXPECT_TRUE(Undo::recordingInProgress()) << "step " << n;
        }
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, start + QPoint(40, 0));
        buttons = 0;
        EXPECT_FALSE(Undo::recordingInProgress()) << "the release ends the recording";
    }

    pf::UndoManager manager;
    Effect effect{manager};
    Effect other{manager};
    unsigned buttons = 0;
};

TEST_F(MouseAwareUndo, OneDragIsOneStepHoldingTheValueFromBeforeIt)
{
    drag(50, [&](int i) { effect.set("radius", 11 + i); });
    EXPECT_EQ(effect.registrations, 1);
    const double last = effect.values["radius"].toDouble();
    EXPECT_GE(last, 60);
    endTurn();
    EXPECT_EQ(manager.undoActionName(), "radius");

    manager.undo();
    EXPECT_EQ(effect.values["radius"].toDouble(), 10);
    ASSERT_TRUE(manager.canRedo()) << "the setter's own registration during the undo is the redo";
    EXPECT_EQ(manager.redoActionName(), "radius");
    manager.redo();
    EXPECT_EQ(effect.values["radius"].toDouble(), last);
    manager.undo();
    EXPECT_EQ(effect.values["radius"].toDouble(), 10);
    EXPECT_FALSE(manager.canUndo());
}

TEST_F(MouseAwareUndo, TwoKeysOfOneDragRegisterOnceEachInOneStepNamedAfterTheFirst)
{
    drag(20, [&](int i) {
        effect.set("amount", 0.6 + i / 100.0);
        effect.set("radius", 20 + i);
    });
    EXPECT_EQ(effect.registrations, 2);
    endTurn();
    EXPECT_EQ(manager.undoActionName(), "amount") << "a later key does not rename the step";
    manager.undo();
    EXPECT_EQ(effect.values["radius"].toDouble(), 10);
    EXPECT_DOUBLE_EQ(effect.values["amount"].toDouble(), 0.5);
    EXPECT_FALSE(manager.canUndo());
}

TEST_F(MouseAwareUndo, RecordingFollowsButtonsGesturesAndTargets)
{
    // From the keyboard (no button, no gesture) every change registers.
    for (int i = 0; i < 3; ++i)
        effect.set("radius", 20 + i);
    EXPECT_EQ(effect.registrations, 3);
    EXPECT_FALSE(Undo::recordingInProgress());

    // A gesture without a button records until it ends for its own target.
    effect.gesture = true;
    effect.set("radius", 30);
    effect.set("radius", 31);
    EXPECT_EQ(effect.registrations, 4);
    EXPECT_FALSE(Undo::recordingInProgress()) << "no mouse monitor for a gesture";
    Undo::gestureEndedFor(other);
    effect.set("radius", 32);
    EXPECT_EQ(effect.registrations, 4) << "another target's end leaves the recording open";
    Undo::gestureEndedFor(effect);
    effect.set("radius", 33);
    EXPECT_EQ(effect.registrations, 5);
    effect.gesture = false;
    Undo::gestureEndedFor(effect);

    // With the button down, a change of another target ends the recording and starts its own.
    buttons = 1;
    effect.set("radius", 40);
    other.set("radius", 4);
    effect.set("radius", 41);
    other.set("radius", 5);
    EXPECT_EQ(effect.registrations, 7);
    EXPECT_EQ(other.registrations, 2);
    EXPECT_TRUE(Undo::recordingInProgress());

    // Losing the focus stands for a release outside our windows.
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(Undo::recordingInProgress());
    other.set("radius", 6);
    EXPECT_EQ(other.registrations, 3);
}

TEST_F(MouseAwareUndo, ANewObjectAtADestroyedTargetsAddressRecordsAfresh)
{
    buttons = 1;
    alignas(Effect) unsigned char storage[sizeof(Effect)];
    auto* first = new (storage) Effect(manager);
    first->values = {{"radius", 1.0}};
    first->set("radius", 2);
    first->~Effect();
    auto* second = new (storage) Effect(manager); // the very same address
    second->values = {{"radius", 7.0}};
    second->set("radius", 8);
    EXPECT_EQ(second->registrations, 1);
    endTurn();
    manager.undo();
    EXPECT_EQ(second->values["radius"].toDouble(), 7);
    Undo::gestureEndedFor(*second);
    second->~Effect();
}

TEST(SelectorUndo, NamesTheStepAfterTheTranslatedSelector)
{
    struct Case
    {
        const char* selector;
        const char* name;
    };
    pf::Localization::setLanguageForTesting(QStringLiteral("de"));
    for (const Case& c : {Case{"setFrame:", "Rahmen wählen"}, Case{"setCatalog:", "setCatalog:"}}) {
        pf::UndoManager manager;
        int target = 0;
        int undone = 0;
        Undo::registerUndoWithTarget(manager, &target, QString::fromUtf8(c.selector), [&] { ++undone; });
        EXPECT_EQ(manager.undoActionName(), QString::fromUtf8(c.name));
        QCoreApplication::processEvents();
        manager.undo();
        EXPECT_EQ(undone, 1);
    }
    pf::Localization::setLanguageForTesting(QStringLiteral("en"));
}

} // namespace
