// Deleting from inside a call out: every control and view survives a caller that deletes it (or its owner)
// from its own action, target, delegate report or notification, with real input through Qt and the event
// router, and the window goes on working; and grid items and list entries have one owner at a time.

#include "Classes/Framework/GradientORVExtension.h"
#include "Classes/Framework/Toolkit/OVBasicListEntryView.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVButtonTarget.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVGradientPicker.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Classes/Framework/Toolkit/OVGridViewDelegate.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Framework/Toolkit/OVListViewDelegate.h"
#include "Classes/Framework/Toolkit/OVOpenableListEntryView.h"
#include "Classes/Framework/Toolkit/OVResizeView.h"
#include "Classes/Framework/Toolkit/OVResizeViewDelegate.h"
#include "Classes/Framework/Toolkit/OVRotationView.h"
#include "Classes/Framework/Toolkit/OVRotationViewDelegate.h"
#include "Classes/Framework/Toolkit/OVRowView.h"
#include "Classes/Framework/Toolkit/OVRowViewDelegate.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Classes/Framework/Toolkit/OVStackView.h"
#include "Classes/Framework/Toolkit/OVStackViewDelegate.h"
#include "Classes/Framework/Toolkit/OVTextField.h"
#include "GridTestSupport.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/ColorPanel.h"
#include "Platform/UI/EventRouter.h"
#include "Platform/UI/ScrollView.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using pf::Point;
using pf::Rect;

// Lets every later turn run: posted calls and deletions, the clock's timers and animations.
void settle(ControlsWindow& w)
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w.clock.advance(1);
    }
}

QPoint inWindow(pf::Window& window, const pf::View* view, Point at)
{
    return view->mapTo(&window, view->pointToWidget(at).toPoint());
}

// A press and its release through Qt, and so through the event router, at a point of a view (its own
// y-up coordinates).
void realClick(ControlsWindow& w, const pf::View* view, Point at)
{
    const QPoint point = inWindow(w.window, view, at);
    QTest::mousePress(w.window.windowHandle(), Qt::LeftButton, {}, point);
    QTest::mouseRelease(w.window.windowHandle(), Qt::LeftButton, {}, point);
}

