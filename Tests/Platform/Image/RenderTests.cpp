#include "ImageTestSupport.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/BuiltinFilters.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Sampler.h"
#include "Platform/Image/Vector.h"
#include "Tests/ChildProcess.h"
#include <QCoreApplication>
#include <algorithm>
#include <atomic>

#include <cstring>

#include <cmath>
#include <gtest/gtest.h>
#include <thread>

using namespace pf;
using namespace pftest;

namespace {

// An asymmetric picture: value encodes the position, so flips, transposes and offsets all show.
Bitmap marker(int width, int height)
{
    return makeFloatBitmap(width, height, [](int x, int y) {
        return std::array<float, 4>{float(x) / 64.0f, float(y) / 64.0f, 0.5f, 1.0f};
    });
}

void expectPixel(const Bitmap& out, int x, int y, std::array<float, 4> expected, float tolerance = 1e-5f)
{
    const auto p = at(out, x, y);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(p[size_t(i)], expected[size_t(i)], tolerance)
            << "pixel " << x << "," << y << " channel " << i;
}

Kernel boxBlur()
{
    return kernel(
        "kernel vec4 box(sampler s, float r) {\n"
        "  vec2 p = samplerCoord(s); vec4 sum = vec4(0.0); float n = 0.0;\n"
        "  for (float dy = -r; dy <= r; dy += 1.0)\n"
        "    for (float dx = -r; dx <= r; dx += 1.0) { sum += sample(s, p + vec2(dx, dy)); n += 1.0; }\n"
        "  return sum / n;\n"
        "}");
}

Image blurred(const Image& input, double radius)
{
    ApplyOptions options;
    options.definition = input.definition().extent().insetBy(-radius, -radius);
    options.regionOfInterest = [radius](int, const Rect& r) { return r.insetBy(-radius, -radius); };
    return boxBlur().apply({QVariant::fromValue(input), radius}, options);
}

} // namespace

TEST(Render, BitmapRowsRunTopDownAndCoordinatesUp)
{
    const Image image = Image::fromBitmap(marker(5, 3));
    EXPECT_EQ(image.extent(), Rect(0, 0, 5, 3));
    const Bitmap out = renderFloat(image, Rect(0, 0, 5, 3));
    ASSERT_FALSE(out.isNull());
    expectPixel(out, 0, 0, {0, 0, 0.5f, 1});
    expectPixel(out, 4, 2, {4 / 64.0f, 2 / 64.0f, 0.5f, 1});
    // Row 0 of the bitmap is the top (y = 2).
    float top[4];
    out.pixel(1, 0, top);
    EXPECT_FLOAT_EQ(top[1], 2 / 64.0f);
}

TEST(Render, OutsideTheDomainIsTransparent)
{
    const Image image = Image::fromBitmap(marker(4, 4));
    const Bitmap out = renderFloat(image, Rect(-2, -2, 8, 8));
    expectPixel(out, 0, 0, {0, 0, 0, 0});
    expectPixel(out, 7, 7, {0, 0, 0, 0});
    expectPixel(out, 2, 2, {0, 0, 0.5f, 1});
    expectPixel(out, 5, 5, {3 / 64.0f, 3 / 64.0f, 0.5f, 1});
}

TEST(Render, TransformsMoveRotateAndScaleWithBoundingExtents)
{
    const Image image = Image::fromBitmap(marker(4, 2));
    const Image moved = image.imageByApplyingTransform(AffineTransform::translation(10, -3));
    EXPECT_EQ(moved.extent(), Rect(10, -3, 4, 2));
    expectPixel(renderFloat(moved, Rect(10, -3, 4, 2)), 3, 1, {3 / 64.0f, 1 / 64.0f, 0.5f, 1});

    // A quarter turn: (x, y) -> (-y, x). Source pixel (3, 0) lands at x in [-1, 0), y in [3, 4).
    const Image turned = image.imageByApplyingTransform(AffineTransform::rotation(M_PI / 2));
    EXPECT_EQ(turned.extent(), Rect(-2, 0, 2, 4));
    const Bitmap out = renderFloat(turned, turned.extent());
    expectPixel(out, 1, 3, {3 / 64.0f, 0, 0.5f, 1});
    expectPixel(out, 0, 0, {0, 1 / 64.0f, 0.5f, 1});

    // Doubling: bilinear between the source pixel centres.
    const Image doubled = image.imageByApplyingTransform(AffineTransform::scale(2, 2));
    EXPECT_EQ(doubled.extent(), Rect(0, 0, 8, 4));
    const Bitmap big = renderFloat(doubled, Rect(0, 0, 8, 4));
    // Destination centre x = 3.5 samples source x = 1.75: between centres 1.5 and 2.5, weight 0.25.
    EXPECT_NEAR(at(big, 3, 1)[0], (1.0f + 0.25f) / 64.0f, 1e-5);
}

