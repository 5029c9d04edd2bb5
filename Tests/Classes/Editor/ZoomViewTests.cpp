#include "Classes/Editor/GMEventView.h"
#include "Classes/Editor/GMEventViewDelegate.h"
#include "Classes/Editor/OVFrameLayer.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Editor/OVZoomViewDelegate.h"
#include "Classes/Framework/Toolkit/OVScroller.h"
#include "EditorTestSupport.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/SteppedClock.h"

#include <gtest/gtest.h>

using editortest::wheel;
using pf::EventPhase;
using pf::Point;
using pf::Rect;

namespace {

struct Recorder : OVZoomViewDelegate, GMEventViewDelegate
{
    std::vector<bool> previews; // the flag of every report
    std::vector<std::pair<QString, Point>> strokes;
    int wheelsOffered = 0;

    void zoomViewDidUpdateContentsRect(OVZoomView*, const Rect&, bool preview) override
    {
        previews.push_back(preview);
    }
    void zoomViewDidChangeCursorState(OVZoomView*, int) override {}
    void drawSenderBrushDownAtPoint(OVDrawSender*, Point p) override { strokes.push_back({"down", p}); }
    void drawSenderBrushDraggedAtPoint(OVDrawSender*, Point p) override { strokes.push_back({"drag", p}); }
    void drawSenderBrushUpAtPoint(OVDrawSender*, Point p) override { strokes.push_back({"up", p}); }
    bool eventViewDidScroll(GMEventView*, const pf::Event&) override
    {
        ++wheelsOffered;
        return true;
    }
    int finalReports() const { return int(std::count(previews.begin(), previews.end(), false)); }
};

// A 4000 x 3000 photo on a 1000 x 800 canvas that fills the window's content view, margin 9.
struct Canvas
{
    pf::SteppedClock clock;
    GMEventView content{Rect(0, 0, 1000, 800)};
    OVZoomView* zoom = new OVZoomView(Rect(0, 0, 1000, 800), [] { return std::make_shared<OVFrameLayer>(); });
    Recorder recorder;

    Canvas()
    {
        content.addSubview(zoom);
        content.setDelegate(&recorder);
        zoom->setMargin(pf::Size(9, 9));
        zoom->setImageSize(pf::Size(4000, 3000));
        zoom->setDelegate(&recorder);
    }
};

} // namespace

TEST(OVZoomView, LaysOutTheFittedAndTheMagnifiedPhoto)
{
    Canvas canvas;
    EXPECT_NEAR(canvas.zoom->minZoomFactor(), 0.061375, 1e-9);
    struct Case
    {
        double zoom, width, height;
        Rect zoomLayer;
    };
    const Case cases[] = {
        {1, 1, 1, Rect(9, 9 + (782 - 736.5) / 2, 982, 736.5)},
        {0.5, 1 / 1.88435, 782.0 * 4000 / (3000 * 982) / 1.88435, Rect(9, 9, 982, 782)},
        {0, 0.061375, 0.0651667, Rect(9, 9, 982, 782)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoom);
        canvas.zoom->setZoomFactor(c.zoom);
        const Rect edit = canvas.zoom->editRect();
        EXPECT_NEAR(edit.size.width, c.width, 1e-5);
        EXPECT_NEAR(edit.size.height, c.height, 1e-5);
        // Centred on the photo's middle.
        EXPECT_NEAR(edit.midX(), 0.5, 1e-9);
        EXPECT_NEAR(edit.midY(), 0.5, 1e-9);
        EXPECT_EQ(canvas.zoom->zoomLayer()->frame(), c.zoomLayer);
        EXPECT_EQ(canvas.zoom->contentLayer()->frame(), c.zoomLayer);
        const Rect border = canvas.zoom->borderLayer()->frame();
        EXPECT_EQ(border, Rect(c.zoomLayer.origin.x - 9, c.zoomLayer.origin.y - 9,
                               c.zoomLayer.size.width + 18, c.zoomLayer.size.height + 18));
    }
    canvas.zoom->setZoomFactor(-3);
    EXPECT_EQ(canvas.zoom->zoomFactor(), 0.00001);
}

// Without a superview (or an image) there is nothing to magnify: the photo is shown whole, fitted in its
// proportions (mended: it took the whole area, stretched to the area's shape).
TEST(OVZoomView, DegenerateLayoutShowsTheWholePhoto)
{
    OVZoomView zoom(Rect(0, 0, 0, 0));
    EXPECT_EQ(zoom.frame().size, pf::Size(100, 100));
    zoom.setMargin(pf::Size(9, 9));
    zoom.setImageSize(pf::Size(4000, 3000));
    zoom.setZoomFactor(0);
    EXPECT_EQ(zoom.editRect(), Rect(0, 0, 1, 1));
    EXPECT_EQ(zoom.zoomLayer()->frame(), Rect(9, 9 + (82 - 61.5) / 2, 82, 61.5));
}

