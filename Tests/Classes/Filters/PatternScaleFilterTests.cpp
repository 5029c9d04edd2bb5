#include "LibraryTestSupport.h"

#include "Platform/Foundation/Log.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

TEST(GMCutOutFilter, MovesTheRectangleToTheOrigin)
{
    FilterPtr filter = Filter::create("GMCutOutFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputExtent").value<Vector>(), Vector(0, 0, 400, 400));
    const Grid source = randomGrid(30, 20, 8);
    setImage(filter, source.image());
    filter->setValue(QVariant::fromValue(Vector(10, 5, 12, 8)), "inputExtent");
    const Image image = output(filter);
    EXPECT_EQ(image.extent(), Rect(0, 0, 12, 8));
    EXPECT_EQ(regionOf(image, 0, Rect(3, 3, 2, 2)), Rect(10, 5, 12, 8));
    const Grid expected = Grid::from(12, 8, [&](int x, int y) { return source.at(x + 10, y + 5); });
    EXPECT_LT(difference(Grid::rendered(image, 12, 8), expected), 1e-6f);
    EXPECT_LT(tiledDifference(image, Rect(0, 0, 12, 8)), 1e-6f);

    filter->setValue(QVariant::fromValue(Vector(100, 50, 200, 80)), "inputExtent");
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 200, 80));
    filter->setValue(QVariant(), "inputExtent");
    EXPECT_TRUE(output(filter).extent().isEmpty());
    filter->setValue(QVariant::fromValue(Vector(0, 0, HUGE_VAL, 10)), "inputExtent");
    EXPECT_FALSE(filter->value("outputImage").isValid());
}

TEST(GMPlaceImageInImageFilter, ScalesIntoTheRectangleOnATransparentPlane)
{
    FilterPtr filter = Filter::create("GMPlaceImageInImageFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputExtent").value<Vector>(), Vector(0, 0, 40, 40));
    const Grid source = randomGrid(10, 5, 9);
    setImage(filter, source.image());
    setImage(filter, marker(3, 3), "inputBackgroundImage"); // kept, not used
    filter->setValue(QVariant::fromValue(Vector(10, 20, 30, 10)), "inputExtent");
    const Image image = output(filter);
    EXPECT_TRUE(image.extent().isInfinite());
    const Pixels p = render(image, Rect(0, 0, 50, 40));
    // Scaled by 3 and 2: the centre of output pixel (10 + 3i + 1, 20 + 2j) reads source point
    // (i + 0.5, j + 0.25), a quarter of the way down to the row below (transparent below row 0).
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 10; ++i)
            for (size_t c = 0; c < 4; ++c)
                EXPECT_NEAR(p.at(10 + 3 * i + 1, 20 + 2 * j)[c],
                            0.75f * source.at(i, j)[c] + 0.25f * source.orZero(i, j - 1)[c], 1e-4f);
    for (const Pixel& outside : {p.at(5, 5), p.at(45, 25), p.at(20, 35)})
        EXPECT_EQ(outside, (Pixel{0, 0, 0, 0}));

    // No size to scale from: no image instead of a division by zero.
    setImage(filter, Image::emptyImage());
    EXPECT_FALSE(filter->value("outputImage").isValid());
    filter->setValue(QVariant(), "inputImage");
    EXPECT_FALSE(filter->value("outputImage").isValid());
}

TEST(GMScaleFilter, NearestNeighbourScaleAboutTheOrigin)
{
    FilterPtr filter = Filter::create("GMScaleFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputScale").toDouble(), 1.0);
    const Grid source = randomGrid(8, 6, 10);
    setImage(filter, source.image());
    filter->setValue(2.0, "inputScale");
    Image image = output(filter);
    EXPECT_EQ(image.extent(), Rect(0, 0, 16, 12));
    EXPECT_EQ(regionOf(image, 0, Rect(4, 6, 10, 2)), Rect(2, 3, 5, 1));
    const Grid expected = Grid::from(16, 12, [&](int x, int y) { return source.at(x / 2, y / 2); });
    EXPECT_LT(difference(Grid::rendered(image, 16, 12), expected), 1e-6f);
    EXPECT_LT(tiledDifference(image, Rect(0, 0, 16, 12)), 1e-6f);

    setImage(filter, Grid(640, 480).image());
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 1280, 960));
    setImage(filter, source.image().imageByApplyingTransform(AffineTransform::translation(1.5, 2)));
    filter->setValue(0.5, "inputScale");
    EXPECT_EQ(output(filter).extent(), Rect(0, 1, 4, 3));

    // A scale of 0 has no image (its region of interest would divide by zero).
    filter->setValue(0.0, "inputScale");
    EXPECT_FALSE(filter->value("outputImage").isValid());
    filter->setValue(std::nan(""), "inputScale");
    EXPECT_FALSE(filter->value("outputImage").isValid());
}

TEST(GMImageWithPatternFilter, RepeatsThePatternWithOffsetAndZoom)
{
    FilterPtr filter = Filter::create("GMImageWithPatternFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputZoomFactors").value<Vector>(), Vector(1, 1));
    EXPECT_FALSE(filter->value("inputSize").isValid());
    EXPECT_EQ(filter->attributesForKey("inputOffset").value(FilterAttribute::Type).toString(),
              FilterAttribute::TypePosition);
    const Grid pattern = randomGrid(5, 3, 11);
    setImage(filter, pattern.image().imageByApplyingTransform(AffineTransform::translation(7, 9)));
    EXPECT_TRUE(output(filter).extent().isEmpty()); // no size yet

    filter->setValue(QVariant::fromValue(Vector(17, 10)), "inputSize");
    Image image = output(filter);
    EXPECT_EQ(image.extent(), Rect(0, 0, 17, 10));
    EXPECT_EQ(regionOf(image, 0, Rect(0, 0, 1, 1)), Rect(7, 9, 5, 3));
    EXPECT_LT(difference(Grid::rendered(image, 17, 10),
                         Grid::from(17, 10, [&](int x, int y) { return pattern.at(x % 5, y % 3); })),
              1e-6f);

    filter->setValue(QVariant::fromValue(Vector(2, 1)), "inputOffset");
    filter->setValue(QVariant::fromValue(Vector(2, 1)), "inputZoomFactors");
    image = output(filter);
    EXPECT_LT(difference(
                  Grid::rendered(image, 17, 10),
                  Grid::from(17, 10, [&](int x, int y) { return pattern.at((2 + x / 2) % 5, (1 + y) % 3); })),
              1e-6f);
    EXPECT_LT(tiledDifference(image, Rect(0, 0, 17, 10)), 1e-6f);

    filter->setValue(QVariant::fromValue(Vector(500, 300)), "inputSize");
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 500, 300));
}
