#include "BlendReference.h"
#include "FilterTestSupport.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace blendref;

namespace {

// A mask whose value, carried in the colour, steps through 0, 0.25, 0.5, 1 by column; its alpha is 1
// everywhere, so a mask read from alpha would select everything.
double maskValue(int x)
{
    const double steps[] = {0, 0.25, 0.5, 1};
    return steps[x % 4];
}

Image stepMask(int size)
{
    return floatImage(size, size, [](int x, int) {
        const float m = float(maskValue(x));
        return std::array<float, 4>{m, m, m, 1};
    });
}

Image layerAt(const Image& image, double x, double y)
{
    return image.imageByApplyingTransform(AffineTransform::translation(x, y));
}

} // namespace

TEST(MaskedBlendFilters, BlendAtBorderFollowsTheMaskAndTheIntensity)
{
    const Grid g = grid(gridSamples());
    FilterPtr filter = Filter::create("GMBlendAtBorderFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputIntensity").toDouble(), 1.0);
    filter->setValue(QVariant::fromValue(g.top), "inputImage");
    filter->setValue(QVariant::fromValue(g.bottom), "inputBackgroundImage");
    filter->setValue(QVariant::fromValue(stepMask(g.size())), "inputMaskImage");
    for (double t : {1.0, 0.6}) {
        filter->setValue(t, "inputIntensity");
        // Columns whose mask is 0 must come out as the background exactly.
        const Image out = output(filter);
        const Pixels p = render(out, g.rect());
        for (int y = 0; y < g.size(); ++y)
            for (int x = 0; x < g.size(); x += 4) {
                const Pixel& b = g.samples[size_t(y)];
                const std::array<float, 4> got = p.at(x, y);
                for (int i = 0; i < 4; ++i)
                    ASSERT_EQ(got[size_t(i)], float(b[size_t(i)]));
            }
        // Elsewhere the source-over composite weighed by mask times intensity.
        double worst = 0;
        for (int y = 0; y < g.size(); ++y)
            for (int x = 0; x < g.size(); ++x) {
                const Pixel& s = g.samples[size_t(x)];
                const Pixel& b = g.samples[size_t(y)];
                const Pixel want = blendref::mix(b, sourceOver(s, b), t * maskValue(x));
                for (int i = 0; i < 4; ++i)
                    worst = std::max(worst, std::abs(double(p.at(x, y)[size_t(i)]) - want[size_t(i)]));
            }
        EXPECT_LT(worst, 2e-6) << "intensity " << t;
    }
}

TEST(MaskedBlendFilters, BlendOnDarkBlendsExactlyWhereTheBackgroundIsDarkEnough)
{
    const Grid g = grid(gridSamples());
    FilterPtr filter = Filter::create("GMBlendOnDarkFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputIntensity").toDouble(), 1.0);
    EXPECT_EQ(filter->value("inputThreshold").toDouble(), 1.0);
    filter->setValue(QVariant::fromValue(g.top), "inputImage");
    filter->setValue(QVariant::fromValue(g.bottom), "inputBackgroundImage");
    // The default threshold takes every background in 0..1, white included; 0.45 lies between the
    // grid's luminosities (none is within 0.04 of it); 0 takes only black and the transparent pixels.
    for (const auto& [threshold, t] : std::vector<std::pair<double, double>>{{1, 1}, {0.45, 0.8}, {0, 1}}) {
        filter->setValue(threshold, "inputThreshold");
        filter->setValue(t, "inputIntensity");
        const double error = worstError(output(filter), g, [&](const Pixel& s, const Pixel& b) {
            const bool dark = threshold == 1 || lum(straight(b)) <= threshold;
            return dark ? blendref::mix(b, sourceOver(s, b), t) : b;
        });
        EXPECT_LT(error, 2e-6) << "threshold " << threshold;
    }
}

TEST(MaskedBlendFilters, BlendWithMaskHardTakesOneSideOrTheOther)
{
    const Grid g = grid(gridSamples());
    FilterPtr filter = Filter::create("GMBlendWithMaskHardFilter");
    ASSERT_TRUE(filter);
    filter->setValue(QVariant::fromValue(g.top), "inputImage");
    filter->setValue(QVariant::fromValue(g.bottom), "inputBackgroundImage");
    filter->setValue(QVariant::fromValue(stepMask(g.size())), "inputMaskImage");
    // Exactly the image from the mask value one half on, exactly the background below it.
    const Pixels p = render(output(filter), g.rect());
    for (int y = 0; y < g.size(); ++y)
        for (int x = 0; x < g.size(); ++x) {
            const Pixel& want = maskValue(x) >= 0.5 ? g.samples[size_t(x)] : g.samples[size_t(y)];
            for (int i = 0; i < 4; ++i)
                ASSERT_EQ(p.at(x, y)[size_t(i)], float(want[size_t(i)])) << x << ", " << y;
        }
}

TEST(MaskedBlendFilters, ExtentsAtTheOriginDomainsFromBackgroundOrImage)
{
    const Image layer = layerAt(marker(10, 6), 5, 7);
    const Image background = marker(30, 20);
    const Image mask = stepMask(12);
    for (const char* name : {"GMBlendAtBorderFilter", "GMBlendOnDarkFilter", "GMBlendWithMaskHardFilter"}) {
        FilterPtr filter = Filter::create(name);
        filter->setDefaults();
        filter->setValue(QVariant::fromValue(layer), "inputImage");
        const bool masked = QString(name) != "GMBlendOnDarkFilter";
        if (masked)
            filter->setValue(QVariant::fromValue(mask), "inputMaskImage");
        EXPECT_FALSE(filter->value("outputImage").isValid()) << name; // no background yet
        filter->setValue(QVariant::fromValue(background), "inputBackgroundImage");
        const Image out = output(filter);
        EXPECT_EQ(out.extent(), Rect(0, 0, 10, 6)) << name;
        const bool fromImage = QString(name) == "GMBlendWithMaskHardFilter";
        EXPECT_EQ(out.definition().extent(), fromImage ? Rect(5, 7, 10, 6) : Rect(0, 0, 30, 20)) << name;
        if (masked) {
            filter->setValue(QVariant(), "inputMaskImage");
            EXPECT_FALSE(filter->value("outputImage").isValid()) << name;
        }
    }
}
