#include "LibraryTestSupport.h"

#include "Classes/Filters/OVCombineFilter.h"
#include "Classes/Filters/OVDimmedBWFilter.h"
#include "Classes/Filters/OVGradientMapFilter.h"
#include "Classes/Filters/OVGradientMultiplyFilter.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Gradient.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace pf;
using namespace librarytest;
using namespace filtertest;

namespace {

FilterPtr made(const QString& name, const QVariantMap& inputs, bool defaults = true)
{
    FilterPtr filter = Filter::create(name);
    if (defaults)
        filter->setDefaults();
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        filter->setValue(*it, it.key());
    return filter;
}

QVariant var(const Image& image)
{
    return QVariant::fromValue(image);
}

// Hue, saturation and value written out here independently of the kernels: the hue from the angle of
// the colour in the chromaticity plane.
std::array<double, 3> toHSV(double r, double g, double b)
{
    const double high = std::max({r, g, b}), low = std::min({r, g, b});
    const double alpha = r - 0.5 * (g + b), beta = std::sqrt(3.0) / 2 * (g - b);
    double hue = high == low ? 0 : std::atan2(beta, alpha) / (2 * M_PI);
    if (hue < 0)
        hue += 1;
    return {hue, high > 0 ? (high - low) / high : 0, high};
}

// Only exact for the pure hues and greys the tests use (the hexagon and the circle agree at sixths).
Pixel fromHSV(double h, double s, double v)
{
    h = h - std::floor(h);
    const double sector = h * 6;
    const int i = int(sector) % 6;
    const double f = sector - std::floor(sector);
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    const double rgb[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
    return {float(rgb[i][0]), float(rgb[i][1]), float(rgb[i][2]), 1};
}

// Twelve pure hues (a sixth apart where the hexagon is exact, so every hue is a corner or an edge
// middle), then a grey.
Grid pureHues()
{
    return Grid::from(13, 1, [](int x, int) {
        return x < 12 ? fromHSV(x / 12.0, 1, 1) : Pixel{0.5f, 0.5f, 0.5f, 1};
    });
}

double hueDistance(double a, double b)
{
    const double d = std::abs(a - b);
    return std::min(d, 1 - d);
}

} // namespace

TEST(OVCombineFilter, AJoinedShadeActsLikeBothShades)
{
    EXPECT_EQ(OVCombineFilter::combinableBlendModes(),
              (QStringList{"sourceOver", "multiply", "negativeMultiply"}));
    for (const char* name : {"overlay", "Multiply", ""})
        EXPECT_FALSE(OVCombineFilter::isCombinableBlendMode(QString::fromLatin1(name))) << name;
    EXPECT_FALSE(OVCombineFilter::isCombinableBlendMode(QString()));

    const Grid picture = randomGrid(24, 16, 1);
    const Grid lower = randomGrid(24, 16, 2, false);
    const Grid upper = randomGrid(24, 16, 3, false);
    auto blend = [](const QString& mode, const Image& top, const Image& bottom, double intensity) {
        return output(made("OVAdjustableBlendFilter", {{"inputImage", var(top)},
                                                       {"inputBackgroundImage", var(bottom)},
                                                       {"inputBlendName", mode},
                                                       {"inputIntensity", intensity}}));
    };
    for (const QString& mode : OVCombineFilter::combinableBlendModes()) {
        const Image twice = blend(mode, upper.image(), blend(mode, lower.image(), picture.image(), 0.6), 0.8);
        // The upper image is cut smaller: the background alone decides the extent.
        const Image joined =
            output(made("OVCombineFilter",
                        {{"inputImage", var(upper.image().imageByCroppingToRect(Rect(2, 2, 10, 10)))},
                         {"inputBackgroundImage", var(lower.image())},
                         {"inputBackgroundIntensity", 0.6},
                         {"inputIntensity", 0.8},
                         {"blendMode", mode}},
                        false));
        ASSERT_FALSE(joined.isNull()) << mode.toStdString();
        EXPECT_EQ(joined.extent(), Rect(0, 0, 24, 16));
        const Image joinedFull = output(made("OVCombineFilter",
                                             {{"inputImage", var(upper.image())},
                                              {"inputBackgroundImage", var(lower.image())},
                                              {"inputBackgroundIntensity", 0.6},
                                              {"inputIntensity", 0.8},
                                              {"blendMode", mode}},
                                             false));
        const Image once = blend(mode, joinedFull, picture.image(), 1.0);
        EXPECT_LT(difference(Grid::rendered(once, 24, 16), Grid::rendered(twice, 24, 16)), 2e-5)
            << mode.toStdString();
    }
    LogCapture capture;
    EXPECT_TRUE(output(made("OVCombineFilter",
                            {{"inputImage", var(upper.image())},
                             {"inputBackgroundImage", var(lower.image())},
                             {"blendMode", "overlay"}},
                            false))
                    .isNull());
    EXPECT_TRUE(capture.contains("Warning: Filter 'OVCombineFilter' has no Kernel named 'overlay'"));
    EXPECT_TRUE(output(made("OVCombineFilter",
                            {{"inputImage", var(upper.image())}, {"blendMode", "multiply"}}, false))
                    .isNull());
}

TEST(OVCombineMaskFilter, RoundsTheMaskImagesCorners)
{
    const Grid background = Grid::from(40, 30, [](int, int) { return Pixel{0.8f, 0.8f, 0.8f, 1}; });
    const Grid mask = Grid::from(20, 20, [](int, int) { return Pixel{0.5f, 0.5f, 0.5f, 1}; });
    const Image placed = mask.image().imageByApplyingTransform(AffineTransform::translation(10, 5));
    struct Case
    {
        double radius, scale;
        float corner; // the mask image's corner pixel
    };
    for (const Case c : {Case{0, 1, 0.4f}, Case{5, 2, 0}, Case{10, 1, 0}}) {
        FilterPtr f = made("OVCombineMaskFilter",
                           {{"inputImage", var(placed)}, {"inputBackgroundImage", var(background.image())}});
        EXPECT_EQ(f->value("inputCornerRadius").toDouble(), 0.0);
        EXPECT_EQ(f->value("inputScale").toDouble(), 1.0);
        f->setValue(c.radius, "inputCornerRadius");
        f->setValue(c.scale, "inputScale");
        const Image out = output(f);
        EXPECT_EQ(out.extent(), Rect(0, 0, 40, 30));
        const Grid g = Grid::rendered(out, 40, 30);
        EXPECT_NEAR(g.at(20, 15)[0], 0.4f, 1e-6) << c.radius; // inside: both values
        EXPECT_NEAR(g.at(10, 5)[0], c.corner, 1e-6) << c.radius;
        EXPECT_EQ(g.at(5, 5)[0], 0.0f); // outside the mask image
        EXPECT_EQ(g.at(5, 5)[3], 1.0f); // the background's alpha
    }
}

TEST(FrameworkColourFilters, PureHuesAgainstHSV)
{
    const Grid hues = pureHues();
    struct Case
    {
        const char* name;
        QVariantMap inputs;
        std::function<Pixel(const Pixel&)> expected;
    };
    const Case cases[] = {
        {"OVRotateColorFilter",
         {{"inputAngle", 0.25}},
         [](const Pixel& p) {
             const auto hsv = toHSV(p[0], p[1], p[2]);
             return fromHSV(hsv[0] + 0.25, hsv[1], hsv[2]);
         }},
        {"OVKeepColorFilter",
         {{"inputColor", QVariant::fromValue(Color(0, 0, 1, 1))}, {"inputIntensity", 0.5}},
         [](const Pixel& p) {
             const double keep =
                 std::clamp(1 - hueDistance(toHSV(p[0], p[1], p[2])[0], 2 / 3.0) / 0.25, 0.0, 1.0);
             const double grey = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
             Pixel out = p;
             for (int c = 0; c < 3; ++c)
                 out[size_t(c)] = float(grey + (p[size_t(c)] - grey) * keep);
             return out;
         }},
        {"OVReplaceColorFilter",
         {{"inputColor", QVariant::fromValue(Color(1, 0, 0, 1))},
          {"inputTargetColor", QVariant::fromValue(Color(0, 0.5, 0, 1))},
          {"inputIntensity", 0.4}},
         [](const Pixel& p) {
             const auto hsv = toHSV(p[0], p[1], p[2]);
             // Red to dark green: hue + 1/3, value halved, weighted by nearness and saturation.
             const double weight = std::clamp(1 - hueDistance(hsv[0], 0) / 0.2, 0.0, 1.0) * hsv[1];
             const Pixel replaced = fromHSV(hsv[0] + 1 / 3.0, hsv[1], hsv[2] * 0.5);
             Pixel out = p;
             for (int c = 0; c < 3; ++c)
                 out[size_t(c)] = float(p[size_t(c)] + (replaced[size_t(c)] - p[size_t(c)]) * weight);
             return out;
         }},
    };
    for (const Case& c : cases) {
        QVariantMap inputs = c.inputs;
        inputs.insert("inputImage", var(hues.image()));
        const Image out = output(made(c.name, inputs));
        EXPECT_EQ(out.extent(), Rect(0, 0, 13, 1));
        EXPECT_LT(difference(Grid::rendered(out, 13, 1), mapped(hues, c.expected)), 2e-6) << c.name;
    }
    // Red replaced by itself at full intensity is red; the default keeps red and greys out the rest.
    const Grid kept =
        Grid::rendered(output(made("OVKeepColorFilter", {{"inputImage", var(hues.image())}})), 13, 1);
    EXPECT_EQ(kept.at(0, 0), (Pixel{1, 0, 0, 1}));
    EXPECT_NEAR(kept.at(6, 0)[0], 0.587f + 0.114f, 1e-6); // cyan turned grey
}

// A black source colour scales the value by 1 / 0.01: the replaced value stays within the pixel's range
// (1, or the pixel's own value above it) instead of washing the picture out.
TEST(OVReplaceColorFilter, ABlackSourceKeepsValuesInRange)
{
    const Pixel pixels[] = {
        {1, 0, 0, 1}, {0.3f, 0.05f, 0.05f, 1}, {1.5f, 0, 0, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.2f, 0.4f, 0.9f, 1}};
    const Grid input = Grid::from(5, 1, [&](int x, int) { return pixels[x]; });
    const Grid out = Grid::rendered(
        output(made("OVReplaceColorFilter", {{"inputImage", var(input.image())},
                                             {"inputColor", QVariant::fromValue(Color(0, 0, 0, 1))},
                                             {"inputTargetColor", QVariant::fromValue(Color(0, 1, 0, 1))},
                                             {"inputIntensity", 1.0}})),
        5, 1);
    for (int x = 0; x < 5; ++x) {
        const Pixel& p = pixels[x];
        const float ceiling = std::max({1.0f, p[0], p[1], p[2]});
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(std::isfinite(out.at(x, 0)[size_t(c)])) << x;
            EXPECT_GE(out.at(x, 0)[size_t(c)], 0.0f) << x;
            EXPECT_LE(out.at(x, 0)[size_t(c)], ceiling + 1e-6f) << x << " channel " << c;
        }
    }
    // Red, the black's hue, becomes the target at full value; a grey has no hue to replace.
    EXPECT_LT(difference(Grid::from(1, 1, [&](int, int) { return out.at(0, 0); }),
                         Grid::from(1, 1,
                                    [](int, int) {
                                        return Pixel{0, 1, 0, 1};
                                    })),
              1e-5);
    EXPECT_EQ(out.at(3, 0), input.at(3, 0));
}

