// The retouching filters the effect catalogue is built from, against formulas worked out here.

#include "LibraryTestSupport.h"

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Filters/GMGuidedFilter.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/Vector.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

Grid filtered(const char* name, const Grid& source, const QVariantMap& inputs = {})
{
    FilterLibrary::registerAll();
    FilterPtr filter = Filter::create(name);
    EXPECT_TRUE(filter) << name;
    filter->setDefaults();
    setImage(filter, source.image());
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        filter->setValue(it.value(), it.key());
    return Grid::rendered(output(filter), source.width, source.height);
}

QVariant vector(std::initializer_list<double> values)
{
    return QVariant::fromValue(Vector(std::vector<double>(values)));
}

double linear(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

std::array<double, 3> yuv(const Pixel& c)
{
    const double y = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
    return {y, (c[2] - y) * 0.564, (c[0] - y) * 0.713};
}

// A grey step: dark left, light right, with a faint ripple on both sides.
Grid stepWithRipple(float contrast)
{
    return Grid::from(40, 8, [&](int x, int y) {
        const float ripple = 0.01f * float(((x * 7 + y * 3) % 5) - 2);
        const float v = (x < 20 ? 0.5f - contrast / 2 : 0.5f + contrast / 2) + ripple;
        return Pixel{v, v, v, 1};
    });
}

} // namespace

// Every filter leaves an image alone with the inputs that ask for no change.
TEST(EffectFilters, NeutralInputsChangeNothing)
{
    const Grid photo = randomGrid(12, 9, 3);
    struct Case
    {
        const char* filter;
        QVariantMap inputs;
    } cases[] = {
        {"GMExposureFilter", {{"inputStops", 0.0}}},
        {"GMChromaAdjustFilter", {}},
        {"GMRecolorFilter", {{"inputColor", QVariant::fromValue(Color(0.2, 0.4, 0.9, 0.0))}}},
        {"GMLumaSharpenFilter", {{"inputAmount", 0.0}}},
        {"GMGuidedFilter", {{"inputRadius", 0.0}}},
    };
    for (const Case& c : cases)
        EXPECT_LT(difference(filtered(c.filter, photo, c.inputs), photo), 1e-4f) << c.filter;
}

TEST(EffectFilters, GuidedFilterSmoothsRippleAndKeepsStrongEdges)
{
    for (const float contrast : {0.4f, 0.02f}) {
        const Grid step = stepWithRipple(contrast);
        const Grid out = filtered("GMGuidedFilter", step, {{"inputRadius", 4.0}, {"inputEpsilon", 0.002}});
        // The ripple goes away everywhere away from the step.
        for (const int x : {4, 35})
            EXPECT_NEAR(out.at(x, 4)[0], out.at(x + 1, 4)[0], 0.004) << "contrast " << contrast;
        const float kept = out.at(22, 4)[0] - out.at(17, 4)[0];
        if (contrast > 0.1f)
            EXPECT_GT(kept, 0.85f * contrast) << "a strong edge stays sharp";
        else
            EXPECT_LT(std::abs(kept), 0.6f * contrast) << "a faint step is smoothed like a blotch";
    }
    const Image image = stepWithRipple(0.4f).image();
    FilterPtr guided = Filter::create("GMGuidedFilter");
    guided->setDefaults();
    setImage(guided, image);
    guided->setValue(30.0, "inputRadius"); // worked out on a reduced copy
    EXPECT_GT(GMGuidedFilter::reductionForRadius(30), 1);
    EXPECT_LT(tiledDifference(output(guided), Rect(0, 0, 40, 8)), 1e-4f);
}

TEST(EffectFilters, ExposureChangesStopsInLinearLightAndNeverClips)
{
    const Grid tones = Grid::from(5, 1, [](int x, int) {
        const float v = std::array<float, 5>{0.02f, 0.2f, 0.5f, 0.9f, 1.0f}[size_t(x)];
        return Pixel{v, v * 0.6f, v * 0.3f, 1};
    });
    for (const double stops : {1.0, -1.0}) {
        const Grid out = filtered("GMExposureFilter", tones, {{"inputStops", stops}});
        for (int x = 0; x < 5; ++x) {
            const Pixel& in = tones.at(x, 0);
            const Pixel& o = out.at(x, 0);
            EXPECT_LE(o[0], 1.0001f);
            // Hue in linear light: the channels keep their ratios.
            EXPECT_NEAR(linear(o[1]) / linear(o[0]), linear(in[1]) / linear(in[0]), 1e-3) << x;
            if (stops < 0) {
                EXPECT_NEAR(linear(o[0]), 0.5 * linear(in[0]), 1e-4) << x;
            }
        }
        if (stops > 0) {
            EXPECT_NEAR(linear(out.at(0, 0)[0]), 2 * linear(tones.at(0, 0)[0]), 1e-4) << "shadows: one stop";
            EXPECT_NEAR(out.at(4, 0)[0], 1.0f, 1e-4) << "white stays white";
            EXPECT_GT(out.at(3, 0)[0], tones.at(3, 0)[0]);
        }
    }
}

