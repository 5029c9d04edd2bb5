// Live rendering on the software renderer, as the editor drives it: a 6000 x 4000 photo with three
// effects below the selected one, shown fitted into a 1024 x 683 layer.
// - drag to picture: one pointer drag through the zoom renderer (brush step, invalidation) until the
//   layer has drawn it, as the layer host does before its next frame; brush-down and brush-up (which
//   stores the stroke in the photo-sized mask) beside it;
// - settings to preview: a change of the selected effect's setting until its composed picture is on
//   the layer;
// - settings drag: two seconds of setting changes at 60 per second, with the number of compositions
//   waiting on the render queue sampled after each change.
// Painting with the shipped effects on the shared portrait enlarged to 6000 x 4000, in the same layer:
// - healing stroke: a 90-pixel spot healed with "BlemishHealing": the main thread's time at brush-up,
//   the time until the stroke's snapshot is on disk, and the process's resident size grown meanwhile;
// - healing steps: drags of a 15- and a 60-pixel healing brush, step to picture;
// - brush-down: from brush-down to its first step on screen, on a prepared channel (warm), on a channel
//   activated at brush-down as painting begun outside live editing does (cold), and cold again with the
//   previous stroke's snapshot still being written (with save).
// Reports only; the figures are percentiles over all samples.

