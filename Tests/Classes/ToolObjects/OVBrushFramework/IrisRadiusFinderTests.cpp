#include "Classes/ToolObjects/OVBrushFramework/IrisRadiusFinder.h"
#include "Platform/Foundation/Log.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace pf;

namespace {

// A picture whose pixel (x, y), y counted upward, has the colour f(x, y).
Image picture(int w, int h, const std::function<Color(int, int)>& f)
{
    Bitmap bitmap(w, h, Bitmap::Format::RGBA8);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = bitmap.mutableRow(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const Color c = f(x, y);
            const double rgba[4] = {c.red(), c.green(), c.blue(), 1.0};
            for (int k = 0; k < 4; ++k)
                row[x * 4 + k] = uint8_t(std::lround(std::clamp(rgba[k], 0.0, 1.0) * 255));
        }
    }
    return Image::fromBitmap(bitmap);
}

const Color Black(0.02, 0.02, 0.02);
const Color Blue(0.35, 0.5, 0.65);
const Color Red(0.8, 0.1, 0.1);
const Color White(0.95, 0.95, 0.95);

// A disc of `inside` on `outside`: the pixels whose centres lie within r of the centre (cx, cy).
std::function<Color(int, int)> disc(double cx, double cy, double r, Color inside, Color outside)
{
    return [=](int x, int y) { return std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r ? inside : outside; };
}

int pupilRadius(const Image& image, Point click, int outerRadius)
{
    IrisRadiusFinder finder;
    finder.setInputCIImage(image);
    finder.setInputPoint(click);
    finder.setOuterRadius(outerRadius);
    return finder.pupilRadius();
}

} // namespace

// A click at a pixel's centre searches rings of whole pixels around that pixel. A sharp black disc of
// radius 5 around the click covers the axis pixels up to distance 5, so the first ring that fails is 6.
// Clicks at or beyond the border, and searches that reach the outer radius, report 400 without reading a
// pixel outside the picture.
TEST(IrisRadiusFinder, PupilSearch)
{
    const Image pupil = picture(100, 80, disc(50.5, 40.5, 5, Black, Blue));
    const Image redEye = picture(100, 80, disc(50.5, 40.5, 3, Red, Blue));
    const Image dark = picture(100, 80, [](int, int) { return Black; });
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        const char* name;
        const Image* image;
        Point click;
        int outer;
        int expected;
    };
    const Case cases[] = {
        {"disc of radius 5", &pupil, {50.5, 40.5}, 10, 6},
        {"anywhere in the centre pixel", &pupil, {50.9, 40.1}, 10, 6},
        {"outer radius reached first", &pupil, {50.5, 40.5}, 5, 400},
        {"brush size 0", &pupil, {50.5, 40.5}, 0, 400},
        {"red pupil", &redEye, {50.5, 40.5}, 10, 4},
        {"not on a pupil", &pupil, {20.5, 20.5}, 10, 1},
        {"uniformly dark", &dark, {50.5, 40.5}, 30, 400},
        {"left border", &dark, {0.5, 40.5}, 30, 400},
        {"right border", &dark, {99.9, 40.5}, 30, 400},
        {"bottom row", &dark, {50.5, 0.2}, 30, 400},
        {"top row", &dark, {50.5, 79.9}, 30, 400},
        {"below the picture", &dark, {50.5, -3}, 30, 400},
        {"far outside", &dark, {1e12, -1e12}, 30, 400},
        {"not a number", &dark, {nan, nan}, 30, 400},
        {"no picture", nullptr, {50.5, 40.5}, 30, 400},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pupilRadius(c.image ? *c.image : Image(), c.click, c.outer), c.expected) << c.name;
}

