#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLayerBrowserDelegate.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using pf::Event, pf::EventType, pf::Point, pf::Rect, pf::Transform3D;

namespace {

struct Recorder : OVLayerBrowserDelegate
{
    QStringList log;
    void layerBrowserDidChangeSelection(OVLayerBrowser*, qint64 index) override
    {
        log << QStringLiteral("select %1").arg(index);
    }
    void layerBrowserHoveringLayerAtIndex(OVLayerBrowser*, qint64 index) override
    {
        log << QStringLiteral("hover %1").arg(index);
    }
    void layerBrowserInteractFrom(OVLayerBrowser*, qint64 from, qint64 to) override
    {
        log << QStringLiteral("copy %1 to %2").arg(from).arg(to);
    }
    // As the window controller answers.
    bool layerBrowserCanInteractFrom(OVLayerBrowser*, qint64 from, qint64 to) override
    {
        return allowCopies && from != 0 && to != 0 && to != from && to != OVStepScroller::NotFound;
    }
    void willSwitchTo2DView() override { log << QStringLiteral("will 2D"); }
    void didSwitchTo2DView() override { log << QStringLiteral("did 2D"); }
    void willSwitchTo3DView() override { log << QStringLiteral("will 3D"); }
    void didSwitchTo3DView() override { log << QStringLiteral("did 3D"); }
    // The lines that start with one of the prefixes (all without), from the log, which is then emptied.
    QStringList take(const QStringList& prefixes = {})
    {
        QStringList taken;
        for (const QString& line : std::as_const(log))
            if (prefixes.isEmpty() || std::any_of(prefixes.begin(), prefixes.end(),
                                                  [&](const QString& p) { return line.startsWith(p); }))
                taken << line;
        log.clear();
        return taken;
    }
    bool allowCopies = true;
};

// A point of the plane z = 0 through a 4 x 4 matrix on row vectors, divided by w.
Point project(const Transform3D& m, Point p)
{
    const double x = p.x * m.m11 + p.y * m.m21 + m.m41;
    const double y = p.x * m.m12 + p.y * m.m22 + m.m42;
    const double w = p.x * m.m14 + p.y * m.m24 + m.m44;
    return Point(x / w, y / w);
}

class LayerBrowser : public ::testing::Test
{
protected:
    static constexpr double kWidth = 1200, kHeight = 800;

    void SetUp() override
    {
        clock.advance(5);
        window.contentView()->addSubview(browser);
        window.show();
        // On a display server the window's place and size arrive after it is shown; a layout they
        // cause during a switch ends the switch's animations at once.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        browser->setDelegate(&recorder);
        browser->setMargin(9);
        browser->setImageSize(pf::Size(480, 360));
        browser->setLayerFrame(Rect(360, 200, 480, 360)); // in the container, which starts 50 up
        pf::Event::setModifierFlagsProvider([this] { return modifiers; });
    }
    void TearDown() override { pf::Event::setModifierFlagsProvider(nullptr); }

    void fill(int count)
    {
        for (int i = 0; i < count; ++i)
            browser->insertLayerWithName(
                i == 0 ? QStringLiteral("Original") : QStringLiteral("Effect %1").arg(i), i);
        settle(2);
        recorder.log.clear();
    }
    // Time passes and the completions queued on the main loop run.
    void settle(double seconds)
    {
        clock.advance(seconds);
        QApplication::processEvents();
        clock.advance(0);
        QApplication::processEvents();
    }

