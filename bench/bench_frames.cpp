// The frame filters on the software device: a textured frame with three shades around a 6000 x 4000
// picture, rendered whole the first time (mask, texture and shades made and drawn), again from the same
// filter (its mask, shadow and frame kept), and again after a change of a hue rotation chained before
// it (new pixels of the same size, worked out by that effect, the chain's end rendered whole, and that
// effect's own pixels alone); three system frames (walnut, the deckled paper, the walnut oval) around the
// same picture, first render and cached re-render; one step of a
// shade's intensity drag in the frame builder over a 1024 x 683 picture, to the preview's pixels; and a
// 40-pixel shaped border around a 2000 x 2000 disc; and the effects window's own chain (Rotate Color, then
// Textured Frame) around a 6000 x 4000 picture for every system frame: its first render, and a change of
// the hue with the frame's share of the re-render. Each figure is the median of five runs (the counters
// "ms", "cpu_s" and "frame_share_cpu_ms", which `make bench-report` reads), printed with the load
// average, since other work shares the machine.

#include "Classes/Frames/OVEffect.h"
#include "Classes/Frames/OVEffectSuccessor.h"
#include "Classes/Frames/OVEffectsCatalog.h"
#include "Classes/Frames/OVFrameBuilder.h"
#include "Classes/Frames/OVFrameCatalog.h"
#include "Classes/Frames/OVShapedBorderFilter.h"
#include "Classes/Frames/OVTexturedFrameFilter.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/RenderContext.h"
#include "bench/BenchRun.h"
#include "bench/BenchStatistics.h"
#include "bench/FramesBenchSetup.h"

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace pf;

namespace {

using bench::loadAverage;
using bench::median;

std::map<std::string, std::vector<double>> samples;

Image picture(int width, int height, bool disc)
{
    Bitmap bitmap(width, height, Bitmap::Format::RGBA8);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.mutableRow(y);
        for (int x = 0; x < width; ++x) {
            const double d = std::hypot(x + 0.5 - width / 2.0, y + 0.5 - height / 2.0);
            const double a = disc ? std::clamp(width * 0.4 - d, 0.0, 1.0) : 1.0;
            row[x * 4 + 0] = uint8_t(std::lround((0.3 + 0.5 * x / width) * a * 255));
            row[x * 4 + 1] = uint8_t(std::lround((0.25 + 0.4 * y / height) * a * 255));
            row[x * 4 + 2] = uint8_t(std::lround(0.5 * a * 255));
            row[x * 4 + 3] = uint8_t(std::lround(a * 255));
        }
    }
    return Image::fromBitmap(bitmap);
}

OVFrameDescriptionPtr threeShadeFrame()
{
    const QVariantList shades{
        QVariantMap{{"Shade", "FRM-S#001#"}, {"BlendMode", "multiply"}, {"Intensity", 0.8}},
        QVariantMap{{"Shade", "FRM-S#002#"}, {"BlendMode", "negativeMultiply"}, {"Intensity", 0.6}},
        QVariantMap{{"Shade", "FRM-S#003#"}, {"BlendMode", "sourceOver"}, {"Intensity", 0.9}}};
    return std::make_shared<OVFrameDescription>(
        QVariantMap{{"Texture", "ORV-T#011#Wood-Walnut"}, {"TextureFillMode", 1}, {"Shades", shades}},
        OVFrameCatalog::framesBundlePath(), false);
}

// The processor time of every thread of this process, in milliseconds: beside the wall time it shows
// the work a figure stands for whatever else the machine is doing.
double processorMilliseconds()
{
    return bench::processCpuSeconds() * 1e3;
}

struct Start
{
    std::chrono::steady_clock::time_point wall;
    double processor;
};

Start now()
{
    return {std::chrono::steady_clock::now(), processorMilliseconds()};
}

std::map<std::string, std::vector<double>> processorSamples;

void record(benchmark::State& state, const std::string& name, const Start& start)
{
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start.wall).count();
    const double processor = processorMilliseconds() - start.processor;
    samples[name].push_back(ms);
    processorSamples[name].push_back(processor);
    state.counters["ms"] = ms;
    state.counters["cpu_ms"] = processor;
    state.counters["load1"] = loadAverage();
}