TEST(Render, CropClampAndCompositeKeepTheirExtents)
{
    const Image image = Image::fromBitmap(marker(8, 8));
    const Image cropped = image.imageByCroppingToRect(Rect(2, 3, 4, 10));
    EXPECT_EQ(cropped.extent(), Rect(2, 3, 4, 5));
    const Bitmap c = renderFloat(cropped, Rect(0, 0, 8, 8));
    expectPixel(c, 1, 4, {0, 0, 0, 0});
    expectPixel(c, 2, 3, {2 / 64.0f, 3 / 64.0f, 0.5f, 1});
    expectPixel(c, 5, 7, {5 / 64.0f, 7 / 64.0f, 0.5f, 1});
    expectPixel(c, 6, 7, {0, 0, 0, 0});

    const Image clamped = cropped.imageByClampingToExtent();
    EXPECT_TRUE(clamped.extent().isInfinite());
    const Bitmap k = renderFloat(clamped, Rect(-5, -5, 20, 20));
    expectPixel(k, 0, 0, {2 / 64.0f, 3 / 64.0f, 0.5f, 1});   // below-left corner: the corner pixel
    expectPixel(k, 19, 19, {5 / 64.0f, 7 / 64.0f, 0.5f, 1}); // above-right corner
    expectPixel(k, 5 + 4, 19, {4 / 64.0f, 7 / 64.0f, 0.5f, 1});

    // Source over: premultiplied top + bottom * (1 - top alpha).
    const Image top = Image::constantColor(Color(1, 0, 0, 0.25)).imageByCroppingToRect(Rect(0, 0, 2, 2));
    const Image bottom = Image::constantColor(Color(0, 0, 1, 1)).imageByCroppingToRect(Rect(1, 1, 3, 3));
    const Image over = top.imageByCompositingOverImage(bottom);
    EXPECT_EQ(over.extent(), Rect(0, 0, 4, 4));
    const Bitmap o = renderFloat(over, Rect(0, 0, 4, 4));
    expectPixel(o, 0, 0, {0.25f, 0, 0, 0.25f});
    expectPixel(o, 1, 1, {0.25f, 0, 0.75f, 1});
    expectPixel(o, 3, 3, {0, 0, 1, 1});
    expectPixel(o, 0, 3, {0, 0, 0, 0});
}

TEST(Render, SamplersClampAndReadNearest)
{
    const Image image = Image::fromBitmap(marker(4, 4));
    const Kernel shifted =
        kernel("kernel vec4 k(sampler s, vec2 offset) { return sample(s, samplerCoord(s) + offset); }");
    ApplyOptions options;
    options.definition = Rect(0, 0, 4, 4);
    // Transparent outside by default; the clamp mode repeats the edge.
    const Bitmap transparent = renderFloat(
        shifted.apply({QVariant::fromValue(Sampler(image)), QVariant::fromValue(Vector(3, 0))}, options),
        Rect(0, 0, 4, 4));
    expectPixel(transparent, 3, 0, {0, 0, 0, 0});
    expectPixel(transparent, 0, 0, {3 / 64.0f, 0, 0.5f, 1});
    const Sampler clamped(image, Sampler::FilterMode::Linear, Sampler::WrapMode::Clamp);
    const Bitmap edge =
        renderFloat(shifted.apply({QVariant::fromValue(clamped), QVariant::fromValue(Vector(3, 0))}, options),
                    Rect(0, 0, 4, 4));
    expectPixel(edge, 3, 1, {3 / 64.0f, 1 / 64.0f, 0.5f, 1});

    // Half a pixel off the centres: linear averages two pixels, nearest picks one.
    const Sampler nearest(image, Sampler::FilterMode::Nearest);
    const Bitmap linear = renderFloat(
        shifted.apply({QVariant::fromValue(Sampler(image)), QVariant::fromValue(Vector(0.5, 0))}, options),
        Rect(0, 0, 4, 4));
    const Bitmap picked = renderFloat(
        shifted.apply({QVariant::fromValue(nearest), QVariant::fromValue(Vector(0.25, 0))}, options),
        Rect(0, 0, 4, 4));
    EXPECT_NEAR(at(linear, 1, 1)[0], 1.5f / 64.0f, 1e-5);
    EXPECT_NEAR(at(picked, 1, 1)[0], 1.0f / 64.0f, 1e-6);
}

