// Recipes of the engine's own kernels (compositing, masks, colour inversion), with the moves, crops and
// clamps between them, compute on the CPU what their passes compute.

#include "BuiltinTestSupport.h"

#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/RenderStatistics.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>

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

// A mask of `format` that is 0 but for a few spots: one pixel on a corner of the small tiles (32
// pixels), one at the picture's edge, and a 2 x 2 square. Tiles where it is 0 compute only the
// background; the spots must still show wherever a read of the mask reaches them.
Image spottedMask(Bitmap::Format format)
{
    Bitmap bitmap(Width, Height, format);
    std::memset(bitmap.mutableData(), 0, bitmap.bytesPerRow() * size_t(Height));
    const auto spot = [&](int x, int y) {
        uint8_t* p = bitmap.mutableRow(y);
        switch (format) {
        case Bitmap::Format::Gray16: {
            const uint16_t word = 40000;
            std::memcpy(p + size_t(x) * 2, &word, 2);
            break;
        }
        case Bitmap::Format::RGBAf: {
            const float grey[4] = {0.7f, 0.7f, 0.7f, 1.0f};
            std::memcpy(p + size_t(x) * 16, grey, 16);
            break;
        }
        default: // RGBA8
            std::memset(p + size_t(x) * 4, 200, 4);
            break;
        }
    };
    spot(64, 32);
    spot(Width - 1, 5);
    for (const int dy : {0, 1})
        for (const int dx : {0, 1})
            spot(150 + dx, 40 + dy);
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
    uint64_t glPasses = 0;
};

Rendered render(const Image& image, CpuKernelRenderer::Use use, Bitmap::Format format)
{
    CpuKernelRenderer::setUse(use);
    RenderStatistics::resetPasses();
    Rendered out;
    out.pixels = context().render(image, Rect(-3, -2, Width + 5, Height + 4), format);
    out.cpuPasses = RenderStatistics::cpuPasses();
    out.glPasses = RenderStatistics::passes() - out.cpuPasses;
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
    return out;
}

struct Case
{
    const char* what;
    Image image;
};