bool renderWhole(const Image& image, const Rect& rect)
{
    return RenderContext::shared()
        ->render(image, rect, Bitmap::Format::RGBA8, RenderContext::Reuse::Discard)
        .has_value();
}

std::unique_ptr<OVTexturedFrameFilter> frameFilter(const Image& input, const OVFrameDescriptionPtr& frame)
{
    auto filter = std::make_unique<OVTexturedFrameFilter>();
    filter->setDefaults();
    filter->setUpdateDelay(-1);
    filter->setValue(QVariant::fromValue(input), QStringLiteral("inputImage"));
    filter->setFrameDescription(frame);
    filter->setValue(0.08, QStringLiteral("inputWidth"));
    filter->setValue(0.02, QStringLiteral("inputShadowWidth"));
    filter->setValue(double(input.extent().width()), QStringLiteral("canvasProportion"));
    return filter;
}

// The frame of three shades around `input`, rendered once so that what it caches is made.
std::unique_ptr<OVTexturedFrameFilter> renderedFrameFilter(const Image& input)
{
    auto filter = frameFilter(input, threeShadeFrame());
    renderWhole(filter->outputImage(), filter->cachedMask().extent());
    return filter;
}

// A border `width` of the canvas wide around the shape.
std::unique_ptr<OVShapedBorderFilter> shapedBorder(const Image& shape, double width, double canvasProportion)
{
    auto filter = std::make_unique<OVShapedBorderFilter>();
    filter->setDefaults();
    filter->setValue(QVariant::fromValue(shape), QStringLiteral("inputImage"));
    filter->setValue(width, QStringLiteral("inputWidth"));
    filter->setValue(canvasProportion, QStringLiteral("canvasProportion"));
    return filter;
}

// Renders the frame's whole output; false, the benchmark stopped with an error, when it did not render.
bool renderFrame(benchmark::State& state, OVTexturedFrameFilter& filter)
{
    if (renderWhole(filter.outputImage(), filter.cachedMask().extent()))
        return true;
    state.SkipWithError("the frame did not render");
    return false;
}

void BM_FrameFirst(benchmark::State& state)
{
    const Image input = picture(6000, 4000, false);
    for (auto _ : state) {
        const OVFrameDescriptionPtr frame = threeShadeFrame();
        const Start start = now();
        auto filter = frameFilter(input, frame);
        const Image output = filter->outputImage();
        if (!renderWhole(output, filter->cachedMask().extent())) {
            state.SkipWithError("the frame did not render");
            return;
        }
        record(state, "frame, first render", start);
    }
}
BENCHMARK(BM_FrameFirst)->Apply(fiveSingleRuns);

void BM_FrameCached(benchmark::State& state)
{
    const Image input = picture(6000, 4000, false);
    auto filter = renderedFrameFilter(input);
    for (auto _ : state) {
        const Start start = now();
        if (!renderFrame(state, *filter))
            return;
        record(state, "frame, cached re-render", start);
    }
}
BENCHMARK(BM_FrameCached)->Apply(fiveSingleRuns);

// The chain's end: keeps what arrives, as the effects window is handed it.
struct Sink : OVEffectSuccessor
{
    void setInputImage(const Image& image) override { last = image; }
    void setGlobalSettings(const QVariantMap&) override {}
    void removeImageInput() override { last = Image(); }
    void addResourcesToArray(QStringList&) override {}
    Image last;
};

