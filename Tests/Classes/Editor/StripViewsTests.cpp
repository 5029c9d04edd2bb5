#include "Classes/Editor/ForwardSliderEvents.h"
#include "Classes/Editor/GMBackgroundLayer.h"
#include "Classes/Editor/OVTransformedScrollView.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"

#include <gtest/gtest.h>
#include <numbers>

using pf::Event, pf::EventType, pf::Point, pf::Rect, pf::Transform3D;

namespace {

// Notes the mouse events that reach it: type, point in its own coordinates, click count, pressure.
class Recorder : public pf::View
{
public:
    using View::View;
    struct Entry
    {
        EventType type;
        Point at;
        int clicks;
        double pressure;
        Event event;
    };
    std::vector<Entry> log;
    void mouseDown(const Event& e) override { note(e); }
    void mouseDragged(const Event& e) override { note(e); }
    void mouseUp(const Event& e) override { note(e); }
    void mouseMoved(const Event& e) override { note(e); }

private:
    void note(const Event& e)
    {
        log.push_back(
            {e.type(), convertPointFromView(e.locationInWindow(), nullptr), e.clickCount(), e.pressure(), e});
    }
};

class StripViews : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.contentView()->addSubview(view3D);
        window.show();
    }
    // Where a point of a hosted view (its own coordinates) is seen in the 3D view.
    Point seen(const pf::View* hosted, Point p) const
    {
        return view3D->layerForSubview(hosted)->convertPointToLayer(p, view3D->layer().get());
    }

    pf::SteppedClock clock;
    pf::Window window{Rect(0, 0, 900, 400)};
    OV3DView* view3D = new OV3DView(Rect(0, 0, 900, 400));
};

TEST_F(StripViews, TheTurnedScrollViewHitsOnlyWhereItIsSeenAndKeepsItsStoredTransform)
{
    auto* scrollView = new OVTransformedScrollView(Rect(100, 100, 700, 200));
    scrollView->setAutoresizingMask(pf::View::WidthSizable);
    auto* document = new Recorder(Rect(0, 0, 2000, 200));
    scrollView->setDocumentView(document);
    view3D->addSubview(scrollView);
    const Transform3D tilt = Transform3D::rotation(std::numbers::pi / 5, 0, 1, 0);
    scrollView->setStoredTransform(tilt);
    EXPECT_EQ(scrollView->layer()->transform(), tilt);

    // The far end is seen well inside the untransformed frame: a point between is in the frame but
    // outside the bounding box of what is seen.
    const Rect seenBox =
        scrollView->layer()->convertRectToLayer(scrollView->layer()->bounds(), view3D->layer().get());
    ASSERT_LT(seenBox.maxX(), 790);
    EXPECT_EQ(view3D->hitTest(Point(795, 200)), nullptr);
    EXPECT_EQ(view3D->hitTest(seen(scrollView, Point(600, 100))), view3D);
    EXPECT_EQ(view3D->forwardView(), document);

    // A transform set on the layer directly is not what resizing keeps: the stored one is.
    for (double width : {1000.0, 800.0}) {
        view3D->setFrameSize(pf::Size(width, 400));
        EXPECT_EQ(scrollView->layer()->transform(), tilt);
        EXPECT_EQ(scrollView->frame().width(), width - 200);
    }
}

TEST_F(StripViews, TheOverlayForwardsPressesToWhatIsSeenUnderIt)
{
    // A turned strip with a bar along its bottom, and the flat overlay over it.
    auto* strip = new pf::View(Rect(100, 100, 700, 200));
    auto* bar = new Recorder(Rect(0, 0, 700, 30));
    strip->addSubview(bar);
    view3D->addSubview(strip);
    {
        const pf::Transaction::Scope atOnce(true);
        view3D->layerForSubview(strip)->setTransform(Transform3D::rotation(-std::numbers::pi / 6, 0, 1, 0));
    }
    auto* overlay = new ForwardSliderEvents(Rect(0, 0, 900, 400));
    view3D->addSubview(overlay);
    {
        pf::LogCapture log;
        overlay->setTargetView(strip);
        EXPECT_TRUE(log.lines().isEmpty());
        auto* elsewhere = new pf::View(Rect(0, 0, 10, 10));
        window.contentView()->addSubview(elsewhere);
        overlay->setTargetView(elsewhere);
        EXPECT_EQ(log.lines(),
                  QStringList{"Warning: Target-View does not have same superview as Forwarding View"});
        overlay->setTargetView(strip);
    }
    // Nothing of the strip under the point: the press falls through.
    EXPECT_EQ(overlay->hitTest(seen(strip, Point(-40, 120))), nullptr);
    EXPECT_EQ(overlay->forwardView(), nullptr);

    const Point aim(420, 12); // on the bar
    const Point at = seen(strip, aim);
    ASSERT_EQ(overlay->hitTest(at), overlay);
    ASSERT_EQ(overlay->forwardView(), bar);

    auto event = [&](EventType type, int clicks) {
        return Event::mouseEvent(type, overlay->convertPointToView(at, nullptr), pf::Modifier::Shift,
                                 clock.now(), nullptr, clicks, 0.8);
    };
    overlay->mouseDown(event(EventType::LeftMouseDown, 2));
    overlay->mouseDragged(event(EventType::LeftMouseDragged, 2));
    overlay->mouseUp(event(EventType::LeftMouseUp, 2));
    overlay->forwardMouseEvent(event(EventType::MouseMoved, 2), bar);
    ASSERT_EQ(bar->log.size(), 4u);
    const std::pair<EventType, int> expected[] = {{EventType::LeftMouseDown, 2},
                                                  {EventType::LeftMouseDragged, 2},
                                                  {EventType::LeftMouseUp, 2},
                                                  {EventType::MouseMoved, 0}};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bar->log[i].type, expected[i].first);
        EXPECT_EQ(bar->log[i].clicks, expected[i].second);
        EXPECT_EQ(bar->log[i].pressure, expected[i].second ? 0.8 : 0.0);
        EXPECT_EQ(bar->log[i].event.modifierFlags(), pf::Modifier::Shift);
        EXPECT_NEAR(bar->log[i].at.x, aim.x, 1e-6);
        EXPECT_NEAR(bar->log[i].at.y, aim.y, 1e-6);
    }
    // The event it made, coming back, is not forwarded again.
    overlay->mouseDown(bar->log.back().event);
    overlay->forwardMouseEvent(bar->log.back().event, bar, EventType::LeftMouseDown);
    EXPECT_EQ(bar->log.size(), 4u);

    // The overlay draws nothing.
    const QImage picture = overlay->snapshot();
    for (int y = 0; y < picture.height(); y += 20)
        for (int x = 0; x < picture.width(); x += 20)
            ASSERT_EQ(qAlpha(picture.pixel(x, y)), 0);
}

TEST_F(StripViews, TheBackgroundLayerCoversTheWindowInItsSuperlayersCoordinates)
{
    auto* host = new pf::LayerHostView(Rect(200, 100, 300, 200));
    window.contentView()->addSubview(host);
    auto shifted = pf::Layer::create();
    shifted->setFrame(Rect(40, 30, 200, 100));
    host->layer()->addSublayer(shifted);
    auto background = GMBackgroundLayer::create();
    shifted->addSublayer(background);
    background->setReferenceView(host);
    EXPECT_EQ(background->frame(), Rect(-240, -130, 900, 400));
}

} // namespace
