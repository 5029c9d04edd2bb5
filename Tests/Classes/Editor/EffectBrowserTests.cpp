#include "Classes/Editor/GMCollectionViewEffectItem.h"
#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMEffectBrowserDelegate.h"
#include "Classes/Editor/GMEffectIconView.h"
#include "Classes/Editor/GMNotResponderCollectionView.h"
#include "Classes/Editor/OVTransformedScrollView.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Transform3D.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <gtest/gtest.h>
#include <numbers>

using pf::Event, pf::EventType, pf::Point, pf::Rect, pf::Transform3D;

namespace {

// Tile pictures made from the test portrait: grey before, tinted after.
QVariantList testEffects(int count)
{
    static const QImage portrait = QImage(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"))
                                       .scaled(120, 120, Qt::KeepAspectRatio);
    QVariantList items;
    for (int i = 0; i < count; ++i) {
        QImage after = portrait.convertToFormat(QImage::Format_RGB32);
        QPainter(&after).fillRect(after.rect(), QColor::fromHsv(i * 40 % 360, 180, 220, 90));
        items.append(QVariantMap{
            {"name", QStringLiteral("Effect%1").arg(i)},
            {"displayName", QStringLiteral("Effect %1").arg(i)},
            {"best", i % 2 == 0},
            {"previewBeforeIcon", portrait.convertToFormat(QImage::Format_Grayscale8)},
            {"previewAfterIcon", after},
        });
    }
    return items;
}

struct Recorder : GMEffectBrowserDelegate
{
    QStringList added;
    QStringList hovered; // "-" for none
    // Like the window controller: a new layer's effect becomes the selected one.
    bool selectAdded = true;
    void effectBrowserControllerAddPhotoTool(GMEffectBrowserController* browser, const QString& name) override
    {
        added << name;
        if (selectAdded)
            browser->setSelectedFilter(name);
    }
    void effectBrowserControllerHoveredFilterDidChange(GMEffectBrowserController*,
                                                       const QString& name) override
    {
        hovered << (name.isNull() ? QStringLiteral("-") : name);
    }
};

class EffectBrowser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clock.advance(5);
        browser.setDelegate(&recorder);
        view = browser.browserView();
        ASSERT_NE(view, nullptr);
        view->setFrame(Rect(0, 0, 900, 200));
        window.contentView()->addSubview(view);
        window.show();
        browser.addEffects(testEffects(8));
        clock.advance(1);
    }
    void TearDown() override
    {
        view->removeFromSuperview();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    GMEffectIconView* tile(int index) const
    {
        return browser.effectCollectionView()->itemAtIndex(index)->view();
    }
    // Where a point of a tile (a fraction across its picture) is seen in the browser's view.
    Point seen(int index, double across, double up = 0.5) const
    {
        GMEffectIconView* t = tile(index);
        const Rect picture = t->drawBounds();
        const Point inTile(picture.minX() + across * picture.width(), picture.minY() + up * picture.height());
        OVTransformedScrollView* scroll = browser.effectScrollView();
        const Point inScroll = t->convertPointToView(inTile, scroll);
        return view->layerForSubview(scroll)->convertPointToLayer(inScroll, view->layer().get());
    }
    void click(Point inView)
    {
        const QPointF at = view->pointToWidget(inView);
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(view, &event);
        }
        clock.advance(1); // no double click
    }
    void move(Point inView)
    {
        view->mouseMoved(Event::mouseEvent(EventType::MouseMoved, view->convertPointToView(inView, nullptr),
                                           0, clock.now(), &window, 0, 0));
    }
    void leave()
    {
        view->mouseExited(
            Event::enterExitEvent(EventType::MouseExited, Point(5, 5), 0, clock.now(), &window, nullptr));
    }
    QList<int> selectedTiles() const
    {
        QList<int> selected;
        for (int i = 0; i < browser.effectCollectionView()->numberOfItems(); ++i)
            if (tile(i)->isSelected())
                selected << i;
        return selected;
    }

    pf::SteppedClock clock;
    pf::Window window{Rect(0, 0, 900, 200)};
    GMEffectBrowserController browser;
    Recorder recorder;
    OV3DView* view = nullptr;
};

