#include "BlendReference.h"
#include "FilterTestSupport.h"

#include "Platform/Image/Color.h"

#include <QString>
#include <gtest/gtest.h>
#include <map>

using namespace pf;
using namespace filtertest;
using namespace blendref;

namespace {

// The product's twenty adjustable blends by class, each with its full blend before the intensity.
std::map<QString, Composite> productModes()
{
    const Composite overlayComposite = general(perChannel(overlay));
    const Composite softLightComposite = general(perChannel(softLight));
    return {
        {"GMAdjustableAdaptiveOverlayBlendFilter", general(perChannel([](double cb, double cs) {
             const double w = std::clamp(4 * cb * (1 - cb), 0.0, 1.0);
             return cb + w * (overlay(cb, cs) - cb);
         }))},
        {"GMAdjustableColorBlendFilter",
         general([](const RGB& cb, const RGB& cs) { return setLum(cs, lum(cb)); })},
        {"GMAdjustableColorBurnBlendFilter", general(perChannel(colorBurn))},
        {"GMAdjustableColorDodgeBlendFilter", general(perChannel(colorDodge))},
        {"GMAdjustableDarkenBlendFilter",
         general(perChannel([](double cb, double cs) { return std::min(cb, cs); }))},
        {"GMAdjustableHardLightBlendFilter", general(perChannel(hardLight))},
        {"GMAdjustableHueSatBlendFilter", general([](const RGB& cb, const RGB& cs) {
             const RGB top = toHsl(cs);
             return fromHsl({top[0], top[1], toHsl(cb)[2]});
         })},
        {"GMAdjustableLightenBlendFilter",
         general(perChannel([](double cb, double cs) { return std::max(cb, cs); }))},
        {"GMAdjustableLinearBurnBlendFilter",
         general(perChannel([](double cb, double cs) { return std::max(0.0, cb + cs - 1); }))},
        {"GMAdjustableLuminanceBlendFilter",
         general([](const RGB& cb, const RGB& cs) { return setLum(cb, lum(cs)); })},
        {"GMAdjustableOverlayBlendFilter", overlayComposite},
        {"GMAdjustableOverlayLightenBlendFilter", general(maxWith(overlay))},
        {"GMAdjustableReplaceBlendFilter", [](const Pixel& s, const Pixel&) { return s; }},
        {"GMAdjustableScreenBlendFilter", general(perChannel(screen))},
        {"GMAdjustableSoftLightBlendFilter", softLightComposite},
        {"GMAdjustableSoftLightLightenBlendFilter", general(maxWith(softLight))},
        {"GMAdjustableSoftLightOverlayBlendFilter",
         general(perChannel([](double cb, double cs) { return (softLight(cb, cs) + overlay(cb, cs)) / 2; }))},
        {"GMAdjustableSourceOverBlendFilter", sourceOver},
        {"GMAdjustableVividLightBlendFilter", general(perChannel(vividLight))},
    };
}

// The framework filter's fifteen modes and its fallback, by kernel name.
std::map<QString, Composite> frameworkModes()
{
    return {
        {"sourceOver", sourceOver},
        {"colorBlend", general([](const RGB& cb, const RGB& cs) { return setLum(cs, lum(cb)); })},
        {"luminosityBlend", general([](const RGB& cb, const RGB& cs) { return setLum(cb, lum(cs)); })},
        {"multiply", general(perChannel(multiply))},
        {"colorBurn", general(perChannel(colorBurn))},
        {"linearBurn", general(perChannel([](double cb, double cs) { return std::max(0.0, cb + cs - 1); }))},
        {"negativeMultiply",
         general(perChannel([](double cb, double cs) { return 1 - (1 - cb) * (1 - cs); }))},
        {"colorDodge", general(perChannel(colorDodge))},
        {"linearDodge", general(perChannel([](double cb, double cs) { return std::min(1.0, cb + cs); }))},
        {"overlay", general(perChannel(overlay))},
        {"softLight", general(perChannel(softLight))},
        {"hardLight", general(perChannel(hardLight))},
        {"vividLight", general(perChannel(vividLight))},
        {"linearLight",
         general(perChannel([](double cb, double cs) { return std::clamp(cb + 2 * cs - 1, 0.0, 1.0); }))},
        {"hardMix", general(perChannel([](double cb, double cs) { return cb + cs >= 1 ? 1.0 : 0.0; }))},
        {"blend", sourceOver},
    };
}

FilterPtr blendFilter(const QString& name, const Image& top, const Image& bottom, double intensity)
{
    FilterPtr filter = Filter::create(name);
    if (!filter)
        return filter;
    filter->setDefaults();
    filter->setValue(QVariant::fromValue(top), "inputImage");
    filter->setValue(QVariant::fromValue(bottom), "inputBackgroundImage");
    filter->setValue(intensity, "inputIntensity");
    return filter;
}

// Values a working image may hold beyond a clean photo: outside 0..1, tiny alphas, and colour with no
// alpha (not a valid premultiplied value, but nothing stops a kernel making one).
std::vector<Pixel> unruly()
{
    std::vector<Pixel> samples;
    for (const RGB& c : std::vector<RGB>{{-0.5, 0, 1.5},
                                         {1.5, 1.5, 1.5},
                                         {-0.5, -0.5, -0.5},
                                         {1, 0, 0.5},
                                         {0, 0, 0},
                                         {1, 1, 1},
                                         {2, 0.5, -1}})
        for (double a : {1e-4, 0.5, 1.0})
            samples.push_back(premultiplied(c, a));
    samples.push_back({0.5, 0.25, 1, 0});
    return samples;
}

} // namespace

