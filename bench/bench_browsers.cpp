// The editor window's browsers on the software path, time stepped: one frame of the layer browser's
// switch between 2D and 3D with ten 1024 x 768 cards in a 1600 x 1000 window (at the start of a switch,
// and throughout), beside plain QPainter drawing the same images through the same maps; and one frame of
// the tilted strip of 30 effect tiles while the split of a tile follows the pointer, beside the same
// strip in a graphics view as a proxy widget under the same map.

#include "LayerBenchSupport.h"

#include "Classes/Editor/GMCollectionViewEffectItem.h"
#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMEffectIconView.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/SteppedClock.h"
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

using pf::Point;
using pf::Rect;

constexpr QSize kWindow(1600, 1000);
constexpr int kCards = 10;
constexpr int kTiles = 30;

// A layer browser filling the window with ten photo-sized cards, switching with Shift held (ten
// seconds a switch), so that every frame measured is a frame of a running switch.
struct Stack
{
    pf::Window window{Rect(0, 0, kWindow.width(), kWindow.height())};
    OVLayerBrowser* browser = new OVLayerBrowser(Rect(0, 0, kWindow.width(), kWindow.height()));
    pf::LayerHostView* host = nullptr;

    Stack()
    {
        window.contentView()->addSubview(browser);
        browser->setMargin(9);
        browser->setImageSize(pf::Size(1024, 768));
        browser->setLayerFrame(Rect(288, 100, 1024, 768));
        for (int i = 0; i < kCards; ++i) {
            browser->insertLayerWithName(QStringLiteral("Layer %1").arg(i), i);
            const pf::Transaction::Scope atOnce(true);
            browser->layers().back()->setContents(layerBench::photo(i));
        }
        host = pf::LayerHostView::windowHost(&window);
        pf::Event::setModifierFlagsProvider([] { return pf::Modifier::Shift; });
    }
    ~Stack() { pf::Event::setModifierFlagsProvider(nullptr); }
    // Starts the other switch once one has arrived.
    void keepSwitching()
    {
        const int state = browser->state();
        if (state == OVLayerBrowser::In2D || state == OVLayerBrowser::In3D)
            browser->setShow3DView(state == OVLayerBrowser::In2D);
    }
};

