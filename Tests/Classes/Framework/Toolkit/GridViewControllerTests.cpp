#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Classes/Framework/Toolkit/OVGridViewDelegate.h"
#include "Classes/Framework/Toolkit/OVTitledView.h"
#include "GridTestSupport.h"
#include "Platform/UI/ClipView.h"
#include "Platform/UI/ScrollView.h"

#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace {

using pf::Rect;

struct GridRecorder : OVGridViewDelegate
{
    QStringList log;
    void gridViewSelectedItemWithContext(OVGridViewController*, const QVariant& context) override
    {
        log << QStringLiteral("selected ") + (context.isValid() ? context.toString() : QStringLiteral("nil"));
    }
    void gridViewRemoveItemWithContext(OVGridViewController*, const QVariant& context) override
    {
        log << QStringLiteral("remove ") + context.toString();
    }
};

// A section background with a title area.
class Titled : public pf::View, public OVTitledView
{
public:
    explicit Titled(double height) : m_height(height) {}
    pf::Size titleSize() const override { return pf::Size(100, m_height); }

private:
    double m_height;
};

struct GridHarness
{
    ControlsWindow w;
    OVGridViewController grid;
    GridRecorder recorder;

    explicit GridHarness(double width = 500, double height = 300)
    {
        w.window.setFrame(Rect(100, 100, width, height));
        grid.setGridParentView(w.window.contentView());
        grid.view()->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
        grid.setDelegate(&recorder);
    }
    OVGridItem* add(const QString& context, QVariant tag, unsigned section = 0, QSize size = QSize(100, 100))
    {
        return grid.addImage(picture(size.width(), size.height()), context, context, tag, section);
    }
    void settle() { w.clock.advance(3); }
    // One section of two items laid out at once; the second, which sits in the second column.
    OVGridItem* secondOfTwoLaidOut()
    {
        grid.addSectionWithSettings(0);
        add(QStringLiteral("a"), 1);
        OVGridItem* second = add(QStringLiteral("b"), 2);
        grid.refreshLayout(OVGridViewController::Instant);
        return second;
    }
};

OVGridLayout::Parameters parameters(double width, double scroller)
{
    OVGridLayout::Parameters p;
    p.width = width;
    p.scrollerWidth = scroller;
    p.visibleHeight = 300;
    return p;
}

TEST(OVGridLayout, ColumnsGapAndCells)
{
    // The worked example: W 500, a 15-point scroller, default margins and spacing, 200-point cells.
    OVGridLayout::Result r = OVGridLayout::compute(parameters(500, 15), {{3, 0}});
    EXPECT_EQ(r.usableWidth, 480);
    EXPECT_EQ(r.columns, 2);
    EXPECT_EQ(r.gap, 65);
    // An overlay scroller takes no width: U = W - 15.
    EXPECT_EQ(OVGridLayout::compute(parameters(500, 0), {}).usableWidth, 485);
    // A single column has no gap.
    r = OVGridLayout::compute(parameters(300, 15), {{2, 0}});
    EXPECT_EQ(r.columns, 1);
    EXPECT_EQ(r.gap, 0);

    // 7 items in 3 columns: 3 rows, item 6 in column 0 of row 2; an empty section is its title alone.
    OVGridLayout::Parameters p = parameters(600, 15);
    p.cell = pf::Size(150, 100);
    r = OVGridLayout::compute(p, {{7, 20}, {0, 30}});
    ASSERT_EQ(r.columns, 3);
    const double U = 600 - 15 - 5 - 0;
    const double g = (U - 3 * 150 - 15) / 2;
    const double pitch = 100 + 15;
    const double hc = std::max(20.0 + 30 + 2 * 35 + 2 * 15 + 3 * pitch, 300.0);
    EXPECT_EQ(r.containerHeight, hc);
    const double a = 35 + 15;
    EXPECT_EQ(r.cells[0][6], Rect(15 + 5, hc - (2 * pitch + a + 20 + 100), 150, 100));
    EXPECT_EQ(r.cells[0][4], Rect(1 * (150 + g) + 15 + 5, hc - (1 * pitch + a + 20 + 100), 150, 100));
    EXPECT_EQ(r.backgrounds[0], Rect(5, hc - (a - 7.5 + 20 + 3 * pitch), 3 * (150 + g) + 15, 3 * pitch + 20));
    EXPECT_EQ(r.backgrounds[1].size, pf::Size(15, 30));
    EXPECT_EQ(r.backgrounds[1].maxY(), r.backgrounds[0].minY()) << "sections follow without a gap";
}

