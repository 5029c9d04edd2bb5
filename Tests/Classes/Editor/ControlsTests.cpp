#include "Classes/Editor/ColorPicker.h"
#include "Classes/Editor/ColorPickerDelegate.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/EffectIntensityDelegate.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/GMSliderDelegate.h"
#include "Classes/Editor/OVHoverView.h"
#include "Classes/Editor/OVHoverViewDelegate.h"
#include "Classes/Editor/OVMultiSwitch.h"
#include "Classes/Editor/OVMultiSwitchDelegate.h"
#include "Classes/Editor/OVPatternLayer.h"
#include "Classes/Editor/OVStepScroller.h"
#include "Classes/Editor/OVStepScrollerDelegate.h"
#include "Classes/Editor/OVSwitch.h"
#include "Classes/Editor/OVSwitchDelegate.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "EditorTestSupport.h"
#include "Platform/UI/ColorPanel.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"

#include <QPointer>
#include <gtest/gtest.h>

using editortest::click;
using editortest::mouse;
using pf::EventType;
using pf::Point;
using pf::Rect;

namespace {

// What the controls report, in order: "value preview" or "value final".
struct Reports : GMSliderDelegate,
                 EffectIntensityDelegate,
                 ColorPickerDelegate,
                 OVSwitchDelegate,
                 OVMultiSwitchDelegate,
                 OVHoverViewDelegate
{
    QStringList log;
    void add(double value, bool preview)
    {
        log << QStringLiteral("%1 %2").arg(value).arg(preview ? "preview" : "final");
    }
    void sliderDidChangeValue(GMSlider*, double value, bool preview) override { add(value, preview); }
    void effectIntensityDidChangeIntensity(EffectIntensity*, double value, bool preview) override
    {
        add(value, preview);
    }
    void colorPickerDidChangeColor(ColorPicker*, const QColor& color, bool preview) override
    {
        log << QStringLiteral("%1 %2").arg(color.name(), preview ? "preview" : "final");
    }
    void ovSwitchDidChangeState(OVSwitch*, bool state) override { log << QString::number(state); }
    void multiSwitchDidChangeState(OVMultiSwitch*, unsigned state) override { log << QString::number(state); }
    void hoverViewStatusChanged(OVHoverView*, bool hovered) override
    {
        log << (hovered ? "hover" : "unhover");
    }
};

// A view that keeps the mouse presses nobody took.
struct Catcher : pf::View
{
    using View::View;
    int presses = 0;
    void mouseDown(const pf::Event&) override { ++presses; }
};

} // namespace