    // The fan's layout worked out from the geometry: the perspective of an 85 mm lens for the
    // container's width, its centre at the browser's left edge.
    struct Fan
    {
        double left, right, spacing;
        std::vector<double> x;
    };
    Fan expectedFan(int n, qint64 selection) const
    {
        const double containerWidth = kWidth;
        const double depth = 170 / 43.266615305567875; // cot of half the 85 mm lens's field of view
        const double m34 = -1 / (containerWidth / 2 * depth);
        const double w = 480 + 18;
        const double s = std::sin(std::numbers::pi / 12), c = std::cos(std::numbers::pi / 12);
        Fan fan;
        fan.right = kWidth * (-c * w / 2) * m34 + s * w / 2;
        fan.left = s * w / 2;
        fan.spacing = std::min(80.0, (containerWidth - fan.left - fan.right) / 2 / (n == 1 ? 1 : n - 1));
        for (int i = 0; i < n; ++i)
            fan.x.push_back(i <= selection ? containerWidth - fan.right - i * fan.spacing
                                           : fan.left + (n - 1 - i) * fan.spacing);
        return fan;
    }
    // Where a point of layer i (its own coordinates) is seen in the window, from the matrices.
    Point seen(int i, Point p) const
    {
        const auto& layer = browser->layers()[size_t(i)];
        const auto& layer3D = browser->backgroundLayer();
        const Rect b = layer->bounds();
        const Point anchor(layer3D->anchorPoint().x * kWidth, layer3D->anchorPoint().y * kHeight);
        Transform3D perspective;
        perspective.m34 = layer3D->sublayerTransform().m34;
        const Transform3D m =
            Transform3D::translation(-b.width() / 2, -b.height() / 2, 0)
                .concatenated(layer->transform())
                .concatenated(Transform3D::translation(layer->position().x, layer->position().y, 0))
                .concatenated(Transform3D::translation(-anchor.x, -anchor.y, 0))
                .concatenated(perspective)
                .concatenated(Transform3D::translation(anchor.x, anchor.y, 0));
        return project(m, p);
    }
    Event mouse(EventType type, Point inWindow, int clicks = 1, unsigned flags = 0)
    {
        return Event::mouseEvent(type, inWindow, flags, clock.now(), &window, clicks);
    }
    // The pointer over a step of the scroller (at the bottom of the browser).
    void hoverStep(qint64 step)
    {
        OVStepScroller* scroller = browser->layerScroller();
        const Rect segment = scroller->frameForSegment(step);
        scroller->mouseMoved(mouse(EventType::MouseMoved, Point(segment.midX(), segment.midY()), 0));
    }
    void leaveScroller()
    {
        browser->layerScroller()->mouseExited(
            Event::enterExitEvent(EventType::MouseExited, Point(5, 300), 0, clock.now(), &window, nullptr));
    }

