#include "BuiltinTestSupport.h"

#include "Platform/Image/Vector.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace pftest;

namespace {

Image patch(const Color& color, const Rect& rect)
{
    return Image::constantColor(color).imageByCroppingToRect(rect);
}

} // namespace

TEST(Compositing, SourceOverAndConstantColour)
{
    const Image colour =
        filtered("CIConstantColorGenerator", {{"inputColor", QVariant::fromValue(Color(1, 0.5, 0, 0.5))}});
    EXPECT_TRUE(colour.extent().isInfinite());
    EXPECT_EQ(at(renderFloat(colour, Rect(1e5, -3e4, 1, 1)), 0, 0),
              (std::array<float, 4>{0.5f, 0.25f, 0, 0.5f}));

    const Image top = patch(Color(1, 0, 0, 0.25), Rect(0, 0, 4, 4));
    const Image bottom = patch(Color(0, 0, 1, 0.8), Rect(2, 2, 4, 4));
    const Image over = filtered("CISourceOverCompositing",
                                {{"inputImage", var(top)}, {"inputBackgroundImage", var(bottom)}});
    EXPECT_EQ(over.extent(), Rect(0, 0, 6, 6));
    const Bitmap out = renderFloat(over, Rect(0, 0, 6, 6));
    // Premultiplied top + bottom (1 - top alpha).
    EXPECT_NEAR(at(out, 3, 3)[0], 0.25, 1e-6);
    EXPECT_NEAR(at(out, 3, 3)[2], 0.8 * 0.75, 1e-6);
    EXPECT_NEAR(at(out, 3, 3)[3], 0.25 + 0.8 * 0.75, 1e-6);
    EXPECT_NEAR(at(out, 5, 5)[2], 0.8, 1e-6);
    EXPECT_TRUE(filtered("CISourceOverCompositing", {{"inputImage", var(top)}}).isNull());
}

TEST(Compositing, BlendWithMaskReadsTheMasksColourNeverItsAlpha)
{
    const Image image = patch(Color(1, 0, 0), Rect(0, 0, 8, 8));
    const Image background = patch(Color(0, 0, 1), Rect(0, 0, 10, 10));
    // Left: a grey of 0.25; right: green 0.75 with an alpha of 0.3 that must not count.
    const Image mask = Image::fromBitmap(makeFloatBitmap(6, 6, [](int x, int) {
        return x < 3 ? std::array<float, 4>{0.25f, 0.25f, 0.25f, 1.0f}
                     : std::array<float, 4>{0.75f, 0.75f, 0.75f, 0.3f};
    }));
    const Image blended = filtered("CIBlendWithMask", {{"inputImage", var(image)},
                                                       {"inputBackgroundImage", var(background)},
                                                       {"inputMaskImage", var(mask)}});
    EXPECT_EQ(blended.extent(), Rect(0, 0, 10, 10));
    const Bitmap out = renderFloat(blended, Rect(0, 0, 10, 10));
    EXPECT_NEAR(at(out, 1, 1)[0], 0.25, 1e-6);
    EXPECT_NEAR(at(out, 1, 1)[2], 0.75, 1e-6);
    EXPECT_NEAR(at(out, 4, 1)[0], 0.75, 1e-6);
    // Outside the mask: the background.
    EXPECT_NEAR(at(out, 7, 7)[2], 1.0, 1e-6);
    EXPECT_NEAR(at(out, 7, 7)[0], 0.0, 1e-6);
    // Without a background the picture shows through the mask over nothing.
    const Image alone =
        filtered("CIBlendWithMask", {{"inputImage", var(image)}, {"inputMaskImage", var(mask)}});
    EXPECT_EQ(alone.extent(), Rect(0, 0, 6, 6));
    EXPECT_NEAR(at(renderFloat(alone, Rect(0, 0, 6, 6)), 1, 1)[3], 0.25, 1e-6);
}

TEST(Compositing, OverlayFollowsTheBlendFormulaOnStraightColours)
{
    const Bitmap a = randomBitmap(16, 12, 21), b = randomBitmap(16, 12, 22);
    const Image out = filtered("CIOverlayBlendMode", {{"inputImage", var(Image::fromBitmap(a))},
                                                      {"inputBackgroundImage", var(Image::fromBitmap(b))}});
    const Bitmap rendered = renderFloat(out, Rect(0, 0, 16, 12));
    double worst = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            const auto s = at(a, x, y), d = at(b, x, y);
            const double sa = s[3], da = d[3];
            for (int c = 0; c < 3; ++c) {
                const double cs = sa > 0 ? s[size_t(c)] / sa : 0, cb = da > 0 ? d[size_t(c)] / da : 0;
                const double mixed = cb <= 0.5 ? 2 * cs * cb : 1 - 2 * (1 - cs) * (1 - cb);
                const double expected = (1 - da) * s[size_t(c)] + (1 - sa) * d[size_t(c)] + sa * da * mixed;
                worst = std::max(worst, std::abs(expected - at(rendered, x, y)[size_t(c)]));
            }
            worst = std::max(worst, std::abs(sa + da - sa * da - at(rendered, x, y)[3]));
        }
    EXPECT_LT(worst, 1e-5);
}

TEST(Compositing, ColourInvertComplementsStraightColourAndKeepsAlpha)
{
    const Image out =
        filtered("CIColorInvert", {{"inputImage", var(patch(Color(0.2, 0.6, 1.0, 0.5), Rect(0, 0, 2, 2)))}});
    EXPECT_EQ(out.extent(), Rect(0, 0, 2, 2));
    const auto p = at(renderFloat(out, Rect(0, 0, 2, 2)), 1, 1);
    EXPECT_NEAR(p[0], 0.8 * 0.5, 1e-6);
    EXPECT_NEAR(p[1], 0.4 * 0.5, 1e-6);
    EXPECT_NEAR(p[2], 0.0, 1e-6);
    EXPECT_NEAR(p[3], 0.5, 1e-6);
}