TEST(OVGridViewController, AResizeThatKeepsTheColumnsMovesNoItem)
{
    // The second item sits in the second column, whose place follows the width.
    GridHarness h;
    OVGridItem* item = h.secondOfTwoLaidOut();
    const Rect before = item->frame();
    h.grid.setNeedsLayout(false);
    h.grid.scrollView()->setFrameSize(pf::Size(470, 300)); // still two columns
    h.grid.refreshLayout(OVGridViewController::OnColumnChange);
    h.w.clock.advance(0.3);
    EXPECT_EQ(item->frame(), before);
    h.grid.scrollView()->setFrameSize(pf::Size(800, 300)); // three columns
    h.grid.refreshLayout(OVGridViewController::OnColumnChange);
    h.settle();
    EXPECT_NE(item->frame(), before);
}

TEST(OVGridViewController, EveryGridRemembersItsOwnColumnCount)
{
    // A layout of another grid with another count must not make this one skip its move.
    GridHarness h;
    OVGridItem* item = h.secondOfTwoLaidOut();
    ASSERT_EQ(h.grid.layout().lastColumnCount(), 2);
    OVGridViewController other;
    other.setGridParentView(h.w.window.contentView());
    other.scrollView()->setFrameSize(pf::Size(800, 300));
    other.refreshLayout(OVGridViewController::Instant);
    EXPECT_EQ(other.layout().lastColumnCount(), 3);
    EXPECT_EQ(h.grid.layout().lastColumnCount(), 2);

    h.grid.scrollView()->setFrameSize(pf::Size(800, 300));
    const Rect before = item->frame();
    h.grid.refreshLayout(OVGridViewController::OnColumnChange);
    h.settle();
    EXPECT_NE(item->frame(), before) << "three columns now, so the cells move";
}

TEST(OVGridViewController, ABurstIsLaidOutOnceHalfASecondAfterItsFirstCall)
{
    GridHarness h;
    h.grid.addSectionWithSettings(0);
    h.add(QStringLiteral("a"), 2);
    h.settle();
    h.grid.setNeedsLayout(true);
    h.w.clock.advance(0.3);
    h.add(QStringLiteral("b"), 1); // another request inside the wait does not restart it
    OVGridItem* b = h.grid.gridItemForContext(QStringLiteral("b"));
    const Rect centred = b->frame();
    h.w.clock.advance(0.19);
    EXPECT_EQ(b->frame(), centred) << "not yet";
    EXPECT_TRUE(h.grid.layoutIsPending());
    h.w.clock.advance(0.02);
    EXPECT_FALSE(h.grid.layoutIsPending());
    h.w.clock.advance(0.3);
    EXPECT_NE(b->frame(), centred);
    EXPECT_EQ(h.grid.gridItemsInSection(0).first(), b) << "sorted by tag";
}

