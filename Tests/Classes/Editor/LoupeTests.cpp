#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVLoupeViewDelegate.h"
#include "EditorTestSupport.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"

#include "Platform/UI/LayerRenderer.h"
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QTest>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using pf::Point;
using pf::Rect;
using pf::Size;

namespace {

constexpr double kPi = 3.141592653589793;

// Tells the loupe where the picture is and writes down what it reports.
class RecordingDelegate : public OVLoupeViewDelegate
{
public:
    Rect picture{100, 100, 600, 400};
    Rect shown{0, 0, 1, 1};
    QStringList calls;
    std::vector<Point> points;

    void drawSenderBrushDownAtPoint(OVDrawSender*, Point p) override { note(QStringLiteral("down"), p); }
    void drawSenderBrushDraggedAtPoint(OVDrawSender*, Point p) override { note(QStringLiteral("drag"), p); }
    void drawSenderBrushUpAtPoint(OVDrawSender*, Point p) override { note(QStringLiteral("up"), p); }
    Rect activeRectForLoupe(OVLoupeView*) override { return picture; }
    Rect editRectForLoupe(OVLoupeView*) override { return shown; }
    void loupeViewDidChangeCursorState(OVLoupeView*, int state) override
    {
        calls << QStringLiteral("cursor %1").arg(state);
    }
    void loupeViewBeginGestureWithEvent(OVLoupeView*, const pf::Event&) override {}
    void loupeViewEndGestureWithEvent(OVLoupeView*, const pf::Event&) override {}
    void loupeViewMagnifyWithEvent(OVLoupeView*, const pf::Event&) override {}
    void loupeViewScrollWheel(OVLoupeView*, const pf::Event&) override { calls << QStringLiteral("wheel"); }
    void loupeViewActivated(OVLoupeView*) override { calls << QStringLiteral("activated"); }
    void loupeViewDeactivated(OVLoupeView*) override { calls << QStringLiteral("deactivated"); }

