// The whole editor window on the software renderer, as a person paints in it: a 6000 x 4000 portrait,
// a skin effect (smart brush, brush, eraser) added as a layer, and strokes dragged over the canvas at
// 120 pointer events per second through the window's own event path.
// - drag to frame: from each drag event to the end of the first canvas frame that shows its step (a
//   drag the renderer dropped as surplus is shown by the step of the next one it took), with the
//   basic brush and with the smart brush (the smart brush also on a 12000 x 9000 portrait); the live
//   rendering benchmark times the renderer alone, this is the window with its painting;
// - effect to live picture: from adding the effect (as a click on its tile does) to the first frame of
//   the canvas drawn live with it.
// - loupe drag to frame: the loupe placed on the face, its knob at "1/2x" and at "1/4x" (two and four
//   photo pixels to a point of the glass), strokes dragged in its glass, from each drag event to the end
//   of the first frame of the loupe's overlay that shows its step (target: a 95th percentile within
//   33 ms, as for the canvas);
// - loupe carry step to frame: the loupe carried over the photo (the refracting ring included), from
//   each drag event to the end of the overlay's frame that shows it there (target: within 16 ms).
// Reports only: median, 95th percentile and worst.

#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/Rendering/GMZoomRenderer.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Window.h"

#include "BenchStatistics.h"
#include "bench/BenchRun.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <deque>
#include <functional>
#include <map>
#include <thread>

using pf::Point;
using pf::Rect;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int Width = 6000;
constexpr int Height = 4000;
constexpr auto EventInterval = std::chrono::microseconds(8333); // 120 per second
constexpr int EventsPerStroke = 120;
const QString Effect = QStringLiteral("Tan");

using bench::milliseconds;
using bench::percentile;

void report(benchmark::State& state, const std::string& name, const std::vector<double>& samples)
{
    state.counters[name + "_p50_ms"] = percentile(samples, 0.50);
    state.counters[name + "_p95_ms"] = percentile(samples, 0.95);
    state.counters[name + "_max_ms"] = percentile(samples, 1.0);
}

// Counts the canvas's frames, and remembers which live picture the last of them showed.
class FrameCounter : public QObject
{
public:
    explicit FrameCounter(const GMWindowController& controller) : m_controller(controller) {}
    int frames = 0;
    qint64 shownPicture = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++frames;
            shownPicture = m_controller.zoomView()->contentLayer()->contents().cacheKey();
        }
        return false;
    }

private:
    const GMWindowController& m_controller;
};

struct Editor
{
    GMWindowController controller;
    FrameCounter counter{controller};

