#pragma once

#include "Classes/Framework/Toolkit/OVCursorHovering.h"
#include "Classes/Framework/Toolkit/OVShadowedTextImage.h"
#include "Classes/Framework/Toolkit/OVShadowedView.h"
#include "Classes/Framework/Toolkit/OVSkinImage.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/View.h"

#include <QFont>
#include <QPointer>
#include <QVariantMap>
#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace pf {
class Bundle;
class Timer;
class TrackingArea;
} // namespace pf

// The toolkit's skinned push button, painted by itself: a face of skin images (left cap, stretchable
// middle, right cap; one image per button state and separate sets for a switch's on state), an optional
// symbol, an optional image, and a per-state text style read from the skin. It tracks the pointer
// itself: hovering and pressing change its state, send its hint to the window's hint line, push the
// pointing hand on the window's cursor stack and, after a rest, show its tooltip; a release inside
// sends the action (a switch flips first). An owner may drive its state instead (remote control).
//
// Skins: a folder "<name>.button" among the resources (its "Info.plist" with "autoswitch" and per-state
// styles, and images "Left-", "Mid-", "Right-" with "Off-" and "On-" variants and "Symbol-" ones, each
// with the suffixes "Normal", "Disabled", "Down", "Hover" and the type ".tiff" or ".png"), else
// application images by name: the name itself as the symbol and name+"Mid", "Left", "Right" as the face.
class OVButton : public pf::View, public OVCursorHovering, public OVShadowedView
{
    Q_OBJECT

public:
    enum State : int
    {
        Disabled = 0,
        Normal = 1,
        Hover = 2,
        Down = 3,
        // A request only: performs the click and leaves the button hovered.
        Click = 6,
    };
    // Placement of the button image relative to the title, as the platform's cell has it.
    enum class ImagePosition
    {
        NoImage,
        ImageOnly,
        Left,
        Right,
        Below,
        Above,
        Overlaps,
    };
    // Text alignment codes of the skins' styles.
    enum Alignment : int
    {
        AlignLeft = 0,
        AlignRight = 1,
        AlignCenter = 2,
        AlignJustified = 3,
        AlignNatural = 4,
    };
    struct Padding
    {
        double top = 0, bottom = 0, left = 0, right = 0;
        bool operator==(const Padding&) const = default;
    };