TEST(Render, SamplerMatrixPlacesTheImage)
{
    const Image image = Image::fromBitmap(marker(4, 4));
    const Sampler placed(image, Sampler::FilterMode::Linear, Sampler::WrapMode::Transparent,
                         AffineTransform::translation(10, 20));
    EXPECT_EQ(placed.extent(), Rect(10, 20, 4, 4));
    const Kernel read = kernel("kernel vec4 k(sampler s) { vec4 c = sample(s, samplerCoord(s));\n"
                               "  return vec4(c.rg, samplerCoord(s) - destCoord()); }");
    ApplyOptions options;
    options.setDefinition(QVariant::fromValue(placed));
    const Image out = read.apply({QVariant::fromValue(placed)}, options);
    EXPECT_EQ(out.extent(), Rect(10, 20, 4, 4));
    const Bitmap bitmap = renderFloat(out, out.extent());
    expectPixel(bitmap, 2, 3, {2 / 64.0f, 3 / 64.0f, -10, -20});
}

TEST(Render, TiledRenderEqualsUntiledRender)
{
    // A neighbourhood kernel over a transformed, cropped source, composited: every region of
    // interest and folded transform has to be right at the tile borders.
    const Image source = Image::fromBitmap(randomBitmap(300, 200, 7))
                             .imageByApplyingTransform(AffineTransform::translation(-20.0, 13.0))
                             .imageByCroppingToRect(Rect(-10, 15, 260, 190));
    const Image recipe =
        blurred(blurred(source, 3), 2).imageByCompositingOverImage(source.imageByClampingToExtent());
    const Rect area(-30, 0, 310, 220);

    RenderContext whole(QStringLiteral("untiled"));
    RenderContext tiled(QStringLiteral("tiled"));
    tiled.setMaximumTileSize(37);
    const auto a = whole.render(recipe, area, Bitmap::Format::RGBAf);
    const auto b = tiled.render(recipe, area, Bitmap::Format::RGBAf);
    ASSERT_TRUE(a && b);
    EXPECT_LT(largestDifference(*a, *b), 1e-5f);

    const auto a8 = whole.render(recipe, area, Bitmap::Format::RGBA8);
    const auto b8 = tiled.render(recipe, area, Bitmap::Format::RGBA8);
    ASSERT_TRUE(a8 && b8);
    EXPECT_EQ(0, std::memcmp(a8->data(), b8->data(), a8->byteCount()));
}

TEST(Render, BlurMatchesAReferenceLoop)
{
    const Bitmap input = randomBitmap(40, 30, 3);
    const Bitmap out = renderFloat(blurred(Image::fromBitmap(input), 2), Rect(0, 0, 40, 30));
    for (int y : {0, 7, 29})
        for (int x : {0, 13, 39}) {
            std::array<float, 4> sum{};
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const auto p = at(input, std::clamp(x + dx, -1, 40), std::clamp(y + dy, -1, 30));
                    const bool inside = x + dx >= 0 && x + dx < 40 && y + dy >= 0 && y + dy < 30;
                    for (int i = 0; i < 4; ++i)
                        sum[size_t(i)] += inside ? p[size_t(i)] : 0.0f;
                }
            for (float& v : sum)
                v /= 25.0f;
            expectPixel(out, x, y, sum);
        }
}

TEST(Render, DownscalingByMoreThanTwoDoesNotAlias)
{
    // One-pixel stripes: reduced eight times they must average to grey, not to one of the stripes.
    const Image stripes = Image::fromBitmap(makeFloatBitmap(256, 64, [](int x, int) {
        const float v = float(x % 2);
        return std::array<float, 4>{v, v, v, 1};
    }));
    const Bitmap small = renderFloat(stripes.imageByApplyingTransform(AffineTransform::scale(0.125, 0.125)),
                                     Rect(0, 0, 32, 8));
    for (int x = 1; x < 31; x += 5)
        EXPECT_NEAR(at(small, x, 4)[0], 0.5f, 0.05f) << x;
}

