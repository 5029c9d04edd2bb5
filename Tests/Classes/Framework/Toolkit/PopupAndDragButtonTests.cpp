#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVPopupButton.h"
#include "ControlsTestSupport.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Menu.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

using pf::EventType;
using pf::Point;
using pf::Rect;
using pf::Size;

TEST(OVDragButton, ReportsRoundedDistancesAndSendsAtEveryStep)
{
    ControlsWindow w;
    auto* handle = new OVDragButton(Rect(50, 50, 12, 16));
    w.add(handle);
    EXPECT_EQ(handle->name(), QStringLiteral("Grab"));
    QList<int> states;
    handle->setAction([&](OVButton*) { states << handle->dragState(); });
    auto at = [&](EventType type, Point p) {
        handle->deliverMouseEvent(pf::Event::mouseEvent(type, p, 0, w.clock.now(), &w.window));
    };
    at(EventType::LeftMouseDown, Point(50, 50));
    EXPECT_EQ(handle->fullDragDistance(), Size(0, 0));
    at(EventType::LeftMouseDragged, Point(60.4, 53.6));
    EXPECT_EQ(handle->fullDragDistance(), Size(10, 4));
    EXPECT_EQ(handle->lastDragDistance(), Size(10, 4));
    at(EventType::LeftMouseDragged, Point(70.6, 53.6));
    EXPECT_EQ(handle->fullDragDistance(), Size(21, 4));
    EXPECT_EQ(handle->lastDragDistance(), Size(11, 0));
    at(EventType::LeftMouseUp, Point(70.6, 53.6));
    EXPECT_EQ(handle->lastDragDistance(), Size(0, 0));
    EXPECT_EQ(handle->fullDragDistance(), Size(21, 4));
    EXPECT_EQ(states, (QList<int>{0, 1, 1, 2}));
    EXPECT_NE(handle->buttonState(), OVButton::Down) << "the handle keeps no press look";
}

struct PopupHarness
{
    ControlsWindow w;
    OVPopupButton* button = new OVPopupButton(Rect(40, 100, 140, 22));
    QStringList log;
    QList<QAction*> hovered;

    PopupHarness()
    {
        button->setName(QStringLiteral("DefaultStyle"));
        button->setAction([this](OVButton*) {
            log << QStringLiteral("action ") + pf::Menu::title(button->selectedItem());
        });
        button->setHoverAction([this](OVPopupButton* b) { hovered << b->hoveredItem(); });
        w.add(button);
    }
    // Opens the menu with a press and, once it shows, highlights the items of `path` in turn (by
    // index), then presses `key` (Return chooses, Escape dismisses).
    void popUpAndType(const QList<int>& path, int key)
    {
        QTimer::singleShot(0, [this, path, key] {
            pf::Menu* menu = button->menu();
            for (int index : path)
                menu->setActiveAction(menu->actions()[index]);
            QTest::keyClick(menu, Qt::Key(key));
            if (menu->isVisible())
                menu->close();
        });
        w.mouse(button, EventType::LeftMouseDown, Point(20, 11));
        w.mouse(button, EventType::LeftMouseUp, Point(20, 11));
    }
};

std::unique_ptr<pf::Menu> sizes(QStringList* log = nullptr)
{
    auto menu = std::make_unique<pf::Menu>();
    menu->addItem(QStringLiteral("Small"));
    menu->addItem(QStringLiteral("Medium"));
    if (log)
        menu->addItem(QStringLiteral("Large"), [log](QAction*) { *log << QStringLiteral("own Large"); });
    else
        menu->addItem(QStringLiteral("Large"));
    return menu;
}

TEST(OVPopupButton, ItemsWithoutAnActionSendTheButtonsAndOthersTheirOwn)
{
    PopupHarness h;
    h.button->setMenu(sizes(&h.log));
    EXPECT_EQ(h.button->title(), QStringLiteral("Small"));
    EXPECT_EQ(h.button->selectedIndex(), -1);

    h.popUpAndType({1}, Qt::Key_Return);
    EXPECT_EQ(h.log, QStringList{QStringLiteral("action Medium")});
    EXPECT_EQ(h.button->selectedIndex(), 1);
    EXPECT_EQ(h.button->title(), QStringLiteral("Medium"));

    h.log.clear();
    h.popUpAndType({2}, Qt::Key_Return);
    EXPECT_EQ(h.log, QStringList{QStringLiteral("own Large")});
    EXPECT_EQ(h.button->selectedIndex(), 2);
    EXPECT_EQ(h.button->title(), QStringLiteral("Large"));
    EXPECT_EQ(h.button->buttonState(), OVButton::Hover);
}

