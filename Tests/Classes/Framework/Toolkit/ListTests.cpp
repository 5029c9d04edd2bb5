#include "Classes/Framework/Toolkit/OVBasicListEntryView.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVListEntryViewDelegate.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Framework/Toolkit/OVListViewDelegate.h"
#include "Classes/Framework/Toolkit/OVOpenableListEntryView.h"
#include "Classes/Framework/Toolkit/OVRowView.h"
#include "ControlsTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/ViewAnimator.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPointer>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <utility>

namespace {

using pf::Rect;

// An entry of a fixed preferred height.
class SizedEntry : public OVListEntryView
{
public:
    explicit SizedEntry(double height, QString name) : m_height(height)
    {
        setTitle(name);
        setContext(name);
    }
    double preferredHeight() const override { return m_height; }

private:
    double m_height;
};

struct ListRecorder : OVListViewDelegate
{
    QStringList log;
    std::optional<double> height;
    static QString name(OVListEntryView* entry) { return entry ? entry->title() : QStringLiteral("nil"); }
    std::optional<double> listViewWillResize(OVListView*, double) override { return height; }
    void listViewDidInsertEntry(OVListView*, OVListEntryView* e, unsigned i) override
    {
        log << QStringLiteral("insert %1 at %2").arg(name(e)).arg(i);
    }
    void listViewDidRemoveEntry(OVListView*, OVListEntryView* e) override { log << "remove " + name(e); }
    void listViewDidSelectEntry(OVListView*, OVListEntryView* e) override { log << "select " + name(e); }
    void listViewDidOpenEntry(OVListView*, OVListEntryView* e) override { log << "did open " + name(e); }
    void listViewDidCloseEntry(OVListView*, OVListEntryView* e) override { log << "did close " + name(e); }
    void listViewEntryEnableDidChange(OVListView*, OVListEntryView* e, bool on) override
    {
        log << QStringLiteral("enable %1 %2").arg(name(e)).arg(on);
    }
};

// What an entry tells its list, for entries tested alone.
struct EntryRecorder : OVListEntryViewDelegate
{
    QStringList log;
    void listEntryWasClicked(OVListEntryView*) override { log << "clicked"; }
    void listEntryEnableDidChange(OVListEntryView*, bool on) override
    {
        log << (on ? "enabled" : "disabled");
    }
    void listEntryNeedUpdate(OVListEntryView*, bool) override { log << "update"; }
    void removeListEntry(OVListEntryView*) override { log << "remove"; }
    void dragListEntry(OVListEntryView*, pf::Size, bool) override { log << "drag"; }
    void entryWillOpen(OVListEntryView*) override { log << "will open"; }
    void entryDidOpen(OVListEntryView*) override { log << "did open"; }
    void entryWillClose(OVListEntryView*) override { log << "will close"; }
    void entryDidClose(OVListEntryView*) override { log << "did close"; }
    void copyListEntry(OVListEntryView*) override { log << "copy"; }
    void pasteListEntry(OVListEntryView*) override { log << "paste"; }
    bool acceptPasteForListEntry(OVListEntryView*) override { return accepts; }
    bool accepts = false;
};

struct ListHarness
{
    ControlsWindow w;
    pf::UndoManager undo;
    ListRecorder recorder;
    OVListView* list = new OVListView(Rect(0, 0, 300, 300));

