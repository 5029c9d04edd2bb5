#include "LibraryTestSupport.h"

#include "Classes/Filters/GMHistogramImage.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

// Straight colours spread over the cube, with grey, the primaries and both hue wraps among them.
Grid colours(bool withAlpha)
{
    const Pixel fixed[] = {{0.5f, 0.5f, 0.5f, 1}, {1, 0, 0, 1},          {0, 1, 0, 1}, {0, 0, 1, 1},
                           {1, 0, 0.2f, 1},       {0.9f, 0.8f, 0.1f, 1}, {0, 0, 0, 1}, {1, 1, 1, 1}};
    std::mt19937 random(12);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    return Grid::from(8, 6, [&](int x, int y) {
        Pixel c = y == 0 ? fixed[x] : Pixel{unit(random), unit(random), unit(random), 1};
        c[3] = withAlpha && y > 2 ? 0.3f + 0.1f * x : 1.0f;
        return premultiplied(c);
    });
}

std::array<float, 3> hsl(const Pixel& premultipliedColour)
{
    const Pixel c = straight(premultipliedColour);
    const float hi = std::max({c[0], c[1], c[2]}), lo = std::min({c[0], c[1], c[2]});
    const float l = (hi + lo) / 2, d = hi - lo;
    if (d == 0)
        return {0, 0, l};
    const float s = l > 0.5f ? d / (2 - hi - lo) : d / (hi + lo);
    float h = hi == c[0]   ? (c[1] - c[2]) / d + (c[1] < c[2] ? 6 : 0)
              : hi == c[1] ? (c[2] - c[0]) / d + 2
                           : (c[0] - c[1]) / d + 4;
    return {h / 6, s, l};
}

Grid filtered(const char* name, const Grid& source,
              const std::function<void(const FilterPtr&)>& settings = {})
{
    FilterPtr filter = Filter::create(name);
    EXPECT_TRUE(filter) << name;
    filter->setDefaults();
    setImage(filter, source.image());
    if (settings)
        settings(filter);
    return Grid::rendered(output(filter), source.width, source.height);
}

Grid chained(const std::vector<const char*>& names, const Grid& source)
{
    Grid g = source;
    for (const char* name : names)
        g = filtered(name, g);
    return g;
}

} // namespace

TEST(ColourConversions, RgbToHslFollowsTheHexconeModelAndRoundTrips)
{
    const Grid source = colours(true);
    const Grid expected = mapped(source, [](const Pixel& c) {
        const auto v = hsl(c);
        return premultiplied({v[0], v[1], v[2], c[3]});
    });
    EXPECT_LT(difference(filtered("GMRGB2HSLFilter", source), expected), 1e-5f);
    EXPECT_LT(difference(chained({"GMRGB2HSLFilter", "GMHSL2RGBFilter"}, source), source), 1e-5f);
}

TEST(ColourConversions, RgbToYuvIsFullRangeBt601AndInvertible)
{
    const Grid source = colours(true);
    const Grid yuv = filtered("GMRGB2YUVFilter", source);
    const Grid expected = mapped(source, [](const Pixel& p) {
        const Pixel c = straight(p);
        const float y = 0.299f * c[0] + 0.587f * c[1] + 0.114f * c[2];
        return premultiplied({y, 0.492f * (c[2] - y) + 0.5f, 0.877f * (c[0] - y) + 0.5f, c[3]});
    });
    EXPECT_LT(difference(yuv, expected), 1e-5f);
    // Undoing the three equations gives the colours back.
    const Grid back = mapped(yuv, [](const Pixel& p) {
        const Pixel c = straight(p);
        const float r = c[0] + (c[2] - 0.5f) / 0.877f, b = c[0] + (c[1] - 0.5f) / 0.492f;
        return premultiplied({r, (c[0] - 0.299f * r - 0.114f * b) / 0.587f, b, c[3]});
    });
    EXPECT_LT(difference(back, source), 1e-5f);
}

TEST(ColourConversions, YuvToRgbUndoesRgbToYuv)
{
    if (!Filter::isRegistered("GMYUV2RGBFilter"))
        GTEST_SKIP() << "GMYUV2RGBFilter is not in this build";
    const Grid source = colours(true);
    EXPECT_LT(difference(chained({"GMRGB2YUVFilter", "GMYUV2RGBFilter"}, source), source), 1e-5f);
}