// Each case rendered on the CPU and in passes, in floats and in bytes: within a level of 8 bits, 1e-4 of
// a float, and computed on the CPU (not handed to the passes whole; with `noPasses`, not in part either).
void expectBothWaysAlike(const std::vector<Case>& cases, bool noPasses = false)
{
    for (const Case& c : cases) {
        ASSERT_FALSE(c.image.isNull()) << c.what;
        for (const Bitmap::Format format : {Bitmap::Format::RGBAf, Bitmap::Format::RGBA8}) {
            const Rendered cpu = render(c.image, CpuKernelRenderer::Use::Always, format);
            const Rendered gl = render(c.image, CpuKernelRenderer::Use::Never, format);
            ASSERT_TRUE(cpu.pixels && gl.pixels) << c.what;
            EXPECT_GT(cpu.cpuPasses, 0u) << c.what << " was not computed on the CPU";
            if (noPasses) {
                EXPECT_EQ(cpu.glPasses, 0u) << c.what << " needed passes";
            }
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

// Each case rendered on the CPU in bytes whole and in four parts, split off the tiles' grid: the same
// bytes, so that no tile edge shows.
void expectPartsLikeTheWhole(const std::vector<Case>& cases)
{
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Always);
    const Rect whole(-3, -2, Width + 5, Height + 4);
    const int splitX = 97, splitY = 31; // from the left and from the top
    for (const Case& c : cases) {
        const auto all = context().render(c.image, whole, Bitmap::Format::RGBA8);
        ASSERT_TRUE(all) << c.what;
        int differing = 0;
        for (const bool right : {false, true})
            for (const bool top : {false, true}) {
                const double x0 = right ? whole.minX() + splitX : whole.minX();
                const double x1 = right ? whole.maxX() : whole.minX() + splitX;
                const double y0 = top ? whole.maxY() - splitY : whole.minY();
                const double y1 = top ? whole.maxY() : whole.maxY() - splitY;
                const auto part =
                    context().render(c.image, Rect(x0, y0, x1 - x0, y1 - y0), Bitmap::Format::RGBA8);
                ASSERT_TRUE(part) << c.what;
                const int left = int(x0 - whole.minX()), first = int(whole.maxY() - y1);
                for (int row = 0; row < part->height(); ++row)
                    differing += std::memcmp(part->row(row), all->row(first + row) + size_t(left) * 4,
                                             size_t(part->width()) * 4) != 0;
            }
        EXPECT_EQ(differing, 0) << c.what << ": rows of a part that differ from the whole";
    }
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
}

} // namespace

TEST(CpuRecipes, EngineKernelsAndTheStepsBetweenThemMatchThePasses)
{
    const Image a = Image::fromBitmap(randomBitmap(Width, Height, 1));
    const Image b = Image::fromBitmap(randomBitmap(Width, Height, 2));
    const Image mask = grey16Mask(3);
    const Image invertedA = filtered("CIColorInvert", {{"inputImage", var(a)}});
    const Image stack = over(invertedA, b); // read twice below: computed once, not fused

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
        // A kernel's result read where it lies is computed a row at a time beside the row reading it;
        // moved across or cut by a crop it still is, moved up or down, or clamped, it is not.
        {"a result read by two kernels, one of them moved across and cropped",
         over(stack.imageByApplyingTransform(AffineTransform::translation(-9, 0))
                  .imageByCroppingToRect(Rect(12, 5, 230, 52)),
              stack)},
        {"a result read by two kernels, one of them moved up",
         over(stack.imageByApplyingTransform(AffineTransform::translation(4, 3)), stack)},
        {"a result read by two kernels, one of them clamped",
         over(stack.imageByCroppingToRect(Rect(30, 8, 150, 40)).imageByClampingToExtent(), stack)},
        {"moved by whole pixels, cropped off the pixel grid, over a clamped image",
         over(a.imageByApplyingTransform(AffineTransform::translation(7, -3))
                  .imageByCroppingToRect(Rect(5.5, 4.25, 200, 50)),
              b.imageByCroppingToRect(Rect(20, 10, 100, 40)).imageByClampingToExtent())},
        {"turned and scaled: read between pixels",
         over(a.imageByApplyingTransform(AffineTransform::rotation(0.3).scaled(0.8, 0.8)), invertedA)},
        {"a colour cropped to a rectangle, over a colour, as a mask drawn so",
         filtered("CIBlendWithMask",
                  {{"inputImage", var(a)},
                   {"inputBackgroundImage", var(b)},
                   {"inputMaskImage", var(Image::constantColor(Color(1, 1, 1))
                                          .imageByCroppingToRect(Rect(40, 0, 150, Height))
                                          .imageByCompositingOverImage(Image::constantColor(Color(0, 0, 0))))}})},
        // A mask 0 over most tiles: there only the background is computed, the picture (a blur, which
        // reads around its pixels) nowhere. Read at its pixels, between them, clamped, or as nothing.
        {"blend of a blur with an 8-bit mask of a few spots",
         filtered("CIBlendWithMask", {{"inputImage", var(filtered("CIGaussianBlur", {{"inputImage", var(a)},
                                                                                    {"inputRadius", 2.0}}))},
                                      {"inputBackgroundImage", var(stack)},
                                      {"inputMaskImage", var(spottedMask(Bitmap::Format::RGBA8))}})},
        {"blend with a 16-bit mask of a few spots, scaled and moved by fractions",
         filtered("CIBlendWithMask",
                  {{"inputImage", var(invertedA)},
                   {"inputBackgroundImage", var(b)},
                   {"inputMaskImage", var(spottedMask(Bitmap::Format::Gray16)
                                              .imageByApplyingTransform(
                                                  AffineTransform::scale(1.3, 0.9).translated(0.4, -0.7)))}})},
        {"blend with a float mask of a few spots, cropped and clamped",
         filtered("CIBlendWithMask",
                  {{"inputImage", var(invertedA)},
                   {"inputBackgroundImage", var(b)},
                   {"inputMaskImage", var(spottedMask(Bitmap::Format::RGBAf)
                                              .imageByCroppingToRect(Rect(100, 20, 100, 30))
                                              .imageByClampingToExtent())}})},
        {"blend with nothing for a mask, over a stack",
         over(filtered("CIBlendWithMask",
                       {{"inputImage", var(a)},
                        {"inputBackgroundImage", var(stack)},
                        {"inputMaskImage", var(Image::constantColor(Color(0, 0, 0, 0)))}}),
              b)},
        {"a colour cropped off the pixel grid and moved",
         over(Image::constantColor(Color(0.2, 0.4, 0.6, 0.8))
                  .imageByCroppingToRect(Rect(10.5, 3.25, 100, 40))
                  .imageByApplyingTransform(AffineTransform::translation(3, -2)),
              b)},
        {"moved by half a pixel", over(b.imageByApplyingTransform(AffineTransform::translation(0.5, 0)), a)},
        {"over a blur", over(filtered("CIGaussianBlur", {{"inputImage", var(a)}, {"inputRadius", 2.0}}), b)},
        // Kernels the CPU cannot compute are rendered in passes once and read as pixels.
        {"a strong reduction (read from mipmaps) inside, moved and read by two kernels",
         [&] {
             const Image reduced = over(a.imageByApplyingTransform(AffineTransform::scale(0.3, 0.3)), b);
             const Image moved = reduced.imageByApplyingTransform(AffineTransform::translation(3, -1));
             return over(filtered("CIColorInvert", {{"inputImage", var(moved)}}), reduced);
         }()},
    };
    expectBothWaysAlike(cases);
    expectPartsLikeTheWhole(cases);
}