TEST(Render, OutputFormatsCompositeOverBlackAndTakeLuminance)
{
    const Image image = Image::constantColor(Color(1, 0.5, 0, 0.5)).imageByCroppingToRect(Rect(0, 0, 2, 2));
    const auto rgba = context().render(image, Rect(0, 0, 2, 2), Bitmap::Format::RGBA8);
    ASSERT_TRUE(rgba);
    EXPECT_EQ(rgba->data()[0], 128);
    EXPECT_EQ(rgba->data()[1], 64);
    EXPECT_EQ(rgba->data()[3], 128);
    const auto grey = context().render(image, Rect(0, 0, 2, 2), Bitmap::Format::Grayf);
    ASSERT_TRUE(grey);
    float v;
    std::memcpy(&v, grey->data(), 4);
    EXPECT_NEAR(v, 0.2126f * 0.5f + 0.7152f * 0.25f, 1e-6);
}

TEST(Render, ContextsOnSeveralThreadsRenderAtOnce)
{
    const Image recipe = blurred(Image::fromBitmap(randomBitmap(200, 150, 11)), 3);
    const auto expected = context().render(recipe, Rect(0, 0, 200, 150), Bitmap::Format::RGBA8);
    ASSERT_TRUE(expected);
    std::vector<std::thread> threads;
    std::vector<int> same(3, 0);
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            RenderContext own(QStringLiteral("worker"));
            for (int i = 0; i < 4; ++i) {
                auto out = own.render(recipe, Rect(0, 0, 200, 150), Bitmap::Format::RGBA8);
                same[size_t(t)] += out && std::memcmp(out->data(), expected->data(), out->byteCount()) == 0;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(same, (std::vector<int>{4, 4, 4}));
}

TEST(Render, FailuresReturnNothingAndSayWhy)
{
    LogCapture capture;
    EXPECT_FALSE(context().render(Image(), Rect(0, 0, 4, 4)));
    EXPECT_FALSE(context().render(Image::constantColor(Color(1, 1, 1)), Rect::infinite()));
    EXPECT_EQ(capture.lines().size(), 2);
}

TEST(Render, HalfPixelEdgesFollowOneConventionOnBothAxes)
{
    // Each case runs along x and along y with the same numbers: a pixel is a sample at its centre, y
    // grows upward, and a point on the border between two pixels belongs to the one above or right.
    struct Along
    {
        const char* axis;
        bool y;
    };
    for (const Along along : {Along{"x", false}, Along{"y", true}}) {
        SCOPED_TRACE(along.axis);
        auto point = [&](double a, double b) { return along.y ? Vector(b, a) : Vector(a, b); };
        auto pixel = [&](const Bitmap& out, int a, int b) { return along.y ? at(out, b, a) : at(out, a, b); };

        // Four opaque pixels moved half a pixel along the axis: both half-covered ends show half.
        const Bitmap four = makeFloatBitmap(along.y ? 1 : 4, along.y ? 4 : 1, [](int, int) {
            return std::array<float, 4>{1, 1, 1, 1};
        });
        const Vector shift = point(0.5, 0);
        const Image moved = Image::fromBitmap(four).imageByApplyingTransform(
            AffineTransform::translation(shift.x(), shift.y()));
        const Bitmap spread = renderFloat(moved, along.y ? Rect(0, 0, 1, 5) : Rect(0, 0, 5, 1));
        ASSERT_FALSE(spread.isNull());
        EXPECT_NEAR(pixel(spread, 0, 0)[3], 0.5f, 1e-6);
        EXPECT_NEAR(pixel(spread, 2, 0)[3], 1.0f, 1e-6);
        EXPECT_NEAR(pixel(spread, 4, 0)[3], 0.5f, 1e-6);

        // Nearest reads exactly between pixel centres take the higher pixel.
        const Image ramp = Image::fromBitmap(makeFloatBitmap(4, 4, [&](int x, int y) {
            const float v = float(along.y ? y : x) / 4.0f;
            return std::array<float, 4>{v, v, v, 1};
        }));
        const Kernel shifted =
            kernel("kernel vec4 k(sampler s, vec2 offset) { return sample(s, samplerCoord(s) + offset); }");
        const Bitmap ties =
            renderFloat(shifted.apply({QVariant::fromValue(Sampler(ramp, Sampler::FilterMode::Nearest)),
                                       QVariant::fromValue(point(0.5, 0))},
                                      {Rect(0, 0, 4, 4), std::nullopt, nullptr}),
                        Rect(0, 0, 4, 4));
        EXPECT_NEAR(pixel(ties, 1, 2)[0], 2 / 4.0f, 1e-6);
    }

    // One pixel moved by half a pixel both ways covers a quarter of each of four pixels.
    const Image dot = Image::fromBitmap(makeFloatBitmap(1, 1, [](int, int) {
                          return std::array<float, 4>{1, 1, 1, 1};
                      })).imageByApplyingTransform(AffineTransform::translation(0.5, 0.5));
    const Bitmap quarters = renderFloat(dot, Rect(0, 0, 2, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_NEAR(at(quarters, x, y)[3], 0.25f, 1e-6) << x << "," << y;
}

TEST(Render, SourcesWiderThanATextureRenderAtAnyScale)
{
    // 30000 x 2000 is wider than any texture here: each tile reads its part, and a strong reduction
    // has its tiles split until every part fits. The picture is smooth, so every way of averaging
    // it gives the value at the point sampled.
    constexpr int W = 30000, H = 2000;
    auto value = [](double x, double y) {
        return std::array<double, 3>{x / W, y / H, 0.5 + 0.4 * std::sin(2 * M_PI * x / 5000)};
    };
    Bitmap wide(W, H, Bitmap::Format::RGBA8, Bitmap::Fill::Uninitialized);
    for (int row = 0; row < H; ++row) {
        uint8_t* p = wide.mutableRow(row);
        for (int x = 0; x < W; ++x) {
            const auto v = value(x + 0.5, H - row - 0.5);
            for (int c = 0; c < 3; ++c)
                p[x * 4 + c] = uint8_t(std::lround(v[size_t(c)] * 255));
            p[x * 4 + 3] = 255;
        }
    }
    const Image source = Image::fromBitmap(wide);
    for (double scale : {1.0, 0.5, 0.1, 0.01}) {
        SCOPED_TRACE(scale);
        const Rect rect(0, 0, W * scale, H * scale);
        const auto out =
            context().render(source.imageByApplyingTransform(AffineTransform::scale(scale, scale)), rect,
                             Bitmap::Format::RGBA8);
        ASSERT_TRUE(out);
        float worst = 0;
        const int step = std::max(1, out->width() / 300);
        // Away from the ends, where the image's edge darkens a reduction that reaches past it.
        const int margin = scale < 0.5 ? 3 : 1;
        for (int y = margin; y < out->height() - margin; y += std::max(1, out->height() / 20))
            for (int x = margin; x < out->width() - margin; x += step) {
                const auto expected = value((x + 0.5) / scale, (y + 0.5) / scale);
                const auto got = at(*out, x, y);
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::abs(got[size_t(c)] - float(expected[size_t(c)])));
            }
        EXPECT_LT(worst, 2.5f / 255);
    }
}

TEST(Render, ReadsAtThePixelBeingComputedMatchBlendedReadsUnderEveryPlacement)
{
    // "sample(s, samplerCoord(s))" reads one texel where the placement keeps pixel centres on texel
    // centres; written any other way the same read blends four. Both must agree wherever the image is.
    const Kernel here = kernel("kernel vec4 k(sampler s) { return sample(s, samplerCoord(s)); }");
    const Kernel blended =
        kernel("kernel vec4 k(sampler s) { return sample(s, samplerCoord(s) + vec2(0.0, 0.0)); }");
    const Image source = Image::fromBitmap(randomBitmap(23, 17, 9));
    struct Case
    {
        const char* name;
        Image image;
    };
    const Case cases[] = {
        {"as it is", source},
        {"moved by whole pixels", source.imageByApplyingTransform(AffineTransform::translation(3, -2))},
        {"mirrored", source.imageByApplyingTransform(AffineTransform::scale(-1, 1).translated(-23, 0))},
        {"turned a quarter", source.imageByApplyingTransform(AffineTransform::rotation(M_PI / 2))},
        {"moved by half a pixel", source.imageByApplyingTransform(AffineTransform::translation(0.5, 0))},
        {"doubled", source.imageByApplyingTransform(AffineTransform::scale(2, 2))},
        {"clamped to whole pixels",
         source.imageByCroppingToRect(Rect(2, 3, 10, 8)).imageByClampingToExtent()},
        {"clamped to half pixels",
         source.imageByCroppingToRect(Rect(2.5, 3, 10, 8)).imageByClampingToExtent()},
    };
    const Rect area(-30, -30, 90, 80);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ApplyOptions options;
        options.definition = Rect::infinite();
        const Bitmap a = renderFloat(here.apply({QVariant::fromValue(c.image)}, options), area);
        const Bitmap b = renderFloat(blended.apply({QVariant::fromValue(c.image)}, options), area);
        ASSERT_FALSE(a.isNull() || b.isNull());
        float worst = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const auto p = at(a, x, y), q = at(b, x, y);
                for (int i = 0; i < 4; ++i)
                    worst = std::max(worst, std::abs(p[size_t(i)] - q[size_t(i)]));
            }
        EXPECT_LT(worst, 1e-6f);
    }
}

