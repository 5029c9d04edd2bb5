#include "BuiltinTestSupport.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/LanczosScaleTransformFilter.h"
#include "Platform/Image/RenderStatistics.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace pf;
using namespace pftest;

namespace {

// The same pixels, but behind a kernel: recipes over it cannot take the CPU paths, which need a bitmap.
Image behindAKernel(const Image& image)
{
    static const Kernel copy = kernel("kernel vec4 copy(sampler s) { return sample(s, samplerCoord(s)); }");
    ApplyOptions options;
    options.definition = image.definition().extent();
    options.extent = image.extent();
    return copy.apply({QVariant::fromValue(image)}, options);
}

// Noise over smooth gradients, as photos are, opaque.
Bitmap photo(int width, int height, Bitmap::Format format, float noise)
{
    std::mt19937 random(4);
    std::uniform_real_distribution<float> jitter(-noise, noise);
    return makeFloatBitmap(width, height,
                           [&](int x, int y) {
                               const float r = std::clamp(float(x) / width + jitter(random), 0.0f, 1.0f);
                               const float g =
                                   std::clamp(0.5f + 0.4f * std::sin(y * 0.05f) + jitter(random), 0.0f, 1.0f);
                               return std::array<float, 4>{r, g, 0.3f, 1.0f};
                           })
        .converted(format);
}

} // namespace

