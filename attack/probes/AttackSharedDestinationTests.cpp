// Outside tester's probe of renders into a destination that shares its pixels: random routes, sizes
// (1 x 1, 1 x N, N x 1, across the 2048 tile limit), formats and rectangles; and renders on several
// threads at once into bitmaps copied from one another.

#include "BuiltinTestSupport.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/RenderStatistics.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <thread>

using namespace pf;
using namespace pftest;

namespace {

using F = Bitmap::Format;
using Make = std::function<Image(const Image&)>;

Image behindAKernel(const Image& image)
{
    static const Kernel copy = kernel("kernel vec4 copy(sampler s) { return sample(s, samplerCoord(s)); }");
    ApplyOptions options;
    options.definition = image.definition().extent();
    options.extent = image.extent();
    return copy.apply({QVariant::fromValue(image)}, options);
}

Bitmap noise(int width, int height, F format, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    return makeFloatBitmap(width, height,
                           [&](int, int) {
                               const float a = 0.5f + 0.5f * unit(random);
                               return std::array<float, 4>{unit(random) * a, unit(random) * a,
                                                           unit(random) * a, a};
                           })
        .converted(format);
}

Bitmap scribbled(int width, int height, F format)
{
    Bitmap b(width, height, format, Bitmap::Fill::Uninitialized);
    if (!b.isNull())
        std::memset(b.mutableData(), 0x5a, b.byteCount());
    return b;
}

bool equal(const Bitmap& a, const Bitmap& b)
{
    return a.width() == b.width() && a.height() == b.height() && a.format() == b.format() &&
           std::memcmp(a.data(), b.data(), a.byteCount()) == 0;
}

struct Route
{
    std::string name;
    Make make;
};

std::vector<Route> routes(std::mt19937& random)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double s1 = 0.05 + 0.45 * unit(random), s2 = 0.05 + 0.45 * unit(random);
    const double ls = 0.1 + 1.3 * unit(random), la = 0.3 + 1.5 * unit(random);
    const double radius = 0.5 + 40 * unit(random);
    const int tx = int(random() % 9) - 4, ty = int(random() % 9) - 4;
    const auto lanczos = [ls, la](const Image& input) {
        return filtered("CILanczosScaleTransform",
                        {{"inputImage", var(input)}, {"inputScale", ls}, {"inputAspectRatio", la}});
    };
    return {
        {"same", [](const Image& i) { return i; }},
        {"moved", [tx, ty](const Image& i) { return i.imageByApplyingTransform(AffineTransform::translation(tx, ty)); }},
        {"reduced", [s1, s2](const Image& i) { return i.imageByApplyingTransform(AffineTransform::scale(s1, s2)); }},
        {"lanczos", lanczos},
        {"lanczos behind a kernel", [lanczos](const Image& i) { return lanczos(behindAKernel(i)); }},
        {"median", [](const Image& i) { return filtered("CIMedianFilter", {{"inputImage", var(i)}}); }},
        {"gaussian", [radius](const Image& i) {
             return filtered("CIGaussianBlur", {{"inputImage", var(i)}, {"inputRadius", radius}});
         }},
        {"inverted", [](const Image& i) { return filtered("CIColorInvert", {{"inputImage", var(i)}}); }},
        {"median of lanczos", [lanczos](const Image& i) {
             return filtered("CIMedianFilter", {{"inputImage", var(lanczos(i))}});
         }},
    };
}

} // namespace

// Random routes, sizes, formats and rectangles into a destination that shares its pixels with a kept
// copy or with the source: the same pixels as into a bitmap of its own, the copy and source unchanged.
TEST(AttackShared, RandomRoutesSizesAndFormats)
{
    std::mt19937 random(87);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 37}, {37, 1}, {2, 2}, {3, 700}, {700, 3}, {97, 61},
                                         {255, 257}, {640, 480}, {1, 2049}, {2049, 1}, {2049, 5}, {5, 2049},
                                         {2047, 33}, {33, 2050}, {2100, 2050}, {4097, 3}};
    const F outFormats[] = {F::RGBA8, F::RGBAf, F::Gray8, F::Grayf, F::Gray16};
    const F sourceFormats[] = {F::RGBA8, F::RGBAf};
    int cases = 0, failures = 0;
    const int iterations = qEnvironmentVariableIntValue("ATTACK_ITERATIONS") > 0
                               ? qEnvironmentVariableIntValue("ATTACK_ITERATIONS")
                               : 300;
    for (int it = 0; it < iterations; ++it) {
        const auto [w, h] = sizes[random() % std::size(sizes)];
        const F sf = sourceFormats[random() % 2];
        const F of = random() % 3 == 0 ? sf : outFormats[random() % std::size(outFormats)];
        const std::vector<Route> all = routes(random);
        const Route& route = all[random() % all.size()];
        const CpuKernelRenderer::Use uses[] = {CpuKernelRenderer::Use::OnSoftwareRasterizer,
                                               CpuKernelRenderer::Use::Always, CpuKernelRenderer::Use::Never};
        const int use = int(random() % 3);
        CpuKernelRenderer::setUse(uses[use]);
        const bool cpuFilters = random() % 4 != 0;
        RenderStatistics::setCpuFiltersEnabled(cpuFilters);
        const Bitmap source = noise(w, h, sf, unsigned(it));
        Bitmap untouched(w, h, sf, Bitmap::Fill::Uninitialized);
        std::memcpy(untouched.mutableData(), source.data(), source.byteCount());
        const Image image = route.make(Image::fromBitmap(source));
        if (image.isNull())
            continue;
        Rect rect = image.extent().integral();
        if (rect.isInfinite() || rect.isNull() || rect.isEmpty())
            continue;
        if (rect.contains(Rect(0, 0, w, h)))
            rect = Rect(0, 0, w, h);
        // Sometimes a rectangle partly outside, or an odd part of it.
        if (random() % 3 == 0 && rect.width() > 2 && rect.height() > 2)
            rect = Rect(rect.minX() + double(random() % 3) - 1, rect.minY() + 1, rect.width() - 1,
                        rect.height() - 2);
        if (rect.width() * rect.height() > 5e6)
            continue;
        const auto expected = context().render(image, rect, of);
        if (!expected)
            continue;
        for (int destination = 0; destination < 3; ++destination) {
            if (destination == 2 && (w != int(rect.width()) || h != int(rect.height()) || sf != of))
                continue;
            ++cases;
            Bitmap out = destination == 2 ? source : scribbled(int(rect.width()), int(rect.height()), of);
            const Bitmap kept = destination == 1 ? out : Bitmap();
            static RenderContext tiled(QStringLiteral("attack tiled"));
            const int tileSizes[] = {0, 37, 64, 129};
            const int tile = tileSizes[random() % 4];
            if (tile)
                tiled.setMaximumTileSize(tile);
            RenderContext& used = tile ? tiled : context();
            const bool ok = used.render(image, rect, out);
            const auto same = tile ? used.render(image, rect, of) : expected;
            const bool good = ok && same && equal(out, *same) &&
                              (destination != 1 || equal(kept, scribbled(out.width(), out.height(), of))) &&
                              equal(source, untouched);
            if (!good) {
                ++failures;
                ADD_FAILURE() << route.name << " " << w << "x" << h << " source " << int(sf) << " out "
                              << int(of) << " rect " << rect.minX() << "," << rect.minY() << " "
                              << rect.width() << "x" << rect.height() << " destination " << destination
                              << " ok " << ok << " equal " << (same && equal(out, *same)) << " source kept "
                              << equal(source, untouched) << " use " << use << " cpu filters " << cpuFilters << " tile " << tile;
            }
        }
    }
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
    RenderStatistics::setCpuFiltersEnabled(true);
    std::printf("shared-destination cases: %d, failures %d\n", cases, failures);
}

