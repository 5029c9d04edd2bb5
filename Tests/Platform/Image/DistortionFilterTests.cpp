#include "BuiltinTestSupport.h"

#include "Platform/Image/Vector.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace pftest;

namespace {

// A linear ramp, so that a bilinear read anywhere tells the position it was made at.
Bitmap ramp(int width, int height)
{
    return makeFloatBitmap(width, height, [](int x, int y) {
        return std::array<float, 4>{float(x + 0.5) / 256.0f, float(y + 0.5) / 256.0f, 0.5f, 1.0f};
    });
}

} // namespace

TEST(RandomGenerator, UniformIndependentAndTheSameInEveryRender)
{
    const Image noise = filtered("CIRandomGenerator", {});
    EXPECT_TRUE(noise.extent().isInfinite());
    const Rect area(-5000, 70000, 128, 128);
    const Bitmap out = renderFloat(noise, area);
    double sum[4] = {}, squares[4] = {}, product = 0, neighbours = 0;
    const int n = 128 * 128;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const auto p = at(out, x, y);
            for (int c = 0; c < 4; ++c) {
                ASSERT_GE(p[size_t(c)], 0.0f);
                ASSERT_LT(p[size_t(c)], 1.0f);
                sum[c] += p[size_t(c)];
                squares[c] += p[size_t(c)] * p[size_t(c)];
            }
            product += (p[0] - 0.5) * (p[1] - 0.5);
            if (x > 0)
                neighbours += (p[0] - 0.5) * (at(out, x - 1, y)[0] - 0.5);
        }
    for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(sum[c] / n, 0.5, 0.01) << c;
        EXPECT_NEAR(squares[c] / n - (sum[c] / n) * (sum[c] / n), 1.0 / 12, 0.004) << c;
    }
    // Correlations of channels and of neighbours vanish (1/12 would be complete).
    EXPECT_LT(std::abs(product / n), 0.003);
    EXPECT_LT(std::abs(neighbours / n), 0.003);
    EXPECT_EQ(tiledDifference(noise, area), 0.0);
}

TEST(DisplacementDistortion, MovesByTheScaledOffsetFromMidGrey)
{
    const Image image = Image::fromBitmap(ramp(60, 40));
    const Image shift = Image::constantColor(Color(0.75, 0.4, 0.0));
    const Image out =
        filtered("CIDisplacementDistortion",
                 {{"inputImage", var(image)}, {"inputDisplacementImage", var(shift)}, {"inputScale", 20.0}});
    EXPECT_EQ(out.extent(), image.extent());
    const auto p = at(renderFloat(out, Rect(0, 0, 60, 40)), 20, 20);
    // Read from (20.5 + 5, 20.5 - 2).
    EXPECT_NEAR(p[0], 25.5 / 256, 1e-5);
    EXPECT_NEAR(p[1], 18.5 / 256, 1e-5);
    // Noise as the displacement, as blurred backgrounds use it: tiles agree.
    const Image noisy = filtered(
        "CIDisplacementDistortion",
        {{"inputImage", var(image)}, {"inputDisplacementImage", var(filtered("CIRandomGenerator", {}))}});
    EXPECT_LT(tiledDifference(noisy, Rect(0, 0, 60, 40)), 1e-6);
}

TEST(TorusLensDistortion, RefractsInsideTheRingOnlyAsAHalfRoundTubeWould)
{
    const Image image = Image::fromBitmap(ramp(200, 200));
    const double cx = 100, cy = 90, radius = 50, width = 30, n = 1.7;
    const Image out = filtered("CITorusLensDistortion", {{"inputImage", var(image)},
                                                         {"inputCenter", QVariant::fromValue(Vector(cx, cy))},
                                                         {"inputRadius", radius},
                                                         {"inputWidth", width},
                                                         {"inputRefraction", n}});
    EXPECT_EQ(out.extent(), image.extent());
    const Bitmap rendered = renderFloat(out, Rect(0, 0, 200, 200));
    double worst = 0;
    int refracted = 0;
    for (int y = 0; y < 200; y += 3)
        for (int x = 0; x < 200; x += 3) {
            const double px = x + 0.5, py = y + 0.5, d = std::hypot(px - cx, py - cy);
            double sx = px, sy = py;
            const double t = (d - radius) / (width / 2);
            if (std::abs(t) < 1) {
                // Snell's law at a surface leaning by asin|t|, across the glass's thickness there.
                const double lean = std::asin(std::abs(t)), bent = std::asin(std::abs(t) / n);
                const double shift = width / 2 * std::cos(lean) * std::tan(lean - bent);
                const double scale = (d - (t > 0 ? shift : -shift)) / d;
                sx = cx + (px - cx) * scale;
                sy = cy + (py - cy) * scale;
                refracted += shift > 0.5;
            }
            const auto p = at(rendered, x, y);
            worst = std::max({worst, std::abs(p[0] * 256.0 - sx), std::abs(p[1] * 256.0 - sy)});
        }
    // In pixels; the driver's inverse sine and tangent are a little coarser than the C library's.
    EXPECT_LT(worst, 0.01);
    EXPECT_GT(refracted, 100);
    EXPECT_LT(tiledDifference(out, Rect(0, 0, 200, 200)), 1e-5);
}
