// Composing a layer stack as the editor does: a 6000 x 4000 photo with five layers of simple test
// effects, at preview size (fitted into 1024 x 1024) and at full size. Reports only.

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVRenderCache.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/RenderContext.h"
#include "TestFilters.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>
#include <sys/resource.h>

using namespace pf;

namespace {

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
    static const Image image = [] {
        Bitmap bitmap(Width, Height, Bitmap::Format::RGBA8);
        std::mt19937 random(3);
        uint8_t* p = bitmap.mutableData();
        for (size_t i = 0; i < bitmap.byteCount(); ++i)
            p[i] = (i % 4 == 3) ? 255 : uint8_t(random());
        return Image::fromBitmap(bitmap);
    }();
    return image;
}

std::shared_ptr<PhotoToolChain> fiveLayers()
{
    auto chain = std::make_shared<PhotoToolChain>(photo());
    for (int i = 0; i < 5; ++i) {
        chain->insertPhotoToolWithBlueprint(
            catalog().effectBlueprintWithName(i % 2 ? "TestGrey" : "TestTint"), std::nullopt, i);
        auto container = std::make_shared<OVContentContainer>();
        const Image black =
            Image::constantColor(Color(0, 0, 0)).imageByCroppingToRect(Rect(0, 0, Width, Height));
        container->imageContainer()->setImage(Image::constantColor(Color(1, 1, 1))
                                                  .imageByCroppingToRect(Rect(i * 1000, 0, 1500, Height))
                                                  .imageByCompositingOverImage(black));
        chain->brushPathImageAtIndex(i + 1)->addContentContainer(container);
    }
    // The masks' snapshots are written in the background; let them finish before timing composition.
    OVBrushPathImage::waitForPendingWrites();
    return chain;
}

// The process's CPU time on all its threads (the renderer's included), in seconds: on a shared, busy
// machine it varies less than the wall time does.
double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void reportPeakMemory(benchmark::State& state)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}

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

// As an explicit save composes: a cache filled once, for the top of the stack only.
void BM_FullSizeCompose(benchmark::State& state)
{
    auto chain = fiveLayers();
    auto context = std::make_shared<RenderContext>();
    const double cpu = processCpuSeconds();
    for (auto _ : state) {
        OVRenderCache cache(chain, chain.get(), context);
        cache.setRetention(OVRenderCache::Retention::RequestedOnly);
        benchmark::DoNotOptimize(cache.composedImageToIndex(5));
    }
    state.counters["cpu_s"] = (processCpuSeconds() - cpu) / double(state.iterations());
    reportPeakMemory(state);
}
BENCHMARK(BM_FullSizeCompose)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A cache at full size that keeps every layer, as one that is filled again and again would.
void BM_FullSizeComposeKeepingEverything(benchmark::State& state)
{
    auto chain = fiveLayers();
    auto context = std::make_shared<RenderContext>();
    const double cpu = processCpuSeconds();
    for (auto _ : state) {
        OVRenderCache cache(chain, chain.get(), context);
        benchmark::DoNotOptimize(cache.composedImageToIndex(5));
    }
    state.counters["cpu_s"] = (processCpuSeconds() - cpu) / double(state.iterations());
    reportPeakMemory(state);
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