TEST(CpuPaths, GiveThePassesResultsWithinTheirTolerance)
{
    using Make = std::function<Image(const Image&)>;
    const Make median = [](const Image& input) {
        return filtered("CIMedianFilter", {{"inputImage", var(input)}});
    };
    const Make gaussian = [](const Image& input) {
        return filtered("CIGaussianBlur", {{"inputImage", var(input)}, {"inputRadius", 20.0}});
    };
    const auto reduce = [](double scale) {
        return [scale](const Image& input) {
            return input.imageByApplyingTransform(AffineTransform::scale(scale, scale));
        };
    };
    const auto lanczos = [](double scale, double aspect) {
        return [scale, aspect](const Image& input) {
            return filtered(
                "CILanczosScaleTransform",
                {{"inputImage", var(input)}, {"inputScale", scale}, {"inputAspectRatio", aspect}});
        };
    };
    struct Case
    {
        const char* name;
        Make make;
        Bitmap::Format format;
        float noise;
        float tolerance;
        double inset;  // pixels left out at each edge
        bool computed; // the CPU's pixels can be read by passes (a reduction is only taken when rendered)
    };
    const Case cases[] = {
        // Medians pick one of the same nine values either way.
        {"median, 8-bit", median, Bitmap::Format::RGBA8, 0.3f, 0.0f, 0, true},
        {"median, float", median, Bitmap::Format::RGBAf, 0.3f, 0.0f, 0, true},
        // Both blurs stay within a level of an exact Gaussian.
        {"Gaussian, float", gaussian, Bitmap::Format::RGBAf, 0.3f, 1.0f / 255, 0, true},
        // The pyramid rounds its levels to 8 bits.
        {"Gaussian, 8-bit", gaussian, Bitmap::Format::RGBA8, 0.3f, 2.0f / 255, 0, true},
        // The same taps and weights in the same order.
        {"Lanczos reduction, float", lanczos(0.3, 1.2), Bitmap::Format::RGBAf, 0.3f, 1e-5f, 0, true},
        {"Lanczos enlargement, 8-bit", lanczos(1.4, 0.8), Bitmap::Format::RGBA8, 0.3f, 1.0f / 255, 0, true},
        {"Lanczos reduction, 8-bit", lanczos(0.17, 1.0), Bitmap::Format::RGBA8, 0.3f, 1.0f / 255, 0, true},
        // A quarter: each pixel the mean of four by four, as the second mipmap level holds.
        {"reduction to a quarter", reduce(0.25), Bitmap::Format::RGBA8, 0.3f, 1.0f / 255, 0, false},
        // Elsewhere the mean over each pixel's area against blended levels: alike on photographic
        // detail, and sharper. At the edges a pixel half outside is half transparent either way, but
        // the levels spread it further.
        {"reduction, 8-bit", reduce(0.17), Bitmap::Format::RGBA8, 0.02f, 3.0f / 255, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Image source = Image::fromBitmap(photo(300, 200, c.format, c.noise));
        const Image cpu = c.make(source);
        // Not a bitmap: rendered for the CPU filter where it has one, or passes all the way.
        const Image rendered = c.make(behindAKernel(source));
        RenderStatistics::setCpuFiltersEnabled(false);
        const Image passes = c.make(behindAKernel(source));
        RenderStatistics::setCpuFiltersEnabled(true);
        ASSERT_EQ(cpu.extent(), passes.extent());
        // Beyond the extent (transparent) as well, so that passes read the CPU's pixels as a source.
        const double inset = c.computed ? -3 : c.inset;
        const Rect rect = cpu.extent().integral().insetBy(inset, inset);
        const auto a = context().render(cpu, rect, c.format);
        const auto b = context().render(passes, rect, c.format);
        // Read by a kernel (in parts, as tiles are), the CPU pixels are a source like any other.
        RenderContext tiled(QStringLiteral("tiled"));
        tiled.setMaximumTileSize(64);
        const auto read = tiled.render(behindAKernel(cpu), rect, c.format);
        const auto viaInput = context().render(rendered, rect, c.format);
        ASSERT_TRUE(a && b && read && viaInput);
        EXPECT_LE(largestDifference(*a, *b), c.tolerance + 1e-6f);
        EXPECT_LE(largestDifference(*viaInput, *b), c.tolerance + 1e-6f);
        if (c.computed) {
            EXPECT_LE(largestDifference(*a, *read), c.tolerance + 1e-6f);
        }
    }
    // A median taller than the slices and bands its input is rendered in, in both formats, of a kernel
    // the CPU renders alone (each core renders and filters its own rows) and of one it cannot, whole
    // and in part: the passes' values.
    for (const Bitmap::Format format : {Bitmap::Format::RGBA8, Bitmap::Format::RGBAf}) {
        const Image source = Image::fromBitmap(photo(41, 700, format, 0.3f));
        const Image inverted = filtered("CIColorInvert", {{"inputImage", var(source)}});
        for (const Image& tall : {behindAKernel(source), inverted}) {
            CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Always);
            EXPECT_EQ(CpuKernelRenderer::rendersAlone(tall.node()), tall.node() == inverted.node());
            const Image cpu = median(tall);
            const Rect rect = cpu.extent().insetBy(-2, -2), part(3, 101, 30, 470);
            const auto a = context().render(cpu, rect, format);
            const auto inner = context().render(cpu, part, format);
            CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Never);
            RenderStatistics::setCpuFiltersEnabled(false);
            const Image passes = median(tall);
            const auto b = context().render(passes, rect, format);
            const auto innerPasses = context().render(passes, part, format);
            RenderStatistics::setCpuFiltersEnabled(true);
            CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
            ASSERT_TRUE(a && b && inner && innerPasses);
            EXPECT_EQ(largestDifference(*a, *b), 0.0f);
            EXPECT_EQ(largestDifference(*inner, *innerPasses), 0.0f);
        }
    }
    // A part of the blur computed alone is the same part of the whole.
    const Image blur = gaussian(Image::fromBitmap(photo(300, 200, Bitmap::Format::RGBA8, 0.3f)));
    const auto whole = context().render(blur, blur.extent(), Bitmap::Format::RGBA8);
    const Rect part(37, 21, 150, 90);
    const auto alone = context().render(blur, part, Bitmap::Format::RGBA8);
    ASSERT_TRUE(whole && alone);
    const int left = int(part.minX() - blur.extent().minX()), top = int(blur.extent().maxY() - part.maxY());
    for (int row = 0; row < alone->height(); ++row)
        EXPECT_EQ(0, std::memcmp(alone->row(row), whole->row(top + row) + left * 4, alone->bytesPerRow()))
            << row;
}

