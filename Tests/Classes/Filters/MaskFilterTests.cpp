#include "LibraryTestSupport.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/Vector.h"

#include <QRect>
#include <cmath>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

Image placed(int width, int height, double x, double y, unsigned seed = 1)
{
    return randomGrid(width, height, seed)
        .image()
        .imageByApplyingTransform(AffineTransform::translation(x, y));
}

FilterPtr made(const char* name)
{
    FilterPtr filter = Filter::create(name);
    EXPECT_TRUE(filter) << name;
    if (filter)
        filter->setDefaults();
    return filter;
}

Grid greyGrid(int w, int h, const std::function<float(int, int)>& f)
{
    return Grid::from(w, h, [&](int x, int y) {
        const float v = f(x, y);
        return Pixel{v, v, v, 1};
    });
}

float valueAt(const Image& image, int x, int y)
{
    return render(image, Rect(x, y, 1, 1)).at(x, y)[0];
}

} // namespace

// Where each mask filter's output lies, where it is defined, and what it reads around a destination:
// the contract the effects' filter graphs and the tiled renderer rely on. One row per member.
TEST(MaskFilters, ExtentDefinitionAndRegionOfInterest)
{
    struct Case
    {
        const char* filter;
        std::vector<const char*> imageKeys; // all set to the same image
        Rect imageRect;
        Rect extent;
        Rect definition;
        int sampler;
        Rect region; // asked of `sampler` for the destination (100, 100, 50, 50)
    };
    const Rect at(10, 20, 300, 200), zero(0, 0, 300, 200), dest(100, 100, 50, 50);
    const Rect three = dest.insetBy(-3, -3), twentyThree = dest.insetBy(-23, -23);
    // A picture off the pixel grid, and the whole pixels it touches.
    const Rect odd(10.7, 20.2, 640, 480), covered(10, 20, 640, 480);
    const std::vector<Case> cases{
        {"GMColorMaskDilateCircleFilter", {"inputImage"}, at, zero, at, 0, twentyThree},
        {"GMColorMaskDilateMaxFilter", {"inputImage"}, at, zero, at, 0, three},
        {"GMColorMaskErodeCircleFilter", {"inputImage"}, at, zero, at, 0, Rect(97, 67, 56, 116)},
        {"GMColorMaskErodeMinFilter", {"inputImage"}, at, zero, at, 0, three},
        {"GMColorMaskFillHolesFilter", {"inputImage"}, at, zero, at, 0, twentyThree},
        {"GMColorMaskInvertFilter", {"inputImage"}, at, zero, at, 0, dest},
        {"GMDilateCircleFilter", {"inputImage"}, at, zero, at, 0, three},
        {"GMFillHoles22Filter", {"inputImage"}, at, zero, at, 0, twentyThree},
        {"GMFillHolesBigFilter", {"inputImage"}, at, zero, at, 0, twentyThree},
        {"GMColorMaskBorderCutFilter", {"inputImage", "inputImageEdges"}, at, zero, at, 1, twentyThree},
        {"GMHardAlphaCutFilter", {"inputImage"}, at, at, at, 0, dest},
        // It reads the 5 x 5 pixels around each pixel for the evenness of skin.
        {"GMColorMaskSkinBasedOnLumErrFilter", {"inputImage"}, at, zero, at, 0, dest.insetBy(-2, -2)},
        {"GMExtractAreaLightnessColorMaskFilter", {"inputImage"}, at, zero, at, 0, dest},
        {"GMExtractDarkAreasRGBFilter", {"inputImage"}, at, zero, at, 0, dest},
        {"GMExtractLightAreasRGBFilter", {"inputImage"}, at, zero, at, 0, dest},
        {"GMCombineMasksFilter", {"inputMask", "inputReferenceMask", "inputMaskMap"}, at, zero, at, 2, dest},
        {"GMCutMaskToRectFilter", {"inputMaskImage"}, Rect(50, 50, 300, 200), zero, zero, 0, dest},
        {"GMFillFromBorderFilter", {"inputImage", "inputMask"}, odd, covered, covered, 0, odd},
        {"GMFillSkinFilter", {"inputImage", "inputMask"}, odd, covered, covered, 1, dest},
        {"GMMaskBasedOnColorRangeFilter", {"inputImage", "inputColorImage"}, at, zero, at, 1, dest},
        {"GMMaskBasedOnRGBFilter", {"inputImage", "inputColorImage"}, at, zero, at, 1, dest},
        {"GMMaskBasedOnHueSmoothFilter", {"inputImage", "inputColorImage"}, at, zero, at, 1, dest},
        {"GMMaskToneRangeCustomFilter", {"inputImage"}, at, zero, at, 0, dest},
        {"GMPassToneRangeFilter", {"inputImage"}, at, zero, at, 0, dest},
        {"GMSelectChannelThresholdFilter", {"inputImage"}, at, zero, at, 0, dest},
        {"GMMaskFillHolesAdjustableFilter", {"inputImage"}, at, zero, at, 0, twentyThree},
        {"GMMinAlphaFilter", {"inputImage"}, at, at, at, 0, dest},
        {"GMMultiplyAlphaFilter", {"inputImage"}, at, zero, at, 0, dest},
        {"GMsetAlphaChannelFilter", {"inputImage"}, at, at, at, 0, dest},
        {"GMInvertBrushMaskFilter", {"inputImage"}, odd, covered, covered, 0, dest},
        {"GMInnerCutFilter", {"inputMaskImage"}, Rect(20, 30, 300, 200), zero, zero, 0, dest},
        {"GMMask2AlphaFilter", {"inputImage", "inputMask"}, at, at, at, 1, dest},
        {"GMMaskAlphaFilter", {"inputImage", "inputMask"}, at, at, at, 0, dest},
        {"GMWhiteTransparentMask", {"inputImage"}, odd, covered, covered, 0, dest},
        {"OVGradientSmoother", {"inputImage", "inputGradient"}, at, at, at, 1, dest.insetBy(-1, -1)},
        {"OVSmoother", {"inputImage"}, at, at, at, 0, dest.insetBy(-1, -1)},
        {"OVMaskReplace", {"inputImage", "inputMask", "inputOriginal"}, at, at, at, 2, dest},
        {"OVMaskImage", {"inputImage", "inputMaskImage"}, at, at, at, 1, dest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        FilterPtr filter = made(c.filter);
        ASSERT_TRUE(filter);
        const Image image = placed(int(c.imageRect.width()), int(c.imageRect.height()), c.imageRect.minX(),
                                   c.imageRect.minY());
        for (const char* key : c.imageKeys)
            setImage(filter, image, key);
        if (filter->inputKeys().contains("inputIntensity") && !filter->hasValue("inputIntensity"))
            filter->setValue(0.5, "inputIntensity"); // the white mask has no default
        const Image out = output(filter);
        ASSERT_FALSE(out.isNull());
        EXPECT_EQ(out.extent(), c.extent);
        EXPECT_EQ(out.definition().extent(), c.definition);
        EXPECT_EQ(regionOf(out, c.sampler, dest), c.region);
    }
}

TEST(MaskFilters, DefaultsOfTheSelectionAndExtractionFilters)
{
    struct Case
    {
        const char* filter;
        const char* key;
        QVariant expected;
    };
    const std::vector<Case> cases{
        {"GMSelectChannelThresholdFilter", "inputChannel", 3.0},
        {"GMSelectChannelThresholdFilter", "inputThreshold", 0.0},
        {"GMPassToneRangeFilter", "inputToneRange", 1.0},
        {"GMMaskToneRangeCustomFilter", "inputTones", 0.0},
        {"GMMaskToneRangeCustomFilter", "inputBorders", QVariant::fromValue(Vector(0.33, 0.66))},
        {"GMExtractAreaLightnessColorMaskFilter", "inputIntensity", 0.5},
        {"GMExtractAreaLightnessColorMaskFilter", "inputMode", 0.0},
        {"GMExtractDarkAreasRGBFilter", "inputIntensity", 0.5},
        {"GMExtractLightAreasRGBFilter", "inputIntensity", 0.5},
        {"GMCutMaskToRectFilter", "inputExtent", QVariant::fromValue(Vector(0, 0, 400, 400))},
        {"GMCombineMasksFilter", "inputIntensity", 1.0},
        {"GMColorMaskBorderCutFilter", "inputThreshold", 0.1},
        {"GMColorAtPointFilter", "inputRadius", 1.0},
    };
    for (const Case& c : cases) {
        FilterPtr filter = made(c.filter);
        ASSERT_TRUE(filter);
        EXPECT_EQ(filter->value(c.key), c.expected) << c.filter << " " << c.key;
    }
    EXPECT_FALSE(made("GMWhiteTransparentMask")->hasValue("inputIntensity"));
}

// Morphology on a synthetic mask: a closed ring, a ring with a gap, a soft ring, a dot and a square.
TEST(MaskFilters, MorphologyGrowsShrinksAndFillsHoles)
{
    auto ring = [](int x, int y, int cx, int cy) {
        const double r = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        return r >= 6 && r <= 9;
    };
    const Grid mask = greyGrid(128, 64, [&](int x, int y) {
        if (ring(x, y, 16, 16))
            return 1.0f;
        if (ring(x, y, 48, 16) && !(x > 52 && std::abs(y - 16) <= 1)) // open to the right
            return 1.0f;
        if (ring(x, y, 84, 16))
            return 0.6f;
        if (x == 116 && y == 16)
            return 1.0f; // a dot
        if (x >= 10 && x < 30 && y >= 36 && y < 56)
            return 1.0f; // a square
        return 0.0f;
    });
    struct Probe
    {
        const char* filter;
        int x, y;
        float expected;
    };
    const std::vector<Probe> probes{
        // Holes: closed rings fill to their rim, the open one only where the gap may be ignored.
        {"GMFillHoles22Filter", 16, 16, 1},
        {"GMFillHoles22Filter", 48, 16, 0},
        {"GMFillHoles22Filter", 84, 16, 0.6f},
        {"GMColorMaskDilateCircleFilter", 16, 16, 1},
        {"GMColorMaskFillHolesFilter", 84, 16, 1},
        {"GMColorMaskFillHolesFilter", 48, 16, 0},
        {"GMFillHolesBigFilter", 48, 16, 1},
        {"GMFillHolesBigFilter", 100, 5, 0},
        // Growing the dot: a 7 x 7 square, or a disc of radius 3.
        {"GMColorMaskDilateMaxFilter", 119, 19, 1},
        {"GMColorMaskDilateMaxFilter", 120, 16, 0},
        {"GMDilateCircleFilter", 119, 16, 1},
        {"GMDilateCircleFilter", 118, 18, 1},
        {"GMDilateCircleFilter", 119, 19, 0},
        // Shrinking the square (10..29 x 36..55) by three pixels.
        {"GMColorMaskErodeMinFilter", 13, 39, 1},
        {"GMColorMaskErodeMinFilter", 12, 45, 0},
        {"GMColorMaskErodeCircleFilter", 13, 45, 1},
        {"GMColorMaskErodeCircleFilter", 12, 45, 0},
        {"GMColorMaskErodeCircleFilter", 13, 39, 1},
        {"GMColorMaskInvertFilter", 20, 45, 0},
        {"GMColorMaskInvertFilter", 50, 45, 1},
    };
    for (const Probe& p : probes) {
        FilterPtr filter = made(p.filter);
        setImage(filter, mask.image());
        EXPECT_NEAR(valueAt(output(filter), p.x, p.y), p.expected, 1e-5f)
            << p.filter << " at " << p.x << ", " << p.y;
    }
    // The adjustable filter's smallest mode reaches 4 pixels: not across the ring's 6-pixel hole radius.
    FilterPtr adjustable = made("GMMaskFillHolesAdjustableFilter");
    setImage(adjustable, mask.image());
    EXPECT_EQ(valueAt(output(adjustable), 16, 16), 0.0f);
    adjustable->setValue(4.0, "inputMode");
    EXPECT_EQ(valueAt(output(adjustable), 16, 16), 1.0f);
}

TEST(MaskFilters, BorderCutStopsTheSoftBorderAtAnEdge)
{
    // A mask full on the left, fading out to the right over columns 10..29; an edge in column 20.
    const Grid mask =
        greyGrid(40, 12, [](int x, int) { return std::clamp(1.0f - (x - 9) / 20.0f, 0.0f, 1.0f); });
    const Grid edges = greyGrid(40, 12, [](int x, int) { return x == 20 ? 1.0f : 0.0f; });
    FilterPtr filter = made("GMColorMaskBorderCutFilter");
    setImage(filter, mask.image());
    setImage(filter, edges.image(), "inputImageEdges");
    const Grid got = Grid::rendered(output(filter), 40, 12);
    EXPECT_NEAR(got.at(15, 6)[0], mask.at(15, 6)[0], 1e-5f); // before the edge: kept
    EXPECT_EQ(got.at(24, 6)[0], 0.0f);                       // beyond it: cut
    EXPECT_EQ(got.at(5, 6)[0], 1.0f);                        // the inside stays
    filter->setValue(1.5, "inputThreshold");                 // no edge that strong
    EXPECT_NEAR(valueAt(output(filter), 24, 6), mask.at(24, 6)[0], 1e-5f);
}

// Per-pixel filters against the formula each one is for, on random premultiplied colours and masks.
TEST(MaskFilters, PerPixelSelectionAndAlphaFormulas)
{
    const Grid image = randomGrid(12, 10, 3, false);
    const Grid mask = greyGrid(12, 10, [](int x, int y) { return float((x * 7 + y * 3) % 11) / 10.0f; });
    auto lumaOf = [](const Pixel& c) { return luma601(c); };
    struct Case
    {
        const char* filter;
        std::vector<std::pair<const char*, QVariant>> values;
        std::function<Pixel(const Pixel& c, const Pixel& m)> expected;
    };
    auto grey = [](float v) { return Pixel{v, v, v, 1}; };
    const std::vector<Case> cases{
        {"GMSelectChannelThresholdFilter",
         {{"inputChannel", 0.0}, {"inputThreshold", 0.5}},
         [&](const Pixel& c, const Pixel&) { return grey(straight(c)[0] > 0.5f ? 1.0f : 0.0f); }},
        {"GMSelectChannelThresholdFilter",
         {{"inputChannel", 3.0}, {"inputThreshold", 0.6}},
         [&](const Pixel& c, const Pixel&) { return grey(c[3] > 0.6f ? 1.0f : 0.0f); }},
        {"GMMinAlphaFilter",
         {{"inputIntensity", 0.7}},
         [&](const Pixel& c, const Pixel&) {
             Pixel s = straight(c);
             s[3] = std::max(c[3], 0.7f);
             return premultiplied(s);
         }},
        {"GMMultiplyAlphaFilter",
         {{"inputIntensity", 0.25}},
         [&](const Pixel& c, const Pixel&) {
             return Pixel{c[0] * 0.75f, c[1] * 0.75f, c[2] * 0.75f, c[3] * 0.75f};
         }},
        {"GMsetAlphaChannelFilter",
         {{"inputIntensity", 0.3}},
         [&](const Pixel& c, const Pixel&) {
             Pixel s = straight(c);
             s[3] = 0.3f;
             return premultiplied(s);
         }},
        {"GMMask2AlphaFilter",
         {},
         [&](const Pixel& c, const Pixel& m) {
             return Pixel{c[0] * m[0], c[1] * m[0], c[2] * m[0], c[3] * m[0]};
         }},
        {"GMMaskAlphaFilter",
         {},
         [&](const Pixel& c, const Pixel& m) {
             Pixel s = straight(c);
             s[3] = m[0];
             return premultiplied(s);
         }},
        {"GMExtractLightAreasRGBFilter",
         {{"inputIntensity", 0.0}},
         [&](const Pixel& c, const Pixel&) {
             return Pixel{c[0], c[1], c[2], 1};
         }},
        {"GMExtractDarkAreasRGBFilter",
         {{"inputIntensity", 0.25}},
         [&](const Pixel& c, const Pixel&) {
             const Pixel s = straight(c);
             return Pixel{std::pow(1 - s[0], 2.0f) * c[3], std::pow(1 - s[1], 2.0f) * c[3],
                          std::pow(1 - s[2], 2.0f) * c[3], 1};
         }},
        {"GMPassToneRangeFilter",
         {{"inputToneRange", 2.0}},
         [&](const Pixel& c, const Pixel&) {
             const float y = lumaOf(c);
             const float t = std::clamp((y - 0.6417f) / 0.05f, 0.0f, 1.0f);
             const float m = t * t * (3 - 2 * t);
             return Pixel{c[0] * m, c[1] * m, c[2] * m, c[3] * m};
         }},
        {"GMInvertBrushMaskFilter",
         {},
         [&](const Pixel& c, const Pixel&) {
             return Pixel{1 - c[0], 1 - c[1], 1 - c[2], 1};
         }},
    };
    for (const Case& c : cases) {
        FilterPtr filter = made(c.filter);
        setImage(filter, image.image());
        if (filter->inputKeys().contains("inputMask"))
            setImage(filter, mask.image(), "inputMask");
        for (const auto& [key, value] : c.values)
            filter->setValue(value, key);
        const Grid expected =
            Grid::from(12, 10, [&](int x, int y) { return c.expected(image.at(x, y), mask.at(x, y)); });
        EXPECT_LT(difference(Grid::rendered(output(filter), 12, 10), expected), 2e-5f) << c.filter;
    }

    // Masks read on their own: inner cut, combination, cut to a rectangle.
    FilterPtr inner = made("GMInnerCutFilter");
    setImage(inner, mask.image(), "inputMaskImage");
    FilterPtr combine = made("GMCombineMasksFilter");
    setImage(combine, mask.image(), "inputMask");
    setImage(combine, greyGrid(12, 10, [](int, int) { return 1.0f; }).image(), "inputReferenceMask");
    setImage(combine, greyGrid(12, 10, [](int x, int) { return x < 6 ? 1.0f : 0.0f; }).image(),
             "inputMaskMap");
    combine->setValue(0.5, "inputIntensity");
    FilterPtr cut = made("GMCutMaskToRectFilter");
    setImage(cut, mask.image(), "inputMaskImage");
    cut->setValue(QVariant::fromValue(Vector(2, 3, 4, 5)), "inputExtent");
    const Grid innerGot = Grid::rendered(output(inner), 12, 10);
    const Grid combined = Grid::rendered(output(combine), 12, 10);
    const Grid cutGot = Grid::rendered(output(cut), 12, 10);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) {
            const float m = mask.at(x, y)[0];
            EXPECT_NEAR(innerGot.at(x, y)[0], std::clamp(2 * m - 1, 0.0f, 1.0f), 1e-5f);
            EXPECT_NEAR(combined.at(x, y)[0], x < 6 ? m + (1 - m) * 0.5f : m, 1e-5f);
            const bool inside = x >= 2 && x < 6 && y >= 3 && y < 8;
            EXPECT_NEAR(cutGot.at(x, y)[0], inside ? m : 0.0f, 1e-5f);
        }
    }
}