TEST(OVSRGBConversionFilter, ExactCurvesOnStraightColour)
{
    auto convert = [](const Image& image, bool toRGB) {
        FilterPtr f = made("OVSRGBConversionFilter", {{"inputImage", var(image)}});
        if (toRGB)
            f->setValue(true, "toRGB");
        return f;
    };
    const Grid half = Grid::from(2, 1, [](int x, int) {
        const float a = x ? 0.5f : 1.0f;
        return Pixel{0.5f * a, 0.2140411f * a, 0.0f, a};
    });
    FilterPtr toLinear = convert(half.image(), true);
    Grid g = Grid::rendered(output(toLinear->copy()), 2, 1); // a copy keeps the direction
    for (int x = 0; x < 2; ++x) {
        EXPECT_NEAR(g.at(x, 0)[0] / g.at(x, 0)[3], 0.2140411f, 2e-6);
        EXPECT_EQ(g.at(x, 0)[3], half.at(x, 0)[3]);
    }
    g = Grid::rendered(output(convert(half.image(), false)), 2, 1); // without toRGB: to sRGB
    EXPECT_NEAR(g.at(1, 0)[1] / g.at(1, 0)[3], 0.5f, 2e-6);

    const Grid random = randomGrid(32, 8, 4, false);
    const Image back = output(convert(output(convert(random.image(), true)), false));
    EXPECT_LT(difference(Grid::rendered(back, 32, 8), random), 1e-5);
}

