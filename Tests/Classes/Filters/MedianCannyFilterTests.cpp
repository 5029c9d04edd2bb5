#include "LibraryTestSupport.h"

#include "Classes/Framework/KernelResource.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

// The 3 x 3 median per channel with the edge pixels repeated outward.
Grid median3x3(const Grid& g)
{
    return Grid::from(g.width, g.height, [&](int x, int y) {
        Pixel out{};
        for (size_t c = 0; c < 4; ++c) {
            std::array<float, 9> v;
            size_t n = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    v[n++] = g.clamped(x + dx, y + dy)[c];
            std::nth_element(v.begin(), v.begin() + 4, v.end());
            out[c] = v[4];
        }
        return out;
    });
}

// Sobel gradient of the BT.601 luma, edge pixels repeated outward.
std::array<float, 2> sobel(const Grid& g, int x, int y)
{
    auto l = [&](int dx, int dy) { return luma601(g.clamped(x + dx, y + dy)); };
    const float gx = (l(1, 1) + 2 * l(1, 0) + l(1, -1)) - (l(-1, 1) + 2 * l(-1, 0) + l(-1, -1));
    const float gy = (l(-1, 1) + 2 * l(0, 1) + l(1, 1)) - (l(-1, -1) + 2 * l(0, -1) + l(1, -1));
    return {gx, gy};
}

// Magnitude (thresholded), then suppression along the direction quantised to 45 degrees.
Grid canny(const Grid& g, float threshold)
{
    const Grid magnitude = Grid::from(g.width, g.height, [&](int x, int y) {
        const auto d = sobel(g, x, y);
        float m = std::hypot(d[0], d[1]);
        m = m < threshold ? 0 : m;
        return Pixel{m, m, m, 1};
    });
    return Grid::from(g.width, g.height, [&](int x, int y) {
        const auto d = sobel(g, x, y);
        double turn = (d[0] == 0 && d[1] == 0) ? 0 : std::atan2(d[1], d[0]) / M_PI;
        if (turn < 0)
            turn += 1;
        const int sector = int(std::floor(turn * 4 + 0.5)) % 4;
        const int ax[4] = {1, 1, 0, -1}, ay[4] = {0, 1, 1, 1};
        const float m = magnitude.at(x, y)[1];
        const float ahead = magnitude.orZero(x + ax[sector], y + ay[sector])[1];
        const float behind = magnitude.orZero(x - ax[sector], y - ay[sector])[1];
        const float kept = (m > behind && m >= ahead) ? m : 0;
        return Pixel{kept, kept, kept, 1};
    });
}

Grid smoothShapes(int w, int h)
{
    return Grid::from(w, h, [&](int x, int y) {
        const double r = std::hypot(x - w * 0.4, y - h * 0.5);
        const float disc = float(0.5 + 0.5 * std::tanh((6.0 - r) * 0.8));
        const float bar = (x > w * 0.7) ? 0.3f : 0.0f;
        return Pixel{0.2f + 0.6f * disc, 0.1f + bar + 0.3f * disc, 0.15f, 1};
    });
}

} // namespace

TEST(GMBlurIteratedMedianFilter, PassCountIsTruncatedAtLeastOneAndCapped)
{
    FilterPtr filter = Filter::create("GMBlurIteratedMedianFilter");
    ASSERT_TRUE(filter);
    setImage(filter, marker(6, 5));
    EXPECT_EQ(kernelChain(output(filter)).size(), 1); // absent
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputIntensity").toDouble(), 1.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::pair<double, int>> cases{{0, 1},      {-3, 1},    {2.7, 2}, {30, 30},
                                                    {1e12, 100}, {-1e12, 1}, {nan, 1}, {HUGE_VAL, 100}};
    for (const auto& [intensity, passes] : cases) {
        filter->setValue(intensity, "inputIntensity");
        const QStringList chain = kernelChain(output(filter));
        EXPECT_EQ(chain.size(), passes) << intensity;
        EXPECT_EQ(chain.first(), "median3x3"); // the engine's median
    }
    // The capped chain renders in reasonable time too.
    filter->setValue(1e9, "inputIntensity");
    const Grid constant = Grid::rendered(output(filter), 6, 5);
    EXPECT_TRUE(std::isfinite(constant.at(3, 3)[0]));
}