TEST(MaskFilters, ColourSelectionsKeepTheWantedColourAndDropOthers)
{
    const Pixel skin{0.85f, 0.62f, 0.5f, 1}, grass{0.2f, 0.6f, 0.15f, 1}, shadedSkin{0.6f, 0.43f, 0.35f, 1};
    const Grid image = Grid::from(3, 1, [&](int x, int) {
        return x == 0 ? skin : x == 1 ? grass : shadedSkin;
    });
    const Grid wanted(3, 1, skin);
    struct Case
    {
        const char* filter;
        double intensity;
        float skinValue, grassValue, shadedValue; // < 0: not checked
    };
    const std::vector<Case> cases{
        {"GMMaskBasedOnRGBFilter", 0.05, 1, 0, 0},           // shade is far in RGB
        {"GMMaskBasedOnColorRangeFilter", 0.05, 1, 0, 0.9f}, // but close in colour
        {"GMMaskBasedOnHueSmoothFilter", 0.02, 1, 0, 0.9f},  // and in hue
    };
    for (const Case& c : cases) {
        FilterPtr filter = made(c.filter);
        setImage(filter, image.image());
        setImage(filter, wanted.image(), "inputColorImage");
        filter->setValue(c.intensity, "inputIntensity");
        const Grid got = Grid::rendered(output(filter), 3, 1);
        EXPECT_NEAR(got.at(0, 0)[0], c.skinValue, 1e-4f) << c.filter;
        EXPECT_NEAR(got.at(1, 0)[0], c.grassValue, 1e-4f) << c.filter;
        if (c.shadedValue == 0)
            EXPECT_LT(got.at(2, 0)[0], 0.05f) << c.filter;
        else
            EXPECT_GT(got.at(2, 0)[0], c.shadedValue) << c.filter;
    }
    // Tone ranges by luma: the grass (luma 0.43) is a midtone, the skin (0.67) a highlight.
    FilterPtr tones = made("GMMaskToneRangeCustomFilter");
    setImage(tones, image.image());
    tones->setValue(1.0, "inputTones");
    EXPECT_EQ(Grid::rendered(output(tones), 3, 1).at(1, 0)[0], 1.0f);
    tones->setValue(2.0, "inputTones");
    EXPECT_GT(Grid::rendered(output(tones), 3, 1).at(0, 0)[0], 0.85f);
}