TEST(Render, AResultReadAgainIsItsPixelsTileByTile)
{
    // A new 8-bit result keeps its texture as the source of its bitmap: read again (here through a
    // kernel, in tiles of another size, after the bitmap was handed on) it must give its own pixels.
    RenderContext own(QStringLiteral("kept results"));
    own.setMaximumTileSize(37);
    const Image recipe = blurred(Image::fromBitmap(randomBitmap(130, 90, 4)), 2)
                             .imageByApplyingTransform(AffineTransform::translation(-7, 5));
    const Rect rect(-10, 0, 140, 100);
    const auto first = own.render(recipe, rect, Bitmap::Format::RGBA8);
    ASSERT_TRUE(first);
    const Kernel copy = kernel("kernel vec4 k(sampler s) { return sample(s, samplerCoord(s)); }");
    ApplyOptions options;
    options.definition = Rect(0, 0, 140, 100);
    own.setMaximumTileSize(50);
    const auto again = own.render(copy.apply({QVariant::fromValue(Image::fromBitmap(*first))}, options),
                                  Rect(0, 0, 140, 100), Bitmap::Format::RGBA8);
    ASSERT_TRUE(again);
    EXPECT_EQ(0, std::memcmp(first->data(), again->data(), first->byteCount()));
    // Written to afterwards, the bitmap is its own again: the kept texture shows the old pixels only
    // to those still holding them.
    Bitmap changed = *first;
    std::memset(changed.mutableData(), 0, changed.byteCount());
    const auto cleared = own.render(copy.apply({QVariant::fromValue(Image::fromBitmap(changed))}, options),
                                    Rect(0, 0, 140, 100), Bitmap::Format::RGBA8);
    ASSERT_TRUE(cleared);
    EXPECT_EQ(0, std::memcmp(cleared->data(), changed.data(), changed.byteCount()));
}