    QStringList take() { return std::exchange(calls, {}); }

private:
    void note(const QString& what, Point p)
    {
        calls << what;
        points.push_back(p);
    }
};

// Implements only what it must: being placed needs no word back.
class PlainDelegate : public OVLoupeViewDelegate
{
public:
    void drawSenderBrushDownAtPoint(OVDrawSender*, Point) override {}
    void drawSenderBrushDraggedAtPoint(OVDrawSender*, Point) override {}
    void drawSenderBrushUpAtPoint(OVDrawSender*, Point) override {}
    Rect activeRectForLoupe(OVLoupeView*) override { return Rect(100, 100, 600, 400); }
    Rect editRectForLoupe(OVLoupeView*) override { return Rect(0, 0, 1, 1); }
    void loupeViewDidChangeCursorState(OVLoupeView*, int) override {}
    void loupeViewBeginGestureWithEvent(OVLoupeView*, const pf::Event&) override {}
    void loupeViewEndGestureWithEvent(OVLoupeView*, const pf::Event&) override {}
    void loupeViewMagnifyWithEvent(OVLoupeView*, const pf::Event&) override {}
    void loupeViewScrollWheel(OVLoupeView*, const pf::Event&) override {}
};

bool finite(const Rect& r)
{
    return std::isfinite(r.minX()) && std::isfinite(r.minY()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}

void expectRect(const Rect& got, const Rect& expected, const char* what)
{
    EXPECT_NEAR(got.minX(), expected.minX(), 1e-9) << what;
    EXPECT_NEAR(got.minY(), expected.minY(), 1e-9) << what;
    EXPECT_NEAR(got.width(), expected.width(), 1e-9) << what;
    EXPECT_NEAR(got.height(), expected.height(), 1e-9) << what;
}

double rotationOf(const pf::Transform3D& t)
{
    return std::atan2(t.m12, t.m11);
}

class LoupeTest : public ::testing::Test
{
protected:
    static constexpr double W = 1000, H = 700;

    void SetUp() override
    {
        window = std::make_unique<pf::Window>(Rect(0, 0, W, H));
        loupe = new OVLoupeView(Rect(W - 150, H - 150, 120, 120));
        window->contentView()->addSubview(loupe);
        loupe->setDelegate(&delegate);
        loupe->setZoomSize(Size(1200, 800));
        loupe->setScreenshotSource([this] {
            QImage shot(int(W * ratio), int(H * ratio), QImage::Format_RGB32);
            shot.fill(Qt::darkGray);
            shot.setDevicePixelRatio(ratio);
            return shot;
        });
        window->show();
        // Drawn once before anything happens, as a person sees the window before using it: a layer
        // never drawn changes without animating. A display server shows the window some events later.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // The pointer is the application's and other tests leave it anywhere: put it in the corner
        // away from the dock and from where the loupe is put down, so that no glass starts under it.
        QTest::mouseMove(window->windowHandle(), QPoint(5, 5));
        settle();
    }
    void TearDown() override
    {
        window.reset();
        pf::Event::setModifierFlagsProvider(nullptr);
    }

    // The point at radius r (in units of the loupe's half size) and pointer angle a (degrees) about
    // the loupe's middle, in its superview.
    Point around(double r, double degrees) const
    {
        const Rect f = loupe->frame();
        const double a = degrees / 180 * kPi;
        return Point(f.midX() + r * f.width() / 2 * std::cos(a), f.midY() + r * f.height() / 2 * std::sin(a));
    }
    void mouse(pf::EventType type, Point inSuperview, unsigned flags = 0)
    {
        editortest::mouse(loupe, type, loupe->convertPointFromView(inSuperview, loupe->superview()), flags);
    }
    // Carried from wherever it is, by its rim, to `to`, and let go.
    void carry(Point to)
    {
        const Point from = around(0.9, 180);
        const Point middle = around(0, 0);
        mouse(pf::EventType::LeftMouseDown, from);
        mouse(pf::EventType::LeftMouseDragged,
              Point(from.x + (to.x - middle.x) / 2, from.y + (to.y - middle.y) / 2));
        mouse(pf::EventType::LeftMouseDragged, Point(from.x + to.x - middle.x, from.y + to.y - middle.y));
        mouse(pf::EventType::LeftMouseUp, Point(from.x + to.x - middle.x, from.y + to.y - middle.y));
        settle();
    }
    // The same carry as the system delivers it: pressed by the rim, dragged in steps and let go, through
    // the window.
    void carryThroughWindow(Point to)
    {
        const Point from = around(0.9, 180);
        const Point middle = around(0, 0);
        const auto inWindow = [](Point p) {
            return QPoint(int(std::lround(p.x)), int(std::lround(H - p.y)));
        };
        QWindow* handle = window->windowHandle();
        QTest::mousePress(handle, Qt::LeftButton, {}, inWindow(from));
        for (int i = 1; i <= 4; ++i)
            QTest::mouseMove(handle, inWindow(Point(from.x + (to.x - middle.x) * i / 4,
                                                    from.y + (to.y - middle.y) * i / 4)));
        QTest::mouseRelease(handle, Qt::LeftButton, {},
                            inWindow(Point(from.x + to.x - middle.x, from.y + to.y - middle.y)));
        settle();
    }
    // The overlay as drawn now, over white.
    QImage overlay() const
    {
        pf::Layer* root = loupe->loupeLayer().get();
        while (root->superlayer())
            root = root->superlayer();
        QImage out(int(root->frame().width()), int(root->frame().height()),
                   QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::white);
        QPainter painter(&out);
        pf::LayerRenderer::render(*root, painter, 1e9);
        return out;
    }
    // Lets the window draw, then runs every animation to its end.
    void settle(double seconds = 1)
    {
        QCoreApplication::processEvents();
        clock.advance(seconds);
        QCoreApplication::processEvents();
    }
    void flags(unsigned modifiers)
    {
        loupe->keyboardFlagsChangedEvent(pf::Event::keyEvent(pf::EventType::FlagsChanged, Point(), modifiers,
                                                             0, nullptr, QString(), QString(), false, 0));
    }

    pf::SteppedClock clock;
    double ratio = 1;
    RecordingDelegate delegate;
    std::unique_ptr<pf::Window> window;
    OVLoupeView* loupe = nullptr;
};

} // namespace

TEST_F(LoupeTest, APressIsSortedByWhereItFallsOnTheLoupe)
{
    struct Case
    {
        const char* what;
        bool placed;
        double r, degrees;
        int activity;
        QStringList calls;
    };
    const Case cases[] = {
        {"outside the circle, docked", false, 1.02, 45, 0, {}},
        {"inside, docked: carries", false, 0.3, 0, 2, {}},
        {"glass docked: carries", false, 0.0, 0, 2, {}},
        {"outside the circle, placed", true, 1.02, 200, 0, {}},
        {"glass placed: paints", true, 0.5, 200, 3, {"down"}},
        {"rim placed: carries", true, 0.8, 200, 2, {"deactivated"}},
        {"ring away from the knob: carries", true, 0.7, 180, 2, {"deactivated"}},
        {"knob ring where the glass would paint", true, 0.655, 4.3, 1, {}},
        {"knob ring beyond its end, within the slack: turns to 0.5", true, 0.7, -33, 1, {"activated"}},
        {"knob ring past the slack: paints", true, 0.655, -40, 3, {"down"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.placed && loupe->loupeState() != 4)
            carry(Point(400, 300));
        if (!c.placed && loupe->loupeState() != 1)
            loupe->setLoupeState(1);
        settle();
        delegate.take();
        const Point at = around(c.r, c.degrees);
        EXPECT_EQ(window->contentView()->hitTest(at) == loupe, c.r < 1);
        mouse(pf::EventType::LeftMouseDown, at);
        EXPECT_EQ(loupe->loupeActivity(), c.activity);
        EXPECT_EQ(delegate.take(), c.calls);
        mouse(pf::EventType::LeftMouseUp, at);
        EXPECT_EQ(loupe->loupeActivity(), 0);
    }
    // A loupe faded out passes every press on.
    carry(Point(400, 300));
    delegate.take();
    loupe->loupeLayer()->setOpacity(0);
    mouse(pf::EventType::LeftMouseDown, around(0.3, 0));
    EXPECT_EQ(loupe->loupeActivity(), 0);
    EXPECT_TRUE(delegate.take().isEmpty());
}

TEST_F(LoupeTest, TheKnobTurnsBetweenItsEndsAndSnapsToTheRoundedStep)
{
    carry(Point(400, 300));
    ASSERT_EQ(loupe->loupeState(), 4);
    EXPECT_EQ(loupe->zoomFactor(), 1);
    struct Step
    {
        double pointerDegrees; // where the pointer is dragged, about the needle's pivot
        double needle;         // the needle's angle while dragging
        int step;
        double factor;
    };
    const double A0 = OVLoupeView::knobAngleMin, A1 = OVLoupeView::knobAngleMax;
    const Step steps[] = {
        {-60, A0, 0, 0.5},                     // past the low end
        {37.7, (37.7 - 90) / 180 * kPi, 2, 2}, // on the 2x mark
        {150, A1, 3, 4},                       // past the high end
        {20, -70.0 / 180 * kPi, 1, 1},         // between marks, nearer 1x
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.pointerDegrees);
        mouse(pf::EventType::LeftMouseDown, around(0.7, 4.3));
        ASSERT_EQ(loupe->loupeActivity(), 1);
        delegate.take();
        mouse(pf::EventType::LeftMouseDragged, around(0.7, s.pointerDegrees));
        EXPECT_NEAR(rotationOf(loupe->needleLayer()->transform()), s.needle, 1e-9);
        EXPECT_EQ(loupe->zoomFactor(), s.step);
        EXPECT_DOUBLE_EQ(loupe->picturePixelsPerPoint(), s.factor);
        mouse(pf::EventType::LeftMouseUp, around(0.7, s.pointerDegrees));
        settle();
        const double snapped = A0 + (A1 - A0) * s.step / 3;
        EXPECT_NEAR(rotationOf(loupe->needleLayer()->presentationState().transform), snapped, 1e-9);
    }
    // Each new step shows another part of the picture; the same step again recomputes nothing.
    delegate.take();
    loupe->setZoomFactor(loupe->zoomFactor());
    EXPECT_TRUE(delegate.take().isEmpty());
    const Rect before = loupe->editRect();
    ASSERT_EQ(loupe->zoomFactor(), 1);
    loupe->setZoomFactor(2);
    EXPECT_EQ(delegate.take(), QStringList{"activated"});
    EXPECT_DOUBLE_EQ(loupe->editRect().width(), before.width() * 2);
}

TEST_F(LoupeTest, TheEditRectIsTheGlassAtTheFactorAndNeverLeavesThePicture)
{
    struct Case
    {
        const char* what;
        Size picture;
        int step;
        Rect shown;
        Point at;
        Rect expected;
    };
    const double g = 208; // the glass
    const Case cases[] = {
        {"middle, one pixel per point", Size(1200, 800), 1, Rect(0, 0, 1, 1), Point(400, 300),
         Rect(0.5 - g / 1200 / 2, 0.5 - g / 800 / 2, g / 1200, g / 800)},
        {"middle of a zoomed canvas", Size(1200, 800), 1, Rect(0.25, 0.5, 0.5, 0.25), Point(400, 300),
         Rect(0.5 - g / 1200 / 2, 0.625 - g / 800 / 2, g / 1200, g / 800)},
        {"wider than the picture", Size(100, 150), 3, Rect(0, 0, 1, 1), Point(400, 300),
         Rect(0, 0.5 - (g / 150) / (g / 100) / 2, 1, (g / 150) / (g / 100))},
        {"taller than the picture", Size(300, 100), 1, Rect(0, 0, 1, 1), Point(400, 300),
         Rect(0.5 - (g / 300) / (g / 100) / 2, 0, (g / 300) / (g / 100), 1)},
        // Mended: near an edge the view was kept inside the picture, so the glass showed another part
        // than the one under it. It shows what lies under it; the part past the photo is the canvas's.
        {"lower left corner", Size(1200, 800), 2, Rect(0, 0, 1, 1), Point(110, 110),
         Rect(10.0 / 600 - g / 1200, 10.0 / 400 - g / 800, g / 1200 * 2, g / 800 * 2)},
        {"upper right corner", Size(1200, 800), 2, Rect(0, 0, 1, 1), Point(690, 490),
         Rect(590.0 / 600 - g / 1200, 390.0 / 400 - g / 800, g / 1200 * 2, g / 800 * 2)},
        {"11 points below the top", Size(1200, 800), 1, Rect(0, 0, 1, 1), Point(400, 489),
         Rect(0.5 - g / 1200 / 2, 389.0 / 400 - g / 800 / 2, g / 1200, g / 800)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        loupe->setLoupeState(1);
        settle();
        loupe->setZoomSize(c.picture);
        loupe->setZoomFactor(c.step);
        delegate.shown = c.shown;
        carry(c.at);
        ASSERT_EQ(loupe->loupeState(), 4);
        // The glass is centred on the point under it; the photo's part of it is what is rendered, and
        // fills the same share of the glass.
        expectRect(loupe->viewRect(), c.expected, c.what);
        const Rect edit = c.expected.intersected(Rect(0, 0, 1, 1));
        expectRect(loupe->editRect(), edit, c.what);
        EXPECT_EQ(loupe->zoomLayer()->contentsRect(), loupe->editRect());
        const Rect part((edit.minX() - c.expected.minX()) / c.expected.width() * g,
                        (edit.minY() - c.expected.minY()) / c.expected.height() * g,
                        edit.width() / c.expected.width() * g, edit.height() / c.expected.height() * g);
        for (const auto& layer : {loupe->zoomLayer(), loupe->contentLayer()})
            expectRect(layer->frame(), part, c.what);
        // It rests where it was put down, by the window's lower left corner too (its rim past the edge).
        EXPECT_EQ(loupe->frame(), Rect(c.at.x - 160, c.at.y - 160, 320, 320));
    }
}

TEST_F(LoupeTest, TheScreenshotShowsTheGlassAreaDockedAndThePictureToRenderPlaced)
{
    for (double r : {1.0, 2.0}) {
        SCOPED_TRACE(r);
        ratio = r;
        loupe->setLoupeState(1);
        settle();
        const double s0 = loupe->smallScale();
        const double g = loupe->glassSize().width;
        const auto rectAround = [&](double m) {
            const Point p = loupe->loupeLayer()->position();
            const double w = g / W * m, h = g / H * m;
            return Rect(p.x / W - w / 2, p.y / H - h / 2, w, h);
        };
        // Lifted off the dock: three glass sizes' worth of the window, shrunk into the glass.
        mouse(pf::EventType::LeftMouseDown, around(0.2, 0));
        EXPECT_EQ(loupe->screenshotSize(), Size(W, H));
        EXPECT_EQ(loupe->loupeState(), 2);
        EXPECT_DOUBLE_EQ(loupe->scale(), 1.05 * s0);
        expectRect(loupe->screenshotLayer()->contentsRect(), rectAround(3 * s0), "carried");
        EXPECT_EQ(loupe->torusSourceRect(), loupe->screenshotLayer()->contentsRect());
        // Over the picture: the part the placed loupe will render (maxZoom is 2 here).
        const Point middle = around(0, 0);
        mouse(pf::EventType::LeftMouseDragged, Point(400 + 0.2 * 60, 300));
        EXPECT_EQ(loupe->loupeState(), 3);
        expectRect(loupe->screenshotLayer()->contentsRect(), rectAround(1.0 / 2), "over the picture");
        mouse(pf::EventType::LeftMouseUp, Point(400 + 0.2 * 60, 300));
        EXPECT_DOUBLE_EQ(loupe->scale(), 1.0);
        expectRect(loupe->screenshotLayer()->contentsRect(), rectAround(1.0 / 2), "placed");
        // Back in the dock: exactly the window under the glass.
        loupe->setLoupeState(1);
        EXPECT_EQ(loupe->loupeLayer()->position(), middle);
        expectRect(loupe->screenshotLayer()->contentsRect(), rectAround(s0), "docked");
    }
}

TEST_F(LoupeTest, TheRimAndTheShadowFollowTheScale)
{
    const QImage little = pf::NamedImage::image(QStringLiteral("LoupeLittle.png"));
    const QImage large = pf::NamedImage::image(QStringLiteral("Loupe.png"));
    ASSERT_FALSE(little.isNull());
    struct Case
    {
        int state;
        bool largeRim;
        double shadow;
    };
    for (const Case& c : {Case{2, false, 0}, Case{3, true, 1}, Case{4, true, 0}, Case{3, true, 1},
                          Case{2, false, 0}, Case{1, false, 0}}) {
        SCOPED_TRACE(c.state);
        loupe->setLoupeState(c.state);
        settle();
        EXPECT_EQ(loupe->imageLayer()->contents().cacheKey(), (c.largeRim ? large : little).cacheKey());
        EXPECT_EQ(loupe->shadowLayer()->opacity(), c.shadow);
    }
    {
        // Lifted over the picture, the loupe darkens what lies just below its rim.
        loupe->setLoupeState(3);
        settle();
        const Rect f = loupe->loupeLayer()->frame();
        const auto belowTheRim = [&] { return qRed(overlay().pixel(int(f.midX()), int(f.minY() - 6))); };
        EXPECT_LT(belowTheRim(), 230);
        loupe->setLoupeState(4);
        settle();
        EXPECT_EQ(belowTheRim(), 255) << "put down, it casts none";
    }
    // The shadow's other moment: half again the docked size.
    loupe->setScale(1.5 * loupe->smallScale());
    EXPECT_EQ(loupe->shadowLayer()->opacity(), 1);
}

TEST_F(LoupeTest, EveryTransitionReportsWhatItShould)
{
    // Lifted off the dock, carried over the picture, put down: activated once, when put down.
    mouse(pf::EventType::LeftMouseDown, around(0.5, 90));
    EXPECT_EQ(loupe->loupeState(), 2);
    mouse(pf::EventType::LeftMouseDragged, Point(400, 300));
    EXPECT_EQ(loupe->loupeState(), 3);
    EXPECT_TRUE(loupe->overImage());
    EXPECT_EQ(loupe->torusLayer()->opacity(), 1);
    EXPECT_TRUE(delegate.take().isEmpty());
    mouse(pf::EventType::LeftMouseUp, Point(400, 300));
    EXPECT_EQ(loupe->loupeState(), 4);
    EXPECT_EQ(loupe->torusLayer()->opacity(), 0);
    EXPECT_EQ(delegate.take(), QStringList{"activated"});
    // Live: the pointer over the glass clears it and asks for the brush's cursor.
    loupe->setDrawSenderActive(true);
    delegate.take();
    loupe->setLoupeState(5);
    loupe->setLoupeState(5);
    EXPECT_TRUE(delegate.take().isEmpty() || delegate.calls.isEmpty());
    loupe->mouseMoved(pf::Event::mouseEvent(pf::EventType::MouseMoved, around(0.2, 30), 0, 0, window.get()));
    EXPECT_EQ(loupe->cursorState(), 1);
    EXPECT_EQ(loupe->glassLayer()->opacity(), 0);
    loupe->mouseMoved(pf::Event::mouseEvent(pf::EventType::MouseMoved, around(0.8, 30), 0, 0, window.get()));
    EXPECT_EQ(loupe->cursorState(), 2);
    EXPECT_EQ(loupe->glassLayer()->opacity(), 0.3);
    EXPECT_EQ(delegate.take(), (QStringList{"cursor 1", "cursor 2"}));
    // The preview takes it back to placed: its part is computed again.
    loupe->setLoupeState(4);
    EXPECT_TRUE(delegate.take().contains(QStringLiteral("activated")));
    // Carried off the picture and dropped: it flies back to the dock, deactivated once.
    mouse(pf::EventType::LeftMouseDown, around(0.8, 200));
    EXPECT_EQ(loupe->loupeState(), 3);
    mouse(pf::EventType::LeftMouseDragged, Point(850, 650));
    EXPECT_EQ(loupe->loupeState(), 2);
    mouse(pf::EventType::LeftMouseUp, Point(850, 650));
    EXPECT_EQ(loupe->loupeState(), 1);
    EXPECT_EQ(delegate.take(), (QStringList{"deactivated", "cursor 0"}));
    clock.advance(0.1);
    EXPECT_NE(loupe->loupeLayer()->presentationState().position, loupe->loupeLayer()->position())
        << "the flight home is animated";
    settle();
    EXPECT_EQ(loupe->loupeLayer()->presentationState().position, Point(W - 90, H - 90));
    EXPECT_EQ(loupe->frame(), loupe->orgFrame());
    // The 3D view hides it and 2D brings it back, with nothing to report.
    loupe->setLoupeState(0);
    EXPECT_TRUE(loupe->isHidden());
    loupe->setLoupeState(1);
    EXPECT_FALSE(loupe->isHidden());
    EXPECT_TRUE(delegate.take().isEmpty());
    // The wheel belongs to the canvas.
    loupe->scrollWheel(editortest::wheel(0, 1));
    EXPECT_EQ(delegate.take(), QStringList{"wheel"});
}

TEST_F(LoupeTest, ShiftAloneHidesThePlacedLoupeAndAStrokeStillEnds)
{
    flags(pf::Modifier::Shift);
    EXPECT_FALSE(loupe->isHidden()) << "docked, Shift does nothing";
    carry(Point(400, 300));
    flags(pf::Modifier::Shift);
    EXPECT_TRUE(loupe->isHidden());
    settle();
    EXPECT_EQ(loupe->loupeLayer()->opacity(), 0);
    flags(pf::Modifier::Shift | pf::Modifier::Command);
    EXPECT_FALSE(loupe->isHidden());
    flags(pf::Modifier::Shift | pf::Modifier::Option);
    EXPECT_FALSE(loupe->isHidden());
    flags(0);
    EXPECT_FALSE(loupe->isHidden());
    settle();

    // Real input through the window: a stroke begun in the glass ends in it though Shift hides the
    // loupe halfway (the hidden widget loses Qt's grab on the press).
    delegate.take();
    QWindow* handle = window->windowHandle();
    ASSERT_NE(handle, nullptr);
    const auto toQt = [&](Point p) { return QPoint(int(p.x), int(H - p.y)); };
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, toQt(around(0.2, 0)));
    QTest::mouseMove(handle, toQt(around(0.25, 0)));
    flags(pf::Modifier::Shift);
    ASSERT_TRUE(loupe->isLoupeHidden());
    EXPECT_EQ(loupe->loupeLayer()->opacity(), 0);
    QTest::mouseMove(handle, toQt(around(0.3, 0)));
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, toQt(around(0.35, 0)));
    const QStringList calls = delegate.take();
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_EQ(calls.first(), QStringLiteral("down"));
    EXPECT_EQ(calls.last(), QStringLiteral("up"));
    EXPECT_EQ(calls.count(QStringLiteral("up")), 1);
    EXPECT_TRUE(loupe->isHidden()) << "hidden once the press is over";
}