TEST(MaskFilters, ColorAtPointReadsThePointInEveryTile)
{
    const Grid photo = randomGrid(640, 480, 9);
    for (const Rect& rect : {Rect(0, 0, 640, 480), Rect(100, 50, 640, 480)}) {
        FilterPtr filter = made("GMColorAtPointFilter");
        setImage(filter, photo.image().imageByApplyingTransform(
                             AffineTransform::translation(rect.minX(), rect.minY())));
        filter->setValue(QVariant::fromValue(Vector(0.5, 0.25)), "inputPoint");
        const Image out = output(filter);
        EXPECT_EQ(numberArguments(out), (std::vector<float>{320, 120})) << rect.minX();
        EXPECT_EQ(out.extent(), Rect(0, 0, 640, 480));
        // The mean of the 3 x 3 pixels around (320, 120) of the working space.
        Pixel mean{};
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                for (size_t i = 0; i < 4; ++i)
                    mean[i] += photo.at(320 + dx - int(rect.minX()), 120 + dy - int(rect.minY()))[i] / 9;
        // A pixel far from the point, rendered on its own, still shows the point's colour.
        const Pixel far = render(out, Rect(630, 470, 1, 1)).at(630, 470);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(far[i], mean[i], 1e-5f) << rect.minX();
        EXPECT_EQ(regionOf(out, 0, Rect(600, 400, 10, 10)),
                  Rect(319, 119, 2, 2).united(Rect(600, 400, 10, 10)));
        filter->setValue(5.0, "inputRadius");
        EXPECT_EQ(regionOf(output(filter), 0, Rect(320, 120, 1, 1)), Rect(315, 115, 10, 10));
    }
}