// The band pool runs one job at a time. A job of the interface's thread never waits for another
// thread's (a snapshot being encoded): with every worker held, it works its bands alone meanwhile,
// every band once. Other threads still take turns.
// Lanczos on the CPU runs its hottest loops in versions for the processor's wider vectors where it has
// them: the portable code and those give the passes' pixels alike, on odd sizes, in both formats,
// reducing and enlarging. The taps are kept from render to render: parts of the same size at other
// places (a view scrolled) get their own.
TEST(CpuPaths, LanczosWithAndWithoutWideVectorsGivesThePassesPixels)
{
    struct Case
    {
        const char* name;
        int width, height;
        Bitmap::Format format;
        double scale, aspect;
        float tolerance;
    };
    const Case cases[] = {
        {"reduction, 8-bit", 301, 203, Bitmap::Format::RGBA8, 0.17, 1.0, 1.0f / 255},
        {"reduction, float", 257, 131, Bitmap::Format::RGBAf, 0.3, 1.2, 1e-5f},
        {"enlargement, 8-bit", 37, 23, Bitmap::Format::RGBA8, 1.4, 0.8, 1.0f / 255},
        {"enlargement, float", 41, 19, Bitmap::Format::RGBAf, 1.3, 1.1, 1e-5f},
        {"enlarged across, reduced down, float", 97, 33, Bitmap::Format::RGBAf, 0.45, 3.0, 1e-5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Image source = Image::fromBitmap(photo(c.width, c.height, c.format, 0.3f));
        const auto lanczos = [&] {
            return filtered(
                "CILanczosScaleTransform",
                {{"inputImage", var(source)}, {"inputScale", c.scale}, {"inputAspectRatio", c.aspect}});
        };
        RenderStatistics::setCpuFiltersEnabled(false);
        const Image passes = lanczos();
        RenderStatistics::setCpuFiltersEnabled(true);
        // Parts inside the extent are rendered as asked, the whole beyond it from the whole extent.
        const Rect extent = passes.extent().integral();
        const Rect part(extent.minX(), extent.minY(), extent.width() - 3, extent.height() - 2);
        for (const Rect& rect : {extent.insetBy(-2, -2), part, part.offsetBy(3, 2), part.offsetBy(3, 0)}) {
            const auto expected = context().render(passes, rect, c.format);
            ASSERT_TRUE(expected);
            for (const bool wide : {true, false}) {
                SCOPED_TRACE(wide ? "wide vectors" : "portable");
                LanczosScaleTransformFilter::setWideVectorsEnabled(wide);
                const auto cpu = context().render(lanczos(), rect, c.format);
                LanczosScaleTransformFilter::setWideVectorsEnabled(true);
                ASSERT_TRUE(cpu);
                EXPECT_LE(largestDifference(*cpu, *expected), c.tolerance + 1e-6f);
            }
        }
    }
}

// A bitmap rendered into may share its pixels with copies of it (bitmaps copy them only when written):
// the caller's own copy, or the very bitmap the recipe reads. Every route that writes it, most of them
// in bands on all cores, gives it pixels of its own once and leaves the copies as they were; bands that
// each made their own crashed or wrote into pixels nobody kept. Each case runs a few times, since a
// race between bands need not show every time.
TEST(CpuPaths, EveryRouteWritesADestinationThatSharesItsPixels)
{
    using Make = std::function<Image(const Image&)>;
    const Make same = [](const Image& input) { return input; };
    const Make moved = [](const Image& input) {
        return input.imageByApplyingTransform(AffineTransform::translation(3, -2));
    };
    const Make reduced = [](const Image& input) {
        return input.imageByApplyingTransform(AffineTransform::scale(0.3, 0.4));
    };
    const Make lanczos = [](const Image& input) {
        return filtered("CILanczosScaleTransform",
                        {{"inputImage", var(input)}, {"inputScale", 0.45}, {"inputAspectRatio", 1.1}});
    };
    const Make median = [](const Image& input) {
        return filtered("CIMedianFilter", {{"inputImage", var(input)}});
    };
    const Make gaussian = [](const Image& input) {
        return filtered("CIGaussianBlur", {{"inputImage", var(input)}, {"inputRadius", 20.0}});
    };
    const Make inverted = [](const Image& input) {
        return filtered("CIColorInvert", {{"inputImage", var(input)}});
    };
    const auto of = [](const Make& outer, const Make& inner) {
        return [outer, inner](const Image& input) { return outer(inner(input)); };
    };
    using F = Bitmap::Format;
    using Use = CpuKernelRenderer::Use;
    struct Route
    {
        const char* name;
        Make make;
        F source, out;
        Use use = Use::Always;
    };
    const Route routes[] = {
        {"bitmap copy, 8-bit", moved, F::RGBA8, F::RGBA8},
        {"bitmap copy, floats as bytes", moved, F::RGBAf, F::RGBA8},
        {"area reduction, 8-bit", reduced, F::RGBA8, F::RGBA8},
        {"area reduction, float", reduced, F::RGBAf, F::RGBAf},
        {"area reduction of a mask into floats", reduced, F::Gray16, F::RGBAf},
        {"Lanczos of a bitmap, 8-bit", lanczos, F::RGBA8, F::RGBA8},
        {"Lanczos of a bitmap, float", lanczos, F::RGBAf, F::RGBAf},
        {"Lanczos of a rendered input", of(lanczos, behindAKernel), F::RGBAf, F::RGBAf},
        {"median of a bitmap", median, F::RGBA8, F::RGBA8},
        {"median of an input rendered on the CPU", of(median, inverted), F::RGBAf, F::RGBAf},
        {"median of an input rendered in bands", of(median, behindAKernel), F::RGBA8, F::RGBA8},
        {"large Gaussian", gaussian, F::RGBAf, F::RGBAf},
        {"translated kernels, float", inverted, F::RGBAf, F::RGBAf},
        {"translated kernels, 8-bit", inverted, F::RGBA8, F::RGBA8},
        {"passes", inverted, F::RGBA8, F::RGBA8, Use::Never},
    };
    enum class Destination
    {
        Own,
        SharedWithACopy,
        SharedWithTheSource, // the bitmap the recipe reads, where it has the size and format wanted
    };
    const std::pair<Destination, const char*> destinations[] = {
        {Destination::Own, "its own pixels"},
        {Destination::SharedWithACopy, "sharing them with a copy the caller keeps"},
        {Destination::SharedWithTheSource, "sharing them with the bitmap the recipe reads"},
    };
    // Bytes that no route writes everywhere.
    const auto scribbled = [](int width, int height, F format) {
        Bitmap b(width, height, format, Bitmap::Fill::Uninitialized);
        std::memset(b.mutableData(), 0x5a, b.byteCount());
        return b;
    };
    const auto equal = [](const Bitmap& a, const Bitmap& b) {
        return a.width() == b.width() && a.height() == b.height() && a.format() == b.format() &&
               std::memcmp(a.data(), b.data(), a.byteCount()) == 0;
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.name);
        CpuKernelRenderer::setUse(route.use);
        Bitmap source;
        if (route.source == F::Gray16) {
            source = Bitmap(640, 480, F::Gray16, Bitmap::Fill::Uninitialized);
            auto* values = reinterpret_cast<uint16_t*>(source.mutableData());
            for (size_t i = 0; i < size_t(640 * 480); ++i)
                values[i] = uint16_t((i * 2654435761u) >> 16);
        } else {
            source = photo(640, 480, route.source, 0.3f);
        }
        Bitmap untouched(source.width(), source.height(), source.format(), Bitmap::Fill::Uninitialized);
        std::memcpy(untouched.mutableData(), source.data(), source.byteCount());
        const Image image = route.make(Image::fromBitmap(source));
        // The whole result, or the source's part of one that spreads beyond it (a blur).
        Rect rect = image.extent().integral();
        if (rect.contains(Rect(0, 0, 640, 480)))
            rect = Rect(0, 0, 640, 480);
        const auto expected = context().render(image, rect, route.out);
        ASSERT_TRUE(expected);
        for (const auto& [destination, kind] : destinations) {
            SCOPED_TRACE(kind);
            if (destination == Destination::SharedWithTheSource &&
                (source.width() != int(rect.width()) || source.height() != int(rect.height()) ||
                 source.format() != route.out))
                continue;
            for (int run = 0; run < 4; ++run) {
                Bitmap out = destination == Destination::SharedWithTheSource
                                 ? source
                                 : scribbled(int(rect.width()), int(rect.height()), route.out);
                const Bitmap kept = destination == Destination::SharedWithACopy ? out : Bitmap();
                ASSERT_TRUE(context().render(image, rect, out));
                EXPECT_TRUE(equal(out, *expected));
                if (destination == Destination::SharedWithACopy) {
                    EXPECT_NE(out.identity(), kept.identity());
                    EXPECT_TRUE(equal(kept, scribbled(out.width(), out.height(), out.format())));
                }
                // The recipe still reads what it read.
                EXPECT_TRUE(equal(source, untouched));
            }
        }
    }
    CpuKernelRenderer::setUse(Use::OnSoftwareRasterizer);
}

