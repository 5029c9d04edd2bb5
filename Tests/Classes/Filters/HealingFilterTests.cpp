#include "LibraryTestSupport.h"

#include "Platform/Foundation/Log.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

FilterPtr healing(const char* name, const Image& image, const char* key = "inputImage")
{
    FilterPtr filter = Filter::create(name);
    EXPECT_TRUE(filter) << name;
    filter->setDefaults();
    setImage(filter, image, key);
    return filter;
}

} // namespace

TEST(HealingFilters, DefaultsLeaveEveryInputEmpty)
{
    for (const char* name : {"GMCalcResiduumFilter", "GMAddImagesFilter", "GMAdaptPatternBiharmonicFilter",
                             "GMCleanScaledImageFilter"}) {
        FilterPtr filter = Filter::create(name);
        ASSERT_TRUE(filter) << name;
        filter->setDefaults();
        for (const QString& key : filter->inputKeys())
            EXPECT_FALSE(filter->value(key).isValid()) << name << " " << key.toStdString();
    }
}

TEST(GMCalcResiduumFilter, StraightPixelMinusItsCoverageWeightedGaussianMean)
{
    const Grid source = randomGrid(11, 9, 1, false);
    FilterPtr filter = healing("GMCalcResiduumFilter", source.image());
    const Grid expected = Grid::from(11, 9, [&](int x, int y) {
        double mean[4] = {};
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                const double w = std::exp(-(dx * dx + dy * dy) / 4.5);
                for (size_t c = 0; c < 4; ++c)
                    mean[c] += w * source.clamped(x + dx, y + dy)[c];
            }
        const Pixel p = straight(source.at(x, y));
        return premultiplied(Pixel{p[0] - float(mean[0] / mean[3]), p[1] - float(mean[1] / mean[3]),
                                   p[2] - float(mean[2] / mean[3]), p[3]});
    });
    EXPECT_LT(difference(Grid::rendered(output(filter), 11, 9), expected), 1e-5f);
    EXPECT_LT(tiledDifference(output(filter), Rect(0, 0, 11, 9)), 1e-5f);
    EXPECT_EQ(regionOf(output(filter), 0, Rect(0, 0, 100, 100)), Rect(-3, -3, 106, 106));

    // The extent keeps the input's size and truncates its origin.
    setImage(filter, marker(4, 4).imageByApplyingTransform(AffineTransform::translation(10.7, -3.2)));
    EXPECT_EQ(output(filter).extent(), Rect(10, -3, 4, 4));
}

TEST(GMAddImagesFilter, AddsStraightDetailInProportionToThePattern)
{
    const Grid pattern = Grid::from(6, 4, [](int x, int) {
        return x < 3 ? Pixel{0.2f, 0.3f, 0.4f, 1} : Pixel{0.1f, 0.15f, 0.2f, 0.5f};
    });
    // Larger than the pattern, and half transparent: its straight detail is twice its values.
    const Grid diff = Grid::from(9, 5, [](int, int) { return Pixel{0.05f, -0.05f, 0.1f, 0.5f}; });
    FilterPtr filter = healing("GMAddImagesFilter", pattern.image(), "inputPatternImage");
    setImage(filter, diff.image(), "inputDiffImage");
    const Image image = output(filter);
    EXPECT_EQ(image.extent(), Rect(0, 0, 6, 4));
    EXPECT_EQ(image.definition().extent(), Rect(0, 0, 9, 5));
    const Grid got = Grid::rendered(image, 6, 4);
    const Grid expected = Grid::from(6, 4, [&](int x, int y) {
        const Pixel& p = pattern.at(x, y);
        return Pixel{p[0] + 0.1f * p[3], p[1] - 0.1f * p[3], p[2] + 0.2f * p[3], p[3]};
    });
    EXPECT_LT(difference(got, expected), 1e-6f);
}

