#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Framework/Toolkit/OVHintController.h"
#include "Classes/Framework/Toolkit/OVResizeView.h"
#include "Classes/Framework/Toolkit/OVResizeViewDelegate.h"
#include "Classes/Framework/Toolkit/OVRotationView.h"
#include "Classes/Framework/Toolkit/OVRotationViewDelegate.h"
#include "ControlsTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/CursorStack.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Transaction.h"

#include <QLabel>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using pf::EventType;
using pf::Point;
using pf::Rect;
using pf::Size;

struct Report
{
    unsigned sides;
    Size by;
    int state;
};

struct ResizeRecorder : OVResizeViewDelegate
{
    std::vector<Report> reports;
    void resizeViewDidResize(OVResizeView*, unsigned sides, Size by, int state) override
    {
        reports.push_back({sides, by, state});
    }
};

// A window with a hint line, so cursors and hints can be seen on its stacks.
struct HandlesWindow : ControlsWindow
{
    QLabel hintLine;
    HandlesWindow() { OVHintController::addHintControllerForWindow(&window, &hintLine); }
    ~HandlesWindow() { OVHintController::removeControllerForWindow(&window); }
    size_t cursors() const
    {
        const OVCursorStack* stack = OVCursorStack::cursorStackForWindow(&window);
        return stack ? stack->keys().size() : 0;
    }
    size_t hints() const { return OVHintController::controllerForWindow(&window)->hints().size(); }
};

TEST(OVResizeView, PressesChooseSidesAndDragsReportTheGrowth)
{
    HandlesWindow w;
    auto* view = new OVResizeView(Rect(50, 50, 200, 150));
    w.add(view);
    ResizeRecorder recorder;
    view->setDelegate(&recorder);
    w.drag(view, Point(3, 3), Point(-7, -7));
    ASSERT_EQ(recorder.reports.size(), 3u);
    EXPECT_EQ(recorder.reports[0].sides, unsigned(OVResizeView::Left | OVResizeView::Bottom));
    EXPECT_EQ(recorder.reports[1].by, Size(10, 10));
    EXPECT_EQ(recorder.reports[2].state, OVResizeView::Released);
    EXPECT_EQ(view->resizeSides(), 12u) << "kept after the release";

    // The right and top edges count from their own side.
    recorder.reports.clear();
    w.mouse(view, EventType::LeftMouseDown, Point(195, 145));
    w.mouse(view, EventType::LeftMouseDragged, Point(205, 140));
    EXPECT_EQ(recorder.reports[0].sides, unsigned(OVResizeView::Right | OVResizeView::Top));
    EXPECT_EQ(recorder.reports[1].by, Size(10, -5));
    w.mouse(view, EventType::LeftMouseUp, Point(205, 140));

    // Only left and right allowed: just below the middle of the top edge is the interior.
    view->setAllowedSides(OVResizeView::Left | OVResizeView::Right);
    EXPECT_EQ(view->hitTest(Point(50 + 100, 50 + 148)), nullptr);
    EXPECT_EQ(view->hitTest(Point(50 + 5, 50 + 75)), view);
    EXPECT_EQ(view->hitTest(Point(49, 100)), nullptr);
}

struct AngleCase
{
    Point at;
    double angle;
};

TEST(OVResizeView, EdgeAnglesAndTheRoundedCursorCache)
{
    OVResizeView view(Rect(0, 0, 200, 100));
    const AngleCase cases[] = {{{3, 50}, 180},  {{197, 50}, 0},  {{100, 3}, 270},
                               {{100, 97}, 90}, {{3, 3}, 225},   {{3, 97}, 135},
                               {{197, 97}, 45}, {{197, 3}, 135}, {{100, 50}, 0}};
    for (const AngleCase& c : cases)
        EXPECT_EQ(view.angleForLocation(c.at), c.angle) << c.at.x << "," << c.at.y;
    view.updateCursorForLocation(Point(197, 50), 10.2);
    EXPECT_EQ(view.lastCursorAngle(), 10);
    view.updateCursorForLocation(Point(197, 50), 10.4);
    EXPECT_EQ(view.cursorsBuilt(), 1) << "less than half a degree builds no new cursor";
    view.updateCursorForLocation(Point(197, 50), 11);
    EXPECT_EQ(view.cursorsBuilt(), 2);
}

