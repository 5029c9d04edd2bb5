#include "Classes/Framework/GradientORVExtension.h"
#include "Classes/Framework/OVColor.h"
#include "DecimalCommaLocale.h"
#include "Platform/Foundation/Log.h"

#include <QLocale>
#include <clocale>
#include <gtest/gtest.h>
#include <string>

using GradientORVExtension::gradientWithString;
using GradientORVExtension::stringRepresentation;
using pf::Color;
using pf::Gradient;

TEST(ColourText, ReadsNumbersLiterallySplit)
{
    struct Case
    {
        const char* text;
        Color expected;
    };
    const Case cases[] = {
        {"0.5", {0.5, 0.5, 0.5, 1}},
        {"0.5/0.25", {0.5, 0.5, 0.5, 0.25}},
        {"1 0 0", {1, 0, 0, 1}},
        {"1/0/0/0.5", {1, 0, 0, 0.5}},
        {"1 0 0 0.5 7", {1, 0, 0, 1}}, // five pieces: the rest ignored, opaque
        {"1  0 0", {1, 0, 0, 0}},      // the empty second piece shifts the others: alpha 0
        {"0.2 0.3 0.4", {0.2, 0.3, 0.4, 1}},
        {"0 0.3 0.4", {0, 0.3, 0.4, 1}}, // looked up as an image first; none is there
        {".5e1x 2 -1.5", {5, 2, -1.5, 1}},
        {"1/ 0.5/0", {1, 0.5, 0, 1}},
        {"1/0 0", {1, 1, 1, 0}}, // split at "/" only: a grey with alpha "0 0", which reads as 0
        {"Noise", {0, 0, 0, 1}},
        {"1e999 0.5 -1e400", {0, 0.5, 0, 1}}, // beyond the double's range: 0, as no number is
        {"", {0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        const pf::PaintColor color = OVColor::colorFromDescription(QString::fromLatin1(c.text));
        EXPECT_FALSE(color.isPattern()) << c.text;
        EXPECT_EQ(Color(color.red(), color.green(), color.blue(), color.alpha()), c.expected) << c.text;
    }
}

class GradientText : public DecimalCommaLocale
{};

TEST_P(GradientText, WritesAndReadsTheFullForm)
{
    const QString blackToWhite = QStringLiteral("0.000000 0.000000 0.000000 0.000000 1.000000 "
                                                "1.000000 1.000000 1.000000 1.000000 1.000000");
    EXPECT_EQ(stringRepresentation(Gradient(Color(0, 0, 0, 1), Color(1, 1, 1, 1))), blackToWhite);
    EXPECT_EQ(stringRepresentation(Gradient()), QString());

    // Written, read back: the same stops in the same order (also unsorted ones), rounded to six
    // decimals.
    const Gradient original({{0.75, Color(0.1234567, 0.5, 1, 0.25)},
                             {0.125, Color(0, 103 / 255.0, 177 / 255.0, 1)},
                             {1, Color(1, 1, 1, 1)}});
    const QString text = stringRepresentation(original);
    EXPECT_FALSE(text.contains(u',')) << text.toStdString();
    const std::optional<Gradient> read = gradientWithString(text);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->numberOfColorStops(), 3);
    for (int i = 0; i < 3; ++i) {
        const Gradient::Stop& a = original.stops()[size_t(i)];
        const Gradient::Stop& b = read->stops()[size_t(i)];
        EXPECT_NEAR(b.location, a.location, 5e-7);
        EXPECT_NEAR(b.color.red(), a.color.red(), 5e-7);
        EXPECT_NEAR(b.color.green(), a.color.green(), 5e-7);
        EXPECT_NEAR(b.color.blue(), a.color.blue(), 5e-7);
        EXPECT_NEAR(b.color.alpha(), a.color.alpha(), 5e-7);
    }
    EXPECT_EQ(stringRepresentation(*read), text);
}

INSTANTIATE_TEST_SUITE_P(Locales, GradientText, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "DecimalComma" : "C"; });

TEST(GradientText, ShortFormsAndIncompleteGroups)
{
    struct Case
    {
        const char* text;
        std::vector<Gradient::Stop> stops; // empty: no gradient
        bool warns;
    };
    const Color red(1, 0, 0, 1);
    const Case cases[] = {
        {"1 0 0", {{0, red}, {1, red}}, false}, // one colour for both ends
        {"0.5/0.25", {{0, {0.5, 0.5, 0.5, 0.25}}, {1, {0.5, 0.5, 0.5, 0.25}}}, false},
        {"", {{0, {0, 0, 0, 1}}, {1, {0, 0, 0, 1}}}, false},           // one empty item: a colour text
        {"1 0 0 1 0 0 1 0.5", {{0, red}, {1, {0, 0, 1, 0.5}}}, false}, // eight: two colours, no locations
        {"1 0 0 0 1 0 1 1 1 1 0.5 0.5", {{1, {0, 0, 0, 1}}, {0, {1, 1, 1, 1}}}, true}, // twelve: two groups
        {"0 0  0 0 1 1 1 1 1 1",
         {{0, {0, 0, 0, 0}}, {1, {1, 1, 1, 1}}},
         true},                                                        // an empty item shifts the rest
        {"0 1 0 0 1", {}, false},                                      // one stop is no gradient
        {"0 1 0 0 1 0.5 1", {}, true},                                 // seven: no second group
        {"x 1 y 0 1 1 0 0 1 1", {{0, red}, {1, {0, 0, 1, 1}}}, false}, // no number reads as 0
        // Beyond the double's range, or the single-precision stop's: 0, never an infinity.
        {"0 1e999 0 0 1 1e39 1 -1e999 1 1", {{0, {0, 0, 0, 1}}, {0, {1, 0, 1, 1}}}, false},
        {"1e999 0 0", {{0, {0, 0, 0, 1}}, {1, {0, 0, 0, 1}}}, false},
    };
    for (const Case& c : cases) {
        pf::LogCapture capture;
        const std::optional<Gradient> gradient = gradientWithString(QString::fromLatin1(c.text));
        EXPECT_EQ(capture.contains("Warning: Number of Gradient Components is not a multiple of 5:\n"),
                  c.warns)
            << c.text;
        if (c.stops.empty()) {
            EXPECT_FALSE(gradient) << c.text;
            continue;
        }
        ASSERT_TRUE(gradient) << c.text;
        EXPECT_EQ(gradient->stops(), c.stops) << c.text;
    }
}