TEST(CpuPaths, TheMainThreadNeverWaitsForAnotherThreadsBands)
{
    ASSERT_TRUE(isMainThread());
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false, release = false;
    std::thread background([&] {
        CpuRendering::inBands(64, [&](int begin, int) {
            if (begin != 0)
                return;
            std::unique_lock lock(mutex);
            held = true;
            changed.notify_all();
            changed.wait(lock, [&] { return release; });
        });
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return held; });
    }
    std::vector<std::atomic<int>> visits(1000);
    CpuRendering::inBands(int(visits.size()), [&](int begin, int end) {
        for (int i = begin; i < end; ++i)
            ++visits[size_t(i)];
    });
    // Still held: the main thread's job finished without the pool.
    {
        std::lock_guard lock(mutex);
        EXPECT_FALSE(release);
        release = true;
    }
    changed.notify_all();
    background.join();
    for (size_t i = 0; i < visits.size(); ++i)
        ASSERT_EQ(visits[i].load(), 1) << i;
}

// While another thread's long job holds the pool (a composition, a snapshot's encoding), the workers
// take the interface thread's bands between two of their own: its render is not left to one core.
TEST(CpuPaths, WorkersTakeTheMainThreadsBandsBeforeAnotherThreadsJob)
{
    ASSERT_TRUE(isMainThread());
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "no worker beside the main thread";
    std::atomic<bool> started{false}, stop{false};
    std::atomic<int> backgroundBands{0};
    // Many short bands, until told to stop: one job that keeps every worker busy the whole time.
    std::thread background([&] {
        CpuRendering::inBands(
            1 << 20,
            [&](int, int) {
                started = true;
                ++backgroundBands;
                if (!stop)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            },
            1 << 16);
    });
    while (!started)
        std::this_thread::yield();

    const std::thread::id main = std::this_thread::get_id();
    std::vector<std::atomic<int>> visits(1000);
    std::atomic<int> elsewhere{0};
    std::mutex mutex;
    std::condition_variable helped;
    bool waited = false;
    CpuRendering::inBands(int(visits.size()), [&](int begin, int end) {
        for (int i = begin; i < end; ++i)
            ++visits[size_t(i)];
        if (std::this_thread::get_id() != main) {
            std::lock_guard lock(mutex);
            ++elsewhere;
            helped.notify_all();
            return;
        }
        // The main thread's first band waits a while for a worker to take one; left alone, it goes on.
        std::unique_lock lock(mutex);
        if (!std::exchange(waited, true))
            helped.wait_for(lock, std::chrono::seconds(5), [&] { return elsewhere > 0; });
    });
    const bool stillRunning = !stop;
    stop = true;
    background.join();

    EXPECT_TRUE(stillRunning);
    EXPECT_GT(elsewhere.load(), 0) << "no worker took a band of the main thread's job";
    for (size_t i = 0; i < visits.size(); ++i)
        ASSERT_EQ(visits[i].load(), 1) << i;
    EXPECT_GT(backgroundBands.load(), 0);
}

