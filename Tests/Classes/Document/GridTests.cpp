#include "Classes/Document/GMGridItem.h"
#include "Classes/Document/GMGridViewController.h"
#include "Classes/Document/GMGridViewDelegate.h"
#include "Classes/Framework/Toolkit/OVTitledView.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/ScrollView.h"
#include "Tests/Classes/Framework/Toolkit/ControlsTestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using pf::EventType;
using pf::Point;
using pf::Rect;

QImage picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(90, 120, 160));
    return image;
}

struct Recorder : GMGridViewDelegate
{
    QStringList log;
    bool removes = true;
    void gridViewSelectedItemWithContext(GMGridViewController*, const QVariant& context) override
    {
        log << QStringLiteral("selected ") + (context.isValid() ? context.toString() : QStringLiteral("nil"));
    }
    void gridViewExecuteItemWithContext(GMGridViewController*, const QVariant& context) override
    {
        log << QStringLiteral("execute ") + context.toString();
    }
    bool gridViewRemoveItemWithContext(GMGridViewController*, const QVariant& context) override
    {
        log << QStringLiteral("remove ") + context.toString();
        return removes;
    }
};

// A grid in a shown window on a stepped clock, 680 points wide with no scroller taking width.
struct Harness
{
    ControlsWindow w;
    GMGridViewController grid;
    Recorder recorder;

    explicit Harness(double width = 680, double height = 500)
    {
        w.window.setFrame(Rect(100, 100, std::max(width, 400.0), height + 40));
        grid.view()->setFrame(Rect(0, 0, width, height));
        w.window.contentView()->addSubview(grid.view());
        grid.scrollView()->setVerticalScroller(nullptr);
        grid.setDelegate(&recorder);
    }
    // Tiles taken out are deleted at a later turn: let it come.
    ~Harness() { w.clock.advance(1); }
    GMGridItem* add(const QString& context, QVariant tag, unsigned section = 0,
                    QImage image = picture(200, 150))
    {
        return grid.addImage(image, context, context, tag, section);
    }
    QStringList contexts(unsigned section) const
    {
        QStringList list;
        for (OVGridItem* item : grid.gridItemsInSection(section))
            list << item->context().toString();
        return list;
    }
    void settle() { w.clock.advance(1); }
    void click(OVGridItem* item, Point at, int clickCount)
    {
        w.mouse(item, EventType::LeftMouseDown, at, clickCount);
        w.mouse(item, EventType::LeftMouseUp, at, clickCount);
    }
};

// A section background with a title area of a given height.
class Titled : public pf::View, public OVTitledView
{
public:
    explicit Titled(double height) : m_height(height) {}
    pf::Size titleSize() const override { return pf::Size(100, m_height); }

private:
    double m_height;
};