    ListHarness()
    {
        list->setUndoManager(&undo);
        list->setDelegate(&recorder);
        w.add(list);
    }
    ~ListHarness() { list->setDelegate(nullptr); }
    SizedEntry* add(const QString& name, double height = 100)
    {
        auto* entry = new SizedEntry(height, name);
        list->addListEntry(entry);
        return entry;
    }
    // Adds `entry` under `title` and lets the list settle.
    template <class Entry> Entry* addSettled(Entry* entry, const QString& title)
    {
        entry->setTitle(title);
        list->addListEntry(entry);
        settle();
        return entry;
    }
    // Closes the undo group of this turn of the event loop and lets every pass and animation end.
    void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, 0);
        for (int i = 0; i < 4; ++i)
            w.clock.advance(0.5);
        QCoreApplication::sendPostedEvents(nullptr, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QStringList order() const
    {
        QStringList names;
        for (OVListEntryView* entry : list->entries())
            names << entry->title();
        return names;
    }
};

TEST(OVListEntryView, StatesFollowSelectionAndTheFinalHeight)
{
    ListHarness h;
    auto* plain = new OVListEntryView(0);
    EXPECT_EQ(plain->frame().height(), 58);
    EXPECT_EQ(plain->detailContainer()->frame().height(), 0);
    EXPECT_TRUE(plain->detailContainer()->subviews().isEmpty());
    h.addSettled(plain, QStringLiteral("plain"));
    // The detail container is the entry's height below its head.
    plain->setFrameSize(pf::Size(300, 158));
    ASSERT_EQ(plain->detailContainer()->frame().height(), 100);
    h.recorder.log.clear();
    h.list->setSelectedEntry(plain);
    EXPECT_EQ(plain->preferredHeight(), 158);
    EXPECT_EQ(plain->state(), OVListEntryView::Opening);
    h.settle();
    h.list->updateListLayout(OVListView::AnimateNow);
    h.settle();
    EXPECT_EQ(plain->state(), OVListEntryView::Open);
    EXPECT_EQ(h.recorder.log, (QStringList{"select plain", "did open plain"})) << "open reported once";

    EntryRecorder entryLog;
    plain->setDelegate(&entryLog);
    plain->setSelected(false);
    plain->needsUpdate(nullptr, true);
    EXPECT_TRUE(entryLog.log.isEmpty()) << "an unselected entry ignores its content's growth";
    pf::LogCapture capture;
    OVButton ordinary(Rect(0, 0, 10, 10));
    plain->dragEntry(&ordinary);
    EXPECT_EQ(capture.lines(),
              QStringList{QStringLiteral("Warning: Dragged by something not a OVDragButton")});
    EXPECT_TRUE(entryLog.log.isEmpty());
    plain->setDelegate(h.list);
}

TEST(OVListView, OverlappingPassesFinishOnce)
{
    ListHarness h;
    auto* entry = h.addSettled(new OVListEntryView(0), QStringLiteral("a"));
    entry->setFrameSize(pf::Size(300, 158));
    h.list->setDefaultBehavior(OVListView::AnimateNow);
    h.recorder.log.clear();
    h.list->setSelectedEntry(entry); // the first pass
    h.w.clock.advance(0.1);
    // The second pass takes the entry's move over, which ends the first one's animation.
    h.list->updateListLayout(OVListView::AnimateNow);
    EXPECT_EQ(h.list->runningAnimations(), 1u) << "the first pass ended";
    EXPECT_EQ(entry->state(), OVListEntryView::Opening) << "its end applies nothing while another runs";
    h.w.clock.advance(0.1);
    EXPECT_EQ(entry->state(), OVListEntryView::Opening);
    h.settle();
    EXPECT_EQ(h.list->runningAnimations(), 0u);
    EXPECT_EQ(entry->state(), OVListEntryView::Open);
    EXPECT_EQ(h.recorder.log.count(QStringLiteral("did open a")), 1);
    EXPECT_EQ(entry->frame(), Rect(0, 0, 300, 158));
}

TEST(OVListView, StacksFromTheBottomAndLeavesRoomTheDelegateAsks)
{
    ListHarness h;
    h.recorder.height = 500;
    h.add("a");
    h.add("b");
    h.add("c");
    h.settle();
    EXPECT_EQ(h.list->frame().height(), 500);
    EXPECT_EQ(h.list->entryAtIndex(0)->frame(), Rect(0, 200, 300, 100));
    EXPECT_EQ(h.list->entryAtIndex(2)->frame(), Rect(0, 400, 300, 100));
    EXPECT_EQ(h.list->lastLine()->frame().minY(), 199);
}

TEST(OVListView, InsertRemoveAndMoveUndoAndRedo)
{
    ListHarness h;
    h.add("a");
    h.add("b");
    h.settle();
    h.undo.removeAllActions();

    const struct
    {
        const char* name;
        std::function<void(ListHarness&)> act;
        QStringList after;
        QString actionName;
    } cases[] = {
        {"insert at 0",
         [](ListHarness& g) { g.list->insertListEntry(new SizedEntry(100, "x"), 0); },
         {"x", "a", "b"},
         "Insert entry"},
        {"remove", [](ListHarness& g) { g.list->removeListEntryAtIndex(0); }, {"b"}, "Remove entry"},
        {"move", [](ListHarness& g) { g.list->moveEntryFrom(0, 1); }, {"b", "a"}, "Reorder entry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = h.order();
        c.act(h);
        h.settle();
        EXPECT_EQ(h.order(), c.after);
        EXPECT_EQ(h.undo.undoActionName(), c.actionName);
        h.undo.undo();
        h.settle();
        EXPECT_EQ(h.order(), before);
        h.undo.redo();
        h.settle();
        EXPECT_EQ(h.order(), c.after);
        h.undo.undo();
        h.settle();
        EXPECT_EQ(h.order(), before);
    }
}

TEST(OVListView, NumbersThatNameNoEntryChangeNothing)
{
    ListHarness h;
    h.add("a");
    h.add("b");
    h.add("c");
    h.settle();
    h.undo.removeAllActions();
    h.list->setFixed(1);
    h.recorder.log.clear();
    pf::LogCapture capture;
    auto* stray = new SizedEntry(100, "stray");
    h.list->insertListEntry(stray, 4);
    h.list->removeListEntryAtIndex(3);
    h.list->moveEntryFrom(7, 1);
    // Refused quietly, as before: a target at the count, and either end among the fixed entries.
    h.list->moveEntryFrom(1, 3);
    h.list->moveEntryFrom(0, 2);
    h.list->moveEntryFrom(2, 0);
    h.settle();
    EXPECT_EQ(capture.lines().size(), 3);
    for (const QString& line : capture.lines())
        EXPECT_TRUE(line.startsWith(QStringLiteral("Warning: "))) << line.toStdString();
    EXPECT_EQ(h.order(), (QStringList{"a", "b", "c"}));
    EXPECT_FALSE(h.undo.canUndo());
    EXPECT_TRUE(h.recorder.log.isEmpty());
    delete stray;
}

TEST(OVListView, SelectionReportsAndRemovingTheSelected)
{
    ListHarness h;
    auto* a = h.addSettled(new OVOpenableListEntryView(0), QStringLiteral("a"));
    // A click on the row selects, a second deselects.
    a->rowView()->delegate()->rowWasClicked(a->rowView());
    EXPECT_EQ(h.list->selectedEntry(), a);
    a->rowView()->delegate()->rowWasClicked(a->rowView());
    EXPECT_EQ(h.list->selectedEntry(), nullptr);
    h.list->setSelectedIndex(0);
    h.recorder.log.clear();
    h.list->removeListEntryAtIndex(0);
    EXPECT_EQ(h.recorder.log, (QStringList{"select nil", "remove a"}));
}

// A delegate that changes the list from inside a report of one of its entries, once.
struct ChangingDelegate : ListRecorder
{
    std::function<void(OVListView*)> onWillOpen, onShowFrame;
    void listViewWillOpenEntry(OVListView* list, OVListEntryView*) override { once(onWillOpen, list); }
    void listViewShouldShowFrame(OVListView* list, const Rect&, const Rect&, bool) override
    {
        once(onShowFrame, list);
    }
    static void once(std::function<void(OVListView*)>& change, OVListView* list)
    {
        if (auto run = std::exchange(change, nullptr))
            run(list);
    }
};

TEST(OVListView, ADelegateMayChangeTheListFromInsideItsReports)
{
    const auto insertMany = [](OVListView* list) {
        for (int i = 0; i < 40; ++i)
            list->insertListEntry(new SizedEntry(10, QStringLiteral("new")), 0);
    };
    const auto removeLast = [](OVListView* list) { list->removeListEntryAtIndex(list->count() - 1); };
    const struct
    {
        const char* name;
        bool fromWillOpen; // else from the selected entry's frame report
        std::function<void(OVListView*)> change;
        unsigned count;
    } cases[] = {
        {"inserting while it opens", true, insertMany, 43},
        {"removing while it opens", true, removeLast, 2},
        {"inserting while its frame is reported", false, insertMany, 43},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListHarness h;
        ChangingDelegate delegate;
        h.list->setDelegate(&delegate);
        h.add(QStringLiteral("a"));
        h.add(QStringLiteral("b"));
        h.add(QStringLiteral("c"));
        h.settle();
        (c.fromWillOpen ? delegate.onWillOpen : delegate.onShowFrame) = c.change;
        h.list->setSelectedIndex(0);
        h.settle();
        ASSERT_EQ(h.list->count(), c.count);
        double y = 0;
        for (OVListEntryView* entry : h.list->entries()) {
            EXPECT_EQ(entry->frame().minY(), y) << "every entry is laid out in the end";
            y += entry->preferredHeight();
        }
        h.list->setDelegate(nullptr);
    }
}

TEST(OVListView, DragsReorderAsOneStepAndRespectTheFixed)
{
    const struct
    {
        unsigned fixed;
        int entries;
        double drag;     // in steps of -25
        unsigned lowest; // where the entry ends
    } cases[] = {
        {0, 3, -300, 0},
        {2, 4, -400, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixed);
        ListHarness h;
        h.list->setFrameSize(pf::Size(300, 100 * c.entries));
        for (int i = 0; i < c.entries; ++i)
            h.add(QString(QChar('a' + i)));
        h.list->setFixed(c.fixed);
        h.settle();
        h.undo.removeAllActions();
        const QStringList before = h.order();
        OVListEntryView* top = h.list->entries().last();
        h.undo.beginUndoGrouping();
        for (double moved = 0; moved > c.drag; moved -= 25) {
            h.list->dragListEntry(top, pf::Size(0, -25), false);
            EXPECT_GE(h.list->indexOfEntry(top), c.fixed);
        }
        h.list->dragListEntry(top, pf::Size(0, 0), true);
        h.undo.endUndoGrouping();
        h.settle();
        EXPECT_EQ(h.list->indexOfEntry(top), c.lowest);
        EXPECT_EQ(h.list->draggedEntry(), nullptr);
        const QStringList dragged = h.order();
        h.undo.undo();
        h.settle();
        EXPECT_EQ(h.order(), before) << "the whole drag is one step";
        h.undo.redo();
        h.settle();
        EXPECT_EQ(h.order(), dragged);
    }

    // A drag that ends where it began registers nothing.
    ListHarness h;
    h.add("a");
    OVListEntryView* b = h.add("b");
    h.settle();
    h.undo.removeAllActions();
    h.list->dragListEntry(b, pf::Size(0, -20), false);
    h.list->dragListEntry(b, pf::Size(0, 20), true);
    h.settle();
    EXPECT_EQ(h.order(), (QStringList{"a", "b"}));
    EXPECT_FALSE(h.undo.canUndo());
}

TEST(OVListView, EntriesRemovedInTheirOwnClickLiveUntilLater)
{
    ListHarness h;
    auto* entry =
        h.addSettled(new OVBasicListEntryView(OVListEntryView::RemoveControl), QStringLiteral("gone"));
    const QPointer<OVBasicListEntryView> guard(entry);
    OVButton* remove = entry->removeButton();
    h.w.click(remove, pf::Point(5, 5));
    EXPECT_TRUE(h.list->entries().isEmpty());
    EXPECT_TRUE(guard) << "the undo action keeps it";
    h.undo.undo();
    h.settle();
    EXPECT_EQ(h.list->entryAtIndex(0), entry);

    // Without an undo manager it is deleted at a later turn.
    h.list->setUndoManager(nullptr);
    h.w.click(entry->removeButton(), pf::Point(5, 5));
    EXPECT_TRUE(guard);
    h.settle();
    EXPECT_FALSE(guard);

    // An owner that drops the whole list from inside one of its reports.
    struct Dropper : OVListViewDelegate
    {
        void listViewDidRemoveEntry(OVListView* list, OVListEntryView*) override { delete list; }
    } dropper;
    auto* doomed = new OVListView(Rect(0, 0, 300, 300));
    h.w.add(doomed);
    auto* last = new OVBasicListEntryView(OVListEntryView::RemoveControl);
    doomed->addListEntry(last);
    doomed->setDelegate(&dropper);
    h.settle();
    const QPointer<OVListView> listGuard(doomed);
    h.w.click(last->removeButton(), pf::Point(5, 5));
    EXPECT_FALSE(listGuard);
    h.settle();
}

TEST(OVBasicListEntryView, ControlsTitleAndEnableBox)
{
    pf::SteppedClock clock;
    OVBasicListEntryView bare(0);
    EXPECT_TRUE(bare.subviews().size() == 1) << "only the detail container";
    EXPECT_EQ(bare.frame().height(), 45);

    OVBasicListEntryView entry(OVListEntryView::RemoveControl | OVListEntryView::CopyPaste);
    const double w = entry.bounds().width();
    EXPECT_EQ(entry.pasteButton()->frame().minX(), w - 104);
    EXPECT_EQ(entry.copyButton()->frame().minX(), w - 173);
    const QString longTitle = QStringLiteral("A rather long title for a card that carries copy and paste");
    entry.setTitle(longTitle);
    EXPECT_EQ(entry.displayedTitle(), longTitle) << "the pointer is outside";
    entry.mouseEntered(pf::Event());
    EXPECT_EQ(entry.titleRect().maxX(), entry.copyButton()->frame().minX() - 5);
    EXPECT_NE(entry.displayedTitle(), longTitle);
    entry.mouseExited(pf::Event());

    EntryRecorder recorder;
    entry.setDelegate(&recorder);
    entry.pasteButton()->setEnabled(false);
    recorder.accepts = true;
    entry.copy();
    EXPECT_FALSE(entry.pasteButton()->isEnabled()) << "copy with the pointer outside";
    entry.mouseEntered(pf::Event());
    entry.copy();
    EXPECT_TRUE(entry.pasteButton()->isEnabled());

    OVBasicListEntryView boxed(OVListEntryView::EnableBox);
    boxed.setIsEnabled(true);
    boxed.setTitle(QStringLiteral("Later title")); // set after the box: shows all the same
    EXPECT_EQ(boxed.enabledBox()->text(), QStringLiteral("Later title"));
    EntryRecorder boxLog;
    boxed.setDelegate(&boxLog);
    boxed.enabledBox()->click();
    EXPECT_FALSE(boxed.entryEnabled());
    EXPECT_TRUE(boxed.enabledBox()->font().strikeOut());
    EXPECT_EQ(boxLog.log, QStringList{QStringLiteral("disabled")});
    boxed.setIsEnabled(true);
    EXPECT_TRUE(boxed.enabledBox()->isChecked());
    EXPECT_FALSE(boxed.enabledBox()->font().strikeOut());
}

TEST(OVOpenableListEntryView, HeightsAlignmentAndContent)
{
    ListHarness h;
    auto* entry = new OVOpenableListEntryView(0);
    EXPECT_TRUE(entry->rightAligned());
    entry->setIcon(QImage(16, 16, QImage::Format_ARGB32));
    entry->setTitle(QStringLiteral("topic"));
    EXPECT_EQ(entry->rowView()->titleRect().minX(), 16 + 20) << "the icon on the left, the title after it";
    h.list->addListEntry(entry);
    h.settle();

    auto* content = new pf::View(Rect(0, 0, 300, 200));
    h.recorder.log.clear();
    entry->setContentView(content);
    EXPECT_FALSE(h.list->layoutIsPending()) << "content on an unselected entry waits for the next opening";
    EXPECT_NE(content->superview(), entry->detailContainer());
    entry->setMargin(pf::Size(20, 20));
    h.list->setSelectedEntry(entry);
    EXPECT_EQ(entry->preferredHeight(), 298);
    EXPECT_EQ(content->superview(), entry->detailContainer());
    h.settle();
    EXPECT_EQ(entry->state(), OVListEntryView::Open);

    // Content set on an open entry shows at once.
    auto* replacement = new pf::View(Rect(0, 0, 300, 120));
    entry->setContentView(replacement);
    EXPECT_EQ(replacement->superview(), entry->detailContainer());

    h.list->setSelectedEntry(nullptr);
    EXPECT_EQ(entry->state(), OVListEntryView::Closing);
    EXPECT_EQ(replacement->superview(), entry->detailContainer()) << "still shown while it closes";
    h.settle();
    EXPECT_EQ(entry->state(), OVListEntryView::Closed);
    EXPECT_NE(replacement->superview(), entry->detailContainer());
    EXPECT_EQ(entry->preferredHeight(), 58);
}

// A delegate that changes the list when it hears that nothing is selected any more.
struct SelectionChanger : ListRecorder
{
    std::function<void(OVListView*)> onNothingSelected;
    bool everyTime = false;
    void listViewDidSelectEntry(OVListView* list, OVListEntryView* entry) override
    {
        ListRecorder::listViewDidSelectEntry(list, entry);
        if (entry || !onNothingSelected)
            return;
        if (everyTime)
            onNothingSelected(list);
        else
            std::exchange(onNothingSelected, nullptr)(list);
    }
};

// Removing the selected entry tells the delegate first; what the delegate does to the list then never
// makes the list remove the wrong entry, keep a removed one selected or list a deleted one.
TEST(OVListView, ADelegateMayChangeTheListWhileAnEntryIsRemoved)
{
    const struct
    {
        const char* name;
        unsigned selected; // the entry removed, selected first
        std::function<void(OVListView*)> change;
        bool everyTime;
        QStringList after;
        QString selection; // empty: none
    } cases[] = {
        {"removing another", 1, [](OVListView* l) { l->removeListEntryAtIndex(0); }, false, {"c"}, {}},
        {"moving another", 1, [](OVListView* l) { l->moveEntryFrom(2, 0); }, false, {"c", "a"}, {}},
        {"removing the entry itself",
         1,
         [](OVListView* l) { l->removeListEntryAtIndex(1); },
         false,
         {"a", "c"},
         {}},
        // The help catalog's way: always a topic, the last one when nothing is selected.
        {"selecting the last entry",
         2,
         [](OVListView* l) { l->setSelectedIndex(l->count() - 1); },
         true,
         {"a", "b"},
         "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListHarness h;
        SelectionChanger delegate;
        h.list->setDelegate(&delegate);
        QList<QPointer<OVListEntryView>> guards;
        for (const char* name : {"a", "b", "c"})
            guards << h.add(QString::fromLatin1(name));
        h.settle();
        h.undo.removeAllActions();
        h.list->setSelectedIndex(c.selected);
        delegate.onNothingSelected = c.change;
        delegate.everyTime = c.everyTime;
        h.list->removeListEntryAtIndex(c.selected);
        h.settle();
        EXPECT_EQ(h.order(), c.after);
        for (OVListEntryView* entry : h.list->entries())
            EXPECT_TRUE(guards.contains(entry));
        EXPECT_EQ(h.list->selectedEntry() ? h.list->selectedEntry()->title() : QString(), c.selection);
        if (h.list->selectedEntry()) {
            EXPECT_NE(h.list->indexOfEntry(h.list->selectedEntry()), OVListView::notFound);
        }
        // Undoing every step brings back the three, in their order.
        while (h.undo.canUndo()) {
            h.undo.undo();
            h.settle();
        }
        EXPECT_EQ(h.order(), (QStringList{"a", "b", "c"}));
        h.list->setDelegate(nullptr);
    }

    // Removing them all, from a delegate that removes one more at each report.
    struct Remover : ListRecorder
    {
        void listViewDidRemoveEntry(OVListView* list, OVListEntryView* entry) override
        {
            ListRecorder::listViewDidRemoveEntry(list, entry);
            if (list->count() > 0)
                list->removeListEntryAtIndex(0);
        }
    } remover;
    ListHarness h;
    for (int i = 0; i < 6; ++i)
        h.add(QString::number(i));
    h.settle();
    h.list->setDelegate(&remover);
    h.list->setSelectedIndex(5);
    h.list->removeAllListEntries();
    h.settle();
    EXPECT_EQ(h.list->count(), 0u);
    EXPECT_EQ(h.list->selectedEntry(), nullptr);
    EXPECT_EQ(remover.log.filter(QStringLiteral("remove ")).size(), 6);
    h.list->setDelegate(nullptr);

    // Removing them all and undoing it brings every entry back, shown and laid out in its order.
    ListHarness all;
    for (int i = 0; i < 5; ++i)
        all.add(QString::number(i));
    all.settle();
    all.undo.removeAllActions();
    all.list->removeAllListEntries();
    all.settle();
    EXPECT_EQ(all.list->count(), 0u);
    all.undo.undo();
    all.settle();
    EXPECT_EQ(all.order(), (QStringList{"0", "1", "2", "3", "4"}));
    for (OVListEntryView* entry : all.list->entries()) {
        EXPECT_EQ(entry->superview(), all.list);
        EXPECT_TRUE(entry->isVisible());
        EXPECT_EQ(entry->frame().minY(), 100 * all.list->indexOfEntry(entry));
    }
}

// An entry is listed once: inserted again it moves, and inserted into another list it leaves the first.
TEST(OVListView, AnEntryInsertedAgainOrElsewhereMoves)
{
    const struct
    {
        const char* name;
        bool otherList;
        unsigned index;
        QStringList here, there;
    } cases[] = {
        {"again at the end", false, 3, {"b", "c", "a"}, {}},
        {"again at the start", false, 0, {"a", "b", "c"}, {}},
        {"again in the middle", false, 1, {"b", "a", "c"}, {}},
        {"into another list", true, 0, {"b", "c"}, {"a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListHarness h;
        auto* other = new OVListView(Rect(0, 0, 300, 300));
        h.w.add(other);
        OVListEntryView* a = h.add("a");
        h.add("b");
        h.add("c");
        h.settle();
        const QPointer<OVListEntryView> guard(a);
        (c.otherList ? other : h.list)->insertListEntry(a, c.index);
        h.settle();
        ASSERT_TRUE(guard);
        EXPECT_EQ(h.order(), c.here);
        QStringList there;
        for (OVListEntryView* entry : other->entries())
            there << entry->title();
        EXPECT_EQ(there, c.there);
        EXPECT_EQ(a->superview(), c.otherList ? other : h.list);
        EXPECT_EQ(a->frame().height(), 100) << "laid out where it is listed";
        delete other;
    }
}

// A delegate that goes before its list reads as none; a list whose entries or delegate answer heights
// that are no number of points lays them out as 0 high, with a warning.
TEST(OVListView, AGoneDelegateAndHeightsThatAreNoNumber)
{
    {
        pf::SteppedClock clock;
        auto* list = new OVListView(Rect(0, 0, 300, 300));
        auto* delegate = new ListRecorder;
        list->setDelegate(delegate);
        delete delegate;
        EXPECT_EQ(list->delegate(), nullptr);
        list->addListEntry(new SizedEntry(10, QStringLiteral("a")));
        delete list;
    }

    const double nan = std::nan("");
    const struct
    {
        const char* name;
        double entryHeight;
        std::optional<double> answer;
        double listHeight;
    } cases[] = {
        {"an entry of no number", nan, std::nullopt, 100},
        {"an infinite entry", HUGE_VAL, std::nullopt, 100},
        {"a negative entry", -40, std::nullopt, 100},
        {"a delegate answering no number", 100, nan, 200},
        {"a delegate answering infinity", 100, HUGE_VAL, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListHarness h;
        h.recorder.height = c.answer;
        pf::LogCapture log;
        h.add("a");
        h.add("odd", c.entryHeight);
        h.settle();
        EXPECT_EQ(h.list->frame().height(), c.listHeight);
        for (OVListEntryView* entry : h.list->entries()) {
            EXPECT_TRUE(std::isfinite(entry->frame().minY()));
            EXPECT_TRUE(std::isfinite(entry->frame().height()));
        }
        EXPECT_FALSE(log.lines().isEmpty());
        for (const QString& line : log.lines())
            EXPECT_TRUE(line.startsWith(QStringLiteral("Warning: "))) << line.toStdString();
    }
}

} // namespace