// A hue rotation before the frame of three shades, as effects chained in the effects window: each step
// turns the hue for real (so the frame's input is new pixels, worked out by the effect before it) and
// renders the chain's end whole.
void BM_FrameNewPicture(benchmark::State& state)
{
    const Image input = picture(6000, 4000, false);
    std::unique_ptr<OVEffect> rotate =
        OVEffectsCatalog::sharedEffectsCatalog().effectForDisplayName(QStringLiteral("Rotate Color"));
    if (!rotate) {
        state.SkipWithError("no hue rotation effect");
        return;
    }
    auto frame = frameFilter(input, threeShadeFrame());
    // The frame is the chain's second effect: it hears of every output of the first.
    struct FrameStage : OVEffectSuccessor
    {
        OVTexturedFrameFilter* filter = nullptr;
        Sink* sink = nullptr;
        void setInputImage(const Image& image) override
        {
            filter->setValue(QVariant::fromValue(image), QStringLiteral("inputImage"));
            sink->setInputImage(filter->outputImage());
        }
        void setGlobalSettings(const QVariantMap&) override {}
        void removeImageInput() override {}
        void addResourcesToArray(QStringList&) override {}
    };
    Sink sink;
    FrameStage stage;
    stage.filter = frame.get();
    stage.sink = &sink;
    rotate->setSuccessor(&stage);
    rotate->setInputImage(input);
    rotate->settingsView();
    // The first change keeps the effect's input as float pixels, and the frame's mask and pixels are made.
    static double angle = 0.1;
    rotate->setValue(QStringLiteral("inputAngle"), angle);
    if (!renderWhole(sink.last, frame->cachedMask().extent())) {
        state.SkipWithError("the chain did not render");
        return;
    }
    for (auto _ : state) {
        angle += 0.05;
        const Start start = now();
        rotate->setValue(QStringLiteral("inputAngle"), angle);
        if (!renderWhole(sink.last, frame->cachedMask().extent())) {
            state.SkipWithError("the chain did not render");
            return;
        }
        record(state, "frame, new picture", start);
        // What any render after such a change pays: the hue rotation's own pixels, the frame left out.
        const Start alone = now();
        if (!renderWhole(rotate->outputImage(), input.extent())) {
            state.SkipWithError("the hue rotation did not render");
            return;
        }
        record(state, "hue rotation alone", alone);
    }
    rotate->setSuccessor(nullptr);
}
BENCHMARK(BM_FrameNewPicture)->Apply(fiveSingleRuns);

// System frames by name around the 6000 x 4000 picture: first render and cached re-render. The deckled
// paper worked out its whole rectangle (no opening found where a side's middle is laid a part-copy
// last); the oval cuts its opening by a kernel.
void systemFrame(benchmark::State& state, const char* name, const std::string& label)
{
    const Image input = picture(6000, 4000, false);
    for (auto _ : state) {
        const OVFrameDescriptionPtr frame =
            OVFrameCatalog::sharedFrameCatalog().frameWithName(QString::fromUtf8(name));
        if (!frame) {
            state.SkipWithError("no such frame");
            return;
        }
        const Start start = now();
        auto filter = frameFilter(input, frame);
        if (!renderFrame(state, *filter))
            return;
        record(state, label + ", first render", start);
        const Start again = now();
        if (!renderFrame(state, *filter))
            return;
        record(state, label + ", cached re-render", again);
    }
}
void BM_FrameWalnut(benchmark::State& state)
{
    systemFrame(state, "Wood - Walnut", "walnut");
}
void BM_FrameDeckle(benchmark::State& state)
{
    systemFrame(state, "Paper - Watercolour Deckle", "deckle");
}
void BM_FrameWalnutOval(benchmark::State& state)
{
    systemFrame(state, "Wood - Walnut Oval", "walnut oval");
}
BENCHMARK(BM_FrameWalnut)->Apply(fiveSingleRuns);
BENCHMARK(BM_FrameDeckle)->Apply(fiveSingleRuns);
BENCHMARK(BM_FrameWalnutOval)->Apply(fiveSingleRuns);

// The effects window's own chain around a 6000 x 4000 picture: "Rotate Color" handing its output to
// "Textured Frame" (its width and shadow as the effect has them), whose output goes to the window.
// The frames are the system catalog's, by their number ("FRM-F#005" is 5).
struct WindowChain
{
    std::unique_ptr<OVEffect> rotate;
    std::unique_ptr<OVEffect> frame;
    Sink sink;
    double angle = 0.1;
};

QString frameID(int number)
{
    return QStringLiteral("FRM-F#%1").arg(number, 3, 10, QLatin1Char('0'));
}

std::unique_ptr<WindowChain> windowChain(int frameNumber)
{
    const OVFrameDescriptionPtr described =
        OVFrameCatalog::sharedFrameCatalog().frameWithName(frameID(frameNumber));
    if (!described)
        return nullptr;
    auto chain = std::make_unique<WindowChain>();
    OVEffectsCatalog& catalog = OVEffectsCatalog::sharedEffectsCatalog();
    chain->rotate = catalog.effectForDisplayName(QStringLiteral("Rotate Color"));
    chain->frame = catalog.effectForDisplayName(QStringLiteral("Textured Frame"));
    if (!chain->rotate || !chain->frame)
        return nullptr;
    chain->frame->setSettings({{QStringLiteral("inputFrameName"), frameID(frameNumber)}});
    chain->rotate->setSuccessor(chain->frame.get());
    chain->frame->setSuccessor(&chain->sink);
    // As in the window: every effect shows its settings, and a change goes through them.
    chain->rotate->settingsView();
    chain->frame->settingsView();
    return chain;
}