TEST(MaskFilters, FillFromBorderAndFillSkin)
{
    // A linear ramp is reproduced exactly by the fill from the border, wherever the mask is.
    const Grid ramp = Grid::from(24, 16, [](int x, int y) { return Pixel{x / 30.0f, y / 20.0f, 0.5f, 1}; });
    const Grid hole =
        greyGrid(24, 16, [](int x, int y) { return x > 4 && x < 18 && y > 3 && y < 12 ? 1.0f : 0.0f; });
    const Grid scribbled = Grid::from(24, 16, [&](int x, int y) {
        return hole.at(x, y)[0] > 0 ? Pixel{1, 0, 1, 1} : ramp.at(x, y);
    });
    FilterPtr border = made("GMFillFromBorderFilter");
    setImage(border, scribbled.image());
    setImage(border, hole.image(), "inputMask");
    EXPECT_LT(difference(Grid::rendered(output(border), 24, 16), ramp), 1e-4f);

    // The skin fill paints the skin tone around a dark blot on the cheek over it.
    Bitmap blotted = *context().render(Image::fromFile(GLIMORA_TESTDATA_DIR "/portrait-512.png"),
                                       Rect(0, 0, 512, 512), Bitmap::Format::RGBAf);
    const Grid blot = greyGrid(
        512, 512, [](int x, int y) { return std::abs(x - 190) < 5 && std::abs(y - 380) < 5 ? 1.0f : 0.0f; });
    for (int y = 376; y < 385; ++y)
        for (int x = 186; x < 195; ++x)
            std::fill_n(reinterpret_cast<float*>(blotted.mutableRow(511 - y)) + x * 4, 3, 0.1f);
    FilterPtr skin = made("GMFillSkinFilter");
    setImage(skin, Image::fromBitmap(blotted));
    setImage(skin, blot.image(), "inputMask");
    const Pixel filled = render(output(skin), Rect(190, 380, 1, 1)).at(190, 380);
    // Near the mean of the skin around the blot (a ring from 6 to 12 pixels out).
    const Pixels cheek = render(Image::fromBitmap(blotted), Rect(170, 360, 40, 40));
    Pixel around{};
    int count = 0;
    for (int y = 368; y < 392; ++y) {
        for (int x = 178; x < 202; ++x) {
            const double r = std::hypot(x - 190, y - 380);
            if (r >= 6 && r <= 12) {
                for (size_t i = 0; i < 3; ++i)
                    around[i] += cheek.at(x, y)[i];
                ++count;
            }
        }
    }
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(filled[i], around[i] / float(count), 0.08f) << i;
    FilterPtr judge = made("GMColorMaskSkinBasedOnLumErrFilter");
    setImage(judge, output(skin));
    EXPECT_GT(valueAt(output(judge), 190, 380), 0.9f);
    setImage(judge, Image::fromBitmap(blotted));
    EXPECT_LT(valueAt(output(judge), 190, 380), 0.1f);
}