TEST_F(LoupeTest, AResizeKeepsTheDockAtTheUpperRightAndThePlacedLoupeOnItsPart)
{
    window->setContentSize(Size(W + 100, H + 60));
    EXPECT_EQ(loupe->orgFrame(), Rect(W + 100 - 150, H + 60 - 150, 120, 120));
    EXPECT_EQ(loupe->frame(), loupe->orgFrame());
    EXPECT_EQ(loupe->loupeLayer()->position(), Point(loupe->orgFrame().midX(), loupe->orgFrame().midY()));
    EXPECT_EQ(loupe->attachedWindow()->frame().size, Size(W + 100, H + 60));

    carry(Point(400, 300));
    const Rect edit = loupe->editRect();
    delegate.picture = Rect(150, 120, 700, 480);
    window->setContentSize(Size(W + 200, H + 100));
    const Point expected(std::round(150 + (edit.minX() + edit.width() / 2) * 700),
                         std::round(120 + (edit.minY() + edit.height() / 2) * 480));
    EXPECT_EQ(loupe->loupeLayer()->position(), expected);
    EXPECT_EQ(loupe->frame(), Rect(expected.x - 160, expected.y - 160, 320, 320));
}

// Mended: the part under the glass was computed with the picture's place when the carry began, so after
// a zoom or scroll the glass showed (and painted into) another part than the one under it.
TEST_F(LoupeTest, ThePartUnderTheGlassFollowsTheCanvasAfterTheCarry)
{
    carry(Point(400, 300));
    // The canvas zooms: the picture now spans twice the width and height, its middle where it was.
    delegate.picture = Rect(-200, -100, 1200, 800);
    delegate.shown = Rect(0, 0, 1, 1);
    loupe->updateLoupe();
    const double w = 208.0 / 1200, h = 208.0 / 800;
    expectRect(loupe->editRect(), Rect(0.5 - w / 2, 0.5 - h / 2, w, h), "zoomed");
    EXPECT_DOUBLE_EQ(loupe->maxZoom(), 1.0);
    delegate.picture = Rect(-600, -100, 1200, 800); // scrolled to the right edge
    loupe->updateLoupe();
    EXPECT_NEAR(loupe->editRect().midX(), 1000.0 / 1200, 1e-9);
}

