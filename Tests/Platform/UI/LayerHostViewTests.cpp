#include "LayerTestSupport.h"

#include "Platform/UI/Event.h"
#include "Platform/UI/LayerForView.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

#include <numbers>

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

// Painted into its window among other views, a host away from the window's corner draws all of its tree.
TEST(LayerHostView, AHostAwayFromTheWindowsCornerDrawsThere)
{
    pf::Window window(Rect(0, 0, 300, 200));
    auto* host = new LayerHostView(Rect(120, 30, 100, 80));
    window.contentView()->addSubview(host);
    window.show();
    {
        const pf::Transaction::Scope atOnce(true);
        host->layer()->addSublayer(pf::test::makeLayer(Rect(0, 0, 100, 80), Qt::red));
    }
    const QImage shot = window.grab().toImage();
    // The host's corners, inside, in the window's y-down pixels.
    for (const QPoint corner : {QPoint(121, 91), QPoint(218, 91), QPoint(121, 168), QPoint(218, 168)})
        EXPECT_EQ(shot.pixelColor(corner), QColor(Qt::red)) << corner.x() << ", " << corner.y();
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

namespace {

// A view that paints one colour and remembers where it was pressed and dragged.
class Swatch : public pf::View
{
public:
    using View::View;
    QColor color = Qt::green;
    std::vector<Point> presses, drags;

    void drawRect(QPainter& painter, const Rect&) override { painter.fillRect(bounds().toQRectF(), color); }
    void mouseDown(const pf::Event& e) override
    {
        presses.push_back(convertPointFromView(e.locationInWindow(), nullptr));
    }
    void mouseDragged(const pf::Event& e) override
    {
        drags.push_back(convertPointFromView(e.locationInWindow(), nullptr));
    }
};

} // namespace

TEST(LayerHostView, AViewInATurnedLayerIsDrawnThereAndTakesEventsThroughTheInverseMap)
{
    pf::Window window(Rect(0, 0, 400, 300));
    auto* host = new LayerHostView(Rect(0, 0, 400, 300));
    window.contentView()->addSubview(host);
    window.show();
    auto* canvas = new Swatch(Rect(0, 0, 160, 120));
    canvas->color = Qt::blue;
    auto* knob = new Swatch(Rect(100, 20, 40, 30)); // inside the canvas, lower right
    canvas->addSubview(knob);
    auto layer = pf::LayerForView::create(canvas);
    {
        const pf::Transaction::Scope atOnce(true);
        pf::Transform3D perspective;
        perspective.m34 = -1.0 / 500;
        host->layer()->setSublayerTransform(perspective);
        layer->setPosition(Point(200, 150));
        layer->setTransform(pf::Transform3D::rotation(-50 * std::numbers::pi / 180, 0, 1, 0));
    }
    host->layer()->addSublayer(layer);

    // The knob's centre, seen on the turned layer.
    const Point knobCentre = layer->convertPointToLayer(Point(120, 35), host->layer().get());
    const Point blue = layer->convertPointToLayer(Point(30, 90), host->layer().get());
    QImage shot = host->snapshot();
    EXPECT_EQ(pf::test::pixel(shot, knobCentre), QColor(Qt::green));
    EXPECT_EQ(pf::test::pixel(shot, blue), QColor(Qt::blue));

    auto send = [&](pf::EventType type, Point inHost) {
        host->deliverMouseEvent(
            pf::Event::mouseEvent(type, host->convertPointToView(inHost, nullptr), 0, 0, &window));
    };
    send(pf::EventType::LeftMouseDown, knobCentre);
    send(pf::EventType::LeftMouseDragged, Point(5, 5)); // off the layer: still the knob's drag
    ASSERT_EQ(knob->presses.size(), 1u);
    EXPECT_NEAR(knob->presses[0].x, 20, 1e-6);
    EXPECT_NEAR(knob->presses[0].y, 15, 1e-6);
    EXPECT_EQ(knob->drags.size(), 1u);
    EXPECT_TRUE(canvas->presses.empty());
    send(pf::EventType::LeftMouseUp, Point(5, 5));

    // A repaint of the hosted view reaches the layer.
    knob->color = Qt::yellow;
    knob->setNeedsDisplay();
    QCoreApplication::processEvents();
    shot = host->snapshot();
    EXPECT_EQ(pf::test::pixel(shot, knobCentre), QColor(Qt::yellow));
    EXPECT_EQ(pf::test::pixel(shot, blue), QColor(Qt::blue));
}
