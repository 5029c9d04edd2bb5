#include "Classes/Document/GMScenePreviewWindow.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Platform/Image/Bitmap.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

Image flat(int width, int height, uint8_t grey)
{
    Bitmap bitmap(width, height, Bitmap::Format::RGBA8);
    uint8_t* p = bitmap.mutableData();
    for (size_t i = 0; i < bitmap.byteCount(); i += 4) {
        p[i] = p[i + 1] = p[i + 2] = grey;
        p[i + 3] = 255;
    }
    return Image::fromBitmap(bitmap);
}

} // namespace

TEST(GMScenePreviewWindow, TheSceneTakesTheBackgroundsSizeAndTheCardItsPicturesShapeInsideIt)
{
    struct Case
    {
        Size background;
        Size picture;
        Size scene;
        Rect cardImage;               // the card's image extent: the rectangle's pixel size
        double cardWidth, cardHeight; // half widths: 1.2 wide unless that is taller than 0.8 of the scene
    };
    const Case cases[] = {
        {Size(640, 480), Size(300, 100), Size(640, 480), Rect(0, 0, 384, 128), 1.2, 0.4},
        // Fitted inside 1280 x 800, never enlarged; a portrait card at 0.8 of the scene's height.
        {Size(2560, 1200), Size(200, 400), Size(1280, 600), Rect(0, 0, 240, 480), 0.375, 0.75},
        {Size(1000, 2000), Size(512, 512), Size(400, 800), Rect(0, 0, 240, 240), 1.2, 1.2},
    };
    for (const Case& c : cases) {
        GMScenePreviewWindow preview(flat(int(c.background.width), int(c.background.height), 90),
                                     flat(int(c.picture.width), int(c.picture.height), 200)
                                         .imageByApplyingTransform(AffineTransform::translation(30, -12)));
        EXPECT_EQ(preview.sceneSize(), c.scene);
        const QVariantMap card = GMScenePreviewWindow::cardSprite(
            flat(int(c.picture.width), int(c.picture.height), 200), preview.sceneSize());
        EXPECT_EQ(card.value("image").value<Image>().extent(), c.cardImage);
        EXPECT_DOUBLE_EQ(card.value("size.width").toDouble(), c.cardWidth);
        EXPECT_DOUBLE_EQ(card.value("size.height").toDouble(), c.cardHeight);
        const QImage scene = preview.sceneImage();
        ASSERT_EQ(scene.size(), QSize(int(c.scene.width), int(c.scene.height)));
        // The turned card (grey 200 over 90) lies inside the scene: it shows in no outer row.
        for (int y : {0, 1, scene.height() - 2, scene.height() - 1})
            for (int x = 0; x < scene.width(); ++x)
                ASSERT_LT(qGray(scene.pixel(x, y)), 150) << "row " << y << ", x " << x;
    }
}

TEST(GMScenePreviewWindow, SwitchesChooseTheRendererAndTheDevice)
{
    GMScenePreviewWindow preview(flat(320, 200, 60), flat(100, 100, 230));
    const QImage card = preview.sceneImage();
    ASSERT_FALSE(card.isNull());
    // The card is turned away: the middle of the scene is the picture, its corner the background.
    EXPECT_EQ(qGray(card.pixel(160, 100)), 230);
    EXPECT_NEAR(qGray(card.pixel(2, 2)), 60, 1);

    preview.setFlat(true);
    EXPECT_TRUE(preview.flatSwitch()->state());
    const QImage flatScene = preview.sceneImage();
    ASSERT_FALSE(flatScene.isNull());
    // Flat, the card is an upright square in the middle, 0.8 of the scene high (160 x 160): 80 .. 240
    // x 20 .. 180.
    EXPECT_EQ(qGray(flatScene.pixel(81, 100)), 230);
    EXPECT_EQ(qGray(flatScene.pixel(78, 100)), 60);
    EXPECT_EQ(qGray(flatScene.pixel(160, 21)), 230);
    EXPECT_EQ(qGray(flatScene.pixel(160, 18)), 60);
    EXPECT_NE(flatScene, card);

    preview.setFlat(false);
    preview.setFinalQuality(true);
    EXPECT_TRUE(preview.finalQualitySwitch()->state());
    const QImage finalScene = preview.sceneImage();
    ASSERT_EQ(finalScene.size(), card.size());
    int worst = 0;
    for (int y = 0; y < card.height(); ++y)
        for (int x = 0; x < card.width(); ++x)
            worst = std::max(worst, std::abs(qGray(finalScene.pixel(x, y)) - qGray(card.pixel(x, y))));
    EXPECT_LE(worst, 2);
}
