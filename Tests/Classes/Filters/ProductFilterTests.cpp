#include "BlendReference.h"
#include "FilterTestSupport.h"

#include "Platform/Image/Color.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace blendref;

namespace {

Image solid(int width, int height, const std::array<float, 4>& c)
{
    return floatImage(width, height, [&](int, int) { return c; });
}

// The forward conversion of the YUV pair, written out here: full-range BT.601 on straight colour.
RGB toYuv(const RGB& c)
{
    const double y = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
    return {y, 0.492 * (c[2] - y) + 0.5, 0.877 * (c[0] - y) + 0.5};
}

} // namespace

TEST(ProductFilters, SetColorChannelMovesThePickedChannelsToTheIntensity)
{
    const Grid g = grid(gridSamples());
    FilterPtr filter = Filter::create("GMsetColorChannelFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputIntensity").toDouble(), 0.5);
    EXPECT_EQ(filter->value("inputColor").value<Color>(), Color(0, 0, 0, 1));
    filter->setValue(QVariant::fromValue(at(g.top, 10, 20)), "inputImage");
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, g.size(), g.size()));
    filter->setValue(QVariant::fromValue(g.top), "inputImage");
    // Black picks nothing: the defaults leave the image as it is.
    EXPECT_LT(worstError(output(filter), g, [](const Pixel& s, const Pixel&) { return s; }), 1e-6);
    // Red fully, blue by half (a half-transparent colour moves half as far).
    filter->setValue(QVariant::fromValue(Color(1, 0, 0.5, 1)), "inputColor");
    filter->setValue(0.8, "inputIntensity");
    EXPECT_LT(worstError(output(filter), g,
                         [](const Pixel& s, const Pixel&) {
                             const RGB c = straight(s);
                             return premultiplied({0.8, c[1], c[2] + (0.8 - c[2]) * 0.5}, s[3]);
                         }),
              1e-6);
    filter->setValue(QVariant::fromValue(Color(1, 1, 1, 0.5)), "inputColor");
    EXPECT_LT(
        worstError(output(filter), g,
                   [](const Pixel& s, const Pixel&) {
                       const RGB c = straight(s);
                       return premultiplied({(c[0] + 0.8) / 2, (c[1] + 0.8) / 2, (c[2] + 0.8) / 2}, s[3]);
                   }),
        1e-6);
}

TEST(ProductFilters, SubtractImagesKeepsThePlaceAndTheFirstAlpha)
{
    const Grid g = grid(gridSamples());
    FilterPtr filter = Filter::create("GMSubtractImagesFilter");
    ASSERT_TRUE(filter);
    filter->setValue(QVariant::fromValue(g.top), "inputImage");
    EXPECT_FALSE(filter->value("outputImage").isValid());
    filter->setValue(QVariant::fromValue(g.bottom), "inputSubImage");
    EXPECT_LT(worstError(output(filter), g,
                         [](const Pixel& s, const Pixel& b) {
                             const RGB ci = straight(s), cs = straight(b);
                             return premultiplied({ci[0] - cs[0], ci[1] - cs[1], ci[2] - cs[2]}, s[3]);
                         }),
              1e-6);
    filter->setValue(QVariant::fromValue(at(marker(100, 50), 10, 20)), "inputImage");
    EXPECT_EQ(output(filter).extent(), Rect(10, 20, 100, 50));
}