TEST(CpuRecipes, KernelsThatReadNeighboursMatchThePasses)
{
    // The inputs are kernels' outputs as well as bitmaps, in bytes and in floats, so that every kind of
    // read is taken; the library paths of the median and the Lanczos scaling are off, so that their
    // kernels run.
    RenderStatistics::setCpuFiltersEnabled(false);
    const Image a = Image::fromBitmap(randomBitmap(Width, Height, 4));
    const Bitmap bytes = randomBitmap(Width, Height, 5).converted(Bitmap::Format::RGBA8);
    const Image b = Image::fromBitmap(bytes);
    const Image computed = filtered("CIColorInvert", {{"inputImage", var(b)}});
    const Image moved = computed.imageByApplyingTransform(AffineTransform::translation(-4, 3));
    const Image smooth =
        filtered("CIColorInvert",
                 {{"inputImage", var(Image::fromBitmap(makeFloatBitmap(Width, Height, [](int x, int y) {
                       const float v = 0.5f + 0.4f * std::sin(x * 0.05f) * std::cos(y * 0.07f);
                       return std::array<float, 4>{v, 0.8f * v, 0.3f, 1.0f};
                   })))}});
    auto blur = [](const Image& image, double sigma) {
        return filtered("CIGaussianBlur", {{"inputImage", var(image)}, {"inputRadius", sigma}});
    };
    auto lanczos = [](const Image& image, double scale) {
        return filtered("CILanczosScaleTransform", {{"inputImage", var(image)}, {"inputScale", scale}});
    };
    const std::vector<Case> cases = {
        {"separable Gaussian of a float bitmap", blur(a, 1.5)},
        {"separable Gaussian of a kernel's output, moved", blur(moved, 3.0)},
        // Crops and clamps of whole pixels between a stage and what it reads.
        {"Gaussian of a blur clamped to the picture and cropped to it",
         blur(blur(b.imageByClampingToExtent(), 2.0).imageByCroppingToRect(Rect(9, 6, 200, 50)), 1.5)},
        {"Gaussian of a byte bitmap cropped inside the tiles, moved",
         blur(b.imageByCroppingToRect(Rect(31, 11, 150, 37))
                  .imageByApplyingTransform(AffineTransform::translation(-5, 2)),
              2.5)},
        {"reduced, blurred and enlarged Gaussian of a byte bitmap", over(blur(b, 7.0), a)},
        {"median of a kernel's output", filtered("CIMedianFilter", {{"inputImage", var(computed)}})},
        {"Lanczos reduction of a kernel's output", lanczos(computed, 0.37)},
        {"Lanczos enlargement of a float bitmap", lanczos(a, 1.6)},
        {"area average",
         filtered("CIAreaAverage", {{"inputImage", var(computed)},
                                    {"inputExtent", QVariant::fromValue(Vector(10.5, 3, 151, 40))}})},
        {"motion blur", filtered("CIMotionBlur",
                                 {{"inputImage", var(computed)}, {"inputRadius", 9.0}, {"inputAngle", 0.4}})},
        {"disc blur", filtered("CIDiscBlur", {{"inputImage", var(a)}, {"inputRadius", 3.5}})},
        {"displacement",
         filtered("CIDisplacementDistortion",
                  {{"inputImage", var(a)}, {"inputDisplacementImage", var(computed)}, {"inputScale", 12.0}})},
        // A smooth picture: the lens's arcsines and tangent differ between the CPU's library and the
        // shading language's approximations in their last bits, which random pixels would turn into
        // differences of whole levels.
        {"torus lens",
         filtered("CITorusLensDistortion", {{"inputImage", var(smooth)},
                                            {"inputCenter", QVariant::fromValue(Vector(150, 35))},
                                            {"inputRadius", 30.0},
                                            {"inputWidth", 12.0}})},
        {"affine tile",
         filtered("CIAffineTile",
                  {{"inputImage", var(computed.imageByCroppingToRect(Rect(20, 10, 37, 23)))},
                   {"inputTransform", QVariant::fromValue(AffineTransform::translation(3, 1))}})},
    };
    expectBothWaysAlike(cases, true);
    expectPartsLikeTheWhole(cases);
    RenderStatistics::setCpuFiltersEnabled(true);
}

