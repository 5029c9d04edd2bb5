#include "LayerTestSupport.h"

#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

using pf::LayerHostView;
using pf::Point;
using pf::Rect;

TEST(LayerHostView, DrawsItsTreeAndDrawsFramesOnlyWhileSomethingAnimates)
{
    pf::SteppedClock clock;
    pf::Window window(Rect(0, 0, 300, 200));
    auto* host = new LayerHostView(Rect(50, 40, 200, 100));
    host->setAutoresizingMask(pf::View::WidthSizable);
    window.contentView()->addSubview(host);
    window.show();
    auto card = pf::test::makeLayer(Rect(10, 60, 40, 30), Qt::red);
    host->layer()->addSublayer(card);
    QImage shot = host->snapshot();
    EXPECT_EQ(pf::test::pixel(shot, Point(20, 70)), QColor(Qt::red)); // y-up, like the layers
    EXPECT_EQ(pf::test::pixel(shot, Point(20, 20)).alpha(), 0);
    EXPECT_FALSE(host->isAnimating());

    card->setOpacity(0); // it has been drawn: the change animates
    EXPECT_TRUE(host->isAnimating());
    clock.advance(0.125);
    EXPECT_NEAR(pf::test::pixel(host->snapshot(), Point(20, 70)).alpha(), 128, 3);
    clock.advance(0.2);
    EXPECT_FALSE(host->isAnimating());

    // The root follows the view's size.
    window.setContentSize(pf::Size(400, 200));
    EXPECT_EQ(host->layer()->bounds(), Rect(0, 0, 300, 100));
}

TEST(LayerHostView, EachWindowHasOneHostOverItsContentThatLetsTheMouseThrough)
{
    pf::Window window(Rect(0, 0, 300, 200));
    LayerHostView* host = LayerHostView::windowHost(&window);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(LayerHostView::windowHost(&window), host);
    EXPECT_EQ(host->frame(), window.contentView()->bounds());
    EXPECT_TRUE(host->isTransparentForMouse());
    EXPECT_EQ(window.contentView()->subviews().back(), host);
    EXPECT_EQ(LayerHostView::windowHost(nullptr), nullptr);
}