TEST(OVGridViewController, SlowMotionOnlyWithShiftAlone)
{
    const struct
    {
        unsigned flags;
        double fadeEnds; // the removal fade
    } cases[] = {
        {0, 0.25},
        {pf::Modifier::Shift, 2.0},
        {pf::Modifier::Shift | pf::Modifier::Option, 0.25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        GridHarness h;
        h.grid.addSectionWithSettings(0);
        OVGridItem* item = h.add(QStringLiteral("a"), 1);
        h.settle();
        const QPointer<OVGridItem> guard(item);
        HeldModifiers held(c.flags);
        h.grid.removeItemWithContext(QStringLiteral("a"));
        h.w.clock.advance(c.fadeEnds - 0.05);
        EXPECT_TRUE(guard && guard->parentWidget());
        h.w.clock.advance(0.1);
        h.w.clock.advance(0.02);
        EXPECT_FALSE(guard) << "removed and deleted when the fade ended";
    }
}

TEST(OVGridViewController, AnEqualContextReplacesTheItemFromItsPlace)
{
    GridHarness h;
    h.grid.addSectionWithSettings(0);
    h.add(QStringLiteral("x"), 1);
    OVGridItem* old = h.add(QStringLiteral("a"), 2);
    h.settle();
    const Rect place = old->frame();
    OVGridItem* replacement = h.add(QStringLiteral("a"), 2);
    EXPECT_EQ(replacement->frame(), place);
    EXPECT_EQ(h.grid.gridItemsInSection(0).size(), 2);
    EXPECT_EQ(h.grid.gridItemForContext(QStringLiteral("a")), replacement);
    h.settle(); // the replaced item is deleted at a later turn
}

TEST(OVGridViewController, SelectingAnotherItemReportsNilThenTheNewContext)
{
    GridHarness h;
    h.grid.addSectionWithSettings(4);
    OVGridItem* a = h.add(QStringLiteral("a"), 1);
    OVGridItem* b = h.add(QStringLiteral("b"), 2);
    a->setSelected(true);
    b->setSelected(true);
    EXPECT_FALSE(a->isSelected());
    EXPECT_EQ(h.grid.selectedItem(), b);
    EXPECT_EQ(h.recorder.log, (QStringList{"selected a", "selected nil", "selected b"}));
    h.recorder.log.clear();
    h.grid.viewWasClicked(nullptr);
    EXPECT_EQ(h.recorder.log, (QStringList{"selected nil", "selected nil"}));
}

TEST(OVGridViewController, SectionNumbersAreChecked)
{
    GridHarness h;
    for (int i = 0; i < 100; ++i)
        h.grid.addSectionWithSettings(0);
    {
        pf::LogCapture log;
        EXPECT_EQ(h.grid.addSectionWithSettings(0), 99u);
        EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Error: more then 100 sections")});
        EXPECT_EQ(h.grid.sectionCount(), 100u);
    }
    const struct
    {
        unsigned section, index;
    } badRemovals[] = {{100, 0}, {5, 0}, {3000, 7}};
    pf::LogCapture log;
    EXPECT_EQ(h.add(QStringLiteral("far"), 1, 100), nullptr);
    EXPECT_EQ(h.add(QStringLiteral("farther"), 1, 250), nullptr);
    for (const auto& r : badRemovals)
        EXPECT_EQ(h.grid.removeItemAtIndex(r.section, r.index, false), nullptr);
    EXPECT_EQ(log.lines().size(), 5);
    for (const QString& line : log.lines())
        EXPECT_TRUE(line.startsWith(QStringLiteral("Warning: ")));
    EXPECT_EQ(h.grid.removeItemAtIndex(OVGridViewController::notFound, 0, false), nullptr);
}

TEST(OVGridViewController, RemovingASectionKeepsTheOthersSettingsAndBackgrounds)
{
    GridHarness h;
    auto* first = new Titled(20);
    auto* third = new Titled(40);
    h.grid.addSectionWithSettings(1, first);
    h.grid.addSectionWithSettings(2);
    h.grid.addSectionWithSettings(4, third);
    h.add(QStringLiteral("c"), 1, 2);
    h.grid.removeSection(1);
    ASSERT_EQ(h.grid.sectionCount(), 2u);
    EXPECT_EQ(h.grid.settingsOfSection(1), 4u);
    EXPECT_EQ(h.grid.backgroundOfSection(1), third);
    EXPECT_EQ(h.grid.backgroundOfSection(0), first);
    OVGridItem* added = h.add(QStringLiteral("d"), 1, 1);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->settings(), 4u);
    EXPECT_EQ(h.grid.gridItemsInSection(1).size(), 2);
}