TEST_F(EffectBrowser, IsBuiltInCodeAndTiltedOnceInAWindow)
{
    EXPECT_TRUE(pf::InterfaceRegistry::hasInterface(QStringLiteral("GMEffectBrowserController")));
    EXPECT_FALSE(browser.effectCollectionView()->acceptsFirstResponder());
    EXPECT_EQ(browser.effectCollectionView()->numberOfItems(), 8);
    EXPECT_EQ(tile(2)->filterName(), QStringLiteral("Effect2"));
    EXPECT_EQ(tile(2)->displayName(), QStringLiteral("Effect 2"));
    EXPECT_EQ(browser.lastSelection(), -1);
    EXPECT_TRUE(selectedTiles().isEmpty());

    const Transform3D tilt = Transform3D::rotation(std::numbers::pi / 12, 0, 1, 0);
    EXPECT_EQ(browser.effectScrollView()->storedTransform(), tilt);
    EXPECT_EQ(view->layerForSubview(browser.effectScrollView())->transform(), tilt);
    EXPECT_EQ(view->depthFactor(), 2.7);
    // The tilt survives resizing.
    view->setFrameSize(pf::Size(700, 220));
    EXPECT_EQ(view->layerForSubview(browser.effectScrollView())->transform(), tilt);

    // The stronger perspective of the 3D mode, and back.
    const auto shadow = view->layerForSubview(browser.cutShadow());
    for (bool increased : {true, false}) {
        browser.setIncreased3DEffect(increased);
        clock.advance(1);
        EXPECT_EQ(view->depthFactor(), increased ? 1.19 : 2.7);
        EXPECT_EQ(shadow->transform(),
                  increased ? Transform3D::translation(-27, 0, 0) : Transform3D::identity());
    }
}

TEST_F(EffectBrowser, AUserClickAddsOneLayerAndTheProgramsSelectionAddsNone)
{
    click(seen(3, 0.5));
    EXPECT_EQ(recorder.added, QStringList{"Effect3"});
    EXPECT_EQ(selectedTiles(), QList<int>{3});
    click(seen(3, 0.3)); // the selected tile
    EXPECT_EQ(recorder.added, QStringList{"Effect3"});
    click(seen(5, 0.5));
    EXPECT_EQ(recorder.added, (QStringList{"Effect3", "Effect5"}));
    EXPECT_EQ(selectedTiles(), QList<int>{5});

    // The program shows the selected layer's effect without adding any.
    browser.setSelectedFilter(QStringLiteral("Effect1"));
    EXPECT_EQ(selectedTiles(), QList<int>{1});
    EXPECT_EQ(browser.lastSelection(), 1);
    for (const QString& name : {QStringLiteral("Unknown"), QStringLiteral("")}) {
        browser.setSelectedFilter(name);
        EXPECT_EQ(selectedTiles(), QList<int>{1});
    }
    browser.setFilterPredicate(GMEffectBrowserController::bestPredicate());
    // Effect1 is filtered out: nothing is selected; Effect3 is too: that stays so.
    browser.setSelectedFilter(QStringLiteral("Effect3"));
    EXPECT_TRUE(browser.selectionIndexes().isEmpty());
    browser.setFilterPredicate(nullptr);
    browser.setSelectedFilter(QString()); // the background: nothing selected
    EXPECT_TRUE(selectedTiles().isEmpty());
    EXPECT_EQ(browser.lastSelection(), -1);
    EXPECT_EQ(recorder.added, (QStringList{"Effect3", "Effect5"}));
}

TEST_F(EffectBrowser, AfterAFilterChangeTheSelectionFollowsTheEffectByName)
{
    browser.setSelectedFilter(QStringLiteral("Effect4"));
    ASSERT_EQ(selectedTiles(), QList<int>{4});
    // "best" keeps Effect0, 2, 4 and 6: Effect4 is now the third tile.
    browser.setFilterPredicate(GMEffectBrowserController::bestPredicate());
    EXPECT_EQ(browser.effectCollectionView()->numberOfItems(), 4);
    EXPECT_EQ(selectedTiles(), QList<int>{2});
    EXPECT_EQ(browser.lastSelection(), 2);
    EXPECT_TRUE(recorder.added.isEmpty());
    // The tile now at the old index adds its effect when clicked.
    click(seen(1, 0.5));
    EXPECT_EQ(recorder.added, QStringList{"Effect2"});

    // An effect the filter drops leaves nothing selected; it is selected again once the filter goes.
    browser.setFilterPredicate(nullptr);
    browser.setSelectedFilter(QStringLiteral("Effect5"));
    browser.setFilterPredicate(GMEffectBrowserController::bestPredicate());
    EXPECT_TRUE(selectedTiles().isEmpty());
    EXPECT_EQ(browser.lastSelection(), -1);
    browser.setFilterPredicate(nullptr);
    EXPECT_EQ(selectedTiles(), QList<int>{5});
    EXPECT_EQ(recorder.added, QStringList{"Effect2"});
}

