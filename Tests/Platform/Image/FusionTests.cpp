// Kernels that only one other kernel reads, at the pixel it computes, are computed in that kernel's
// pass: the pixels stay what separate passes make, and the passes drop.

#include "ImageTestSupport.h"
#include "Platform/Image/RenderStatistics.h"

#include <functional>
#include <gtest/gtest.h>

using namespace pf;
using namespace pftest;

namespace {

const Kernel& gainKernel()
{
    static const Kernel k = kernel("vec3 scaled(vec3 c, float g) { return c * g; }\n"
                                   "kernel vec4 gain(sampler s, float g) {\n"
                                   "    vec4 c = sample(s, samplerCoord(s));\n"
                                   "    return vec4(scaled(c.rgb, g), c.a);\n"
                                   "}\n");
    return k;
}

// Same helper name as the gain's text, another meaning: the two texts share a program.
const Kernel& blendKernel()
{
    static const Kernel k = kernel("vec3 scaled(vec3 c, float g) { return c + g; }\n"
                                   "kernel vec4 blend(sampler top, sampler bottom, float amount) {\n"
                                   "    vec4 t = sample(top, samplerCoord(top));\n"
                                   "    vec4 b = sample(bottom, samplerCoord(bottom));\n"
                                   "    return mix(b, vec4(scaled(t.rgb, 0.01), t.a), amount);\n"
                                   "}\n");
    return k;
}

// Reads its input one pixel to the right: never fused with that input.
const Kernel& shiftKernel()
{
    static const Kernel k = kernel("kernel vec4 shift(sampler s) {\n"
                                   "    return sample(s, samplerCoord(s) + vec2(1.0, 0.0));\n"
                                   "}\n");
    return k;
}

// Reads its input around the pixel: may itself be fused into a kernel that reads it in place.
const Kernel& boxKernel()
{
    static const Kernel k = kernel("kernel vec4 box(sampler s) {\n"
                                   "    vec2 p = samplerCoord(s);\n"
                                   "    return (sample(s, p + vec2(-1.0, 0.0)) + sample(s, p) +\n"
                                   "            sample(s, p + vec2(1.0, 0.0))) / 3.0;\n"
                                   "}\n");
    return k;
}

Image gain(const Image& input, double g, const std::optional<Rect>& definition = std::nullopt)
{
    ApplyOptions options;
    options.definition = definition ? *definition : input.definition().extent();
    return gainKernel().apply({QVariant::fromValue(input), g}, options);
}

Image blend(const Image& top, const Image& bottom, double amount)
{
    ApplyOptions options;
    options.definition = top.definition().extent().united(bottom.definition().extent());
    return blendKernel().apply({QVariant::fromValue(top), QVariant::fromValue(bottom), amount}, options);
}

Image neighbourhood(const Kernel& k, const Image& input)
{
    ApplyOptions options;
    options.definition = input.definition().extent().insetBy(-1, 0);
    options.regionOfInterest = [](int, const Rect& r) { return r.insetBy(-1, 0); };
    return k.apply({QVariant::fromValue(input)}, options);
}

struct Rendered
{
    Bitmap pixels;
    uint64_t passes = 0;
};

Rendered render(const Image& image, const Rect& rect, bool fusion)
{
    RenderStatistics::setFusionEnabled(fusion);
    RenderStatistics::resetPasses();
    Rendered out;
    out.pixels = renderFloat(image, rect);
    out.passes = RenderStatistics::passes();
    RenderStatistics::setFusionEnabled(true);
    return out;
}

} // namespace

TEST(Fusion, KeepsThePixelsAndFusesOnlyWhatIsReadOnceInPlace)
{
    const Image photo = Image::fromBitmap(randomBitmap(96, 64, 7));
    const Image other = Image::fromBitmap(randomBitmap(96, 64, 8));
    const Rect whole(0, 0, 96, 64);
    struct Case
    {
        const char* name;
        std::function<Image()> make;
        uint64_t fusedPasses;   // with fusion
        uint64_t unfusedPasses; // every kernel a pass of its own
    };
    const Case cases[] = {
        {"a chain of five", [&] { return gain(gain(gain(gain(gain(photo, 1.1), 0.9), 1.2), 0.8), 1.05); }, 1,
         5},
        {"a tree: both inputs of a blend",
         [&] { return blend(gain(photo, 1.2), blend(gain(other, 0.7), photo, 0.5), 0.6); }, 1, 4},
        {"one producer read twice is computed once",
         [&] {
             const Image shared = gain(photo, 1.3);
             return blend(shared, shared, 0.4);
         },
         2, 2},
        {"one producer read by two kernels is computed once",
         [&] {
             const Image shared = gain(photo, 1.3);
             return blend(gain(shared, 0.5), gain(shared, 2.0), 0.4);
         },
         2, 4},
        {"a transform between two kernels stops fusion",
         [&] {
             return gain(gain(photo, 1.1).imageByApplyingTransform(AffineTransform::translation(3, 2)), 0.9);
         },
         2, 2},
        {"a read one pixel over stops fusion",
         [&] { return gain(neighbourhood(shiftKernel(), gain(photo, 1.1)), 0.9); }, 2, 3},
        {"a neighbourhood kernel is fused into the kernel reading it in place",
         [&] { return gain(neighbourhood(boxKernel(), gain(photo, 1.1)), 0.9); }, 2, 3},
        {"a producer with a smaller domain is transparent outside it",
         [&] { return blend(gain(photo, 1.5, Rect(10, 5, 40, 30)), other, 0.7); }, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Image image = c.make();
        const Rendered fused = render(image, whole, true);
        const Rendered separate = render(image, whole, false);
        ASSERT_FALSE(fused.pixels.isNull());
        ASSERT_FALSE(separate.pixels.isNull());
        EXPECT_LE(largestDifference(fused.pixels, separate.pixels), 1e-6f);
        EXPECT_EQ(fused.passes, c.fusedPasses);
        EXPECT_EQ(separate.passes, c.unfusedPasses);
    }
}

// Each tile computes the fused kernels over what that tile needs of them, neighbourhoods included.
TEST(Fusion, TiledRendersEqualWholeOnes)
{
    const Image photo = Image::fromBitmap(randomBitmap(150, 90, 9));
    const Image image = blend(neighbourhood(boxKernel(), gain(photo, 1.2)),
                              gain(neighbourhood(boxKernel(), photo), 0.8), 0.5);
    const Rect whole(0, 0, 150, 90);
    const Rendered untiled = render(image, whole, true);
    context().setMaximumTileSize(32);
    const Rendered tiled = render(image, whole, true);
    context().setMaximumTileSize(2048);
    EXPECT_LE(largestDifference(untiled.pixels, tiled.pixels), 1e-6f);
}