TEST(OVPopupButton, ADismissedMenuKeepsSelectionAndTitleAndTheHoverEndsInNull)
{
    PopupHarness h;
    h.button->setMenu(sizes());
    h.button->setSelectedItem(h.button->menu()->actions()[0]);
    h.popUpAndType({1, 2}, Qt::Key_Escape);
    EXPECT_TRUE(h.log.isEmpty()) << "no action";
    EXPECT_EQ(h.button->selectedIndex(), 0);
    EXPECT_EQ(h.button->title(), QStringLiteral("Small"));
    ASSERT_GE(h.hovered.size(), 2);
    EXPECT_TRUE(h.hovered.contains(h.button->menu()->actions()[2]));
    EXPECT_EQ(h.hovered.last(), nullptr);
}

TEST(OVPopupButton, KeepTitleEmptyMenusInsertedItemsAndTranslation)
{
    PopupHarness h;
    h.button->setTitle(QStringLiteral("Size"));
    h.button->setKeepTitle(true);
    h.button->setMenu(sizes());
    h.popUpAndType({1}, Qt::Key_Return);
    EXPECT_EQ(h.button->selectedIndex(), 1);
    EXPECT_EQ(h.button->title(), QStringLiteral("Size")) << "the title is kept";

    h.button->setKeepTitle(false);
    h.button->setMenu(std::make_unique<pf::Menu>());
    EXPECT_EQ(h.button->selectedItem(), nullptr);
    EXPECT_EQ(h.button->title(), QString());

    QAction* inserted = h.button->inserItemWithTitle(QStringLiteral("Large"), 0);
    h.button->inserItemWithTitle(QStringLiteral("Small"), 0);
    EXPECT_EQ(h.button->menu()->actions().indexOf(inserted), 1);
    h.popUpAndType({1}, Qt::Key_Return);
    EXPECT_EQ(h.log.last(), QStringLiteral("action Large"));

    pf::Localization::setLanguageForTesting(QStringLiteral("de"));
    h.button->setMenu(sizes());
    pf::Localization::setLanguageForTesting(QStringLiteral("en"));
    EXPECT_EQ(pf::Menu::title(h.button->menu()->actions()[0]), QStringLiteral("Klein"));
    EXPECT_EQ(h.button->title(), QStringLiteral("Klein"));
}

// However the menu gets its items (before it is set, after, or through the button), a choice of an item
// without an action of its own sends the button's action.
TEST(OVPopupButton, ItemsAddedAfterTheMenuIsSetSendTheButtonsAction)
{
    const std::pair<const char*, std::function<void(OVPopupButton*)>> ways[] = {
        {"filled before it is set", [](OVPopupButton* b) { b->setMenu(sizes()); }},
        {"filled after it is set",
         [](OVPopupButton* b) {
             b->setMenu(std::make_unique<pf::Menu>());
             for (const char* title : {"Small", "Medium", "Large"})
                 b->menu()->addItem(QString::fromLatin1(title));
         }},
        {"refilled",
         [](OVPopupButton* b) {
             b->setMenu(sizes());
             b->menu()->clear();
             for (const char* title : {"Small", "Medium", "Large"})
                 b->menu()->addItem(QString::fromLatin1(title));
         }},
    };
    for (const auto& [what, fill] : ways) {
        SCOPED_TRACE(what);
        PopupHarness h;
        fill(h.button);
        h.popUpAndType({1}, Qt::Key_Return);
        EXPECT_EQ(h.log, QStringList{QStringLiteral("action Medium")});
        EXPECT_EQ(h.button->selectedIndex(), 1);
        EXPECT_EQ(h.button->title(), QStringLiteral("Medium"));
    }
}

// An action may give the button a new menu while the old one is handling the key that chose the item:
// the old menu lives until the event loop turns. Without a menu the button shows no title.
TEST(OVPopupButton, AnActionMayReplaceItsOwnMenuAndNoMenuShowsNoTitle)
{
    PopupHarness h;
    h.button->setMenu(sizes());
    QPointer<pf::Menu> old = h.button->menu();
    bool oldAliveInAction = false;
    h.button->setAction([&](OVButton*) {
        auto replacement = std::make_unique<pf::Menu>();
        replacement->addItem(QStringLiteral("Tiny"));
        h.button->setMenu(std::move(replacement));
        oldAliveInAction = !old.isNull();
    });
    h.popUpAndType({2}, Qt::Key_Return);
    EXPECT_TRUE(oldAliveInAction) << "the menu handling the key was freed under it";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull()) << "and is let go afterwards";
    EXPECT_EQ(h.button->title(), QStringLiteral("Tiny"));
    EXPECT_EQ(h.button->selectedIndex(), -1) << "an item of the old menu is no selection";

    h.button->setMenu(nullptr);
    EXPECT_EQ(h.button->title(), QString());
    EXPECT_EQ(h.button->selectedItem(), nullptr);
}

