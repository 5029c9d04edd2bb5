// Composing a layer stack as the editor does: a 6000 x 4000 photo with five layers of simple test
// effects, at preview size (fitted into 1024 x 1024) and at full size, with masks made as recipes and with
// masks painted by real strokes. Reports only.

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVRenderCache.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/RenderStatistics.h"
#include "TestFilters.h"
#include "bench/BenchRun.h"
#include "bench/EngineSwitches.h"
#include "bench/PhotoBenchSupport.h"
#include "bench/TestEffectsBenchSetup.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>

using namespace pf;

namespace {

using bench::processCpuSeconds;

constexpr int Width = 6000;
constexpr int Height = 4000;

GMBlueprintCatalog& catalog()
{
    static GMBlueprintCatalog* c = [] {
        auto* catalog = new GMBlueprintCatalog;
        BundleReader::loadAllPluginsInPhotoToolCatalog(
            *catalog, Bundle(QStringLiteral(GLIMORA_TESTS_DATA_DIR "/Blueprints")));
        return catalog;
    }();
    return *c;
}

Image photo()
{
    static const Image image = Image::fromBitmap(bench::byteNoise(Width, Height, 3));
    return image;
}

// `count` layers of the test effects over `photo`, each masked to a full-height band `bandWidth` pixels
// wide, `bandStep` pixels right of the last one's (from the left again after five).
std::shared_ptr<PhotoToolChain> bandedLayers(const Image& photo, int count, double bandStep, double bandWidth)
{
    const Rect extent = photo.extent();
    auto chain = std::make_shared<PhotoToolChain>(photo);
    for (int i = 0; i < count; ++i) {
        chain->insertPhotoToolWithBlueprint(
            catalog().effectBlueprintWithName(i % 2 ? "TestGrey" : "TestTint"), std::nullopt, i);
        auto container = std::make_shared<OVContentContainer>();
        const Image black = Image::constantColor(Color(0, 0, 0)).imageByCroppingToRect(extent);
        container->imageContainer()->setImage(
            Image::constantColor(Color(1, 1, 1))
                .imageByCroppingToRect(Rect(i % 5 * bandStep, 0, bandWidth, extent.height()))
                .imageByCompositingOverImage(black));
        chain->brushPathImageAtIndex(i + 1)->addContentContainer(container);
    }
    // The masks' snapshots are written in the background; let them finish before timing composition.
    OVBrushPathImage::waitForPendingWrites();
    return chain;
}

std::shared_ptr<PhotoToolChain> layers(int count)
{
    return bandedLayers(photo(), count, 1000, 1500);
}

std::shared_ptr<PhotoToolChain> fiveLayers()
{
    return layers(5);
}

// The same stack with masks painted as a person paints them: `strokes` strokes of a 300-pixel brush
// across each layer, each stored in the layer's mask as brush-up stores it.
std::shared_ptr<PhotoToolChain> paintedLayers(int count, int strokes)
{
    auto chain = std::make_shared<PhotoToolChain>(photo());
    OVBrush brush;
    brush.type = OVBrush::Draw;
    brush.size = 300;
    brush.smoothness = 0.5;
    brush.pressure = 0.9;
    for (int i = 0; i < count; ++i) {
        chain->insertPhotoToolWithBlueprint(
            catalog().effectBlueprintWithName(i % 2 ? "TestGrey" : "TestTint"), std::nullopt, i);
        const auto mask = chain->brushPathImageAtIndex(i + 1);
        for (int k = 0; k < strokes; ++k) {
            GMBrushHandler handler;
            handler.setBackgroundImage(photo());
            handler.setStartMaskImage(mask->contentContainer()->imageContainer()->image());
            const double y = (k + 0.5) / strokes, x0 = 0.05 + 0.15 * (i % 5);
            handler.brushDownAtPoint(brush, Point(x0, y), 0);
            std::vector<Point> points;
            for (int j = 0; j <= 40; ++j)
                points.emplace_back(x0 + j * 0.01, y + 0.05 * std::sin(j * 0.3));
            handler.processPoints(points);
            mask->addContentContainerWithRect(handler.brushUp(), Rect(0, 0, 1, 1));
            OVBrushPathImage::waitForPendingWrites();
        }
    }
    return chain;
}

using bench::reportPeakMemory;

void BM_PreviewFromEmptyCaches(benchmark::State& state)
{
    auto chain = fiveLayers();
    auto context = std::make_shared<RenderContext>();
    for (auto _ : state) {
        OVRenderCache cache(chain, chain.get(), context);
        cache.fitOutputSizeInside(Size(1024, 1024));
        benchmark::DoNotOptimize(cache.composedImageToIndex(5));
    }
    reportPeakMemory(state);
}
BENCHMARK(BM_PreviewFromEmptyCaches)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PreviewAfterTopLayerChange(benchmark::State& state)
{
    auto chain = fiveLayers();
    auto context = std::make_shared<RenderContext>();
    OVRenderCache cache(chain, chain.get(), context);
    cache.fitOutputSizeInside(Size(1024, 1024));
    cache.composedImageToIndex(5);
    double intensity = 0.1;
    const double cpu = processCpuSeconds();
    for (auto _ : state) {
        chain->setSettingsForToolAtIndex({{"intensity", intensity}}, 5);
        intensity = intensity > 0.9 ? 0.1 : intensity + 0.1;
        benchmark::DoNotOptimize(cache.composedImageToIndex(5));
    }
    state.counters["cpu_ms"] = (processCpuSeconds() - cpu) * 1e3 / double(state.iterations());
}
BENCHMARK(BM_PreviewAfterTopLayerChange)->Unit(benchmark::kMillisecond)->UseRealTime();

// As an explicit save composes: a cache filled once, for the top of the stack only. "passes" counts the
// kernel passes drawn for the picture (each intermediate once per tile).
// Times composing the whole of `chain` with a new cache each time, keeping only what is asked for unless
// `retention` says otherwise; reports the processor time per picture and the peak memory.
void composeAtFullSize(benchmark::State& state, const std::shared_ptr<PhotoToolChain>& chain, int count,
                       std::optional<OVRenderCache::Retention> retention)
{
    auto context = std::make_shared<RenderContext>();
    const double cpu = processCpuSeconds();
    for (auto _ : state) {
        OVRenderCache cache(chain, chain.get(), context);
        if (retention)
            cache.setRetention(*retention);
        benchmark::DoNotOptimize(cache.composedImageToIndex(count));
    }
    state.counters["cpu_s"] = (processCpuSeconds() - cpu) / double(state.iterations());
    reportPeakMemory(state);
}

void BM_FullSizeCompose(benchmark::State& state)
{
    const int count = int(state.range(0));
    auto chain = layers(count);
    RenderStatistics::resetPasses();
    composeAtFullSize(state, chain, count, OVRenderCache::Retention::RequestedOnly);
    state.counters["passes"] = double(RenderStatistics::passes()) / double(state.iterations());
}
BENCHMARK(BM_FullSizeCompose)
    ->Arg(5)
    ->Arg(20)
    ->ArgNames({"layers"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// As BM_FullSizeCompose, over masks painted with three real strokes each (16-bit pixels, as stored).
void BM_FullSizeComposePainted(benchmark::State& state)
{
    const int count = int(state.range(0));
    composeAtFullSize(state, paintedLayers(count, 3), count, OVRenderCache::Retention::RequestedOnly);
}
BENCHMARK(BM_FullSizeComposePainted)
    ->Arg(5)
    ->ArgNames({"layers"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// What an explicit save of a 108-megapixel photo with one stroke does after the interface has let go,
// in its two parts: the five layers composed at full size into bytes (the render), and those bytes
// encoded as JPEG at 90 % (ours, on every core) beside OpenCV's encoder on the same bytes.
Bitmap& largeSavedPicture()
{
    static Bitmap picture;
    return picture;
}

void BM_Save108MP_Render(benchmark::State& state)
{
    constexpr int W = 12000, H = 9000;
    auto chain = bandedLayers(Image::fromBitmap(bench::byteNoise(W, H, 5, 100, 60)), 5, 2000, 3000);
    auto context = std::make_shared<RenderContext>();
    for (auto _ : state) {
        OVRenderCache cache(chain, chain.get(), context);
        cache.setRetention(OVRenderCache::Retention::RequestedOnly);
        const Image composed = cache.composedImageToIndex(5);
        auto out =
            context->render(composed, Rect(0, 0, W, H), Bitmap::Format::RGBA8, RenderContext::Reuse::Discard);
        if (out)
            largeSavedPicture() = *out;
    }
    reportPeakMemory(state);
}
BENCHMARK(BM_Save108MP_Render)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_Save108MP_EncodeOurs(benchmark::State& state)
{
    if (largeSavedPicture().isNull()) {
        state.SkipWithError("run with BM_Save108MP_Render first");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(ImageFile::encodeJPEG(largeSavedPicture(), 0.9));
}
BENCHMARK(BM_Save108MP_EncodeOurs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Save108MP_EncodeOpenCV(benchmark::State& state)
{
    const Bitmap& picture = largeSavedPicture();
    if (picture.isNull()) {
        state.SkipWithError("run with BM_Save108MP_Render first");
        return;
    }
    cv::Mat rgba(picture.height(), picture.width(), CV_8UC4, const_cast<uint8_t*>(picture.data()),
                 picture.bytesPerRow());
    cv::Mat bgr;
    std::vector<uchar> bytes;
    for (auto _ : state) {
        cv::cvtColor(rgba, bgr, cv::COLOR_RGBA2BGR);
        cv::imencode(".jpg", bgr, bytes, {cv::IMWRITE_JPEG_QUALITY, 90});
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_Save108MP_EncodeOpenCV)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The peer: the same five layers as float loops on eight threads. Each layer washes the stack with its
// colour (or its grey) by its mask and lays the result over the stack, as the test effects do.
void BM_FullSizeCompose_PlainLoops(benchmark::State& state)
{
    const size_t pixels = size_t(Width) * Height;
    std::vector<float> stack(pixels * 4);
    std::vector<uint16_t> masks[5];
    for (int i = 0; i < 5; ++i) {
        masks[i].assign(pixels, 0);
        for (int y = 0; y < Height; ++y)
            for (int x = i * 1000; x < std::min(Width, i * 1000 + 1500); ++x)
                masks[i][size_t(y) * Width + x] = 65535;
    }
    const double cpu = processCpuSeconds();
    for (auto _ : state) {
        bench::inParallel(8, [&](unsigned t) {
            const size_t from = pixels * t / 8, to = pixels * (t + 1) / 8;
            for (size_t p = from; p < to; ++p)
                for (int c = 0; c < 4; ++c)
                    stack[p * 4 + c] = c == 3 ? 1.0f : float((p * 7 + c * 13) % 255) / 255.0f;
            for (int i = 0; i < 5; ++i)
                for (size_t p = from; p < to; ++p) {
                    float* s = &stack[p * 4];
                    const float m = masks[i][p] / 65535.0f;
                    const float grey = 0.3f * s[0] + 0.59f * s[1] + 0.11f * s[2];
                    const float wash[3] = {i % 2 ? grey : 1.0f, i % 2 ? grey : 0.5f, i % 2 ? grey : 0.0f};
                    for (int c = 0; c < 3; ++c) {
                        const float content = s[c] + (wash[c] * s[3] - s[c]) * m;
                        s[c] = s[c] + (content + s[c] * (1.0f - s[3]) - s[c]) * 0.5f;
                    }
                }
        });
        benchmark::DoNotOptimize(stack.data());
    }
    state.counters["cpu_s"] = (processCpuSeconds() - cpu) / double(state.iterations());
    reportPeakMemory(state);
}
BENCHMARK(BM_FullSizeCompose_PlainLoops)->Unit(benchmark::kMillisecond)->UseRealTime();

// A cache at full size that keeps every layer, as one that is filled again and again would.
void BM_FullSizeComposeKeepingEverything(benchmark::State& state)
{
    composeAtFullSize(state, fiveLayers(), 5, std::nullopt);
}
BENCHMARK(BM_FullSizeComposeKeepingEverything)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Adding a stroke to a 6000 x 4000 mask: the main thread's share, and the time until it is on disk.
void BM_StrokeOnFullSizeMask(benchmark::State& state)
{
    OVBrushPathImage path(Size(Width, Height), std::make_shared<OVContentContainer>());
    OVBrushPathImage::waitForPendingWrites();
    int i = 0;
    for (auto _ : state) {
        auto container = std::make_shared<OVContentContainer>();
        container->imageContainer()->setImage(Image::constantColor(Color(1, 1, 1))
                                                  .imageByCroppingToRect(Rect(i++ % 50 * 100, 0, 400, 400))
                                                  .imageByCompositingOverImage(photo()));
        path.addContentContainer(container);
        if (state.range(0))
            OVBrushPathImage::waitForPendingWrites();
    }
    OVBrushPathImage::waitForPendingWrites();
}
BENCHMARK(BM_StrokeOnFullSizeMask)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"untilOnDisk"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bench::applyEngineSwitches();
    return bench::runWithTestEffects(argc, argv);
}
