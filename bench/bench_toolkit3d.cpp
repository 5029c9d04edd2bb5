// The toolkit in 3D on the software path: ten photo-sized layers fanned on a perspective layer, still and
// with one layer moving, beside plain QPainter drawing the same images through the same maps; a repaint
// of one tile of a live strip in a 3D view until the 3D frame is drawn, beside the same strip in a
// graphics view with a proxy widget under the same map; and one hit test through the 3D view.

#include "LayerBenchSupport.h"

#include "Classes/Framework/Toolkit/OV3DLayer.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Platform/UI/LayerRenderer.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"
#include "bench/BenchRun.h"

#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <numbers>

namespace {

using pf::Layer;
using pf::Point;
using pf::Rect;
using pf::Transform3D;

constexpr QSize kWindow(1600, 1000);
constexpr int kLayers = 10;
constexpr double kDegree = std::numbers::pi / 180;

// Ten layers turned -60 degrees about y, stepped sideways and back in depth, on a perspective layer of
// a lens of 85 mm.
struct Fan
{
    std::shared_ptr<Layer> root, marker;
    std::shared_ptr<OV3DLayer> fan;
    std::vector<std::shared_ptr<Layer>> cards;

    Fan()
    {
        const pf::Transaction::Scope atOnce(true);
        root = layerBench::groundRoot(kWindow);
        fan = OV3DLayer::create();
        fan->setFrame(root->bounds());
        fan->setFocalLength(85);
        fan->setPreventRelayout(true);
        root->addSublayer(fan);
        cards = layerBench::fanCards(*fan, kLayers, Point(1300, 500), 90,
                                     Transform3D::rotation(-60 * kDegree, 0, 1, 0), 40);
        marker = Layer::create(); // its change makes the fan draw every card again
        fan->addSublayer(marker);
    }
};

void BM_FanOn3DLayer(benchmark::State& state)
{
    Fan fan;
    layerBench::drawAfterEachChange(state, *fan.root, *fan.marker, kWindow);
}
BENCHMARK(BM_FanOn3DLayer)->Unit(benchmark::kMillisecond);

// One card slides along the fan, a frame every 1/60 s.
void BM_FanOn3DLayerOneAnimating(benchmark::State& state)
{
    Fan fan;
    layerBench::slideOneCard(state, *fan.root, *fan.cards[4], Point(1300, 500), Point(500, 500), kWindow);
}
BENCHMARK(BM_FanOn3DLayerOneAnimating)->Unit(benchmark::kMillisecond);

// The peer: each full-size image drawn by QPainter through the same projective map, back to front.
void BM_FanPlainQPainter(benchmark::State& state)
{
    Fan fan;
    layerBench::drawPlainRepeatedly(state, fan.cards, kWindow);
}
BENCHMARK(BM_FanPlainQPainter)->Unit(benchmark::kMillisecond);

// A strip of tiles, 1200 x 300, each painting a gradient (a picture's worth of work per pixel).
class Tile : public pf::View
{
public:
    using View::View;
    int hue = 0;
    void drawRect(QPainter& painter, const Rect&) override
    {
        QLinearGradient gradient(0, 0, bounds().width(), bounds().height());
        gradient.setColorAt(0, QColor::fromHsv(hue % 360, 200, 220));
        gradient.setColorAt(1, QColor::fromHsv((hue + 120) % 360, 200, 120));
        painter.fillRect(bounds().toQRectF(), gradient);
    }
};

pf::View* makeStrip(std::vector<Tile*>& tiles)
{
    auto* strip = new pf::View(Rect(0, 0, 1200, 300));
    for (int i = 0; i < 8; ++i) {
        tiles.push_back(new Tile(Rect(i * 150, 0, 150, 300)));
        strip->addSubview(tiles.back());
    }
    return strip;
}

// The strip at (50, 50) in a 3D view of depth factor 2.7, turned by pi / 12.
struct TurnedStrip
{
    pf::Window window{Rect(0, 0, 1300, 400)};
    OV3DView* view = new OV3DView(Rect(0, 0, 1300, 400));
    std::vector<Tile*> tiles;
    pf::View* strip = makeStrip(tiles);

