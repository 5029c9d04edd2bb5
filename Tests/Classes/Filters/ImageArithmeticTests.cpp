#include "BlendReference.h"
#include "FilterTestSupport.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace blendref;

namespace {

FilterPtr twoImages(const char* name, const Image& image, const char* otherKey, const Image& other)
{
    FilterPtr filter = Filter::create(name);
    if (!filter)
        return filter;
    filter->setDefaults();
    filter->setValue(QVariant::fromValue(image), "inputImage");
    filter->setValue(QVariant::fromValue(other), otherKey);
    return filter;
}

} // namespace

TEST(ImageArithmeticFilters, DivisionByThePatternIsUndoneByMultiplicationAndStaysFinite)
{
    const Grid g = grid(gridSamples());
    const Image ratio = output(twoImages("GMDivideImagesFilter", g.top, "inputPatternImage", g.bottom));
    // Per channel on straight colours, alpha of the image; the pattern held at least 1/255 above 0.
    EXPECT_LT(worstError(ratio, g,
                         [](const Pixel& s, const Pixel& b) {
                             const RGB ci = straight(s), cp = straight(b);
                             RGB out;
                             for (int i = 0; i < 3; ++i)
                                 out[size_t(i)] = ci[size_t(i)] / std::max(cp[size_t(i)], 1.0 / 255);
                             return premultiplied(out, s[3]);
                         }),
              1e-4);
    const Image product = output(twoImages("GMMultiplyImagesFilter", g.top, "inputPatternImage", g.bottom));
    EXPECT_LT(worstError(product, g,
                         [](const Pixel& s, const Pixel& b) {
                             const RGB ci = straight(s), cp = straight(b);
                             return premultiplied({ci[0] * cp[0], ci[1] * cp[1], ci[2] * cp[2]}, s[3]);
                         }),
              2e-6);
    // Where the pattern has no channel below 1/255 the round trip gives the image back.
    const Image pattern = floatImage(8, 8, [](int x, int y) {
        return std::array<float, 4>{0.1f + 0.1f * float(x), 1.0f / 255 + 0.05f * float(y), 0.9f, 1};
    });
    const Image image = randomImage(8, 8, 3);
    const Image back =
        output(twoImages("GMMultiplyImagesFilter",
                         output(twoImages("GMDivideImagesFilter", image, "inputPatternImage", pattern)),
                         "inputPatternImage", pattern));
    const Pixels original = render(image, Rect(0, 0, 8, 8));
    const Pixels restored = render(back, Rect(0, 0, 8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            for (size_t i = 0; i < 4; ++i)
                EXPECT_NEAR(restored.at(x, y)[i], original.at(x, y)[i], 1e-5);
}

TEST(ImageArithmeticFilters, PatternsAreReadNearestAndClampedWithTheImagesPlace)
{
    // A 2 x 1 pattern under a 6 x 4 image at (20, 30): left of the pattern's middle its first pixel,
    // right of it (and beyond its edge) its second.
    const Image image = at(floatImage(6, 4,
                                      [](int, int) {
                                          return std::array<float, 4>{0.5f, 0.5f, 0.5f, 1};
                                      }),
                           20, 30);
    const Image pattern = at(floatImage(2, 1,
                                        [](int x, int) {
                                            return x == 0 ? std::array<float, 4>{0.25f, 0.25f, 0.25f, 1}
                                                          : std::array<float, 4>{1, 0.5f, 0.5f, 1};
                                        }),
                             20, 30);
    for (const char* name : {"GMDivideImagesFilter", "GMMultiplyImagesFilter"}) {
        const Image out = output(twoImages(name, image, "inputPatternImage", pattern));
        EXPECT_EQ(out.extent(), Rect(20, 30, 6, 4)) << name;
        const Pixels p = render(out, out.extent());
        const bool divide = QString(name) == "GMDivideImagesFilter";
        EXPECT_NEAR(p.at(20, 30)[0], divide ? 2.0f : 0.125f, 1e-6) << name;
        EXPECT_NEAR(p.at(25, 33)[0], divide ? 0.5f : 0.5f, 1e-6) << name;
        EXPECT_NEAR(p.at(25, 33)[1], divide ? 1.0f : 0.25f, 1e-6) << name;
        EXPECT_LT(tiledDifference(out, out.extent()), 1e-6f) << name;
    }
    // A black pattern divides to a large but finite ratio.
    const Image black = floatImage(1, 1, [](int, int) { return std::array<float, 4>{0, 0, 0, 1}; });
    const Pixels p = render(output(twoImages("GMDivideImagesFilter", image, "inputPatternImage", black)),
                            Rect(20, 30, 1, 1));
    EXPECT_NEAR(p.at(20, 30)[0], 0.5f * 255, 1e-3);
}

TEST(ImageArithmeticFilters, LinearBurnAndMinimumCompositingMixedByTheIntensity)
{
    const Grid g = grid(gridSamples());
    const Composite burn =
        general(perChannel([](double cb, double cs) { return std::max(0.0, cb + cs - 1); }));
    const Composite minimum = [](const Pixel& s, const Pixel& b) {
        return Pixel{std::min(s[0], b[0]), std::min(s[1], b[1]), std::min(s[2], b[2]), std::min(s[3], b[3])};
    };
    for (const auto& [name, full] : std::vector<std::pair<const char*, Composite>>{
             {"GMLinearBurnBlendModeFilter", burn}, {"GMMinimumCompositingFilter", minimum}}) {
        FilterPtr filter = twoImages(name, g.top, "inputBackgroundImage", g.bottom);
        EXPECT_EQ(filter->value("inputIntensity").toDouble(), 1.0) << name;
        for (double t : {1.0, 0.3, 0.0}) {
            filter->setValue(t, "inputIntensity");
            EXPECT_LT(
                worstError(output(filter), g,
                           [&](const Pixel& s, const Pixel& b) { return blendref::mix(b, full(s, b), t); }),
                2e-6)
                << name << " at " << t;
        }
    }
}

TEST(ImageArithmeticFilters, ExtentsAndDomains)
{
    const Image image = at(marker(10, 6), 20, 30);
    const Image background = marker(40, 50);
    const Image burn =
        output(twoImages("GMLinearBurnBlendModeFilter", image, "inputBackgroundImage", background));
    EXPECT_EQ(burn.extent(), Rect(0, 0, 10, 6));
    EXPECT_EQ(burn.definition().extent(), Rect(20, 30, 10, 6));
    // Defined over the background's domain, cut to the image's rectangle.
    const Image minimum =
        output(twoImages("GMMinimumCompositingFilter", image, "inputBackgroundImage", background));
    EXPECT_EQ(minimum.extent(), Rect(20, 30, 10, 6));
    EXPECT_EQ(minimum.definition().extent(), Rect(0, 0, 40, 50));
    FilterPtr null = Filter::create("GMNullFilter");
    null->setValue(QVariant::fromValue(image), "inputImage");
    EXPECT_EQ(output(null).extent(), Rect(0, 0, 10, 6));
    EXPECT_EQ(output(null).definition().extent(), Rect(0, 0, 10, 6));
    // The pass-through is exact.
    null->setValue(QVariant::fromValue(background), "inputImage");
    const Pixels in = render(background, Rect(0, 0, 40, 50));
    const Pixels through = render(output(null), Rect(0, 0, 40, 50));
    EXPECT_EQ(std::memcmp(in.bitmap.data(), through.bitmap.data(), in.bitmap.byteCount()), 0);
    // Missing second images give no image; empty ones are passed on.
    FilterPtr divide = twoImages("GMDivideImagesFilter", image, "inputPatternImage", Image());
    EXPECT_FALSE(divide->value("outputImage").isValid());
    divide->setValue(QVariant::fromValue(Image::emptyImage()), "inputPatternImage");
    EXPECT_EQ(output(divide).extent(), Rect(20, 30, 10, 6));
    FilterPtr empty =
        twoImages("GMMinimumCompositingFilter", Image::emptyImage(), "inputBackgroundImage", background);
    EXPECT_EQ(output(empty).extent(), Rect(0, 0, 0, 0));
}

TEST(ImageArithmeticFilters, InpaintingStepFillsTheHoleFromItsNeighbours)
{
    // A ramp with a hole in the middle: one step replaces the masked pixels by the mean of their four
    // neighbours and leaves the rest; repeated steps converge to the ramp (the harmonic fill).
    const int w = 16, h = 12;
    auto ramp = [](int x, int y) { return 0.05f * float(x) + 0.02f * float(y); };
    auto inHole = [](int x, int y) { return x >= 6 && x < 10 && y >= 4 && y < 8; };
    const Image holed = at(floatImage(w, h,
                                      [&](int x, int y) {
                                          const float v = inHole(x, y) ? 1.0f : ramp(x, y);
                                          return std::array<float, 4>{v, v, v, 1};
                                      }),
                           3, 5);
    const Image mask = at(floatImage(w, h,
                                     [&](int x, int y) {
                                         const float m = inHole(x, y) ? 1.0f : 0.0f;
                                         return std::array<float, 4>{m, m, m, 1};
                                     }),
                          3, 5);
    FilterPtr filter = Filter::create("GMInpaintingNoPatternFilter");
    ASSERT_TRUE(filter);
    filter->setValue(QVariant::fromValue(mask), "inputMaskImage");
    filter->setValue(2.0, "inputType");
    filter->setValue(QVariant::fromValue(holed), "inputImage");
    const Image once = output(filter);
    EXPECT_EQ(once.extent(), Rect(3, 5, w, h));
    EXPECT_LT(tiledDifference(once, once.extent()), 1e-6f);
    const Pixels p = render(once, once.extent());
    // (6, 4): left and below are outside the hole, right and above inside it.
    EXPECT_NEAR(p.at(3 + 6, 5 + 4)[0], (ramp(5, 4) + ramp(6, 3) + 1.0f + 1.0f) / 4, 1e-6);
    EXPECT_FLOAT_EQ(p.at(3 + 2, 5 + 2)[0], ramp(2, 2));

    Image current = holed;
    for (int i = 0; i < 60; ++i) {
        filter->setValue(QVariant::fromValue(current), "inputImage");
        current = output(filter);
    }
    const Pixels filled = render(current, current.extent());
    for (int y = 4; y < 8; ++y)
        for (int x = 6; x < 10; ++x)
            EXPECT_NEAR(filled.at(3 + x, 5 + y)[0], ramp(x, y), 2e-3) << x << ", " << y;
}
