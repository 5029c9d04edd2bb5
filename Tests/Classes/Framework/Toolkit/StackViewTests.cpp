#include "Classes/Framework/Toolkit/OV3DLayer.h"
#include "Classes/Framework/Toolkit/OVStackView.h"
#include "Classes/Framework/Toolkit/OVStackViewDelegate.h"
#include "GridTestSupport.h"
#include "Platform/UI/LayerForView.h"
#include "Platform/UI/Transform3D.h"

#include <QPointer>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace {

using pf::Rect;

struct ClickCounter : OVStackViewDelegate
{
    int clicks = 0;
    void didSelectStackView(OVStackView*) override { ++clicks; }
};

struct StackHarness
{
    ControlsWindow w;
    OVStackView* stack = new OVStackView(Rect(0, 0, 400, 300));
    ClickCounter counter;

    StackHarness()
    {
        stack->setSeed(12345);
        stack->setDelegate(&counter);
        w.add(stack);
    }
    OVGridItem* item(const QString& context)
    {
        return OVGridItem::gridItemWithImage(picture(160, 90), context, context, 1 | 2 | 4);
    }
    void fill(int count)
    {
        for (int i = 0; i < count; ++i)
            stack->addGridItem(item(QString::number(i)), true);
    }
    pf::Transform3D transformOf(int index) const
    {
        return stack->layerForItem(stack->gridItems()[std::size_t(index)])->transform();
    }
    // The translation the pile gives the thumbnail at `index`.
    pf::Point lift(int index) const
    {
        const pf::Transform3D t = transformOf(index);
        return pf::Point(t.m41, t.m42);
    }
};

TEST(OVStackView, TheTopTwentyAreSpreadAndTheRestShareTheBottom)
{
    StackHarness h;
    h.fill(25);
    // Index 0 is the top of the pile, 24 the bottom; the bottom five (k = 5) share the raise of 18.
    for (int index = 20; index < 25; ++index) {
        EXPECT_EQ(h.lift(index).y, 18);
        EXPECT_EQ(h.stack->layerForItem(h.stack->gridItems()[std::size_t(index)])->shadowOpacity(), 0);
    }
    // The lowest spread thumbnail (i = k) still sits at 18 but casts a shadow; each above it 3 higher.
    EXPECT_EQ(h.lift(19).y, 18);
    EXPECT_EQ(h.stack->layerForItem(h.stack->gridItems()[19])->shadowOpacity(), 0.5);
    EXPECT_EQ(h.lift(18).y, 21);
    EXPECT_EQ(h.lift(0).y, 18 + 3 * 19);
    EXPECT_EQ(h.stack->layerForItem(h.stack->gridItems()[0])->shadowOpacity(), 0.5);
    for (int index = 0; index < 25; ++index)
        EXPECT_LE(std::abs(h.lift(index).x), 3.0);
    EXPECT_EQ(h.stack->containerLayer()->sublayers().back(), h.stack->layerForItem(h.stack->gridItems()[0]))
        << "the first item is drawn last, on top";
}

TEST(OVStackView, TheJitterIsCountedFromTheBottom)
{
    StackHarness h;
    h.fill(6);
    std::vector<pf::Transform3D> before;
    for (int i = 0; i < 6; ++i)
        before.push_back(h.transformOf(i));
    h.stack->updateLayers();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(h.transformOf(i), before[std::size_t(i)]) << "a second pass changes nothing";

    h.stack->addGridItem(h.item(QStringLiteral("top")), false);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(h.transformOf(i + 1).m41, before[std::size_t(i)].m41) << "a new top keeps every jitter";
    h.stack->addGridItem(h.item(QStringLiteral("bottom")), true);
    int changed = 0;
    for (int i = 0; i < 6; ++i)
        changed += h.transformOf(i + 1).m41 != before[std::size_t(i)].m41;
    EXPECT_GE(changed, 5) << "a new bottom deals every thumbnail a new jitter";
}