TEST(OVGradientMapFilter, LooksUpTheStripAtTheLuma)
{
    EXPECT_EQ(OVGradientMapFilter::parameters(Color(0.5, 0.5, 0.5, 1)), Vector(0, 0, 0, 1));
    // A hard two-colour strip: red below the middle, blue from it on.
    const Color red(1, 0, 0, 1), blue(0, 0, 1, 1);
    const Gradient hard({{0, red}, {0.5, red}, {0.5, blue}, {1, blue}});
    // Greys at known lumas, one above white (clamped to the strip's end).
    const float lumas[] = {0.0f, 0.3f, 0.4995f, 0.5005f, 1.0f, 1.5f};
    const Grid greys = Grid::from(6, 1, [&](int x, int) { return Pixel{lumas[x], lumas[x], lumas[x], 1}; });
    auto map = made("OVGradientMapFilter",
                    {{"inputImage", var(greys.image())}, {"inputGradient", QVariant::fromValue(hard)}});
    Grid g = Grid::rendered(output(map), 6, 1);
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(g.at(x, 0), (lumas[x] < 0.5f ? Pixel{1, 0, 0, 1} : Pixel{0, 0, 1, 1})) << lumas[x];

    // None, and text that makes no gradient, keep the strip; a gradient's text replaces it.
    map->setValue(QVariant(), "inputGradient");
    map->setValue(QStringLiteral("0 1 0 0 1"), "inputGradient");
    EXPECT_EQ(Grid::rendered(output(map), 6, 1).at(0, 0), (Pixel{1, 0, 0, 1}));
    map->setValue(QStringLiteral("0 0 1 0 1 1 0 1 0 1"), "inputGradient");
    EXPECT_EQ(Grid::rendered(output(map), 6, 1).at(0, 0), (Pixel{0, 1, 0, 1}));
    EXPECT_TRUE(output(made("OVGradientMapFilter", {})).isNull());
}