TEST(Render, SixteenBitGreySourcesAreReadAtTheirFullPrecision)
{
    // Masks are 16-bit grey: every step of 1/65535 must come through, whether the source is one
    // texture or read in parts (wider than a texture), and a reduction must average as floats would.
    for (int width : {300, 20000}) {
        Bitmap grey(width, 2, Bitmap::Format::Gray16);
        for (int y = 0; y < 2; ++y) {
            auto* row = reinterpret_cast<uint16_t*>(grey.mutableRow(y));
            for (int x = 0; x < width; ++x)
                row[x] = uint16_t((x * 37 + y * 11) % 65536);
        }
        const auto read =
            context().render(Image::fromBitmap(grey), Rect(0, 0, width, 2), Bitmap::Format::Grayf);
        ASSERT_TRUE(read) << width;
        float worst = 0;
        for (int y = 0; y < 2; ++y) {
            const auto* got = reinterpret_cast<const float*>(read->row(y));
            const auto* want = reinterpret_cast<const uint16_t*>(grey.row(y));
            for (int x = 0; x < width; ++x)
                worst = std::max(worst, std::abs(got[x] - float(want[x]) / 65535.0f));
        }
        EXPECT_LT(worst * 65535, 0.01f) << width << " pixels wide";
    }

    Bitmap ramp(256, 256, Bitmap::Format::Gray16);
    for (int y = 0; y < 256; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(ramp.mutableRow(y));
        for (int x = 0; x < 256; ++x)
            row[x] = uint16_t(x * 200 + y * 50);
    }
    const AffineTransform quarter = AffineTransform::scale(0.25, 0.25);
    const auto a = context().render(Image::fromBitmap(ramp).imageByApplyingTransform(quarter),
                                    Rect(0, 0, 64, 64), Bitmap::Format::Grayf);
    const auto b = context().render(
        Image::fromBitmap(ramp.converted(Bitmap::Format::Grayf)).imageByApplyingTransform(quarter),
        Rect(0, 0, 64, 64), Bitmap::Format::Grayf);
    ASSERT_TRUE(a && b);
    float worst = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            float p[4], q[4];
            a->pixel(x, y, p);
            b->pixel(x, y, q);
            worst = std::max(worst, std::abs(p[0] - q[0]));
        }
    EXPECT_LT(worst * 65535, 2.0f);
}

