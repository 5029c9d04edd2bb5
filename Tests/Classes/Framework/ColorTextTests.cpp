#include "Classes/Framework/OVColor.h"
#include "DecimalCommaLocale.h"
#include "Platform/Foundation/Log.h"

#include <gtest/gtest.h>

namespace {

class ColorText : public DecimalCommaLocale
{};

// Written with a decimal point and six decimals; read back to the same components.
TEST_P(ColorText, WritesWhatReadsBack)
{
    const struct
    {
        pf::PaintColor color;
        const char* text;
    } cases[] = {
        {pf::PaintColor::calibratedRGB(1, 0, 0, 1), "1.000000 0.000000 0.000000 1.000000"},
        {pf::PaintColor::calibratedRGB(0.25, 0.5, 0.125, 0.5), "0.250000 0.500000 0.125000 0.500000"},
        {pf::PaintColor::calibratedWhite(0.5), "0.500000 0.500000 0.500000 1.000000"},
        {pf::PaintColor::deviceRGB(0.1234567, 0, 1.5, 1), "0.123457 0.000000 1.500000 1.000000"},
        {pf::PaintColor::pattern(QImage(2, 2, QImage::Format_ARGB32)), "0.000000 0.000000 0.000000 0.000000"},
    };
    for (const auto& c : cases) {
        const QString text = OVColor::descriptionForNSColor(c.color);
        EXPECT_EQ(text, QString::fromLatin1(c.text));
        const pf::PaintColor read = OVColor::colorFromDescription(text);
        if (c.color.isPattern())
            continue;
        EXPECT_EQ(read.space(), pf::PaintColor::Space::CalibratedRGB);
        EXPECT_NEAR(read.red(), c.color.red(), 5e-7);
        EXPECT_NEAR(read.blue(), c.color.blue(), 5e-7);
        EXPECT_NEAR(read.alpha(), c.color.alpha(), 5e-7);
    }
    const pf::PaintColor half = OVColor::colorFromDescription(QStringLiteral("0.5/0.25"));
    EXPECT_EQ(half, pf::PaintColor::calibratedRGB(0.5, 0.5, 0.5, 0.25));
}

INSTANTIATE_TEST_SUITE_P(Locales, ColorText, ::testing::Values(false, true));

// A text whose red reads 0 names an image first: with one, the colour tiles it.
TEST(ColorTextImages, NamesOfImagesGivePatterns)
{
    const pf::PaintColor noise = OVColor::colorFromDescription(QStringLiteral("NoiseFull"));
    ASSERT_TRUE(noise.isPattern());
    EXPECT_EQ(noise.patternImage().size(), QSize(64, 64));
    EXPECT_EQ(OVColor::colorFromDescription(QStringLiteral("Noise")),
              pf::PaintColor::calibratedRGB(0, 0, 0, 1));
    EXPECT_EQ(OVColor::colorFromDescription(QStringLiteral("0 0.3 0.4")),
              pf::PaintColor::calibratedRGB(0, 0.3, 0.4, 1));
    const std::optional<pf::PaintColor> shared = OVColor::noiseColor();
    ASSERT_TRUE(shared);
    EXPECT_TRUE(shared->isPattern());
}

TEST(ColorTextHsv, SixSectorsAndGrey)
{
    const struct
    {
        double h, s, v;
        double r, g, b;
    } cases[] = {
        {0.5, 1, 1, 0, 1, 1},         {0, 1, 1, 1, 0, 0},
        {1.0 / 3, 1, 1, 0, 1, 0},     {2.0 / 3, 1, 1, 0, 0, 1},
        {1, 1, 1, 1, 0, 0}, // once round: red, not magenta
        {0.7, 0, 0.4, 0.4, 0.4, 0.4}, {0.1, 0.5, 0.8, 0.8, 0.64, 0.4},
        {0.9, 1, 0.5, 0.5, 0, 0.3},
    };
    for (const auto& c : cases) {
        const pf::PaintColor color = OVColor::colorFromHsv(c.h, c.s, c.v);
        EXPECT_NEAR(color.red(), c.r, 1e-6) << c.h;
        EXPECT_NEAR(color.green(), c.g, 1e-6) << c.h;
        EXPECT_NEAR(color.blue(), c.b, 1e-6) << c.h;
        EXPECT_EQ(color.alpha(), 1.0);
    }
}

} // namespace
