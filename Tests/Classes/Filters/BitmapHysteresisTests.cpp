#include "LibraryTestSupport.h"

#include "Classes/Filters/BitmapHysteresis.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

// Edge strength in the green channel (and red and blue), opaque.
Grid strengths(int w, int h, const std::function<float(int, int)>& f)
{
    return Grid::from(w, h, [&](int x, int y) {
        const float v = f(x, y);
        return Pixel{v, v, v, 1};
    });
}

const Pixel EdgePixel{1, 1, 1, 1};
const Pixel NonEdgePixel{0, 0, 0, 1};

} // namespace

TEST(BitmapHysteresis, StrongEdgesWeakNeighboursAndLonePixels)
{
    struct Case
    {
        const char* what;
        float centre, right, others;
        Pixel expected;
    };
    const std::vector<Case> cases{
        {"strong", 0.9f, 0.0f, 0.0f, EdgePixel},
        {"weak beside a strong one", 0.6f, 0.9f, 0.0f, EdgePixel},
        {"weak among weak ones", 0.6f, 0.7f, 0.7f, NonEdgePixel},
        {"weak alone", 0.6f, 0.4f, 0.4f, Pixel{0.6f, 0.6f, 0.6f, 1}},
        {"at the low value", 0.4f, 0.9f, 0.9f, NonEdgePixel},
    };
    for (const Case& c : cases) {
        const Grid input = strengths(5, 5, [&](int x, int y) {
            if (x == 2 && y == 2)
                return c.centre;
            if (x == 3 && y == 2)
                return c.right;
            return std::abs(x - 2) + std::abs(y - 2) == 1 ? c.others : 0.0f;
        });
        BitmapHysteresis hysteresis;
        hysteresis.setDefaults();
        hysteresis.setValue(QVariant::fromValue(input.image()), "inputImage");
        const Grid got = Grid::rendered(hysteresis.outputImage(), 5, 5);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(got.at(2, 2)[i], c.expected[i], 1.0f / 255) << c.what << " channel " << i;
    }
}

TEST(BitmapHysteresis, RunsOncePerChangeOfSettings)
{
    BitmapHysteresis hysteresis;
    EXPECT_FALSE(hysteresis.isDirty());
    hysteresis.setDefaults();
    EXPECT_FALSE(hysteresis.isDirty());
    EXPECT_FALSE(hysteresis.objectForKey("inputLowValue").isValid());
    EXPECT_EQ(hysteresis.inputHighValue().toDouble(), 0.8);
    // Thresholds may come before the image.
    hysteresis.setValue(0.2, "inputLowValue");
    hysteresis.setValue(0.3, "inputHighValue");
    hysteresis.setValue(QVariant::fromValue(strengths(4, 3, [](int x, int) { return x * 0.25f; }).image()),
                        "inputImage");
    hysteresis.setValue(QStringLiteral("kept"), "inputOther");
    EXPECT_TRUE(hysteresis.isDirty());
    EXPECT_EQ(hysteresis.objectForKey("inputOther").toString(), "kept");
    EXPECT_EQ(hysteresis.objectForKey("inputLowValue").toDouble(), 0.2);
    const Grid got = Grid::rendered(hysteresis.outputImage(), 4, 3);
    EXPECT_FALSE(hysteresis.isDirty());
    // 0 and 0.25 (beside 0.5, above the high value) and 0.5 and 0.75.
    EXPECT_EQ(got.at(0, 1), NonEdgePixel);
    EXPECT_EQ(got.at(1, 1), EdgePixel);
    EXPECT_EQ(got.at(3, 1), EdgePixel);
    EXPECT_EQ(hysteresis.outputImage().extent(), Rect(0, 0, 4, 3));
    EXPECT_FALSE(hysteresis.isDirty());
}

// A weak edge of 4000 pixels that reaches a strong pixel only at its far end is followed back along its
// whole length, without running out of stack.
TEST(BitmapHysteresis, FollowsAFourThousandPixelEdge)
{
    const int w = 4000;
    const Grid input = strengths(w, 3, [&](int x, int y) {
        return y != 1 ? 0.0f : x == w - 1 ? 0.9f : 0.6f;
    });
    BitmapHysteresis hysteresis;
    hysteresis.setDefaults();
    hysteresis.setValue(QVariant::fromValue(input.image()), "inputImage");
    const Grid got = Grid::rendered(hysteresis.outputImage(), w, 3);
    int edges = 0;
    for (int x = 0; x < w; ++x)
        edges += got.at(x, 1) == EdgePixel ? 1 : 0;
    EXPECT_EQ(edges, w);
    EXPECT_EQ(got.at(10, 0), NonEdgePixel);
}