TEST(GMSlider, MapsValuesAndPressesOntoItsTrack)
{
    struct Case
    {
        const char* name;
        Rect frame;
        double min, max;
        std::function<void(GMSlider&)> act;
        double normed;
        QStringList reports;
    };
    const auto press = [](double along) {
        return [along](GMSlider& s) { click(&s, s.isVertical() ? Point(7, along) : Point(along, 7)); };
    };
    const Case cases[] = {
        {"an empty range ignores values",
         Rect(0, 0, 200, 14),
         0.5,
         0.5,
         [](GMSlider& s) { s.setValue(0.9); },
         0,
         {}},
        {"above the range", Rect(0, 0, 200, 14), 0, 1, [](GMSlider& s) { s.setValue(3); }, 1, {}},
        {"below the range", Rect(0, 0, 200, 14), 0, 1, [](GMSlider& s) { s.setValue(-3); }, 0, {}},
        {"left of the knob's half", Rect(0, 0, 200, 14), 0, 1, press(5), 0, {"0 preview", "0 final"}},
        {"the middle", Rect(0, 0, 200, 14), 0, 1, press(100), 0.5, {"0.5 preview", "0.5 final"}},
        {"falling range, left end", Rect(0, 0, 200, 14), 1, 0, press(2), 0, {"1 preview", "1 final"}},
        {"vertical, bottom end", Rect(0, 0, 14, 200), 1, 0, press(3), 0, {"1 preview", "1 final"}},
        {"vertical, top", Rect(0, 0, 14, 200), 0, 1, press(199), 1, {"1 preview", "1 final"}},
        {"no room to travel", Rect(0, 0, 14, 10), 0, 1, press(12), 0, {"0 preview", "0 final"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GMSlider slider(c.frame);
        Reports reports;
        slider.setDelegate(&reports);
        slider.setMinValue(c.min);
        slider.setMaxValue(c.max);
        slider.setValue(c.min + (c.max - c.min) * 0.25);
        c.act(slider);
        EXPECT_DOUBLE_EQ(slider.normedValue(), c.normed);
        EXPECT_EQ(reports.log, c.reports);
    }
}

// Controls faded out (themselves or an ancestor at alpha 0) pass presses on and change nothing.
TEST(EditorControls, FadedControlsPassPressesOn)
{
    Catcher faded(Rect(0, 0, 400, 300));
    faded.setAlphaValue(0);
    auto* inner = new pf::View(Rect(0, 0, 400, 300));
    faded.addSubview(inner);
    Reports reports;
    auto* slider = new GMSlider(Rect(10, 10, 200, 14));
    auto* intensity = new EffectIntensity(Rect(10, 40, 200, 36));
    auto* toggle = new OVSwitch(Rect(10, 90, 44, 40));
    auto* multi = new OVMultiSwitch(Rect(250, 10, 54, 112));
    auto* picker = new ColorPicker(Rect(10, 200, 60, 44));
    slider->setDelegate(&reports);
    intensity->setDelegate(&reports);
    toggle->setDelegate(&reports);
    multi->setDelegate(&reports);
    picker->setDelegate(&reports);
    for (pf::View* control : std::initializer_list<pf::View*>{slider, intensity, toggle, multi, picker}) {
        inner->addSubview(control);
        const Point top(control->bounds().maxX() - 2, control->bounds().maxY() - 2);
        mouse(control, EventType::LeftMouseDown, top);
    }
    EXPECT_EQ(faded.presses, 5);
    EXPECT_TRUE(reports.log.isEmpty());
    EXPECT_TRUE(toggle->state());
    EXPECT_EQ(multi->state(), 0u);
    EXPECT_FALSE(pf::ColorPanel::shared().isVisible());
}

// The frame a switch is made with chooses its look; the switch then sizes itself to its pictures.
TEST(OVSwitch, FramesChooseTheLook)
{
    struct Case
    {
        pf::Size frame;
        bool small, left, background;
        const char *on, *off;
        pf::Size size;
    };
    const Case cases[] = {
        {pf::Size(44, 40), true, true, false, "PictoBrush2", "PictoEraser", pf::Size(18 + 24 + 4, 40)},
        {pf::Size(30, 60), true, false, true, "PictoLayerMode", nullptr, pf::Size(30, 74)},
        {pf::Size(60, 60), false, true, false, "PictoClick", "PictoBrush", pf::Size(26 + 24 + 4, 112)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.on);
        OVSwitch toggle(Rect(pf::Point(5, 5), c.frame));
        EXPECT_EQ(toggle.smallSize(), c.small);
        EXPECT_EQ(toggle.logoPlacementLeft(), c.left);
        EXPECT_EQ(toggle.drawsBackground(), c.background);
        EXPECT_EQ(toggle.onImage().cacheKey(),
                  pf::NamedImage::image(QString::fromLatin1(c.on) + ".png").cacheKey());
        EXPECT_EQ(toggle.offImage().isNull(), c.off == nullptr);
        EXPECT_EQ(toggle.frame(), Rect(pf::Point(5, 5), c.size));
        // On: the knob at the bezel's upper end.
        const double top = toggle.bezelOrigin().y + toggle.bezelSize().height - toggle.knobSize().height;
        EXPECT_EQ(toggle.knobView()->frame().origin.y, top + (c.small ? 1 : 0));
    }
}

TEST(OVSwitch, AClickTogglesAndTellsTheCodeDoesNot)
{
    pf::SteppedClock clock;
    OVSwitch toggle(Rect(0, 0, 44, 40));
    Reports reports;
    toggle.setDelegate(&reports);
    toggle.setState(false);
    clock.advance(0.3);
    EXPECT_EQ(toggle.knobView()->frame().origin.y, toggle.bezelOrigin().y + 1);
    click(&toggle, Point(30, 20));
    click(&toggle, Point(30, 20));
    EXPECT_EQ(reports.log, (QStringList{"1", "0"}));
}

TEST(EffectIntensity, ReportsEveryPressAndTheRelease)
{
    struct Case
    {
        double width, x, value;
    };
    // The knob is 32 points wide.
    const Case cases[] = {{200, 10, 0}, {200, 190, 1}, {200, 100, 0.5}, {32, 20, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EffectIntensity intensity(Rect(0, 0, c.width, 36));
        Reports reports;
        intensity.setDelegate(&reports);
        click(&intensity, Point(c.x, 18));
        EXPECT_DOUBLE_EQ(intensity.intensity(), c.value);
        EXPECT_EQ(reports.log, (QStringList{QStringLiteral("%1 preview").arg(c.value),
                                            QStringLiteral("%1 final").arg(c.value)}));
    }
    EffectIntensity intensity(Rect(0, 0, 200, 36));
    intensity.setIntensity(7);
    EXPECT_EQ(intensity.intensity(), 1);
}

// Every change in the colour panel is a preview; 0.1 s after the last one comes one final report. The
// owner's colour reaches the panel without a report.
TEST(ColorPicker, ReportsChangesAndOneFinalAfterAPause)
{
    pf::SteppedClock clock;
    ColorPicker picker(Rect(0, 0, 60, 44));
    Reports reports;
    picker.setDelegate(&reports);
    picker.setColor(QColor(0, 0, 255));
    EXPECT_EQ(pf::ColorPanel::shared().color(), QColor(0, 0, 255));
    EXPECT_TRUE(reports.log.isEmpty());
    pf::ColorPanel::shared().setColor(QColor(0, 255, 0));
    for (const char* name : {"#101010", "#202020", "#303030"}) {
        picker.changeColor(QColor(QString::fromLatin1(name)));
        clock.advance(0.05);
    }
    EXPECT_EQ(reports.log, (QStringList{"#101010 preview", "#202020 preview", "#303030 preview"}));
    clock.advance(0.06);
    EXPECT_EQ(reports.log.last(), "#303030 final");
    clock.advance(1);
    EXPECT_EQ(reports.log.size(), 4);
    EXPECT_FALSE(picker.hasPendingReport());

    picker.changeColor(QColor(QStringLiteral("#404040")));
    picker.deliverPendingReport();
    EXPECT_EQ(reports.log.mid(4), (QStringList{"#404040 preview", "#404040 final"}));
    clock.advance(1);
    EXPECT_EQ(reports.log.size(), 6);

    click(&picker, Point(30, 22));
    EXPECT_TRUE(pf::ColorPanel::shared().isVisible());
    pf::ColorPanel::shared().close();
}

TEST(OVMultiSwitch, PressesAndDragsChooseStops)
{
    struct Case
    {
        const char* name;
        unsigned states, start;
        std::vector<std::pair<EventType, double>> steps; // positions along the knob's travel
        QStringList reports;
        unsigned state;
    };
    const Case cases[] = {
        {"lowest quarter", 3, 1, {{EventType::LeftMouseDown, 0.2}}, {"0"}, 0},
        {"middle half", 3, 0, {{EventType::LeftMouseDown, 0.3}}, {"1"}, 1},
        {"middle half, upper end", 3, 0, {{EventType::LeftMouseDown, 0.7}}, {"1"}, 1},
        {"top quarter", 3, 0, {{EventType::LeftMouseDown, 0.8}}, {"2"}, 2},
        {"a press on the current stop grabs the knob",
         4,
         0,
         {{EventType::LeftMouseDown, 0.05},
          {EventType::LeftMouseDragged, 0.4},
          {EventType::LeftMouseDragged, 0.7},
          {EventType::LeftMouseDragged, 1.2},
          {EventType::LeftMouseUp, 1.2}},
         {"1", "2", "3"},
         3},
        {"a press elsewhere does not",
         4,
         0,
         {{EventType::LeftMouseDown, 0.7}, {EventType::LeftMouseDragged, 0}, {EventType::LeftMouseUp, 0}},
         {"2"},
         2},
        {"one state",
         1,
         0,
         {{EventType::LeftMouseDown, 0.5}, {EventType::LeftMouseDragged, 0.9}, {EventType::LeftMouseUp, 0.9}},
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pf::SteppedClock clock;
        OVMultiSwitch multi(Rect(0, 0, 10, 10));
        multi.setNumStates(c.states);
        multi.setState(c.start);
        Reports reports;
        multi.setDelegate(&reports);
        const double travel = multi.bezelSize().height - multi.knobSize().height;
        for (const auto& [type, t] : c.steps)
            mouse(&multi, type, Point(40, multi.bezelOrigin().y + multi.knobSize().height / 2 + t * travel));
        EXPECT_EQ(reports.log, c.reports);
        EXPECT_EQ(multi.state(), c.state);
        clock.advance(0.3);
        const double stop = c.states > 1 ? double(c.state) / (c.states - 1) : 0;
        EXPECT_EQ(multi.knobView()->frame().origin.y, multi.bezelOrigin().y + stop * travel);
    }
}

TEST(OVMultiSwitch, ANewNumberOfStatesKeepsTheKnobsHeight)
{
    pf::SteppedClock clock; // the knob slides
    struct Case
    {
        unsigned from, state, to, expected;
        bool reported;
    };
    const Case cases[] = {
        {3, 2, 2, 1, true}, {3, 1, 2, 1, false}, {4, 2, 3, 1, true}, {2, 1, 4, 3, true}, {3, 0, 1, 0, false}};
    for (const Case& c : cases) {
        OVMultiSwitch multi(Rect(0, 0, 10, 10));
        multi.setNumStates(c.from);
        multi.setState(c.state);
        Reports reports;
        multi.setDelegate(&reports);
        multi.setNumStates(c.to);
        EXPECT_EQ(multi.state(), c.expected) << c.from << " " << c.state << " " << c.to;
        EXPECT_EQ(reports.log, c.reported ? QStringList{QString::number(c.expected)} : QStringList{});
    }
    OVMultiSwitch multi(Rect(0, 0, 10, 10));
    QImage picture(8, 8, QImage::Format_ARGB32);
    multi.setImage(picture, 3);
    ASSERT_EQ(multi.images().size(), 4u);
    EXPECT_EQ(multi.images()[1].cacheKey(), multi.imagePlaceholder().cacheKey());
    EXPECT_EQ(multi.images()[3].cacheKey(), picture.cacheKey());
    multi.setImage(QImage(), 1);
    EXPECT_TRUE(multi.images()[1].isNull());
}

// Every control of the editor survives its delegate deleting it from a report (the document closing
// from a change, say): nothing of the control is touched afterwards.
TEST(EditorControls, EachSurvivesItsDelegateDeletingItFromAReport)
{
    struct Deleter : GMSliderDelegate,
                     EffectIntensityDelegate,
                     ColorPickerDelegate,
                     OVSwitchDelegate,
                     OVMultiSwitchDelegate,
                     OVHoverViewDelegate,
                     OVStepScrollerDelegate
    {
        QPointer<pf::View> doomed;
        void gone() { delete doomed.data(); }
        void sliderDidChangeValue(GMSlider*, double, bool) override { gone(); }
        void effectIntensityDidChangeIntensity(EffectIntensity*, double, bool) override { gone(); }
        void colorPickerDidChangeColor(ColorPicker*, const QColor&, bool) override { gone(); }
        void ovSwitchDidChangeState(OVSwitch*, bool) override { gone(); }
        void multiSwitchDidChangeState(OVMultiSwitch*, unsigned) override { gone(); }
        void hoverViewStatusChanged(OVHoverView*, bool) override { gone(); }
        void scrollerDidChangeIndex(OVStepScroller*, int) override { gone(); }
    };
    pf::SteppedClock clock;
    pf::Window window(Rect(0, 0, 500, 100));
    // A press and a release, the release only while the control lives.
    const auto press = [](pf::View* view, Point at) {
        const QPointer<pf::View> guard(view);
        mouse(view, EventType::LeftMouseDown, at);
        if (guard)
            mouse(view, EventType::LeftMouseUp, at);
    };
    const struct
    {
        const char* name;
        std::function<pf::View*(Deleter&)> make;
        std::function<void(pf::View*)> act;
    } cases[] = {
        {"a slider",
         [](Deleter& d) {
             auto* slider = new GMSlider(Rect(0, 0, 200, 14));
             slider->setDelegate(&d);
             return slider;
         },
         [&press](pf::View* v) { press(v, Point(100, 7)); }},
        {"an intensity",
         [](Deleter& d) {
             auto* intensity = new EffectIntensity(Rect(0, 0, 200, 36));
             intensity->setDelegate(&d);
             return intensity;
         },
         [&press](pf::View* v) { press(v, Point(100, 18)); }},
        {"a colour picker",
         [](Deleter& d) {
             auto* picker = new ColorPicker(Rect(0, 0, 60, 44));
             picker->setDelegate(&d);
             return picker;
         },
         [](pf::View* v) { static_cast<ColorPicker*>(v)->changeColor(QColor(10, 20, 30)); }},
        {"a switch",
         [](Deleter& d) {
             auto* sw = new OVSwitch(Rect(0, 0, 43, 47));
             sw->setDelegate(&d);
             return sw;
         },
         [&press](pf::View* v) { press(v, Point(20, 20)); }},
        {"a multi-switch",
         [](Deleter& d) {
             auto* multi = new OVMultiSwitch(Rect(0, 0, 10, 10));
             multi->setNumStates(3);
             multi->setState(2);
             multi->setDelegate(&d);
             return multi;
         },
         [](pf::View* v) { static_cast<OVMultiSwitch*>(v)->setNumStates(2); }},
        {"a hover view",
         [](Deleter& d) {
             auto* hover = new OVHoverView(Rect(0, 0, 40, 40));
             hover->setDelegate(&d);
             return hover;
         },
         [](pf::View* v) { mouse(v, EventType::MouseEntered, Point(5, 5)); }},
        {"a step scroller",
         [](Deleter& d) {
             auto* scroller = new OVStepScroller(Rect(0, 0, 414, 36));
             for (int i = 0; i < 4; ++i)
                 scroller->insertStepWithName(QStringLiteral("Step %1").arg(i), i);
             scroller->setDelegate(&d);
             return scroller;
         },
         [](pf::View* v) {
             v->dispatch(pf::Event::scrollEvent(Point(100, 18), 0, 0, nullptr, -40, 0, false));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Deleter deleter;
        pf::View* control = c.make(deleter);
        window.contentView()->addSubview(control);
        clock.advance(1);
        deleter.doomed = control;
        c.act(control);
        EXPECT_FALSE(deleter.doomed);
        clock.advance(1);
    }
    pf::ColorPanel::shared().close();
}

TEST(OVPatternLayer, RendersWholeTilesAndOnlyWhenItOutgrowsThem)
{
    OVPatternLayer layer;
    layer.setBounds(Rect(0, 0, 100, 60));
    EXPECT_TRUE(layer.contents().isNull());
    QImage tile(32, 32, QImage::Format_ARGB32);
    tile.fill(Qt::red);
    layer.setPatterImage(tile);
    EXPECT_EQ(layer.lastImageSize(), pf::Size(160, 128));
    EXPECT_EQ(layer.contents().size(), QSize(160, 128));
    for (const Rect& smaller : {Rect(0, 0, 40, 30), Rect(0, 0, 150, 100)}) {
        layer.setBounds(smaller);
        EXPECT_EQ(layer.lastImageSize(), pf::Size(160, 128));
    }
    layer.setBounds(Rect(0, 0, 170, 60));
    EXPECT_EQ(layer.lastImageSize(), pf::Size(224, 128));
}

TEST(OVHoverView, NamesItsTwinAndReportsTheEndOfAHoverWhenHidden)
{
    const std::pair<const char*, const char*> names[] = {{"KnobBig.png", "KnobBigHovered.png"},
                                                         {"Icon", "IconHovered"},
                                                         {"/pictures.v2/Icon", "/pictures.v2/IconHovered"},
                                                         {"dir/Icon.tiff", "dir/IconHovered.tiff"}};
    for (const auto& [name, twin] : names)
        EXPECT_EQ(OVHoverView::hoverNameFor(QString::fromLatin1(name)), QString::fromLatin1(twin));

    OVHoverView view(Rect(0, 0, 18, 18));
    view.setImageName(QStringLiteral("HideEffect"));
    EXPECT_FALSE(view.hoverImage().isNull());
    EXPECT_EQ(view.trackingArea(), nullptr) << "never shown, never tracking";
    Reports reports;
    view.setDelegate(&reports);
    view.setVisible(true);
    EXPECT_NE(view.trackingArea(), nullptr);
    view.dispatch(pf::Event::enterExitEvent(EventType::MouseEntered, Point(), 0, 0, nullptr, nullptr));
    EXPECT_EQ(view.image().cacheKey(), view.hoverImage().cacheKey());
    view.setVisible(false);
    view.setVisible(false);
    EXPECT_EQ(reports.log, (QStringList{"hover", "unhover"}));
    EXPECT_EQ(view.trackingArea(), nullptr);
    EXPECT_EQ(view.image().cacheKey(), view.unhoverImage().cacheKey());
}