// Regions of the portrait marked by hand (top-down pixel rectangles; the irises as discs): the skin of
// the cheeks and the forehead is skin, the irises, the hair (lit, dark and beside the face), the
// eyebrows, the orange suit, the dark collar, the flag's blue and the beige wall behind are not, each
// judged by the mask's mean there.
TEST(MaskFilters, SkinMaskOnThePortrait)
{
    const Image photo = Image::fromFile(GLIMORA_TESTDATA_DIR "/portrait-512.png");
    FilterPtr filter = made("GMColorMaskSkinBasedOnLumErrFilter");
    setImage(filter, photo);
    const Pixels mask = render(output(filter), Rect(0, 0, 512, 512));
    struct Region
    {
        const char* name;
        QRect rect;
        bool skin;
        bool disc = false;
        double most = 0.1; // what a region that is no skin may have
    };
    const Region regions[] = {
        {"forehead", {200, 84, 33, 5}, true},
        {"left cheek", {192, 112, 14, 16}, true},
        {"right cheek", {247, 112, 12, 14}, true},
        {"left iris", {200, 97, 7, 7}, false, true},
        {"right iris", {243, 99, 7, 7}, false, true},
        {"lit hair", {205, 27, 60, 35}, false},
        {"dark hair", {188, 28, 14, 18}, false},
        {"hair beside the face", {158, 90, 12, 35}, false},
        {"suit, arm", {40, 300, 60, 80}, false},
        {"suit, chest", {150, 290, 60, 30}, false},
        {"suit, right", {290, 300, 40, 60}, false},
        {"collar", {175, 200, 40, 15}, false},
        {"flag's blue", {5, 30, 30, 30}, false},
        {"beige wall", {295, 40, 60, 60}, false},
        {"wall beside the shuttle", {320, 150, 30, 40}, false},
        // Eyebrows of the skin's own colour, a line or two of pixels: low.
        {"left eyebrow", {192, 88, 9, 2}, false, false, 0.5},
        {"right eyebrow", {238, 92, 11, 1}, false, false, 0.5},
    };
    for (const Region& r : regions) {
        double sum = 0;
        int n = 0;
        for (int row = r.rect.top(); row <= r.rect.bottom(); ++row)
            for (int x = r.rect.left(); x <= r.rect.right(); ++x) {
                if (r.disc &&
                    std::hypot(x + 0.5 - r.rect.center().x() - 0.5, row - r.rect.center().y()) > 3.4)
                    continue;
                sum += mask.at(x, 511 - row)[1];
                ++n;
            }
        if (r.skin)
            EXPECT_GE(sum / n, 0.9) << r.name;
        else
            EXPECT_LT(sum / n, r.most) << r.name;
    }
}