TEST(AdjustableBlendFilters, EveryModeFollowsItsFormulaAndTheIntensityWeighsIt)
{
    const Grid g = grid(gridSamples());
    for (const auto& [name, full] : productModes()) {
        for (double t : {1.0, 0.35}) {
            FilterPtr filter = blendFilter(name, g.top, g.bottom, t);
            ASSERT_TRUE(filter) << name.toStdString();
            EXPECT_LT(
                worstError(output(filter), g,
                           [&](const Pixel& s, const Pixel& b) { return blendref::mix(b, full(s, b), t); }),
                2e-5)
                << name.toStdString() << " at intensity " << t;
        }
        // Intensity 0 is the background itself, bit for bit.
        EXPECT_EQ(worstError(output(blendFilter(name, g.top, g.bottom, 0.0)), g,
                             [](const Pixel&, const Pixel& b) { return b; }),
                  0.0)
            << name.toStdString();
    }
}

TEST(AdjustableBlendFilters, SoftlightColoringTintsTheLayerAndItsModePicksTheKernel)
{
    const Grid g = grid(gridSamples());
    const Color tint(0.8, 0.4, 0.2, 1);
    auto colored = [&](const Pixel& s) {
        return setLum({tint.red(), tint.green(), tint.blue()}, lum(straight(s)));
    };
    auto softLightOf = [](const RGB& cb, const RGB& cs) { return perChannel(softLight)(cb, cs); };
    const Composite plain = [&](const Pixel& s, const Pixel& b) {
        return general([&](const RGB& cb, const RGB&) { return softLightOf(cb, colored(s)); })(s, b);
    };
    const Composite darkHair = [&](const Pixel& s, const Pixel& b) {
        return general([&](const RGB& cb, const RGB&) {
            const RGB t = colored(s);
            return softLightOf(setLum(t, lum(cb)), t);
        })(s, b);
    };
    FilterPtr filter = blendFilter("GMAdjustableSoftlightColoringBlendFilter", g.top, g.bottom, 0.6);
    EXPECT_EQ(filter->value("inputMode").toDouble(), 0.0);
    EXPECT_EQ(filter->value("inputColor").value<Color>(), Color(0, 0, 0, 1));
    filter->setValue(QVariant::fromValue(tint), "inputColor");
    auto error = [&](const Composite& full) {
        return worstError(output(filter), g,
                          [&](const Pixel& s, const Pixel& b) { return blendref::mix(b, full(s, b), 0.6); });
    };
    EXPECT_LT(error(plain), 2e-5);
    filter->setValue(0.01, "inputMode");
    EXPECT_LT(error(darkHair), 2e-5);
    filter->setValue(-1.0, "inputMode");
    EXPECT_LT(error(plain), 2e-5);
    filter->setValue(QVariant(), "inputMode");
    EXPECT_LT(error(plain), 2e-5);
    filter->setValue(std::nan(""), "inputMode");
    EXPECT_LT(error(plain), 2e-5);
}