TEST(OVStackView, OtherUsersOfRandomNumbersKeepTheirSequence)
{
    StackHarness h;
    std::srand(77);
    const int first = std::rand();
    const int second = std::rand();
    std::srand(77);
    EXPECT_EQ(std::rand(), first);
    h.fill(3);
    h.stack->updateLayers();
    EXPECT_EQ(std::rand(), second);
}

// A pile of hundreds draws the thumbnails under the spread ones that others hide not at all, and looks as
// if every one were drawn: beside the same pile whose thumbnails are all drawn (each a shade short of
// opaque), the pixels are within a few levels.
TEST(OVStackView, APileOfHundredsLooksAsIfEveryThumbnailWereDrawn)
{
    std::vector<QImage> shots;
    for (const double opacity : {1.0, 0.999}) {
        StackHarness h;
        std::vector<OVGridItem*> items;
        for (int i = 0; i < 400; ++i) {
            OVGridItem* item = h.item(QString::number(i));
            item->setImage(picture(160, 90, QColor::fromHsv(i * 7 % 360, 200, 200)));
            item->setOpacity(opacity);
            items.push_back(item);
        }
        h.stack->instantReplaceGridItems(items);
        h.stack->updateLayers();
        int hidden = 0;
        for (const auto& layer : h.stack->containerLayer()->sublayers())
            hidden += layer->isHidden() ? 1 : 0;
        EXPECT_EQ(hidden > 300, opacity == 1.0) << hidden;
        shots.push_back(h.stack->grab().toImage());
    }
    ASSERT_EQ(shots[0].size(), shots[1].size());
    int far = 0, coloured = 0;
    for (int y = 0; y < shots[0].height(); ++y)
        for (int x = 0; x < shots[0].width(); ++x) {
            const QRgb a = shots[0].pixel(x, y), b = shots[1].pixel(x, y);
            coloured += QColor::fromRgba(a).hsvSaturation() > 100 ? 1 : 0;
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
            far += d > 3 ? 1 : 0;
        }
    EXPECT_GT(coloured, shots[0].width() * shots[0].height() / 10) << "the pile shows";
    EXPECT_LT(far, shots[0].width() * shots[0].height() / 1000)
        << far << " pixels differ by more than 3 levels";
}

TEST(OVStackView, GeometryClicksAndReplacement)
{
    StackHarness h;
    EXPECT_EQ(h.stack->baseRect(), Rect(10, 0, 380, 225)) << "the height uses the full width";
    h.fill(2);
    ASSERT_GT(h.stack->trackingTop(), 0);
    EXPECT_NEAR(h.stack->neededHeight(), h.stack->trackingTop(), 1e-6);
    EXPECT_EQ(h.stack->trackingRect().size.height, h.stack->trackingTop());

    h.w.click(h.stack, pf::Point(200, h.stack->trackingTop() - 5));
    EXPECT_EQ(h.counter.clicks, 1);
    h.w.click(h.stack, pf::Point(200, h.stack->trackingTop() + 5));
    EXPECT_EQ(h.counter.clicks, 1) << "above the pile the click is not the pile's";

    h.stack->addGridItem(h.item(QStringLiteral("1")), false);
    EXPECT_EQ(h.stack->gridItems().size(), 2u) << "an equal context replaces";
    EXPECT_EQ(h.stack->gridItems()[0]->context(), QVariant(QStringLiteral("1")));
    EXPECT_EQ(h.stack->gridItems()[0]->delegate(), nullptr);
}

TEST(OVStackView, TheShadowStripGoesWithTheLastItem)
{
    StackHarness h;
    h.fill(2);
    h.w.clock.advance(1);
    EXPECT_EQ(h.stack->shadowLayer()->opacity(), 1);
    h.stack->removeItemWithContext(QStringLiteral("0"));
    EXPECT_EQ(h.stack->shadowLayer()->opacity(), 1);
    h.stack->removeItemWithContext(QStringLiteral("1"));
    EXPECT_EQ(h.stack->shadowLayer()->opacity(), 0) << "no shadow under an empty pile";
    h.stack->removeItemWithContext(QStringLiteral("missing"));
    EXPECT_TRUE(h.stack->gridItems().empty());
}