TEST(Render, ABitmapShownExactlyIsHandedBackWithoutACopy)
{
    const Bitmap photo = randomBitmap(40, 30, 3).converted(Bitmap::Format::RGBA8);
    const Image moved =
        Image::fromBitmap(photo).imageByApplyingTransform(AffineTransform::translation(5, -2));
    struct Case
    {
        const char* name;
        Image image;
        Rect rect;
        Bitmap::Format format;
        bool shared;
    };
    const Case cases[] = {
        {"the bitmap itself", Image::fromBitmap(photo), Rect(0, 0, 40, 30), Bitmap::Format::RGBA8, true},
        {"moved, read where it lies", moved, Rect(5, -2, 40, 30), Bitmap::Format::RGBA8, true},
        {"a part of it", Image::fromBitmap(photo), Rect(0, 0, 20, 30), Bitmap::Format::RGBA8, false},
        {"beyond its edge", moved, Rect(0, 0, 40, 30), Bitmap::Format::RGBA8, false},
        {"in another format", Image::fromBitmap(photo), Rect(0, 0, 40, 30), Bitmap::Format::RGBAf, false},
    };
    for (const Case& c : cases) {
        auto out = context().render(c.image, c.rect, c.format);
        ASSERT_TRUE(out) << c.name;
        EXPECT_EQ(out->identity() == photo.identity(), c.shared) << c.name;
        // Whatever the result shares, writing it leaves the photo as it was.
        const std::vector<uint8_t> before(photo.data(), photo.data() + photo.byteCount());
        std::memset(out->mutableData(), 0, out->byteCount());
        EXPECT_EQ(0, std::memcmp(before.data(), photo.data(), photo.byteCount())) << c.name;
    }
}

// A composed view is kept as floats and shown as bytes: the conversion is made from memory, with no
// upload and pass (tens of milliseconds on a software rasterizer), and rounds as any render to bytes.
TEST(Render, FloatPixelsShownAsBytesAreConvertedWithoutAPass)
{
    Bitmap pixels = randomBitmap(37, 21, 5);
    // Values a render may hold beyond the unit range, and exactly between two levels.
    auto* first = reinterpret_cast<float*>(pixels.mutableRow(0));
    first[0] = -0.25f, first[1] = 1.5f, first[2] = 0.5f / 255.0f, first[3] = 128.5f / 255.0f;
    const Image image = Image::fromBitmap(pixels);
    const Image moved = image.imageByApplyingTransform(AffineTransform::translation(-4, 3));
    struct Case
    {
        const char* name;
        Image image;
        Rect rect;
        int dx, dy; // where the rectangle's lower-left pixel lies in the bitmap
    };
    const Case cases[] = {
        {"the whole bitmap", image, Rect(0, 0, 37, 21), 0, 0},
        {"a part of it", image, Rect(5, 2, 20, 9), 5, 2},
        {"moved, reaching beyond its edges", moved, Rect(-6, 0, 40, 26), -2, -3},
    };
    for (const Case& c : cases) {
        RenderStatistics::resetPasses();
        const auto out = context().render(c.image, c.rect, Bitmap::Format::RGBA8);
        ASSERT_TRUE(out) << c.name;
        EXPECT_EQ(RenderStatistics::passes(), 0u) << c.name;
        for (int y = 0; y < out->height(); ++y)
            for (int x = 0; x < out->width(); ++x) {
                const int sx = x + c.dx, sy = y + c.dy;
                const bool inside = sx >= 0 && sx < 37 && sy >= 0 && sy < 21;
                const std::array<float, 4> want = inside ? at(pixels, sx, sy) : std::array<float, 4>{};
                const uint8_t* got = out->row(out->height() - 1 - y) + size_t(x) * 4;
                for (int i = 0; i < 4; ++i) {
                    const float v = std::clamp(want[size_t(i)], 0.0f, 1.0f);
                    ASSERT_EQ(got[i], uint8_t(v * 255.0f + 0.5f)) << c.name << " at " << x << "," << y;
                }
            }
    }
}

