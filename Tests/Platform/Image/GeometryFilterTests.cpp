#include "BuiltinTestSupport.h"

#include "Platform/Image/Vector.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace pftest;

namespace {

// A linear ramp: bilinear reads of it are exact, so any place a filter reads from shows in the value.
constexpr double RampX = 0.01, RampY = 0.003;
Bitmap ramp(int width, int height)
{
    return makeFloatBitmap(width, height, [](int x, int y) {
        const float v = float(0.1 + RampX * (x + 0.5) + RampY * (y + 0.5));
        return std::array<float, 4>{v, 1.0f - v, 0.5f, 1.0f};
    });
}
double rampAt(double x, double y)
{
    return 0.1 + RampX * x + RampY * y;
}

double lanczos(double t)
{
    if (std::abs(t) < 1e-9)
        return 1.0;
    if (std::abs(t) >= 3.0)
        return 0.0;
    return 3.0 * std::sin(M_PI * t) * std::sin(M_PI * t / 3.0) / (M_PI * M_PI * t * t);
}

// A separable three-lobe Lanczos resampling of a plane at (0, 0), scaled about the origin, widened by the
// reduction when reducing, weights normalised.
Plane referenceLanczos(const Plane& input, double sx, double sy, int outWidth, int outHeight)
{
    auto pass = [](const Plane& in, double scale, bool alongX, int outSize) {
        Plane out(alongX ? outSize : in.width, alongX ? in.height : outSize);
        const double stretch = std::min(scale, 1.0), reach = 3.0 / stretch;
        for (int o = 0; o < outSize; ++o) {
            const double x = (o + 0.5) / scale;
            std::vector<std::pair<int, double>> taps;
            double total = 0;
            for (int j = int(std::floor(x - reach)) - 1; j <= int(std::ceil(x + reach)) + 1; ++j) {
                const double w = lanczos((j + 0.5 - x) * stretch);
                taps.emplace_back(j, w);
                total += w;
            }
            const int across = alongX ? in.height : in.width;
            for (int a = 0; a < across; ++a)
                for (int c = 0; c < 4; ++c) {
                    double sum = 0;
                    for (auto [j, w] : taps)
                        sum += w * (alongX ? in.get(j, a, c) : in.get(a, j, c));
                    (alongX ? out.ref(o, a, c) : out.ref(a, o, c)) = sum / total;
                }
        }
        return out;
    };
    return pass(pass(input, sx, true, outWidth), sy, false, outHeight);
}

} // namespace

TEST(AffineFilters, TransformClampAndTileReadWhereTheirTransformsSay)
{
    const Image image = Image::fromBitmap(ramp(40, 30));
    const AffineTransform t = AffineTransform::translation(7, -3).scaled(2, 1.5);

    const Image moved = filtered("CIAffineTransform",
                                 {{"inputImage", var(image)}, {"inputTransform", QVariant::fromValue(t)}});
    EXPECT_EQ(moved.extent(), Rect(7, -3, 80, 45));
    const Bitmap a = renderFloat(moved, Rect(7, -3, 80, 45));
    for (auto [x, y] : {std::pair{20, 10}, std::pair{60, 30}}) {
        const Point p = t.inverted().map(Point(x + 7 + 0.5, y - 3 + 0.5));
        EXPECT_NEAR(at(a, x, y)[0], rampAt(p.x, p.y), 1e-5) << x << "," << y;
    }
    // Identity by default.
    EXPECT_EQ(filtered("CIAffineTransform", {{"inputImage", var(image)}}), image);

    // Clamp: infinite, the edge pixels carried outward before the transform.
    const Image clamped =
        filtered("CIAffineClamp", {{"inputImage", var(image)}, {"inputTransform", QVariant::fromValue(t)}});
    EXPECT_TRUE(clamped.extent().isInfinite());
    const Bitmap far = renderFloat(clamped, Rect(-200, 500, 1, 1));
    EXPECT_NEAR(at(far, 0, 0)[0], rampAt(0.5, 29.5), 1e-5);
    const Bitmap inside = renderFloat(clamped, Rect(27, 7, 1, 1));
    const Point p = t.inverted().map(Point(27.5, 7.5));
    EXPECT_NEAR(at(inside, 0, 0)[0], rampAt(p.x, p.y), 1e-5);
}