TEST(ColourConversions, ExtentsFollowTheirKinds)
{
    const Image shifted = marker(6, 4).imageByApplyingTransform(AffineTransform::translation(20, 30));
    for (const char* name :
         {"GMRGB2HSLFilter", "GMHSL2RGBFilter", "GMRGB2YUVFilter", "GMSelectiveColorChangeCYMKFilter",
          "GMHSLColorAdjustFilter", "GMHSLChannelAdjustmentFilter"}) {
        FilterPtr filter = Filter::create(name);
        filter->setDefaults();
        setImage(filter, shifted);
        EXPECT_EQ(output(filter).extent(), Rect(0, 0, 6, 4)) << name;
    }
    FilterPtr multiply = Filter::create("GMMultiplyRGBFilter");
    multiply->setDefaults();
    setImage(multiply, shifted);
    EXPECT_EQ(output(multiply).extent(), Rect(20, 30, 6, 4));
    for (const char* name :
         {"GMLevelAdjustFilter", "GMLevelAdjustSVFilter", "GMHistogramBasedLighteningFilter",
          "GMHistogramMaxColorFilter", "GMHistogramLightnessColorFilter"}) {
        FilterPtr filter = Filter::create(name);
        filter->setDefaults();
        setImage(filter, shifted);
        EXPECT_EQ(output(filter).extent(), Rect(20, 30, 6, 4)) << name;
    }
}

TEST(HslAdjustments, TurnHueScaleSaturationAndLightnessMixedByThePercentage)
{
    const Grid source = filtered("GMRGB2HSLFilter", colours(true));
    // Defaults (1, 1, 1) and percentage 1 leave the image unchanged.
    FilterPtr defaults = Filter::create("GMHSLColorAdjustFilter");
    defaults->setDefaults();
    setImage(defaults, source.image());
    EXPECT_EQ(numberArguments(output(defaults)), (std::vector<float>{1, 1, 1, 1}));
    EXPECT_LT(difference(filtered("GMHSLColorAdjustFilter", source), source), 1e-6f);
    const Grid got = filtered("GMHSLColorAdjustFilter", source, [](const FilterPtr& f) {
        f->setValue(0.75, "inputHue"); // a quarter turn back
        f->setValue(0.5, "inputSaturation");
        f->setValue(0.8, "inputLightness");
        f->setValue(0.5, "inputPercentage");
    });
    const Grid expected = mapped(source, [](const Pixel& p) {
        const Pixel c = straight(p);
        float h = c[0] - 0.125f;
        h -= std::floor(h);
        return premultiplied({h, c[1] * 0.75f, c[2] * 0.9f, c[3]});
    });
    EXPECT_LT(difference(got, expected), 1e-5f);
}

TEST(HslAdjustments, ChannelAdjustmentActsBetweenItsBordersAndFades)
{
    // Hues 0.0 .. 0.95 in steps of 0.05, full saturation, lightness 0.5.
    const Grid source = Grid::from(20, 1, [](int x, int) { return Pixel{0.05f * x, 1, 0.5f, 1}; });
    EXPECT_LT(difference(filtered("GMHSLChannelAdjustmentFilter", source), source), 1e-6f);
    auto adjusted = [&](const Vector& borders) {
        return filtered("GMHSLChannelAdjustmentFilter", source, [&](const FilterPtr& f) {
            f->setValue(QVariant::fromValue(borders), "inputChannelBorders");
            f->setValue(QVariant::fromValue(Vector(0.1, -0.4, 0.2)), "inputHSLAdjustments");
            f->setValue(1.0, "inputIntensity");
        });
    };
    // Full effect from 0.3 to 0.5, fading over 0.2 .. 0.3 and 0.5 .. 0.6.
    Grid got = adjusted(Vector(0.2, 0.3, 0.5, 0.6));
    auto weightAt = [&](const Grid& g, int x) { return (1 - g.at(x, 0)[1]) / 0.4f; };
    const float weights[20] = {0, 0, 0, 0, 0, 0.5f, 1, 1, 1, 1, 1, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int x = 0; x < 20; ++x) {
        EXPECT_NEAR(weightAt(got, x), weights[x], 1e-4f) << x;
        EXPECT_NEAR(got.at(x, 0)[2], 0.5f + 0.2f * weights[x], 1e-4f) << x;
    }
    EXPECT_NEAR(got.at(8, 0)[0], 0.5f, 1e-5f);
    // A range through red: 0.9 .. 0.1.
    got = adjusted(Vector(0.85, 0.9, 0.1, 0.15));
    EXPECT_NEAR(weightAt(got, 0), 1, 1e-4f);
    EXPECT_NEAR(weightAt(got, 19), 1, 1e-4f);
    EXPECT_NEAR(weightAt(got, 3), 0, 1e-4f);
    EXPECT_NEAR(got.at(19, 0)[0], 0.05f, 1e-5f); // 0.95 + 0.1 wraps
}

