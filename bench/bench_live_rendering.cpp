// Live rendering on the software renderer, as the editor drives it: a 6000 x 4000 photo with three
// effects below the selected one, shown fitted into a 1024 x 683 layer.
// - drag to picture: one pointer drag through the zoom renderer (brush step, invalidation) until the
//   layer has drawn it, as the layer host does before its next frame; brush-down and brush-up (which
//   stores the stroke in the photo-sized mask) beside it;
// - settings to preview: a change of the selected effect's setting until its composed picture is on
//   the layer;
// - settings drag: two seconds of setting changes at 60 per second, with the number of compositions
//   waiting on the render queue sampled after each change.
// Reports only; the figures are percentiles over all samples.

#include "BenchStatistics.h"
#include "ChainTestSupport.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/Rendering/GMZoomRenderer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Image/Color.h"
#include "Platform/UI/Layer.h"
#include "TestFilters.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>

using namespace pf;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int Width = 6000;
constexpr int Height = 4000;
constexpr int Selected = 4;
const QString Standard = QStringLiteral("standard");

using bench::milliseconds;
using bench::percentile;

void report(benchmark::State& state, const char* name, const std::vector<double>& samples)
{
    state.counters[std::string(name) + "_p50_ms"] = percentile(samples, 0.50);
    state.counters[std::string(name) + "_p95_ms"] = percentile(samples, 0.95);
    state.counters[std::string(name) + "_max_ms"] = percentile(samples, 1.0);
}

// Smooth colour with some grain, so that neither the brushes nor the filters meet a flat picture.
Image photo()
{
    Bitmap bitmap(Width, Height, Bitmap::Format::RGBA8);
    std::mt19937 random(7);
    for (int y = 0; y < Height; ++y) {
        uint8_t* row = bitmap.mutableRow(y);
        for (int x = 0; x < Width; ++x) {
            const int grain = int(random() % 17) - 8;
            row[4 * x + 0] = uint8_t(std::clamp(120 + 80 * x / Width + grain, 0, 255));
            row[4 * x + 1] = uint8_t(std::clamp(90 + 60 * y / Height + grain, 0, 255));
            row[4 * x + 2] = uint8_t(std::clamp(70 + grain, 0, 255));
            row[4 * x + 3] = 255;
        }
    }
    return Image::fromBitmap(bitmap);
}

// The window in live editing: stores strokes, passes the chain's changes on, counts pictures shown.
class Window : public GMRealTimeRendererDelegate, public PhotoToolChainDelegate
{
public:
    GMRealTimeRenderer* renderer = nullptr;
    int visible = 0;

    void
    realTimeRendererDidCalculateContentContainer(GMRealTimeRenderer*, const OVContentContainerPtr& container,
                                                 const Rect& rect, const QString&,
                                                 const std::shared_ptr<OVBrushPathImage>& target) override
    {
        if (target)
            target->addContentContainerWithRect(container, rect);
    }
    void realTimeRenderChannelDidBecomeVisible(GMRealTimeRenderer*, const QString&) override { ++visible; }
    void photoToolChainDidInsertToolAtIndex(PhotoToolChain*, int) override {}
    void photoToolChainDidSelectToolAtIndex(PhotoToolChain*, int) override {}
    void photoToolChainDidRemovedToolAtIndex(PhotoToolChain*, int) override {}
    void photoToolChainRemovedAllTools(PhotoToolChain*) override {}
    void photoToolChainSettingsDidChange(PhotoToolChain*, const QVariantMap&, int) override {}
    void photoToolChainCompositionDidChangeAtIndex(PhotoToolChain*, int index) override
    {
        if (renderer)
            renderer->contentDidChangeAtIndex(index);
    }
    void photoToolChainBrushPathDidChange(PhotoToolChain*, OVBrushPathImage*, int) override
    {
        if (renderer)
            renderer->updateActiveChannels();
    }
};

struct Editor
{
    Window window;
    std::shared_ptr<PhotoToolChain> chain;
    std::unique_ptr<GMRealTimeRenderer> renderer;
    std::shared_ptr<Layer> layer = Layer::create();

    Editor()
    {
        chain = std::make_shared<PhotoToolChain>(photo());
        for (int i = 0; i < Selected; ++i) {
            chain->insertPhotoToolWithBlueprint(i % 2 ? chaintest::grey() : chaintest::tint(), std::nullopt,
                                                i);
            if (i == Selected - 1)
                break; // the selected layer starts unpainted
            auto container = std::make_shared<OVContentContainer>();
            const Image black =
                Image::constantColor(Color(0, 0, 0)).imageByCroppingToRect(Rect(0, 0, Width, Height));
            container->imageContainer()->setImage(Image::constantColor(Color(1, 1, 1))
                                                      .imageByCroppingToRect(Rect(i * 1500, 0, 2000, Height))
                                                      .imageByCompositingOverImage(black));
            chain->brushPathImageAtIndex(i + 1)->addContentContainer(container);
        }
        OVBrushPathImage::waitForPendingWrites();
        chain->setSelectionIndex(Selected);
        chain->setDelegate(&window);
        renderer = std::make_unique<GMRealTimeRenderer>(chain);
        renderer->setDelegate(&window);
        window.renderer = renderer.get();
        layer->setFrame(Rect(0, 0, 1024, 683));
        renderer->setLayerForRenderChannel(layer, Standard);
        renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
        waitForPicture(0);
    }
    ~Editor()
    {
        window.renderer = nullptr;
        renderer.reset();
        QCoreApplication::processEvents();
        chain->setDelegate(nullptr);
    }

