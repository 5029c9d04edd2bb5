#include "Classes/Framework/ColorORVExtension.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace ORVExtension;
using pf::Color;

namespace {

void expectColor(const Color& actual, const Color& expected, double tolerance = 1e-6)
{
    EXPECT_NEAR(actual.red(), expected.red(), tolerance);
    EXPECT_NEAR(actual.green(), expected.green(), tolerance);
    EXPECT_NEAR(actual.blue(), expected.blue(), tolerance);
    EXPECT_EQ(actual.alpha(), 1.0);
}

} // namespace

TEST(ColorConversions, KnownColours)
{
    const HSV black = hsv(Color(0, 0, 0));
    EXPECT_EQ(black.hue, 0);
    EXPECT_EQ(black.saturation, 0);
    EXPECT_EQ(black.value, 0);
    const HSV red = hsv(Color(1, 0, 0));
    EXPECT_EQ(red.hue, 0);
    EXPECT_EQ(red.saturation, 1);
    EXPECT_EQ(red.value, 1);
    EXPECT_DOUBLE_EQ(hsv(Color(0, 0, 1)).hue, 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(hsv(Color(1, 0, 1)).hue, 5.0 / 6.0);

    const HSL white = hsl(Color(1, 1, 1));
    EXPECT_EQ(white.saturation, 0);
    EXPECT_EQ(white.lightness, 1);
    const HSL pink = hsl(Color(1, 0.5, 0.5));
    EXPECT_DOUBLE_EQ(pink.lightness, 0.75);
    EXPECT_DOUBLE_EQ(pink.saturation, 1);
    // The two cases of the saturation: a dark and a light colour of the same hue.
    EXPECT_DOUBLE_EQ(hsl(Color(0.4, 0.2, 0.2)).saturation, 0.2 / 0.6);
    EXPECT_DOUBLE_EQ(hsl(Color(0.9, 0.7, 0.7)).saturation, 0.2 / (2 - 1.6));

    expectColor(colorForHSV({0.5, 1, 1}), Color(0, 1, 1));
    expectColor(colorForHSV({0.3, 0, 0.4}), Color(0.4, 0.4, 0.4));
    expectColor(colorForHSL({0.7, 0, 0.3}), Color(0.3, 0.3, 0.3));
}

TEST(ColorConversions, GreysHaveHueZeroNotNaN)
{
    for (double v : {0.2, 0.5, 1.0}) {
        EXPECT_EQ(hsv(Color(v, v, v)).hue, 0);
        EXPECT_EQ(hsl(Color(v, v, v)).hue, 0);
        EXPECT_EQ(hsl(Color(v, v, v)).saturation, 0);
    }
}

TEST(ColorConversions, HuesOutsideTheCircleWrapAround)
{
    // A hue of exactly 1 is red again, not the sixth sector's magenta.
    expectColor(colorForHSV({1.0, 1, 1}), Color(1, 0, 0));
    expectColor(colorForHSV({-0.5, 1, 1}), colorForHSV({0.5, 1, 1}));
    expectColor(colorForHSV({2.25, 0.5, 0.8}), colorForHSV({0.25, 0.5, 0.8}));
    expectColor(colorForHSV({std::nextafter(1.0, 0.0), 1, 1}), Color(1, 0, 0), 1e-9);
    expectColor(colorForHSL({1.0, 1, 0.5}), Color(1, 0, 0));
    expectColor(colorForHSL({-1.0 / 3.0, 1, 0.5}), Color(0, 0, 1));
}

TEST(ColorConversions, RoundTripsOverAGrid)
{
    const int steps = 10;
    for (int r = 0; r <= steps; ++r)
        for (int g = 0; g <= steps; ++g)
            for (int b = 0; b <= steps; ++b) {
                const Color c(r / double(steps), g / double(steps), b / double(steps));
                SCOPED_TRACE(testing::Message() << c.red() << " " << c.green() << " " << c.blue());
                const HSV v = hsv(c);
                EXPECT_GE(v.hue, 0);
                EXPECT_LT(v.hue, 1);
                expectColor(colorForHSV(v), c);
                const HSL l = hsl(c);
                EXPECT_GE(l.hue, 0);
                EXPECT_LT(l.hue, 1);
                EXPECT_GE(l.saturation, 0);
                EXPECT_LE(l.saturation, 1 + 1e-12);
                expectColor(colorForHSL(l), c);
            }
}