bool renderSink(const Sink& sink)
{
    return !sink.last.isNull() && renderWhole(sink.last, sink.last.extent());
}

// The chain made and rendered the first time: the rotation's pixels, the frame's mask, texture,
// shades and shadow all worked out.
void BM_WindowChainFirst(benchmark::State& state)
{
    const Image input = picture(6000, 4000, false);
    const int number = int(state.range(0));
    for (auto _ : state) {
        auto chain = windowChain(number);
        if (!chain) {
            state.SkipWithError("no such frame or effect");
            return;
        }
        const Start start = now();
        chain->rotate->setInputImage(input);
        if (!renderSink(chain->sink)) {
            state.SkipWithError("the chain did not render");
            return;
        }
        record(state, "chain first " + std::to_string(number), start);
        state.counters["cpu_s"] = processorSamples["chain first " + std::to_string(number)].back() / 1e3;
        chain->rotate->setSuccessor(nullptr);
    }
}
BENCHMARK(BM_WindowChainFirst)->DenseRange(1, 12)->Apply(fiveSingleRuns);

// A change of the hue before the frame, as a drag of its slider makes it, and the chain's end rendered
// whole; then the rotation's own pixels alone. The frame's share is the difference.
void BM_WindowChainChange(benchmark::State& state)
{
    const int number = int(state.range(0));
    // Made once for the repetitions: they measure the change, not the first render.
    static std::map<int, std::unique_ptr<WindowChain>> chains;
    std::unique_ptr<WindowChain>& chain = chains[number];
    if (!chain) {
        chain = windowChain(number);
        if (!chain) {
            state.SkipWithError("no such frame or effect");
            return;
        }
        chain->rotate->setInputImage(picture(6000, 4000, false));
        // The first change keeps the rotation's input as float pixels; the frame's are made.
        chain->rotate->setValue(QStringLiteral("inputAngle"), chain->angle);
        if (!renderSink(chain->sink)) {
            state.SkipWithError("the chain did not render");
            return;
        }
    }
    const std::string name = std::to_string(number);
    for (auto _ : state) {
        chain->angle += 0.05;
        const Start start = now();
        chain->rotate->setValue(QStringLiteral("inputAngle"), chain->angle);
        if (!renderSink(chain->sink)) {
            state.SkipWithError("the chain did not render");
            return;
        }
        record(state, "chain change " + name, start);
        const double whole = processorSamples["chain change " + name].back();
        const Start alone = now();
        const Image rotated = chain->rotate->outputImage();
        if (!renderWhole(rotated, rotated.extent())) {
            state.SkipWithError("the hue rotation did not render");
            return;
        }
        record(state, "chain rotation " + name, alone);
        const double share = whole - processorSamples["chain rotation " + name].back();
        samples["frame share " + name].push_back(share);
        processorSamples["frame share " + name].push_back(share);
        state.counters["ms"] = samples["chain change " + name].back();
        state.counters["cpu_ms"] = whole;
        state.counters["rotation_cpu_ms"] = processorSamples["chain rotation " + name].back();
        state.counters["frame_share_cpu_ms"] = share;
    }
}
BENCHMARK(BM_WindowChainChange)->DenseRange(1, 12)->Apply(fiveSingleRuns);

// The builder over a 1024 x 683 picture, showing a user's copy of a system frame with five shades.
OVFrameBuilder& builderWithFrame()
{
    static OVFrameBuilder* builder = [] {
        OVFrameBuilder& b = OVFrameBuilder::sharedFrameBuilder();
        b.setPreviewPicture(picture(1024, 683, false));
        const int row = b.numberOfRows();
        for (int r = 0; r < row; ++r)
            if (b.objectValueForRow(r) == QLatin1String("Wood - Light Oak"))
                b.selectRow(r);
        b.tableViewSelectionDidChange();
        b.duplicateFrame();
        return &b;
    }();
    return *builder;
}