TEST(OVGridViewController, MixedTagsSortTheSameWayEveryTime)
{
    GridHarness h;
    h.grid.addSectionWithSettings(0);
    h.add(QStringLiteral("date"), QDate(2020, 5, 1));
    h.add(QStringLiteral("text"), QStringLiteral("m"));
    h.add(QStringLiteral("none"), QVariant());
    h.add(QStringLiteral("two"), 2);
    h.add(QStringLiteral("one"), 1.5);
    QStringList order;
    for (OVGridItem* item : h.grid.gridItemsInSection(0))
        order << item->context().toString();
    EXPECT_EQ(order, (QStringList{"one", "two", "text", "date", "none"}));
}

TEST(OVGridViewController, ScrollPositionRunsFromTopToBottom)
{
    GridHarness h;
    h.grid.addSectionWithSettings(0);
    h.grid.refreshLayout(OVGridViewController::Instant);
    h.grid.setScrollPosition(0.5);
    EXPECT_EQ(h.grid.scrollPosition(), 0) << "content that fits";
    for (int i = 0; i < 12; ++i)
        h.add(QString::number(i), i);
    h.grid.refreshLayout(OVGridViewController::Instant);
    EXPECT_EQ(h.grid.scrollPosition(), 0) << "the top shows first";
    h.grid.setScrollPosition(1);
    EXPECT_EQ(h.grid.scrollView()->contentView()->bounds().minY(), 0);
    EXPECT_NEAR(h.grid.scrollPosition(), 1, 1e-9);
    h.grid.setScrollPosition(0.25);
    EXPECT_NEAR(h.grid.scrollPosition(), 0.25, 1e-9);
    EXPECT_GT(h.grid.topShadow()->alphaValue(), 0);
    EXPECT_GT(h.grid.bottomShadow()->alphaValue(), 0);
}

TEST(OVGridViewController, TheRemoveButtonRemovesAfterTellingTheDelegate)
{
    for (const QVariant& context : {QVariant(QStringLiteral("a")), QVariant()}) {
        SCOPED_TRACE(context.toString().toStdString());
        GridHarness h;
        h.grid.addSectionWithSettings(2);
        OVGridItem* item = h.grid.addImage(picture(100, 100), QStringLiteral("a"), context, 1, 0);
        h.settle();
        const QPointer<OVGridItem> guard(item);
        const pf::Point onRemove(15, item->bounds().height() - 15);
        h.w.mouse(item, pf::EventType::LeftMouseDown, onRemove);
        h.w.mouse(item, pf::EventType::LeftMouseUp, onRemove);
        EXPECT_EQ(h.recorder.log, QStringList{QStringLiteral("remove ") + context.toString()});
        EXPECT_TRUE(h.grid.gridItemsInSection(0).isEmpty());
        EXPECT_TRUE(guard) << "never deleted inside its own click";
        h.settle();
        EXPECT_FALSE(guard);
    }
}

// A grid whose layout asks for cells beyond any screen, as a subclass may.
class HugeCells : public OVGridViewController
{
public:
    OVGridLayout::Parameters layoutParameters() const override
    {
        OVGridLayout::Parameters p = OVGridViewController::layoutParameters();
        p.cell = pf::Size(1e300, 1e308);
        p.margin.height = std::numeric_limits<double>::infinity();
        return p;
    }
};