TEST(ProductFilters, VignetteMaskFallsOffToTheCornersAndTheCompositionDarkens)
{
    FilterPtr mask = Filter::create("GMvignetteMaskFilter");
    ASSERT_TRUE(mask);
    mask->setDefaults();
    EXPECT_EQ(mask->value("inputIntensity").toDouble(), 0.0);
    mask->setValue(QVariant::fromValue(at(marker(100, 50), 10, 20)), "inputImage");
    EXPECT_EQ(output(mask).extent(), Rect(0, 0, 100, 50));
    mask->setValue(QVariant::fromValue(marker(100, 50)), "inputImage");
    mask->setValue(0.6, "inputIntensity");
    const Image m = output(mask);
    const Pixels p = render(m, m.extent());
    // Pixel centres: (x + 0.5, y + 0.5) against the centre (50, 25) and half size (50, 25).
    auto expected = [](int x, int y) {
        const double dx = (x + 0.5 - 50) / 50, dy = (y + 0.5 - 25) / 25;
        return 1 - 0.6 * (dx * dx + dy * dy) / 2;
    };
    for (auto [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {49, 24}, {99, 49}, {70, 10}, {3, 40}}) {
        const std::array<float, 4> c = p.at(x, y);
        EXPECT_NEAR(c[0], expected(x, y), 1e-5) << x << ", " << y;
        EXPECT_EQ(c[0], c[1]);
        EXPECT_EQ(c[0], c[2]);
        EXPECT_EQ(c[3], 1.0f);
    }
    EXPECT_LT(tiledDifference(m, m.extent()), 1e-6f);

    FilterPtr composition = Filter::create("GMvignetteCompositionFilter");
    ASSERT_TRUE(composition);
    const Image image = randomImage(100, 50, 7);
    composition->setValue(QVariant::fromValue(image), "inputImage");
    composition->setValue(QVariant::fromValue(m), "inputMask");
    const Pixels in = render(image, Rect(0, 0, 100, 50));
    const Pixels out = render(output(composition), Rect(0, 0, 100, 50));
    for (auto [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {49, 24}, {70, 10}}) {
        for (size_t i = 0; i < 3; ++i)
            EXPECT_NEAR(out.at(x, y)[i], in.at(x, y)[i] * expected(x, y), 1e-5);
        EXPECT_EQ(out.at(x, y)[3], in.at(x, y)[3]);
    }
}

TEST(ProductFilters, YUVToRGBInvertsTheForwardConversion)
{
    const std::vector<Pixel> samples = gridSamples();
    const int n = int(samples.size());
    // The YUV of every grid colour, stored premultiplied like any working value.
    const Image yuv = floatImage(n, 1, [&](int x, int) {
        const Pixel& p = samples[size_t(x)];
        const RGB c = toYuv(straight(p));
        return std::array<float, 4>{float(c[0] * p[3]), float(c[1] * p[3]), float(c[2] * p[3]), float(p[3])};
    });
    FilterPtr filter = Filter::create("GMYUV2RGBFilter");
    ASSERT_TRUE(filter);
    filter->setValue(QVariant::fromValue(at(yuv, 4, 9)), "inputImage");
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, n, 1));
    filter->setValue(QVariant::fromValue(yuv), "inputImage");
    const Pixels p = render(output(filter), Rect(0, 0, n, 1));
    for (int x = 0; x < n; ++x)
        for (size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(p.at(x, 0)[i], samples[size_t(x)][i], 2e-6) << x;
}

TEST(ProductFilters, RemoveHighlightsDarkensTowardTheBackgroundOverTheUnionOfBoth)
{
    const Grid g = grid(gridSamples());
    FilterPtr filter = Filter::create("GMRemoveHighlights");
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->inputKeys(), (QStringList{"inputImage", "inputBackgroundImage", "inputIntensity"}));
    filter->setValue(QVariant::fromValue(g.top), "inputImage");
    filter->setValue(QVariant::fromValue(g.bottom), "inputBackgroundImage");
    // No intensity yet: the image laid over the background as it is.
    EXPECT_LT(worstError(output(filter), g, sourceOver), 1e-6);
    for (double t : {1.0, 0.4}) {
        filter->setValue(t, "inputIntensity");
        const Composite removed =
            general(perChannel([t](double cb, double cs) { return cs + (std::min(cs, cb) - cs) * t; }));
        EXPECT_LT(worstError(output(filter), g, removed), 1e-6) << t;
    }
    filter->setValue(QVariant::fromValue(solid(100, 100, {0.9f, 0.9f, 0.9f, 1})), "inputImage");
    filter->setValue(QVariant::fromValue(at(solid(100, 100, {0.2f, 0.4f, 0.6f, 1}), 50, 50)),
                     "inputBackgroundImage");
    const Image out = output(filter);
    EXPECT_EQ(out.extent(), Rect(0, 0, 150, 150));
    EXPECT_EQ(out.definition().extent(), Rect(0, 0, 150, 150));
    const Pixels p = render(out, out.extent());
    EXPECT_NEAR(p.at(10, 10)[0], 0.9f, 1e-6);   // image only
    EXPECT_NEAR(p.at(140, 140)[0], 0.2f, 1e-6); // background only
    EXPECT_NEAR(p.at(75, 75)[1], 0.9f + (0.4f - 0.9f) * 0.4f, 1e-6);
    filter->setValue(QVariant(), "inputBackgroundImage");
    EXPECT_FALSE(filter->value("outputImage").isValid());
}