TEST(AffineFilters, TilesRepeatWithoutSeams)
{
    const Bitmap tile = randomBitmap(20, 15, 3);
    const Plane in = Plane::fromBitmap(tile);
    const Image image = Image::fromBitmap(tile);
    const Image plane = filtered("CIAffineTile", {{"inputImage", var(image)}});
    EXPECT_TRUE(plane.extent().isInfinite());
    const Bitmap out = renderFloat(plane, Rect(-47, 31, 60, 40));
    for (int y = 0; y < 40; y += 3)
        for (int x = 0; x < 60; x += 7) {
            const int tx = ((x - 47) % 20 + 20) % 20, ty = ((y + 31) % 15 + 15) % 15;
            EXPECT_NEAR(at(out, x, y)[2], in.get(tx, ty, 2), 1e-6) << x << "," << y;
        }
    // Moved by half a pixel, a pixel on a seam mixes the last column of one tile with the first of the
    // next, as anywhere inside a tile.
    const Image moved = filtered(
        "CIAffineTile", {{"inputImage", var(image)},
                         {"inputTransform", QVariant::fromValue(AffineTransform::translation(0.5, 0))}});
    const Bitmap seam = renderFloat(moved, Rect(40, 4, 1, 1));
    EXPECT_NEAR(at(seam, 0, 0)[0], 0.5 * (in.get(19, 4, 0) + in.get(0, 4, 0)), 1e-6);
    const AffineTransform turned = AffineTransform::rotation(0.3).scaled(0.7, 0.7);
    const Image rotated = filtered(
        "CIAffineTile", {{"inputImage", var(image)}, {"inputTransform", QVariant::fromValue(turned)}});
    // Turned reads interpolate at coordinates rounded a little differently per tile.
    EXPECT_LT(tiledDifference(rotated, Rect(-30, -20, 120, 90)), 1e-4);
}

TEST(Crop, CutsToTheRectangleAndKeepsEverythingByDefault)
{
    const Image image = Image::fromBitmap(randomBitmap(30, 20, 6));
    EXPECT_EQ(filtered("CICrop", {{"inputImage", var(image)}}).extent(), image.extent());
    const Image cut = filtered("CICrop", {{"inputImage", var(image)},
                                          {"inputRectangle", QVariant::fromValue(Vector(5, 4, 10, 100))}});
    EXPECT_EQ(cut.extent(), Rect(5, 4, 10, 16));
    const Bitmap out = renderFloat(cut, Rect(0, 0, 30, 20));
    const Bitmap whole = renderFloat(image, Rect(0, 0, 30, 20));
    EXPECT_EQ(at(out, 4, 10)[3], 0.0f);
    EXPECT_EQ(at(out, 15, 10)[3], 0.0f);
    EXPECT_EQ(at(out, 5, 10), at(whole, 5, 10));
    EXPECT_EQ(at(out, 14, 19), at(whole, 14, 19));
}

TEST(LanczosScale, MatchesAReferenceResamplingWhenReducingAndEnlarging)
{
    const Bitmap picture = randomBitmap(40, 30, 12);
    const Plane input = Plane::fromBitmap(picture);
    struct Case
    {
        double scale, aspect;
        Rect extent;
    };
    for (const Case& c : {Case{0.5, 1.5, Rect(0, 0, 30, 15)}, Case{1.7, 1.0, Rect(0, 0, 68, 51)},
                          Case{0.3, 2.0, Rect(0, 0, 24, 9)}}) {
        const Image out =
            filtered("CILanczosScaleTransform", {{"inputImage", var(Image::fromBitmap(picture))},
                                                 {"inputScale", c.scale},
                                                 {"inputAspectRatio", c.aspect}});
        EXPECT_EQ(out.extent(), c.extent) << c.scale;
        const Plane reference = referenceLanczos(input, c.scale * c.aspect, c.scale, int(c.extent.width()),
                                                 int(c.extent.height()));
        EXPECT_LT(largestDifference(renderFloat(out, c.extent), reference), 2e-5) << c.scale;
        EXPECT_LT(tiledDifference(out, c.extent), 1e-6) << c.scale;
    }
    // Scale 1 is the image itself.
    const Image image = Image::fromBitmap(picture);
    EXPECT_EQ(filtered("CILanczosScaleTransform", {{"inputImage", var(image)}}), image);
}
