#include "Classes/Editor/ColorPicker.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/GMPanelLabel.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSettingsDelegate.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/OVHoverView.h"
#include "Classes/Editor/OVMultiSwitch.h"
#include "Classes/Editor/OVViewState.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "EditorTestSupport.h"
#include "Platform/UI/SteppedClock.h"

#include <gtest/gtest.h>

using editortest::blueprint;
using Face = GMSettingsController::Face;
using pf::Point;
using pf::Rect;

namespace {

struct PanelDelegate : GMSettingsDelegate
{
    std::vector<std::optional<QCursor>> cursors;
    QStringList changes;
    std::vector<bool> hides;
    bool allowRemoval = true;

    void settingsControllerDidChangeBrush(GMSettingsController*,
                                          const std::optional<QCursor>& cursor) override
    {
        cursors.push_back(cursor);
    }
    void settingsControllerDidChangeSettings(GMSettingsController*, const QVariantMap& settings, int index,
                                             const QString& undoName, bool preview) override
    {
        changes << QStringLiteral("%1 %2 %3 %4")
                       .arg(settings.firstKey())
                       .arg(index)
                       .arg(undoName, preview ? "preview" : "final");
    }
    void settingsControllerHideDrawLayer(GMSettingsController*, bool hide) override { hides.push_back(hide); }
    Rect drawingArea() const override { return Rect(0, 0, 800, 600); }
    bool settingsControllerCanRemovePhotoToolAtIndex(GMSettingsController*, int) override
    {
        return allowRemoval;
    }
};

struct Panel
{
    pf::SteppedClock clock;
    std::shared_ptr<PhotoToolChain> chain = editortest::chain();
    PanelDelegate delegate;
    GMSettingsController panel;

    Panel()
    {
        panel.setToolChain(chain);
        panel.setDelegate(&delegate);
        panel.view();
    }
    // A new layer of the effect, selected and shown.
    std::shared_ptr<PhotoTool> add(const std::shared_ptr<GMEffectBlueprint>& effect)
    {
        chain->insertPhotoToolWithBlueprint(effect, std::nullopt, chain->selectionIndex());
        panel.showPhotoTool(chain->selectedPhotoTool());
        panel.updateBrushSliders(chain->selectedPhotoTool());
        clock.advance(1);
        return chain->selectedPhotoTool();
    }
    double alpha(const QWidget* view) const { return OVViewState::modelAlpha(view); }
    QList<double> pictogramAlphas() const
    {
        QList<double> alphas;
        for (OVImageView* picto : panel.pictograms())
            alphas << alpha(picto);
        return alphas;
    }
};

const QVariantMap brushDefaults{{"brushSize", 0.3},           {"brushSmoothness", 0.6},
                                {"brushHardness", 0.4},       {"smartBrushType", "skinKernel"},
                                {"clickType", "replacement"}, {"drawType", "healing"}};

} // namespace