TEST(OVGridViewController, MeasuresThatWouldOverflowTheGridAreRefused)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const auto ratio = [](double r) { return [r](OVGridViewController& g) { g.setAspectRatio(r); }; };
    const auto width = [](double w) { return [w](OVGridViewController& g) { g.setIconWidth(w); }; };
    const auto marginWidth = [](double m) { return [m](OVGridViewController& g) { g.setMarginWidth(m); }; };
    const auto marginHeight = [](double m) { return [m](OVGridViewController& g) { g.setMarginHeight(m); }; };
    const struct
    {
        const char* name;
        std::function<void(OVGridViewController&)> set;
    } cases[] = {
        {"ratio 0", ratio(0)},
        {"ratio NaN", ratio(nan)},
        {"ratio -1", ratio(-1)},
        {"ratio infinite", ratio(infinity)},
        {"ratio 1e-320", ratio(1e-320)},
        {"ratio 1e-8", ratio(1e-8)},
        {"width NaN", width(nan)},
        {"width 0", width(0)},
        {"width -5", width(-5)},
        {"width infinite", width(infinity)},
        {"width 1e308", width(1e308)},
        {"margin width NaN", marginWidth(nan)},
        {"margin width -1", marginWidth(-1)},
        {"margin height infinite", marginHeight(infinity)},
        {"margin height NaN", marginHeight(nan)},
        {"margin height 1e308", marginHeight(1e308)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GridHarness h;
        h.grid.addSectionWithSettings(0);
        for (int i = 0; i < 6; ++i)
            h.add(QString::number(i), i);
        h.settle();
        const pf::Size before = h.grid.iconSize();
        pf::LogCapture log;
        c.set(h.grid);
        h.grid.refreshLayout(OVGridViewController::Instant);
        h.grid.setScrollPosition(1);
        h.settle();
        EXPECT_EQ(h.grid.iconSize(), before);
        EXPECT_EQ(h.grid.aspectRatio(), 1.0);
        EXPECT_EQ(h.grid.margin(), pf::Size(5, 35));
        ASSERT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Warning: "))) << log.lines()[0].toStdString();
        EXPECT_TRUE(std::isfinite(h.grid.container()->frame().height()));
    }

    // The largest cell a grid takes would, with 200 items, make its container taller than a view can be:
    // refused as well, and the container stays within a view's height.
    {
        GridHarness h;
        h.grid.addSectionWithSettings(0);
        for (int i = 0; i < 200; ++i)
            h.add(QString::number(i), i, 0, QSize(4, 4));
        pf::LogCapture log;
        h.grid.setIconWidth(OVGridLayout::largestMeasure);
        h.grid.setIconWidth(1000);
        h.grid.setAspectRatio(1e-3);
        EXPECT_EQ(log.lines().size(), 2) << log.lines().join(u'\n').toStdString();
        EXPECT_EQ(h.grid.iconSize(), pf::Size(1000, 1000));
        EXPECT_EQ(h.grid.margin(), pf::Size(5, 35));
        h.grid.refreshLayout(OVGridViewController::Instant);
        EXPECT_LE(h.grid.container()->frame().height(), OVGridLayout::largestContainerHeight);
        h.settle();
    }

    // Past the setters, the layout and the scroll view under it still settle on finite numbers (in a view
    // that is never drawn: its cells are as large as the layout allows).
    pf::SteppedClock clock;
    pf::View parent(Rect(0, 0, 500, 300));
    HugeCells grid;
    grid.setGridParentView(&parent);
    grid.addSectionWithSettings(0);
    for (int i = 0; i < 3; ++i)
        grid.addImage(picture(100, 100), QString::number(i), i, i, 0);
    grid.refreshLayout(OVGridViewController::Instant);
    grid.setScrollPosition(std::nan(""));
    clock.advance(3);
    EXPECT_TRUE(std::isfinite(grid.container()->frame().height()));
    const pf::Rect shown = grid.scrollView()->contentView()->bounds();
    EXPECT_TRUE(std::isfinite(shown.minX()) && std::isfinite(shown.minY()));
    for (OVGridItem* item : grid.gridItemsInSection(0))
        EXPECT_TRUE(std::isfinite(item->frame().minY()));
}