    pf::SteppedClock clock;
    pf::Window window{Rect(0, 0, kWidth, kHeight)};
    OVLayerBrowser* browser = new OVLayerBrowser(Rect(0, 0, kWidth, kHeight));
    Recorder recorder;
    unsigned modifiers = 0;
};

TEST_F(LayerBrowser, TheFanOpensBetweenTheMarginsWithAGapAtTheSelection)
{
    struct Case
    {
        int layers;
        qint64 selection;
    };
    for (const Case c : {Case{1, 0}, Case{5, 2}, Case{40, 20}}) {
        SCOPED_TRACE(c.layers);
        browser->removeAllLayers();
        fill(c.layers);
        browser->setSelectionIndex(c.selection);
        browser->setShow3DView(true);
        settle(1.5);
        const Fan fan = expectedFan(c.layers, c.selection);
        EXPECT_NEAR(browser->left3DMargin(), fan.left, 1e-6);
        EXPECT_NEAR(browser->right3DMargin(), fan.right, 1e-6);
        EXPECT_LE(fan.spacing, 80.0);
        if (c.layers == 40) {
            EXPECT_LT(fan.spacing, 80.0);
        }
        for (int i = 0; i < c.layers; ++i) {
            const auto& layer = browser->layers()[size_t(i)];
            EXPECT_NEAR(layer->position().x, fan.x[size_t(i)], 1e-6) << i;
            EXPECT_NEAR(layer->position().y, 50 + 200 + 180, 1e-6);
            EXPECT_EQ(layer->transform(), OVLayerBrowser::cardTransform());
            EXPECT_EQ(browser->borders()[size_t(i)]->position(), layer->position());
            EXPECT_EQ(browser->borders()[size_t(i)]->opacity(), i == c.selection ? 1.0 : 0.3);
        }
        EXPECT_NEAR(browser->layers()[0]->position().x, kWidth - fan.right, 1e-6);
        browser->setShow3DView(false);
        settle(1.5);
    }
}

TEST_F(LayerBrowser, HoverAndPressesFindTheCardUnderThePointerThroughThePerspective)
{
    fill(6);
    browser->setSelectionIndex(3);
    browser->setShow3DView(true);
    settle(1.5);
    recorder.log.clear();
    // On the near part of each card, which the card above it does not cover.
    for (int i = 0; i < 6; ++i) {
        const Point at = seen(i, Point(0.9 * 480, 180));
        EXPECT_EQ(browser->layerIndexAtPoint(at), i);
        browser->mouseMoved(mouse(EventType::MouseMoved, at, 0));
        EXPECT_EQ(browser->hoverIndex(), i);
    }
    // Nothing under the pointer: the hover falls back to the selection.
    browser->mouseMoved(mouse(EventType::MouseMoved, Point(600, 760), 0));
    EXPECT_EQ(browser->hoverIndex(), 3);
    EXPECT_EQ(recorder.take({"hover"}),
              (QStringList{"hover 0", "hover 1", "hover 2", "hover 3", "hover 4", "hover 5", "hover 3"}));
    EXPECT_EQ(browser->borders()[3]->backgroundColor(), QColor::fromRgbF(1, 1, 1, 0.3));

    // A press asks for the selection; a double press also returns to 2D.
    browser->mouseDown(mouse(EventType::LeftMouseDown, seen(1, Point(0.9 * 480, 180))));
    EXPECT_EQ(recorder.take(), QStringList{"select 1"});
    EXPECT_EQ(browser->selectionIndex(), 3);
    EXPECT_TRUE(browser->show3DView());
    browser->mouseDown(mouse(EventType::LeftMouseDown, seen(4, Point(0.9 * 480, 180)), 2));
    EXPECT_EQ(recorder.take(), (QStringList{"select 4", "will 2D"}));
    EXPECT_EQ(browser->state(), OVLayerBrowser::GoingTo2D);
    settle(1.5);
    EXPECT_EQ(recorder.take(), QStringList{"did 2D"});
}

TEST_F(LayerBrowser, ASwitchTakenOverLeavesTheOlderCompletionInert)
{
    fill(3);
    browser->setShow3DView(true);
    EXPECT_EQ(browser->state(), OVLayerBrowser::GoingTo3D);
    settle(0.5);
    browser->setShow3DView(false);
    settle(0.6);
    EXPECT_EQ(browser->state(), OVLayerBrowser::GoingTo2D);
    settle(1);
    EXPECT_EQ(browser->state(), OVLayerBrowser::In2D);
    EXPECT_EQ(recorder.take({"will", "did"}), (QStringList{"will 3D", "will 2D", "did 2D"}));
    for (const auto& layer : browser->layers())
        EXPECT_EQ(layer->opacity(), 0.0);

    // Shift held: the switch takes ten seconds.
    modifiers = pf::Modifier::Shift;
    browser->setShow3DView(true);
    settle(9.5);
    EXPECT_EQ(browser->state(), OVLayerBrowser::GoingTo3D);
    settle(0.6);
    EXPECT_EQ(browser->state(), OVLayerBrowser::In3D);
    EXPECT_EQ(recorder.take({"did"}), QStringList{"did 3D"});
}

TEST_F(LayerBrowser, TheLayerFrameKeepsItsPlaceWhenTheBrowserMovesIntoAWindow)
{
    auto* outside = new OVLayerBrowser(Rect(0, 0, kWidth, kHeight));
    outside->setLayerFrame(Rect(360, 200, 480, 360));
    window.contentView()->addSubview(outside);
    EXPECT_EQ(outside->layerFrame(), browser->layerFrame());
    EXPECT_EQ(outside->layerFrame(), Rect(360, 250, 480, 360));
    delete outside;
}

TEST_F(LayerBrowser, LayersBordersAndStepsStayInStep)
{
    fill(3);
    browser->insertLayerWithName(QStringLiteral("Inserted"), 1);
    EXPECT_EQ(browser->selectionIndex(), 1);
    EXPECT_EQ(browser->layerScroller()->currentIndex(), 1);
    EXPECT_EQ(browser->layerScroller()->names(),
              (QStringList{"Effect 2", "Effect 1", "Inserted", "Original"}));
    browser->removeLayerAtIndex(2);
    {
        pf::LogCapture log;
        browser->removeLayerAtIndex(3);
        browser->removeLayerAtIndex(-1);
        EXPECT_EQ(log.lines().size(), 2);
        EXPECT_TRUE(log.lines().first().startsWith(QStringLiteral("Warning: ")));
    }
    settle(2);
    ASSERT_EQ(browser->layers().size(), 3u);
    ASSERT_EQ(browser->borders().size(), 3u);
    EXPECT_EQ(browser->layerScroller()->names(), (QStringList{"Effect 2", "Inserted", "Original"}));
    const auto& sublayers = browser->backgroundLayer()->sublayers();
    ASSERT_EQ(sublayers.size(), 7u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sublayers[2 * i + 1], browser->layers()[i]);
        EXPECT_EQ(sublayers[2 * i + 2], browser->borders()[i]);
        EXPECT_EQ(browser->borders()[i]->frame(), Rect(351, 241, 498, 378)); // grown by the margin
    }
}