TEST(GMAdaptPatternBiharmonicFilter, OneDampedBiharmonicStepInsideTheMask)
{
    const Grid source = randomGrid(10, 8, 2);
    const Grid mask = Grid::from(10, 8, [](int x, int y) {
        const float m = (x >= 3 && x <= 6 && y >= 2 && y <= 5) ? (x == 3 ? 0.5f : 1.0f) : 0.0f;
        return Pixel{m, m, m, 1};
    });
    FilterPtr filter = healing("GMAdaptPatternBiharmonicFilter", source.image());
    setImage(filter, mask.image(), "inputMaskImage");
    const Grid expected = Grid::from(10, 8, [&](int x, int y) {
        Pixel out{};
        for (size_t c = 0; c < 4; ++c) {
            auto u = [&](int dx, int dy) { return source.clamped(x + dx, y + dy)[c]; };
            const float direct = u(1, 0) + u(-1, 0) + u(0, 1) + u(0, -1);
            const float diagonal = u(1, 1) + u(-1, 1) + u(1, -1) + u(-1, -1);
            const float far = u(2, 0) + u(-2, 0) + u(0, 2) + u(0, -2);
            const float target = (8 * direct - 2 * diagonal - far) / 20;
            const float stepped = u(0, 0) + 0.5f * (target - u(0, 0));
            out[c] = u(0, 0) + mask.at(x, y)[0] * (stepped - u(0, 0));
        }
        return out;
    });
    const Image image = output(filter);
    EXPECT_LT(difference(Grid::rendered(image, 10, 8), expected), 1e-5f);
    EXPECT_LT(tiledDifference(image, Rect(0, 0, 10, 8)), 1e-5f);
    EXPECT_EQ(regionOf(image, 1, Rect(0, 0, 100, 100)), Rect(-3, -3, 106, 106));
}

TEST(GMAdaptPatternBiharmonicFilter, RepeatedStepsRestoreARampInAHole)
{
    // A linear ramp solves the biharmonic equation, so the steps must converge back to it.
    const Grid ramp = Grid::from(12, 12, [](int x, int y) { return Pixel{0.05f * x, 0.04f * y, 0.5f, 1}; });
    Grid holed = ramp;
    const Grid mask = Grid::from(12, 12, [](int x, int y) {
        const float m = (x >= 5 && x <= 7 && y >= 5 && y <= 7) ? 1.0f : 0.0f;
        return Pixel{m, m, m, 1};
    });
    for (int y = 5; y <= 7; ++y)
        for (int x = 5; x <= 7; ++x)
            holed.at(x, y) = {0, 0, 0, 1};
    Image image = holed.image();
    FilterPtr filter = Filter::create("GMAdaptPatternBiharmonicFilter");
    setImage(filter, mask.image(), "inputMaskImage");
    for (int step = 0; step < 120; ++step) {
        setImage(filter, image);
        image = output(filter);
    }
    EXPECT_LT(difference(Grid::rendered(image, 12, 12), ramp), 2e-3f);
}

TEST(GMCleanScaledImageFilter, BilateralAverageOverFourPixelsWithClampedEdges)
{
    const Grid source = Grid::from(9, 7, [](int x, int y) {
        const float v = x < 4 ? 0.2f : 0.8f; // an edge the cleaning keeps
        const float noise = ((x * 7 + y * 3) % 5) * 0.01f;
        return Pixel{v + noise, v, 0.5f - noise, 1};
    });
    FilterPtr filter = healing("GMCleanScaledImageFilter", source.image());
    const Grid expected = Grid::from(9, 7, [&](int x, int y) {
        const Pixel& centre = source.at(x, y);
        Pixel sum{};
        double total = 0;
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx) {
                const Pixel& c = source.clamped(x + dx, y + dy);
                double d2 = 0;
                for (size_t i = 0; i < 3; ++i)
                    d2 += (c[i] - centre[i]) * (c[i] - centre[i]);
                const double w = std::exp(-(dx * dx + dy * dy) / 8.0 - d2 / 0.02);
                for (size_t i = 0; i < 4; ++i)
                    sum[i] += float(w * c[i]);
                total += w;
            }
        return Pixel{float(sum[0] / total), float(sum[1] / total), float(sum[2] / total),
                     float(sum[3] / total)};
    });
    const Image image = output(filter);
    const Grid got = Grid::rendered(image, 9, 7);
    EXPECT_LT(difference(got, expected), 1e-5f);
    EXPECT_LT(got.at(3, 3)[1], 0.21f); // no bleeding across the edge
    EXPECT_LT(tiledDifference(image, Rect(0, 0, 9, 7)), 1e-5f);
    EXPECT_EQ(regionOf(image, 0, Rect(0, 0, 100, 100)), Rect(-4, -4, 108, 108));
    EXPECT_EQ(regionOf(image, 1, Rect(0, 0, 100, 100)), Rect(0, 0, 100, 100));
}