TEST(OVResizeView, HoverShowsTheCursorBeforeAnyPressAndLeavesNothingBehind)
{
    HandlesWindow w;
    auto* view = new OVResizeView(Rect(50, 50, 200, 150));
    w.add(view);
    w.mouse(view, EventType::MouseMoved, Point(197, 75));
    EXPECT_EQ(view->resizeSides(), unsigned(OVResizeView::Right));
    ASSERT_TRUE(view->currentCursor()) << "a resize cursor before the first press";
    EXPECT_EQ(w.cursors(), 1u);
    EXPECT_FALSE(w.hintLine.text().isEmpty());
    EXPECT_EQ(w.hints(), 1u);
    w.mouse(view, EventType::MouseMoved, Point(100, 75));
    EXPECT_FALSE(view->currentCursor()) << "the interior shows none";
    EXPECT_EQ(w.cursors(), 0u);
    EXPECT_EQ(w.hints(), 0u);

    // Leaving the window and being destroyed take the cursor and hint away.
    w.mouse(view, EventType::MouseMoved, Point(3, 75));
    EXPECT_EQ(w.cursors(), 1u);
    view->removeFromSuperview();
    EXPECT_EQ(w.cursors(), 0u);
    EXPECT_EQ(w.hints(), 0u);
    w.add(view);
    w.mouse(view, EventType::MouseMoved, Point(3, 75));
    EXPECT_EQ(w.cursors(), 1u);
    delete view;
    EXPECT_EQ(w.cursors(), 0u);
    EXPECT_EQ(w.hints(), 0u);
}

TEST(OVResizeView, RemoteControlKeepsTheOwnersSides)
{
    OVResizeView view(Rect(0, 0, 200, 100));
    view.setIsRemoteControlled(true);
    view.setResizeSides(0);
    pf::Window window(Rect(0, 0, 300, 200));
    window.contentView()->addSubview(&view);
    view.mouseMoved(pf::Event::mouseEvent(
        EventType::MouseMoved, view.convertPointToView(Point(197, 50), nullptr), 0, 0, &window, 0));
    EXPECT_FALSE(view.currentCursor()) << "the owner has not chosen any side";
    view.setResizeSides(OVResizeView::Right);
    view.mouseMoved(pf::Event::mouseEvent(
        EventType::MouseMoved, view.convertPointToView(Point(197, 51), nullptr), 0, 0, &window, 0));
    EXPECT_TRUE(view.currentCursor());
    view.removeFromSuperview();
}

TEST(OVResizeView, TheCursorFollowsA3DViewsTurn)
{
    HandlesWindow w;
    auto* host = new OV3DView(Rect(0, 0, 400, 300));
    w.add(host);
    auto* view = new OVResizeView(Rect(100, 50, 200, 150));
    host->addSubview(view);
    {
        const pf::Transaction::Scope atOnce(true);
        host->layerForSubview(view)->setTransform(pf::Transform3D::rotation(30 * M_PI / 180, 0, 0, 1));
    }
    view->setResizeSides(OVResizeView::Right);
    view->mouseMoved(pf::Event::mouseEvent(EventType::MouseMoved, Point(197, 75), 0, 0, nullptr, 0));
    EXPECT_EQ(view->lastCursorAngle(), 30);
    EXPECT_EQ(w.cursors(), 1u) << "pushed in the window showing the 3D view";
    view->mouseExited(pf::Event::enterExitEvent(EventType::MouseExited, Point(), 0, 0, nullptr, nullptr));
    EXPECT_EQ(w.cursors(), 0u);
}