// Items taken out all at once go at a later turn, unless given back: a replacement by the section's own
// items, re-sorted, keeps every one of them shown.
TEST(OVGridViewController, ItemsTakenOutAtOnceGoUnlessGivenBack)
{
    for (const bool givenBack : {true, false}) {
        SCOPED_TRACE(givenBack ? "re-sorted" : "emptied");
        GridHarness h;
        h.grid.addSectionWithSettings(0);
        QList<QPointer<OVGridItem>> guards;
        for (int i = 0; i < 30; ++i)
            guards << h.add(QString::number(i), i);
        h.settle();
        QList<OVGridItem*> items = h.grid.gridItemsInSection(0);
        std::reverse(items.begin(), items.end());
        if (givenBack)
            h.grid.instantReplaceGridItems(items, 0);
        else
            h.grid.removeItemsInSection(0, true);
        h.settle();
        for (const QPointer<OVGridItem>& guard : guards) {
            EXPECT_EQ(bool(guard), givenBack);
            if (guard) {
                EXPECT_EQ(guard->superview(), h.grid.container());
                EXPECT_FALSE(guard->isHidden());
                EXPECT_EQ(guard->alphaValue(), 1);
            }
        }
        EXPECT_EQ(h.grid.gridItemsInSection(0).size(), givenBack ? 30 : 0);
    }
}

// An item added again, also while its removal fades it out, stays, fully shown and listed once.
TEST(OVGridViewController, AnItemAddedAgainKeepsItsDelegateAndItemsWithoutContextAllStay)
{
    const struct
    {
        const char* name;
        unsigned section;
        bool fading; // removed first, and added back halfway through its fade
    } cases[] = {
        {"to its own section", 0, false},
        {"to another section", 1, false},
        {"back to its own section during its fade", 0, true},
        {"back to another section during its fade", 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GridHarness h;
        h.grid.addSectionWithSettings(4);
        h.grid.addSectionWithSettings(4);
        OVGridItem* item = h.add(QStringLiteral("a"), 1);
        h.add(QStringLiteral("b"), 2);
        h.settle();
        const QPointer<OVGridItem> guard(item);
        if (c.fading) {
            h.grid.removeItemWithContext(QStringLiteral("a"));
            h.w.clock.advance(0.1);
            ASSERT_LT(item->alphaValue(), 1);
        }
        ASSERT_TRUE(h.grid.addGridItem(item, c.section));
        h.settle();
        ASSERT_TRUE(guard);
        EXPECT_EQ(item->delegate(), &h.grid);
        EXPECT_EQ(item->superview(), h.grid.container());
        EXPECT_EQ(item->alphaValue(), 1);
        EXPECT_FALSE(h.grid.gridItemsInSection(c.section).contains(nullptr));
        EXPECT_EQ(h.grid.gridItemsInSection(0).size() + h.grid.gridItemsInSection(1).size(), 2);
        EXPECT_TRUE(h.grid.gridItemsInSection(c.section).contains(item));
        h.w.click(item, pf::Point(item->bounds().width() / 2 + 7, item->bounds().height() / 2 - 9));
        EXPECT_EQ(h.recorder.log, QStringList{QStringLiteral("selected a")}) << "clicks still reach the grid";
    }

    GridHarness h;
    h.grid.addSectionWithSettings(0);
    for (int i = 0; i < 3; ++i)
        h.grid.addImage(picture(100, 100), QString::number(i), QVariant(), i, 0);
    h.grid.removeItemWithContext(QVariant());
    EXPECT_EQ(h.grid.gridItemsInSection(0).size(), 3) << "an empty context equals nothing";
    EXPECT_EQ(h.grid.gridItemForContext(QVariant()), nullptr);
}

} // namespace