// Renders come as many small jobs in a row, from the interface's thread and from a render queue at
// once. Each band must run while its job is live (its caller still inside inBands), every row once: a
// band that outlived its job would read the caller's frame after it had gone.
TEST(CpuPaths, EveryBandRunsWhileItsJobIsLive)
{
    ASSERT_TRUE(isMainThread());
    struct Caller
    {
        std::atomic<uint64_t> live{0};
        std::atomic<int> faults{0};
    };
    auto jobs = [](Caller& caller) {
        for (uint64_t job = 1; job <= 1500; ++job) {
            const int count = 16 + int(job % 40);
            std::atomic<int> rows{0};
            caller.live = job;
            CpuRendering::inBands(
                count,
                [&caller, &rows, job](int begin, int end) {
                    if (caller.live.load() != job)
                        ++caller.faults;
                    rows += end - begin;
                },
                1 + int(job % 3));
            caller.live = 0;
            if (rows.load() != count)
                ++caller.faults;
        }
    };
    Caller interface, queue;
    std::thread background([&] { jobs(queue); });
    jobs(interface);
    background.join();
    EXPECT_EQ(interface.faults.load(), 0);
    EXPECT_EQ(queue.faults.load(), 0);
}

// A job nobody waits for (a stroke being stored) gives the cores up to one somebody waits for, asked
// for from any thread (a zoom composed on the render queue): the latter does not wait for the whole of
// the former, which carries on afterwards, every band once.
TEST(CpuPaths, RendersSomebodyWaitsForGoBeforeWorkInTheBackground)
{
    constexpr int Bands = 2048;
    std::atomic<bool> started{false};
    std::atomic<int> backgroundBands{0};
    std::vector<std::atomic<int>> backgroundVisits(Bands);
    std::thread background([&] {
        const CpuRendering::BackgroundScope scope;
        CpuRendering::inBands(
            Bands,
            [&](int begin, int end) {
                started = true;
                for (int i = begin; i < end; ++i)
                    ++backgroundVisits[size_t(i)];
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                ++backgroundBands;
            },
            Bands);
    });
    while (!started)
        std::this_thread::yield();
    int doneWhenAnswered = 0;
    std::vector<std::atomic<int>> visits(1000);
    std::thread waitedFor([&] {
        CpuRendering::inBands(int(visits.size()), [&](int begin, int end) {
            for (int i = begin; i < end; ++i)
                ++visits[size_t(i)];
        });
        doneWhenAnswered = backgroundBands.load();
    });
    waitedFor.join();
    background.join();
    EXPECT_LT(doneWhenAnswered, Bands) << "the render waited for the whole background job";
    for (size_t i = 0; i < visits.size(); ++i)
        ASSERT_EQ(visits[i].load(), 1) << i;
    for (size_t i = 0; i < backgroundVisits.size(); ++i)
        ASSERT_EQ(backgroundVisits[i].load(), 1) << i;
}