TEST(CpuRecipes, PicturesReadOffTheirGridMatchThePassesWhereverTheyLie)
{
    // The CPU reads such pictures only where a read can reach their pixels: any pixel left out at an
    // edge, a corner or a tile's border shows against the passes, which read everywhere.
    const Bitmap floats = randomBitmap(Width, Height, 6);
    const Image bytes = Image::fromBitmap(floats.converted(Bitmap::Format::RGBA8));
    const Image ground = Image::fromBitmap(randomBitmap(Width, Height, 7));
    const Image computed = filtered("CIColorInvert", {{"inputImage", var(Image::fromBitmap(floats))}});
    auto placed = [](const Image& image, double turn, double scale, double x, double y) {
        return image.imageByApplyingTransform(AffineTransform::rotation(turn)
                                                  .concatenated(AffineTransform::scale(scale, scale))
                                                  .concatenated(AffineTransform::translation(x, y)));
    };
    // A stack of turned sprites, each read inside the one that lies over it.
    Image stack = ground;
    for (int i = 0; i < 6; ++i)
        stack = over(placed(bytes, -0.5 + 0.2 * i, 0.5, 40.0 * i - 20, 10.0 - 3 * i), stack);
    const std::vector<Case> cases = {
        {"bytes turned, sticking out of the rectangle on every side",
         over(placed(bytes, 0.35, 1.3, -40, -30), ground)},
        {"bytes mirrored and moved by fractions of a pixel",
         over(bytes.imageByApplyingTransform(
                  AffineTransform::scale(-1, 1).concatenated(AffineTransform::translation(Width - 0.3, 0.6))),
              ground)},
        {"bytes a quarter turn about a pixel corner (reads at pixel centres)",
         over(placed(bytes, 3.141592653589793 / 2, 1, 170, -120), ground)},
        {"bytes turned almost upright, so that a row runs along a column",
         over(placed(bytes, 1.5, 0.9, 120, -100), ground)},
        {"bytes turned, all of them off the rectangle", over(placed(bytes, 0.2, 1, 900, 40), ground)},
        {"floats turned", over(placed(Image::fromBitmap(floats), -0.4, 0.8, 30, 20), ground)},
        {"a kernel's output turned", over(placed(computed, 0.6, 1.1, 10, -50), ground)},
        {"bytes turned, then cropped",
         over(placed(bytes, 0.3, 1, 5, -20).imageByCroppingToRect(Rect(30.5, 5, 150, 50)), ground)},
        {"bytes turned, then clamped",
         over(placed(bytes, 0.3, 0.9, 60, 10).imageByClampingToExtent(), ground)},
        // Along the axes only: a picture made at a reduced size read back enlarged, as fits and masks are.
        {"a kernel's output clamped and enlarged along the axes",
         over(computed.imageByCroppingToRect(Rect(0, 0, 90, 30))
                  .imageByClampingToExtent()
                  .imageByApplyingTransform(AffineTransform::scale(3.5, 2.25)),
              ground)},
        {"floats cropped, then reduced along one axis and moved by fractions",
         over(Image::fromBitmap(floats)
                  .imageByCroppingToRect(Rect(10, 5, 100, 40))
                  .imageByApplyingTransform(
                      AffineTransform::scale(1.7, 0.6).concatenated(AffineTransform::translation(0.3, 2.2))),
              ground)},
        // Read by no kernel at all: a view of a photo made from its nearest reduced copy.
        {"bytes alone reduced by a third, moved by fractions and cropped",
         placed(bytes, 0, 0.68, 0.4, -0.3).imageByCroppingToRect(Rect(0, 0, 200, 45))},
        {"floats alone enlarged", placed(Image::fromBitmap(floats), 0, 1.5, 0, 0)},
        {"six turned sprites over each other", stack},
        // The lower-left part of the split lies inside this crop, which then cuts nothing from it.
        {"six turned sprites cut to a rectangle holding a part whole",
         stack.imageByCroppingToRect(Rect(-3, -2, 200, 60))},
    };
    expectBothWaysAlike(cases, true);
    expectPartsLikeTheWhole(cases);
}