void BM_BuilderIntensityStep(benchmark::State& state)
{
    OVFrameBuilder& builder = builderWithFrame();
    if (builder.shadesStack().empty() || !builder.currentDescription()->isEditable()) {
        state.SkipWithError("the builder shows no editable frame with shades");
        return;
    }
    static int step = 0;
    for (auto _ : state) {
        OVSlider* slider = builder.shadesStack()[0].intensity;
        slider->setDoubleValue(0.3 + 0.05 * (++step % 10));
        const Start start = now();
        builder.adjustIntensity(0);
        record(state, "builder intensity step", start);
    }
}
BENCHMARK(BM_BuilderIntensityStep)->Apply(fiveSingleRuns);

void BM_ShapedBorder(benchmark::State& state)
{
    const Image disc = picture(2000, 2000, true);
    for (auto _ : state) {
        const Start start = now();
        auto filter = shapedBorder(disc, 0.02, 2000.0); // 40 pixels
        filter->setValue(QStringLiteral("ORV-T#013#Wood-Weathered-Barn"), QStringLiteral("inputTextureName"));
        if (!renderWhole(filter->outputImage(), Rect(-40, -40, 2080, 2080))) {
            state.SkipWithError("the border did not render");
            return;
        }
        record(state, "shaped border, 40 px", start);
    }
}
BENCHMARK(BM_ShapedBorder)->Apply(fiveSingleRuns);

} // namespace

int main(int argc, char** argv)
{
    const bench::FramesBenchApplication application(argc, argv);
    // A small frame and border first, so that no figure includes compiling the engine's programs.
    {
        renderedFrameFilter(picture(64, 64, false));
        renderWhole(shapedBorder(picture(64, 64, true), 0.5, 64.0)->outputImage(), Rect(-40, -40, 144, 144));
        // The builder's first render.
        builderWithFrame();
    }
    runBenchmarksAsAsked(argc, argv);

    std::printf("\nMedians of five (load average %.2f); processor time of all threads beside:\n",
                loadAverage());
    const std::pair<const char*, const char*> rows[] = {
        {"frame, first render", "frame with three shades, 6000 x 4000, first render (target 1500)"},
        {"frame, cached re-render", "the same, cached re-render"},
        {"frame, new picture", "the same, after a change of an effect before it (target 150)"},
        {"hue rotation alone", "  of which the changed effect's own pixels, 6000 x 4000, at least"},
        {"walnut, first render", "\"Wood - Walnut\", 6000 x 4000, first render"},
        {"walnut, cached re-render", "  cached re-render"},
        {"deckle, first render", "\"Paper - Watercolour Deckle\", first render"},
        {"deckle, cached re-render", "  cached re-render"},
        {"walnut oval, first render", "\"Wood - Walnut Oval\", first render"},
        {"walnut oval, cached re-render", "  cached re-render"},
        {"builder intensity step", "one step of a shade's intensity drag, 1024 x 683 (target 100)"},
        {"shaped border, 40 px", "shaped border 40 px around a 2000 x 2000 disc (target 400)"},
    };
    for (const auto& [key, text] : rows)
        std::printf("  %-72s %9.1f ms  (%.0f ms processor)\n", text, median(samples[key]),
                    median(processorSamples[key]));
    // The effects window's chain, frame by frame: what the frame costs of a re-render after the hue
    // before it changed (processor time; target 300 ms), and the chain's first render.
    bool heading = false;
    for (int number = 1; number <= 12; ++number) {
        const std::string n = std::to_string(number);
        if (samples["chain first " + n].empty() && samples["frame share " + n].empty())
            continue;
        if (!heading)
            std::printf("\n  window chain, Rotate Color then Textured Frame, 6000 x 4000 (processor ms):\n"
                        "  %-34s %12s %12s %12s %12s\n",
                        "frame", "first", "change", "rotation", "frame share");
        heading = true;
        const OVFrameDescriptionPtr frame =
            OVFrameCatalog::sharedFrameCatalog().frameWithName(frameID(number));
        std::printf(
            "  %-34s %12.0f %12.0f %12.0f %12.0f\n",
            frame ? qPrintable(frame->name()) : qPrintable(frameID(number)),
            median(processorSamples["chain first " + n]), median(processorSamples["chain change " + n]),
            median(processorSamples["chain rotation " + n]), median(processorSamples["frame share " + n]));
    }
    return 0;
}
