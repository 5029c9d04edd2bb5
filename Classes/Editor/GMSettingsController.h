#pragma once

#include "Classes/Editor/ColorPicker.h"
#include "Classes/Editor/ColorPickerDelegate.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/EffectIntensityDelegate.h"
#include "Classes/Editor/GMPanelLabel.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/GMSliderDelegate.h"
#include "Classes/Editor/OVHoverView.h"
#include "Classes/Editor/OVHoverViewDelegate.h"
#include "Classes/Editor/OVKeyboardWatcherDelegate.h"
#include "Classes/Editor/OVMultiSwitch.h"
#include "Classes/Editor/OVMultiSwitchDelegate.h"
#include "Classes/Editor/PatternPicker.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVHoverWindowController.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVInfoHoverButton.h"
#include "Classes/Framework/Toolkit/OVViewController.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"

#include <QCursor>
#include <QImage>
#include <QPointer>
#include <memory>

class GMEffectBlueprint;
class GMSettingsDelegate;
class PhotoTool;
class PhotoToolChain;
namespace pf {
class Document;
class Timer;
} // namespace pf

// The editor window's panel for the selected layer. It shows one of three faces: the introduction
// (nothing editable selected), the preview of an effect hovered in a browser (name, description and
// pictograms of its tools), and the controls of the selected layer (name, intensity knob, colour
// swatch, tool switch with its pictograms, brush size and smoothness sliders, the tool's name, a remove
// button, a hover icon that hides the live stroke, and a button with the effect's how-to text). It
// turns the user's actions into settings changes, brush records and brush cursors for its delegate,
// the window controller; reacts to Option held alone (the eraser while it is held) and takes brush size
// and smoothness steps from Command + scroll.
//
// The panel is built in code as the interface "GMSettingsController" (registered when the first
// controller is made), 395 x 240 points; the window controller places it at (-19, height - 240).
// Main thread only.
class GMSettingsController : public OVViewController,
                             public OVKeyboardWatcherDelegate,
                             public ColorPickerDelegate,
                             public EffectIntensityDelegate,
                             public OVMultiSwitchDelegate,
                             public GMSliderDelegate,
                             public OVHoverViewDelegate
{
    Q_OBJECT

public:
    // The tool kinds of the tool switch, from the top: "click", "smartBrush", "brush", "eraser".
    enum class BrushKind
    {
        None,
        Click,
        SmartBrush,
        Brush,
        Eraser,
    };

    explicit GMSettingsController(QObject* parent = nullptr);
    ~GMSettingsController() override;

    QString className() const override { return QStringLiteral("GMSettingsController"); }
    static void registerInterface();
    static constexpr double panelWidth = 395;
    static constexpr double panelHeight = 240;
    // How far [ and ] move the brush size slider (0..1): three notches of the wheel.
    static constexpr double brushKeyStep = 3.0 / 60;

    void loadView() override;

    // Faces.
    void showEmptySelection();
    // None shows the introduction.
    void showPhotoTool(const std::shared_ptr<PhotoTool>& tool);
    void showFilterSettings(const std::shared_ptr<PhotoTool>& tool);
    void showPreviewInformation(const std::shared_ptr<GMEffectBlueprint>& blueprint);
    void showActivePreviewInformation(const std::shared_ptr<GMEffectBlueprint>& blueprint);
    void showPreviewInformation(const std::shared_ptr<GMEffectBlueprint>& blueprint, bool fromActiveTool);
    enum class Face
    {
        Introduction,
        Preview,
        Controls,
    };
    // The face shown, told apart by the containers' alpha.
    Face face() const;

    // The sliders take the tool's brush defaults (nothing for the background layer).
    void updateBrushSliders(const std::shared_ptr<PhotoTool>& tool);

    // The tool switch: one state per brush kind of the tool, counted from the bottom.
    unsigned toolState() const { return m_toolState; }
    void setToolState(unsigned state);
    // The selected layer's brush kind for the tool state: the kinds stand from the top in their fixed
    // order, so state s of n kinds is kind n - 1 - s.
    BrushKind brushKind() const;
    static BrushKind brushKindForState(const QStringList& brushTypes, unsigned state);
    bool isClickBrush() const { return brushKind() == BrushKind::Click; }
    bool isSmartBrush() const { return brushKind() == BrushKind::SmartBrush; }

    // The brush of the next stroke on the selected layer; its size is the size slider's value (0..1),
    // which the window controller scales.
    OVBrush brush() const;
    // The brush's diameter in points: v x v x the drawing area's width x 0.6 + 1, v the size slider's value.
    double calculateBrushSize() const;
    // The brush cursor's picture: a circle of the brush's size (with the click tool's cross, or with the
    // smoothness shown as a grey gradient).
    QImage cursorWithSmoothness(bool smoothness) const;
    // Sends the delegate the brush cursor (hot spot in the middle).
    void updateCursor(bool smoothness);
    // Command + scroll: a step of the slider (when it is shown; a positive size step, the wheel turned
    // up, makes the brush larger, a positive smoothness step, the wheel turned left, harder); the
    // smoothness shows in the cursor for 1 s after the last step.
    void setBrushSizeDelta(double delta);
    void setBrushSmoothnessDelta(double delta);
    void removeSmoothnessCursor();

    void removePhotoTool();
    bool allowFilterHiding() const { return m_allowFilterHiding; }
    void setAllowFilterHiding(bool allow);
    // The sliders' tooltips; empty for other views.
    QString toolTipForView(const QWidget* view) const;
    // Sends a settings change of the layer at `index` to the delegate as it stands.
    void setValues(const QVariantMap& values, const QString& undoName, int index, bool preview);

    std::shared_ptr<PhotoToolChain> toolChain() const { return m_toolChain; }
    void setToolChain(std::shared_ptr<PhotoToolChain> chain);
    // Not owned; clear it before the delegate goes.
    GMSettingsDelegate* delegate() const { return m_delegate; }
    void setDelegate(GMSettingsDelegate* delegate) { m_delegate = delegate; }
    std::weak_ptr<pf::Document> document() const { return m_document; }
    void setDocument(std::weak_ptr<pf::Document> document) { m_document = std::move(document); }

    // The controls, for the window controller and tests (null until loaded).
    EffectIntensity* effectIntensity() const { return m_effectIntensity; }
    OVMultiSwitch* toolSwitch() const { return m_toolSwitch; }
    GMSlider* brushSizeSlider() const { return m_brushSizeSlider; }
    GMSlider* brushSmoothnessSlider() const { return m_brushSmoothnessSlider; }
    ColorPicker* colorPicker() const { return m_colorPicker; }
    PatternPicker* patternPicker() const { return m_patternPicker; }
    OVHoverView* hideIcon() const { return m_hideIcon; }
    OVButton* closeButton() const { return m_closeButton; }
    OVInfoHoverButton* infoButton() const { return m_infoButton; }
    GMPanelLabel* displayNameField() const { return m_displayName; }
    GMPanelLabel* descriptionField() const { return m_description; }
    GMPanelLabel* brushTextField() const { return m_brushText; }
    OVImageView* toolIcon() const { return m_toolIcon; }
    pf::View* controlsView() const { return m_controlsView; }
    pf::View* informationView() const { return m_informationView; }
    pf::View* introductionView() const { return m_introduction; }
    // The pictograms of the click, smart brush, brush, eraser, colour and pattern, in that order.
    std::vector<OVImageView*> pictograms() const;

    // OVKeyboardWatcherDelegate: takes [ and ] alone, which make the brush smaller and larger by
    // brushKeyStep while its slider shows; Option alone selects the bottom stop while held (pressed in
    // the controls face; any other flags, in any face, bring the chosen stop back).
    bool keyboardKeyDownEvent(const pf::Event& event) override;
    void keyboardFlagsChangedEvent(const pf::Event& event) override;
    // ColorPickerDelegate, EffectIntensityDelegate
    void colorPickerDidChangeColor(ColorPicker* picker, const QColor& color, bool preview) override;
    void effectIntensityDidChangeIntensity(EffectIntensity* control, double intensity, bool preview) override;
    // OVMultiSwitchDelegate
    void multiSwitchDidChangeState(OVMultiSwitch* sender, unsigned state) override;
    // GMSliderDelegate
    void sliderDidChangeValue(GMSlider* slider, double value, bool preview) override;
    std::optional<QImage> imageForSlider(GMSlider* slider) override;
    // OVHoverViewDelegate
    void hoverViewStatusChanged(OVHoverView* view, bool hovered) override;
    // A click on the hide icon says what resting on it does (the effect goes while the pointer is there).
    void hoverViewWasClicked(OVHoverView* view) override;
    static QString hideIconHint();

    // The image names the panel's interface shows.
    static QStringList imageNames();

private:
    void updateBrushFields();
    void updateFilterHiding();
    void setPositionForView(pf::View* view, unsigned state);
    void setToolPictograms(const QStringList& brushTypes, bool animated);
    std::shared_ptr<PhotoTool> selectedTool() const;
    int selectionIndex() const;

    std::weak_ptr<pf::Document> m_document;
    std::shared_ptr<PhotoToolChain> m_toolChain;
    QPointer<pf::View> m_controlsView;
    QPointer<pf::View> m_informationView;
    QPointer<pf::View> m_introduction;
    QPointer<OVMultiSwitch> m_toolSwitch;
    QPointer<OVImageView> m_pictoClick;
    QPointer<OVImageView> m_pictoBrushMagic;
    QPointer<OVImageView> m_pictoBrush;
    QPointer<OVImageView> m_pictoEraser;
    QPointer<OVImageView> m_pictoColor;
    QPointer<OVImageView> m_pictoPattern;
    QPointer<OVButton> m_closeButton;
    QPointer<GMPanelLabel> m_displayName;
    QPointer<ColorPicker> m_colorPicker;
    QPointer<PatternPicker> m_patternPicker;
    QPointer<GMSlider> m_brushSizeSlider;
    QPointer<GMSlider> m_brushSmoothnessSlider;
    QPointer<OVImageView> m_brushSizeImage;
    QPointer<OVImageView> m_brushSmoothnessImage;
    QPointer<GMPanelLabel> m_brushText;
    QPointer<GMPanelLabel> m_description;
    QPointer<OVHoverView> m_hideIcon;
    QPointer<OVImageView> m_toolIcon;
    QPointer<EffectIntensity> m_effectIntensity;
    QPointer<OVInfoHoverButton> m_infoButton;

    unsigned m_toolState = 2;
    unsigned m_oldToolState = 0;
    bool m_alternateKeyPressed = false;
    bool m_allowFilterHiding = false;
    std::shared_ptr<pf::Timer> m_smoothnessTimer;
    GMSettingsDelegate* m_delegate = nullptr;
    double m_pictoFromLeft = 0, m_pictoFromTop = 0;
    double m_displayNameX = 0, m_displayNameShift = 0;
    pf::Rect m_displayNameFrame;
    // The layer whose colour the user is changing, until the final report of the change has gone out.
    std::weak_ptr<PhotoTool> m_colorTool;
    bool m_colorChangeOpen = false;
};