// After a deletion from inside a call out the window still works: a button added now hears its click.
void expectTheWindowStillWorks(ControlsWindow& w)
{
    w.clock.advance(10); // no double click with what came before
    auto* button = new OVButton(Rect(300, 250, 60, 24));
    button->setName(QStringLiteral("DefaultStyle"));
    int clicks = 0;
    button->setAction([&clicks](OVButton*) { ++clicks; });
    w.add(button);
    realClick(w, button, Point(7, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(pf::EventRouter::mouseTarget(), nullptr);
    delete button;
}

struct HoverDeleter : QObject, OVButtonTarget
{
    void buttonHovered(OVButton* button, bool hovered) override
    {
        if (hovered)
            delete button;
    }
};

struct TitleTaker : OVRowViewDelegate
{
    bool rowChangedTitle(OVRowView* row, const QString&) override
    {
        delete row;
        return true;
    }
};

struct RotationDeleter : OVRotationViewDelegate
{
    void rotationViewDidRotate(OVRotationView* view, double, bool inProgress) override
    {
        if (!inProgress)
            delete view;
    }
};

struct ResizeDeleter : OVResizeViewDelegate
{
    void resizeViewDidResize(OVResizeView* view, unsigned, pf::Size, int) override { delete view; }
};

struct StackDeleter : OVStackViewDelegate
{
    void didSelectStackView(OVStackView* stack) override { delete stack; }
};

// What a case leaves: the object that must be gone afterwards, and what the user does.
struct Doomed
{
    QPointer<QObject> object;
    std::function<void()> act;
    std::shared_ptr<void> keep; // delegates that outlive the deletion
};

using Make = std::function<Doomed(ControlsWindow&)>;

OVButton* skinnedButton(const Rect& frame)
{
    auto* button = new OVButton(frame);
    button->setName(QStringLiteral("DefaultStyle"));
    return button;
}

} // namespace

TEST(CallsOut, EveryControlSurvivesBeingDeletedFromItsOwnActionOrReport)
{
    const struct
    {
        const char* name;
        Make make;
    } cases[] = {
        {"a button from its action",
         [](ControlsWindow& w) {
             OVButton* b = skinnedButton(Rect(20, 20, 80, 24));
             w.add(b);
             b->setAction([](OVButton* sender) { delete sender; });
             return Doomed{b, [&w, b] { realClick(w, b, Point(10, 6)); }, nullptr};
         }},
        {"a switch from its action",
         [](ControlsWindow& w) {
             OVButton* b = skinnedButton(Rect(20, 20, 80, 24));
             b->setIsSwitchButton(true);
             w.add(b);
             b->setAction([](OVButton* sender) { delete sender; });
             return Doomed{b, [&w, b] { realClick(w, b, Point(70, 18)); }, nullptr};
         }},
        {"a button's panel from the button's action",
         [](ControlsWindow& w) {
             auto* panel = new pf::View(Rect(10, 10, 200, 100));
             w.add(panel);
             OVButton* b = skinnedButton(Rect(20, 20, 80, 24));
             panel->addSubview(b);
             b->setAction([panel](OVButton*) { delete panel; });
             return Doomed{panel, [&w, b] { realClick(w, b, Point(12, 4)); }, nullptr};
         }},
        {"a button from its target's hover report",
         [](ControlsWindow& w) {
             OVButton* b = skinnedButton(Rect(20, 20, 80, 24));
             auto target = std::make_shared<HoverDeleter>();
             b->setTarget(target.get());
             w.add(b);
             return Doomed{b,
                           [&w, b] {
                               QTest::mouseMove(w.window.windowHandle(),
                                                inWindow(w.window, b, Point(40, 12)));
                               QCoreApplication::processEvents();
                           },
                           target};
         }},
        {"a drag button from its release",
         [](ControlsWindow& w) {
             auto* d = new OVDragButton(Rect(20, 20, 16, 8));
             w.add(d);
             d->setAction([](OVButton* sender) {
                 if (static_cast<OVDragButton*>(sender)->dragState() == OVDragButton::Released)
                     delete sender;
             });
             return Doomed{d, [&w, d] { realClick(w, d, Point(3, 3)); }, nullptr};
         }},
        {"a slider from its action on the press",
         [](ControlsWindow& w) {
             auto* s = new OVSlider(w.window.contentView());
             s->setGeometry(20, 20, 160, 19);
             s->show();
             s->setAction([](OVSlider* slider) { delete slider; });
             return Doomed{s,
                           [&w, s] {
                               const QPoint at = s->mapTo(&w.window, QPoint(110, 9));
                               QTest::mousePress(w.window.windowHandle(), Qt::LeftButton, {}, at);
                               QTest::mouseRelease(w.window.windowHandle(), Qt::LeftButton, {}, at);
                           },
                           nullptr};
         }},
        {"a text field from its action on Return",
         [](ControlsWindow& w) {
             auto* f = new OVTextField(Rect(20, 20, 150, 22));
             f->setEditable(true);
             w.add(f);
             f->setAction([](pf::TextField* field) { delete field; });
             return Doomed{f,
                           [&w, f] {
                               realClick(w, f, Point(30, 8));
                               QLineEdit* editor = f->editor();
                               ASSERT_NE(editor, nullptr);
                               QTest::keyClicks(editor, QStringLiteral("abc"));
                               QTest::keyClick(editor, Qt::Key_Return);
                           },
                           nullptr};
         }},
        {"a row from its delegate taking the edited title",
         [](ControlsWindow& w) {
             auto* row = new OVRowView(false);
             row->setFrame(Rect(20, 100, 300, 58));
             row->setTitle(QStringLiteral("Skin"));
             row->setEditable(true);
             auto taker = std::make_shared<TitleTaker>();
             row->setDelegate(taker.get());
             w.add(row);
             return Doomed{row,
                           [&w, row] {
                               const Point title(row->titleRect().midX() + 20, row->titleRect().midY() - 2);
                               realClick(w, row, title);
                               realClick(w, row, title); // a double click edits
                               ASSERT_TRUE(row->isEditing());
                               QLineEdit* editor = row->editField()->editor();
                               ASSERT_NE(editor, nullptr);
                               QTest::keyClicks(editor, QStringLiteral(" Tone"));
                               QTest::keyClick(editor, Qt::Key_Return);
                           },
                           taker};
         }},
        {"a gradient picker from its action on Delete",
         [](ControlsWindow& w) {
             auto* picker = new OVGradientPicker(Rect(99, 0, 210, 27));
             picker->setGradient(*GradientORVExtension::gradientWithString(
                 QStringLiteral("0 1 1 1 1 0.5 1 0 0 1 1 0 0 0 1")));
             w.add(picker);
             picker->setSelectedIndex(1);
             picker->setAction([](OVColorWell* well) { delete well; });
             return Doomed{picker, [&w, picker] { w.key(picker, pf::KeyCode::Delete); }, nullptr};
         }},
        {"a rotation view from its delegate at the release",
         [](ControlsWindow& w) {
             auto* view = new OVRotationView(Rect(20, 20, 200, 200));
             auto deleter = std::make_shared<RotationDeleter>();
             view->setDelegate(deleter.get());
             w.add(view);
             // On the ring, which alone takes presses.
             return Doomed{view, [&w, view] { realClick(w, view, Point(195, 100)); }, deleter};
         }},
        {"a resize view from its delegate at the press",
         [](ControlsWindow& w) {
             auto* view = new OVResizeView(Rect(20, 20, 200, 150));
             auto deleter = std::make_shared<ResizeDeleter>();
             view->setDelegate(deleter.get());
             w.add(view);
             return Doomed{view, [&w, view] { realClick(w, view, Point(3, 70)); }, deleter};
         }},
        {"a stack view from its delegate at a click on the pile",
         [](ControlsWindow& w) {
             auto* stack = new OVStackView(Rect(0, 0, 400, 300));
             auto deleter = std::make_shared<StackDeleter>();
             stack->setDelegate(deleter.get());
             w.add(stack);
             for (int i = 0; i < 3; ++i)
                 stack->addGridItem(OVGridItem::gridItemWithImage(picture(160, 90), QString::number(i),
                                                                  QString::number(i), 0),
                                    true);
             return Doomed{stack, [&w, stack] { realClick(w, stack, Point(150, stack->trackingTop() - 7)); },
                           deleter};
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ControlsWindow w;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
        w.clock.advance(10);
        Doomed doomed = c.make(w);
        ASSERT_TRUE(doomed.object);
        doomed.act();
        settle(w);
        EXPECT_FALSE(doomed.object) << "the call out deleted it";
        expectTheWindowStillWorks(w);
        for (OVColorWell* well : OVColorWell::activeWells())
            well->deactivate();
        pf::ColorPanel::shared().close();
    }
}

namespace {

// A grid in the window whose delegate deletes it (or empties it) from the report named.
struct GridOwner : OVGridViewDelegate
{
    enum Report
    {
        Remove,
        NothingSelected,
    };
    Report report = Remove;
    bool emptiesInstead = false;
    QPointer<OVGridViewController> grid;

    void act()
    {
        if (!grid)
            return;
        if (emptiesInstead)
            grid->removeAllSections();
        else
            delete grid.data();
    }
    void gridViewRemoveItemWithContext(OVGridViewController*, const QVariant&) override
    {
        if (report == Remove)
            act();
    }
    void gridViewSelectedItemWithContext(OVGridViewController*, const QVariant& context) override
    {
        if (report == NothingSelected && !context.isValid())
            act();
    }
};

struct GridInWindow
{
    ControlsWindow w;
    GridOwner owner;
    QPointer<OVGridViewController> grid = new OVGridViewController(nullptr, 0);
    QList<OVGridItem*> items;

    GridInWindow()
    {
        w.window.setFrame(Rect(100, 100, 500, 300));
        grid->setGridParentView(w.window.contentView());
        grid->setDelegate(&owner);
        owner.grid = grid;
        grid->addSectionWithSettings(OVGridItem::Remove | OVGridItem::Selectable);
        // One row, below which the grid is empty.
        for (int i = 0; i < 2; ++i)
            items << grid->addImage(picture(100, 100), QString::number(i), QString::number(i), i, 0);
        grid->refreshLayout(OVGridViewController::Instant);
        settle(w);
    }
    ~GridInWindow() { delete grid.data(); }
    // A click on an item, away from its buttons, or on its remove button.
    void clickItem(int index, bool removeButton = false)
    {
        OVGridItem* item = items[index];
        const double h = item->bounds().height();
        realClick(w, item, removeButton ? Point(15, h - 15) : Point(60, 30));
        w.clock.advance(10); // no double click with what follows
    }
};

} // namespace

// A grid deleted by its delegate from a report: the remove report, the "nothing selected" report sent when
// the selection moves on, a click on the empty area; and a replacement while the delegate removes every
// section from the "nothing selected" report.
TEST(CallsOut, AGridSurvivesItsDelegateDeletingItFromAReport)
{
    const struct
    {
        const char* name;
        GridOwner::Report report;
        std::function<void(GridInWindow&)> act;
    } cases[] = {
        {"the remove report", GridOwner::Remove, [](GridInWindow& g) { g.clickItem(1, true); }},
        {"nothing selected as the selection moves on", GridOwner::NothingSelected,
         [](GridInWindow& g) {
             g.clickItem(0);
             g.clickItem(1);
         }},
        {"a click on the empty area", GridOwner::NothingSelected,
         [](GridInWindow& g) {
             g.clickItem(0);
             realClick(g.w, g.grid->view(), Point(250, 10));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GridInWindow g;
        g.owner.report = c.report;
        c.act(g);
        settle(g.w);
        EXPECT_FALSE(g.grid);
        expectTheWindowStillWorks(g.w);
    }

    GridInWindow g;
    g.owner.report = GridOwner::NothingSelected;
    g.owner.emptiesInstead = true;
    g.clickItem(1);
    ASSERT_TRUE(g.grid->selectedItem());
    pf::LogCapture log;
    const std::unique_ptr<OVGridItem> refused(OVGridItem::gridItemWithImage(picture(10, 10), "n", "n", 0));
    g.grid->instantReplaceGridItems({refused.get()}, 0);
    EXPECT_EQ(g.grid->sectionCount(), 0u);
    EXPECT_TRUE(log.contains(QStringLiteral("the grid has no section 0")));
    settle(g.w);
}

namespace {

// A list whose delegate deletes it from the report named.
struct ListOwner : OVListViewDelegate
{
    QString report;
    QPointer<OVListView> list;
    void gone(const char* name)
    {
        if (report == QLatin1String(name))
            delete list.data();
    }
    void listViewDidSelectEntry(OVListView*, OVListEntryView* entry) override
    {
        if (entry)
            gone("select");
    }
    std::optional<double> listViewWillResize(OVListView*, double) override
    {
        gone("resize");
        return std::nullopt;
    }
    void listViewShouldShowFrame(OVListView*, const pf::Rect&, const pf::Rect&, bool) override
    {
        gone("frame");
    }
    void listViewDidMoveEntry(OVListView*, OVListEntryView*, unsigned, unsigned) override { gone("move"); }
};

struct ListInWindow
{
    ControlsWindow w;
    pf::UndoManager undo;
    ListOwner owner;
    QPointer<OVListView> list = new OVListView(Rect(0, 0, 360, 300));
    QList<OVListEntryView*> entries;

    ListInWindow()
    {
        w.add(list);
        list->setUndoManager(&undo);
        for (int i = 0; i < 3; ++i) {
            auto* entry =
                new OVOpenableListEntryView(OVListEntryView::RemoveControl | OVListEntryView::DragHandle);
            entry->setTitle(QString::number(i));
            list->addListEntry(entry);
            entries << entry;
        }
        settle(w);
        owner.list = list;
        list->setDelegate(&owner);
    }
};

} // namespace

TEST(CallsOut, AListSurvivesItsDelegateDeletingItFromAReport)
{
    const struct
    {
        const char* report;
        std::function<void(ListInWindow&)> act;
    } cases[] = {
        {"select", [](ListInWindow& l) { l.list->setSelectedEntry(l.entries[1]); }},
        {"select", // a click on an openable entry's row
         [](ListInWindow& l) {
             OVRowView* row = static_cast<OVOpenableListEntryView*>(l.entries[1])->rowView();
             realClick(l.w, row, Point(row->bounds().width() - 30, 8));
         }},
        {"resize", [](ListInWindow& l) { l.list->updateListLayout(OVListView::LayOutNow); }},
        {"frame",
         [](ListInWindow& l) {
             l.owner.report = QString();
             l.list->setSelectedEntry(l.entries[0]);
             l.owner.report = QStringLiteral("frame");
             l.list->updateListLayout(OVListView::AnimateNow);
         }},
        {"move", [](ListInWindow& l) { l.list->moveEntryFrom(0, 2); }},
        {"move", // the drag's reordering
         [](ListInWindow& l) { l.list->dragListEntry(l.entries[2], pf::Size(0, -250), false); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        ListInWindow l;
        l.owner.report = QString::fromLatin1(c.report);
        c.act(l);
        settle(l.w);
        EXPECT_FALSE(l.list);
        expectTheWindowStillWorks(l.w);
    }
}

// A drag whose entry the delegate removes on hearing of the move: the entry leaves for good (it is not put
// back into the list's view unlisted), and the drag records no step of its own.
TEST(CallsOut, ADragWhoseEntryTheDelegateRemovesEndsWithIt)
{
    struct Remover : OVListViewDelegate
    {
        void listViewDidMoveEntry(OVListView* list, OVListEntryView* entry, unsigned, unsigned) override
        {
            list->removeListEntry(entry);
        }
    } remover;
    ListInWindow l;
    l.list->setDelegate(&remover);
    l.undo.removeAllActions();
    OVListEntryView* dragged = l.entries[2];
    const QPointer<OVListEntryView> guard(dragged);
    l.undo.beginUndoGrouping();
    l.list->dragListEntry(dragged, pf::Size(0, -250), false);
    l.list->dragListEntry(dragged, pf::Size(0, 0), true);
    l.undo.endUndoGrouping();
    settle(l.w);
    EXPECT_EQ(l.list->count(), 2u);
    EXPECT_EQ(l.list->indexOfEntry(dragged), OVListView::notFound);
    EXPECT_EQ(l.list->draggedEntry(), nullptr);
    ASSERT_TRUE(guard) << "the removal's undo step keeps it";
    EXPECT_NE(dragged->superview(), l.list.data()) << "not shown in the list unlisted";
    EXPECT_TRUE(l.undo.undoActionName().startsWith(QStringLiteral("Remove")))
        << l.undo.undoActionName().toStdString();
    l.undo.undo();
    settle(l.w);
    EXPECT_NE(l.list->indexOfEntry(dragged), OVListView::notFound);
    l.list->setDelegate(nullptr);
}

// Undoing a removal after the entry went through another list, which deleted it: nothing is put back.
TEST(CallsOut, UndoOfARemovalFindsAnEntryAnotherListDeleted)
{
    ListInWindow l;
    l.list->setDelegate(nullptr);
    auto* other = new OVListView(Rect(0, 0, 360, 300));
    l.w.add(other);
    OVListEntryView* wanderer = l.entries[0];
    const QPointer<OVListEntryView> guard(wanderer);
    l.undo.removeAllActions();
    l.list->removeListEntryAtIndex(0);
    settle(l.w);
    other->addListEntry(wanderer);
    other->removeListEntryAtIndex(0); // no undo manager: deleted at a later turn
    settle(l.w);
    ASSERT_FALSE(guard);
    ASSERT_TRUE(l.undo.canUndo());
    pf::LogCapture log;
    l.undo.undo();
    settle(l.w);
    EXPECT_EQ(l.list->count(), 2u);
    EXPECT_TRUE(log.contains(QStringLiteral("cannot put back an entry that was deleted")));
}

namespace {

// Grids and stacks side by side, to hand items between.
struct Owners
{
    ControlsWindow w;
    std::unique_ptr<OVGridViewController> grids[2];
    OVStackView* stacks[2] = {new OVStackView(Rect(0, 0, 190, 150)), new OVStackView(Rect(200, 0, 190, 150))};

    Owners()
    {
        w.window.setFrame(Rect(100, 100, 400, 300));
        for (auto& grid : grids) {
            grid = std::make_unique<OVGridViewController>(nullptr, 0);
            grid->setGridParentView(w.window.contentView());
            grid->addSectionWithSettings(0);
        }
        for (OVStackView* stack : stacks)
            w.add(stack);
    }
    bool holds(int owner, const OVGridItem* item) const
    {
        if (owner < 2)
            return grids[owner]->indexOfItem(item).first != OVGridViewController::notFound;
        const auto pile = stacks[owner - 2]->gridItems();
        return std::find(pile.begin(), pile.end(), item) != pile.end();
    }
    void add(int owner, OVGridItem* item)
    {
        if (owner < 2)
            grids[owner]->addGridItem(item, 0);
        else
            stacks[owner - 2]->addGridItem(item, true);
    }
    void remove(int owner, OVGridItem* item)
    {
        if (owner < 2) {
            const auto [section, index] = grids[owner]->indexOfItem(item);
            grids[owner]->removeItemAtIndex(section, index, false);
        } else {
            stacks[owner - 2]->removeItemWithContext(item->context());
        }
    }
};

const char* ownerName(int owner)
{
    return owner == 0 ? "grid" : owner == 1 ? "other grid" : owner == 2 ? "stack" : "other stack";
}

} // namespace

// An item handed from a grid or stack to another (or from a grid into a stack) belongs to the new owner
// only: the first lists it no more, and neither it nor a removal that was pending deletes it.
TEST(Ownership, AnItemHandedToAnotherGridOrStackBelongsToItAlone)
{
    for (const bool removedFirst : {false, true})
        for (int from = 0; from < 4; ++from)
            for (int to : {1, 2, 3}) {
                if (to == from)
                    continue;
                SCOPED_TRACE(QStringLiteral("%1 to %2%3")
                                 .arg(QLatin1String(ownerName(from)), QLatin1String(ownerName(to)),
                                      removedFirst ? QStringLiteral(", removed first") : QString())
                                 .toStdString());
                Owners o;
                OVGridItem* item = OVGridItem::gridItemWithImage(picture(80, 60), "i", "i", 0);
                const QPointer<OVGridItem> guard(item);
                o.add(from, item);
                ASSERT_TRUE(o.holds(from, item));
                if (removedFirst)
                    o.remove(from, item);
                o.add(to, item);
                EXPECT_FALSE(o.holds(from, item));
                EXPECT_TRUE(o.holds(to, item));
                settle(o.w);
                ASSERT_TRUE(guard) << "the first owner deleted it under the new one";
                EXPECT_TRUE(o.holds(to, item));
                EXPECT_FALSE(o.holds(from, item));
                o.remove(to, item);
                settle(o.w);
                EXPECT_FALSE(guard) << "the new owner's removal deletes it";
            }
}

// An entry whose enable box the user clicks, when the list's delegate deletes the entry on hearing of it:
// the box is done with its click before it reports.
TEST(CallsOut, AnEntrySurvivesItsDelegateDeletingItFromItsEnableBox)
{
    struct Deleter : OVListViewDelegate
    {
        void listViewEntryEnableDidChange(OVListView*, OVListEntryView* entry, bool) override
        {
            delete entry;
        }
    } deleter;
    ListInWindow l;
    auto* boxed = new OVBasicListEntryView(OVListEntryView::EnableBox);
    l.list->addListEntry(boxed);
    settle(l.w);
    l.list->setDelegate(&deleter);
    const QPointer<OVListEntryView> guard(boxed);
    QCheckBox* box = boxed->enabledBox();
    ASSERT_TRUE(box && box->isVisible());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    settle(l.w);
    EXPECT_FALSE(guard);
    EXPECT_EQ(l.list->count(), 3u);
    l.list->setDelegate(nullptr);
    expectTheWindowStillWorks(l.w);
}

// An entry another view took out of its list: a drag ends beside it, and it outlives the list without
// reporting to it.
TEST(CallsOut, AnEntryTakenOutOfItsListOutlivesTheList)
{
    ListInWindow l;
    l.list->setDelegate(nullptr);
    auto* panel = new pf::View(Rect(0, 0, 360, 120));
    l.w.add(panel);
    auto* entry = static_cast<OVOpenableListEntryView*>(l.entries[1]);
    panel->addSubview(entry);
    // A drag of the entry before it ends beside it.
    l.list->dragListEntry(l.entries[0], pf::Size(0, 0), true);
    EXPECT_EQ(l.entries[0]->superview(), l.list.data());
    delete l.list.data();
    settle(l.w);
    ASSERT_EQ(entry->delegate(), nullptr);
    // Its controls still take clicks, and reach nobody.
    entry->setFrame(Rect(0, 0, 360, entry->frame().height()));
    realClick(l.w, entry->rowView(), Point(entry->rowView()->bounds().width() - 30, 8));
    settle(l.w);
    delete panel;
    expectTheWindowStillWorks(l.w);
}

// An item or entry deleted by someone else while a stack, grid or list holds it leaves it.
TEST(Ownership, AnItemOrEntryDeletedBySomeoneElseLeavesItsHolder)
{
    {
        Owners o;
        for (int owner : {0, 2}) {
            SCOPED_TRACE(ownerName(owner));
            OVGridItem* item = OVGridItem::gridItemWithImage(picture(80, 60), "i", "i", 0);
            o.add(owner, item);
            delete item;
            EXPECT_FALSE(o.holds(owner, item));
            settle(o.w);
        }
        EXPECT_TRUE(o.grids[0]->gridItemsInSection(0).isEmpty());
        EXPECT_TRUE(o.stacks[0]->gridItems().empty());
        EXPECT_EQ(o.stacks[0]->neededHeight(), 0);
    }
    ListInWindow l;
    l.list->setDelegate(nullptr);
    delete l.entries[1];
    EXPECT_EQ(l.list->count(), 2u);
    settle(l.w);
    EXPECT_EQ(l.list->entries(), (QList<OVListEntryView*>{l.entries[0], l.entries[2]}));
}
