#include "Classes/ToolObjects/OVOriginalPyramid.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/ImageNode.h"
#include "Platform/Image/RenderContext.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <thread>

using namespace pf;

namespace {

std::array<float, 4> pixelOf(const Image& image, int x, int y)
{
    static RenderContext context(QStringLiteral("pyramid tests"));
    std::array<float, 4> c{-1, -1, -1, -1};
    if (auto bitmap = context.render(image, Rect(x, y, 1, 1), Bitmap::Format::RGBAf))
        bitmap->pixel(0, 0, c.data());
    return c;
}

// A photo of 4096 x 3001: red on the left half, blue on the right, its top sixteen rows green.
Image photo()
{
    Bitmap bitmap(4096, 3001, Bitmap::Format::RGBA8);
    for (int y = 0; y < bitmap.height(); ++y) {
        uint8_t* row = bitmap.mutableRow(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            const bool green = y < 16, left = x < 2048;
            row[4 * x + 0] = !green && left ? 255 : 0;
            row[4 * x + 1] = green ? 255 : 0;
            row[4 * x + 2] = !green && !left ? 255 : 0;
            row[4 * x + 3] = 255;
        }
    }
    return Image::fromBitmap(bitmap);
}

} // namespace

TEST(OVOriginalPyramid, SmallerPicturesComeFromTheCopyNearestAboveTheirSize)
{
    const OVOriginalPyramid pyramid(photo());
    const struct
    {
        double scale;
        int level;
    } cases[] = {{1.0, 0}, {0.6, 0}, {0.5, 1}, {0.26, 1}, {0.25, 2}, {0.1, 3}, {0.05, 4}, {0.001, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(pyramid.levelForScale(c.scale), c.level) << c.scale << ": no copy under 256 pixels";
    EXPECT_EQ(pyramid.madeLevels(), 0) << "copies are made when first asked for";

    // A picture of the photo at an eighth, from the copy: where the photo has red, blue and green.
    const Image eighth = pyramid.imageByApplyingTransform(AffineTransform::scale(0.125, 0.125));
    EXPECT_EQ(pyramid.madeLevels(), 1);
    EXPECT_NEAR(eighth.extent().width(), 512, 1e-9);
    EXPECT_NEAR(eighth.extent().height(), 3001 / 8.0, 1e-9);
    const struct
    {
        int x, y; // output pixels, y up
        std::array<float, 4> colour;
    } probes[] = {
        {100, 100, {1, 0, 0, 1}}, {400, 200, {0, 0, 1, 1}}, {300, 374, {0, 1, 0, 1}}, {300, 0, {0, 0, 1, 1}}};
    for (const auto& p : probes) {
        const auto got = pixelOf(eighth, p.x, p.y);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(got[size_t(i)], p.colour[size_t(i)], 0.02) << p.x << "," << p.y << " channel " << i;
    }
    // Made once: asked again, the same copy.
    (void)pyramid.imageByApplyingTransform(AffineTransform::scale(0.1, 0.1).translated(-5, -5));
    EXPECT_EQ(pyramid.madeLevels(), 1);

    // A photo that is no bitmap in memory, and turns, are made from the photo itself.
    const OVOriginalPyramid recipe(
        Image::constantColor(Color(1, 0, 0)).imageByCroppingToRect(Rect(0, 0, 4000, 3000)));
    EXPECT_EQ(recipe.levelForScale(0.1), 0);
    EXPECT_EQ(pyramid.imageByApplyingTransform(AffineTransform::rotation(0.5).scaled(0.1, 0.1)).isNull(),
              false);
    EXPECT_EQ(pyramid.madeLevels(), 1);
}

TEST(OVOriginalPyramid, ACopyOfAnEightBitPhotoIsTheRoundedMeanOfEachBox)
{
    // Random bytes in a photo whose size no factor divides: boxes cut by the right and bottom edges
    // average the pixels they hold.
    Bitmap bitmap(517, 301, Bitmap::Format::RGBA8);
    std::mt19937 random(3);
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width() * 4; ++x)
            bitmap.mutableRow(y)[x] = uint8_t(random() % 256);
    const OVOriginalPyramid pyramid(Image::fromBitmap(bitmap));
    for (const int level : {1, 2, 5}) {
        SCOPED_TRACE(level);
        ImageNodePtr node = pyramid.imageAtLevel(level).node();
        while (node && node->kind != ImageNode::Kind::Bitmap)
            node = node->input;
        ASSERT_TRUE(node);
        const Bitmap& copy = node->bitmap;
        const int factor = 1 << level;
        ASSERT_EQ(copy.width(), (517 + factor - 1) / factor);
        ASSERT_EQ(copy.height(), (301 + factor - 1) / factor);
        int wrong = 0;
        for (int row = 0; row < copy.height(); ++row)
            for (int box = 0; box < copy.width(); ++box)
                for (int c = 0; c < 4; ++c) {
                    double sum = 0;
                    int count = 0;
                    for (int y = row * factor; y < std::min(301, (row + 1) * factor); ++y)
                        for (int x = box * factor; x < std::min(517, (box + 1) * factor); ++x, ++count)
                            sum += bitmap.row(y)[4 * x + c];
                    wrong += copy.row(row)[4 * box + c] != std::lround(sum / count) ? 1 : 0;
                }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(PhotoToolChain, APhotoPreparedOffTheMainThreadLeavesNoCopyToMakeForTheWindowsFirstPictures)
{
    // A photo opened in the background is prepared on the thread that decoded it; the chain made from
    // it on the main thread, and the window's tiles and fitted picture, then reduce nothing.
    const struct
    {
        const char* name;
        int width, height;
    } cases[] = {{"landscape", 6000, 4000}, {"portrait", 3000, 4500}, {"small", 900, 600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap bitmap(c.width, c.height, Bitmap::Format::RGBA8, Bitmap::Fill::Zero);
        PhotoToolChain::Original original;
        std::thread([&] {
            original = PhotoToolChain::prepareOriginal(Image::fromBitmap(bitmap), true);
        }).join();
        const int made = original.pyramid->madeLevels();

        const auto chain = std::make_shared<PhotoToolChain>(original);
        EXPECT_EQ(chain->originalPyramid(), original.pyramid);
        EXPECT_EQ(chain->renderInfoGenerator(), original.renderInfoGenerator)
            << "faces are not searched again";
        const double side = std::max(c.width, c.height);
        for (const double wanted : {240.0, 1024.0, 683.0})
            (void)chain->originalPyramid()->imageByApplyingTransform(
                AffineTransform::scale(wanted / side, wanted / side));
        EXPECT_EQ(chain->originalPyramid()->madeLevels(), made);
    }
}