// Mended: without a picture (or with an empty picture frame) the loupe divided by zero and asked the
// renderer for a rectangle that was not a number. Such a loupe is carried and flies home.
TEST_F(LoupeTest, WithoutAPictureTheLoupeIsCarriedButNeverPlaced)
{
    struct Case
    {
        const char* what;
        Size picture;
        Rect frame;
    };
    for (const Case& c : {Case{"no picture", Size(), Rect(100, 100, 600, 400)},
                          Case{"empty frame", Size(1200, 800), Rect(100, 100, 0, 0)},
                          Case{"no frame at all", Size(1200, 800), Rect()}}) {
        SCOPED_TRACE(c.what);
        loupe->setLoupeState(1);
        settle();
        loupe->setZoomSize(c.picture);
        delegate.picture = c.frame;
        delegate.take();
        mouse(pf::EventType::LeftMouseDown, around(0.5, 90));
        mouse(pf::EventType::LeftMouseDragged, Point(100, 100));
        EXPECT_EQ(loupe->loupeState(), 2);
        mouse(pf::EventType::LeftMouseUp, Point(100, 100));
        EXPECT_EQ(loupe->loupeState(), 1);
        loupe->setZoomFactor(loupe->zoomFactor() == 3 ? 0 : 3);
        loupe->updateLoupe();
        EXPECT_TRUE(delegate.take().isEmpty());
        for (const auto& layer : {loupe->zoomLayer(), loupe->screenshotLayer()})
            EXPECT_TRUE(finite(layer->contentsRect()));
        EXPECT_TRUE(finite(loupe->torusSourceRect()));
        EXPECT_TRUE(finite(loupe->editRect()));
    }
}