TEST(CpuRecipes, CpuPixelsInALayerStackReadAsTheBitmapsTheyHold)
{
    // Pixels made on the CPU before the tiles (a frame's texture and shades over a strip) are read where
    // they lie, offset by their bounds. Each case is the same stack with those pixels given as plain
    // bitmaps moved to the bounds: any pixel misplaced, or read beyond the bounds or the recipe's area,
    // shows to the bit.
    const Image ground = Image::fromBitmap(randomBitmap(Width, Height, 11));
    const Image recipe = filtered(
        "CIColorInvert",
        {{"inputImage", var(Image::fromBitmap(randomBitmap(Width + 80, Height + 40, 12))
                                .imageByApplyingTransform(AffineTransform::translation(-40, -20)))}});
    const Rect area = recipe.extent(); // (-40, -20) to (Width + 40, Height + 20)
    struct Layer
    {
        Image cpu, plain;
    };
    unsigned seed = 20;
    const auto layer = [&](const Rect& bounds, Bitmap pixels = Bitmap()) {
        if (pixels.isNull())
            pixels = randomBitmap(int(bounds.width()), int(bounds.height()), seed++);
        const auto rendering = std::make_shared<const CpuRendering>(
            bounds, Bitmap::Format::RGBAf, [pixels](const Rect& region, Bitmap& out) {
                const int left = int(region.minX()), first = pixels.height() - int(region.maxY());
                for (int row = 0; row < out.height(); ++row)
                    std::memcpy(out.mutableRow(row), pixels.row(first + row) + size_t(left) * 16,
                                size_t(out.width()) * 16);
                return true;
            });
        return Layer{CpuRendering::attach(recipe, rendering),
                     Image::fromBitmap(pixels)
                         .imageByApplyingTransform(AffineTransform::translation(bounds.minX(), bounds.minY()))
                         .imageByCroppingToRect(area)};
    };
    const Layer inside = layer(Rect(10, 5, 200, 50));
    const Layer beyondRender = layer(Rect(-30, -15, Width + 50, Height + 30));
    const Layer beyondRecipe = layer(Rect(-60, 10, 120, 30)); // copied into the tiles instead
    // A mask that is 0 but for two spots: the tiles without them compute the background alone.
    Bitmap spotted(Width, Height, Bitmap::Format::RGBAf, Bitmap::Fill::Zero);
    for (const auto& [x, y] : {std::pair{64, 32}, std::pair{150, 40}})
        std::fill_n(reinterpret_cast<float*>(spotted.mutableRow(Height - 1 - y)) + size_t(x) * 4, 4, 0.7f);
    const Layer spots = layer(Rect(0, 0, Width, Height), spotted);
    const auto moved = [](const Image& image) {
        return image.imageByApplyingTransform(AffineTransform::translation(7, -3));
    };
    const auto cropped = [](const Image& image) {
        return image.imageByCroppingToRect(Rect(20, 10, 150, 40));
    };
    const auto masked = [&](const Image& mask) {
        return filtered("CIBlendWithMask", {{"inputImage", var(recipe)},
                                            {"inputBackgroundImage", var(ground)},
                                            {"inputMaskImage", var(mask)}});
    };
    const std::vector<std::tuple<const char*, Image, Image>> stacks = {
        {"inside the picture", over(inside.cpu, ground), over(inside.plain, ground)},
        {"beyond the render on every side", over(beyondRender.cpu, ground), over(beyondRender.plain, ground)},
        {"reaching beyond the recipe's pixels", over(beyondRecipe.cpu, ground),
         over(beyondRecipe.plain, ground)},
        {"moved by whole pixels", over(moved(inside.cpu), ground), over(moved(inside.plain), ground)},
        {"cropped", over(cropped(beyondRender.cpu), ground), over(cropped(beyondRender.plain), ground)},
        {"three over each other",
         over(inside.cpu, over(moved(beyondRender.cpu), over(beyondRecipe.cpu, ground))),
         over(inside.plain, over(moved(beyondRender.plain), over(beyondRecipe.plain, ground)))},
        {"as a blend's mask", masked(spots.cpu), masked(spots.plain)},
    };
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Always);
    const Rect rect(-3, -2, Width + 5, Height + 4);
    for (const auto& [what, cpu, plain] : stacks) {
        const auto a = context().render(cpu, rect, Bitmap::Format::RGBAf);
        const auto b = context().render(plain, rect, Bitmap::Format::RGBAf);
        ASSERT_TRUE(a && b) << what;
        int differing = 0;
        for (int row = 0; row < a->height(); ++row)
            differing += std::memcmp(a->row(row), b->row(row), size_t(a->width()) * 16) != 0;
        EXPECT_EQ(differing, 0) << what << ": rows that differ from the plain bitmaps'";
    }
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
    std::vector<Case> cases;
    for (const auto& [what, cpu, plain] : stacks)
        cases.push_back({what, cpu});
    expectBothWaysAlike(cases, true);
    expectPartsLikeTheWhole(cases);
}

