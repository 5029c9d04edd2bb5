#include "Classes/ToolObjects/GMPattern.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Vector.h"
#include "Tests/Classes/Filters/FilterTestSupport.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;

namespace {

Image tile(int w, int h)
{
    return floatImage(w, h, [&](int x, int y) {
        return std::array<float, 4>{float(x) / float(w), float(y) / float(h), 0.5f, 1};
    });
}

Vector filterValue(const GMPattern& pattern, const char* key)
{
    return pattern.imageWithPatternFilter()->value(key).value<Vector>();
}

} // namespace

TEST(GMPattern, TilingParametersFromThePlacement)
{
    struct Case
    {
        const char* what;
        double targetWidth, relative;
        Rect frame;
        Size original, patternSize;
        double resize;
        double zoom;
        Vector offset;
    };
    const std::vector<Case> cases{
        {"a fifth of 1000 pixels", 1000, 0.2, Rect(0, 0, 1, 1), Size(0, 0), Size(500, 500), 1, 4,
         Vector(0, 0)},
        {"no target: at least 6 pixels", 0, 0.2, Rect(0, 0, 1, 1), Size(0, 0), Size(500, 500), 1, 1,
         Vector(0, 0)},
        {"half the target visible", 1000, 0.2, Rect(0.25, 0.5, 0.5, 0.5), Size(2000, 1000), Size(2000, 1000),
         1, 8, Vector(-500, -500)},
        {"a preview at half size", 1000, 0.2, Rect(0, 0, 1, 1), Size(2000, 1000), Size(1000, 500), 1, 2,
         Vector(0, 0)},
        {"resized", 1000, 0.2, Rect(0.1, 0, 1, 1), Size(0, 0), Size(500, 500), 2, 8, Vector(-50, 0)},
    };
    for (const Case& c : cases) {
        GMPattern pattern(tile(64, 32), c.patternSize);
        pattern.setOwnSizeRelativeToTargetWidth(c.relative);
        pattern.setTargetWidthInPixels(c.targetWidth);
        pattern.setOriginalImageSize(c.original);
        pattern.setResizeFactor(c.resize);
        pattern.setCurrentTargetFrame(c.frame);
        EXPECT_EQ(filterValue(pattern, "inputZoomFactors"), Vector(c.zoom, c.zoom)) << c.what;
        EXPECT_EQ(filterValue(pattern, "inputOffset"), c.offset) << c.what;
        EXPECT_TRUE(pattern.transformValuesDidChange()) << c.what;
    }
}

TEST(GMPattern, FreshAfterConstructionStaleAfterAChange)
{
    GMPattern pattern(tile(64, 32), Size(100, 50));
    EXPECT_EQ(filterValue(pattern, "inputZoomFactors"), Vector(1, 1));
    EXPECT_EQ(filterValue(pattern, "inputOffset"), Vector(0, 0));
    EXPECT_FALSE(pattern.transformValuesDidChange());
    const Image first = pattern.patternImage();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.extent(), Rect(0, 0, 100, 50));
    EXPECT_EQ(pattern.patternImage(), first); // kept while nothing changed
    pattern.setOwnSizeRelativeToTargetWidth(0.5);
    EXPECT_EQ(pattern.patternImage(), first); // plain values do not make it stale
    pattern.setResizeFactor(2);
    const Image second = pattern.patternImage();
    EXPECT_NE(second, first);
    EXPECT_EQ(second.extent(), Rect(0, 0, 200, 100));

    const Image old = pattern.singlePattern();
    pattern.setSinglePattern(Image());
    EXPECT_EQ(pattern.singlePattern(), old);
}

TEST(GMPattern, BitmapTilesFromTheBottomLeftWithoutInterpolation)
{
    // A 3 x 2 tile with no target: t = 6, whole zoom 2, so each tile pixel covers 2 x 2 pixels and the
    // tile repeats every 6 x 4 pixels.
    const Image small = floatImage(3, 2, [](int x, int y) {
        return std::array<float, 4>{float(x) / 4, float(y) / 2, 0.25f, 1};
    });
    GMPattern pattern(small, Size(13.7, 9.2));
    const Bitmap bitmap = pattern.newPatternCGImage();
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(bitmap.width(), 13);
    EXPECT_EQ(bitmap.height(), 9);
    for (int row = 0; row < 9; ++row) {
        for (int x = 0; x < 13; ++x) {
            const int up = 8 - row;
            float c[4];
            bitmap.pixel(x, row, c);
            EXPECT_EQ(c[0], float((x % 6) / 2) / 4) << x << ", " << up;
            EXPECT_EQ(c[1], float((up % 4) / 2) / 2) << x << ", " << up;
        }
    }
    // The image made by the pattern filter shows the same.
    const Pixels p = render(pattern.patternImage(), Rect(0, 0, 13, 9));
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 13; ++x) {
            float c[4];
            bitmap.pixel(x, 8 - y, c);
            EXPECT_NEAR(p.at(x, y)[0], c[0], 1e-6f) << x << ", " << y;
            EXPECT_NEAR(p.at(x, y)[1], c[1], 1e-6f) << x << ", " << y;
        }
    }
}

TEST(GMPattern, NoTileOrAnEmptyTileMakesNoPattern)
{
    for (const Image& tileImage : {Image(), Image::emptyImage()}) {
        GMPattern pattern(tileImage, Size(100, 100));
        pattern.setTargetWidthInPixels(1000);
        pattern.setOwnSizeRelativeToTargetWidth(0.2);
        pattern.setOriginalImageSize(Size(100, 100));
        EXPECT_TRUE(pattern.ciPatternImage().isNull());
        EXPECT_TRUE(pattern.patternImage().isNull());
        EXPECT_TRUE(pattern.newPatternCGImage().isNull());
        EXPECT_FALSE(pattern.transformValuesDidChange());
    }
    LogCapture capture;
    const GMPattern missing = GMPattern::fromDictionary(
        {{"fileName", "NoSuchPattern.png"}, {"relativeSizeToTarget", 0.25}}, Size(10, 10));
    EXPECT_TRUE(missing.singlePattern().isNull());
    EXPECT_EQ(missing.ownSizeRelativeToTargetWidth(), 0.25);
    EXPECT_TRUE(capture.contains("NoSuchPattern"));
}
