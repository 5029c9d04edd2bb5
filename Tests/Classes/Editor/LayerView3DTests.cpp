#include "Classes/Editor/OV3DLayerView.h"

#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"

#include <gtest/gtest.h>

using pf::Point;
using pf::Rect;

namespace {

class LayerView3D : public ::testing::Test
{
protected:
    // The perspective's centre (the 3D layer's anchor, where it lies) in the view's coordinates.
    static Point centre(const OV3DLayerView& view)
    {
        return view.convertPointFromView(view.layer3D()->position(), view.planeView());
    }

    pf::SteppedClock clock;
    pf::Window window{Rect(0, 0, 1000, 700)};
};

TEST_F(LayerView3D, ABackgroundLayerSpreadsOverTheWindowAroundTheAnchor)
{
    struct Case
    {
        Rect frame;
        int anchor;
        OV3DLayerView::Padding padding;
        Point expected; // in the view
    };
    const Case cases[] = {
        {Rect(100, 50, 400, 300), 0, {}, Point(200, 150)},
        {Rect(520, 380, 300, 200), 0, {}, Point(150, 100)},
        {Rect(100, 50, 400, 300),
         OV3DLayerView::AnchorLeft | OV3DLayerView::AnchorTop,
         {20, 0, 30, 0},
         Point(30, 280)},
        {Rect(100, 50, 400, 300),
         OV3DLayerView::AnchorRight | OV3DLayerView::AnchorBottom,
         {0, 15, 0, 25},
         Point(375, 15)},
        {Rect(0, 50, 800, 600), 13, {}, Point(0, 300)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.anchor);
        auto* view = new OV3DLayerView(c.frame);
        window.contentView()->addSubview(view);
        view->setPadding(c.padding);
        view->setIsBackgroundLayer(true);
        view->setAnchor(c.anchor);
        const auto& layer = view->layer3D();
        EXPECT_EQ(layer->superlayer(), pf::LayerHostView::windowHost(&window)->layer().get());
        EXPECT_EQ(layer->frame(), Rect(0, 0, 1000, 700)); // the whole content, in the window's coordinates
        EXPECT_EQ(layer->fixedWidth(), c.frame.width());
        const Point p = centre(*view);
        EXPECT_NEAR(p.x, c.expected.x, 1e-9);
        EXPECT_NEAR(p.y, c.expected.y, 1e-9);
        delete view;
    }
}

TEST_F(LayerView3D, PaddingWaitsForTheNextFillAndSwitchingBackFillsTheView)
{
    auto* view = new OV3DLayerView(Rect(100, 50, 400, 300));
    window.contentView()->addSubview(view);
    view->setIsBackgroundLayer(true);
    view->setPadding({10, 10, 10, 10});
    view->setAnchor(0); // same anchor, but a fill: the padding now counts (symmetric: centre unchanged)
    view->setPadding({0, 0, 60, 0});
    EXPECT_EQ(centre(*view), Point(200, 150));
    view->setFrameSize(pf::Size(420, 300)); // a resize fills again
    EXPECT_EQ(centre(*view), Point(60 + 180, 150));

    view->setIsBackgroundLayer(false);
    EXPECT_EQ(view->layer3D()->superlayer(), view->layer().get());
    EXPECT_EQ(view->layer3D()->frame(), view->bounds());
    EXPECT_EQ(view->layer3D()->anchorPoint(), Point(0.5, 0.5));
    view->setFrameSize(pf::Size(500, 320));
    EXPECT_EQ(view->layer3D()->frame(), view->bounds());
}

TEST_F(LayerView3D, OutsideAWindowNothingIsFilled)
{
    OV3DLayerView view(Rect(100, 50, 400, 300));
    view.setIsBackgroundLayer(true);
    view.setAnchor(OV3DLayerView::AnchorLeft);
    EXPECT_EQ(view.layer3D()->superlayer(), view.layer().get());
    EXPECT_EQ(view.layer3D()->frame(), Rect(0, 0, 400, 300));
    EXPECT_EQ(view.layer3D()->anchorPoint(), Point(0.5, 0.5));
}

} // namespace
