// The layer tree on the software path: a fanned 3D stack of photo-sized layers drawn into a window-sized
// host, the same while one layer animates, and a partial redraw of a large drawing layer. Beside each, the
// plain QPainter a program could use instead: every image drawn at full size through the same projective
// map.

#include "LayerBenchSupport.h"

#include "Platform/UI/AnimationScheduler.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerDelegate.h"
#include "Platform/UI/LayerRenderer.h"
#include "Platform/UI/Transaction.h"
#include "bench/BenchRun.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <numbers>

namespace {

using pf::Layer;
using pf::Point;
using pf::Rect;
using pf::Transform3D;

constexpr QSize kHost(1600, 1000);
constexpr int kLayers = 10;

// The layer browser's fan: a perspective container of a lens of 85 mm and cards turned -75 degrees
// about y, stepped 80 points apart.
struct Fan
{
    std::shared_ptr<Layer> root, container, marker;
    std::vector<std::shared_ptr<Layer>> cards;

    Fan()
    {
        root = layerBench::groundRoot(kHost);
        container = Layer::create();
        container->setFrame(root->bounds());
        Transform3D perspective;
        const double depthFactor = 2 * 85 / 43.266615305567875;
        perspective.m34 = -1 / (kHost.width() / 2.0 * depthFactor);
        container->setSublayerTransform(perspective);
        root->addSublayer(container);
        cards = layerBench::fanCards(*container, kLayers, Point(1350, 500), 80,
                                     Transform3D::rotation(-75 * std::numbers::pi / 180, 0, 1, 0));
        marker = Layer::create(); // an empty layer whose change invalidates the container's cache
        container->addSublayer(marker);
    }
};

// Every card drawn, as after any change inside the fan.
void BM_FannedStack(benchmark::State& state)
{
    Fan fan;
    layerBench::drawAfterEachChange(state, *fan.root, *fan.marker, kHost);
}
BENCHMARK(BM_FannedStack)->Unit(benchmark::kMillisecond);

// Nothing inside the fan changed since the last frames: the container is drawn from its cache.
void BM_FannedStackUnchanged(benchmark::State& state)
{
    Fan fan;
    QImage target = layerBench::target(kHost);
    for (int i = 0; i < 3; ++i)
        layerBench::drawFrame(*fan.root, target, 0);
    for (auto _ : state) {
        layerBench::drawFrame(*fan.root, target, 0);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_FannedStackUnchanged)->Unit(benchmark::kMillisecond);

// One card slides along the fan while the others stay; one frame per iteration, 1/60 s apart.
void BM_FannedStackOneAnimating(benchmark::State& state)
{
    Fan fan;
    layerBench::slideOneCard(state, *fan.root, *fan.cards[3], Point(1350, 500), Point(650, 500), kHost);
}
BENCHMARK(BM_FannedStackOneAnimating)->Unit(benchmark::kMillisecond);

// The peer: plain QPainter drawing each full-size image through the same projective maps.
void BM_FannedStackPlainQPainter(benchmark::State& state)
{
    Fan fan;
    layerBench::drawPlainRepeatedly(state, fan.cards, kHost);
}
BENCHMARK(BM_FannedStackPlainQPainter)->Unit(benchmark::kMillisecond);

struct Stamp : pf::LayerDelegate
{
    int count = 0;
    void drawLayer(Layer&, QPainter& painter) override
    {
        // The delegate's own work kept small: one fill of the dirty part.
        painter.fillRect(painter.clipBoundingRect(), QColor::fromHsv((count++ * 37) % 360, 200, 200));
    }
};

// A 256 x 256 step of a brush on a 2000 x 1500 drawing layer: redraw that part of the backing store and
// show it in the host.
void BM_PartialRedraw(benchmark::State& state)
{
    Stamp stamp;
    auto root = Layer::create();
    root->setFrame(Rect(0, 0, 2000, 1500));
    root->setDelegate(&stamp);
    root->setNeedsDisplay();
    QImage target(2000, 1500, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black);
    layerBench::drawFrame(*root, target, 0);
    int step = 0;
    for (auto _ : state) {
        const Rect dirty(100 + (step * 61) % 1600, 100 + (step * 37) % 1100, 256, 256);
        ++step;
        root->setNeedsDisplayInRect(dirty);
        QPainter painter(&target);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        painter.setTransform(QTransform(1, 0, 0, -1, 0, target.height()));
        painter.setClipRect(dirty.toQRectF()); // the host repaints only what changed
        pf::LayerRenderer::render(*root, painter, 0);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_PartialRedraw)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksOffscreenAsAsked<QGuiApplication>(argc, argv);
}