    explicit Editor(int width = Width, int height = Height)
    {
        controller.loadWindow();
        pf::Window* window = controller.window();
        window->setContentSize(pf::Size(1600, 1000));
        window->makeKeyAndOrderFront();
        const QImage portrait(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
        controller.setOriginalImage(pf::Image::fromQImage(
            portrait.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
        controller.zoomView()->installEventFilter(&counter);
        waitUntilLive();
    }

    bool live() const
    {
        return controller.viewMode() == GMWindowController::Live && !controller.isPreviewPending();
    }
    // Until the window is live and the canvas has drawn its live picture. That frame often comes
    // before the last condition holds (the preview arriving): waiting for one more frame after it
    // would wait for a frame that nothing asks for.
    void waitUntilLive()
    {
        while (!live()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const qint64 picture = controller.zoomView()->contentLayer()->contents().cacheKey();
        const auto begin = Clock::now();
        while (counter.shownPicture != picture && Clock::now() - begin < std::chrono::seconds(2))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    // Outside the figure: the stroke is stored and drawn again, its snapshot written, as between two
    // strokes of a person.
    void storeStroke(benchmark::State& state)
    {
        state.PauseTiming();
        controller.editRenderer()->renderQueue()->waitUntilEmpty();
        OVBrushPathImage::waitForPendingWrites();
        waitUntilLive();
        state.ResumeTiming();
    }
    void waitForFrame()
    {
        const int seen = counter.frames;
        const auto begin = Clock::now();
        while (counter.frames == seen && Clock::now() - begin < std::chrono::seconds(2))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    // A point of the photo on screen, in the window's widget coordinates.
    QPoint onPhoto(double x, double y) const
    {
        OVZoomView* zoom = controller.zoomView();
        const Rect photo = zoom->zoomLayer()->frame();
        return zoom
            ->mapTo(controller.window(), zoom->pointToWidget(Point(photo.minX() + x * photo.width(),
                                                                   photo.minY() + y * photo.height())))
            .toPoint();
    }
    void addEffect()
    {
        controller.effectBrowserControllerAddPhotoTool(controller.effectBrowserController(), Effect);
    }
};

// One window per photo size, left to the end of the process, with the application.
Editor& editor(int width = Width, int height = Height)
{
    static std::map<std::pair<int, int>, Editor*> editors;
    Editor*& e = editors[{width, height}];
    if (!e)
        e = new Editor(width, height);
    return *e;
}

// The latencies of a paced drag and the drags no frame showed within 5 s; where the main thread's time
// went: handling each drag event (a step the renderer took is made there), and each turn of the event
// loop that drew a frame.
struct OverlayDrags
{
    std::vector<double> latencies;
    std::vector<double> handling;
    std::vector<double> framing;
    int unshown = 0;

    void addTo(std::vector<double>& allLatencies, int& allUnshown) const
    {
        allLatencies.insert(allLatencies.end(), latencies.begin(), latencies.end());
        allUnshown += unshown;
    }
};

// Sends 120 drag events at 120 per second (`move` with t from 0 to 1, the button already down); the
// latency of each to the end of the first frame `frames` counts that shows it. With a renderer, the
// step of a drag is drawn by the next frame once the renderer took it; a drag it dropped as surplus is
// shown with the next step it takes, or by the brush-up (`release`). Without one, the next frame shows it.
OverlayDrags pacedDrag(const std::function<int()>& frames, const std::function<void(double)>& move,
                       const std::function<void()>& release, const GMZoomRenderer* renderer)
{
    OverlayDrags result;
    // Events waiting for a frame: when sent, and whether the renderer took their step.
    struct Waiting
    {
        Clock::time_point sent;
        bool taken;
    };
    std::deque<Waiting> waiting;
    auto next = Clock::now();
    auto progress = Clock::now();
    int sent = 0;
    bool released = false;
    while (sent < EventsPerStroke || !waiting.empty()) {
        // Sending an event may itself run the event loop and draw a frame.
        const int seen = frames();
        if (sent < EventsPerStroke && Clock::now() >= next) {
            const double t = double(++sent) / EventsPerStroke;
            const int dropped = renderer ? renderer->droppedPoints() : 0;
            waiting.push_back({Clock::now(), false});
            move(t);
            result.handling.push_back(milliseconds(Clock::now() - waiting.back().sent));
            if (!renderer || renderer->droppedPoints() == dropped)
                for (Waiting& w : waiting)
                    w.taken = true;
            next += EventInterval;
        }
        if (sent == EventsPerStroke && !released && !waiting.empty() && !waiting.back().taken) {
            // Drags left over at the end are drawn by the brush-up.
            release();
            released = true;
            for (Waiting& w : waiting)
                w.taken = true;
        }
        const auto turn = Clock::now();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const auto now = Clock::now();
        if (frames() != seen) {
            result.framing.push_back(milliseconds(now - turn));
            progress = now;
            while (!waiting.empty() && waiting.front().taken) {
                result.latencies.push_back(milliseconds(now - waiting.front().sent));
                waiting.pop_front();
            }
        }
        if (now - progress > std::chrono::seconds(5)) {
            result.unshown += int(waiting.size());
            break;
        }
    }
    if (!released)
        release();
    return result;
}

// One stroke across the face per iteration; latencies of every drag event. Arguments: the photo's width
// and height.
void dragToFrame(benchmark::State& state, GMSettingsController::BrushKind kind)
{
    Editor& e = editor(int(state.range(0)), int(state.range(1)));
    if (e.controller.toolChain()->numberOfTools() < 2) {
        e.addEffect();
        e.waitUntilLive();
    }
    GMSettingsController* panel = e.controller.settingsController();
    for (unsigned s = 0; s < 4; ++s)
        if (GMSettingsController::brushKindForState(
                e.controller.toolChain()->selectedPhotoTool()->brushTypes(), s) == kind)
            panel->setToolState(s);
    QWindow* handle = e.controller.window()->windowHandle();
    GMZoomRenderer& zoom = *e.controller.editRenderer()->zoomRendererForChannel(QStringLiteral("standard"));
    std::vector<double> latencies, handling, framing;
    int stroke = 0;
    int unshown = 0; // drags no frame showed within 5 s
    for (auto _ : state) {
        const double y = 0.35 + 0.05 * (stroke++ % 6);
        QTest::mousePress(handle, Qt::LeftButton, {}, e.onPhoto(0.2, y));
        e.waitForFrame();
        const OverlayDrags drags =
            pacedDrag([&] { return e.counter.frames; },
                      [&](double t) {
                          QTest::mouseMove(handle, e.onPhoto(0.2 + 0.6 * t, y + 0.03 * std::sin(t * 12)));
                      },
                      [&] { QTest::mouseRelease(handle, Qt::LeftButton, {}, e.onPhoto(0.8, y)); }, &zoom);
        drags.addTo(latencies, unshown);
        handling.insert(handling.end(), drags.handling.begin(), drags.handling.end());
        framing.insert(framing.end(), drags.framing.begin(), drags.framing.end());
        e.storeStroke(state);
    }
    report(state, "drag_to_frame", latencies);
    report(state, "drag_event", handling);
    report(state, "frame_turn", framing);
    // A raster window has no signal for its buffer reaching the screen: the figure stops where the
    // canvas's paint ends, before the window system shows it.
    state.SetLabel("to the end of the canvas paint; the screen flip is not included");
    state.counters["events"] = double(latencies.size());
    // The brush size the window hands the renderer (canvas points, as the renderer bench's 40): a
    // step's cost follows it.
    const double size = panel->brush().size;
    state.counters["brush_px"] = size * size * e.controller.drawingArea().size.width * 0.6 + 1;
    state.counters["dropped"] = zoom.droppedPoints();
    state.counters["unshown"] = unshown;
}

void BM_DragToFrameBasicBrush(benchmark::State& state)
{
    dragToFrame(state, GMSettingsController::BrushKind::Brush);
}
BENCHMARK(BM_DragToFrameBasicBrush)
    ->Args({Width, Height})
    ->ArgNames({"width", "height"})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_DragToFrameSmartBrush(benchmark::State& state)
{
    dragToFrame(state, GMSettingsController::BrushKind::SmartBrush);
}
BENCHMARK(BM_DragToFrameSmartBrush)
    ->Args({Width, Height})
    ->Args({12000, 9000})
    ->ArgNames({"width", "height"})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_EffectToLivePicture(benchmark::State& state)
{
    Editor& e = editor();
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        e.addEffect();
        e.waitUntilLive();
        samples.push_back(milliseconds(Clock::now() - start));
        state.PauseTiming();
        auto chain = e.controller.toolChain();
        chain->removePhotoToolAtIndex(chain->numberOfTools() - 1);
        e.waitUntilLive();
        state.ResumeTiming();
    }
    report(state, "effect_to_live", samples);
    state.SetLabel("to the end of the canvas paint; the screen flip is not included");
}
BENCHMARK(BM_EffectToLivePicture)->Iterations(5)->Unit(benchmark::kMillisecond);

// Counts the frames of the loupe's overlay.
class OverlayFrames : public QObject
{
public:
    int frames = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++frames;
        return false;
    }
};

// Widget coordinates of the window for a point of its content (y-up).
QPoint inWindow(const GMWindowController& controller, Point p)
{
    return QPoint(int(std::lround(p.x)), int(std::lround(controller.window()->height() - p.y)));
}

// The loupe carried from wherever it is onto the photo's point (x, y) and let go; until it is live.
void placeLoupe(Editor& e, double x, double y)
{
    OVLoupeView* loupe = e.controller.loupe();
    QWindow* handle = e.controller.window()->windowHandle();
    const Rect f = loupe->frame();
    const Point grip(f.midX() - 0.85 * f.width() / 2, f.midY());
    const Rect photo = e.controller.activeRectForLoupe(loupe);
    const Point to(photo.minX() + x * photo.width(), photo.minY() + y * photo.height());
    const Point end(grip.x + to.x - f.midX(), grip.y + to.y - f.midY());
    QTest::mousePress(handle, Qt::LeftButton, {}, inWindow(e.controller, grip));
    for (int i = 1; i <= 10; ++i)
        QTest::mouseMove(handle, inWindow(e.controller, Point(grip.x + (end.x - grip.x) * i / 10,
                                                              grip.y + (end.y - grip.y) * i / 10)));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, inWindow(e.controller, end));
    const auto begin = Clock::now();
    while (loupe->loupeState() != 5 && Clock::now() - begin < std::chrono::seconds(20))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Sends 120 drag events at 120 per second along `path` (t from 0 to 1, in the window's content) with
// the button held from `down`; the latency of each to the end of the first overlay frame that shows it.
// With a renderer (a stroke in the glass), the step of a drag is drawn by the next frame once the
// renderer took it; a drag it dropped as surplus is shown with the next step it takes (or the
// brush-up). Without one (a carry step), the next frame shows it, as the step only moves layers.
OverlayDrags dragThroughOverlay(Editor& e, OverlayFrames& frames, Point down,
                                const std::function<Point(double)>& path, const GMZoomRenderer* renderer)
{
    QWindow* handle = e.controller.window()->windowHandle();
    QTest::mousePress(handle, Qt::LeftButton, {}, inWindow(e.controller, down));
    return pacedDrag(
        [&] { return frames.frames; },
        [&](double t) { QTest::mouseMove(handle, inWindow(e.controller, path(t))); },
        [&] { QTest::mouseRelease(handle, Qt::LeftButton, {}, inWindow(e.controller, path(1))); }, renderer);
}

void loupeDragToFrame(benchmark::State& state, int step)
{
    Editor& e = editor();
    if (e.controller.toolChain()->numberOfTools() < 2) {
        e.addEffect();
        e.waitUntilLive();
    }
    OVLoupeView* loupe = e.controller.loupe();
    if (loupe->loupeState() != 5)
        placeLoupe(e, 0.45, 0.6);
    loupe->setZoomFactor(step);
    OverlayFrames frames;
    pf::View* overlay = loupe->attachedWindow()->contentView();
    overlay->installEventFilter(&frames);
    const auto renderer = e.controller.editRenderer()->zoomRendererForChannel(QStringLiteral("loupe"));
    // The strokes stored in the layer's mask: a stroke that never ran would time frames showing nothing.
    const auto mask = e.controller.toolChain()->brushPathImageAtIndex(1);
    const size_t storedBefore = mask ? mask->segmentImageNames().size() : 0;
    std::vector<double> latencies;
    int unshown = 0;
    int stroke = 0;
    for (auto _ : state) {
        const Rect f = loupe->frame();
        const double dy = (stroke++ % 5 - 2) * 0.1;
        const auto path = [&](double t) {
            return Point(f.midX() + (t - 0.5) * 0.9 * loupe->glassSize().width,
                         f.midY() + dy * f.height() / 2 + 8 * std::sin(t * 12));
        };
        const OverlayDrags drags = dragThroughOverlay(e, frames, path(0), path, renderer.get());
        drags.addTo(latencies, unshown);
        e.storeStroke(state);
    }
    overlay->removeEventFilter(&frames);
    report(state, "loupe_drag_to_frame", latencies);
    state.SetLabel("to the end of the overlay's paint; the screen flip is not included");
    state.counters["events"] = double(latencies.size());
    state.counters["dropped"] = renderer ? renderer->droppedPoints() : -1;
    state.counters["unshown"] = unshown;
    state.counters["stored"] = mask ? double(mask->segmentImageNames().size() - storedBefore) : -1;
}

void BM_LoupeDragToFrameHalf(benchmark::State& state)
{
    loupeDragToFrame(state, 2);
}
BENCHMARK(BM_LoupeDragToFrameHalf)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_LoupeDragToFrameQuarter(benchmark::State& state)
{
    loupeDragToFrame(state, 3);
}
BENCHMARK(BM_LoupeDragToFrameQuarter)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_LoupeCarryStepToFrame(benchmark::State& state)
{
    Editor& e = editor();
    OVLoupeView* loupe = e.controller.loupe();
    if (loupe->loupeState() != 5)
        placeLoupe(e, 0.45, 0.6);
    OverlayFrames frames;
    pf::View* overlay = loupe->attachedWindow()->contentView();
    overlay->installEventFilter(&frames);
    std::vector<double> latencies;
    int unshown = 0;
    for (auto _ : state) {
        // Picked up by the rim and carried round a circle over the photo.
        const Rect f = loupe->frame();
        const Point grip(f.midX() - 0.85 * f.width() / 2, f.midY());
        const auto path = [&](double t) {
            return Point(grip.x + 120 * std::sin(t * 6.283), grip.y + 80 * (1 - std::cos(t * 6.283)));
        };
        const OverlayDrags carry = dragThroughOverlay(e, frames, grip, path, nullptr);
        carry.addTo(latencies, unshown);
        state.PauseTiming();
        const auto begin = Clock::now();
        while (loupe->loupeState() != 5 && Clock::now() - begin < std::chrono::seconds(20))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.ResumeTiming();
    }
    overlay->removeEventFilter(&frames);
    report(state, "carry_step_to_frame", latencies);
    state.SetLabel("to the end of the overlay's paint; the screen flip is not included");
    state.counters["events"] = double(latencies.size());
    state.counters["unshown"] = unshown;
}
BENCHMARK(BM_LoupeCarryStepToFrame)->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The software renderer, and a screen only when there is one.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir workingArea;
    pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.path());
    FilterLibrary::registerAll();
    OVIrisMaskBrush::registerClass();
    OVIrisReplacementBrush::registerClass();
    OVHealingBrush::registerClass();
    runBenchmarksAsAsked(argc, argv);
    OVBrushPathImage::waitForPendingWrites();
    return 0;
}
