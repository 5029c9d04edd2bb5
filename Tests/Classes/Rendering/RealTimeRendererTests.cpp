#include "RenderingTestSupport.h"

#include <functional>

using namespace renderingtest;
using pf::Point;
using pf::Rect;

namespace {

const QString Standard = QStringLiteral("standard");
const QString Loupe = QStringLiteral("loupe");

} // namespace

TEST_F(RenderingTest, ModelChangesRedrawTheActiveChannelsOnlyUpToTheSelection)
{
    struct Case
    {
        const char* name;
        std::function<void(GMRealTimeRenderer&)> change;
        int redraws;
    };
    const std::vector<Case> cases{
        {"content above the selection", [](auto& r) { r.contentDidChangeAtIndex(3); }, 0},
        {"content of the selection", [](auto& r) { r.contentDidChangeAtIndex(2); }, 1},
        {"content of the background", [](auto& r) { r.contentDidChangeAtIndex(0); }, 1},
        {"mask above the selection", [](auto& r) { r.brushPathDidChangeAtIndex(3); }, 0},
        {"mask below the selection", [](auto& r) { r.brushPathDidChangeAtIndex(1); }, 1},
        {"update", [](auto& r) { r.updateActiveChannels(); }, 1},
        {"hide the draw layer", [](auto& r) { r.hideDrawLayer(true); }, 1},
        {"activate again", [](auto& r) { r.activateChannel(Standard, Rect(0, 0, 1, 1)); }, 1},
    };
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    settle();
    for (const Case& c : cases) {
        const quint64 standardBefore = zoom(Standard).currentRenderNo();
        const quint64 loupeBefore = zoom(Loupe).currentRenderNo();
        c.change(*renderer);
        EXPECT_EQ(zoom(Standard).currentRenderNo() - standardBefore, quint64(c.redraws)) << c.name;
        EXPECT_EQ(zoom(Loupe).currentRenderNo(), loupeBefore) << c.name << ": the loupe is not active";
        settle();
    }
    EXPECT_EQ(renderer->activeChannels(), QStringList{Standard});
}

TEST_F(RenderingTest, AStrokeStaysOnTheChannelWhereItBegan)
{
    renderer->activateChannel(Loupe, Rect(0.25, 0.25, 0.5, 0.5));
    settle();
    renderer->brushDownAtPoint(drawBrush(), Point(0.3, 0.5), Loupe);
    frame();
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    renderer->activateChannel(Loupe, Rect(0.5, 0.5, 0.25, 0.25)); // the stroke keeps the part it began on
    renderer->processPoint(Point(0.6, 0.5));
    frame();
    renderer->brushUpAtPoint(Point(0.6, 0.5));
    settle();

    ASSERT_EQ(window.strokes.size(), 1u);
    EXPECT_EQ(window.strokes[0].channel, Loupe);
    EXPECT_EQ(window.strokes[0].rect, Rect(0.25, 0.25, 0.5, 0.5));
    EXPECT_EQ(renderer->sourceChannel(), Loupe);
    EXPECT_EQ(window.strokes[0].target, chain->brushPathImageAtIndex(2));
    EXPECT_EQ(renderer->activeChannels(), (QStringList{Loupe, Standard}));
}

TEST_F(RenderingTest, StrokesThatCannotBeDrawnAreIgnoredWhole)
{
    // A channel that never got a layer has no zoom renderer; a layer that was never activated shows no
    // part of the photo; a layer of no width has nothing to paint on.
    auto flat = pf::Layer::create();
    flat->setFrame(Rect(0, 0, 0, 50));
    renderer->setLayerForRenderChannel(flat, QStringLiteral("flat"));
    renderer->activateChannel(QStringLiteral("flat"), Rect(0, 0, 1, 1));
    renderer->activateChannel(QStringLiteral("nowhere"), Rect(0, 0, 1, 1));
    settle();
    for (const QString& channel : {QStringLiteral("nowhere"), Loupe, QStringLiteral("flat")}) {
        renderer->brushDownAtPoint(drawBrush(), Point(0.5, 0.5), channel);
        renderer->processPoint(Point(0.6, 0.5));
        renderer->brushUpAtPoint(Point(0.6, 0.5));
        frame();
        settle();
        EXPECT_TRUE(window.strokes.empty()) << channel.toStdString();
    }
    EXPECT_FALSE(zoom(Loupe).isBlocked());
    EXPECT_FALSE(zoom(Loupe).brushHandler().isBrushDown());
    EXPECT_EQ(renderer->activeChannels(), (QStringList{QStringLiteral("flat"), QStringLiteral("nowhere")}));
}

TEST_F(RenderingTest, AChannelActivatedBeforeItHasALayerShowsOnceItGetsOne)
{
    const QString late = QStringLiteral("late");
    renderer->activateChannel(late, Rect(0.5, 0, 0.5, 1));
    settle();
    EXPECT_EQ(renderer->activeChannels(), QStringList{late});
    EXPECT_TRUE(window.told.isEmpty());

    auto layer = pf::Layer::create();
    layer->setFrame(Rect(0, 0, 40, 60));
    renderer->setLayerForRenderChannel(layer, late);
    settle();
    EXPECT_EQ(window.told, QStringList{QStringLiteral("visible late")});
    EXPECT_EQ(zoom(late).contentsRect(), Rect(0.5, 0, 0.5, 1));
    EXPECT_EQ(layer->contents().size(), QSize(40, 60));

    // A model change now redraws it with the others; once deactivated a new layer shows nothing.
    const quint64 before = zoom(late).currentRenderNo();
    renderer->updateActiveChannels();
    EXPECT_EQ(zoom(late).currentRenderNo(), before + 1);
    settle();
    renderer->deactivateRenderChannel(late);
    settle();
    auto another = pf::Layer::create();
    another->setFrame(Rect(0, 0, 40, 60));
    renderer->setLayerForRenderChannel(another, late);
    settle();
    EXPECT_TRUE(another->contents().isNull());
    EXPECT_EQ(window.told.count(QStringLiteral("visible late")), 2);
}
