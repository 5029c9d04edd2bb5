#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UndoManager.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The classic client: each change registers its own inverse, so undo and redo keep cycling.
struct Model
{
    pf::UndoManager& manager;
    int value = 0;
    QString nameDuringUndo;

    void setValue(int newValue)
    {
        const int old = value;
        manager.registerUndo(this, [this, old] {
            setValue(old);
            if (!nameDuringUndo.isEmpty())
                manager.setActionName(nameDuringUndo);
        });
        value = newValue;
    }
};

class UndoManagerTest : public ::testing::Test
{
protected:
    UndoManagerTest() { manager.setGroupsByEvent(false); }

    void step(std::initializer_list<int> values, const QString& name = {})
    {
        manager.beginUndoGrouping();
        for (int v : values)
            model.setValue(v);
        if (!name.isEmpty())
            manager.setActionName(name);
        manager.endUndoGrouping();
    }

    pf::UndoManager manager;
    Model model{manager};
};

TEST_F(UndoManagerTest, UndoAndRedoCycleThroughStepsInReverseOrder)
{
    step({1, 2});
    step({3});
    manager.undo();
    EXPECT_EQ(model.value, 2);
    manager.undo();
    EXPECT_EQ(model.value, 0); // both actions of the step, newest first
    EXPECT_FALSE(manager.canUndo());
    EXPECT_TRUE(manager.canRedo());
    manager.undo(); // nothing left: no effect
    EXPECT_EQ(model.value, 0);

    manager.redo();
    EXPECT_EQ(model.value, 2);
    manager.redo();
    EXPECT_EQ(model.value, 3);
    EXPECT_FALSE(manager.canRedo());
    manager.undo();
    manager.undo();
    EXPECT_EQ(model.value, 0);
    manager.redo();
    EXPECT_EQ(model.value, 2);
    EXPECT_TRUE(manager.canUndo());
    EXPECT_TRUE(manager.canRedo());
}

TEST_F(UndoManagerTest, NestedGroupsFormOneStepAndEmptyGroupsVanish)
{
    QStringList ran;
    auto record = [&](const QString& name) { manager.registerUndo(this, [&ran, name] { ran << name; }); };
    manager.beginUndoGrouping();
    record("a");
    manager.beginUndoGrouping();
    EXPECT_EQ(manager.groupingLevel(), 2);
    record("b");
    record("c");
    manager.endUndoGrouping();
    record("d");
    manager.beginUndoGrouping();
    manager.endUndoGrouping();
    manager.endUndoGrouping();
    EXPECT_EQ(manager.groupingLevel(), 0);

    manager.beginUndoGrouping();
    manager.beginUndoGrouping();
    manager.endUndoGrouping();
    manager.endUndoGrouping();

    manager.undo();
    EXPECT_EQ(ran, (QStringList{"d", "c", "b", "a"}));
    EXPECT_FALSE(manager.canUndo());
}

TEST_F(UndoManagerTest, RedoStackSurvivesRedoingButNotANewChange)
{
    step({1});
    step({2});
    manager.undo();
    manager.undo();
    manager.redo(); // re-registers its inverse on the undo stack
    EXPECT_TRUE(manager.canRedo());
    manager.undo();
    manager.redo();
    manager.redo();
    EXPECT_EQ(model.value, 2);

    manager.undo();
    step({5});
    EXPECT_FALSE(manager.canRedo());
    manager.undo();
    EXPECT_EQ(model.value, 1);
}

TEST_F(UndoManagerTest, ActionNamesStayWithTheirSteps)
{
    EXPECT_EQ(manager.undoMenuItemTitle(), "Undo");
    step({1}, "Move");
    step({2});
    manager.setActionName("Resize"); // no group open: names the latest step
    EXPECT_EQ(manager.undoActionName(), "Resize");
    EXPECT_EQ(manager.undoMenuItemTitle(), "Undo Resize");
    EXPECT_EQ(manager.redoMenuItemTitle(), "Redo");

    manager.undo();
    EXPECT_EQ(manager.undoActionName(), "Move");
    EXPECT_EQ(manager.redoActionName(), "Resize");
    manager.undo();
    EXPECT_EQ(manager.redoMenuItemTitle(), "Redo Move");
    manager.redo();
    EXPECT_EQ(manager.undoActionName(), "Move");
    EXPECT_EQ(manager.redoActionName(), "Resize");

    // A name set while undoing goes to the step being built on the redo stack.
    model.nameDuringUndo = "Renamed";
    manager.undo();
    EXPECT_EQ(manager.redoActionName(), "Renamed");

    // While registration is disabled nothing is recorded, so nothing may be renamed.
    manager.disableUndoRegistration();
    manager.setActionName("Ignored");
    manager.enableUndoRegistration();
    EXPECT_EQ(manager.undoActionName(), "");
    step({7}, "Paint");
    EXPECT_EQ(manager.undoActionName(), "Paint");
}

