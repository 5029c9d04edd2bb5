#include "Classes/Editor/OVFrameLayer.h"
#include "Classes/Editor/OVFrameShadowLayer.h"
#include "EditorTestSupport.h"
#include "Platform/UI/LayerRenderer.h"

#include <gtest/gtest.h>

using editortest::alphaAt;

namespace {

QImage render(pf::Layer& layer)
{
    return pf::LayerRenderer::renderToImage(layer, 1, false);
}

struct ShadowCase
{
    double max;
    // Points inside the shadow, each with a point nearer the band's inner side that must be lighter,
    // and points where nothing may be drawn.
    std::vector<std::pair<pf::Point, pf::Point>> darkerThan;
    std::vector<pf::Point> empty;
};

} // namespace

// Sides of four different widths (top 10, right 15, bottom 30, left 20) in a 200 x 120 layer: below a
// maximum of 1 the shadow lies along the edges inside the bounds, with 1 and more it is a band of the
// maximum's thickness around the rectangle the sides leave; every side's shadow is darkest outwards.
TEST(OVFrameShadowLayer, DrawsEachSideWhereItsTableSays)
{
    const std::vector<ShadowCase> cases = {
        {0.5,
         {{{100, 119}, {100, 111}},  // top edge
          {{1, 119}, {19, 111}},     // top left corner
          {{1, 70}, {19, 70}},       // left edge
          {{1, 1}, {19, 29}},        // bottom left corner
          {{100, 1}, {100, 29}},     // bottom edge
          {{199, 1}, {186, 29}},     // bottom right corner
          {{199, 70}, {186, 70}},    // right edge
          {{199, 119}, {186, 111}}}, // top right corner
         {{100, 70}, {30, 40}, {180, 100}}},
        {12,
         {{{100, 119}, {100, 111}},  // top edge: [20, 185] x [110, 122]
          {{9, 119}, {19, 111}},     // top left corner: [8, 20] x [110, 122]
          {{9, 70}, {19, 70}},       // left edge: [8, 20] x [30, 110]
          {{9, 19}, {19, 29}},       // bottom left corner: [8, 20] x [18, 30]
          {{100, 19}, {100, 29}},    // bottom edge: [20, 185] x [18, 30]
          {{196, 19}, {186, 29}},    // bottom right corner: [185, 197] x [18, 30]
          {{196, 70}, {186, 70}},    // right edge: [185, 197] x [30, 110]
          {{196, 119}, {186, 111}}}, // top right corner: [185, 197] x [110, 122]
         {{100, 70}, {3, 70}, {100, 10}, {199, 70}, {100, 105}}},
    };
    for (const ShadowCase& c : cases) {
        SCOPED_TRACE(c.max);
        auto layer = std::make_shared<OVFrameShadowLayer>();
        layer->setBounds(pf::Rect(0, 0, 200, 120));
        layer->setMax(c.max);
        layer->setTop(10);
        layer->setRight(15);
        layer->setBottom(30);
        layer->setLeft(20);
        const QImage image = render(*layer);
        for (const auto& [outer, inner] : c.darkerThan) {
            SCOPED_TRACE(testing::Message() << outer.x << ", " << outer.y);
            EXPECT_GT(alphaAt(image, outer.x, outer.y), 0);
            EXPECT_GT(alphaAt(image, outer.x, outer.y), alphaAt(image, inner.x, inner.y));
        }
        for (const pf::Point& p : c.empty)
            EXPECT_EQ(alphaAt(image, p.x, p.y), 0) << p.x << ", " << p.y;
    }
}

TEST(OVFrameShadowLayer, AllSidesZeroDrawNothing)
{
    auto layer = std::make_shared<OVFrameShadowLayer>();
    layer->setBounds(pf::Rect(0, 0, 80, 60));
    layer->setMax(0.5);
    const QImage image = render(*layer);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x << ", " << y;
}

// The paper fills whole points only: the column beyond them carries at most half a line.
TEST(OVFrameLayer, FractionalBoundsFillWholePointsAndKeepTheMiddleClear)
{
    auto layer = std::make_shared<OVFrameLayer>();
    layer->setBounds(pf::Rect(0, 0, 100.6, 50));
    const QImage image = render(*layer);
    EXPECT_EQ(alphaAt(image, 98, 25), 255);
    EXPECT_LT(alphaAt(image, 100, 25), 128);
    EXPECT_EQ(alphaAt(image, 50, 25), 0);
    EXPECT_EQ(alphaAt(image, 4, 25), 255);
    EXPECT_EQ(alphaAt(image, 50, 4), 255);
}
