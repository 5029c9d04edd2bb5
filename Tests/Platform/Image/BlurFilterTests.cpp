#include "BuiltinTestSupport.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace pftest;

namespace {

// Noise on the left, a sharp-edged square and fine stripes on the right: every frequency, and edges
// where the shape of a blur shows most.
Bitmap testPicture(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    return makeFloatBitmap(width, height, [&](int x, int y) {
        if (x < width / 2) {
            const float a = unit(random);
            return std::array<float, 4>{unit(random) * a, unit(random) * a, unit(random) * a, a};
        }
        const bool square = y > height / 4 && y < height * 3 / 4 && x < width * 3 / 4;
        const float stripe = std::fmod(float(x) / 8.5f, 1.0f) < 0.5f ? 1.0f : 0.0f;
        return std::array<float, 4>{square ? 1.0f : 0.0f, stripe, 0.25f, 1.0f};
    });
}

// An exact Gaussian of sigma: the normalised sampled kernel reaching 5 sigmas, separable, over `area`
// (given in the input's coordinates), the input transparent outside.
Plane referenceGaussian(const Plane& input, double sigma, int ax, int ay, int aw, int ah)
{
    const int reach = int(std::ceil(5 * sigma));
    std::vector<double> weights(size_t(2 * reach + 1));
    double total = 0;
    for (int d = -reach; d <= reach; ++d)
        total += weights[size_t(d + reach)] = std::exp(-d * d / (2 * sigma * sigma));
    for (double& w : weights)
        w /= total;
    auto weight = [&](int d) { return std::abs(d) > reach ? 0.0 : weights[size_t(d + reach)]; };
    // Rows first, over the input's rows (elsewhere everything is 0), then columns.
    Plane across(aw, input.height);
    for (int y = 0; y < input.height; ++y)
        for (int x = 0; x < aw; ++x)
            for (int j = std::max(0, ax + x - reach); j <= std::min(input.width - 1, ax + x + reach); ++j)
                for (int c = 0; c < 4; ++c)
                    across.ref(x, y, c) += weight(j - ax - x) * input.get(j, y, c);
    Plane out(aw, ah);
    for (int y = 0; y < ah; ++y)
        for (int x = 0; x < aw; ++x)
            for (int j = std::max(0, ay + y - reach); j <= std::min(input.height - 1, ay + y + reach); ++j)
                for (int c = 0; c < 4; ++c)
                    out.ref(x, y, c) += weight(j - ay - y) * across.get(x, j, c);
    return out;
}

} // namespace

TEST(GaussianBlur, MatchesAnExactGaussianWithinOneLevelAtEveryRadius)
{
    const Bitmap picture = testPicture(120, 90, 5);
    const Plane input = Plane::fromBitmap(picture);
    for (double radius : {0.6, 1.5, 3.9, 5.0, 12.0, 20.0, 33.0}) {
        const Image out = filtered(
            "CIGaussianBlur", {{"inputImage", var(Image::fromBitmap(picture))}, {"inputRadius", radius}});
        const double g = std::ceil(3 * radius);
        EXPECT_EQ(out.extent(), Rect(-g, -g, 120 + 2 * g, 90 + 2 * g)) << radius;
        const Bitmap rendered = renderFloat(out, out.extent());
        const Plane reference =
            referenceGaussian(input, radius, int(-g), int(-g), int(120 + 2 * g), int(90 + 2 * g));
        EXPECT_LT(largestDifference(rendered, reference), 1.0 / 255) << "radius " << radius;
    }
}

TEST(GaussianBlur, ReadsImagesOffThePixelGridAsTheyAre)
{
    // Moved by half a pixel, the image's pixels are means of two of the bitmap's: the blur must see
    // those, not the bitmap's own pixels.
    const Bitmap picture = testPicture(60, 40, 9);
    const Image moved =
        Image::fromBitmap(picture).imageByApplyingTransform(AffineTransform::translation(0.5, 0));
    const Plane source = Plane::fromBitmap(picture);
    const Plane shifted = Plane::fromBitmap(renderFloat(moved, Rect(0, 0, 61, 40)));
    EXPECT_NEAR(shifted.get(10, 7, 1), 0.5 * (source.get(9, 7, 1) + source.get(10, 7, 1)), 1e-6);
    for (double radius : {2.0, 9.0}) {
        const Image out = filtered("CIGaussianBlur", {{"inputImage", var(moved)}, {"inputRadius", radius}});
        const Rect area(-5, -5, 70, 50);
        const Plane reference = referenceGaussian(shifted, radius, -5, -5, 70, 50);
        EXPECT_LT(largestDifference(renderFloat(out, area), reference), 1.0 / 255) << radius;
    }
}

TEST(GaussianBlur, TiledRendersEqualWholeOnesAndUnboundedInputsStayUnbounded)
{
    const Image picture = Image::fromBitmap(testPicture(150, 110, 2));
    for (double radius : {2.5, 17.0, 70.0}) {
        const Image out = filtered("CIGaussianBlur", {{"inputImage", var(picture)}, {"inputRadius", radius}});
        EXPECT_LT(tiledDifference(out, Rect(-40, -30, 230, 170)), 1e-5) << radius;
    }
    // A clamped image is infinite, and so is its blur; a flat one stays flat.
    const Image flat = Image::constantColor(Color(0.2, 0.4, 0.6)).imageByCroppingToRect(Rect(0, 0, 10, 10));
    const Image out = filtered("CIGaussianBlur",
                               {{"inputImage", var(flat.imageByClampingToExtent())}, {"inputRadius", 30.0}});
    EXPECT_TRUE(out.extent().isInfinite());
    const Bitmap far = renderFloat(out, Rect(500, -300, 4, 4));
    EXPECT_NEAR(at(far, 1, 1)[1], 0.4f, 1e-5);
    // No radius, no blur.
    EXPECT_EQ(filtered("CIGaussianBlur", {{"inputImage", var(picture)}, {"inputRadius", 0.0}}), picture);
}

