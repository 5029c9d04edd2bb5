#include "Classes/Frames/OV2DRenderer.h"
#include "SceneTestSupport.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace scenetest;

namespace {

const Rgb Red{1, 0, 0};
const Rgb Blue{0, 0, 1};
const Rgb Grey{0.5, 0.5, 0.5};

// Every pixel of the output is the colour expected at its centre.
void expectPixels(const Pixels& pixels, int width, int height,
                  const std::function<Rgb(double, double)>& colourAt)
{
    ASSERT_FALSE(pixels.isNull());
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (difference(pixels.at(x, y), colourAt(x + 0.5, y + 0.5)) > 1 && ++wrong <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
        }
    EXPECT_EQ(wrong, 0);
}

} // namespace

TEST(OV2DRenderer, PlacesSpritesInHalfWidthsAndTurnsThemAboutTheirAnchor)
{
    // A 40 x 20 sprite on an 800 x 400 output: hw = 400, hh = 200.
    struct Case
    {
        const char* what;
        double lx, ly, ax, ay, degrees;
        double x0, y0, x1, y1; // where the sprite must lie, worked out by hand
    };
    const Case cases[] = {
        {"centred", 0, 0, 0, 0, 0, 380, 190, 420, 210},
        {"centre on the right edge", 1, 0, 0, 0, 0, 780, 190, 820, 210},
        {"y in half widths: centre on the top edge", 0, 0.5, 0, 0, 0, 380, 390, 420, 410},
        // Turned a quarter counter-clockwise about its lower-left corner (380, 190).
        {"about the lower-left corner", 0, 0, -1, -1, 90, 360, 190, 380, 230},
        // The anchor moves with the sprite: the unturned sprite is where location puts it.
        {"anchor without rotation", -0.5, 0.25, 1, -1, 0, 180, 290, 220, 310},
        {"half turn about the centre", 0, 0, 0, 0, 180, 380, 190, 420, 210},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OV2DRenderer renderer;
        // An extent away from the origin: the renderer moves it there first.
        const Image image = solid(40, 20, Red).imageByApplyingTransform(AffineTransform::translation(-7, 13));
        renderer.addSprite(sprite(image, {{"location.x", c.lx},
                                          {"location.y", c.ly},
                                          {"anchorPoint.x", c.ax},
                                          {"anchorPoint.y", c.ay},
                                          {"rotation.z", c.degrees}}));
        const Image result = renderer.imageOfSize(Size(800, 400), solid(800, 400, Grey));
        expectPixels(rendered(result, 800, 400), 800, 400, [&](double x, double y) {
            return x > c.x0 && x < c.x1 && y > c.y0 && y < c.y1 ? Red : Grey;
        });
    }
}

TEST(OV2DRenderer, LaterSpritesLieOverEarlierOnesAndTheResultIsTheOutput)
{
    OV2DRenderer renderer;
    renderer.addSprite(sprite(solid(40, 40, Red)));
    renderer.addSprite(sprite(solid(40, 40, Blue), {{"location.x", 0.25}}));
    // Neither of these shows: no image, and an image without a finite extent.
    renderer.addSprite({{"location.x", 0.0}});
    renderer.addSprite(sprite(Image::constantColor(Color(0, 1, 0, 1))));
    // A background larger than the output and sprites that stick out are cut to (0, 0, w, h).
    renderer.addSprite(sprite(solid(40, 40, Blue), {{"location.x", 1.0}}));
    const Image result = renderer.imageOfSize(Size(160, 80), solid(300, 200, Grey));
    EXPECT_EQ(result.extent(), Rect(0, 0, 160, 80));
    // Red 60..100 x 20..60, blue from 80 (hw 80, 0.25 hw = 20) to 120 over it, blue at the right edge.
    expectPixels(rendered(result, 160, 80), 160, 80, [](double x, double y) {
        if (y < 20 || y > 60)
            return Grey;
        if ((x > 80 && x < 120) || x > 140)
            return Blue;
        return x > 60 && x < 80 ? Red : Grey;
    });
}