#include "BenchStatistics.h"
#include "ChainTestSupport.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/Rendering/GMZoomRenderer.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Image/Color.h"
#include "Platform/UI/Layer.h"
#include "TestFilters.h"
#include "bench/BenchRun.h"
#include "bench/PhotoBenchSupport.h"
#include "bench/TestEffectsBenchSetup.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <map>
#include <random>
#include <thread>
#include <unistd.h>

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
Image photo(int width = Width, int height = Height)
{
    Bitmap bitmap(width, height, Bitmap::Format::RGBA8);
    std::mt19937 random(7);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.mutableRow(y);
        for (int x = 0; x < width; ++x) {
            const int grain = int(random() % 17) - 8;
            row[4 * x + 0] = uint8_t(std::clamp(120 + 80 * x / width + grain, 0, 255));
            row[4 * x + 1] = uint8_t(std::clamp(90 + 60 * y / height + grain, 0, 255));
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

    explicit Editor(int width = Width, int height = Height)
    {
        chain = std::make_shared<PhotoToolChain>(photo(width, height));
        for (int i = 0; i < Selected; ++i) {
            chain->insertPhotoToolWithBlueprint(i % 2 ? chaintest::grey() : chaintest::tint(), std::nullopt,
                                                i);
            if (i == Selected - 1)
                break; // the selected layer starts unpainted
            auto container = std::make_shared<OVContentContainer>();
            const Image black =
                Image::constantColor(Color(0, 0, 0)).imageByCroppingToRect(Rect(0, 0, width, height));
            container->imageContainer()->setImage(
                Image::constantColor(Color(1, 1, 1))
                    .imageByCroppingToRect(Rect(i * width / 4.0, 0, width / 3.0, height))
                    .imageByCompositingOverImage(black));
            chain->brushPathImageAtIndex(i + 1)->addContentContainer(container);
        }
        OVBrushPathImage::waitForPendingWrites();
        chain->setSelectionIndex(Selected);
        chain->setDelegate(&window);
        renderer = std::make_unique<GMRealTimeRenderer>(chain);
        renderer->setDelegate(&window);
        window.renderer = renderer.get();
        layer->setFrame(Rect(0, 0, 1024, std::round(1024.0 * height / width)));
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

Editor& editor(int width = Width, int height = Height)
{
    static std::map<std::pair<int, int>, Editor*> editors; // left to the end of the process, as the app's
    Editor*& e = editors[{width, height}];
    if (!e)
        e = new Editor(width, height);
    return *e;
}

// Arguments: the photo's width and height, and the brush (OVBrush::Draw or OVBrush::SmartBrush).
void BM_DragToPicture(benchmark::State& state)
{
    Editor& e = editor(int(state.range(0)), int(state.range(1)));
    OVBrush brush;
    brush.type = qint32(state.range(2));
    brush.size = 40;
    brush.smoothness = 0.5;
    brush.pressure = 0.8;
    brush.kernelName = QStringLiteral("skinBrush");
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
        // The next stroke begins while this one's snapshot is written, as a person paints: the
        // brush-down figure includes whatever that write holds up.
    }
    OVBrushPathImage::waitForPendingWrites();
    report(state, "drag", drags);
    report(state, "step", steps);
    report(state, "brush_down", downs);
    report(state, "brush_up", ups);
    state.counters["live_area_px"] = e.zoom().lastLiveArea();
    state.counters["dropped"] = e.zoom().droppedPoints();
}
BENCHMARK(BM_DragToPicture)
    ->Args({Width, Height, OVBrush::Draw})
    ->Args({Width, Height, OVBrush::SmartBrush})
    ->Args({12000, 9000, OVBrush::Draw})
    ->Args({12000, 9000, OVBrush::SmartBrush})
    ->ArgNames({"width", "height", "brush"})
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);

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

// The resident size of the process now, in megabytes.
double residentMB()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

// Samples the resident size every few milliseconds while it lives; the highest seen.
class ResidentPeak
{
public:
    ResidentPeak() : m_peak(residentMB()), m_thread([this] { run(); }) {}
    ~ResidentPeak()
    {
        m_stop = true;
        m_thread.join();
    }
    double peak() const { return m_peak.load(); }

private:
    void run()
    {
        while (!m_stop) {
            const double now = residentMB();
            if (now > m_peak.load())
                m_peak.store(now);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    }
    std::atomic<double> m_peak;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The portrait enlarged to 6000 x 4000 with the shipped healing effect selected above it, shown fitted.
struct Healing
{
    Window window;
    std::shared_ptr<PhotoToolChain> chain;
    std::unique_ptr<GMRealTimeRenderer> renderer;
    std::shared_ptr<Layer> layer = Layer::create();
    int strokes = 0;

    Healing()
    {
        const QImage portrait(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
        chain = std::make_shared<PhotoToolChain>(Image::fromQImage(
            portrait.scaled(Width, Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
        chain->insertPhotoToolWithBlueprint(
            GMBlueprintCatalog::sharedInstance().effectBlueprintWithName(QStringLiteral("BlemishHealing")),
            std::nullopt, 0);
        chain->setSelectionIndex(1);
        chain->setDelegate(&window);
        renderer = std::make_unique<GMRealTimeRenderer>(chain);
        renderer->setDelegate(&window);
        window.renderer = renderer.get();
        layer->setFrame(Rect(0, 0, 1024, 683));
        renderer->setLayerForRenderChannel(layer, Standard);
        activate();
    }
    GMZoomRenderer& zoom() { return *renderer->zoomRendererForChannel(Standard); }
    void activate()
    {
        const int seen = window.visible;
        renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
        while (window.visible <= seen) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    static OVBrush brush(double size)
    {
        OVBrush b;
        b.type = OVBrush::Draw;
        b.brushSubType = OVBrush::Healing;
        b.size = size;
        b.smoothness = 0.3;
        b.pressure = 1;
        return b;
    }
    // A spot on the cheeks, a different one for every stroke.
    Point spot()
    {
        const int n = strokes++;
        return Point(0.35 + 0.04 * (n % 8), 0.35 + 0.05 * ((n / 8) % 5));
    }
    // A brush-down at the next spot and three small steps from it, each drawn; the spot.
    Point paintSpot(double size)
    {
        const Point p = spot();
        renderer->brushDownAtPoint(brush(size), p, Standard);
        layer->displayIfNeeded();
        for (int i = 1; i <= 3; ++i) {
            renderer->processPoint(Point(p.x + i * 1.0 / 1024, p.y));
            layer->displayIfNeeded();
        }
        return p;
    }
    std::shared_ptr<OVBrushPathImage> mask() { return chain->brushPathImageAtIndex(1); }
    void waitForWrites() { OVBrushPathImage::waitForPendingWrites(); }
    // Between two strokes: the last one's snapshot written and a tenth of a second of the main loop, as
    // a person pauses, for the stored pixels to replace the preview on the channel.
    void pause()
    {
        waitForWrites();
        renderer->renderQueue()->waitUntilEmpty();
        const auto until = Clock::now() + std::chrono::milliseconds(100);
        while (Clock::now() < until) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
};

Healing& healing()
{
    static Healing* h = new Healing;
    return *h;
}

void BM_HealingStroke(benchmark::State& state)
{
    Healing& h = healing();
    // A 90-pixel spot of the photo is 15 pixels of the fitted layer.
    const double size = 90.0 * 1024 / Width;
    std::vector<double> ups, stored, growth;
    for (auto _ : state) {
        const Point p = h.paintSpot(size);
        const double before = residentMB();
        double peak = 0;
        {
            ResidentPeak sampler;
            const auto start = Clock::now();
            h.renderer->brushUpAtPoint(p);
            ups.push_back(milliseconds(Clock::now() - start));
            h.mask()->waitForSnapshotFolder(h.mask()->segmentImageNames().last());
            stored.push_back(milliseconds(Clock::now() - start));
            QCoreApplication::processEvents();
            peak = sampler.peak();
        }
        growth.push_back(std::max(0.0, peak - before));
        state.PauseTiming();
        h.pause();
        state.ResumeTiming();
    }
    report(state, "brush_up_main", ups);
    report(state, "stored", stored);
    state.counters["memory_growth_MB_max"] = percentile(growth, 1.0);
    state.counters["memory_growth_MB_p50"] = percentile(growth, 0.5);
}
BENCHMARK(BM_HealingStroke)->Iterations(6)->Unit(benchmark::kMillisecond);

void BM_HealingSteps(benchmark::State& state)
{
    Healing& h = healing();
    const double size = double(state.range(0));
    std::vector<double> steps;
    for (auto _ : state) {
        const Point p = h.spot();
        h.renderer->brushDownAtPoint(Healing::brush(size), p, Standard);
        h.layer->displayIfNeeded();
        for (int i = 1; i <= 12; ++i) {
            const auto start = Clock::now();
            h.renderer->processPoint(Point(p.x + i * 4.0 / 1024, p.y + 0.004 * std::sin(i * 0.5)));
            h.layer->displayIfNeeded();
            steps.push_back(milliseconds(Clock::now() - start));
        }
        h.renderer->brushUpAtPoint(p);
        state.PauseTiming();
        h.pause();
        state.ResumeTiming();
    }
    report(state, "step", steps);
}
BENCHMARK(BM_HealingSteps)->Arg(15)->Arg(60)->Iterations(4)->Unit(benchmark::kMillisecond);

// A key pressed right after a healing stroke is released: the channel shows another part of the photo
// (a zoom) while the stroke is still being stored. From the key to the new picture on the layer.
void BM_ZoomWhileStoring(benchmark::State& state)
{
    Healing& h = healing();
    const double size = 90.0 * 1024 / Width;
    std::vector<double> answers;
    int zoom = 0;
    for (auto _ : state) {
        const Point p = h.paintSpot(size);
        h.renderer->brushUpAtPoint(p);
        const bool storing = h.mask()->isSnapshotFolderPending(h.mask()->segmentImageNames().last());
        const int seen = h.window.visible;
        const auto start = Clock::now();
        const double scale = zoom++ % 2 ? 1.0 : 0.5;
        h.renderer->activateChannel(Standard, Rect((1 - scale) / 2, (1 - scale) / 2, scale, scale));
        while (h.window.visible <= seen) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        answers.push_back(milliseconds(Clock::now() - start));
        state.counters["while_storing"] += storing ? 1 : 0;
        state.PauseTiming();
        h.pause();
        state.ResumeTiming();
    }
    report(state, "zoom_answer", answers);
}
BENCHMARK(BM_ZoomWhileStoring)->Iterations(8)->Unit(benchmark::kMillisecond);

// From brush-down to its first step on the layer. `cold`: the channel left live editing and is activated
// at brush-down, as the window does; `duringSave`: the last stroke's snapshot write has just begun.
void brushDown(benchmark::State& state, bool cold, bool duringSave)
{
    Healing& h = healing();
    const double size = 90.0 * 1024 / Width;
    std::vector<double> downs;
    for (auto _ : state) {
        state.PauseTiming();
        if (duringSave) {
            // A stroke just stored: its snapshot is being written while the next begins.
            const Point p = h.spot();
            h.renderer->brushDownAtPoint(Healing::brush(size), p, Standard);
            h.layer->displayIfNeeded();
            h.renderer->processPoint(Point(p.x + 1.0 / 1024, p.y));
            h.layer->displayIfNeeded();
            h.renderer->brushUpAtPoint(p);
        } else {
            h.pause();
        }
        if (cold)
            h.renderer->deactivateRenderChannel(Standard);
        state.ResumeTiming();
        const Point p = h.spot();
        const auto start = Clock::now();
        if (cold)
            h.renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
        h.renderer->brushDownAtPoint(Healing::brush(size), p, Standard);
        h.layer->displayIfNeeded();
        downs.push_back(milliseconds(Clock::now() - start));
        h.renderer->processPoint(Point(p.x + 1.0 / 1024, p.y));
        h.layer->displayIfNeeded();
        h.renderer->brushUpAtPoint(p);
        state.PauseTiming();
        h.pause();
        state.ResumeTiming();
    }
    report(state, "brush_down_to_step", downs);
}

void BM_BrushDownWarm(benchmark::State& state)
{
    brushDown(state, false, false);
}
BENCHMARK(BM_BrushDownWarm)->Iterations(8)->Unit(benchmark::kMillisecond);

void BM_BrushDownCold(benchmark::State& state)
{
    brushDown(state, true, false);
}
BENCHMARK(BM_BrushDownCold)->Iterations(8)->Unit(benchmark::kMillisecond);

void BM_BrushDownColdWithSave(benchmark::State& state)
{
    brushDown(state, true, true);
}
BENCHMARK(BM_BrushDownColdWithSave)->Iterations(8)->Unit(benchmark::kMillisecond);

// Painting as a person paints, with the real-time renderer: `layers` effects over a photo of
// `width` x `height`, each painted with `strokes` strokes in the fitted channel, every stroke stored in
// the layer's photo-sized mask before the next begins. The process's resident size after each stroke
// (its snapshot written) and the highest it reached, with the load beside them: painting, not
// composing, is what sets the memory a session needs.
void BM_PaintingMemory(benchmark::State& state)
{
    const int layers = int(state.range(0)), strokes = int(state.range(1));
    const int width = int(state.range(2)), height = int(state.range(3));
    const double start = residentMB();
    std::vector<double> afterStroke;
    double peak = 0;
    for (auto _ : state) {
        ResidentPeak sampler;
        Window window;
        auto chain =
            std::make_shared<PhotoToolChain>(Image::fromBitmap(bench::byteNoise(width, height, 11, 100, 60)));
        for (int i = 0; i < layers; ++i)
            chain->insertPhotoToolWithBlueprint(i % 2 ? chaintest::grey() : chaintest::tint(), std::nullopt,
                                                i);
        chain->setDelegate(&window);
        auto renderer = std::make_unique<GMRealTimeRenderer>(chain);
        renderer->setDelegate(&window);
        window.renderer = renderer.get();
        auto layer = Layer::create();
        const double fitted = std::min(1024.0 / width, 1024.0 / height);
        layer->setFrame(Rect(0, 0, std::round(width * fitted), std::round(height * fitted)));
        renderer->setLayerForRenderChannel(layer, Standard);
        OVBrush brush;
        brush.size = 60;
        brush.smoothness = 0.5;
        brush.pressure = 0.8;
        for (int l = 1; l <= layers; ++l) {
            chain->setSelectionIndex(l);
            renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
            renderer->renderQueue()->waitUntilEmpty();
            QCoreApplication::processEvents();
            for (int k = 0; k < strokes; ++k) {
                const double y = 0.15 + 0.7 * (k + 0.5) / strokes;
                renderer->brushDownAtPoint(brush, Point(0.1, y), Standard);
                layer->displayIfNeeded();
                for (int i = 1; i <= 60; ++i) {
                    renderer->processPoint(Point(0.1 + i * 0.8 / 60, y + 0.03 * std::sin(i * 0.2)));
                    layer->displayIfNeeded();
                }
                renderer->brushUpAtPoint(Point(0.9, y));
                OVBrushPathImage::waitForPendingWrites();
                renderer->renderQueue()->waitUntilEmpty();
                QCoreApplication::processEvents();
                afterStroke.push_back(residentMB());
            }
        }
        peak = sampler.peak();
        window.renderer = nullptr;
        renderer.reset();
        QCoreApplication::processEvents();
        chain->setDelegate(nullptr);
    }
    state.counters["start_MB"] = start;
    state.counters["first_stroke_MB"] = afterStroke.empty() ? 0 : afterStroke.front();
    state.counters["last_stroke_MB"] = afterStroke.empty() ? 0 : afterStroke.back();
    // What each stroke after the first added on average: with the undo history on disk, about one
    // snapshot's worth at most.
    state.counters["per_stroke_MB"] =
        afterStroke.size() > 1 ? (afterStroke.back() - afterStroke.front()) / double(afterStroke.size() - 1)
                               : 0;
    state.counters["peak_MB"] = peak;
    state.counters["load_1min"] = [] {
        double load = 0;
        QFile file(QStringLiteral("/proc/loadavg"));
        if (file.open(QIODevice::ReadOnly))
            load = file.readAll().split(' ').value(0).toDouble();
        return load;
    }();
}
BENCHMARK(BM_PaintingMemory)
    ->Args({1, 12, 6000, 4000})
    ->Args({5, 3, 6000, 4000})
    ->Args({1, 20, 12000, 9000})
    ->ArgNames({"layers", "strokes", "width", "height"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    OVHealingBrush::registerClass();
    OVIrisMaskBrush::registerClass();
    OVIrisReplacementBrush::registerClass();
    return bench::runWithTestEffects(argc, argv);
}