// Every photo is shown in its proportions, and where the whole photo shows along a side it lies in the
// canvas's middle along it, over canvases, photos (a single pixel, slivers, a 108 MP photo) and zooms.
// Mended: on a canvas wider than the largest area shown (2000 points) the photo was centred in that area
// at the canvas's left, not in the canvas.
TEST(OVZoomView, EveryPhotoKeepsItsProportionsAndIsCentred)
{
    const pf::Size canvases[] = {{300, 200},  {800, 500},   {1000, 800},
                                 {1400, 900}, {2200, 1500}, {3500, 1900}};
    const pf::Size photos[] = {{1, 1},    {2, 3000},  {3000, 2},    {50, 50},      {150, 50},
                               {120, 90}, {512, 512}, {6000, 4000}, {12000, 9000}, {400, 100}};
    const double zooms[] = {1, 0.75, 0.5, 0.25, 0};
    for (const pf::Size& c : canvases)
        for (const pf::Size& p : photos)
            for (double z : zooms) {
                SCOPED_TRACE(testing::Message() << "canvas " << c.width << " x " << c.height << ", photo "
                                                << p.width << " x " << p.height << ", zoom " << z);
                pf::SteppedClock clock;
                GMEventView content{Rect(0, 0, c.width, c.height)};
                auto* zoom = new OVZoomView(Rect(0, 0, c.width, c.height),
                                            [] { return std::make_shared<OVFrameLayer>(); });
                content.addSubview(zoom);
                zoom->setMargin(pf::Size(9, 9));
                zoom->setImageSize(p);
                zoom->setZoomFactor(z);
                const Rect f = zoom->zoomLayer()->frame();
                const Rect e = zoom->editRect();
                const double sx = f.width() / (e.width() * p.width),
                             sy = f.height() / (e.height() * p.height);
                EXPECT_NEAR(sx / sy, 1, 0.01) << "stretched";
                if (e.width() >= 1 - 1e-9) {
                    EXPECT_NEAR(f.midX(), c.width / 2, 1) << "off centre across";
                }
                if (e.height() >= 1 - 1e-9) {
                    EXPECT_NEAR(f.midY(), c.height / 2, 1) << "off centre down";
                }
            }
}