TEST(GMSettingsController, ShowsItsThreeFaces)
{
    Panel p;
    GMSettingsController& panel = p.panel;
    EXPECT_EQ(panel.face(), Face::Introduction);
    EXPECT_EQ(p.pictogramAlphas(), QList<double>(6, 0));
    ASSERT_FALSE(p.delegate.cursors.empty());
    EXPECT_FALSE(p.delegate.cursors.back()) << "no brush cursor without a layer";

    const auto all = blueprint("All", "click,smartBrush,brush,eraser", true, brushDefaults);
    p.add(all);
    EXPECT_EQ(panel.face(), Face::Controls);
    EXPECT_EQ(p.pictogramAlphas(), (QList<double>{1, 1, 1, 1, 1, 0}));
    EXPECT_TRUE(panel.closeButton()->isEnabled());
    EXPECT_EQ(panel.displayNameField()->text(), "All");
    EXPECT_EQ(panel.toolSwitch()->numStates(), 4u);
    EXPECT_DOUBLE_EQ(panel.effectIntensity()->intensity(), 0.7);
    EXPECT_DOUBLE_EQ(panel.brushSizeSlider()->value(), 0.3);
    EXPECT_TRUE(p.delegate.cursors.back());
    // The pictograms stand beside the switch's stops, the click at the top.
    const auto pictos = panel.pictograms();
    const double bottom = panel.toolSwitch()->convertPointToView(Point(), pictos[0]->superview()).y;
    const double step = (panel.toolSwitch()->frame().size.height - pictos[0]->frame().size.height) / 3;
    for (int kind = 0; kind < 4; ++kind)
        EXPECT_NEAR(pictos[size_t(kind)]->frame().origin.y, bottom + step * (3 - kind), 1e-4) << kind;
    // The colour pictogram sits on the swatch.
    const Rect swatch =
        panel.colorPicker()->convertRectToView(panel.colorPicker()->bounds(), pictos[4]->superview());
    EXPECT_TRUE(swatch.contains(pictos[4]->frame()));

    // An effect hovered in a browser: a row of its pictograms, the name moved aside.
    const auto hovered = blueprint("Hovered", "brush,eraser");
    panel.showPreviewInformation(hovered);
    p.clock.advance(1);
    EXPECT_EQ(panel.face(), Face::Preview);
    EXPECT_EQ(p.pictogramAlphas(), (QList<double>{0, 0, 1, 1, 0, 0}));
    EXPECT_FALSE(panel.closeButton()->isEnabled());
    EXPECT_EQ(pictos[3]->frame().origin.x - pictos[2]->frame().origin.x, pictos[2]->frame().size.width + 5);
    EXPECT_EQ(pictos[2]->frame().origin.y, pictos[3]->frame().origin.y);
    EXPECT_EQ(panel.descriptionField()->text(), "What Hovered does.");
    const double shifted = panel.displayNameField()->frame().origin.x;
    panel.showActivePreviewInformation(hovered);
    p.clock.advance(1);
    EXPECT_TRUE(panel.closeButton()->isEnabled());
    EXPECT_EQ(panel.displayNameField()->frame().origin.x, shifted - 1);

    panel.showPhotoTool(nullptr);
    p.clock.advance(1);
    EXPECT_EQ(panel.face(), Face::Introduction);
    EXPECT_TRUE(panel.displayNameField()->text().isEmpty());
    EXPECT_FALSE(p.delegate.cursors.back());
}