// The exposure decodes every channel, scales it by one gain and encodes it again, leaving out the powers
// that cancel: the plain formula's values on either path, for channels on the curve's line and its
// power part, those that cross from one to the other (dark channels brightened, darkened ones moving
// onto the line), and values below 0 and above 1.
TEST(EffectFilters, ExposureIsTheColourDecodedScaledAndEncodedAgainOnEitherPath)
{
    const auto decoded = [](double v) { return std::copysign(linear(std::abs(v)), v); };
    const auto encoded = [](double v) {
        const double a = std::abs(v);
        return std::copysign(a <= 0.0031308 ? a * 12.92 : 1.055 * std::pow(a, 1 / 2.4) - 0.055, v);
    };
    const std::array<float, 14> values = {-0.3f,   0.0f,   0.01f, 0.025f, 0.031f, 0.036f, 0.0404f,
                                          0.0406f, 0.043f, 0.05f, 0.07f,  0.4f,   0.93f,  1.2f};
    const int n = int(values.size());
    const Grid colours = Grid::from(n * n, n, [&](int x, int y) {
        return Pixel{values[size_t(x % n)], values[size_t(x / n)], values[size_t(y)], 1};
    });
    for (const CpuKernelRenderer::Use use : {CpuKernelRenderer::Use::Always, CpuKernelRenderer::Use::Never})
        for (const double stops : {0.47, 1.5, -0.3, -1.0}) {
            SCOPED_TRACE(testing::Message() << (use == CpuKernelRenderer::Use::Always ? "CPU" : "passes")
                                            << ", " << stops << " stops");
            CpuKernelRenderer::setUse(use);
            const Grid out = filtered("GMExposureFilter", colours, {{"inputStops", stops}});
            CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
            const double k = std::exp2(stops);
            double worst = 0;
            for (int y = 0; y < colours.height; ++y)
                for (int x = 0; x < colours.width; ++x) {
                    const Pixel& c = colours.at(x, y);
                    const double m = std::max({decoded(c[0]), decoded(c[1]), decoded(c[2])});
                    const double g = k < 1 ? k : m > 0 && m < 1 ? k / (1 + (k - 1) * m) : 1;
                    for (size_t i = 0; i < 3; ++i)
                        worst = std::max(worst, std::abs(out.at(x, y)[i] - encoded(g * decoded(c[i]))));
                }
            EXPECT_LT(worst, 1e-5);
        }
}

TEST(EffectFilters, ChromaAdjustmentKeepsLumaAndItsColourRanges)
{
    // Skin, a saturated blue, a near-white with a yellow cast, grey.
    const Grid colours = Grid::from(4, 1, [](int x, int) {
        return std::array<Pixel, 4>{Pixel{0.85f, 0.65f, 0.55f, 1}, Pixel{0.1f, 0.2f, 0.8f, 1},
                                    Pixel{0.92f, 0.9f, 0.8f, 1}, Pixel{0.5f, 0.5f, 0.5f, 1}}[size_t(x)];
    });
    const Grid skinOnly = filtered("GMChromaAdjustFilter", colours,
                                   {{"inputChromaScale", 1.5}, {"inputHueRange", vector({123, 50, 20})}});
    EXPECT_GT(yuv(skinOnly.at(0, 0))[2], 1.3 * yuv(colours.at(0, 0))[2]) << "skin gets more colour";
    EXPECT_NEAR(yuv(skinOnly.at(0, 0))[0], yuv(colours.at(0, 0))[0], 1e-4) << "at the same luma";
    for (const int x : {1, 3})
        EXPECT_LT(difference(Grid::from(1, 1, [&](int, int) { return skinOnly.at(x, 0); }),
                             Grid::from(1, 1, [&](int, int) { return colours.at(x, 0); })),
                  1e-4f)
            << "colour " << x << " lies outside the skin's hues";

    const Grid whitened = filtered(
        "GMChromaAdjustFilter", colours,
        {{"inputChromaScale", 0.3}, {"inputLumaLift", 0.1}, {"inputSaturationRange", vector({0.06, 0.16})}});
    const auto before = yuv(colours.at(2, 0)), after = yuv(whitened.at(2, 0));
    EXPECT_LT(std::hypot(after[1], after[2]), 0.5 * std::hypot(before[1], before[2]));
    EXPECT_GT(after[0], before[0]);
    EXPECT_LT(after[0], 1.0);
    EXPECT_NEAR(whitened.at(1, 0)[2], colours.at(1, 0)[2], 1e-4) << "saturated colours stay";

    // A cast lies on the midtones: black and white stay neutral.
    const Grid ends = Grid::from(2, 1, [](int x, int) { return Pixel{float(x), float(x), float(x), 1}; });
    EXPECT_LT(
        difference(filtered("GMChromaAdjustFilter", ends, {{"inputChromaShift", vector({-0.03, 0.03})}}),
                   ends),
        1e-4f);
}