TEST(Levels, GammaThroughTheMidToneAndDefinedWhenMidEqualsLow)
{
    const Grid source = colours(true);
    FilterPtr defaults = Filter::create("GMLevelAdjustFilter");
    defaults->setDefaults();
    setImage(defaults, source.image());
    EXPECT_EQ(numberArguments(output(defaults)), (std::vector<float>{0, 0.5f, 1}));
    EXPECT_LT(difference(filtered("GMLevelAdjustFilter", source), source), 1e-5f);
    auto levels = [](float low, float mid, float high) {
        return [=](const Pixel& p) {
            Pixel c = straight(p);
            const float range = std::max(high - low, 1e-6f);
            const float m = std::clamp((mid - low) / range, 1e-4f, 1 - 1e-4f);
            const float gamma = mid <= low ? 1.0f : std::log(0.5f) / std::log(m);
            for (size_t i = 0; i < 3; ++i)
                c[i] = std::pow(std::clamp((c[i] - low) / range, 0.0f, 1.0f), gamma);
            return premultiplied(c);
        };
    };
    const Grid got = filtered("GMLevelAdjustFilter", source, [](const FilterPtr& f) {
        f->setValue(QVariant::fromValue(Vector(0.1, 0.3, 0.9)), "inputToneValues");
    });
    EXPECT_LT(difference(got, mapped(source, levels(0.1f, 0.3f, 0.9f))), 1e-5f);

    // The separate-tones variant passes (0, 0, 1) by default: a mid tone at the low tone sets none.
    FilterPtr sv = Filter::create("GMLevelAdjustSVFilter");
    sv->setDefaults();
    setImage(sv, source.image());
    EXPECT_EQ(numberArguments(output(sv)), (std::vector<float>{0, 0, 1}));
    EXPECT_LT(difference(Grid::rendered(output(sv), source.width, source.height), source), 1e-5f);
    sv->setValue(0.2, "inputMinTone");
    sv->setValue(0.1, "inputMidTone");
    sv->setValue(0.8, "inputMaxTone");
    EXPECT_LT(difference(Grid::rendered(output(sv), source.width, source.height),
                         mapped(source, levels(0.2f, 0.1f, 0.8f))),
              1e-5f);
    sv->setValue(0.21, "inputMidTone"); // just above the low tone: the steepest brightening, finite
    const Grid steep = Grid::rendered(output(sv), source.width, source.height);
    for (const Pixel& p : steep.pixels)
        for (float v : p)
            EXPECT_TRUE(std::isfinite(v));
    EXPECT_LT(difference(steep, mapped(source, levels(0.2f, 0.21f, 0.8f))), 1e-4f);
}

