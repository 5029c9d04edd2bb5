// The scene renderers on the software device: a 1920 x 1080 scene of ten 1024 x 768 sprites over a
// background, in perspective (conversions to and from linear light, texture uploads, the passes and the
// read-back included) and flat (composed and rendered). The perspective scene is timed twice, with
// soft-edged sprites and with the same sprites fully opaque, which need no translucent passes: the
// difference is what those passes cost. Each figure is the median of five runs, printed with the load
// average, since other work shares the machine.

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Frames/OV2DRenderer.h"
#include "Classes/Frames/OV3DRenderer.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/RenderContext.h"
#include "bench/BenchRun.h"
#include "bench/BenchStatistics.h"

#include <QCoreApplication>
#include <QFile>
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

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kSprites = 10;

std::map<std::string, std::vector<double>> samples;

// A photo-like sprite: colour gradients with a pattern, its outer band fading out when `band` > 0.
Image spritePicture(int index, double band)
{
    Bitmap bitmap(1024, 768, Bitmap::Format::RGBA8);
    for (int y = 0; y < 768; ++y) {
        uint8_t* row = bitmap.mutableRow(y);
        for (int x = 0; x < 1024; ++x) {
            const double edge = std::min({x + 0.5, 1023.5 - x, y + 0.5, 767.5 - y});
            const double alpha = band > 0 ? std::clamp(edge / band, 0.0, 1.0) : 1.0;
            const double r = 0.3 + 0.6 * x / 1024.0, g = 0.2 + 0.5 * y / 768.0;
            const double b = 0.4 + 0.3 * std::sin((x + y + index * 37) * 0.05);
            row[x * 4 + 0] = uint8_t(std::lround(r * alpha * 255));
            row[x * 4 + 1] = uint8_t(std::lround(g * alpha * 255));
            row[x * 4 + 2] = uint8_t(std::lround(b * alpha * 255));
            row[x * 4 + 3] = uint8_t(std::lround(alpha * 255));
        }
    }
    return Image::fromBitmap(bitmap);
}

Image background()
{
    Bitmap bitmap(kWidth, kHeight, Bitmap::Format::RGBA8);
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = bitmap.mutableRow(y);
        for (int x = 0; x < kWidth; ++x) {
            row[x * 4 + 0] = uint8_t(40 + 120 * y / kHeight);
            row[x * 4 + 1] = uint8_t(60 + 80 * x / kWidth);
            row[x * 4 + 2] = 110;
            row[x * 4 + 3] = 255;
        }
    }
    return Image::fromBitmap(bitmap);
}

// Ten sprites fanned across the scene, overlapping, at different depths and turns. A sprite 1024
// pixels wide is 1024 / 960 half widths.
QList<QVariantMap> sprites(double band)
{
    QList<QVariantMap> result;
    for (int i = 0; i < kSprites; ++i)
        result.append({{"image", QVariant::fromValue(spritePicture(i, band))},
                       {"location.x", -0.8 + 0.16 * i},
                       {"location.y", 0.1 * ((i % 3) - 1)},
                       {"location.z", -0.05 * i},
                       {"size.width", 1024.0 / 960},
                       {"size.height", 768.0 / 960},
                       {"rotation.y", -20.0 + 4 * i},
                       {"rotation.z", 3.0 * ((i % 2) ? 1 : -1)}});
    return result;
}

void record(benchmark::State& state, const std::string& name, std::chrono::steady_clock::time_point start)
{
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    samples[name].push_back(ms);
    state.counters["load1"] = loadAverage();
}

void BM_Scene3D(benchmark::State& state, double band, const char* name)
{
    const Image ground = background();
    const QList<QVariantMap> all = sprites(band);
    RenderContext& context = *RenderContext::shared();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        OV3DRenderer renderer;
        renderer.setDepthFactor(3);
        for (const QVariantMap& sprite : all)
            renderer.addSprite(sprite);
        const Image scene = renderer.imageWithSize(Size(kWidth, kHeight), ground, false);
        auto pixels = context.render(scene, Rect(0, 0, kWidth, kHeight), Bitmap::Format::RGBA8,
                                     RenderContext::Reuse::Discard);
        if (!pixels) {
            state.SkipWithError("the scene did not render");
            return;
        }
        record(state, name, start);
    }
}
BENCHMARK_CAPTURE(BM_Scene3D, soft_edges, 32.0, "3D, soft-edged sprites")->Apply(fiveSingleRuns);
BENCHMARK_CAPTURE(BM_Scene3D, opaque, 0.0, "3D, opaque sprites")->Apply(fiveSingleRuns);

void BM_Scene2D(benchmark::State& state)
{
    const Image ground = background();
    const QList<QVariantMap> all = sprites(32);
    RenderContext& context = *RenderContext::shared();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        OV2DRenderer renderer;
        for (const QVariantMap& sprite : all)
            renderer.addSprite(sprite);
        const Image scene = renderer.imageOfSize(Size(kWidth, kHeight), ground);
        auto pixels = context.render(scene, Rect(0, 0, kWidth, kHeight), Bitmap::Format::RGBA8,
                                     RenderContext::Reuse::Discard);
        if (!pixels) {
            state.SkipWithError("the scene did not render");
            return;
        }
        record(state, "2D, soft-edged sprites", start);
    }
}
BENCHMARK(BM_Scene2D)->Apply(fiveSingleRuns);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    FilterLibrary::registerAll();
    // One small scene of each kind first, so that no figure includes compiling the engine's programs.
    {
        OV3DRenderer renderer;
        renderer.setDepthFactor(3);
        renderer.addSprite(sprites(32).front());
        OV2DRenderer flat;
        flat.addSprite(sprites(32).front());
        RenderContext::shared()->render(renderer.imageWithSize(Size(64, 64), background(), false),
                                        Rect(0, 0, 64, 64));
        RenderContext::shared()->render(flat.imageOfSize(Size(64, 64), background()), Rect(0, 0, 64, 64));
    }
    runBenchmarksAsAsked(argc, argv);

    std::printf("\nMedians of five (load average %.2f):\n", loadAverage());
    const double soft = median(samples["3D, soft-edged sprites"]);
    const double opaque = median(samples["3D, opaque sprites"]);
    std::printf("  3D, soft-edged sprites: %.1f ms (target 500)\n", soft);
    std::printf("  3D, opaque sprites:     %.1f ms\n", opaque);
    std::printf("  translucent passes:     %.1f ms, %.0f%% of the soft-edged scene\n", soft - opaque,
                soft > 0 ? 100 * (soft - opaque) / soft : 0.0);
    std::printf("  2D, soft-edged sprites: %.1f ms (target 80)\n", median(samples["2D, soft-edged sprites"]));
    return 0;
}