struct RotationRecorder : OVRotationViewDelegate
{
    bool scaling = true;
    std::vector<std::pair<double, bool>> rotations, ratios;
    void rotationViewDidRotate(OVRotationView*, double angle, bool inProgress) override
    {
        rotations.emplace_back(angle, inProgress);
    }
    bool supportsResize() const override { return scaling; }
    void rotationViewDidResize(OVRotationView*, double ratio, bool inProgress) override
    {
        ratios.emplace_back(ratio, inProgress);
    }
};

TEST(OVRotationView, RadiusBandAndReports)
{
    HandlesWindow w;
    auto* view = new OVRotationView(Rect(0, 0, 200, 100));
    w.add(view);
    EXPECT_EQ(view->radius(), 70);
    view->setRadiusReduction(10);
    EXPECT_EQ(view->radius(), 63);
    view->setRadiusReduction(0);
    EXPECT_EQ(view->hitTest(Point(100 + 75, 50)), view);
    EXPECT_EQ(view->hitTest(Point(100 + 80, 50)), nullptr);

    RotationRecorder recorder;
    view->setDelegate(&recorder);
    // On the 0° handle a drag outward to twice the distance scales by 2.
    w.mouse(view, EventType::LeftMouseDown, Point(100 + 35, 50));
    EXPECT_TRUE(view->isRescaling());
    w.mouse(view, EventType::LeftMouseDragged, Point(100 + 70, 50));
    w.mouse(view, EventType::LeftMouseUp, Point(100 + 70, 50));
    ASSERT_EQ(recorder.ratios.size(), 2u);
    EXPECT_DOUBLE_EQ(recorder.ratios[0].first, 2.0);
    EXPECT_FALSE(recorder.ratios[1].second);
    EXPECT_NEAR(recorder.rotations[0].first, 0, 1e-9);

    // Across the negative x axis the change jumps by 360.
    recorder.rotations.clear();
    const auto at = [](double degrees) {
        return Point(100 + 70 * std::cos(degrees * M_PI / 180), 50 + 70 * std::sin(degrees * M_PI / 180));
    };
    w.mouse(view, EventType::LeftMouseDown, at(170));
    w.mouse(view, EventType::LeftMouseDragged, at(-170));
    EXPECT_NEAR(recorder.rotations.back().first, -340, 1e-6);
    w.mouse(view, EventType::LeftMouseUp, at(-170));
}

TEST(OVRotationView, TheCentreReportsAngleZero)
{
    const OVRotationView::Polar centre = OVRotationView::rotationForLocation(Point(0, 0));
    EXPECT_EQ(centre.angle, 0);
    EXPECT_EQ(centre.radius, 0.001);
    HandlesWindow w;
    auto* view = new OVRotationView(Rect(0, 0, 200, 100));
    w.add(view);
    RotationRecorder recorder;
    view->setDelegate(&recorder);
    w.drag(view, Point(100, 50), Point(100, 50));
    for (const auto& [angle, inProgress] : recorder.rotations)
        EXPECT_FALSE(std::isnan(angle));
    for (const auto& [ratio, inProgress] : recorder.ratios)
        EXPECT_FALSE(std::isnan(ratio));
}

TEST(OVRotationView, CursorShapeFollowsHandlesAndItGoesWithTheView)
{
    HandlesWindow w;
    auto* view = new OVRotationView(Rect(0, 0, 200, 100));
    view->setHint(QStringLiteral("Rotate"));
    w.add(view);
    RotationRecorder recorder;
    recorder.scaling = false;
    view->setDelegate(&recorder);
    w.mouse(view, EventType::MouseMoved, Point(170, 50));
    EXPECT_TRUE(view->showRescaling()) << "over the 0° handle position";
    EXPECT_EQ(view->cursorForAngle(0).pixmap().toImage(),
              OVRotationView(Rect(0, 0, 10, 10)).cursorForAngle(0).pixmap().toImage())
        << "without scaling, always the double arrow";
    EXPECT_EQ(w.cursors(), 1u);
    EXPECT_EQ(w.hints(), 1u);
    delete view;
    EXPECT_EQ(w.cursors(), 0u) << "a destroyed view leaves no cursor";
    EXPECT_EQ(w.hints(), 0u);
}

} // namespace