    explicit OVButton(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVButton() override;

    // Skins are looked up in this bundle (the main one unless set).
    void setBundle(const pf::Bundle* bundle) { m_bundle = bundle; }
    const pf::Bundle& bundle() const;

    QString name() const { return m_name; }
    void setName(const QString& name);
    QString symbolName() const { return m_symbolName; }
    void setSymbolName(const QString& name);
    // The "Info.plist" of the last skin folder loaded (nothing when it had none).
    std::optional<QVariantMap> buttonInfo() const { return m_buttonInfo; }

    // The title, translated through the "Controls" table when set.
    QString title() const { return m_title; }
    void setTitle(const QString& title);
    QFont font() const { return m_font; }
    void setFont(const QFont& font);
    int alignment() const { return m_alignment; }
    void setAlignment(int alignment);
    pf::AttributedString::LineBreak lineBreakMode() const { return m_lineBreak; }
    void setLineBreakMode(pf::AttributedString::LineBreak mode);
    QImage image() const { return m_image; }
    void setImage(const QImage& image);
    ImagePosition imagePosition() const { return m_imagePosition; }
    void setImagePosition(ImagePosition position);
    int imageAlignment() const { return m_imageAlignment; }
    void setImageAlignment(int alignment);

    pf::PaintColor textColor() const { return m_textColor; }
    void setTextColor(const pf::PaintColor& color) override;
    void setTextColorName(const QString& text);
    std::optional<pf::Shadow> textShadow() const { return m_textShadow; }
    void setTextShadow(const std::optional<pf::Shadow>& shadow) { m_textShadow = shadow; }
    // Per state: name, name+"Disabled", name+"Down" and name+"Hover" where the catalog has them.
    void setTextShadowName(const QString& name);
    std::array<QString, 4> shadowNames() const { return m_shadowNames; }
    bool noScaling() const { return m_noScaling; }
    void setNoScaling(bool flag);
    double textMargin() const { return m_textMargin; }
    double textOffsetY() const { return m_textOffsetY; }
    Padding padding() const { return m_padding; }
    // Until the next style update (a state change reads the skin's padding again).
    void setPadding(const Padding& padding) { m_padding = padding; }

    // The button state (0 to 3) and requests for one (0 to 3, or 6 to click).
    int buttonState() const { return m_buttonState; }
    virtual void setButtonState(int request);
    // The switch state; the button returns to normal unless hovered.
    bool state() const { return m_on; }
    void setState(bool on);
    bool isSwitchButton() const { return m_isSwitchButton; }
    void setIsSwitchButton(bool flag) { m_isSwitchButton = flag; }
    bool isHovered() const { return m_isHovered; }

    QString hint() const { return m_hint; }
    void setHint(const QString& hint) { m_hint = hint; }
    // Tooltips shown after a rest, translated through the default table; one for the disabled button.
    QString toolTip() const { return m_toolTip; }
    void setToolTip(const QString& text);
    QString disabledToolTip() const { return m_disabledToolTip; }
    void setDisabledToolTip(const QString& text);
    // The tooltip stands above the pointer instead of hanging below it (a bar over captions).
    bool toolTipAbove() const { return m_toolTipAbove; }
    void setToolTipAbove(bool above) { m_toolTipAbove = above; }
    bool disableTracking() const { return m_disableTracking; }
    void setDisableTracking(bool flag) { m_disableTracking = flag; }
    bool isRemoteControlled() const override { return m_isRemoteControlled; }
    void setIsRemoteControlled(bool flag) override;

    // The action, sent once per click, and who hears hover changes.
    void setAction(std::function<void(OVButton*)> action) { m_action = std::move(action); }
    void setTarget(QObject* target) { m_target = target; }
    // Sends the action now, the button as sender (subclasses with their own mouse handling). The action
    // may delete the button (a copy of it runs, so it may also replace itself): callers guard `this`.
    void sendAction()
    {
        if (!m_action)
            return;
        const std::function<void(OVButton*)> action = m_action;
        action(this);
    }
    QObject* target() const { return m_target; }

    // Image sets (for tests and subclasses).
    const OVImageSet& midImages(bool on) const { return on ? m_midOn : m_midOff; }
    const OVImageSet& leftImages(bool on) const { return on ? m_leftOn : m_leftOff; }
    const OVImageSet& rightImages(bool on) const { return on ? m_rightOn : m_rightOff; }
    const OVImageSet& symbolImages(bool on) const { return on ? m_symbolOn : m_symbolOff; }

    // The title as drawn: alignment, line breaking, shadow, font and colour (dimmed when disabled).
    pf::AttributedString stringWithFieldAttributes() const;
    // The button image's rectangle inside `rect`; the null rectangle without an image.
    pf::Rect imageRectIn(const pf::Rect& rect) const;
    pf::Size intrinsicContentSize() const;
    QSize sizeHint() const override;
    QString description() const;

    // Loading steps, also for subclasses.
    void loadButtonInDirectory(const QStringList& folders);
    void loadSymbolsInDirectory(const QStringList& folders);
    void updateButtonState();

    std::optional<pf::Shadow> viewShadow() const override { return m_viewShadow; }
    void setViewShadow(const std::optional<pf::Shadow>& shadow) override;
    bool hasTextColor() const override { return true; }

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void updateTrackingAreas() override;
    // setButtonState, telling the target of a hover that began or ended now or (`reportNow` false, for
    // a state set inside an event Qt is delivering) at the next turn.
    void applyButtonState(int request, bool reportNow);
    // Tells the target of the hover the state shows, if it has not heard it.
    void reportHover();
    void viewWillMoveToWindow(pf::Window* window) override;
    void viewWillMoveToSuperview(pf::View* superview) override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void mouseMoved(const pf::Event&) override {}
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

    // Folders of a skin or symbol resource of that name and type, in the bundle's search order.
    static QStringList resourceFolders(const pf::Bundle& bundle, const QString& name, const QString& type);

protected:
    void changeEvent(QEvent* event) override;
    // Stores the skin name without loading anything (subclasses that find their skins elsewhere).
    void storeName(const QString& name) { m_name = name; }
    // After a change of skin, text or image: the natural size may differ, so layouts ask again, and the
    // button is drawn again.
    void refitAndRedisplay()
    {
        updateGeometry();
        setNeedsDisplay();
    }

private:
    OVImageSet imagesForPath(const QStringList& folders, const QString& prefix) const;
    OVImageSet imagesForName(const QString& base) const;
    void showToolTipTimed();
    void setInsideTimer(std::shared_ptr<pf::Timer> timer);
    void scheduleTrackingRebuild();
    void leaveWindow();
    bool mouseIsInside(const pf::Event& event) const;
    QVariant key() const;
    void drawContent(QPainter& painter);
    void drawTitle(QPainter& painter, const pf::AttributedString& title, const pf::Rect& rect);

    const pf::Bundle* m_bundle = nullptr;
    QString m_name, m_symbolName, m_title;
    int m_buttonState = Normal;
    std::optional<QVariantMap> m_buttonInfo;
    OVImageSet m_midOff, m_leftOff, m_rightOff, m_midOn, m_leftOn, m_rightOn, m_symbolOff, m_symbolOn;
    pf::TrackingArea* m_trackingArea = nullptr;
    pf::PaintColor m_textColor = pf::PaintColor::calibratedWhite(1);
    std::optional<pf::Shadow> m_textShadow;
    std::optional<pf::Shadow> m_viewShadow;
    std::array<QString, 4> m_shadowNames;
    bool m_noScaling = false;
    bool m_disableTracking = false;
    bool m_isRemoteControlled = false;
    bool m_isHovered = false;
    bool m_hoverReportPending = false;
    bool m_toolTipAbove = false;
    double m_textMargin = 0;
    double m_textOffsetY = 0;
    int m_imageAlignment = 0;
    Padding m_padding;
    QString m_hint, m_toolTip, m_disabledToolTip;
    std::shared_ptr<pf::Timer> m_trackingAreaTimer;
    bool m_isSwitchButton = false;
    std::shared_ptr<pf::Timer> m_insideTimer;
    pf::ObserverToken m_insideTimerWindowObserver;

    QFont m_font;
    int m_alignment = AlignCenter;
    pf::AttributedString::LineBreak m_lineBreak = pf::AttributedString::LineBreak::TruncateTail;
    QImage m_image;
    ImagePosition m_imagePosition = ImagePosition::Overlaps;
    bool m_on = false;
    std::function<void(OVButton*)> m_action;
    QPointer<QObject> m_target;

    OVShadowedTextImage m_titleImage;
};