// The tool switch's states count from the bottom and the kinds stand from the top in their fixed order:
// state s of n kinds is kind n - 1 - s, whichever kinds an effect has.
TEST(GMSettingsController, BuildsTheBrushOfTheChosenKind)
{
    struct Expected
    {
        unsigned state;
        qint32 type, subType;
        const char* label;
    };
    struct Case
    {
        const char* kinds;
        std::vector<Expected> states;
    };
    const Case cases[] = {
        {"brush,eraser",
         {{1, OVBrush::Draw, OVBrush::Healing, "Brush"}, {0, OVBrush::Eraser, OVBrush::None, "Eraser"}}},
        {"smartBrush,brush,eraser",
         {{2, OVBrush::SmartBrush, OVBrush::Healing, "Intelligent Brush"},
          {1, OVBrush::Draw, OVBrush::Healing, "Brush"},
          {0, OVBrush::Eraser, OVBrush::None, "Eraser"}}},
        {"click,brush,eraser",
         {{2, OVBrush::Click, OVBrush::Healing, "Click Input"},
          {1, OVBrush::Draw, OVBrush::Healing, "Brush"},
          {0, OVBrush::Eraser, OVBrush::None, "Eraser"}}},
        {"click,smartBrush,brush,eraser",
         {{3, OVBrush::Click, OVBrush::Healing, "Click Input"},
          {2, OVBrush::SmartBrush, OVBrush::Healing, "Intelligent Brush"},
          {1, OVBrush::Draw, OVBrush::Healing, "Brush"},
          {0, OVBrush::Eraser, OVBrush::None, "Eraser"}}},
        {"click,eraser",
         {{1, OVBrush::Click, OVBrush::Healing, "Click Input"},
          {0, OVBrush::Eraser, OVBrush::None, "Eraser"}}},
        {"smartBrush", {{0, OVBrush::SmartBrush, OVBrush::Healing, "Intelligent Brush"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kinds);
        Panel p;
        p.add(blueprint(QStringLiteral("Effect"), QString::fromLatin1(c.kinds), false, brushDefaults));
        for (const Expected& e : c.states) {
            SCOPED_TRACE(e.state);
            p.panel.setToolState(e.state);
            p.clock.advance(1);
            EXPECT_EQ(p.panel.toolSwitch()->state(), e.state);
            const OVBrush brush = p.panel.brush();
            EXPECT_EQ(brush.type, e.type);
            EXPECT_EQ(brush.brushSubType, e.subType);
            EXPECT_DOUBLE_EQ(brush.size, 0.3);
            EXPECT_EQ(p.panel.brushTextField()->text(), QString::fromLatin1(e.label));
            const bool click = e.type == OVBrush::Click;
            EXPECT_DOUBLE_EQ(brush.pressure, click ? 0 : 0.4);
            EXPECT_DOUBLE_EQ(brush.smoothness, click ? 0 : 0.6);
            EXPECT_EQ(brush.kernelName, e.type == OVBrush::SmartBrush ? "skinKernel" : "");
            EXPECT_EQ(p.alpha(p.panel.brushSmoothnessSlider()), click ? 0 : 1);
        }
    }
    Panel p;
    p.add(
        blueprint(QStringLiteral("Replace"), QStringLiteral("click"), false, {{"clickType", "replacement"}}));
    EXPECT_EQ(p.panel.brush().brushSubType, OVBrush::IrisReplacement);
}

// Option held alone switches to the bottom stop while it is held, in the controls face only.
TEST(GMSettingsController, OptionAloneErasesWhileHeldInTheControlsFace)
{
    Panel p;
    const auto effect = blueprint("Smooth", "smartBrush,brush,eraser");
    p.add(effect);
    p.panel.setToolState(2);
    const auto flags = [&p](unsigned flags) {
        p.panel.keyboardFlagsChangedEvent(pf::Event::keyEvent(pf::EventType::FlagsChanged, Point(), flags, 0,
                                                              nullptr, {}, {}, false, pf::KeyCode::Option));
        return p.panel.toolState();
    };
    EXPECT_EQ(flags(pf::Modifier::Option), 0u);
    EXPECT_EQ(flags(pf::Modifier::Option), 0u) << "the other Option key too";
    EXPECT_EQ(flags(pf::Modifier::Option | pf::Modifier::Shift), 2u);
    EXPECT_EQ(flags(pf::Modifier::Command | pf::Modifier::Option), 2u);
    EXPECT_EQ(flags(0), 2u);
    EXPECT_FALSE(p.panel.keyboardKeyDownEvent(pf::Event()));

    p.panel.showPreviewInformation(effect);
    p.clock.advance(1);
    EXPECT_EQ(flags(pf::Modifier::Option), 2u);
}

// Command + scroll: a vertical step of 60 moves the size slider by 1 (clamped) and redraws the plain
// cursor; a smoothness step shows the smoothness in the cursor for 1 s after the last step. Steps on a
// hidden slider do nothing.
TEST(GMSettingsController, TakesBrushStepsAndShowsTheSmoothnessForASecond)
{
    Panel p;
    p.add(blueprint("Paint", "brush,eraser", false, {{"brushSize", 0.5}, {"brushSmoothness", 0.5}}));
    const size_t before = p.delegate.cursors.size();
    p.panel.setBrushSizeDelta(60.0 / 60);
    EXPECT_DOUBLE_EQ(p.panel.brushSizeSlider()->value(), 1) << "a positive step makes the brush larger";
    EXPECT_EQ(p.delegate.cursors.size(), before + 1);
    p.panel.setBrushSizeDelta(-0.5);
    EXPECT_DOUBLE_EQ(p.panel.calculateBrushSize(), 0.5 * 0.5 * 800 * 0.6 + 1);

    const auto centreAlpha = [&p] {
        const QImage image = p.delegate.cursors.back()->pixmap().toImage();
        return qAlpha(image.pixel(image.width() / 2, image.height() / 2));
    };
    EXPECT_EQ(centreAlpha(), 0);
    p.panel.setBrushSmoothnessDelta(0.1);
    EXPECT_DOUBLE_EQ(p.panel.brushSmoothnessSlider()->value(), 0.4);
    EXPECT_EQ(centreAlpha(), 255);
    p.clock.advance(0.6);
    p.panel.setBrushSmoothnessDelta(0.1);
    p.clock.advance(0.9);
    EXPECT_EQ(centreAlpha(), 255);
    p.clock.advance(0.2);
    EXPECT_EQ(centreAlpha(), 0);

    p.add(blueprint("Dot", "click"));
    const double smoothness = p.panel.brushSmoothnessSlider()->value();
    p.panel.setBrushSmoothnessDelta(0.3);
    EXPECT_EQ(p.panel.brushSmoothnessSlider()->value(), smoothness);
}

// The brush cursor: a white circle of the brush's size; the click tool adds a grey cross in the middle,
// the smoothness a grey disc fading out towards the circle.
TEST(GMSettingsController, DrawsTheBrushCursor)
{
    Panel p;
    p.add(blueprint("Paint", "click,brush,eraser", false, {{"brushSize", 0.5}, {"brushSmoothness", 0}}));
    struct Case
    {
        unsigned state;
        bool smoothness;
        int centre, halfway;
    };
    // s = 121: the circle's left edge at x 0.5, the middle at 60.5, halfway at 30.
    const Case cases[] = {{1, false, 0, 0}, {2, false, 255, 0}, {2, true, 255, 0}, {1, true, 255, 255}};
    for (const Case& c : cases) {
        p.panel.setToolState(c.state);
        const QImage image = p.panel.cursorWithSmoothness(c.smoothness);
        ASSERT_EQ(image.size(), QSize(121, 121));
        EXPECT_GT(qAlpha(image.pixel(0, 60)), 100) << "the white circle";
        EXPECT_GT(qRed(image.pixel(0, 60)), 200);
        EXPECT_EQ(qAlpha(image.pixel(60, 60)), c.centre) << c.state << c.smoothness;
        EXPECT_EQ(qAlpha(image.pixel(30, 60)), c.halfway) << c.state << c.smoothness;
        if (c.centre) {
            EXPECT_LT(qRed(image.pixel(60, 60)), 230) << "grey";
        }
    }
}

TEST(GMSettingsController, AnIntensityDragReportsPreviewsThenOneFinal)
{
    Panel p;
    p.add(blueprint("Glow", "brush,eraser"));
    EffectIntensity* knob = p.panel.effectIntensity();
    const double y = knob->bounds().midY();
    editortest::mouse(knob, pf::EventType::LeftMouseDown,
                      Point(16 + 0.2 * (knob->bounds().size.width - 32), y));
    editortest::mouse(knob, pf::EventType::LeftMouseDragged,
                      Point(16 + 0.5 * (knob->bounds().size.width - 32), y));
    editortest::mouse(knob, pf::EventType::LeftMouseUp,
                      Point(16 + 0.8 * (knob->bounds().size.width - 32), y));
    EXPECT_EQ(p.delegate.changes,
              (QStringList{"intensity 1 Change Intensity preview", "intensity 1 Change Intensity preview",
                           "intensity 1 Change Intensity final"}));
}

// A colour change waiting for its final report when another layer is shown is closed at once, on its
// own layer; a report that comes when another layer is selected still goes to its own.
TEST(GMSettingsController, AColourChangeEndsOnItsOwnLayer)
{
    for (bool showOther : {true, false}) {
        SCOPED_TRACE(showOther);
        Panel p;
        p.add(blueprint("Tint", "brush,eraser", true));
        p.add(blueprint("Other", "brush,eraser", true));
        p.chain->setSelectionIndex(1);
        p.panel.showPhotoTool(p.chain->selectedPhotoTool());
        p.panel.colorPicker()->changeColor(Qt::green);
        p.clock.advance(0.05);
        p.chain->setSelectionIndex(2);
        if (showOther)
            p.panel.showPhotoTool(p.chain->selectedPhotoTool());
        p.clock.advance(1);
        EXPECT_EQ(p.delegate.changes,
                  (QStringList{"color 1 Change Color preview", "color 1 Change Color final"}));
    }
    Panel p;
    p.add(blueprint("Tint", "brush,eraser", true));
    p.panel.colorPicker()->changeColor(Qt::green);
    p.chain->removePhotoToolAtIndex(1);
    p.clock.advance(1);
    EXPECT_EQ(p.delegate.changes, (QStringList{"color 1 Change Color preview"})) << "its layer is gone";
}

TEST(GMSettingsController, RemovesTheSelectedLayerButNeverTheBackground)
{
    Panel p;
    p.panel.removePhotoTool();
    EXPECT_EQ(p.chain->numberOfTools(), 1);
    p.add(blueprint("Glow", "brush,eraser"));
    p.delegate.allowRemoval = false;
    p.panel.closeButton()->setButtonState(6);
    EXPECT_EQ(p.chain->numberOfTools(), 2);
    p.delegate.allowRemoval = true;
    p.panel.closeButton()->setButtonState(6);
    EXPECT_EQ(p.chain->numberOfTools(), 1);
}

TEST(GMSettingsController, TheHideIconHidesTheStrokeWhileHoveredAndShowsOnlyWithControls)
{
    Panel p;
    EXPECT_TRUE(p.panel.hideIcon()->isHidden());
    p.add(blueprint("Glow", "brush,eraser"));
    OVHoverView* icon = p.panel.hideIcon();
    EXPECT_FALSE(icon->isHidden());
    EXPECT_GT(icon->frame().origin.x + p.panel.controlsView()->frame().origin.x,
              p.panel.displayNameField()->frame().origin.x);
    icon->dispatch(pf::Event::enterExitEvent(pf::EventType::MouseEntered, Point(), 0, 0, nullptr, nullptr));
    p.panel.showEmptySelection();
    EXPECT_TRUE(icon->isHidden());
    EXPECT_EQ(p.delegate.hides, (std::vector<bool>{true, false}));
    EXPECT_EQ(p.panel.toolTipForView(p.panel.brushSizeSlider()),
              "Brush size: Ctrl + wheel up or ] makes it larger, Ctrl + wheel down or [ smaller");
    EXPECT_EQ(p.panel.toolTipForView(p.panel.brushSmoothnessSlider()),
              "Brush smoothness: Ctrl + scroll right makes it softer, left harder");
}

// [ and ] alone make the brush smaller and larger by a step, as image editors do, and are taken; with a
// modifier, without a brush to size, or any other key, the key goes on.
TEST(GMSettingsController, BracketsSizeTheBrush)
{
    struct Case
    {
        const char* what;
        const char* key;
        unsigned flags;
        bool layer, taken;
        double step;
    };
    const double k = GMSettingsController::brushKeyStep;
    const Case cases[] = {
        {"] grows", "]", 0, true, true, k},
        {"[ shrinks", "[", 0, true, true, -k},
        {"with Shift held (a keyboard's [ may need it)", "[", pf::Modifier::Shift, true, true, -k},
        {"Ctrl+] is a shortcut", "]", pf::Modifier::Command, true, false, 0},
        {"another key", "b", 0, true, false, 0},
        {"no layer, no brush", "]", 0, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Panel p;
        if (c.layer)
            p.add(blueprint("Paint", "brush,eraser", false, {{"brushSize", 0.5}}));
        const double before = p.panel.brushSizeSlider()->value();
        const QString key = QString::fromLatin1(c.key);
        EXPECT_EQ(p.panel.keyboardKeyDownEvent(pf::Event::keyEvent(pf::EventType::KeyDown, Point(), c.flags,
                                                                   0, nullptr, key, key, false, 0)),
                  c.taken);
        EXPECT_NEAR(p.panel.brushSizeSlider()->value(), before + c.step, 1e-9);
    }
}

// The window may go before the panel's controller: the controller then finds its controls gone, and
// builds the panel anew when it is asked to show it.
TEST(GMSettingsController, OutlivesItsView)
{
    Panel p;
    p.add(blueprint("Glow", "brush,eraser"));
    {
        pf::View window(Rect(0, 0, 800, 600));
        window.addSubview(p.panel.view());
    }
    EXPECT_EQ(p.panel.brushSizeSlider(), nullptr);
    p.panel.setBrushSizeDelta(0.1);
    p.panel.showEmptySelection();
    EXPECT_EQ(p.panel.face(), Face::Introduction);
}