    GMZoomRenderer& zoom() { return *renderer->zoomRendererForChannel(Standard); }
    // Runs the main loop until a picture after the `seen`-th is on the layer.
    void waitForPicture(int seen)
    {
        while (window.visible <= seen) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    void setIntensity(double value)
    {
        chain->setSettingsForToolAtIndex({{QStringLiteral("intensity"), value}}, Selected);
    }
};

Editor& editor()
{
    static Editor* e = new Editor; // left to the end of the process, with the application
    return *e;
}

void BM_DragToPicture(benchmark::State& state)
{
    Editor& e = editor();
    OVBrush brush;
    brush.size = 40;
    brush.smoothness = 0.5;
    brush.pressure = 0.8;
    std::vector<double> drags, downs, ups, steps;
    int stroke = 0;
    for (auto _ : state) {
        const double y = 0.2 + 0.1 * (stroke++ % 7);
        auto start = Clock::now();
        e.renderer->brushDownAtPoint(brush, Point(0.1, y), Standard);
        e.layer->displayIfNeeded();
        downs.push_back(milliseconds(Clock::now() - start));
        // 80 drags of 10 layer pixels, each drawn before the next arrives.
        for (int i = 1; i <= 80; ++i) {
            start = Clock::now();
            e.renderer->processPoint(Point(0.1 + i * 10.0 / 1024, y + 0.02 * std::sin(i * 0.2)));
            const auto mid = Clock::now();
            e.layer->displayIfNeeded();
            drags.push_back(milliseconds(Clock::now() - start));
            steps.push_back(milliseconds(mid - start));
        }
        start = Clock::now();
        e.renderer->brushUpAtPoint(Point(0.9, y));
        ups.push_back(milliseconds(Clock::now() - start));
        QCoreApplication::processEvents();
        // The stroke's snapshot is written in the background, rendering on the shared context that the
        // mask brush paints with too: a stroke begun during the write waits for it. Measured apart.
        state.PauseTiming();
        OVBrushPathImage::waitForPendingWrites();
        state.ResumeTiming();
    }
    OVBrushPathImage::waitForPendingWrites();
    report(state, "drag", drags);
    report(state, "step", steps);
    report(state, "brush_down", downs);
    report(state, "brush_up", ups);
    state.counters["live_area_px"] = e.zoom().lastLiveArea();
    state.counters["dropped"] = e.zoom().droppedPoints();
}
BENCHMARK(BM_DragToPicture)->Iterations(8)->Unit(benchmark::kMillisecond);

void BM_SettingsToPreview(benchmark::State& state)
{
    Editor& e = editor();
    std::vector<double> samples;
    int step = 0;
    for (auto _ : state) {
        const int seen = e.window.visible;
        const auto start = Clock::now();
        e.setIntensity(0.3 + 0.05 * (step++ % 8));
        e.waitForPicture(seen);
        samples.push_back(milliseconds(Clock::now() - start));
    }
    report(state, "preview", samples);
}
BENCHMARK(BM_SettingsToPreview)->Iterations(30)->Unit(benchmark::kMillisecond);

void BM_SettingsDragQueue(benchmark::State& state)
{
    Editor& e = editor();
    for (auto _ : state) {
        const quint64 composedBefore = e.zoom().compositionCount();
        int requests = 0, mostWaiting = 0, pictures = 0;
        qint64 shown = e.layer->contents().cacheKey();
        std::vector<double> mainThreadWaits;
        const auto begin = Clock::now();
        auto next = begin;
        while (Clock::now() - begin < std::chrono::seconds(2)) {
            const auto start = Clock::now();
            e.setIntensity(0.2 + 0.6 * (requests++ % 60) / 60.0);
            mainThreadWaits.push_back(milliseconds(Clock::now() - start));
            mostWaiting = std::max(mostWaiting, e.zoom().waitingCompositions());
            next += std::chrono::microseconds(16667);
            while (Clock::now() < next) {
                QCoreApplication::processEvents();
                if (e.layer->contents().cacheKey() != shown) {
                    shown = e.layer->contents().cacheKey();
                    ++pictures;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        }
        const auto released = Clock::now();
        e.renderer->renderQueue()->waitUntilEmpty();
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        state.counters["last_picture_after_release_ms"] = milliseconds(Clock::now() - released);
        state.counters["requests"] = requests;
        state.counters["compositions"] = double(e.zoom().compositionCount() - composedBefore);
        state.counters["pictures_shown_during_drag"] = pictures;
        state.counters["most_waiting"] = mostWaiting;
        report(state, "setting_change", mainThreadWaits);
    }
}
BENCHMARK(BM_SettingsDragQueue)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir workingArea;
    FileSystem::setApplicationSupportDirectoryForTesting(workingArea.path());
    FilterLibrary::registerAll();
    testfilters::registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    OVBrushPathImage::waitForPendingWrites();
    return 0;
}