TEST(IrisRadiusFinder, ColourTestsAtTheirBoundaries)
{
    struct Case
    {
        Color color;
        bool blackish, red;
        int irisScore;
    };
    const Case cases[] = {
        {Color(0.099, 0.099, 0.099), true, false, 0}, // dark grey: blackish, too grey for an iris
        {Color(0.1, 0.1, 0.1), false, false, 0},      // mean not below 0.1
        {Color(0.13, 0.08, 0.08), true, true, 0},     // max - mean 0.033: blackish; red hue, saturated
        {Color(0.14, 0.07, 0.04), false, false, 1},   // max - mean 0.057: a dark brown iris
        {Color(1.0, 0.7, 0.7), false, true, -1},      // saturation 0.3, hue 0: red (and too bright)
        {Color(1.0, 0.71, 0.71), false, false, 0},    // saturation 0.29: not red, but too bright
        {Color(0.42, 0.1, 0.7), false, true, 0},      // hue 0.756, on the magenta side: red
        {Color(0.3, 0.1, 0.7), false, false, 1},      // hue 0.722: violet, an iris colour
        {Color(0.35, 0.5, 0.65), false, false, 1},    // blue iris
        {Color(0.88, 0.8, 0.7), false, false, 1},     // brightness 0.88 exactly: not too bright
        {Color(0.89, 0.8, 0.7), false, false, 0},     // brightness 0.89: too bright
        {Color(0.5, 0.5, 0.456), false, false, 0},    // saturation 0.088: nearly grey
        {Color(0.5, 0.5, 0.45), false, false, 1},     // saturation 0.1
    };
    for (const Case& c : cases) {
        const std::string name = c.color.toString().toStdString();
        EXPECT_EQ(IrisRadiusFinder::isBlackish(c.color), c.blackish) << name;
        EXPECT_EQ(IrisRadiusFinder::isRed(c.color), c.red) << name;
        EXPECT_EQ(IrisRadiusFinder::isIrisColor(c.color), c.irisScore) << name;
    }
}

// The iris colour is the mean of those of four axis samples that look like an iris, taken halfway between
// the pupil and nine tenths of the outer radius. Without a pupil (400) the samples stay inside the outer
// radius, and samples outside the picture are skipped.
TEST(IrisRadiusFinder, IrisColourFromTheAxisSamples)
{
    const Color Brown(0.45, 0.3, 0.15);
    const Color mean((Blue.red() + Brown.red()) / 2, (Blue.green() + Brown.green()) / 2,
                     (Blue.blue() + Brown.blue()) / 2);
    struct Case
    {
        const char* name;
        Point click;
        bool pupil; // a black disc of radius 2 around the click: the search reports 3
        int ring;   // where the picture puts its samples: left, right, up, down
        Color left, right, up, down;
        Color expected;
        bool warns;
    };
    const Case cases[] = {
        // Outer radius 20, pupil 3: r = trunc((18 + 3) / 2) = 10.
        {"two of four", {50.5, 40.5}, true, 10, Blue, Brown, White, Red, mean, false},
        // At the left border the search stops at once (400); r = trunc((18 + 20) / 2) = 19, and the left
        // sample lies outside the picture.
        {"no pupil, at the border", {0.5, 40.5}, false, 19, Red, Brown, Blue, White, mean, false},
        {"none iris-coloured", {50.5, 40.5}, true, 10, White, Red, White, Red, Color(0, 0, 0, 1), true},
    };
    for (const Case& c : cases) {
        const int cx = int(c.click.x), cy = int(c.click.y);
        const auto f = [&](int x, int y) {
            if (c.pupil && std::hypot(x - cx, y - cy) <= 2)
                return Black;
            if (y == cy && x == cx - c.ring)
                return c.left;
            if (y == cy && x == cx + c.ring)
                return c.right;
            if (x == cx && y == cy + c.ring)
                return c.up;
            if (x == cx && y == cy - c.ring)
                return c.down;
            return White;
        };
        IrisRadiusFinder finder;
        finder.setInputCIImage(picture(100, 80, f));
        finder.setInputPoint(c.click);
        finder.setOuterRadius(20);
        finder.pupilRadius();
        LogCapture log;
        const Color got = finder.irisColorLight();
        EXPECT_NEAR(got.red(), c.expected.red(), 0.004) << c.name;
        EXPECT_NEAR(got.green(), c.expected.green(), 0.004) << c.name;
        EXPECT_NEAR(got.blue(), c.expected.blue(), 0.004) << c.name;
        EXPECT_EQ(got.alpha(), 1.0) << c.name;
        EXPECT_EQ(log.contains(QStringLiteral("IrisRadiusFinder Warning: no color to mix")), c.warns)
            << c.name;
    }
}