// The end of every pan is reported once as final: 0.1 s after the last wheel event, 0.3 s after the
// last scroller movement and 0.3 s after a gesture that had to snap the photo back.
TEST(OVZoomView, ReportsTheEndOfInputOnceAfterItsTimeOut)
{
    struct Case
    {
        const char* name;
        double timeOut;
        std::function<void(Canvas&)> input;
    };
    const Case cases[] = {
        {"wheel", 0.1, [](Canvas& c) { c.zoom->scrollWheel(wheel(0, 1)); }},
        {"scroller", 0.3,
         [](Canvas& c) {
             OVScroller* scroller = c.zoom->horizontalScroller();
             scroller->setDoubleValue(scroller->doubleValue() + 0.1);
         }},
        {"gesture snapping back", 0.3,
         [](Canvas& c) {
             pf::Event begin = wheel(0, 0);
             begin.setType(pf::EventType::Magnify);
             begin.setPhase(EventPhase::Began);
             c.zoom->magnify(begin);
             // A touchpad reports pixels: 60 moves of 400 take the photo well past its edge.
             for (int i = 0; i < 60; ++i)
                 c.zoom->scrollWheel(wheel(400, 0, 0, EventPhase::Changed));
             EXPECT_LT(c.zoom->scrollCenter().x, c.zoom->editRect().size.width / 2)
                 << "a touchpad pulls past";
             pf::Event end = begin;
             end.setPhase(EventPhase::Ended);
             c.zoom->magnify(end);
             EXPECT_NEAR(c.zoom->scrollCenter().x, c.zoom->editRect().size.width / 2, 1e-9)
                 << "and snaps back";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas;
        canvas.zoom->setZoomFactor(0);
        canvas.recorder.previews.clear();
        c.input(canvas);
        canvas.clock.advance(0.05);
        c.input(canvas);
        EXPECT_EQ(canvas.recorder.finalReports(), 0);
        EXPECT_TRUE(canvas.zoom->previewActive());
        canvas.clock.advance(c.timeOut - 0.01);
        EXPECT_EQ(canvas.recorder.finalReports(), 0);
        canvas.clock.advance(0.02);
        EXPECT_EQ(canvas.recorder.finalReports(), 1);
        EXPECT_FALSE(canvas.zoom->previewActive());
        canvas.clock.advance(1);
        EXPECT_EQ(canvas.recorder.finalReports(), 1);
    }
}

// A mouse wheel never shows anything beyond the photo; a touchpad may pull past the edges, and the photo
// snaps back once the input stops.
TEST(OVZoomView, ClassicWheelStaysOnThePhotoAndATouchpadSnapsBack)
{
    for (EventPhase phase : {EventPhase::None, EventPhase::Changed}) {
        SCOPED_TRACE(int(phase));
        Canvas canvas;
        canvas.zoom->setZoomFactor(0);
        const double halfWidth = canvas.zoom->editRect().size.width / 2;
        const double halfHeight = canvas.zoom->editRect().size.height / 2;
        double left = 1, bottom = 1;
        for (int i = 0; i < 100; ++i) {
            // Notches of a wheel, pixels of a touchpad.
            const double delta = phase == EventPhase::None ? 20 : 400;
            canvas.zoom->scrollWheel(wheel(delta, -delta, 0, phase));
            left = std::min(left, canvas.zoom->scrollCenter().x - halfWidth);
            bottom = std::min(bottom, canvas.zoom->scrollCenter().y - halfHeight);
        }
        if (phase == EventPhase::None) {
            EXPECT_GE(left, 0);
            EXPECT_GE(bottom, 0);
        } else {
            EXPECT_LT(left, 0);
            EXPECT_LT(bottom, 0);
            canvas.clock.advance(0.2);
            EXPECT_NEAR(canvas.zoom->scrollCenter().x, halfWidth, 1e-9);
            EXPECT_NEAR(canvas.zoom->scrollCenter().y, halfHeight, 1e-9);
        }
        EXPECT_GE(canvas.zoom->editRect().origin.x, 0);
    }
}

// Wheel events with Command, Option or Control, or during a stroke, go up to the content view's
// delegate and leave the canvas where it is.
TEST(OVZoomView, ModifierWheelsAndBlockedScrollingReachTheEventViewDelegate)
{
    Canvas canvas;
    canvas.zoom->setZoomFactor(0);
    const Point centre = canvas.zoom->scrollCenter();
    for (unsigned flags : {pf::Modifier::Command, pf::Modifier::Option, pf::Modifier::Control,
                           pf::Modifier::Command | pf::Modifier::Shift})
        canvas.zoom->scrollWheel(wheel(0, 2, flags));
    canvas.zoom->setBlockScrolling(true);
    canvas.zoom->scrollWheel(wheel(0, 2));
    EXPECT_EQ(canvas.recorder.wheelsOffered, 5);
    EXPECT_EQ(canvas.zoom->scrollCenter(), centre);
    canvas.zoom->setBlockScrolling(false);
    canvas.zoom->scrollWheel(wheel(0, 2, pf::Modifier::Shift));
    EXPECT_EQ(canvas.recorder.wheelsOffered, 5);
    EXPECT_NE(canvas.zoom->scrollCenter(), centre);
}

// Strokes are normalised to the visible part: its top left is (0, 1); a drag outside goes beyond 0..1.
// A canvas that is not the active draw sender reports nothing.
TEST(OVZoomView, ReportsStrokesNormalisedToTheVisiblePart)
{
    Canvas canvas;
    canvas.zoom->setZoomFactor(0.5);
    const Rect photo = canvas.zoom->zoomLayer()->frame();
    editortest::click(canvas.zoom, Point(photo.minX(), photo.maxY()));
    EXPECT_TRUE(canvas.recorder.strokes.empty());
    canvas.zoom->setDrawSenderActive(true);
    editortest::mouse(canvas.zoom, pf::EventType::LeftMouseDown, Point(photo.minX(), photo.maxY()));
    editortest::mouse(canvas.zoom, pf::EventType::LeftMouseDragged, Point(photo.midX(), photo.midY()));
    editortest::mouse(canvas.zoom, pf::EventType::LeftMouseUp,
                      Point(photo.maxX() + photo.size.width / 2, photo.minY()));
    ASSERT_EQ(canvas.recorder.strokes.size(), 3u);
    EXPECT_EQ(canvas.recorder.strokes[0].second, Point(0, 1));
    EXPECT_EQ(canvas.recorder.strokes[1].second, Point(0.5, 0.5));
    EXPECT_EQ(canvas.recorder.strokes[2].second, Point(1.5, 0));
}

// The window background keeps its aspect: a relatively wider picture loses width on both sides, a
// taller one loses height below its top edge.
TEST(GMEventView, CutsTheBackgroundToTheViewsShape)
{
    struct Case
    {
        pf::Size view, picture;
        Rect expected;
    };
    const Rect part(0.1, 0.2, 0.8, 0.8);
    const Case cases[] = {
        {pf::Size(1000, 500), pf::Size(1200, 800), Rect(0.1, 0.4, 0.8, 0.6)},
        {pf::Size(800, 800), pf::Size(1200, 800), Rect(0.1 + (0.8 - 0.8 / 1.5) / 2, 0.2, 0.8 / 1.5, 0.8)},
        {pf::Size(0, 800), pf::Size(1200, 800), part},
    };
    for (const Case& c : cases) {
        const Rect cut = GMEventView::backgroundCut(part, c.view, c.picture);
        EXPECT_NEAR(cut.origin.x, c.expected.origin.x, 1e-12);
        EXPECT_NEAR(cut.origin.y, c.expected.origin.y, 1e-12);
        EXPECT_NEAR(cut.size.width, c.expected.size.width, 1e-12);
        EXPECT_NEAR(cut.size.height, c.expected.size.height, 1e-12);
        EXPECT_NEAR(cut.maxY(), part.maxY(), 1e-12) << "the top edge stays";
    }
}

namespace {

// Where a normalised photo point is shown now, in the canvas's points.
Point shownAt(const OVZoomView& zoom, Point photo)
{
    const Rect shown = zoom.zoomLayer()->frame();
    const Rect e = zoom.editRect();
    return Point(shown.minX() + (photo.x - e.minX()) / e.width() * shown.width(),
                 shown.minY() + (photo.y - e.minY()) / e.height() * shown.height());
}

} // namespace

// The wheel and gestures zoom about the pointer: the photo point under it stays under it within a
// pixel; keys zoom about the middle of the visible part. Actual Size shows a photo pixel on a screen
// pixel, and a wheel notch pans as far on the screen at any magnification.
TEST(OVZoomView, ZoomsAboutThePointerAndPansByScreenDistance)
{
    struct Case
    {
        double from, to;
        Point panned; // the centre before zooming
        Point anchor; // the pointer, in the canvas
        bool keys;
    };
    const Case cases[] = {
        {1, 0.5, Point(0.5, 0.5), Point(300, 500), false},
        {0.5, 0.1, Point(0.4, 0.6), Point(700, 200), false},
        {0.3, 0.6, Point(0.5, 0.5), Point(560, 430), false},
        {0.2, 0.0, Point(0.3, 0.7), Point(120, 700), false},
        {0.6, 0.2, Point(0.35, 0.6), Point(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        Canvas canvas;
        canvas.zoom->setZoomFactor(c.from);
        canvas.zoom->setScrollCenter(c.panned);
        const Rect shown = canvas.zoom->zoomLayer()->frame();
        const Point anchor = c.keys ? Point(shown.midX(), shown.midY()) : c.anchor;
        const Point held = canvas.zoom->photoPointAt(anchor);
        if (c.keys)
            canvas.zoom->setZoomFactor(c.to, false, true);
        else
            canvas.zoom->setZoomFactor(c.to, anchor, true);
        EXPECT_NEAR(canvas.zoom->zoomFactor(), c.to, 1e-4); // 0 is kept as 0.00001
        const Point now = shownAt(*canvas.zoom, held);
        EXPECT_NEAR(now.x, anchor.x, 1.0);
        EXPECT_NEAR(now.y, anchor.y, 1.0);
    }

    // 100 %: the 4000 pixels of the photo's width on 4000 points; a photo smaller than the canvas is
    // already larger than that when fitted.
    Canvas canvas;
    canvas.zoom->setZoomFactor(canvas.zoom->actualSizeZoomFactor());
    const double displayed = canvas.zoom->zoomLayer()->frame().width() / canvas.zoom->editRect().width();
    EXPECT_NEAR(displayed, 4000, 1.0);
    canvas.zoom->setImageSize(pf::Size(500, 400));
    EXPECT_EQ(canvas.zoom->actualSizeZoomFactor(), 1.0);

    for (double zoom : {0.6, 0.0}) {
        SCOPED_TRACE(zoom);
        Canvas panned;
        panned.zoom->setZoomFactor(zoom);
        const Point before = shownAt(*panned.zoom, Point(0.5, 0.5));
        panned.zoom->scrollWheel(wheel(-1, 0));
        const Point after = shownAt(*panned.zoom, Point(0.5, 0.5));
        EXPECT_NEAR(before.x - after.x, OVZoomView::wheelNotchDistance, 0.5);
    }
}