namespace {

// Work another thread is still doing when the program ends, each forever; `exitWorkDone` counts rounds.
std::atomic<int> exitWorkDone{0};

[[noreturn]] void compilingPrograms()
{
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Never);
    RenderContext own(QStringLiteral("exiting"));
    const Image source = Image::fromBitmap(randomBitmap(64, 64, 5));
    for (int i = 1;; ++i) {
        // A constant of its own makes each kernel a program to compile.
        const QByteArray text =
            QStringLiteral("kernel vec4 k(sampler s) { return sample(s, samplerCoord(s)) * %1; }")
                .arg(1.0 + i * 1e-3, 0, 'f', 4)
                .toUtf8();
        (void)own.render(kernel(text.constData()).apply({QVariant::fromValue(source)}), Rect(0, 0, 64, 64),
                         Bitmap::Format::RGBA8);
        ++exitWorkDone;
    }
}

[[noreturn]] void parsingKernelTexts()
{
    for (int i = 1;; ++i) {
        // Every kind of parameter, and the sampler's functions; a text of its own each time.
        const QString text =
            QStringLiteral("kernel vec4 k%1(sampler s, float a, vec2 b, vec3 c, vec4 d, __color e)"
                           " { return sample(s, samplerCoord(s) + b) * a + e * "
                           "samplerExtent(s).x + d * c.x; }")
                .arg(i);
        (void)Kernel::kernelsWithString(text, QStringLiteral("exiting"));
        ++exitWorkDone;
    }
}

[[noreturn]] void applyingTheEnginesFilters()
{
    registerBuiltinFilters();
    RenderContext own(QStringLiteral("exiting"));
    const Image source = Image::fromBitmap(randomBitmap(48, 40, 7));
    const QStringList names = Filter::registeredNames();
    for (;;) {
        for (const QString& name : names) {
            const auto filter = Filter::create(name);
            filter->setDefaults();
            // Images as images; colours and vectors as the texts effects store.
            for (const QString& key : filter->inputKeys()) {
                if (key.endsWith(QLatin1String("Image")))
                    filter->setValue(QVariant::fromValue(source), key);
                else if (key == QLatin1String("inputColor"))
                    filter->setValue(QStringLiteral("0.2 0.4 0.6 1"), key);
                else if (key == QLatin1String("inputCenter"))
                    filter->setValue(QStringLiteral("[24 20]"), key);
            }
            const Image out = filter->outputImage();
            if (!out.isNull())
                (void)own.render(out, Rect(0, 0, 48, 40), Bitmap::Format::RGBA8);
        }
        ++exitWorkDone;
    }
}

} // namespace

// The program ends while another thread still works with the engine (a measurement nobody waits for, a
// preview on a queue): the exit waits for a program being compiled, everything such a thread may reach
// outlives it, and the program ends cleanly every time.
TEST(Render, AnExitWhileAnotherThreadWorksEndsCleanly)
{
    const struct
    {
        const char* name;
        void (*work)();
    } works[] = {
        {"compiling programs", compilingPrograms},
        {"parsing kernel texts", parsingKernelTexts},
        {"applying the engine's filters", applyingTheEnginesFilters},
    };
    constexpr const char* child = "PF_TEST_EXIT_WHILE_WORKING";
    if (qEnvironmentVariableIsSet(child)) {
        const int which = qEnvironmentVariableIntValue(child);
        ASSERT_TRUE(which >= 0 && which < int(std::size(works)));
        std::thread(works[which].work).detach();
        while (exitWorkDone < 2)
            std::this_thread::yield();
        return; // the process ends as every program does, the work still going
    }
    for (int which = 0; which < int(std::size(works)); ++which) {
        for (int round = 0; round < 3; ++round) {
            ChildProcess process;
            ASSERT_TRUE(process.start(
                QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=Render.AnExitWhileAnotherThreadWorksEndsCleanly")},
                {{QString::fromLatin1(child), QString::number(which)}}));
            ASSERT_TRUE(process.waitForFinished(60000));
            EXPECT_EQ(process.exitCode(), 0)
                << works[which].name << ", round " << round << ": " << process.errors().toStdString();
        }
    }
}