TEST(CpuRecipes, TurnedBytesReadAsTheirFloatsDo)
{
    // Bytes have a reader of their own; the same picture in floats is read the general way. Both give
    // the same values, at the edges (where reads reach past the picture) as well as inside.
    const Bitmap floats =
        randomBitmap(Width, Height, 8).converted(Bitmap::Format::RGBA8).converted(Bitmap::Format::RGBAf);
    const Image asBytes = Image::fromBitmap(floats.converted(Bitmap::Format::RGBA8));
    const Image asFloats = Image::fromBitmap(floats);
    const struct
    {
        const char* what;
        AffineTransform transform;
    } cases[] = {
        {"turned", AffineTransform::rotation(0.3).concatenated(AffineTransform::translation(20, -30))},
        {"turned the other way and enlarged",
         AffineTransform::rotation(-0.7).concatenated(AffineTransform::scale(1.8, 1.8))},
        {"reduced", AffineTransform::scale(0.6, 0.7).concatenated(AffineTransform::translation(0.25, 0.5))},
        {"mirrored upside down",
         AffineTransform::scale(1, -1).concatenated(AffineTransform::translation(0.5, 69.5))},
        {"moved by half a pixel", AffineTransform::translation(0.5, 0)},
    };
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Always);
    const Rect rect(-3, -2, Width + 5, Height + 4);
    for (const auto& c : cases) {
        const auto fromBytes =
            context().render(over(asBytes.imageByApplyingTransform(c.transform), Image::emptyImage()), rect,
                             Bitmap::Format::RGBAf);
        const auto fromFloats =
            context().render(over(asFloats.imageByApplyingTransform(c.transform), Image::emptyImage()), rect,
                             Bitmap::Format::RGBAf);
        ASSERT_TRUE(fromBytes && fromFloats) << c.what;
        float worst = 0;
        for (int y = 0; y < fromBytes->height(); ++y)
            for (int x = 0; x < fromBytes->width(); ++x) {
                const auto p = at(*fromBytes, x, y), q = at(*fromFloats, x, y);
                for (size_t k = 0; k < 4; ++k)
                    worst = std::max(worst, std::abs(p[k] - q[k]));
            }
        EXPECT_LE(worst, 1e-6f) << c.what;
    }
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
}

TEST(CpuRecipes, BytesAreTheFloatsClampedAndRounded)
{
    // Every value at every position of a row (rows of bytes are converted sixteen values at a time).
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> values = {std::nanf(""), -inf, -0.5f,        0.0f,          0.5f / 255 - 1e-7f,
                                       0.5f / 255,    0.3f, 127.5f / 255, 128.49f / 255, 254.5f / 255,
                                       1.0f,          1.5f, inf};
    const int width = 23, height = 3;
    size_t next = 0;
    const Image source = Image::fromBitmap(makeFloatBitmap(width, height, [&](int, int) {
        std::array<float, 4> pixel;
        for (float& v : pixel)
            v = values[next++ % values.size()];
        return pixel;
    }));
    const Image image = over(source, Image::emptyImage());
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Always);
    const auto floats = context().render(image, Rect(0, 0, width, height), Bitmap::Format::RGBAf);
    const auto bytes = context().render(image, Rect(0, 0, width, height), Bitmap::Format::RGBA8);
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
    ASSERT_TRUE(floats && bytes);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 4; ++x) {
            const float v = reinterpret_cast<const float*>(floats->row(y))[x];
            const int expected = !(v > 0.0f) ? 0 : v >= 1.0f ? 255 : int(v * 255.0f + 0.5f);
            EXPECT_EQ(int(bytes->row(y)[x]), expected) << "value " << v << " at " << x << ", " << y;
        }
}