// The framework's mask tools: modes, kernels, missing inputs, and the solver they serve.
TEST(MaskToolFilters, KernelChoiceAndMissingInputs)
{
    const Image image = randomGrid(16, 12, 4).image();
    struct Case
    {
        double mode;
        const char* kernel;
    };
    FilterPtr solver = made("OVImproveSolution");
    setImage(solver, image);
    setImage(solver, image, "inputMask");
    setImage(solver, image, "inputResiduum");
    for (const Case& c : std::vector<Case>{{0, "smoothKernel"},
                                           {1, "calcResiduumKernel"},
                                           {2, "smoothKernelForRHS"},
                                           {3, "correctionKernel"},
                                           {4, "convToNeg"},
                                           {5, "clearColor"},
                                           {6, "convToPos"},
                                           {7, "cutImage"},
                                           {-1, "cutImage"}}) {
        solver->setValue(c.mode, "inputMode");
        EXPECT_EQ(kernelChain(output(solver)).value(0), c.kernel) << c.mode;
    }
    FilterPtr cut = made("OVCutMixedAlpha");
    setImage(cut, image);
    EXPECT_TRUE(output(cut).isNull());
    cut->setValue(0.0, "inputThreshold");
    EXPECT_EQ(kernelChain(output(cut)).value(0), "cutAlphaMixed");
    cut->setValue(-0.1, "inputThreshold");
    EXPECT_EQ(kernelChain(output(cut)).value(0), "posNeg");

    // No number or rectangle where one is needed: no output, and nothing worse.
    FilterPtr unsetMode = made("OVImproveSolution");
    setImage(unsetMode, image);
    EXPECT_TRUE(output(unsetMode).isNull());
    FilterPtr replace = made("OVReplaceInRect");
    setImage(replace, image);
    setImage(replace, placed(30, 20, 5, 5), "inputOriginal");
    EXPECT_TRUE(output(replace).isNull());
    replace->setValue(QVariant::fromValue(Vector(8, 8, 4, 4)), "inputRect");
    EXPECT_EQ(output(replace).extent(), Rect(5, 5, 30, 20)); // the original's, not the image's
    FilterPtr white = made("GMWhiteTransparentMask");
    setImage(white, image);
    EXPECT_TRUE(output(white).isNull());
    white->setValue(1.0, "inputIntensity");
    EXPECT_FALSE(output(white).isNull());
    {
        LogCapture quiet;
        FilterPtr noNumbers = Filter::create("GMExtractDarkAreasRGBFilter");
        setImage(noNumbers, image);
        EXPECT_TRUE(output(noNumbers).isNull());
    }

    // A mask without an image or a colour paints opaque white; with an image the colour is ignored.
    const Grid mask = greyGrid(4, 4, [](int x, int) { return x / 3.0f; });
    FilterPtr masked = made("OVMaskImage");
    setImage(masked, mask.image(), "inputMaskImage");
    EXPECT_NEAR(render(output(masked), Rect(0, 0, 4, 4)).at(2, 1)[3], 2 / 3.0f, 1e-5f);
    EXPECT_NEAR(render(output(masked), Rect(0, 0, 4, 4)).at(2, 1)[0], 2 / 3.0f, 1e-5f);
    masked->setValue(QVariant::fromValue(Color(1, 0, 0, 1)), "inputColor");
    setImage(masked, Grid(4, 4, {0, 0.5f, 0, 0.5f}).image());
    EXPECT_NEAR(render(output(masked), Rect(0, 0, 4, 4)).at(3, 1)[1], 0.5f, 1e-5f);
}