TEST(OVGradientMultiplyFilter, SpansTheExtentAlongItsAngle)
{
    const int w = 64, h = 32;
    const Image white =
        Grid(w, h, {1, 1, 1, 1}).image().imageByApplyingTransform(AffineTransform::translation(5, 7));
    for (double degrees : {0.0, 45.0, 90.0}) {
        auto f = made("OVGradientMultiplyFilter", {{"inputImage", var(white)}, {"inputAngle", degrees}});
        const Pixels p = render(output(f), Rect(5, 7, w, h));
        const double r = degrees * M_PI / 180;
        const double length = std::abs(w * std::cos(r)) + std::abs(h * std::sin(r));
        EXPECT_NEAR(length, degrees == 45 ? (w + h) / std::sqrt(2.0) : degrees ? h : w, 1e-9);
        float worst = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                // Location 0 to 1 along (cos a, -sin a) through the centre; the strip's first and last
                // half pixels hold its end values.
                const double t =
                    ((x + 0.5 - w / 2.0) * std::cos(r) - (y + 0.5 - h / 2.0) * std::sin(r)) / length + 0.5;
                const double expected = std::clamp(t, 0.5 / 1024, 1023.5 / 1024);
                worst = std::max(worst, float(std::abs(p.at(5 + x, 7 + y)[0] - expected)));
            }
        EXPECT_LT(worst, 1e-4) << degrees;
    }
    // A transparent gradient leaves the image; a colour of alpha 0 as well.
    auto clear =
        made("OVGradientMultiplyFilter",
             {{"inputImage", var(white)},
              {"inputGradient", QVariant::fromValue(Gradient(Color(0, 0, 0, 0), Color(0, 0, 0, 0)))}});
    EXPECT_EQ(render(output(clear), Rect(5, 7, 4, 4)).at(6, 8)[1], 1.0f);
    for (double alpha : {0.0, 0.5, 1.0}) {
        auto tint =
            made("OVColorMultiplyFilter", {{"inputImage", var(white)},
                                           {"inputColor", QVariant::fromValue(Color(0.2, 0.4, 1, alpha))}});
        EXPECT_NEAR(render(output(tint), Rect(5, 7, 4, 4)).at(6, 8)[0], 1 - alpha + alpha * 0.2, 1e-6);
    }
}