// A context keeps the textures of the pixels it read, for the next render of the same pixels; it never
// keeps the pixels themselves alive once nobody else holds them (a picture replaced at every stroke
// would pile up until the cache's budget), and new pixels that land where freed ones were are never
// taken for them.
TEST(CpuRecipes, ASourceCachedForPassesNeverOutlivesItsPixels)
{
    const auto plain = [](float value) {
        Bitmap bitmap(Width, Height, Bitmap::Format::RGBAf);
        auto* data = reinterpret_cast<float*>(bitmap.mutableData());
        for (size_t i = 0; i < size_t(Width) * Height; ++i)
            for (int k = 0; k < 4; ++k)
                data[i * 4 + k] = k == 3 ? 1.0f : value;
        return bitmap;
    };
    for (const float value : {0.25f, 0.75f, 0.5f}) {
        SCOPED_TRACE(value);
        std::weak_ptr<const void> pixels;
        {
            const Bitmap bitmap = plain(value);
            pixels = bitmap.lifetime();
            const Image image = over(Image::fromBitmap(bitmap), grey16Mask(3));
            const Rendered out = render(image, CpuKernelRenderer::Use::Never, Bitmap::Format::RGBAf);
            ASSERT_TRUE(out.pixels);
            EXPECT_GT(out.glPasses, 0u);
            float rgba[4];
            out.pixels->pixel(10, 10, rgba);
            EXPECT_NEAR(rgba[0], value, 1e-3f);
        }
        EXPECT_TRUE(pixels.expired());
    }
}

TEST(CpuRecipes, TheDeviceAndTheMeasuredCostsChooseThePath)
{
    // A graphics card takes the passes; a software rasterizer takes whichever path a recipe of the
    // kind was measured to be faster on, and the CPU while it has not been measured (a small render
    // is not worth compiling the passes' programs for).
    const Image a = Image::fromBitmap(randomBitmap(Width, Height, 9));
    const Image b = Image::fromBitmap(randomBitmap(Width, Height, 10));
    const Image inverted = filtered("CIColorInvert", {{"inputImage", var(a)}});
    const struct
    {
        const char* what;
        CpuKernelRenderer::Device device;
        std::optional<CpuKernelRenderer::PathCosts> measured;
        bool onCpu;
    } cases[] = {
        {"graphics card", CpuKernelRenderer::Device::GraphicsCard, std::nullopt, false},
        {"graphics card, the CPU measured faster", CpuKernelRenderer::Device::GraphicsCard,
         CpuKernelRenderer::PathCosts{1, 100}, false},
        {"software rasterizer, not measured", CpuKernelRenderer::Device::SoftwareRasterizer, std::nullopt,
         true},
        {"software rasterizer, the CPU faster", CpuKernelRenderer::Device::SoftwareRasterizer,
         CpuKernelRenderer::PathCosts{1, 100}, true},
        {"software rasterizer, the passes faster", CpuKernelRenderer::Device::SoftwareRasterizer,
         CpuKernelRenderer::PathCosts{100, 1}, false},
    };
    // Each case a recipe of its own kind, so that what one measured never decides for another.
    int kind = 0;
    for (const auto& c : cases) {
        Image image = over(inverted, b);
        for (int i = 0; i <= kind; ++i)
            image = filtered("CIColorInvert", {{"inputImage", var(image)}});
        ++kind;
        const quint64 signature = CpuKernelRenderer::signature(image.node());
        if (c.measured)
            CpuKernelRenderer::recordCosts(signature, *c.measured);
        CpuKernelRenderer::setDeviceForTesting(c.device);
        RenderStatistics::resetPasses();
        const auto pixels = context().render(image, Rect(0, 0, Width, Height), Bitmap::Format::RGBA8);
        const uint64_t cpu = RenderStatistics::cpuPasses(), gl = RenderStatistics::passes() - cpu;
        CpuKernelRenderer::setDeviceForTesting(std::nullopt);
        ASSERT_TRUE(pixels) << c.what;
        EXPECT_EQ(cpu > 0, c.onCpu) << c.what;
        EXPECT_EQ(gl > 0, !c.onCpu) << c.what;
    }
    // The CPU spares the tiles where a blend's mask is 0 and the passes do not, so one measure of a kind
    // decides by each render's own masks: painted over the left tile only (the right one spared), the
    // CPU; painted all over, the passes.
    {
        const auto painted = [&](int paintedWidth) {
            Bitmap mask(Width, Height, Bitmap::Format::RGBA8);
            for (int y = 0; y < Height; ++y)
                for (int x = 0; x < Width; ++x)
                    std::memset(mask.mutableRow(y) + size_t(x) * 4, x < paintedWidth ? 255 : 0, 4);
            return filtered("CIBlendWithMask", {{"inputImage", var(over(inverted, a))},
                                                {"inputBackgroundImage", var(b)},
                                                {"inputMaskImage", var(Image::fromBitmap(mask))}});
        };
        const Image left = painted(20), everywhere = painted(Width);
        ASSERT_EQ(CpuKernelRenderer::signature(left.node()), CpuKernelRenderer::signature(everywhere.node()));
        CpuKernelRenderer::PathCosts costs{10, 8.5};
        costs.followsMasks = true;
        CpuKernelRenderer::recordCosts(CpuKernelRenderer::signature(left.node()), costs);
        CpuKernelRenderer::setDeviceForTesting(CpuKernelRenderer::Device::SoftwareRasterizer);
        for (const auto& [what, image, onCpu] : {std::tuple{"painted on the left", left, true},
                                                 std::tuple{"painted everywhere", everywhere, false}}) {
            RenderStatistics::resetPasses();
            ASSERT_TRUE(context().render(image, Rect(0, 0, Width, Height), Bitmap::Format::RGBA8)) << what;
            EXPECT_EQ(RenderStatistics::cpuPasses() > 0, onCpu) << what;
        }
        CpuKernelRenderer::setDeviceForTesting(std::nullopt);
    }
    // Recipes of one kind share their measure whatever their values and sizes; another kind does not.
    const auto gain = [](const Image& image, double value) {
        return filtered("CIBlendWithMask",
                        {{"inputImage", var(image)},
                         {"inputBackgroundImage", var(Image::constantColor(Color(value, 0, 0)))},
                         {"inputMaskImage", var(image)}});
    };
    EXPECT_EQ(CpuKernelRenderer::signature(gain(a, 0.2).node()),
              CpuKernelRenderer::signature(gain(Image::fromBitmap(randomBitmap(40, 30, 11)), 0.7).node()));
    EXPECT_NE(CpuKernelRenderer::signature(gain(a, 0.2).node()),
              CpuKernelRenderer::signature(inverted.node()));
}

