// Recipes of the engine's own kernels (compositing, masks, colour inversion), with the moves, crops and
// clamps between them, compute on the CPU what their passes compute.

#include "BuiltinTestSupport.h"

#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/RenderStatistics.h"

#include <functional>
#include <gtest/gtest.h>

using namespace pf;
using namespace pftest;

namespace {

constexpr int Width = 300; // more than one CPU tile across
constexpr int Height = 70;

Image grey16Mask(unsigned seed)
{
    Bitmap bitmap(Width, Height, Bitmap::Format::Gray16);
    std::mt19937 random(seed);
    for (int y = 0; y < Height; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(bitmap.mutableRow(y));
        for (int x = 0; x < Width; ++x)
            row[x] = uint16_t(random());
    }
    return Image::fromBitmap(bitmap);
}

Image over(const Image& top, const Image& bottom)
{
    return filtered("CISourceOverCompositing",
                    {{"inputImage", var(top)}, {"inputBackgroundImage", var(bottom)}});
}

struct Rendered
{
    std::optional<Bitmap> pixels;
    uint64_t cpuPasses = 0;
};

Rendered render(const Image& image, CpuKernelRenderer::Use use, Bitmap::Format format)
{
    CpuKernelRenderer::setUse(use);
    RenderStatistics::resetPasses();
    Rendered out;
    out.pixels = context().render(image, Rect(-3, -2, Width + 5, Height + 4), format);
    out.cpuPasses = RenderStatistics::cpuPasses();
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
    return out;
}

} // namespace

TEST(CpuRecipes, EngineKernelsAndTheStepsBetweenThemMatchThePasses)
{
    const Image a = Image::fromBitmap(randomBitmap(Width, Height, 1));
    const Image b = Image::fromBitmap(randomBitmap(Width, Height, 2));
    const Image mask = grey16Mask(3);
    const Image invertedA = filtered("CIColorInvert", {{"inputImage", var(a)}});
    const Image stack = over(invertedA, b); // read twice below: computed once, not fused

    struct Case
    {
        const char* what;
        Image image;
    };
    const std::vector<Case> cases = {
        {"source-over", over(a, b)},
        {"blend with a 16-bit mask",
         filtered("CIBlendWithMask",
                  {{"inputImage", var(a)}, {"inputBackgroundImage", var(b)}, {"inputMaskImage", var(mask)}})},
        {"overlay",
         filtered("CIOverlayBlendMode", {{"inputImage", var(a)}, {"inputBackgroundImage", var(b)}})},
        {"a result read by two kernels",
         over(filtered("CIBlendWithMask", {{"inputImage", var(a)},
                                           {"inputBackgroundImage", var(stack)},
                                           {"inputMaskImage", var(mask)}}),
              stack)},
        {"moved by whole pixels, cropped off the pixel grid, over a clamped image",
         over(a.imageByApplyingTransform(AffineTransform::translation(7, -3))
                  .imageByCroppingToRect(Rect(5.5, 4.25, 200, 50)),
              b.imageByCroppingToRect(Rect(20, 10, 100, 40)).imageByClampingToExtent())},
        {"turned and scaled: read between pixels",
         over(a.imageByApplyingTransform(AffineTransform::rotation(0.3).scaled(0.8, 0.8)), invertedA)},
        {"moved by half a pixel", over(b.imageByApplyingTransform(AffineTransform::translation(0.5, 0)), a)},
        // Kernels the CPU cannot compute are rendered in passes once and read as pixels.
        {"over a blur computed in passes",
         over(filtered("CIGaussianBlur", {{"inputImage", var(a)}, {"inputRadius", 2.0}}), b)},
        {"a strong reduction (read from mipmaps) inside, moved and read by two kernels",
         [&] {
             const Image reduced = over(a.imageByApplyingTransform(AffineTransform::scale(0.3, 0.3)), b);
             const Image moved = reduced.imageByApplyingTransform(AffineTransform::translation(3, -1));
             return over(filtered("CIColorInvert", {{"inputImage", var(moved)}}), reduced);
         }()},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.image.isNull()) << c.what;
        for (const Bitmap::Format format : {Bitmap::Format::RGBAf, Bitmap::Format::RGBA8}) {
            const Rendered cpu = render(c.image, CpuKernelRenderer::Use::Always, format);
            const Rendered gl = render(c.image, CpuKernelRenderer::Use::Never, format);
            ASSERT_TRUE(cpu.pixels && gl.pixels) << c.what;
            EXPECT_GT(cpu.cpuPasses, 0u) << c.what << " was not computed on the CPU";
            EXPECT_EQ(gl.cpuPasses, 0u) << c.what;
            float worst = 0;
            for (int y = 0; y < cpu.pixels->height(); ++y)
                for (int x = 0; x < cpu.pixels->width(); ++x) {
                    const auto p = at(*cpu.pixels, x, y), q = at(*gl.pixels, x, y);
                    for (size_t k = 0; k < 4; ++k)
                        worst = std::max(worst, std::abs(p[k] - q[k]));
                }
            EXPECT_LE(worst, format == Bitmap::Format::RGBA8 ? 1.0f / 255.0f + 1e-6f : 1e-4f)
                << c.what << (format == Bitmap::Format::RGBA8 ? " (8-bit)" : " (float)");
        }
    }
}