// Frames `step` seconds apart on the animation clock.
void switchFrames(benchmark::State& state, double step)
{
    pf::SteppedClock clock;
    Stack stack;
    QImage image = layerBench::target(kWindow);
    stack.browser->setShow3DView(true);
    for (auto _ : state) {
        clock.advance(step);
        QApplication::processEvents(); // the completions of arrived switches
        stack.keepSwitching();
        layerBench::drawFrame(*stack.host->layer(), image, clock.now());
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Frames at 60 per second: those of the start of a switch, where the cards still nearly cover each other.
void BM_LayerBrowserSwitchFrame(benchmark::State& state)
{
    switchFrames(state, 1.0 / 60);
}
BENCHMARK(BM_LayerBrowserSwitchFrame)->Unit(benchmark::kMillisecond);

// Frames spread over whole switches both ways, six a second of the switch.
void BM_LayerBrowserSwitchFrameThroughout(benchmark::State& state)
{
    switchFrames(state, 1.0 / 6);
}
BENCHMARK(BM_LayerBrowserSwitchFrameThroughout)->Unit(benchmark::kMillisecond)->MinTime(3);

// The peer: the ten images drawn by QPainter through the maps of the fan half open.
void BM_LayerBrowserSwitchFramePlainQPainter(benchmark::State& state)
{
    pf::SteppedClock clock;
    Stack stack;
    stack.browser->setShow3DView(true);
    clock.advance(5);
    std::vector<std::shared_ptr<pf::Layer>> cards;
    QImage image = layerBench::target(kWindow);
    layerBench::drawFrame(*stack.host->layer(), image, clock.now());
    // The presentation half way, as a model of its own.
    const pf::Transaction::Scope atOnce(true);
    for (const auto& layer : stack.browser->layers()) {
        const pf::LayerState now = layer->presentationState();
        layer->removeAllAnimations();
        layer->setTransform(now.transform);
        layer->setPosition(now.position);
        layer->setOpacity(1);
        cards.push_back(layer);
    }
    const layerBench::PlainDraws draws = layerBench::plainDraws(cards, kWindow);
    for (auto _ : state) {
        layerBench::drawPlain(image, draws, QColor(0, 0, 0, 0));
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_LayerBrowserSwitchFramePlainQPainter)->Unit(benchmark::kMillisecond);

QVariantList stripEffects()
{
    QVariantList items;
    const QImage photo = layerBench::photo(3).scaled(120, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    for (int i = 0; i < kTiles; ++i) {
        QImage after = photo;
        QPainter(&after).fillRect(after.rect(), QColor::fromHsv(i * 37 % 360, 180, 220, 90));
        items.append(QVariantMap{{"name", QStringLiteral("Effect%1").arg(i)},
                                 {"displayName", QStringLiteral("Effect %1").arg(i)},
                                 {"previewBeforeIcon", photo},
                                 {"previewAfterIcon", after}});
    }
    return items;
}

// The effect browser in a window 1600 wide, tilted once in it.
struct Strip
{
    pf::Window window{Rect(0, 0, kWindow.width(), 220)};
    GMEffectBrowserController browser;
    OV3DView* view = browser.browserView();

    Strip()
    {
        view->setFrame(Rect(0, 0, kWindow.width(), 220));
        window.contentView()->addSubview(view);
        browser.addEffects(stripEffects());
        window.show();
        QApplication::processEvents();
    }
    GMEffectIconView* tile(int index) const
    {
        return browser.effectCollectionView()->itemAtIndex(index)->view();
    }
};

// The pointer moves across a tile (its split follows), and the 3D frame is drawn.
void BM_EffectStripSplitFrame(benchmark::State& state)
{
    pf::SteppedClock clock;
    Strip strip;
    OVTransformedScrollView* scroll = strip.browser.effectScrollView();
    GMEffectIconView* tile = strip.tile(5);
    const Rect picture = tile->drawBounds();
    int step = 0;
    for (auto _ : state) {
        const double across = 0.1 + 0.8 * ((step++ % 20) / 20.0);
        const Point inScroll = tile->convertPointToView(
            Point(picture.minX() + across * picture.width(), picture.midY()), scroll);
        const Point inView =
            strip.view->layerForSubview(scroll)->convertPointToLayer(inScroll, strip.view->layer().get());
        strip.view->mouseMoved(pf::Event::mouseEvent(pf::EventType::MouseMoved,
                                                     strip.view->convertPointToView(inView, nullptr), 0,
                                                     clock.now(), &strip.window, 0, 0));
        QApplication::processEvents(); // the tile's offscreen paint reaches its layer
        strip.view->repaint();         // the 3D frame
    }
    if (std::abs(tile->progress() - 0.5) > 0.45)
        state.SkipWithError("the split did not follow the pointer");
}
BENCHMARK(BM_EffectStripSplitFrame)->Unit(benchmark::kMillisecond);

// The same strip of tiles in a graphics view, as a proxy widget under the same map, the split set
// directly.
void BM_EffectStripSplitFrameGraphicsViewProxy(benchmark::State& state)
{
    pf::SteppedClock clock;
    Strip strip;
    OVTransformedScrollView* scroll = strip.browser.effectScrollView();
    const auto layer = strip.view->layerForSubview(scroll);
    const Rect frame = layer->frame();
    // Taken out of the 3D view into a scene of its own, with the map the 3D view shows it through.
    auto* moved = new pf::View(Rect(0, 0, frame.width(), frame.height()));
    GMNotResponderCollectionView* collection = strip.browser.effectCollectionView();
    auto* document = new pf::View(Rect(0, 0, frame.width(), frame.height()));
    moved->addSubview(document);
    std::vector<GMEffectIconView*> tiles;
    for (int i = 0; i < kTiles; ++i) {
        auto* copy = new GMEffectIconView(collection->frameForItemAtIndex(i));
        copy->setBeforeIcon(strip.tile(i)->beforeIcon());
        copy->setAfterIcon(strip.tile(i)->afterIcon());
        copy->setDisplayName(strip.tile(i)->displayName());
        document->addSubview(copy);
        copy->setFrameOrigin(
            Point(i * collection->itemSize().width, frame.height() - collection->itemSize().height));
        tiles.push_back(copy);
    }
    QGraphicsScene scene(0, 0, kWindow.width(), 220);
    QGraphicsView graphics(&scene);
    graphics.setFixedSize(kWindow.width(), 220);
    graphics.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    graphics.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QGraphicsProxyWidget* proxy = scene.addWidget(moved);
    const QTransform down(1, 0, 0, -1, 0, frame.height()), up(1, 0, 0, -1, 0, 220);
    proxy->setTransform(down * layer->mapToRootSpace().transform() * up);
    graphics.show();
    QApplication::processEvents();
    GMEffectIconView* tile = tiles[5];
    int step = 0;
    for (auto _ : state) {
        tile->setProgress(0.1 + 0.8 * ((step++ % 20) / 20.0));
        QApplication::processEvents();
        graphics.viewport()->repaint();
    }
}
BENCHMARK(BM_EffectStripSplitFrameGraphicsViewProxy)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksOffscreenAsAsked<QApplication>(argc, argv);
}