TEST(DiscBlur, SmallDiscsAverageThePixelsWithinTheRadiusLargeOnesCloseToIt)
{
    const Bitmap picture = testPicture(50, 40, 4);
    const Plane input = Plane::fromBitmap(picture);
    auto reference = [&](double radius, int x, int y, int c) {
        const int reach = int(radius);
        double sum = 0;
        int count = 0;
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (dx * dx + dy * dy <= radius * radius) {
                    sum += input.get(x + dx, y + dy, c);
                    ++count;
                }
        return sum / count;
    };
    const Image small =
        filtered("CIDiscBlur", {{"inputImage", var(Image::fromBitmap(picture))}, {"inputRadius", 4.5}});
    EXPECT_EQ(small.extent(), Rect(-5, -5, 60, 50));
    const Bitmap out = renderFloat(small, small.extent());
    double worst = 0;
    for (int y = -5; y < 45; y += 3)
        for (int x = -5; x < 55; x += 2)
            for (int c = 0; c < 4; ++c)
                worst = std::max(
                    worst, std::abs(double(at(out, x + 5, y + 5)[size_t(c)]) - reference(4.5, x, y, c)));
    EXPECT_LT(worst, 1e-5);

    // A large disc is averaged reduced: its rim is a little soft, its inside flat.
    const Image square = Image::constantColor(Color(1, 1, 1)).imageByCroppingToRect(Rect(0, 0, 200, 200));
    const Image large = filtered("CIDiscBlur", {{"inputImage", var(square)}, {"inputRadius", 40.0}});
    EXPECT_EQ(large.extent(), Rect(-40, -40, 280, 280));
    const Bitmap wide = renderFloat(large, large.extent());
    EXPECT_NEAR(at(wide, 140, 140)[0], 1.0f, 1e-3);
    // At the square's edge half the disc is inside; 20 pixels out, the part of the disc beyond its chord.
    EXPECT_NEAR(at(wide, 40, 140)[0], 0.5f, 0.02f);
    const double h = 0.5, angle = 2 * std::acos(h);
    EXPECT_NEAR(at(wide, 20, 140)[0], (angle - std::sin(angle)) / (2 * M_PI), 0.03);
    EXPECT_LT(tiledDifference(large, Rect(-40, -40, 280, 280)), 1e-5);
}

TEST(MotionBlur, AveragesAlongTheAngleAndLongLinesStaySmooth)
{
    const Bitmap picture = testPicture(40, 30, 8);
    const Plane input = Plane::fromBitmap(picture);
    for (double angle : {0.0, M_PI / 2}) {
        const Image out = filtered(
            "CIMotionBlur",
            {{"inputImage", var(Image::fromBitmap(picture))}, {"inputRadius", 3.0}, {"inputAngle", angle}});
        const bool across = angle == 0.0;
        EXPECT_EQ(out.extent(), across ? Rect(-3, 0, 46, 30) : Rect(0, -3, 40, 36));
        const Bitmap rendered = renderFloat(out, Rect(0, 0, 40, 30));
        double worst = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                for (int c = 0; c < 4; ++c) {
                    double sum = 0;
                    for (int d = -3; d <= 3; ++d)
                        sum += across ? input.get(x + d, y, c) : input.get(x, y + d, c);
                    worst = std::max(worst, std::abs(double(at(rendered, x, y)[size_t(c)]) - sum / 7));
                }
        EXPECT_LT(worst, 1e-5) << angle;
    }
    // One bright pixel smeared over 201 pixels: a flat run without gaps or ghosts, its total kept.
    const Image dot = Image::constantColor(Color(1, 1, 1)).imageByCroppingToRect(Rect(0, 0, 1, 1));
    const Image line = filtered("CIMotionBlur", {{"inputImage", var(dot)}, {"inputRadius", 100.0}});
    const Bitmap row = renderFloat(line, Rect(-120, 0, 241, 1));
    double total = 0;
    for (int x = 0; x < 241; ++x)
        total += at(row, x, 0)[0];
    EXPECT_NEAR(total, 1.0, 0.01);
    for (int x = -90; x <= 90; x += 5)
        EXPECT_NEAR(at(row, x + 120, 0)[0], 1.0 / 201, 0.25 / 201) << x;
    // Longer than the gap averages can span at once: averages of averages, still flat and whole.
    const Image longer = filtered("CIMotionBlur", {{"inputImage", var(dot)}, {"inputRadius", 3000.0}});
    const Bitmap wide = renderFloat(longer, Rect(-3200, 0, 6401, 1));
    double sum = 0;
    for (int x = 0; x < 6401; ++x)
        sum += at(wide, x, 0)[0];
    EXPECT_NEAR(sum, 1.0, 0.01);
    EXPECT_NEAR(at(wide, 3200 + 1234, 0)[0], 1.0 / 6001, 0.25 / 6001);
    EXPECT_LT(tiledDifference(line, Rect(-120, -5, 241, 10)), 1e-6);
}