TEST(EffectFilters, RecolourTakesTheColourAtTheOwnLuminosityAndSparesTheEnds)
{
    const Grid tones = Grid::from(4, 1, [](int x, int) {
        const float v = std::array<float, 4>{0.02f, 0.3f, 0.55f, 1.0f}[size_t(x)];
        return Pixel{v, v * 0.95f, v * 0.9f, 1};
    });
    const Grid out = filtered("GMRecolorFilter", tones,
                              {{"inputColor", QVariant::fromValue(Color(0.2, 0.4, 0.8))},
                               {"inputToneRange", vector({0.05, 0.1, 0.9, 0.95})}});
    auto lum = [](const Pixel& c) { return 0.3f * c[0] + 0.59f * c[1] + 0.11f * c[2]; };
    for (const int x : {1, 2}) {
        EXPECT_NEAR(lum(out.at(x, 0)), lum(tones.at(x, 0)), 1e-3) << x;
        EXPECT_GT(out.at(x, 0)[2], out.at(x, 0)[0] + 0.05f) << "blue now";
    }
    for (const int x : {0, 3})
        EXPECT_NEAR(out.at(x, 0)[2], tones.at(x, 0)[2], 1e-4) << "the pupil and the catch light stay";
}

TEST(EffectFilters, RedEyeNeutralisesRedPupilsOnly)
{
    // A red pupil, a catch light, skin, a brown and a dark brown iris.
    const Grid eye = Grid::from(5, 1, [](int x, int) {
        return std::array<Pixel, 5>{Pixel{0.7f, 0.1f, 0.08f, 1}, Pixel{0.97f, 0.95f, 0.95f, 1},
                                    Pixel{0.8f, 0.6f, 0.5f, 1}, Pixel{0.3f, 0.2f, 0.1f, 1},
                                    Pixel{0.2f, 0.1f, 0.05f, 1}}[size_t(x)];
    });
    const Grid out = filtered("GMRedEyeFilter", eye, {{"inputThreshold", 2.0}, {"inputDarkening", 0.2}});
    EXPECT_NEAR(out.at(0, 0)[0], out.at(0, 0)[1], 0.02) << "the pupil is neutral";
    EXPECT_LT(out.at(0, 0)[0], 0.1f);
    for (int x = 1; x < 5; ++x)
        EXPECT_NEAR(out.at(x, 0)[0], eye.at(x, 0)[0], 1e-4) << "catch light, skin and brown irises stay";
}

TEST(EffectFilters, LumaSharpeningRaisesEdgeContrastWithoutColourFringes)
{
    const Grid step = Grid::from(24, 6, [](int x, int) {
        const float v = x < 12 ? 0.3f : 0.7f;
        return Pixel{v, v * 0.8f, v * 0.5f, 1};
    });
    const Grid out = filtered("GMLumaSharpenFilter", step, {{"inputRadius", 1.5}, {"inputAmount", 1.0}});
    EXPECT_LT(out.at(11, 3)[0], step.at(11, 3)[0] - 0.02f);
    EXPECT_GT(out.at(12, 3)[0], step.at(12, 3)[0] + 0.02f);
    EXPECT_LT(out.at(12, 3)[0] - step.at(12, 3)[0], 0.2f + 1e-4f) << "the added light is limited";
    // The same light is added to every channel.
    for (const int x : {11, 12})
        EXPECT_NEAR(out.at(x, 3)[0] - step.at(x, 3)[0], out.at(x, 3)[2] - step.at(x, 3)[2], 1e-4);
    EXPECT_NEAR(out.at(2, 3)[0], step.at(2, 3)[0], 1e-4) << "flat parts stay";
}