TEST_F(LayerBrowser, TheCopyButtonComesAndGoesWithTheHoverAndIsAskedForAgainAtTheClick)
{
    fill(5); // layer 4 selected
    OVButton* button = browser->copyMaskButton();
    // The background and the selected layer itself offer nothing.
    for (qint64 step : {0, 4}) {
        hoverStep(step);
        EXPECT_FALSE(browser->isPasteButtonShown()) << step;
    }
    hoverStep(2);
    ASSERT_TRUE(browser->isPasteButtonShown());
    const Rect segment = browser->layerScroller()->frameForSegment(2);
    EXPECT_EQ(button->frame(), Rect(segment.midX() - 40, segment.maxY() - 1, 80, 29));
    leaveScroller();
    settle(0.15);
    EXPECT_TRUE(browser->isPasteButtonShown());
    settle(0.4); // 0.2 s, then the fade
    EXPECT_FALSE(browser->isPasteButtonShown());

    // On the button: it stays; the arrow shows only while Command (Ctrl) is held.
    hoverStep(3);
    leaveScroller();
    button->setButtonState(OVButton::Hover);
    settle(0.5);
    EXPECT_TRUE(browser->isPasteButtonShown());
    EXPECT_TRUE(browser->arrowView()->isHidden());
    EXPECT_TRUE(browser->layerScroller()->pulseKnob());
    button->setButtonState(OVButton::Normal);
    modifiers = pf::Modifier::Command;
    button->setButtonState(OVButton::Hover);
    EXPECT_FALSE(browser->arrowView()->isHidden());
    modifiers = 0;
    button->setButtonState(OVButton::Normal);
    EXPECT_TRUE(browser->arrowView()->isHidden());
    settle(0.25);
    EXPECT_TRUE(browser->isPasteButtonShown());
    settle(0.35); // 0.3 s after leaving the button, then the fade
    EXPECT_FALSE(browser->isPasteButtonShown());

    // A copy: the knob's picture flies while the button stays; once it has landed the button goes
    // again when the pointer is elsewhere.
    hoverStep(2);
    button->setButtonState(OVButton::Hover);
    button->setButtonState(OVButton::Click);
    EXPECT_EQ(recorder.take({"copy"}), QStringList{"copy 2 to 4"});
    EXPECT_TRUE(browser->forceVisible());
    ASSERT_EQ(browser->animatedViews().size(), 1u);
    EXPECT_EQ(browser->animatedViews()[0]->superlayer(),
              pf::LayerHostView::windowHost(&window)->layer().get());
    leaveScroller();
    button->setButtonState(OVButton::Normal);
    settle(0.4);
    EXPECT_TRUE(browser->isPasteButtonShown());
    settle(0.3);
    EXPECT_TRUE(browser->animatedViews().empty());
    EXPECT_FALSE(browser->forceVisible());
    settle(0.3);
    EXPECT_FALSE(browser->isPasteButtonShown());

    // A click on a button that is no longer allowed copies nothing and removes it.
    hoverStep(1);
    ASSERT_TRUE(browser->isPasteButtonShown());
    recorder.allowCopies = false;
    button->setButtonState(OVButton::Hover);
    button->setButtonState(OVButton::Click);
    EXPECT_TRUE(recorder.take({"copy"}).isEmpty());
    EXPECT_FALSE(browser->isPasteButtonShown());
    recorder.allowCopies = true;

    // Layers inserted, removed or selected take the button away at once.
    const std::function<void()> changes[] = {
        [&] { browser->insertLayerWithName(QStringLiteral("New"), 5); },
        [&] { browser->removeLayerAtIndex(5); },
        [&] { browser->setSelectionIndex(3); },
    };
    for (const auto& change : changes) {
        leaveScroller();
        hoverStep(1);
        ASSERT_TRUE(browser->isPasteButtonShown());
        change();
        EXPECT_FALSE(browser->isPasteButtonShown());
        settle(1.2);
        leaveScroller();
    }
}

} // namespace