TEST(ColourAdjustments, SeparateLevelsAtTheirDefaultsLeaveAPortraitAsItIs)
{
    const Image portrait = Image::fromFile(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    ASSERT_FALSE(portrait.isNull()) << "the shared test photos must be beside this checkout";
    const Rect extent = portrait.extent();
    FilterPtr sv = Filter::create("GMLevelAdjustSVFilter");
    sv->setDefaults();
    setImage(sv, portrait);
    const Grid before = Grid::rendered(portrait, int(extent.width()), int(extent.height()));
    const Grid after = Grid::rendered(output(sv), int(extent.width()), int(extent.height()));
    EXPECT_LT(difference(after, before), 1e-5f);
}

TEST(ColourAdjustments, MultiplyAndSelectiveColour)
{
    const Grid source = colours(true);
    FilterPtr multiply = Filter::create("GMMultiplyRGBFilter");
    EXPECT_EQ(multiply->attributesForKey("inputIntensity").value(FilterAttribute::Identity).toDouble(), 0.0);
    EXPECT_LT(difference(filtered("GMMultiplyRGBFilter", source,
                                  [](auto& f) { f->setValue(0.0, "inputIntensity"); }),
                         source),
              1e-6f);
    EXPECT_LT(difference(filtered("GMMultiplyRGBFilter", source),
                         mapped(source,
                                [](const Pixel& p) {
                                    Pixel c = straight(p);
                                    for (size_t i = 0; i < 3; ++i)
                                        c[i] = c[i] + 0.5f * (c[i] * c[i] - c[i]);
                                    return premultiplied(c);
                                })),
              1e-5f);

    EXPECT_LT(difference(filtered("GMSelectiveColorChangeCYMKFilter", source,
                                  [](auto& f) { f->setValue(0.0, "inputIntensity"); }),
                         source),
              1e-5f);
    // Less yellow (blue rises) in the neutrals, by 60% where a pixel is fully neutral.
    const Grid got = filtered("GMSelectiveColorChangeCYMKFilter", source, [](auto& f) {
        f->setValue(2.0, "inputTones");
        f->setValue(-0.6, "inputIntensity");
        f->setValue(0.6, "inputChannel");
        f->setValue(0.3, "inputBlackThreshold");
        f->setValue(0.7, "inputWhiteThreshold");
    });
    const Grid expected = mapped(source, [](const Pixel& p) {
        Pixel c = straight(p);
        const float luma = 0.299f * c[0] + 0.587f * c[1] + 0.114f * c[2];
        const float blacks = luma < 0.3f ? (0.3f - luma) / 0.3f : 0;
        const float whites = luma > 0.7f ? (luma - 0.7f) / 0.3f : 0;
        const float weight = std::clamp(1 - blacks - whites, 0.0f, 1.0f);
        const float k = 1 - std::max({c[0], c[1], c[2]});
        if (k < 1) {
            const float yellow = std::clamp((1 - c[2] - k) / (1 - k) * (1 - 0.6f * weight), 0.0f, 1.0f);
            c[2] = (1 - yellow) * (1 - k);
        }
        return premultiplied(c);
    });
    EXPECT_LT(difference(got, expected), 1e-5f);
}

TEST(GMHistogramImage, CountsColoursAndBrightnessByAlpha)
{
    // Three quarters dark red, a quarter half-transparent light blue (counting half).
    const Grid source = Grid::from(8, 4, [](int x, int) {
        return x < 6 ? Pixel{0.3f, 0.02f, 0.02f, 1} : premultiplied({0.7f, 0.8f, 0.97f, 0.5f});
    });
    const Image histogram = GMHistogramImage::histogramOf(source.image(), context());
    ASSERT_FALSE(histogram.isNull());
    EXPECT_EQ(histogram.extent(), Rect(0, 0, GMHistogramImage::Width, GMHistogramImage::Height));
    const Pixels p = render(histogram, histogram.extent());
    const double total = 24 + 8 * 0.5;
    // Dark red: levels (4, 0, 0); light blue: levels (11, 12, 15).
    const Pixel red = p.at(4 + 16 * 0, 0), blue = p.at(11 + 16 * 15, 12);
    EXPECT_NEAR(red[3], 24 / total, 1e-6);
    EXPECT_NEAR(red[0] / red[3], 0.3f, 1e-6);
    EXPECT_NEAR(blue[3], 4 / total, 1e-6);
    EXPECT_NEAR(blue[1] / blue[3], 0.8f, 1e-6);
    float sum = 0;
    for (int y = 0; y < GMHistogramImage::BrightnessRow; ++y)
        for (int x = 0; x < GMHistogramImage::Width; ++x)
            sum += p.at(x, y)[3];
    EXPECT_NEAR(sum, 1.0f, 1e-6);
    // Brightness 0.3 is bin 76, 0.97 bin 248; the cumulative share reaches 1 there.
    const int row = GMHistogramImage::BrightnessRow;
    EXPECT_NEAR(p.at(76, row)[0], 24 / total, 1e-6);
    EXPECT_NEAR(p.at(247, row)[1], 24 / total, 1e-6);
    EXPECT_NEAR(p.at(248, row)[1], 1.0, 1e-6);

    // A strip-by-strip count of a larger image equals the count of its pixels.
    const Grid big = randomGrid(300, 40, 13, false);
    const Bitmap direct = GMHistogramImage::histogramOf(
        *context().render(big.image(), Rect(0, 0, 300, 40), Bitmap::Format::RGBAf));
    const Pixels strips = render(GMHistogramImage::histogramOf(big.image(), context()), histogram.extent());
    EXPECT_EQ(std::memcmp(direct.data(), strips.bitmap.data(), direct.byteCount()), 0);
    EXPECT_TRUE(GMHistogramImage::histogramOf(marker(2, 2).imageByClampingToExtent(), context()).isNull());
}

TEST(HistogramFilters, DominantLightestAndLighteningFromAHistogram)
{
    // 70% dark skin tone, 30% mid grey and one white speck (0.025%, too rare by default).
    const Grid source = Grid::from(100, 40, [](int x, int y) {
        const int i = y * 100 + x;
        if (i == 500)
            return Pixel{1, 1, 1, 1};
        return i < 2800 ? Pixel{0.40f, 0.25f, 0.18f, 1} : Pixel{0.6f, 0.6f, 0.6f, 1};
    });
    const Image histogram = GMHistogramImage::histogramOf(source.image(), context());
    auto colourOf = [&](const char* name, double countMin) {
        FilterPtr filter = Filter::create(name);
        filter->setDefaults();
        setImage(filter, histogram);
        if (countMin >= 0)
            filter->setValue(countMin, "inputCountMin");
        const Image image = output(filter);
        EXPECT_EQ(image.extent(), histogram.extent()) << name;
        return render(image, Rect(0, 0, 4, 4)).at(1, 2);
    };
    const Pixel dominant = colourOf("GMHistogramMaxColorFilter", -1);
    FilterPtr maxColor = Filter::create("GMHistogramMaxColorFilter");
    setImage(maxColor, histogram);
    EXPECT_LT(tiledDifference(output(maxColor), histogram.extent()), 1e-6f);
    EXPECT_NEAR(dominant[0], 0.40f, 1e-5f);
    EXPECT_NEAR(dominant[2], 0.18f, 1e-5f);
    EXPECT_EQ(dominant[3], 1.0f);
    EXPECT_NEAR(colourOf("GMHistogramLightnessColorFilter", -1)[0], 0.6f, 1e-5f); // the white is too rare
    EXPECT_NEAR(colourOf("GMHistogramLightnessColorFilter", 0.0005)[0], 0.6f, 1e-5f);
    EXPECT_NEAR(colourOf("GMHistogramLightnessColorFilter", 0.0001)[0], 1.0f, 1e-5f);
    EXPECT_EQ(colourOf("GMHistogramLightnessColorFilter", 0.9), (Pixel{0, 0, 0, 0}));

    // The white point: 99.5% of the pixels are at most 0.6 bright (bin 153), so W = 154 / 256.
    FilterPtr lighten = Filter::create("GMHistogramBasedLighteningFilter");
    setImage(lighten, source.image());
    setImage(lighten, histogram, "inputHistogramImage");
    const Image lightened = output(lighten);
    const float white = 154.0f / 256.0f;
    EXPECT_LT(difference(Grid::rendered(lightened, 100, 40),
                         mapped(source,
                                [&](const Pixel& c) {
                                    return Pixel{std::min(c[0] / white, 1.0f), std::min(c[1] / white, 1.0f),
                                                 std::min(c[2] / white, 1.0f), 1};
                                })),
              1e-5f);
    // Tiles far from the histogram still read all of it.
    EXPECT_LT(tiledDifference(lightened, Rect(0, 0, 100, 40)), 1e-6f);
    EXPECT_EQ(regionOf(lightened, 1, Rect(50, 5, 2, 2)), Rect(0, 0, 256, 17));

    // An image whose white point is white, or no histogram at all, is left as it is.
    const Grid bright = randomGrid(20, 10, 14);
    setImage(lighten, bright.image());
    setImage(lighten, GMHistogramImage::histogramOf(bright.image(), context()), "inputHistogramImage");
    EXPECT_LT(difference(Grid::rendered(output(lighten), 20, 10), bright), 1e-6f);
    lighten->setValue(QVariant(), "inputHistogramImage");
    EXPECT_LT(difference(Grid::rendered(output(lighten), 20, 10), bright), 1e-6f);
}