TEST(OVStackView, AnItemAddedAgainMovesAndItemsWithoutContextNeverReplaceEachOther)
{
    const struct
    {
        const char* name;
        QVariant context;
        bool append;
    } cases[] = {
        {"again on top", QStringLiteral("c"), false},
        {"again at the bottom", QStringLiteral("c"), true},
        {"again, without a context", QVariant(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StackHarness h;
        h.fill(2);
        OVGridItem* item = OVGridItem::gridItemWithImage(picture(160, 90), QStringLiteral("x"), c.context, 1);
        const QPointer<OVGridItem> guard(item);
        h.stack->addGridItem(item, !c.append);
        h.stack->addGridItem(item, c.append);
        h.w.clock.advance(1);
        ASSERT_TRUE(guard) << "the pile keeps the item it holds";
        const std::vector<OVGridItem*> items = h.stack->gridItems();
        EXPECT_EQ(items.size(), 3u);
        EXPECT_EQ(c.append ? items.back() : items.front(), item);
        ASSERT_NE(h.stack->layerForItem(item), nullptr);
        EXPECT_EQ(h.stack->layerForItem(item)->view(), item);
    }

    StackHarness h;
    for (int i = 0; i < 3; ++i)
        h.stack->addGridItem(
            OVGridItem::gridItemWithImage(picture(160, 90), QString::number(i), QVariant(), 1), true);
    h.stack->removeItemWithContext(QVariant());
    EXPECT_EQ(h.stack->gridItems().size(), 3u) << "an empty context equals nothing";
}

// Items given back to the pile in the turn they left it (a re-sort among them) stay alive and shown; an
// item that a later one of equal context replaces goes once the turn ends.
TEST(OVStackView, ItemsGivenBackInTheTurnTheyLeftStay)
{
    const struct
    {
        const char* name;
        std::function<void(StackHarness&, std::vector<OVGridItem*>&)> change;
        QStringList order; // contexts, top first, after the change
        QStringList gone;  // contexts of the items deleted once the turn ended
    } cases[] = {
        {"re-sorted in one replacement",
         [](StackHarness& h, std::vector<OVGridItem*>& items) {
             h.stack->instantReplaceGridItems(std::vector<OVGridItem*>(items.rbegin(), items.rend()));
         },
         {"2", "1", "0"},
         {}},
        {"removed and added back",
         [](StackHarness& h, std::vector<OVGridItem*>& items) {
             h.stack->removeItemWithContext(QStringLiteral("1"));
             h.stack->addGridItem(items[1], false);
         },
         {"1", "0", "2"},
         {}},
        {"all removed and one added back",
         [](StackHarness& h, std::vector<OVGridItem*>& items) {
             h.stack->removeAllItems();
             h.stack->addGridItem(items[2], true);
         },
         {"2"},
         {"0", "1"}},
        {"replaced by a list that gives a context twice",
         [](StackHarness& h, std::vector<OVGridItem*>& items) {
             OVGridItem* again = h.item(QStringLiteral("0"));
             h.stack->instantReplaceGridItems({items[0], items[2], again, items[2]});
         },
         {"0", "2"},
         {"0", "1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StackHarness h;
        h.fill(3);
        std::vector<OVGridItem*> items = h.stack->gridItems();
        std::vector<std::pair<QString, QPointer<OVGridItem>>> guards;
        for (OVGridItem* item : items)
            guards.emplace_back(item->context().toString(), item);
        c.change(h, items);
        for (OVGridItem* item : h.stack->gridItems())
            guards.emplace_back(item->context().toString(), item);
        h.w.clock.advance(1);

        QStringList order;
        for (OVGridItem* item : h.stack->gridItems()) {
            order << item->context().toString();
            ASSERT_NE(h.stack->layerForItem(item), nullptr);
            EXPECT_EQ(h.stack->layerForItem(item)->view(), item);
        }
        EXPECT_EQ(order, c.order);
        QStringList gone;
        for (const auto& [context, guard] : guards)
            if (!guard)
                gone << context;
        gone.sort();
        EXPECT_EQ(gone, c.gone);
        // Drawn bottom first, the first item on top, and nothing else in the pile's layer.
        const auto& drawn = h.stack->containerLayer()->sublayers();
        ASSERT_EQ(drawn.size(), h.stack->gridItems().size());
        for (std::size_t i = 0; i < drawn.size(); ++i)
            EXPECT_EQ(drawn[drawn.size() - 1 - i], h.stack->layerForItem(h.stack->gridItems()[i]));
    }
}

// An added item replaces the one of the pile whose context equals its own, whatever happened to the
// contexts while their items were in the pile, and however the kinds of context mix.
TEST(OVStackView, AnAddedItemReplacesTheItemOfEqualContextNowInThePile)
{
    const struct
    {
        const char* name;
        std::function<void(std::vector<OVGridItem*>&)> change; // on the pile "0", "1", "2" (top first)
        QVariant added;
        QStringList order; // titles, top first, after the item titled "new" went on top
    } cases[] = {
        {"a string context", [](std::vector<OVGridItem*>&) {}, QStringLiteral("1"), {"new", "0", "2"}},
        {"a string no item has",
         [](std::vector<OVGridItem*>&) {},
         QStringLiteral("9"),
         {"new", "0", "1", "2"}},
        {"a context changed in the pile, by its new value",
         [](std::vector<OVGridItem*>& items) { items[1]->setContext(QStringLiteral("9")); },
         QStringLiteral("9"),
         {"new", "0", "2"}},
        {"a context changed in the pile, by its old value",
         [](std::vector<OVGridItem*>& items) { items[1]->setContext(QStringLiteral("9")); },
         QStringLiteral("1"),
         {"new", "0", "1", "2"}},
        {"two contexts made equal in the pile: the upper goes",
         [](std::vector<OVGridItem*>& items) { items[2]->setContext(QStringLiteral("1")); },
         QStringLiteral("1"),
         {"new", "0", "2"}},
        {"a number among the strings", [](std::vector<OVGridItem*>& items) { items[1]->setContext(7); },
         QStringLiteral("7"),
         QVariant(7) == QVariant(QStringLiteral("7")) ? QStringList{"new", "0", "2"}
                                                      : QStringList{"new", "0", "1", "2"}},
        {"a number for a string", [](std::vector<OVGridItem*>&) {}, 2,
         QVariant(2) == QVariant(QStringLiteral("2")) ? QStringList{"new", "0", "1"}
                                                      : QStringList{"new", "0", "1", "2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StackHarness h;
        for (int i = 0; i < 3; ++i)
            h.stack->addGridItem(
                OVGridItem::gridItemWithImage(picture(160, 90), QString::number(i), QString::number(i), 1),
                true);
        std::vector<OVGridItem*> items = h.stack->gridItems();
        c.change(items);
        h.stack->addGridItem(
            OVGridItem::gridItemWithImage(picture(160, 90), QStringLiteral("new"), c.added, 1), false);
        QStringList order;
        for (OVGridItem* item : h.stack->gridItems())
            order << item->title();
        EXPECT_EQ(order, c.order);
        EXPECT_EQ(h.stack->containerLayer()->sublayers().size(), std::size_t(c.order.size()));
        h.w.clock.advance(1);
    }
}

TEST(OVStackView, AspectRatiosThatMakeNoThumbnailAreRefused)
{
    for (const double ratio : {0.0, -1.0, std::nan(""), HUGE_VAL, 1e-300, 1e6}) {
        SCOPED_TRACE(ratio);
        StackHarness h;
        pf::LogCapture log;
        h.stack->setAspectRatio(ratio);
        EXPECT_EQ(h.stack->aspectRatio(), 16.0 / 9.0);
        EXPECT_EQ(h.stack->baseRect(), Rect(10, 0, 380, 225));
        ASSERT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Warning: ")));
    }
}

} // namespace