TEST(GMBlurIteratedMedianFilter, MedianPerChannelOverThreeByThree)
{
    const Grid source = randomGrid(13, 11, 3, false);
    FilterPtr filter = Filter::create("GMBlurIteratedMedianFilter");
    setImage(filter, source.image());
    filter->setValue(3, "inputIntensity");
    const Image image = output(filter);
    EXPECT_EQ(image.extent(), Rect(0, 0, 13, 11));
    // Three medians of the neighbourhoods, each pass's edge pixels repeated outward: the border and the
    // corners keep the photo's own values, never the transparency beyond it.
    EXPECT_LT(difference(Grid::rendered(image, 13, 11), median3x3(median3x3(median3x3(source)))), 1e-6f);
    EXPECT_LT(tiledDifference(image, Rect(0, 0, 13, 11)), 1e-6f);
}

TEST(GMCannyEdgeDetectFilter, DefaultsAndTheInputsThatDoNotMatter)
{
    FilterPtr filter = Filter::create("GMCannyEdgeDetectFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputEdgeThreshold").toDouble(), 0.008);
    EXPECT_EQ(filter->value("inputGaussRadius").toDouble(), 6.0);
    EXPECT_EQ(filter->value("inputLowThresholdH").toDouble(), 0.03);
    EXPECT_EQ(filter->value("inputHighThresholdH").toDouble(), 0.05);
    EXPECT_EQ(filter->value("inputHysteresisIterations").toDouble(), 4.0);
    EXPECT_EQ(filter->attributesForKey("inputGaussRadius").value(FilterAttribute::Type).toString(),
              FilterAttribute::TypeDistance);

    const Grid source = smoothShapes(24, 20);
    setImage(filter, source.image());
    const Grid before = Grid::rendered(output(filter), 24, 20);
    for (const char* key :
         {"inputGaussRadius", "inputLowThresholdH", "inputHighThresholdH", "inputHysteresisIterations"})
        filter->setValue(0.9, key);
    EXPECT_EQ(difference(Grid::rendered(output(filter), 24, 20), before), 0.0f);
}

TEST(GMCannyEdgeDetectFilter, SobelMagnitudeSuppressedAlongTheDirection)
{
    const Grid source = smoothShapes(24, 20);
    FilterPtr filter = Filter::create("GMCannyEdgeDetectFilter");
    filter->setDefaults();
    filter->setValue(0.09, "inputEdgeThreshold");
    setImage(filter, source.image());
    const Image image = output(filter);
    EXPECT_EQ(kernelChain(image), (QStringList{"nonMaxSupression", "magnitudeForCanny"}));
    const Grid got = Grid::rendered(image, 24, 20);
    EXPECT_LT(difference(got, canny(source, 0.09f)), 1e-4f);
    // A thin ring around the disc, and no edge inside it.
    int edges = 0;
    for (const Pixel& p : got.pixels)
        edges += p[1] > 0;
    EXPECT_GT(edges, 20);
    EXPECT_EQ(got.at(9, 10)[1], 0.0f);

    // Every pass reads neighbours: tiles see them.
    EXPECT_LT(tiledDifference(image, Rect(0, 0, 24, 20)), 1e-5f);
    EXPECT_EQ(regionOf(image, 0, Rect(0, 0, 10, 10)), Rect(-1, -1, 12, 12));

    // The full extent of the input; the domain is the magnitude image's.
    setImage(filter, source.image().imageByApplyingTransform(AffineTransform::translation(5.5, 2)));
    EXPECT_EQ(output(filter).extent(), Rect(5, 2, 24, 20));
    EXPECT_EQ(output(filter).definition().extent(), Rect(5.5, 2, 24, 20));
}

TEST(CannyKernels, HysteresisPromotesWeakPixelsNextToStrongOnes)
{
    const auto kernels = KernelResource::kernels("hysteresisKernel");
    ASSERT_EQ(kernels.size(), 1u);
    // One row: strong, weak, weak, below low, weak alone.
    const float values[6] = {0.9f, 0.6f, 0.6f, 0.3f, 0.6f, 0.0f};
    const Grid row = Grid::from(6, 1, [&](int x, int) { return Pixel{0, values[x], 0, 1}; });
    ApplyOptions options;
    options.regionOfInterest = [](int, const Rect& r) { return r.insetBy(-1, -1); };
    Image edges = row.image();
    std::vector<std::vector<float>> expected{{1, 1, 0.6f, 0, 0.6f, 0}, {1, 1, 1, 0, 0.6f, 0}};
    for (const auto& want : expected) {
        edges = kernels.front().apply({QVariant::fromValue(edges), 0.8, 0.5}, options);
        const Grid got = Grid::rendered(edges, 6, 1);
        for (int x = 0; x < 6; ++x)
            EXPECT_FLOAT_EQ(got.at(x, 0)[0], want[size_t(x)]) << x;
    }
}