TEST(GMGridViewController, ColumnsStandOneSpacingApartFromTheMargin)
{
    const struct
    {
        double width;
        int columns;
    } cases[] = {{680, 3}, {670, 3}, {669, 2}, {455, 2}, {454, 1}, {150, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        Harness h(c.width);
        h.grid.addSectionWithSettings(0);
        h.grid.refreshLayout(OVGridViewController::Instant);
        EXPECT_EQ(h.grid.layout().lastColumnCount(), c.columns);
    }

    // Two sections, the second with a 20-point title: every cell and the background by the formula.
    Harness h;
    h.grid.addSectionWithSettings(0);
    auto* box = new Titled(20);
    h.grid.addSectionWithSettings(0, box);
    QList<GMGridItem*> first, second;
    for (int i = 0; i < 4; ++i)
        first << h.add(QStringLiteral("a%1").arg(i), i, 0, picture(200, 200));
    for (int i = 0; i < 2; ++i)
        second << h.add(QStringLiteral("b%1").arg(i), i, 1, picture(200, 200));
    h.grid.refreshLayout(OVGridViewController::Instant);
    const double margin = 5, top = 35, spacing = 15, icon = 200;
    const double H = std::max(500.0, 2 * top + 2 * spacing + (icon + spacing) * 3 + 20);
    EXPECT_EQ(h.grid.container()->frame().height(), H);
    const auto cell = [&](int column, double fromTop) {
        return Rect(margin + spacing + column * (spacing + icon), H - fromTop - icon, icon, icon);
    };
    const double c0 = top + spacing;
    EXPECT_EQ(first[0]->frame(), cell(0, c0));
    EXPECT_EQ(first[2]->frame(), cell(2, c0));
    EXPECT_EQ(first[3]->frame(), cell(0, c0 + icon + spacing));
    const double c1 = c0 + 2 * (icon + spacing);
    EXPECT_EQ(second[1]->frame(), cell(1, c1 + 20));
    EXPECT_EQ(box->frame(), Rect(margin, H - (c1 - spacing / 2) - (icon + spacing + 20),
                                 2 * (icon + spacing) + spacing, icon + spacing + 20));
}

TEST(GMGridViewController, ABurstIsLaidOutOnceAtTheNextTurnAndMovesForAThirdOfASecond)
{
    Harness h;
    h.grid.addSectionWithSettings(0);
    h.settle();
    const int before = h.grid.layoutPasses();
    for (int i = 0; i < 50; ++i)
        h.add(QString::number(i), 50 - i);
    EXPECT_EQ(h.grid.layoutPasses(), before) << "nothing before the next turn";
    h.w.clock.advance(0);
    EXPECT_EQ(h.grid.layoutPasses(), before + 1);
    // The lowest tag goes to the first cell, from the middle where it was added.
    GMGridItem* first = h.grid.gridItemForContext(QStringLiteral("49"));
    h.w.clock.advance(0.2);
    EXPECT_GT(first->frame().minX(), 20 + 1) << "still moving";
    h.w.clock.advance(0.15);
    EXPECT_EQ(first->frame().minX(), 20);
    EXPECT_EQ(h.contexts(0).first(), QStringLiteral("49")) << "sorted by tag";
    h.settle();
    EXPECT_EQ(h.grid.layoutPasses(), before + 1);
}

TEST(GMGridViewController, EachGridKeepsItsOwnColumnCount)
{
    Harness h(500, 500);
    h.grid.addSectionWithSettings(0);
    h.add(QStringLiteral("a"), 1);
    h.add(QStringLiteral("b"), 2);
    GMGridItem* c = h.add(QStringLiteral("c"), 3);
    h.grid.refreshLayout(OVGridViewController::Instant);
    ASSERT_EQ(h.grid.layout().lastColumnCount(), 2);
    const auto fromTop = [&](OVGridItem* item) {
        return Rect(item->frame().minX(), h.grid.container()->frame().height() - item->frame().maxY(),
                    item->frame().width(), item->frame().height());
    };
    const Rect place = fromTop(c);
    ASSERT_EQ(place.minX(), 20) << "the first column of the second row";

    // Taller with the same count: only the container follows; the tiles keep their places.
    h.grid.view()->setFrameSize(pf::Size(500, 700));
    h.grid.refreshLayout(OVGridViewController::OnColumnChange);
    EXPECT_EQ(h.grid.container()->frame().height(), 700);
    h.w.clock.advance(0.5);
    EXPECT_EQ(fromTop(c), place);

    // Another grid laid out in three columns must not make this one skip its move to three.
    GMGridViewController other;
    other.view()->setFrame(Rect(0, 0, 800, 300));
    h.w.window.contentView()->addSubview(other.view());
    other.scrollView()->setVerticalScroller(nullptr);
    other.refreshLayout(OVGridViewController::Instant);
    ASSERT_EQ(other.layout().lastColumnCount(), 3);
    h.grid.view()->setFrameSize(pf::Size(680, 700));
    h.grid.refreshLayout(OVGridViewController::OnColumnChange);
    h.w.clock.advance(0.5);
    EXPECT_EQ(h.grid.layout().lastColumnCount(), 3);
    EXPECT_EQ(c->frame().minX(), 20 + 2 * 215) << "the third column of the first row";
}

TEST(GMGridViewController, AnEqualContextReplacesInPlaceThenSorts)
{
    Harness h;
    h.grid.addSectionWithSettings(0);
    h.grid.addSectionWithSettings(0);
    // Samples are added tagged 3, 2, 1 and show as 1, 2, 3; dates show oldest first.
    for (int tag : {3, 2, 1})
        h.add(QStringLiteral("sample%1").arg(tag), tag, 1);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    h.add(QStringLiteral("new"), now, 0);
    h.add(QStringLiteral("old"), now.addDays(-3), 0);
    h.settle();
    EXPECT_EQ(h.contexts(1), (QStringList{"sample1", "sample2", "sample3"}));
    EXPECT_EQ(h.contexts(0), (QStringList{"old", "new"}));

    // The newest document saved again: its tile starts where the old one stood, then moves.
    GMGridItem* old = h.grid.gridItemForContext(QStringLiteral("old"));
    const Rect place = old->frame();
    GMGridItem* again = h.add(QStringLiteral("old"), now.addSecs(60), 0);
    EXPECT_EQ(again->frame(), place);
    EXPECT_EQ(h.grid.gridItemsInSection(0).size(), 2) << "no duplicate";
    h.settle();
    EXPECT_EQ(h.contexts(0), (QStringList{"new", "old"}));
    EXPECT_NE(again->frame(), place);
}

TEST(GMGridViewController, RemovingTheSelectedTileClearsTheSelectionAtOnce)
{
    Harness h;
    h.grid.addSectionWithSettings(4 | 8 | 16);
    GMGridItem* a = h.add(QStringLiteral("a"), 1);
    h.settle();
    a->setSelected(true);
    EXPECT_EQ(h.grid.selectedItem(), a);
    const QPointer<GMGridItem> guard(a);
    h.grid.removeItemWithContext(QStringLiteral("a"));
    EXPECT_EQ(h.grid.selectedItem(), nullptr);
    EXPECT_FALSE(a->parentWidget()) << "no fade: the tile is gone at once";
    h.w.clock.advance(0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(guard);
}

TEST(GMGridItem, ClicksFollowTheSettingsOncePerClickSequence)
{
    const struct
    {
        const char* name;
        unsigned settings;
        std::vector<int> clickCounts; // each click with its count: {1, 2} is a double click
        QStringList expected;
    } cases[] = {
        {"a welcome tile opens on one click", 27, {1}, {"execute t"}},
        {"and once for a double click", 27, {1, 2}, {"execute t"}},
        {"a sample too", 24, {1, 2}, {"execute t"}},
        {"a triple click opens once", 24, {1, 2, 3}, {"execute t"}},
        {"two separate clicks open twice", 24, {1, 1}, {"execute t", "execute t"}},
        {"selectable alone toggles on single clicks", 4, {1, 2, 1}, {"selected t", "selected nil"}},
        {"selectable and executable opens on the double click", 4 | 8, {1, 2}, {"selected t", "execute t"}},
        {"and not again on a third", 4 | 8, {1, 2, 3}, {"selected t", "execute t"}},
        {"neither", 16, {1, 2}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.grid.addSectionWithSettings(c.settings);
        GMGridItem* item = h.add(QStringLiteral("t"), 1);
        h.settle();
        for (int count : c.clickCounts)
            h.click(item, Point(100, 60), count);
        EXPECT_EQ(h.recorder.log, c.expected);
    }
}

TEST(GMGridItem, TheRemoveButtonActsOnlyWhenPressedAndReleasedOnIt)
{
    const Point onRemove(15, 135); // (5, h - 25, 20, 20) on a 200 x 150 tile
    const Point middle(100, 60);
    const struct
    {
        const char* name;
        Point press, release;
        bool ownerRemoves;
        QStringList expected;
        bool tileStays;
    } cases[] = {
        {"pressed and released on it", onRemove, onRemove, true, {"remove r"}, false},
        {"the owner kept what it stands for", onRemove, onRemove, false, {"remove r"}, true},
        {"pressed on the picture, released on it", middle, onRemove, true, {}, true},
        {"pressed on it, released on the picture", onRemove, middle, true, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.grid.addSectionWithSettings(27);
        GMGridItem* item = h.add(QStringLiteral("r"), 1);
        h.settle();
        h.recorder.removes = c.ownerRemoves;
        h.w.mouse(item, EventType::LeftMouseDown, c.press);
        h.w.mouse(item, EventType::LeftMouseDragged, c.release);
        h.w.mouse(item, EventType::LeftMouseUp, c.release);
        EXPECT_EQ(h.recorder.log, c.expected);
        EXPECT_EQ(h.grid.gridItemForContext(QStringLiteral("r")) != nullptr, c.tileStays);
    }
}

TEST(GMGridItem, HoverShowsTitleAndRemoveAndThePinOnlyWhenPinnable)
{
    for (bool pinnable : {false, true}) {
        SCOPED_TRACE(pinnable);
        Harness h;
        h.grid.addSectionWithSettings(27);
        GMGridItem* item = h.add(QStringLiteral("h"), 1);
        item->setPinnable(pinnable);
        h.settle();
        item->mouseEntered(pf::Event());
        EXPECT_EQ(item->titleLayer()->opacity(), 1);
        EXPECT_EQ(item->removeLayer()->opacity(), 1);
        EXPECT_EQ(item->pinLayer()->opacity(), pinnable ? 1 : 0);
        // A click where the pin is pins only a pinnable tile; otherwise it is a click on the picture.
        h.click(item, Point(180, 135), 1);
        EXPECT_EQ(item->isPinned(), pinnable);
        EXPECT_EQ(h.recorder.log.contains(QStringLiteral("execute h")), !pinnable);
        item->mouseExited(pf::Event());
        EXPECT_EQ(item->titleLayer()->opacity(), 0);
        EXPECT_EQ(item->removeLayer()->opacity(), 0);
    }
}

TEST(GMGridItem, TheRemoveButtonShowsHoverAndPressedImages)
{
    Harness h;
    h.grid.addSectionWithSettings(27);
    GMGridItem* item = h.add(QStringLiteral("i"), 1);
    h.settle();
    h.recorder.removes = false;
    const Point onRemove(15, 135), middle(100, 60);
    const struct
    {
        EventType type;
        Point at;
        const char* image;
    } steps[] = {
        {EventType::MouseMoved, middle, "GridItemRemove"},
        {EventType::MouseMoved, onRemove, "GridItemRemoveHover"},
        {EventType::LeftMouseDown, onRemove, "GridItemRemoveDown"},
        {EventType::LeftMouseDragged, middle, "GridItemRemove"},
        {EventType::LeftMouseDragged, onRemove, "GridItemRemoveDown"},
        {EventType::LeftMouseUp, onRemove, "GridItemRemoveHover"},
        // Pressed elsewhere, the button never looks pressed.
        {EventType::LeftMouseDown, middle, "GridItemRemove"},
        {EventType::LeftMouseDragged, onRemove, "GridItemRemoveHover"},
        {EventType::LeftMouseUp, onRemove, "GridItemRemoveHover"},
    };
    int k = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(k++);
        h.w.mouse(item, s.type, s.at);
        EXPECT_EQ(item->removeImageName(), QString::fromLatin1(s.image));
    }
    EXPECT_EQ(h.recorder.log, QStringList{QStringLiteral("remove i")});
}

TEST(GMGridItem, ATileWithoutAPictureShowsNoPreviewAndIsPlaced)
{
    Harness h;
    h.grid.addSectionWithSettings(27);
    h.add(QStringLiteral("first"), 1);
    GMGridItem* bare = h.add(QStringLiteral("bare"), 2, 0, QImage());
    h.settle();
    EXPECT_FALSE(bare->hasPicture());
    ASSERT_FALSE(bare->image().isNull()) << "the no-preview card";
    EXPECT_EQ(bare->frame().minX(), 5 + 15 + 215) << "in the second cell, not where it was centred";
    EXPECT_EQ(bare->frame().width(), 200);
    // Framed, with its title on hover, like any other tile (the card's picture has an alpha channel).
    EXPECT_EQ(bare->itemBorderWidth(), 1);
    bare->mouseEntered(pf::Event());
    EXPECT_FALSE(bare->titleLayer()->isHidden());
    EXPECT_EQ(bare->titleLayer()->opacity(), 1);
}

TEST(GMGridViewController, SectionsBeyondTheLastAreRefusedAndRemovalShiftsTheRest)
{
    Harness h;
    auto* first = new Titled(20);
    auto* third = new Titled(40);
    h.grid.addSectionWithSettings(1, first);
    h.grid.addSectionWithSettings(2);
    h.grid.addSectionWithSettings(24, third);
    h.add(QStringLiteral("c"), 1, 2);
    h.grid.removeSection(1);
    ASSERT_EQ(h.grid.sectionCount(), 2u);
    EXPECT_EQ(h.grid.settingsOfSection(1), 24u) << "the third section's settings moved to its new number";
    EXPECT_EQ(h.grid.backgroundOfSection(1), third);
    GMGridItem* added = h.add(QStringLiteral("d"), 2, 1);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->settings(), 24u);

    while (h.grid.sectionCount() < GMGridViewController::maxSections)
        h.grid.addSectionWithSettings(0);
    pf::LogCapture log;
    EXPECT_EQ(h.grid.addSectionWithSettings(8), GMGridViewController::invalidSection);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Error: more then 100 sections")});
    EXPECT_EQ(h.grid.sectionCount(), 100u);
    EXPECT_EQ(h.grid.settingsOfSection(99), 0u) << "the last section is not touched";
    EXPECT_EQ(h.add(QStringLiteral("lost"), 1, GMGridViewController::invalidSection), nullptr)
        << "the answer names no section to fill";
}

TEST(GMGridViewController, PicturesAreReadAtTileSizeInTheBackground)
{
    QTemporaryDir dir;
    const QString large = dir.filePath("large.jpg");
    ASSERT_TRUE(picture(1600, 1200).save(large, "JPEG"));
    const QString broken = dir.filePath("broken.jpg");
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("no picture");
    file.close();

    Harness h;
    h.grid.addSectionWithSettings(27);
    pf::LogCapture log;
    GMGridItem* good = h.grid.addImageAtPath(large, "large", "large", 1, 0);
    GMGridItem* bad = h.grid.addImageAtPath(broken, "broken", "broken", 2, 0);
    GMGridItem* none = h.grid.addImageAtPath(QString(), "none", "none", 3, 0);
    EXPECT_FALSE(none->hasPicture());
    ASSERT_TRUE(doctest::spinUntil([&] { return h.grid.picturesPending() == 0; }));
    EXPECT_TRUE(good->hasPicture());
    EXPECT_EQ(good->image().size(), QSize(400, 300)) << "twice the tile, for dense screens";
    EXPECT_FALSE(bad->hasPicture());
    EXPECT_FALSE(bad->image().isNull());
    EXPECT_TRUE(log.contains(QStringLiteral("broken.jpg"))) << log.lines().join('\n').toStdString();

    // A refresh keeps showing the picture while the new one is read, and a stale answer is dropped.
    GMGridItem* again = h.grid.addImageAtPath(large, "large", "large", 1, 0);
    EXPECT_TRUE(again->hasPicture());
    GMGridItem* latest = h.grid.addImageAtPath(broken, "large", "large", 1, 0);
    ASSERT_TRUE(doctest::spinUntil([&] { return h.grid.picturesPending() == 0; }));
    EXPECT_EQ(h.grid.gridItemForContext(QStringLiteral("large")), latest);
    EXPECT_FALSE(latest->hasPicture()) << "the last request's answer counts";
}

} // namespace
