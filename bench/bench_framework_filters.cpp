// Times the framework's filters on photo-sized work: the artistic extend at two canvas sizes, and one
// pass of the gradient map, keep colour, sRGB conversion and reflection beside a plain loop over the
// same pixels (the floor any per-pixel pass is measured against). Reports only; nothing here asserts a
// speed.

#include "Classes/Filters/FilterLibrary.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"
#include "bench/BenchRun.h"
#include "bench/PhotoBenchSupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QVariantMap>
#include <algorithm>
#include <thread>
#include <vector>

using namespace pf;

namespace {

RenderContext& context()
{
    static RenderContext context(QStringLiteral("framework filter benchmarks"));
    return context;
}

Image filtered(const QString& name, const QVariantMap& inputs)
{
    FilterLibrary::registerAll();
    FilterPtr filter = Filter::create(name);
    filter->setDefaults();
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        filter->setValue(*it, it.key());
    return filter->outputImage();
}

// Renders the whole output into a buffer made once; the first render uploads and compiles.
void renderRepeatedly(benchmark::State& state, const Image& image, Bitmap::Format format)
{
    const Rect extent = image.extent();
    Bitmap out(int(extent.width()), int(extent.height()), format);
    context().render(image, extent, out);
    for (auto _ : state) {
        context().render(image, extent, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(extent.width()) * int64_t(extent.height()));
}

// A gain over every pixel of the float photograph, on all cores, into a buffer made once.
void BM_FrameworkPlainLoopGain(benchmark::State& state)
{
    bench::plainLoopGain(state, bench::floatNoisePhoto(), std::max(1u, std::thread::hardware_concurrency()));
}
BENCHMARK(BM_FrameworkPlainLoopGain)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OnePass(benchmark::State& state, const char* name, QVariantMap inputs)
{
    inputs.insert(QStringLiteral("inputImage"),
                  QVariant::fromValue(Image::fromBitmap(bench::floatNoisePhoto())));
    renderRepeatedly(state, filtered(QString::fromLatin1(name), inputs), Bitmap::Format::RGBAf);
}
BENCHMARK_CAPTURE(BM_OnePass, GradientMap, "OVGradientMapFilter",
                  {{"inputColor", QVariant::fromValue(Color(0.3, 0.5, 0.8, 1))}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_OnePass, KeepColor, "OVKeepColorFilter", {})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_OnePass, SRGBToLinear, "OVSRGBConversionFilter", {{"toRGB", true}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// The output is the photograph and its reflection: half as many pixels again at the default height.
BENCHMARK_CAPTURE(BM_OnePass, Reflection, "OVReflectionFilter", {})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The artistic extend of a canvas around a photograph two thirds its size, both 8-bit, into an 8-bit
// result the size of the canvas. Arguments: canvas width and height, photograph width and height. Each
// iteration builds the recipe anew, as applying the effect does: what a recipe computes once and keeps
// (its reductions on the CPU) is counted every time; the two bitmaps stay uploaded, as a photo does.
void BM_ArtisticExtend(benchmark::State& state)
{
    const Image canvas =
        Image::fromBitmap(bench::noise(int(state.range(0)), int(state.range(1)), Bitmap::Format::RGBA8, 2));
    const Image photo =
        Image::fromBitmap(bench::noise(int(state.range(2)), int(state.range(3)), Bitmap::Format::RGBA8, 3));
    auto extended = [&] {
        return filtered(QStringLiteral("OVArtisticExtend"),
                        {{"inputImage", QVariant::fromValue(photo)},
                         {"inputBackgroundImage", QVariant::fromValue(canvas)}});
    };
    const Rect extent = extended().extent();
    Bitmap out(int(extent.width()), int(extent.height()), Bitmap::Format::RGBA8);
    context().render(extended(), extent, out); // compiles the programs
    for (auto _ : state) {
        context().render(extended(), extent, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(extent.width()) * int64_t(extent.height()));
}
BENCHMARK(BM_ArtisticExtend)
    ->Args({6000, 4000, 4000, 2667})
    ->Args({1024, 683, 683, 455})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    return runBenchmarksAsAsked(argc, argv);
}