// Nor does it wait for the round of background bands under way when it is asked for: a zoom composed
// right after a stroke is released is not held up by the stroke's snapshot being compressed, however
// long each of its bands takes (here every one of them waits until the zoom is answered).
TEST(CpuPaths, ARenderSomebodyWaitsForDoesNotWaitForABackgroundRound)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool answered = false;
    int started = 0, timedOut = 0;
    std::thread background([&] {
        const CpuRendering::BackgroundScope scope;
        CpuRendering::inBands(
            64,
            [&](int, int) {
                std::unique_lock lock(mutex);
                ++started;
                changed.notify_all();
                if (!changed.wait_for(lock, std::chrono::seconds(5), [&] { return answered; }))
                    ++timedOut;
            },
            1);
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return started > 0; });
    }
    std::vector<std::atomic<int>> visits(200);
    std::thread waitedFor([&] {
        CpuRendering::inBands(int(visits.size()), [&](int begin, int end) {
            for (int i = begin; i < end; ++i)
                ++visits[size_t(i)];
        });
        std::lock_guard lock(mutex);
        answered = true;
        changed.notify_all();
    });
    waitedFor.join();
    background.join();
    EXPECT_EQ(timedOut, 0) << "the render waited for the background bands under way";
    for (size_t i = 0; i < visits.size(); ++i)
        ASSERT_EQ(visits[i].load(), 1) << i;
}

// Pixels computed once for whoever needs them first (a healing fill, for its snapshot and for a view
// that shows the stroke meanwhile) and computed first by work nobody waits for: a render somebody
// waits for that needs them makes that work waited for, so it no longer waits for a gap between the
// renders somebody waits for (here two threads' renders follow one another without end until the
// pixels come).
TEST(CpuPaths, PixelsSomebodyWaitsForAreNoLongerBackgroundWork)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool computing = false, answered = false, gaveUp = false;
    std::atomic<int> bandsRun{0};
    const auto rendering = std::make_shared<const CpuRendering>(
        Rect(0, 0, 4, 4), Bitmap::Format::RGBAf, [&](const Rect&, Bitmap& out) {
            {
                std::lock_guard lock(mutex);
                computing = true;
                changed.notify_all();
            }
            CpuRendering::inBands(
                64, [&](int begin, int end) { bandsRun += end - begin; }, 1);
            std::memset(out.mutableData(), 0, out.byteCount());
            return true;
        });
    // Renders somebody waits for, one after the other on two threads, so that one always waits for the
    // cores: until the pixels come, or for five seconds at most.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::vector<std::thread> busy;
    for (int t = 0; t < 2; ++t)
        busy.emplace_back([&] {
            for (;;) {
                {
                    std::lock_guard lock(mutex);
                    if (answered)
                        return;
                    if (std::chrono::steady_clock::now() > deadline) {
                        gaveUp = true;
                        return;
                    }
                }
                CpuRendering::inBands(
                    32, [](int, int) { std::this_thread::sleep_for(std::chrono::microseconds(200)); }, 1);
            }
        });
    std::thread store([&] {
        const CpuRendering::BackgroundScope scope;
        rendering->whole();
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return computing; });
    }
    std::thread view([&] {
        const bool ok = !rendering->whole().isNull();
        std::lock_guard lock(mutex);
        answered = ok;
    });
    view.join();
    store.join();
    for (std::thread& thread : busy)
        thread.join();
    EXPECT_TRUE(answered);
    EXPECT_FALSE(gaveUp) << "the pixels waited for a gap between the renders somebody waits for";
    EXPECT_EQ(bandsRun.load(), 64);
}