// An action that selects another item itself (an "Add" pop-up going back to its title after each choice)
// keeps that selection once the menu has closed, so the menu opens at the title the next time.
TEST(OVPopupButton, TheSelectionAnActionMakesStands)
{
    PopupHarness h;
    h.button->setMenu(sizes());
    h.button->setAction([&h](OVButton*) { h.button->setSelectedItem(h.button->menu()->actions()[0]); });
    h.popUpAndType({2}, Qt::Key_Return);
    EXPECT_EQ(h.button->selectedIndex(), 0);
    EXPECT_EQ(h.button->title(), QStringLiteral("Small"));
}

// An action may delete the button while its menu, still open, handles the key that chose the item:
// the menu lives until the event loop turns.
TEST(OVPopupButton, AnActionMayDeleteTheButtonWhoseMenuIsOpen)
{
    PopupHarness h;
    h.button->setMenu(sizes());
    const QPointer<pf::Menu> menu = h.button->menu();
    const QPointer<OVPopupButton> guard(h.button);
    h.button->setAction([&menu](OVButton* button) {
        EXPECT_TRUE(menu);
        delete button;
    });
    QTimer::singleShot(0, [menu] {
        menu->setActiveAction(menu->actions()[1]);
        QTest::keyClick(menu, Qt::Key_Return);
        if (menu && menu->isVisible())
            menu->close();
    });
    h.w.mouse(h.button, EventType::LeftMouseDown, Point(20, 11));
    EXPECT_FALSE(guard);
    EXPECT_TRUE(menu) << "the open menu outlived its button";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(menu) << "and is let go afterwards";
}

// A chosen item that is deleted gives the selection and the title back to the first item.
TEST(OVPopupButton, ADeletedChoiceNamesNoTitle)
{
    PopupHarness h;
    h.button->setMenu(sizes());
    h.button->setSelectedItem(h.button->menu()->actions()[1]);
    ASSERT_EQ(h.button->title(), QStringLiteral("Medium"));
    delete h.button->menu()->actions()[1];
    EXPECT_EQ(h.button->title(), QStringLiteral("Small"));
    EXPECT_EQ(h.button->selectedIndex(), -1);
    EXPECT_EQ(h.button->selectedItem(), h.button->menu()->actions()[0]);

    // An item of another menu is no choice of this one: the button keeps its own.
    std::unique_ptr<pf::Menu> other = sizes();
    pf::LogCapture log;
    h.button->setSelectedItem(other->actions()[2]);
    EXPECT_EQ(h.button->title(), QStringLiteral("Small"));
    EXPECT_EQ(h.button->selectedItem(), h.button->menu()->actions()[0]);
    EXPECT_TRUE(log.contains(QStringLiteral("no item of its menu")));
}

TEST(OVPopupButton, DrawsTwoTrianglesAtItsRightEnd)
{
    OVPopupButton button(Rect(0, 0, 120, 22));
    button.setName(QStringLiteral("DefaultStyle"));
    button.setTextColor(pf::PaintColor::calibratedRGB(1, 0, 0, 1));
    const QImage image = button.snapshot(2).convertToFormat(QImage::Format_ARGB32);
    const double x0 = std::min(120 - 3 - button.padding().right, 120 - 6.0);
    const QRectF arrow = button.arrowPath().boundingRect();
    EXPECT_GE(arrow.left(), 0);
    EXPECT_LE(arrow.right(), 120 - 1) << "the arrow lies whole inside the button, a point from its edge";
    const double y0 = std::floor(22 / 2.0 - 5);
    // In y-up points: inside each triangle, and the gap between them.
    auto red = [&](double x, double y) {
        const QColor c = image.pixelColor(int(x * 2), int((22 - y) * 2));
        return c.red() > 200 && c.green() < 80;
    };
    EXPECT_TRUE(red(x0 + 2.5, y0 + 1.5)) << "the downward triangle";
    EXPECT_TRUE(red(x0 + 2.5, y0 + 9.5)) << "the upward triangle";
    EXPECT_FALSE(red(x0 + 2.5, y0 + 5.5)) << "the gap between them";
    EXPECT_FALSE(red(x0 + 0.5, y0 + 0.5)) << "the downward triangle narrows to its bottom point";
    EXPECT_FALSE(red(x0 + 0.5, y0 + 10.5)) << "the upward one to its top point";
}

} // namespace