// Mended: "activated" was sent without asking whether the delegate listens.
TEST_F(LoupeTest, ADelegateThatDoesNotListenForActivationStillPlacesTheLoupe)
{
    PlainDelegate plain;
    loupe->setDelegate(&plain);
    carry(Point(400, 300));
    EXPECT_EQ(loupe->loupeState(), 4);
    EXPECT_TRUE(finite(loupe->editRect()));
    loupe->setDelegate(&delegate);
}

// Mended: put down on an eye near the window's top, the loupe slid down until its whole rim showed, and
// the eye lay at the glass's edge. It rests where it is put down as long as its middle is over the photo
// and within the window (the rim may pass the window's edge), so the glass reaches every part of the photo.
TEST_F(LoupeTest, PutDownAnywhereOnThePhotoTheGlassIsCentredThere)
{
    struct Case
    {
        const char* what;
        Rect picture;
        Point dropped, placed;
    };
    const Case cases[] = {
        {"well inside", Rect(100, 100, 880, 590), Point(400, 400), Point(400, 400)},
        {"near the window's top, the photo going on past it", Rect(100, 100, 880, 1190), Point(400, 660),
         Point(400, 660)},
        {"in the upper right corner", Rect(100, 100, 880, 590), Point(950, 670), Point(950, 670)},
        {"at the photo's very top", Rect(100, 100, 880, 590), Point(400, 689), Point(400, 689)},
        {"past the window's top: back to its edge", Rect(100, 100, 880, 1190), Point(400, 720),
         Point(400, 700)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        loupe->setLoupeState(1);
        settle();
        delegate.picture = c.picture;
        carryThroughWindow(c.dropped);
        ASSERT_EQ(loupe->loupeState(), 4);
        EXPECT_EQ(loupe->loupeLayer()->position(), c.placed);
        EXPECT_EQ(loupe->loupeLayer()->presentationState().position, c.placed);
        EXPECT_EQ(loupe->frame(), Rect(c.placed.x - 160, c.placed.y - 160, 320, 320));
        // The glass shows the part under its middle; what of it lies within the photo is rendered.
        const double w = 208.0 / 1200, h = 208.0 / 800;
        const double x = (c.placed.x - c.picture.minX()) / c.picture.width() - w / 2;
        const double y = (c.placed.y - c.picture.minY()) / c.picture.height() - h / 2;
        expectRect(loupe->viewRect(), Rect(x, y, w, h), c.what);
        expectRect(loupe->editRect(), Rect(x, y, w, h).intersected(Rect(0, 0, 1, 1)), c.what);
    }
}

// The rim's scale tells, in a tooltip where it is asked for, that its steps count the photo's own pixels
// and how many times the canvas the glass now shows; elsewhere on the loupe, and docked, there is none.
TEST_F(LoupeTest, TheScaleSaysWhatItsStepsMean)
{
    const auto tipAt = [&](double r, double degrees) {
        const Point at = around(r, degrees);
        const Point inView = loupe->convertPointFromView(at, loupe->superview());
        const QPointF widget = loupe->rectToWidget(Rect(inView.x, inView.y, 0, 0)).topLeft();
        QHelpEvent help(QEvent::ToolTip, widget.toPoint(), loupe->mapToGlobal(widget.toPoint()));
        QCoreApplication::sendEvent(loupe, &help);
        // A tip that shows takes the event; elsewhere it is left to go on.
        return help.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_TRUE(tipAt(0.8, 30).isEmpty()) << "docked";
    struct Case
    {
        Size photo;
        int step;
        const char* times;
    };
    // The picture shows 600 points wide: 6000 pixels at 1x are ten times the canvas, 1200 at 1/4x are half.
    const Case cases[] = {
        {Size(6000, 4000), 1, "10"}, {Size(1200, 800), 1, "2.0"}, {Size(1200, 800), 3, "0.5"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.times);
        loupe->setLoupeState(1);
        settle();
        loupe->setZoomSize(c.photo);
        loupe->setZoomFactor(c.step);
        carry(Point(400, 300));
        ASSERT_EQ(loupe->loupeState(), 4);
        const QString tip = tipAt(0.8, 30);
        EXPECT_TRUE(tip.contains(QStringLiteral("photo's own pixels"))) << tip.toStdString();
        EXPECT_TRUE(tip.contains(QStringLiteral(" %1 times ").arg(QString::fromLatin1(c.times))))
            << tip.toStdString();
        EXPECT_TRUE(tipAt(0.3, 30).isEmpty()) << "over the glass";
        EXPECT_TRUE(tipAt(0.8, 200).isEmpty()) << "on the rim away from the scale";
    }
    QToolTip::hideText();
}

// Mended: carried back to the dock, the glass went on showing the window captured for the carry (the
// dark background there) instead of the photo.
TEST_F(LoupeTest, CarriedBackToTheDockTheGlassShowsThePhotoAgain)
{
    QImage photo(240, 160, QImage::Format_RGB32);
    photo.fill(QColor(230, 120, 40));
    loupe->zoomLayer()->setContents(photo);
    const Point glass = around(0, 0);
    const auto seen = [&] { return QColor(overlay().pixel(int(glass.x), int(glass.y))); };
    ASSERT_GT(seen().red(), 200) << "docked, the glass shows the photo";
    struct Case
    {
        const char* what;
        Point via;
    };
    for (const Case& c :
         {Case{"carried beside the photo", Point(850, 50)}, Case{"put down on it", Point(400, 300)}}) {
        SCOPED_TRACE(c.what);
        carryThroughWindow(c.via);
        if (loupe->loupeState() == 4)
            carryThroughWindow(Point(850, 50)); // and off it again: home
        ASSERT_EQ(loupe->loupeState(), 1);
        const QColor now = seen();
        EXPECT_GT(now.red(), 200);
        EXPECT_LT(now.blue(), 100);
    }
}