// A copy takes its values as they are, not through setValue: the strip drawn of the gradient, and what
// the filter hands it on to, must come along with it.
TEST(OVGradientStripFilter, CopiesDrawWithTheOriginalsStrip)
{
    const Grid greys = Grid::from(8, 4, [](int x, int) {
        const float v = x / 7.0f;
        return Pixel{v, v, v, 1};
    });
    const Gradient redToBlue(Color(1, 0, 0, 1), Color(0, 0, 1, 1));
    for (const char* name : {"OVGradientMapFilter", "OVGradientMultiplyFilter"}) {
        auto original = made(
            name, {{"inputImage", var(greys.image())}, {"inputGradient", QVariant::fromValue(redToBlue)}});
        const FilterPtr copy = original->copy();
        ASSERT_TRUE(copy) << name;
        const Grid expected = Grid::rendered(output(original), 8, 4);
        EXPECT_EQ(difference(Grid::rendered(output(copy), 8, 4), expected), 0.0f) << name;
        // The copy's strip is not the default gradient's.
        EXPECT_GT(difference(Grid::rendered(output(made(name, {{"inputImage", var(greys.image())}})), 8, 4),
                             expected),
                  0.1f)
            << name;
    }
}

TEST(OVDimmedBWFilter, SharedAndDimmed)
{
    const auto shared = OVDimmedBWFilter::sharedDimmedBWFilter();
    EXPECT_EQ(shared, OVDimmedBWFilter::sharedDimmedBWFilter());
    EXPECT_EQ(shared->value("inputBrightness").toDouble(), 0.6);
    const Grid colours = randomGrid(8, 4, 5, false);
    const Image out = output(made("OVDimmedBWFilter", {{"inputImage", var(colours.image())}}));
    EXPECT_LT(difference(Grid::rendered(out, 8, 4), mapped(colours,
                                                           [](const Pixel& p) {
                                                               const float grey = luma601(p) * 0.6f * p[3];
                                                               return Pixel{grey, grey, grey, p[3]};
                                                           })),
              2e-6);
}