    TurnedStrip()
    {
        window.contentView()->addSubview(view);
        strip->setFrameOrigin(Point(50, 50));
        view->addSubview(strip);
        view->setDepthFactor(2.7);
        const pf::Transaction::Scope atOnce(true);
        view->layerForSubview(strip)->setTransform(Transform3D::rotation(std::numbers::pi / 12, 0, 1, 0));
    }
};

// Each iteration a tile changes its colour, the offscreen paint reaches the layer, and `repaint` draws
// the host's frame.
template <class Repaint>
void repaintTiles(benchmark::State& state, const std::vector<Tile*>& tiles, Repaint repaint)
{
    int step = 0;
    for (auto _ : state) {
        Tile* tile = tiles[step++ % tiles.size()];
        tile->hue += 37;
        tile->setNeedsDisplay();
        QApplication::processEvents();
        repaint();
    }
}

// From a tile's request to be drawn again to the 3D frame showing it: the tile drawn offscreen, its
// part of the layer redrawn, the host's frame drawn.
void BM_TileRepaintToThreeDFrame(benchmark::State& state)
{
    TurnedStrip stage;
    OV3DView* view = stage.view;
    std::vector<Tile*>& tiles = stage.tiles;
    stage.window.show();
    QApplication::processEvents();
    repaintTiles(state, tiles, [view] { view->repaint(); }); // the 3D frame
}
BENCHMARK(BM_TileRepaintToThreeDFrame)->Unit(benchmark::kMillisecond);

// The same strip in a graphics view, as a proxy widget under the same map.
void BM_TileRepaintGraphicsViewProxy(benchmark::State& state)
{
    QGraphicsScene scene(0, 0, 1300, 400);
    QGraphicsView graphics(&scene);
    graphics.setFixedSize(1300, 400);
    graphics.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    graphics.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    std::vector<Tile*> tiles;
    pf::View* strip = makeStrip(tiles);
    QGraphicsProxyWidget* proxy = scene.addWidget(strip);
    // The layer's map in the 3D view, from the strip's y-up plane to the view's; made y-down on both
    // sides for the scene.
    auto layer = OV3DLayer::create();
    {
        const pf::Transaction::Scope atOnce(true);
        layer->setFrame(Rect(0, 0, 1300, 400));
        layer->setDepthFactor(2.7);
        auto card = Layer::create();
        card->setFrame(Rect(50, 50, 1200, 300));
        card->setTransform(Transform3D::rotation(std::numbers::pi / 12, 0, 1, 0));
        layer->addSublayer(card);
        const QTransform down(1, 0, 0, -1, 0, 300), up(1, 0, 0, -1, 0, 400);
        proxy->setTransform(down * card->mapToRootSpace().transform() * up);
    }
    graphics.show();
    QApplication::processEvents();
    repaintTiles(state, tiles, [&graphics] { graphics.viewport()->repaint(); });
}
BENCHMARK(BM_TileRepaintGraphicsViewProxy)->Unit(benchmark::kMillisecond);

// One hit test through the 3D view, as the window makes for a press on the turned strip.
void BM_HitTestThroughThreeDView(benchmark::State& state)
{
    TurnedStrip stage;
    OV3DView* view = stage.view;
    const Point onTile =
        view->layerForSubview(stage.strip)->convertPointToLayer(Point(700, 150), view->layer().get());
    for (auto _ : state)
        benchmark::DoNotOptimize(view->hitTest(onTile));
    if (view->forwardView() != stage.tiles[4])
        state.SkipWithError("the hit test missed the tile");
}
BENCHMARK(BM_HitTestThroughThreeDView)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksOffscreenAsAsked<QApplication>(argc, argv);
}