TEST(GMBeardStubbleCompositing, KeysAndDefaultsWithoutAColour)
{
    FilterPtr filter = Filter::create("GMBeardStubbleCompositing");
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->inputKeys(),
              (QStringList{"inputImage", "inputBackgroundImage", "inputColor", "inputIntensity"}));
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputIntensity").toDouble(), 0.5);
    EXPECT_FALSE(filter->value("inputColor").isValid());

    // Without a colour the kernel cannot be applied: no image, and the engine says why.
    setImage(filter, marker(4, 4));
    setImage(filter, marker(4, 4), "inputBackgroundImage");
    LogCapture capture;
    EXPECT_FALSE(filter->value("outputImage").isValid());
    EXPECT_TRUE(capture.contains("color")) << capture.lines().join("\n").toStdString();
}

TEST(GMBeardStubbleCompositing, HairsMultiplyTheTintOntoTheBackground)
{
    const Grid background = Grid::from(5, 4, [](int x, int) {
        return Pixel{0.8f, 0.6f, 0.5f, x == 4 ? 0.5f : 1};
    });
    const Grid stubble = Grid::from(5, 4, [](int x, int y) {
        const float v = (x + y) % 2 ? 0.1f : 0.9f; // dark hairs on a light ground
        return Pixel{v, v, v, 1};
    });
    FilterPtr filter = Filter::create("GMBeardStubbleCompositing");
    filter->setDefaults();
    setImage(filter, stubble.image().imageByApplyingTransform(AffineTransform::translation(3.6, 2.2)));
    setImage(filter, background.image(), "inputBackgroundImage");
    filter->setValue(QVariant::fromValue(Color(0.4, 0.3, 0.2, 0.8)), "inputColor");
    EXPECT_EQ(output(filter).extent(), Rect(3, 2, 5, 4));

    setImage(filter, stubble.image());
    filter->setValue(0.75, "inputIntensity");
    const Grid expected = Grid::from(5, 4, [&](int x, int y) {
        const Pixel& bg = background.at(x, y);
        const float amount = (1 - stubble.at(x, y)[0]) * 0.75f * 0.8f;
        const float tint[3] = {0.4f, 0.3f, 0.2f};
        Pixel out = bg;
        for (size_t c = 0; c < 3; ++c)
            out[c] = bg[c] + amount * (bg[c] * tint[c] - bg[c]);
        return out;
    });
    EXPECT_LT(difference(Grid::rendered(output(filter), 5, 4), expected), 1e-5f);
}

TEST(HealingFilters, AFeatheredEdgeCarriesTheDetailOfItsColourNotOfItsCoverage)
{
    // A flat grey whose coverage fades out over a few pixels, and a detail band inside it: the residuum
    // added back onto the smooth grey gives the source's own straight colour, at every coverage.
    const Grid source = Grid::from(16, 3, [](int x, int y) {
        const float alpha = std::clamp(1.0f - 0.15f * float(x), 0.02f, 1.0f);
        const float grey = y == 1 && x % 3 == 0 && x < 8 ? 0.6f : 0.5f;
        return premultiplied({grey, grey, grey, alpha});
    });
    FilterPtr residuum = healing("GMCalcResiduumFilter", source.image());
    const Grid smooth = Grid::from(16, 3, [&](int x, int y) {
        const float alpha = source.at(x, y)[3];
        return premultiplied({0.5f, 0.5f, 0.5f, alpha});
    });
    FilterPtr add = healing("GMAddImagesFilter", smooth.image(), "inputPatternImage");
    setImage(add, output(residuum), "inputDiffImage");
    const Grid healed = Grid::rendered(output(add), 16, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 16; ++x) {
            const Pixel got = straight(healed.at(x, y));
            EXPECT_GT(got[0], 0.4f) << x << "," << y;
            EXPECT_LT(got[0], 0.7f) << x << "," << y;
            EXPECT_NEAR(got[3], source.at(x, y)[3], 1e-6f);
        }
    // Where the neighbourhood is all of one colour, exactly that colour.
    EXPECT_NEAR(straight(healed.at(15, 0))[0], 0.5f, 1e-5f);
}
