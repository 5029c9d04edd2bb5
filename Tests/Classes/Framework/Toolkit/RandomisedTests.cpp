// A randomised run over the toolkit's public classes, with fixed seeds: controls, grids, stacks, lists and
// their items and entries are made, moved between owners, removed, hidden and deleted in random order,
// while every action and report they send may itself delete anything (the sender included), undo and
// redo run between the steps, and events go to shown, hidden and removed views, through the event router
// and straight to the views. What it checks is that nothing touches what is gone: it runs clean under
// address,undefined (`make test-toolkit-sanitized`), and the holders' lists never name a deleted object.

#include "Classes/Framework/GradientORVExtension.h"
#include "Classes/Framework/Toolkit/OVAnimator.h"
#include "Classes/Framework/Toolkit/OVBasicListEntryView.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVButtonTarget.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVGradientPicker.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Classes/Framework/Toolkit/OVGridViewDelegate.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Framework/Toolkit/OVListViewDelegate.h"
#include "Classes/Framework/Toolkit/OVOpenableListEntryView.h"
#include "Classes/Framework/Toolkit/OVPopupButton.h"
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
#include "Classes/Framework/Toolkit/OVViewDelegate.h"
#include "GridTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/ColorPanel.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/WindowDelegate.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <vector>

namespace {

using pf::Point;
using pf::Rect;

class World;

// Every report of every class comes here; the world may answer it by deleting anything.
struct Reports : OVGridViewDelegate,
                 OVListViewDelegate,
                 OVRowViewDelegate,
                 OVStackViewDelegate,
                 OVResizeViewDelegate,
                 OVRotationViewDelegate,
                 OVViewDelegate,
                 pf::WindowDelegate
{
    World* world = nullptr;
    // `sender`: the object reporting, which the answer may delete above all.
    void chaos(QObject* sender = nullptr);
    // The list or the entry it reports about, in turns.
    QObject* either(QObject* list, QObject* entry)
    {
        flip = !flip;
        return flip || !entry ? list : entry;
    }
    bool flip = false;

    void gridViewSelectedItemWithContext(OVGridViewController* g, const QVariant&) override { chaos(g); }
    void gridViewExecuteItemWithContext(OVGridViewController* g, const QVariant&) override { chaos(g); }
    void gridViewRemoveItemWithContext(OVGridViewController* g, const QVariant&) override { chaos(g); }
    void gridViewHoveringForItemWithContext(OVGridViewController* g, bool, const QVariant&) override
    {
        chaos(g);
    }
    void gridViewChangedPinForItemWithContext(OVGridViewController* g, bool, const QVariant&) override
    {
        chaos(g);
    }

    std::optional<double> listViewWillResize(OVListView* l, double) override
    {
        chaos(l);
        return std::nullopt;
    }
    void listViewDidInsertEntry(OVListView* l, OVListEntryView* e, unsigned) override { chaos(either(l, e)); }
    void listViewDidRemoveEntry(OVListView* l, OVListEntryView* e) override { chaos(either(l, e)); }
    void listViewDidMoveEntry(OVListView* l, OVListEntryView* e, unsigned, unsigned) override
    {
        chaos(either(l, e));
    }
    void listViewShouldShowFrame(OVListView* l, const Rect&, const Rect&, bool) override { chaos(l); }
    void listViewEntryEnableDidChange(OVListView* l, OVListEntryView* e, bool) override
    {
        chaos(either(l, e));
    }
    void listViewDidSelectEntry(OVListView* l, OVListEntryView* e) override { chaos(either(l, e)); }
    void listViewWillOpenEntry(OVListView* l, OVListEntryView* e) override { chaos(either(l, e)); }
    void listViewDidOpenEntry(OVListView* l, OVListEntryView* e) override { chaos(either(l, e)); }
    void listViewWillCloseEntry(OVListView* l, OVListEntryView* e) override { chaos(either(l, e)); }
    void listViewDidCloseEntry(OVListView* l, OVListEntryView* e) override { chaos(either(l, e)); }

    void rowWasClicked(OVRowView* r) override { chaos(r); }
    bool rowChangedTitle(OVRowView* r, const QString&) override
    {
        chaos(r);
        return false;
    }
    void rowChangedHover(OVRowView* r, bool) override { chaos(r); }

    void didSelectStackView(OVStackView* v) override { chaos(v); }
    void resizeViewDidResize(OVResizeView* v, unsigned, pf::Size, int) override { chaos(v); }
    void rotationViewDidRotate(OVRotationView* v, double, bool) override { chaos(v); }

    bool takesClicks() const override { return true; }
    void viewWasClicked(pf::View* v) override { chaos(v); }

    void windowDidMove(pf::Window*) override { chaos(); }
    void windowDidBecomeKey(pf::Window*) override { chaos(); }
};

struct HoverReports : QObject, OVButtonTarget
{
    Reports* reports = nullptr;
    void buttonHovered(OVButton* b, bool) override { reports->chaos(b); }
};

class World
{
public:
    explicit World(unsigned seed) : m_random(seed)
    {
        m_reports.world = this;
        m_hover.reports = &m_reports;
        w.window.setFrame(Rect(100, 100, 640, 480));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w.window));
        OVGridItem::setDragStarterForTesting(
            [](OVGridItem*, QMimeData* data, const QImage&, Point) { delete data; });
        for (int i = 0; i < 3; ++i)
            addPanel();
    }
    ~World()
    {
        m_reports.world = nullptr;
        for (const auto& grid : m_grids)
            delete grid.data();
        // The views go while the delegates they report to are still there.
        std::vector<QPointer<QWidget>> all;
        for (pf::View* view : w.window.contentView()->subviews())
            all.emplace_back(view);
        // Those taken out of every view, too.
        const auto gather = [&all](const auto& list) {
            for (const auto& object : list)
                all.emplace_back(object.data());
        };
        gather(m_panels);
        gather(m_views);
        gather(m_sliders);
        gather(m_items);
        gather(m_entries);
        gather(m_stacks);
        gather(m_lists);
        for (const QPointer<QWidget>& widget : all)
            delete widget.data();
        delete m_undo;
        for (OVColorWell* well : OVColorWell::activeWells())
            well->deactivate();
        pf::ColorPanel::shared().close();
        OVGridItem::setDragStarterForTesting(nullptr);
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, 0);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            w.clock.advance(3);
        }
    }

    // One random step at the top level.
    void step()
    {
        switch (pick(17)) {
        case 0:
        case 1:
            makeSomething();
            break;
        case 2:
        case 3:
            realInput();
            break;
        case 4:
            directInput();
            break;
        case 14:
        case 15:
        case 16:
            clickAControl();
            break;
        case 5:
            gridChange();
            break;
        case 6:
            stackChange();
            break;
        case 7:
        case 8:
            listChange();
            break;
        case 9:
            hideShowOrRemove();
            break;
        case 10:
            destroySomething();
            break;
        case 11:
            undoOrRedo();
            break;
        case 12:
            transition();
            break;
        default:
            w.clock.advance(pick(3) * 0.3);
            QCoreApplication::sendPostedEvents(nullptr, 0);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            break;
        }
        checkHolders();
    }

    // What a report or action does: mostly nothing, sometimes something destructive (the sender itself
    // above all, or what holds it), never re-entered.
    void chaos(QObject* sender)
    {
        if (m_inChaos || pick(3) != 0)
            return;
        m_inChaos = true;
        switch (pick(12)) {
        case 7:
        case 8:
        case 10:
        case 11:
            delete sender;
            break;
        case 9:
            if (auto* widget = qobject_cast<QWidget*>(sender);
                widget && widget->parentWidget() && widget->parentWidget() != w.window.contentView() &&
                !widget->parentWidget()->isWindow())
                delete widget->parentWidget();
            break;
        case 0:
            destroySomething();
            break;
        case 1:
            gridChange();
            break;
        case 2:
            stackChange();
            break;
        case 3:
            listChange(false);
            break;
        case 4:
            hideShowOrRemove();
            break;
        case 5:
            makeSomething();
            break;
        default:
            if (QObject* victim = anyObject())
                delete victim;
            break;
        }
        m_inChaos = false;
    }

    ControlsWindow w;

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(m_random); }

    template <class T> static void prune(std::vector<QPointer<T>>& list)
    {
        std::erase_if(list, [](const QPointer<T>& p) { return p.isNull(); });
    }
    template <class T> T* any(std::vector<QPointer<T>>& list)
    {
        prune(list);
        return list.empty() ? nullptr : list[std::size_t(pick(int(list.size())))].data();
    }
    QObject* anyObject()
    {
        switch (pick(6)) {
        case 0:
            return any(m_views);
        case 1:
            return any(m_items);
        case 2:
            return any(m_entries);
        case 3:
            return any(m_lists);
        case 4:
            return any(m_stacks);
        default:
            return any(m_panels);
        }
    }
    pf::View* anyParent()
    {
        if (pf::View* panel = any(m_panels); panel && pick(4) != 0)
            return panel;
        return w.window.contentView();
    }
    Rect anyFrame(double width, double height)
    {
        return Rect(uniform(0, 400), uniform(0, 300), width, height);
    }

    void addPanel()
    {
        auto* panel = new pf::View(anyFrame(300, 220));
        w.add(panel);
        m_panels.emplace_back(panel);
    }

    OVGridItem* newItem()
    {
        const int n = m_serial++;
        // A few contexts repeat, so that equal contexts replace each other; some items have none.
        const QVariant context = pick(5) == 0 ? QVariant() : QVariant(QString::number(n % 23));
        auto* item = OVGridItem::gridItemWithImage(picture(40 + pick(60), 30 + pick(40)), QString::number(n),
                                                   context, unsigned(pick(128)));
        m_items.emplace_back(item);
        return item;
    }

    OVListEntryView* newEntry()
    {
        OVListEntryView* entry;
        const quint64 features = quint64(pick(64));
        if (pick(2) == 0)
            entry = new OVBasicListEntryView(features);
        else
            entry = new OVOpenableListEntryView(pick(2) == 0, features);
        entry->setTitle(QStringLiteral("entry %1").arg(m_serial++));
        if (auto* basic = qobject_cast<OVBasicListEntryView*>(entry); basic && pick(2) == 0)
            basic->setContentView(new pf::View(Rect(0, 0, 200, 30 + pick(60))));
        m_entries.emplace_back(entry);
        return entry;
    }

    void makeSomething()
    {
        pf::View* parent = anyParent();
        const auto action = [this](auto* sender) { m_reports.chaos(sender); };
        switch (pick(14)) {
        case 0: {
            auto* b = new OVButton(anyFrame(80, 24));
            b->setName(QStringLiteral("DefaultStyle"));
            b->setTitle(QStringLiteral("B"));
            b->setIsSwitchButton(pick(2) == 0);
            b->setAction(action);
            b->setTarget(&m_hover);
            m_views.emplace_back(b);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(b);
            break;
        }
        case 1: {
            // Without a menu between the steps: a press would open it and wait for the user.
            auto* p = new OVPopupButton(anyFrame(120, 24));
            p->setName(QStringLiteral("DefaultStyle"));
            p->setAction(action);
            p->setHoverAction(action);
            m_views.emplace_back(p);
            m_popups.emplace_back(p);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(p);
            break;
        }
        case 2: {
            auto* d = new OVDragButton(anyFrame(16, 8));
            d->setAction(action);
            m_views.emplace_back(d);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(d);
            break;
        }
        case 3: {
            auto* s = new OVSlider(parent);
            s->setGeometry(int(uniform(0, 200)), int(uniform(0, 200)), 160, 19);
            s->show();
            s->setAction(action);
            m_sliders.emplace_back(s);
            break;
        }
        case 4: {
            auto* f = new OVTextField(anyFrame(150, 22));
            f->setEditable(true);
            f->setAction(action);
            f->setShouldEndEditing([this](pf::TextField* field) {
                m_reports.chaos(field);
                return true;
            });
            m_views.emplace_back(f);
            m_fields.emplace_back(f);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(f);
            break;
        }
        case 5: {
            auto* row = new OVRowView(pick(2) == 0);
            row->setFrame(anyFrame(300, 58));
            row->setTitle(QStringLiteral("Row"));
            row->setEditable(true);
            row->setHoverable(true);
            row->setDeletable(pick(2) == 0);
            row->setDraggable(pick(2) == 0);
            row->setDelegate(&m_reports);
            m_views.emplace_back(row);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(row);
            break;
        }
        case 6: {
            auto* picker = new OVGradientPicker(anyFrame(210, 27));
            picker->setGradient(*GradientORVExtension::gradientWithString(
                QStringLiteral("0 1 1 1 1 0.3 1 0 0 1 0.6 0 1 0 1 1 0 0 0 1")));
            picker->setAction(action);
            m_views.emplace_back(picker);
            m_pickers.emplace_back(picker);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(picker);
            break;
        }
        case 7: {
            auto* r = new OVResizeView(anyFrame(150, 120));
            r->setDelegate(&m_reports);
            m_views.emplace_back(r);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(r);
            break;
        }
        case 8: {
            auto* r = new OVRotationView(anyFrame(150, 150));
            r->setDelegate(&m_reports);
            m_views.emplace_back(r);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(r);
            break;
        }
        case 9: {
            auto* image = new OVImageView(anyFrame(60, 40));
            image->setImage(picture(30, 20));
            image->setViewDelegate(&m_reports);
            m_views.emplace_back(image);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(image);
            break;
        }
        case 10: {
            if (m_grids.size() >= 3)
                break;
            const QPointer<OVGridViewController> grid = new OVGridViewController(nullptr, pick(2) * 0.2);
            m_grids.emplace_back(grid);
            grid->setDelegate(&m_reports);
            grid->setAllowMultiSelection(pick(3) == 0);
            for (int i = 0; i < 2; ++i)
                grid->addSectionWithSettings(quint64(pick(128)));
            grid->setGridParentView(parent);
            if (grid && grid->view())
                grid->view()->setFrame(anyFrame(250, 200));
            break;
        }
        case 11: {
            auto* stack = new OVStackView(anyFrame(200, 150));
            stack->setSeed(7);
            stack->setDelegate(&m_reports);
            m_stacks.emplace_back(stack);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(stack);
            break;
        }
        case 12: {
            auto* list = new OVListView(anyFrame(360, 200));
            list->setDelegate(&m_reports);
            list->setUndoManager(undoManager());
            list->setDefaultBehavior(pick(2) == 0 ? OVListView::NextTurn : OVListView::AnimateNow);
            m_lists.emplace_back(list);
            // Followed first: adding it may already reach a report that deletes it.
            parent->addSubview(list);
            break;
        }
        default:
            addPanel();
            break;
        }
    }

    pf::UndoManager* undoManager()
    {
        if (!m_undo)
            m_undo = new pf::UndoManager;
        return m_undo;
    }

    // A point of a view, inside or a little outside it.
    Point anyPoint(const pf::View* view)
    {
        const Rect b = view->bounds();
        return Point(uniform(-5, b.width() + 5), uniform(-5, b.height() + 5));
    }

    pf::View* anyView()
    {
        switch (pick(7)) {
        case 0:
            if (OVGridItem* item = any(m_items))
                return item;
            break;
        case 1:
            if (OVListEntryView* entry = any(m_entries))
                return entry;
            break;
        case 2:
            if (OVStackView* stack = any(m_stacks))
                return stack;
            break;
        case 3:
            if (OVListView* list = any(m_lists))
                return list;
            break;
        default:
            break;
        }
        return any(m_views);
    }

    // Through Qt and the event router: presses, drags, releases and moves over the window, and keys to an
    // editing field. A pop-up's menu would wait for the user: presses over one go elsewhere.
    void realInput()
    {
        pf::View* target = anyView();
        QWidget* widget = target;
        if (QWidget* slider = any(m_sliders); slider && pick(4) == 0)
            widget = slider;
        if (!widget || widget->window() != &w.window || !widget->isVisible())
            return;
        const QPoint at = widget->mapTo(
            &w.window, QPoint(int(uniform(-3, widget->width() + 3)), int(uniform(-3, widget->height() + 3))));
        if (qobject_cast<OVPopupButton*>(w.window.childAt(at)))
            return;
        QWindow* handle = w.window.windowHandle();
        switch (pick(4)) {
        case 0:
            QTest::mouseMove(handle, at);
            break;
        case 1:
            QTest::mousePress(handle, Qt::LeftButton, {}, at);
            QTest::mouseMove(handle, at + QPoint(pick(30) - 15, pick(30) - 15));
            QTest::mouseRelease(handle, Qt::LeftButton, {}, at + QPoint(pick(30) - 15, pick(30) - 15));
            break;
        case 2:
            QTest::mouseClick(handle, Qt::LeftButton, {}, at);
            break;
        default:
            if (OVTextField* field = any(m_fields); field && field->editor()) {
                const QPointer<QLineEdit> editor = field->editor();
                QTest::keyClick(editor, Qt::Key_A);
                if (editor)
                    QTest::keyClick(editor, pick(2) == 0 ? Qt::Key_Return : Qt::Key_Escape);
            }
            break;
        }
        w.clock.advance(pick(2) * 0.6);
    }

    // A press and a release in the middle of a control (shown, hidden or taken out of its window), and
    // sometimes a drag between: what sends its actions.
    void clickAControl()
    {
        pf::View* view = any(m_views);
        if (!view || qobject_cast<OVPopupButton*>(view))
            return;
        const QPointer<pf::View> guard(view);
        const Point at(view->bounds().midX(), view->bounds().midY());
        const auto send = [&](pf::EventType type) {
            if (guard)
                guard->deliverMouseEvent(pf::Event::mouseEvent(type, guard->convertPointToView(at, nullptr),
                                                               0, w.clock.now(), guard->window(), 1));
        };
        send(pf::EventType::LeftMouseDown);
        if (pick(2) == 0)
            send(pf::EventType::LeftMouseDragged);
        send(pf::EventType::LeftMouseUp);
        w.clock.advance(0.6); // no double click with the next
    }

    // Straight to a view, shown, hidden or removed from its window.
    void directInput()
    {
        pf::View* view = anyView();
        if (!view || qobject_cast<OVPopupButton*>(view))
            return;
        const Point at = anyPoint(view);
        const QPointer<pf::View> guard(view);
        const auto send = [&](pf::EventType type, int clicks) {
            if (!guard)
                return;
            const Point base = guard->convertPointToView(at, nullptr);
            guard->deliverMouseEvent(
                pf::Event::mouseEvent(type, base, 0, w.clock.now(), guard->window(), clicks));
        };
        switch (pick(4)) {
        case 0:
            send(pf::EventType::MouseEntered, 0);
            send(pf::EventType::MouseMoved, 0);
            send(pf::EventType::MouseExited, 0);
            break;
        case 1:
            send(pf::EventType::LeftMouseDown, 1 + pick(2));
            send(pf::EventType::LeftMouseDragged, 1);
            send(pf::EventType::LeftMouseUp, 1 + pick(2));
            break;
        case 2:
            if (guard)
                guard->dispatch(pf::Event::keyEvent(
                    pf::EventType::KeyDown, Point(), 0, w.clock.now(), guard->window(), QString(), QString(),
                    false, pick(2) == 0 ? pf::KeyCode::Delete : pf::KeyCode::Return));
            break;
        default:
            if (OVPopupButton* popup = any(m_popups)) {
                // A choice as the menu makes it: highlighted, chosen, then the menu closes.
                auto menu = std::make_unique<pf::Menu>();
                for (int i = 0; i < 4; ++i)
                    menu->addAction(QStringLiteral("Item %1").arg(i));
                const QPointer<QAction> item = menu->actions()[pick(4)];
                const QPointer<OVPopupButton> popupGuard(popup);
                popup->setMenu(std::move(menu));
                popup->menuWillHighlightItem(item);
                if (popupGuard && item)
                    popup->itemSelected(item);
                if (popupGuard)
                    popup->menuDidClose();
                if (popupGuard)
                    popup->setMenu(nullptr);
            }
            if (OVGradientPicker* picker = any(m_pickers))
                picker->setSelectedIndex(pick(4) - 1);
            break;
        }
    }

    // An item of any holder, or a new one.
    OVGridItem* itemToPlace() { return pick(3) == 0 ? newItem() : (any(m_items) ? any(m_items) : newItem()); }

    void gridChange()
    {
        OVGridViewController* grid = any(m_grids);
        if (!grid)
            return;
        const unsigned sections = grid->sectionCount();
        const unsigned section = sections > 0 ? unsigned(pick(int(sections) + 1)) : 0; // sometimes none
        switch (pick(9)) {
        case 0:
        case 1:
            grid->addGridItem(itemToPlace(), section, pick(2) == 0);
            break;
        case 2:
            if (OVGridItem* item = any(m_items))
                grid->removeItemWithContext(item->context());
            break;
        case 3:
            grid->removeItemAtIndex(section, unsigned(pick(6)), pick(2) == 0);
            break;
        case 4: {
            QList<OVGridItem*> items;
            for (int i = pick(6); i > 0; --i)
                items << itemToPlace();
            grid->instantReplaceGridItems(items, section);
            break;
        }
        case 5:
            if (pick(3) == 0)
                grid->removeSection(section);
            else
                grid->addSectionWithSettings(quint64(pick(128)));
            break;
        case 6:
            if (OVGridItem* item = any(m_items))
                item->setSelected(!item->isSelected());
            break;
        case 7:
            grid->viewWasClicked(nullptr);
            break;
        default:
            grid->refreshLayout(pick(3));
            break;
        }
    }

    void stackChange()
    {
        OVStackView* stack = any(m_stacks);
        if (!stack)
            return;
        switch (pick(5)) {
        case 0:
        case 1:
            stack->addGridItem(itemToPlace(), pick(2) == 0);
            break;
        case 2:
            if (OVGridItem* item = any(m_items))
                stack->removeItemWithContext(item->context());
            break;
        case 3: {
            std::vector<OVGridItem*> items = stack->gridItems();
            std::shuffle(items.begin(), items.end(), m_random);
            for (int i = pick(4); i > 0; --i)
                items.push_back(itemToPlace());
            stack->instantReplaceGridItems(items);
            break;
        }
        default:
            if (pick(2) == 0)
                stack->removeAllItems();
            else
                stack->updateLayers();
            break;
        }
    }

    void listChange(bool topLevel = true)
    {
        OVListView* list = any(m_lists);
        if (!list)
            return;
        const unsigned count = list->count();
        switch (pick(topLevel ? 9 : 8)) {
        case 0:
        case 1: {
            OVListEntryView* entry = pick(3) == 0 && any(m_entries) ? any(m_entries) : newEntry();
            list->insertListEntry(entry, unsigned(pick(int(count) + 2)));
            break;
        }
        case 2:
            list->removeListEntryAtIndex(unsigned(pick(int(count) + 1)));
            break;
        case 3:
            list->moveEntryFrom(unsigned(pick(int(count) + 1)), unsigned(pick(int(count) + 1)));
            break;
        case 4:
            list->setSelectedIndex(unsigned(pick(int(count) + 1)));
            break;
        case 5:
            if (pick(4) == 0)
                list->removeAllListEntries();
            else
                list->updateListLayout(1 << pick(3));
            break;
        case 6:
            if (OVListEntryView* entry = list->entryAtIndex(unsigned(pick(int(count) + 1)))) {
                const QPointer<OVListEntryView> guard(entry);
                const QPointer<OVListView> listGuard(list);
                for (int i = pick(4); i >= 0 && guard && listGuard; --i)
                    list->dragListEntry(entry, pf::Size(0, uniform(-120, 120)), i == 0);
            }
            break;
        case 7:
            if (pick(3) == 0)
                list->setUndoManager(pick(2) == 0 ? undoManager() : nullptr);
            else
                list->setFixed(unsigned(pick(3)));
            break;
        default:
            undoOrRedo();
            break;
        }
    }

    void hideShowOrRemove()
    {
        pf::View* view = anyView();
        if (!view)
            return;
        switch (pick(4)) {
        case 0:
            view->setHidden(!view->isHidden());
            break;
        case 1:
            view->removeFromSuperview();
            break;
        case 2:
            if (pf::View* parent = anyParent(); parent != view && !parent->isDescendantOf(view))
                parent->addSubview(view);
            break;
        default:
            view->setFrame(anyFrame(uniform(0, 300), uniform(0, 200)));
            break;
        }
    }

    void destroySomething()
    {
        switch (pick(5)) {
        case 0:
            delete any(m_grids);
            break;
        case 1:
            if (pick(4) == 0 && m_undo && !m_undo->isUndoing() && !m_undo->isRedoing()) {
                delete m_undo;
                m_undo = nullptr;
            } else {
                delete anyObject();
            }
            break;
        case 2:
            if (pick(3) == 0)
                delete any(m_panels);
            break;
        default:
            if (QObject* victim = anyObject())
                victim->deleteLater();
            break;
        }
    }

    void undoOrRedo()
    {
        if (!m_undo || m_inChaos || m_undo->isUndoing() || m_undo->isRedoing())
            return;
        // The group of this turn closes as the turn ends.
        QCoreApplication::sendPostedEvents(nullptr, 0);
        if (!m_undo || m_undo->groupingLevel() > 0)
            return;
        if (pick(3) == 0 && m_undo->canRedo())
            m_undo->redo();
        else if (m_undo->canUndo())
            m_undo->undo();
    }

    // A transition over the window whose delegate (the world's reports, or one deleted on the way) may be
    // destroyed meanwhile.
    void transition()
    {
        if (m_inChaos || pick(4) != 0)
            return;
        auto* host = new pf::LayerHostView(Rect(0, 0, 200, 150));
        w.add(host);
        m_views.emplace_back(host);
        auto tile = pf::Layer::create();
        {
            const pf::Transaction::Scope atOnce(true);
            tile->setFrame(Rect(10, 10, 40, 40));
            host->layer()->addSublayer(tile);
        }
        auto temporary = std::make_shared<Reports>();
        temporary->world = this;
        w.window.setDelegate(pick(2) == 0 ? static_cast<pf::WindowDelegate*>(temporary.get()) : &m_reports);
        auto animator = OVAnimator::create();
        animator->recordStartLayers({tile}, host);
        animator->animateWithEndStateBlock(
            [this, temporary, weak = std::weak_ptr<OVAnimator>(animator), tile,
             host = QPointer<pf::LayerHostView>(host)]() mutable {
                if (const auto running = weak.lock(); running && host)
                    running->recordEndLayers({tile}, host);
                temporary.reset(); // the window's own delegate goes during the transition
                m_reports.chaos();
            },
            [this] { m_reports.chaos(); });
    }

    // No holder names what is gone.
    void checkHolders()
    {
        for (const auto& grid : m_grids) {
            if (!grid)
                continue;
            for (unsigned s = 0; s < grid->sectionCount(); ++s)
                for (OVGridItem* item : grid->gridItemsInSection(s))
                    ASSERT_NE(item, nullptr);
        }
        for (const auto& stack : m_stacks) {
            if (!stack)
                continue;
            for (OVGridItem* item : stack->gridItems())
                ASSERT_TRUE(std::any_of(m_items.begin(), m_items.end(),
                                        [item](const QPointer<OVGridItem>& p) { return p == item; }));
        }
        for (const auto& list : m_lists) {
            if (!list)
                continue;
            for (OVListEntryView* entry : list->entries())
                ASSERT_TRUE(std::any_of(m_entries.begin(), m_entries.end(),
                                        [entry](const QPointer<OVListEntryView>& p) { return p == entry; }));
        }
    }

    std::mt19937 m_random;
    Reports m_reports;
    HoverReports m_hover;
    bool m_inChaos = false;
    int m_serial = 0;
    pf::UndoManager* m_undo = nullptr;
    std::vector<QPointer<pf::View>> m_panels;
    std::vector<QPointer<pf::View>> m_views;
    std::vector<QPointer<OVPopupButton>> m_popups;
    std::vector<QPointer<OVSlider>> m_sliders;
    std::vector<QPointer<OVTextField>> m_fields;
    std::vector<QPointer<OVGradientPicker>> m_pickers;
    std::vector<QPointer<OVGridItem>> m_items;
    std::vector<QPointer<OVListEntryView>> m_entries;
    std::vector<QPointer<OVGridViewController>> m_grids;
    std::vector<QPointer<OVStackView>> m_stacks;
    std::vector<QPointer<OVListView>> m_lists;
};

void Reports::chaos(QObject* sender)
{
    if (world)
        world->chaos(sender);
}

} // namespace

TEST(Randomised, EveryClassSurvivesWhatItsCallersAndReportsDoInAnyOrder)
{
    // Steps per seed: thousands in all, a few seconds plain and under a minute under the sanitizers.
    const int steps = qEnvironmentVariableIntValue("GLIMORA_RANDOMISED_STEPS") > 0
                          ? qEnvironmentVariableIntValue("GLIMORA_RANDOMISED_STEPS")
                          : 1500;
    // GLIMORA_RANDOMISED_SEED runs one seed alone (to follow a failure).
    std::vector<unsigned> seeds{1u, 2u, 3u, 20240611u};
    if (const int only = qEnvironmentVariableIntValue("GLIMORA_RANDOMISED_SEED"); only > 0)
        seeds = {unsigned(only)};
    for (const unsigned seed : seeds) {
        SCOPED_TRACE(seed);
        pf::LogCapture quiet; // refusals and warnings are expected here
        {
            World world(seed);
            for (int i = 0; i < steps && !HasFatalFailure(); ++i)
                world.step();
        }
        // What the window's views let go of as it went.
        QCoreApplication::sendPostedEvents(nullptr, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