// Several threads render at once, each into its own copy of one bitmap (all sharing its pixels), while
// another thread reads a further copy and lets it go: every render gets its own pixels, right.
TEST(AttackShared, ConcurrentRendersIntoCopiesOfOneBitmap)
{
    const int w = 517, h = 389;
    const Bitmap source = noise(w, h, F::RGBAf, 5);
    const Image base = Image::fromBitmap(source);
    std::mt19937 random(3);
    const std::vector<Route> all = routes(random);
    std::vector<Image> images;
    std::vector<Bitmap> expected;
    for (const Route& r : all) {
        images.push_back(r.make(base));
        auto e = context().render(images.back(), Rect(0, 0, w, h), F::RGBAf);
        ASSERT_TRUE(e) << r.name;
        expected.push_back(*e);
    }
    int bad = 0;
    const int rounds = qEnvironmentVariableIntValue("ATTACK_ROUNDS") > 0 ? qEnvironmentVariableIntValue("ATTACK_ROUNDS") : 20;
    for (int round = 0; round < rounds; ++round) {
        const Bitmap original = scribbled(w, h, F::RGBAf);
        std::vector<Bitmap> copies(images.size(), original);
        Bitmap dropped = original;
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (size_t i = 0; i < images.size(); ++i)
            threads.emplace_back([&, i] {
                RenderContext own(QStringLiteral("attack"));
                if (!own.render(images[i], Rect(0, 0, w, h), copies[i]) || !equal(copies[i], expected[i]))
                    ++wrong;
            });
        threads.emplace_back([&] {
            size_t sum = 0;
            for (size_t i = 0; i < dropped.byteCount(); ++i)
                sum += dropped.data()[i];
            if (sum != size_t(0x5a) * dropped.byteCount())
                ++wrong;
            dropped = Bitmap();
        });
        for (auto& t : threads)
            t.join();
        bad += wrong.load();
        EXPECT_TRUE(equal(original, scribbled(w, h, F::RGBAf)));
    }
    EXPECT_EQ(bad, 0);
}

// One thread reads its copy of a bitmap and lets it go; another then renders into the bitmap it was
// copied from, having seen (through no lock) that the copy is gone: the write may land in place, on the
// pixels the first thread read.
TEST(AttackShared, RenderAfterAnotherThreadLetsItsCopyGo)
{
    const int w = 64, h = 48;
    const Image image = Image::fromBitmap(noise(w, h, F::RGBAf, 9))
                            .imageByApplyingTransform(AffineTransform::translation(1, 0));
    int inPlace = 0;
    for (int round = 0; round < 50; ++round) {
        Bitmap mine = scribbled(w, h, F::RGBAf);
        Bitmap theirs = mine;
        const void* before = mine.identity();
        std::atomic<bool> gone{false};
        std::thread reader([&] {
            size_t sum = 0;
            for (size_t i = 0; i < theirs.byteCount(); ++i)
                sum += theirs.data()[i];
            EXPECT_EQ(sum, size_t(0x5a) * theirs.byteCount());
            theirs = Bitmap();
            gone.store(true, std::memory_order_relaxed);
        });
        while (!gone.load(std::memory_order_relaxed))
            std::this_thread::yield();
        RenderContext own(QStringLiteral("attack"));
        EXPECT_TRUE(own.render(image, Rect(0, 0, w, h), mine));
        inPlace += mine.identity() == before;
        reader.join();
    }
    std::printf("rendered in place after the other thread let go: %d of 50\n", inPlace);
}