TEST(AdjustableBlendFilters, LimitValuesInsteadOfNaNOrInfinity)
{
    // Dodge, burn, vivid light and the colour modes divide; none may let a zero or negative
    // denominator through, whatever values the working images carry.
    const Grid g = grid(unruly());
    auto finite = [](const Pixel&, const Pixel&) { return Pixel{0, 0, 0, 0}; };
    for (const auto& [name, full] : productModes()) {
        FilterPtr filter = blendFilter(name, g.top, g.bottom, 1.0);
        EXPECT_TRUE(std::isfinite(worstError(output(filter), g, finite))) << name.toStdString();
    }
    FilterPtr coloring = blendFilter("GMAdjustableSoftlightColoringBlendFilter", g.top, g.bottom, 1.0);
    coloring->setValue(QVariant::fromValue(Color(1.5, -0.5, 0, 1)), "inputColor");
    for (double mode : {0.0, 1.0}) {
        coloring->setValue(mode, "inputMode");
        EXPECT_TRUE(std::isfinite(worstError(output(coloring), g, finite)));
    }
    for (const auto& [mode, full] : frameworkModes()) {
        FilterPtr filter = blendFilter("OVAdjustableBlendFilter", g.top, g.bottom, 1.0);
        filter->setValue(mode, "inputBlendName");
        EXPECT_TRUE(std::isfinite(worstError(output(filter), g, finite))) << mode.toStdString();
    }
}

TEST(AdjustableBlendFilters, ExtentFromTheLayerDomainFromTheBackground)
{
    const Image layer = marker(10, 6).imageByApplyingTransform(AffineTransform::translation(5, 7));
    const Image background = marker(30, 20);
    const QStringList fullExtent = {
        "GMAdjustableAdaptiveOverlayBlendFilter", "GMAdjustableColorBlendFilter",
        "GMAdjustableColorBurnBlendFilter",       "GMAdjustableColorDodgeBlendFilter",
        "GMAdjustableDarkenBlendFilter",          "GMAdjustableHardLightBlendFilter",
        "GMAdjustableHueSatBlendFilter"};
    for (const auto& [name, full] : productModes()) {
        FilterPtr filter = blendFilter(name, layer, background, 1.0);
        const Image out = output(filter);
        EXPECT_EQ(out.extent(), fullExtent.contains(name) ? Rect(5, 7, 10, 6) : Rect(0, 0, 10, 6))
            << name.toStdString();
        EXPECT_EQ(out.definition().extent(), Rect(0, 0, 30, 20)) << name.toStdString();
        // Defaults: intensity 1, but half for the luminance blend.
        FilterPtr fresh = Filter::create(name);
        fresh->setDefaults();
        EXPECT_EQ(fresh->value("inputIntensity").toDouble(),
                  name == "GMAdjustableLuminanceBlendFilter" ? 0.5 : 1.0);
        EXPECT_FALSE(fresh->value("inputImage").isValid());
        // A missing image gives no image, whichever one it is.
        fresh->setValue(QVariant::fromValue(background), "inputBackgroundImage");
        EXPECT_FALSE(fresh->value("outputImage").isValid()) << name.toStdString();
        fresh->setValue(QVariant(), "inputBackgroundImage");
        fresh->setValue(QVariant::fromValue(layer), "inputImage");
        EXPECT_FALSE(fresh->value("outputImage").isValid()) << name.toStdString();
    }
    // The layer's extent, not the background's: an empty layer gives an extent of zero size.
    FilterPtr filter = blendFilter("GMAdjustableDarkenBlendFilter", Image::emptyImage(), background, 1.0);
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 0, 0));
}

TEST(OVAdjustableBlendFilter, EveryModeFollowsItsFormula)
{
    const Grid g = grid(gridSamples());
    for (const auto& [mode, full] : frameworkModes()) {
        FilterPtr filter = blendFilter("OVAdjustableBlendFilter", g.top, g.bottom, 0.7);
        filter->setValue(mode, "inputBlendName");
        EXPECT_LT(
            worstError(output(filter), g,
                       [&](const Pixel& s, const Pixel& b) { return blendref::mix(b, full(s, b), 0.7); }),
            2e-5)
            << mode.toStdString();
        filter->setValue(0.0, "inputIntensity");
        EXPECT_EQ(worstError(output(filter), g, [](const Pixel&, const Pixel& b) { return b; }), 0.0)
            << mode.toStdString();
        // Switched, the background is the top and the image the bottom.
        filter->setValue(1.0, "inputIntensity");
        filter->setValue(true, "inputSwitchImages");
        EXPECT_LT(worstError(output(filter), g, [&](const Pixel& s, const Pixel& b) { return full(b, s); }),
                  2e-5)
            << mode.toStdString();
    }
}