// "Best" shortens the strip: it starts again at the first tile when nothing selected is among the
// best, instead of keeping an offset beyond the shorter list's end; a selected tile is scrolled to.
TEST_F(EffectBrowser, AFilterChangeShowsTheSelectedOrTheFirstTile)
{
    browser.effectCollectionView()->setContent(testEffects(40));
    OVTransformedScrollView* scroll = browser.effectScrollView();
    const auto offset = [&] { return scroll->contentView()->bounds().minX(); };
    const auto toTheEnd = [&] { scroll->scrollToPoint(scroll->constrainScrollPoint(Point(1e6, 0))); };
    toTheEnd();
    ASSERT_GT(offset(), 2000);
    browser.setSelectedFilter(QString());
    browser.setFilterPredicate(GMEffectBrowserController::bestPredicate());
    EXPECT_NEAR(offset(), scroll->constrainScrollPoint(Point(0, 0)).x, 0.5);
    // Its first tile is seen whole: the strip's near end, cut by the view, is left empty.
    EXPECT_GE(seen(0, 0, 0.5).x, 0);

    browser.setFilterPredicate(nullptr);
    browser.setSelectedFilter(QStringLiteral("Effect30"));
    toTheEnd();
    browser.setFilterPredicate(GMEffectBrowserController::bestPredicate());
    clock.advance(1); // the scroll to the selected tile is animated
    const Rect selected = browser.effectCollectionView()->frameForItemAtIndex(15);
    const double inset = browser.effectCollectionView()->leadingInset();
    EXPECT_NEAR(offset(), scroll->constrainScrollPoint(Point(selected.minX() - inset, 0)).x, 0.5);
}

TEST_F(EffectBrowser, HoverIsAnnouncedTileToTileAndEndsAFifthOfASecondAfterLeaving)
{
    move(seen(2, 0.3));
    move(seen(2, 0.7));
    EXPECT_NEAR(tile(2)->progress(), 0.7, 1e-6);
    move(seen(3, 0.4)); // straight into the next tile
    clock.advance(0.5);
    EXPECT_EQ(recorder.hovered, (QStringList{"Effect2", "Effect3"}));
    EXPECT_EQ(tile(2)->progress(), 0.5);
    leave();
    clock.advance(0.19);
    EXPECT_EQ(recorder.hovered.size(), 2);
    clock.advance(0.02);
    EXPECT_EQ(recorder.hovered, (QStringList{"Effect2", "Effect3", "-"}));

    // A tile becoming selected ends its own hover: the preview returns 0.2 s later.
    move(seen(5, 0.5));
    EXPECT_EQ(recorder.hovered.last(), QStringLiteral("Effect5"));
    recorder.selectAdded = false;
    auto token = pf::NotificationCenter::defaultCenter().addObserver(
        GMEffectIconView::kUnHoverNotification, browser.effectCollectionView(),
        [&](const pf::Notification& n) {
            recorder.hovered << "unhover " + n.userInfo.value("name").toString();
        });
    browser.setSelectedFilter(QStringLiteral("Effect5"));
    EXPECT_EQ(recorder.hovered.last(), QStringLiteral("unhover Effect5"));
    EXPECT_EQ(tile(5)->progress(), 0.0);
    clock.advance(0.25);
    EXPECT_EQ(recorder.hovered.last(), QStringLiteral("-"));
    // The selected tile ignores the pointer.
    move(seen(5, 0.8));
    EXPECT_EQ(tile(5)->progress(), 0.0);
}

TEST_F(EffectBrowser, TheSplitFollowsThePointerUnclampedInTheMargins)
{
    GMEffectIconView* t = tile(1);
    const Rect picture = t->drawBounds();
    for (double x : {picture.minX() - 6, picture.midX(), picture.maxX() + 6}) {
        t->mouseMoved(Event::mouseEvent(EventType::MouseMoved, t->convertPointToView(Point(x, 40), nullptr),
                                        0, clock.now(), nullptr, 0, 0));
        EXPECT_DOUBLE_EQ(t->progress(), (x - picture.minX()) / picture.width());
    }
    EXPECT_LT(t->progress(), 1.1);
    EXPECT_GT(t->progress(), 1.0);
}

TEST_F(EffectBrowser, AddingItemsWhileNothingIsSelectedClearsTheSelection)
{
    int announced = 0;
    auto token = pf::NotificationCenter::defaultCenter().addObserver(
        GMCollectionViewEffectItem::kSelectionNotification, browser.effectCollectionView(),
        [&](const pf::Notification&) { ++announced; });
    browser.addEffects(testEffects(2));
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(browser.effectCollectionView()->numberOfItems(), 10);
    EXPECT_TRUE(recorder.added.isEmpty());
    // With a selection, adding keeps it.
    browser.setSelectedFilter(QStringLiteral("Effect3"));
    announced = 0;
    browser.addEffects(testEffects(1));
    EXPECT_EQ(selectedTiles(), QList<int>{3});
}

} // namespace