TEST_F(UndoManagerTest, LevelsDropTheOldestStepsOnBothStacks)
{
    manager.setLevelsOfUndo(2);
    step({1});
    step({2});
    step({3});
    manager.undo();
    manager.undo();
    EXPECT_FALSE(manager.canUndo());
    EXPECT_EQ(model.value, 1);

    manager.setLevelsOfUndo(1);
    manager.redo();
    EXPECT_FALSE(manager.canRedo()); // the step for 3 was dropped
    EXPECT_EQ(model.value, 2);
}

TEST_F(UndoManagerTest, DisabledRegistrationIsIgnoredAndNests)
{
    manager.disableUndoRegistration();
    manager.disableUndoRegistration();
    model.setValue(1); // no group open, yet no complaint: the registration is ignored
    manager.enableUndoRegistration();
    EXPECT_FALSE(manager.isUndoRegistrationEnabled());
    step({2});
    EXPECT_FALSE(manager.canUndo());
    manager.enableUndoRegistration();
    EXPECT_TRUE(manager.isUndoRegistrationEnabled());
    step({3});
    manager.undo();
    EXPECT_EQ(model.value, 2);
}

TEST_F(UndoManagerTest, RemovingATargetsActionsKeepsTheOthers)
{
    QStringList ran;
    int a = 0;
    int b = 0;
    auto record = [&](const void* target, const QString& name) {
        manager.registerUndo(target, [&ran, name] { ran << name; });
    };
    manager.beginUndoGrouping();
    record(&a, "a1");
    manager.endUndoGrouping();
    manager.beginUndoGrouping();
    record(&a, "a2");
    manager.beginUndoGrouping();
    record(&b, "b2");
    manager.endUndoGrouping();
    manager.endUndoGrouping();
    manager.beginUndoGrouping();
    record(&b, "b3");
    manager.endUndoGrouping();
    manager.undo(); // b3 moves to the redo stack (it registers nothing back)

    manager.removeAllActionsWithTarget(&a);
    manager.undo();
    EXPECT_EQ(ran, (QStringList{"b3", "b2"}));
    EXPECT_FALSE(manager.canUndo()); // the step holding only a1 is gone

    manager.beginUndoGrouping();
    record(&a, "a4");
    manager.endUndoGrouping();
    manager.removeAllActions();
    EXPECT_FALSE(manager.canUndo());
    EXPECT_FALSE(manager.canRedo());
}

TEST_F(UndoManagerTest, ActionsOfATargetRemovedDuringUndoAreSkipped)
{
    // An undo that deletes an object, whose destructor removes its actions: the object's actions
    // still pending in the same step must not run on it.
    QStringList ran;
    int object = 0;
    int owner = 0;
    manager.beginUndoGrouping();
    manager.registerUndo(&object, [&] { ran << "object"; });
    manager.registerUndo(&owner, [&] {
        ran << "delete object";
        manager.removeAllActionsWithTarget(&object);
    });
    manager.endUndoGrouping();
    manager.undo();
    EXPECT_EQ(ran, (QStringList{"delete object"}));
}

TEST_F(UndoManagerTest, DiscardedActionsMayCallBackWhileBeingDestroyed)
{
    // A closure owning an object whose destructor removes the object's own actions: dropping the
    // closure (redo stack cleared, old steps trimmed, history cleared) re-enters the manager.
    struct Shape
    {
        pf::UndoManager& manager;
        ~Shape() { manager.removeAllActionsWithTarget(this); }
    };
    auto addStepOwningShape = [&] {
        auto shape = std::make_shared<Shape>(Shape{manager});
        manager.beginUndoGrouping();
        manager.registerUndo(shape.get(), [] {});
        manager.registerUndo(&model, [shape] {});
        manager.endUndoGrouping();
    };
    addStepOwningShape();
    addStepOwningShape();
    manager.undo();
    manager.undo();
    step({1}); // clears the redo stack
    EXPECT_FALSE(manager.canRedo());

    manager.setLevelsOfUndo(1);
    addStepOwningShape();
    addStepOwningShape();                       // trims the first
    manager.removeAllActionsWithTarget(&model); // the shape goes, and takes its own action along
    EXPECT_FALSE(manager.canUndo());
    addStepOwningShape();
    manager.removeAllActions();
    EXPECT_FALSE(manager.canUndo());
}

