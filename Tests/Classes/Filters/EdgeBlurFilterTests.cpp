#include "LibraryTestSupport.h"

#include "Classes/Filters/GMEdgeAwareBlurFilter.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

// One edge-steered Gauss pass of reach R (sigma R / 3): the image's edge pixels repeat outward,
// edges outside the edge image are 0.
Grid steeredPass(const Grid& image, const Grid& edges, int reach, bool vertical)
{
    const double sigma = reach / 3.0;
    return Grid::from(image.width, image.height, [&](int x, int y) {
        Pixel sum = image.at(x, y);
        double total = 1;
        for (int side = -1; side <= 1; side += 2) {
            double passing = 1;
            for (int i = 1; i <= reach; ++i) {
                const int qx = x + (vertical ? 0 : i * side), qy = y + (vertical ? i * side : 0);
                passing *= 1 - std::clamp(double(edges.orZero(qx, qy)[1]), 0.0, 1.0);
                const double w = std::exp(-i * i / (2 * sigma * sigma)) * passing;
                for (size_t c = 0; c < 4; ++c)
                    sum[c] += float(w * image.clamped(qx, qy)[c]);
                total += w;
            }
        }
        for (float& v : sum)
            v = float(v / total);
        return sum;
    });
}

// Black on the left, white on the right, an edge of full strength in column 7.
Grid halves(int w, int h)
{
    return Grid::from(w, h, [](int x, int y) {
        const float v = x < 7 ? 0.05f * (y % 3) : 0.9f;
        return Pixel{v, v, v, 1};
    });
}

Grid edgeColumn(int w, int h, int column)
{
    return Grid::from(w, h, [&](int x, int) { return x == column ? Pixel{1, 1, 1, 1} : Pixel{0, 0, 0, 1}; });
}

} // namespace

TEST(GMEdgeDetectFilter, GaussianDerivativeStrengthAboveTheThreshold)
{
    // A ramp with slope 0.05 per pixel in luma: the strength is exactly the slope away from the edges.
    const Grid ramp = Grid::from(16, 12, [](int x, int) {
        const float v = 0.05f * x;
        return Pixel{v, v, v, 1};
    });
    FilterPtr filter = Filter::create("GMEdgeDetectFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputThreshold").toDouble(), 0.1);
    setImage(filter, ramp.image());
    filter->setValue(0.01, "inputThreshold");
    Grid got = Grid::rendered(output(filter), 16, 12);
    EXPECT_NEAR(got.at(8, 6)[0], 0.05f, 1e-5f);
    EXPECT_EQ(got.at(8, 6)[3], 1.0f);
    filter->setValue(0.06, "inputThreshold");
    got = Grid::rendered(output(filter), 16, 12);
    EXPECT_EQ(got.at(8, 6)[0], 0.0f);

    setImage(filter, halves(16, 12).image());
    EXPECT_LT(tiledDifference(output(filter), Rect(0, 0, 16, 12)), 1e-5f);
    EXPECT_EQ(regionOf(output(filter), 0, Rect(0, 0, 10, 10)), Rect(-3, -3, 16, 16));
    setImage(filter, ramp.image().imageByApplyingTransform(AffineTransform::translation(4, 6)));
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 16, 12));
}

TEST(GMEmbossFilter, GreyReliefMixedByTheIntensity)
{
    const Grid source = randomGrid(9, 8, 5, false);
    FilterPtr filter = Filter::create("GMEmbossFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputIntensity").toDouble(), 0.5);
    setImage(filter, source.image());
    for (float intensity : {0.0f, 0.3f, 1.0f}) {
        filter->setValue(intensity, "inputIntensity");
        const Grid expected = Grid::from(9, 8, [&](int x, int y) {
            float relief = 0.5f;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    relief += float((dx > dy) - (dx < dy)) * luma601(source.clamped(x + dx, y + dy));
            Pixel s = straight(source.at(x, y));
            for (size_t c = 0; c < 3; ++c)
                s[c] += intensity * (relief - s[c]);
            return premultiplied(s);
        });
        EXPECT_LT(difference(Grid::rendered(output(filter), 9, 8), expected), 1e-5f) << intensity;
    }
    EXPECT_LT(tiledDifference(output(filter), Rect(0, 0, 9, 8)), 1e-5f);
}

TEST(GMEdgeAwareBlurFilter, RadiusChoosesTheKernelAndTheMarginCoversItsReach)
{
    FilterPtr filter = Filter::create("GMEdgeAwareBlurFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputBlurRadius").toDouble(), 10.0);
    setImage(filter, halves(20, 12).image());
    setImage(filter, edgeColumn(20, 12, 7).image(), "inputEdgeImage");
    const std::vector<std::tuple<double, QString, double>> cases{
        {9.99, "gaussRad5", 19.98}, {10, "gaussRad10", 20}, {12.99, "gaussRad10", 25.98},
        {13, "gaussRad13", 26},     {20, "gaussRad13", 40}, {2, "gaussRad5", 5}, // never under the reach
        {0, "gaussRad5", 5}};
    for (const auto& [radius, kernel, margin] : cases) {
        filter->setValue(radius, "inputBlurRadius");
        const Image image = output(filter);
        EXPECT_EQ(kernelChain(image), (QStringList{kernel, kernel})) << radius;
        EXPECT_EQ(regionOf(image, 1, Rect(0, 0, 10, 10)), Rect(0, 0, 10, 10).insetBy(-margin, -margin))
            << radius;
    }
    // Radius 2: the margin of twice the radius would be smaller than the kernel's reach of 5.
    filter->setValue(2.0, "inputBlurRadius");
    setImage(filter, randomGrid(40, 30, 6).image());
    setImage(filter, randomGrid(40, 30, 7).image(), "inputEdgeImage");
    EXPECT_LT(tiledDifference(output(filter), Rect(0, 0, 40, 30)), 1e-5f);
}

