#include "GridTestSupport.h"

#include "Platform/UI/Layer.h"

#include <QCoreApplication>
#include <QMimeData>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>

namespace {

using pf::EventType;
using pf::Point;
using pf::Rect;

struct ItemHarness
{
    ControlsWindow w;
    ItemRecorder recorder;
    OVGridItem* item;

    explicit ItemHarness(unsigned settings, QImage image = picture(200, 150))
    {
        item = OVGridItem::gridItemWithImage(image, QStringLiteral("Portrait"),
                                             QStringLiteral("/photos/a.jpg"), settings);
        item->setFrame(Rect(40, 40, 200, 150));
        w.add(item);
        item->setDelegate(&recorder);
    }
    // A whole click at a point of the item; a double click sends its first click too.
    void click(Point at, int clicks = 1)
    {
        for (int count = 1; count <= clicks; ++count) {
            w.mouse(item, EventType::LeftMouseDown, at, count);
            w.mouse(item, EventType::LeftMouseUp, at, count);
        }
    }
};

TEST(OVGridItem, ClickRulesFollowTheSettings)
{
    const Point middle(100, 60);
    const Point onRemove(15, 135); // the remove button: (5, h - 25, 20, 20)
    const Point onPin(180, 135);   // the pin button: (w - 34, h - 25, 29, 20)
    const struct
    {
        const char* name;
        unsigned settings;
        Point at;
        int clicks;
        QStringList expected;
    } cases[] = {
        {"no settings: nothing", 0, middle, 1, {}},
        {"no settings, double click: nothing", 0, middle, 2, {}},
        {"executable: one click executes", 8, middle, 1, {"executed"}},
        {"executable: a double click executes twice", 8, middle, 2, {"executed", "executed"}},
        {"selectable: one click selects", 4, middle, 1, {"selected"}},
        {"selectable: a double click selects, then nothing", 4, middle, 2, {"selected"}},
        {"selectable and executable: one click selects", 4 | 8, middle, 1, {"selected"}},
        {"selectable and executable: the second click executes", 4 | 8, middle, 2, {"selected", "executed"}},
        {"the remove button asks for removal first", 2 | 4 | 8, onRemove, 1, {"remove"}},
        {"the pin button pins first", 1 | 4 | 8, onPin, 1, {"pinned"}},
        {"without a remove button its corner is picture", 4, onRemove, 1, {"selected"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ItemHarness h(c.settings);
        h.click(c.at, c.clicks);
        EXPECT_EQ(h.recorder.log, c.expected);
    }
}

TEST(OVGridItem, WithoutDelegateClicksPassToTheImageView)
{
    ItemHarness h(4 | 8);
    h.item->setDelegate(nullptr);
    h.click(Point(100, 60));
    EXPECT_FALSE(h.item->isSelected());
    EXPECT_TRUE(h.recorder.log.isEmpty());
}

TEST(OVGridItem, PinTogglesAndShowsThePressedImageOfTheNewState)
{
    ItemHarness h(1);
    const Point onPin(180, 135);
    h.w.mouse(h.item, EventType::LeftMouseDown, onPin);
    EXPECT_EQ(h.item->pinImageName(), QStringLiteral("GridItemPinDown"));
    h.w.mouse(h.item, EventType::LeftMouseUp, onPin);
    EXPECT_TRUE(h.item->isPinned());
    EXPECT_EQ(h.recorder.log, QStringList{QStringLiteral("pinned")});
    // Refreshed while the button was still down: the pressed look of the new state, until the pointer moves.
    EXPECT_EQ(h.item->pinImageName(), QStringLiteral("GridItemPinSetDown"));
    h.w.mouse(h.item, EventType::MouseMoved, onPin);
    EXPECT_EQ(h.item->pinImageName(), QStringLiteral("GridItemPinSetHover"));
    h.w.mouse(h.item, EventType::MouseMoved, Point(100, 60));
    EXPECT_EQ(h.item->pinImageName(), QStringLiteral("GridItemPinSet"));
}

TEST(OVGridItem, DragsStartBeyondFivePointsAndNeverFromAButton)
{
    struct Recorded
    {
        QString text;
        QList<QUrl> urls;
        Point origin;
    };
    const struct
    {
        const char* name;
        Point press;
        Point drag;
        bool starts;
    } cases[] = {
        {"5.0 points is no drag", Point(100, 60), Point(103, 64), false},
        {"5.1 points starts one", Point(100, 60), Point(105.1, 60), true},
        {"from the remove button never", Point(15, 135), Point(60, 100), false},
        {"from the pin button never", Point(180, 135), Point(120, 100), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ItemHarness h(1 | 2);
        std::vector<Recorded> drags;
        OVGridItem::setDragStarterForTesting([&](OVGridItem*, QMimeData* data, const QImage&, Point origin) {
            drags.push_back({data->text(), data->urls(), origin});
            delete data;
        });
        h.w.mouse(h.item, EventType::LeftMouseDown, c.press);
        h.w.mouse(h.item, EventType::LeftMouseDragged, c.drag);
        OVGridItem::setDragStarterForTesting(nullptr);
        ASSERT_EQ(drags.size(), c.starts ? 1u : 0u);
        if (c.starts) {
            // A string context goes as text and as a file; the picture is centred on the pointer.
            EXPECT_EQ(drags[0].text, QStringLiteral("/photos/a.jpg"));
            EXPECT_EQ(drags[0].urls, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/photos/a.jpg"))});
            EXPECT_EQ(drags[0].origin, Point(c.drag.x - 100, c.drag.y - 75));
        }
    }
}

TEST(OVGridItem, FitsItsAspectInsideTheCell)
{
    OVGridItem item(0);
    item.setImage(picture(80, 80));
    item.setupInRect(Rect(30, 40, 200, 100), false);
    EXPECT_EQ(item.frame(), Rect(80, 40, 100, 100));
    item.setImage(picture(160, 40)); // 4:1 in a 2:1 cell: full width
    item.setupInRect(Rect(0, 0, 200, 100), false);
    EXPECT_EQ(item.frame(), Rect(0, 25, 200, 50));

    OVGridItem empty(0);
    empty.setFrame(Rect(1, 2, 3, 4));
    empty.setupInRect(Rect(0, 0, 200, 100), false);
    EXPECT_EQ(empty.frame(), Rect(1, 2, 3, 4)) << "an item without a picture stays";
}

TEST(OVGridItem, StyleAndPictureDecideBorderShadowAndTitle)
{
    const struct
    {
        const char* name;
        int style;
        bool alpha;
        double border;
        bool shadow;
        bool titleHidden;
    } cases[] = {
        {"standard, opaque picture: framed", 0, false, 1, true, false},
        {"standard, translucent picture: no frame, no title", 0, true, 0, true, true},
        {"plain: no frame, no shadow", 1, false, 0, false, false},
        {"framed, even with a translucent picture", 2, true, 1, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OVGridItem item(16);
        item.setStyle(c.style);
        item.setImage(picture(40, 30, QColor(200, 40, 40, c.alpha ? 128 : 255), c.alpha));
        EXPECT_EQ(item.itemBorderWidth(), c.border);
        EXPECT_EQ(item.shadowColor().has_value(), c.shadow);
        EXPECT_EQ(item.titleLayer()->isHidden(), c.titleHidden);
    }
}

TEST(OVGridItem, ARepaintShowsWhatChangedSinceTheLastOne)
{
    // The item keeps its picture as last drawn: whatever changes it must show at the next repaint.
    const QColor red(200, 40, 40), blue(40, 40, 200);
    const struct
    {
        const char* name;
        std::function<void(OVGridItem&)> change;
        QPoint probe; // in the snapshot, from its top left
        QColor expected;
    } cases[] = {
        {"a new picture", [&](OVGridItem& item) { item.setImage(picture(40, 40, blue)); }, QPoint(50, 50),
         blue},
        {"a larger size", [](OVGridItem& item) { item.setFrameSize(pf::Size(200, 200)); }, QPoint(150, 150),
         red},
        {"the border gone", [](OVGridItem& item) { item.setStyle(1); }, QPoint(0, 50), red},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ControlsWindow w;
        auto* item = new OVGridItem(0);
        item->setImage(picture(40, 40, red));
        item->setFrame(Rect(0, 0, 100, 100));
        w.add(item);
        (void)item->snapshot(1); // seen once as it was
        c.change(*item);
        const QImage shown = item->snapshot(1);
        EXPECT_EQ(shown.pixelColor(c.probe).rgb(), c.expected.rgb());
    }
}

TEST(OVGridItem, SelectionGlowsAndReportsOnlyChanges)
{
    ItemHarness h(4);
    h.item->setSelected(true);
    EXPECT_TRUE(h.item->hasVignette());
    EXPECT_EQ(h.item->itemBorderWidth(), 3);
    EXPECT_EQ(h.item->shadowColor(), QColor(Qt::white));
    h.item->setSelected(true);
    EXPECT_EQ(h.recorder.log, QStringList{QStringLiteral("selected")}) << "selecting again reports nothing";
    h.item->setSelected(false);
    EXPECT_FALSE(h.item->hasVignette());
    EXPECT_EQ(h.item->itemBorderWidth(), 1);
    EXPECT_EQ(h.item->shadowColor(), QColor(Qt::black));
}

TEST(OVGridItem, AWideTitleIsScaledIntoTheStripNotCut)
{
    OVGridItem item(16);
    item.setImage(picture(200, 150));
    item.setFrame(Rect(0, 0, 200, 150));
    item.setTitle(QStringLiteral("A rather long title for a portrait taken at the seaside in June"));
    const auto& strip = item.titleLayer();
    EXPECT_EQ(strip->bounds().size, pf::Size(200, 25));
    EXPECT_EQ(strip->contentsGravity(), pf::ContentsGravity::ResizeAspect);
    const QImage contents = strip->contents();
    EXPECT_GT(contents.width() / contents.devicePixelRatio(), 200) << "the whole text is in the strip";
}

TEST(OVGridItem, HoversRightAfterMovingUnderAStillPointer)
{
    ItemHarness h(1 | 2 | 16);
    h.item->setFrame(Rect(40, 40, 100, 75));
    h.w.movePointer(h.w.window.contentView(), Point(300, 250));
    h.recorder.log.clear();
    ASSERT_FALSE(h.item->isHovered());
    h.item->setFrame(Rect(250, 200, 100, 75));
    EXPECT_TRUE(h.item->isHovered());
    // The delegate hears of it at the next turn: it may delete the item, or the grid laying it out.
    EXPECT_TRUE(h.recorder.log.isEmpty());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(h.recorder.log, QStringList{QStringLiteral("hover in")});
    EXPECT_EQ(h.item->pinLayer()->opacity(), 1);
    h.item->setFrame(Rect(10, 10, 100, 75));
    EXPECT_FALSE(h.item->isHovered());
    EXPECT_EQ(h.item->titleLayer()->opacity(), 0) << "the title shows only while hovered";
}

TEST(OVGridItem, SortTagsCompareByAFixedRule)
{
    const QDateTime early(QDate(2020, 1, 1), QTime(8, 0));
    const QDateTime late(QDate(2021, 1, 1), QTime(8, 0));
    const struct
    {
        const char* name;
        QVariant a, b;
        int expected;
    } cases[] = {
        {"numbers", 2, 10.5, -1},
        {"numbers of different kinds", qint64(7), 7.0, 0},
        {"strings", QStringLiteral("b"), QStringLiteral("a"), 1},
        {"dates", early, late, -1},
        {"a day and a moment", QDate(2021, 1, 1), early, 1},
        {"numbers before strings", 99, QStringLiteral("1"), -1},
        {"strings before dates", QStringLiteral("z"), early, -1},
        {"other kinds last", QVariant::fromValue(QSize(1, 1)), 5, 1},
        {"other kinds are equal", QVariant::fromValue(QSize(1, 1)), QVariant::fromValue(QPoint(3, 3)), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OVGridItem::compareTags(c.a, c.b), c.expected);
        EXPECT_EQ(OVGridItem::compareTags(c.b, c.a), -c.expected);
    }
    OVGridItem item(0);
    pf::LogCapture log;
    item.setSortTag(QVariant::fromValue(QSize(1, 1)));
    item.setSortTag(3);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(
        QStringLiteral("Warning: SortTag does not respond to selector 'compare:'")));
}

} // namespace