TEST(UndoManagerEventGrouping, ChangesOfOneTurnFormOneStep)
{
    pf::UndoManager manager;
    Model model{manager};
    model.setValue(1);
    model.setValue(2);
    EXPECT_EQ(manager.groupingLevel(), 1);
    EXPECT_TRUE(manager.canUndo()); // the open group already holds actions
    QCoreApplication::processEvents();
    EXPECT_EQ(manager.groupingLevel(), 0);

    model.setValue(3);
    QCoreApplication::processEvents();
    model.setValue(4);
    manager.undo(); // closes the group still open, then undoes it
    EXPECT_EQ(model.value, 3);
    QCoreApplication::processEvents();
    manager.undo();
    EXPECT_EQ(model.value, 2);
    manager.undo();
    EXPECT_EQ(model.value, 0);
}

TEST(UndoManagerEventGrouping, ExplicitGroupsOutliveTheTurn)
{
    pf::UndoManager manager;
    Model model{manager};
    manager.beginUndoGrouping(); // e.g. a drag, from press to release
    model.setValue(1);
    QCoreApplication::processEvents();
    model.setValue(2);
    manager.endUndoGrouping();
    EXPECT_EQ(manager.groupingLevel(), 0);

    // An inner group still open when the turn ends: the automatic group closes once it is.
    model.setValue(3);
    manager.beginUndoGrouping();
    model.setValue(4);
    QCoreApplication::processEvents();
    EXPECT_EQ(manager.groupingLevel(), 2);
    manager.endUndoGrouping();
    QCoreApplication::processEvents();
    EXPECT_EQ(manager.groupingLevel(), 0);

    manager.undo();
    EXPECT_EQ(model.value, 2);
    manager.undo();
    EXPECT_EQ(model.value, 0);
}

TEST(UndoManagerEventGrouping, DestroyingTheManagerCancelsThePendingClose)
{
    auto manager = std::make_unique<pf::UndoManager>();
    manager->registerUndo(nullptr, [] {});
    manager.reset();
    QCoreApplication::processEvents(); // must not touch the destroyed manager
}

TEST(UndoManagerNotifications, ReportGroupsAndChanges)
{
    pf::UndoManager manager;
    manager.setGroupsByEvent(false);
    Model model{manager};
    QStringList posted;
    pf::ObserverToken token = pf::NotificationCenter::defaultCenter().addObserver(
        {}, &manager, [&](const pf::Notification& notification) {
            if (notification.name == pf::UndoManager::CheckpointNotification)
                return;
            posted << notification.name + (manager.isUndoing() ? " (undoing)" : "");
        });

    manager.undo(); // nothing to undo: nothing posted
    manager.beginUndoGrouping();
    manager.beginUndoGrouping();
    manager.endUndoGrouping();
    manager.endUndoGrouping(); // empty: not a change
    manager.beginUndoGrouping();
    model.setValue(1);
    manager.endUndoGrouping();
    manager.undo();
    EXPECT_EQ(posted, (QStringList{"UndoManagerDidOpenUndoGroup", "UndoManagerDidOpenUndoGroup",
                                   "UndoManagerDidOpenUndoGroup", "UndoManagerDidCloseUndoGroup",
                                   "UndoManagerWillUndoChange", "UndoManagerDidOpenUndoGroup (undoing)",
                                   "UndoManagerDidCloseUndoGroup (undoing)", "UndoManagerDidUndoChange"}));
    posted.clear();
    manager.redo();
    EXPECT_EQ(posted, (QStringList{"UndoManagerWillRedoChange", "UndoManagerDidOpenUndoGroup",
                                   "UndoManagerDidCloseUndoGroup", "UndoManagerDidRedoChange"}));
}

TEST(UndoManagerDeathTest, MisuseIsAProgrammerError)
{
    EXPECT_DEATH(
        {
            pf::UndoManager manager;
            manager.endUndoGrouping();
        },
        "no undo group open");
    EXPECT_DEATH(
        {
            pf::UndoManager manager;
            manager.enableUndoRegistration();
        },
        "without a matching disable");
    EXPECT_DEATH(
        {
            pf::UndoManager manager;
            manager.setGroupsByEvent(false);
            manager.registerUndo(nullptr, [] {});
        },
        "no undo group open");
    EXPECT_DEATH(
        {
            pf::UndoManager manager;
            manager.beginUndoGrouping();
            manager.beginUndoGrouping();
            manager.undo();
        },
        "undo group open");
}

} // namespace