TEST(GMEdgeAwareBlurFilter, BlursAlongButNotAcrossEdges)
{
    const Grid source = halves(20, 12);
    const Grid edges = edgeColumn(20, 12, 7);
    FilterPtr filter = Filter::create("GMEdgeAwareBlurFilter");
    setImage(filter, source.image());
    setImage(filter, edges.image(), "inputEdgeImage");
    filter->setValue(11.0, "inputBlurRadius");
    const Image image = output(filter);
    const Grid got = Grid::rendered(image, 20, 12);
    const Grid expected = steeredPass(steeredPass(source, edges, 10, false), edges, 10, true);
    EXPECT_LT(difference(got, expected), 1e-5f);
    for (int y = 0; y < 12; ++y)
        EXPECT_LT(got.at(6, y)[0], 0.11f) << y; // the white half does not bleed over the edge
    EXPECT_LT(tiledDifference(image, Rect(0, 0, 20, 12)), 1e-5f);

    setImage(filter, source.image().imageByApplyingTransform(AffineTransform::translation(3.5, 4)));
    EXPECT_EQ(output(filter).extent(), Rect(3, 4, 20, 12));
}

TEST(GMEdgePreservingBlurFilter, HysteresisPassesAreCountedCappedAndGetHighBeforeLow)
{
    FilterPtr filter = Filter::create("GMEdgePreservingBlurFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    setImage(filter, halves(20, 12).image());
    auto edgeChain = [&] {
        // The edge image is the Gauss passes' second sampler.
        const Image image = output(filter);
        const auto& binding = std::get<SamplerBinding>(image.node()->arguments[1]);
        return kernelChain(Image(binding.image));
    };
    // Four hysteresis passes over the suppressed magnitude of the pre-blurred image (the engine's
    // Gaussian blur, whose own passes follow).
    EXPECT_EQ(edgeChain().mid(0, 6), (QStringList{"hysteresis", "hysteresis", "hysteresis", "hysteresis",
                                                  "nonMaxSupression", "magnitudeForCanny"}));
    EXPECT_GT(edgeChain().size(), 6);
    filter->setValue(0.0, "inputHysteresisIterations");
    EXPECT_EQ(edgeChain().first(), "nonMaxSupression");
    filter->setValue(1e15, "inputHysteresisIterations");
    EXPECT_EQ(edgeChain().count("hysteresis"), 100);
    EXPECT_TRUE(std::isfinite(Grid::rendered(output(filter), 20, 12).at(3, 3)[0]));

    filter->setValue(1.0, "inputHysteresisIterations");
    filter->setValue(0.25, "inputHighThresholdH");
    filter->setValue(0.125, "inputLowThresholdH");
    const Image image = output(filter);
    const Image hysteresis(std::get<SamplerBinding>(image.node()->arguments[1]).image);
    EXPECT_EQ(numberArguments(hysteresis), (std::vector<float>{0.25f, 0.125f}));
    EXPECT_EQ(regionOf(hysteresis, 0, Rect(0, 0, 10, 10)), Rect(-1, -1, 12, 12));
}

TEST(GMEdgePreservingBlurFilter, KeepsAStrongEdgeAndTilesMatch)
{
    const Grid source = halves(24, 16);
    FilterPtr filter = Filter::create("GMEdgePreservingBlurFilter");
    filter->setDefaults();
    filter->setValue(1.5, "inputGaussRadius");
    filter->setValue(0.3, "inputEdgeThreshold");
    filter->setValue(0.5, "inputHighThresholdH");
    filter->setValue(0.3, "inputLowThresholdH");
    setImage(filter, source.image());
    const Image image = output(filter);
    EXPECT_EQ(image.extent(), Rect(0, 0, 24, 16));
    const Grid got = Grid::rendered(image, 24, 16);
    // The dark half is smoothed (its stripes average out) and stays dark; the white half stays white.
    EXPECT_NEAR(got.at(3, 8)[0], 0.05f, 0.02f);
    EXPECT_LT(got.at(5, 8)[0], 0.2f);
    EXPECT_GT(got.at(9, 8)[0], 0.8f);
    EXPECT_LT(tiledDifference(image, Rect(0, 0, 24, 16)), 1e-5f);

    setImage(filter, source.image().imageByApplyingTransform(AffineTransform::translation(3, 4)));
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 24, 16));
}