TEST(MaskToolFilters, SolverStepsFillAHoleSmoothly)
{
    // A ramp with a hole punched in it: relaxation inside the mask brings the ramp back; a residual
    // and a correction step agree with it.
    const int w = 20, h = 12;
    const Grid ramp = Grid::from(w, h, [](int x, int) { return Pixel{x / 20.0f, 0.25f, 0.5f, 1}; });
    const Grid hole =
        greyGrid(w, h, [](int x, int y) { return x > 6 && x < 13 && y > 3 && y < 8 ? 1.0f : 0.0f; });
    Image u = Grid::from(w, h, [&](int x, int y) {
                  return hole.at(x, y)[0] > 0 ? Pixel{0, 0, 0, 0} : ramp.at(x, y);
              }).image();
    auto step = [&](double mode, const Image& image, const Image& residuum = Image()) {
        FilterPtr f = made("OVImproveSolution");
        setImage(f, image);
        setImage(f, hole.image(), "inputMask");
        if (!residuum.isNull())
            setImage(f, residuum, "inputResiduum");
        f->setValue(mode, "inputMode");
        return Image::fromBitmap(*context().render(output(f), Rect(0, 0, w, h), Bitmap::Format::RGBAf));
    };
    for (int i = 0; i < 60; ++i)
        u = step(0, u);
    EXPECT_LT(difference(Grid::rendered(u, w, h), ramp), 0.01f);
    // The residual of the relaxed solution is small; a correction by the residual's relaxation moves the
    // solution no further than that.
    const Image r = step(1, u);
    const Grid residual = Grid::rendered(r, w, h);
    EXPECT_LT(difference(residual, Grid(w, h)), 0.002f);
    const Image corrected = step(3, u, step(2, step(5, u), r));
    EXPECT_LT(difference(Grid::rendered(corrected, w, h), ramp), 0.01f);
    // Encoding signed values and back.
    EXPECT_LT(difference(Grid::rendered(step(4, step(6, r)), w, h), residual), 1e-6f);
}