TEST(CpuRecipes, ALargeRenderOnASoftwareRasterizerIsMeasuredBothWays)
{
    // Large enough to be measured: rendered on the CPU while a part of it is measured both ways in the
    // background; the path the costs name is taken from then on, with the same picture.
    // A recipe of a kind not measured before in this process (the test may run again in it).
    static int runs = 0;
    Image image =
        Image::constantColor(Color(0.3, 0.5, 0.7, 0.9)).imageByCroppingToRect(Rect(0, 0, 2100, 2100));
    for (int i = 0; i <= runs; ++i)
        image = filtered("CIColorInvert", {{"inputImage", var(image)}});
    ++runs;
    image = over(image, Image::constantColor(Color(0.1, 0.1, 0.1)));
    const quint64 signature = CpuKernelRenderer::signature(image.node());
    ASSERT_FALSE(CpuKernelRenderer::measuredCosts(signature));
    CpuKernelRenderer::setDeviceForTesting(CpuKernelRenderer::Device::SoftwareRasterizer);
    const Rect rect(0, 0, 2100, 2100);
    RenderStatistics::resetPasses();
    const auto first = context().render(image, rect, Bitmap::Format::RGBA8);
    EXPECT_GT(RenderStatistics::cpuPasses(), 0u); // the CPU's, while the measure is taken aside
    RenderContext::waitForPathMeasures();
    const auto costs = CpuKernelRenderer::measuredCosts(signature);
    RenderStatistics::resetPasses();
    const auto second = context().render(image, rect, Bitmap::Format::RGBA8);
    const uint64_t cpu = RenderStatistics::cpuPasses(), gl = RenderStatistics::passes() - cpu;
    CpuKernelRenderer::setDeviceForTesting(std::nullopt);
    ASSERT_TRUE(first && second && costs);
    EXPECT_GT(costs->cpu, 0.0);
    EXPECT_GT(costs->passes, 0.0);
    EXPECT_EQ(cpu > 0, CpuKernelRenderer::prefersCpu(*costs));
    EXPECT_EQ(gl > 0, !CpuKernelRenderer::prefersCpu(*costs));
    int worst = 0;
    for (size_t i = 0; i < first->byteCount(); ++i)
        worst = std::max(worst, std::abs(int(first->data()[i]) - int(second->data()[i])));
    EXPECT_LE(worst, 1);
}
