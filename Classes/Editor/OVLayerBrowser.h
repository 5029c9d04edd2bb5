#pragma once

#include "Classes/Editor/OV3DLayerView.h"
#include "Classes/Editor/OVStepScroller.h"
#include "Classes/Editor/OVStepScrollerDelegate.h"
#include "Classes/Framework/Toolkit/OV3DLayer.h"
#include "Classes/Framework/Toolkit/OVArrowView.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVButtonTarget.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/AnimationDelegate.h"
#include "Platform/UI/Transform3D.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class OVLayerBrowserDelegate;

namespace pf {
class Layer;
class Timer;
class TrackingArea;
} // namespace pf

// The stack of effect layers of the open picture: one image layer with a border layer per layer of the
// chain (layer 0: the background, the untouched photo), in a perspective layer that spreads over the
// whole window. In 2D the layers lie exactly over the picture, and once a switch to 2D has arrived they
// are hidden (unless showLayersIn2D) so that the canvas beneath shows; in 3D they fan out sideways like
// cards, the selected layer's border lit. A step scroller under the stack has one named step per layer
// (the background at the right). Hovering a step that can give its mask to the selected layer offers a
// "Copy" button over it; clicking it asks the delegate to copy the mask and flies a picture of the knob
// from the button into it.
//
// The browser knows nothing of photo tools: the window controller fills it with names and images
// (the layers' contents), gives it the picture's frame (setLayerFrame) and hears from it through
// OVLayerBrowserDelegate.
class OVLayerBrowser : public OVImageView,
                       public OVStepScrollerDelegate,
                       public OVButtonTarget,
                       public pf::AnimationDelegate
{
    Q_OBJECT

public:
    enum State : int
    {
        In2D = 0,
        GoingTo2D = 1,
        In3D = 2,
        GoingTo3D = 3,
    };
    // Makes a border layer (the window controller's paper frame); none given: plain layers.
    using BorderFactory = std::function<std::shared_ptr<pf::Layer>()>;

    static constexpr double kMaxSpacing = 80.0;
    static constexpr double kSwitchDuration = 1.0;
    static constexpr double kSlowSwitchDuration = 10.0;
    // The cards' turn about the vertical axis in 3D (-75 degrees).
    static constexpr double kCardTurn = -1.3089969158172607;
    // Cards in 3D are shown a little smaller than the photo in 2D: turned, the near edge of a card the
    // size of the canvas would reach past the view's top and right edges.
    static constexpr double kCardScale = 0.82;
    // Room kept between the near edge of every card and the top of the window: a card that would come
    // closer is shown smaller still.
    static constexpr double kTopClearance = 24.0;
    // A card's turn in 3D, with its scale.
    static pf::Transform3D cardTransform(double scale = kCardScale);
    // The scale of the cards of the last 3D layout.
    double cardScale() const { return m_cardScale; }
    static constexpr double kPasteButtonDelay = 0.2;
    static constexpr double kPasteButtonLeaveDelay = 0.3;
    static constexpr double kFlightDuration = 0.6;

    explicit OVLayerBrowser(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVLayerBrowser() override;

    // Layers ------------------------------------------------------------------------------------------
    // A new image layer at `index`, named for the step scroller; it becomes the selected layer.
    void insertLayerWithName(const QString& name, qint64 index);
    void insertLayer(const std::shared_ptr<pf::Layer>& layer, const QString& name, qint64 index);
    // An index without a layer is refused with a warning.
    void removeLayerAtIndex(qint64 index);
    void removeAllLayers();
    const std::vector<std::shared_ptr<pf::Layer>>& layers() const { return m_layers; }
    const std::vector<std::shared_ptr<pf::Layer>>& borders() const { return m_borders; }
    // The image layers' frame in 2D (in the container's coordinates when set; kept in the 3D layer's),
    // and that frame grown by the margin for the borders.
    pf::Rect layerFrame() const { return m_layerFrame; }
    void setLayerFrame(const pf::Rect& rectInContainer);
    pf::Rect borderFrame() const { return m_borderFrame; }
    double margin() const { return m_margin; }
    void setMargin(double margin);
    pf::Size imageSize() const { return m_imageSize; }
    void setImageSize(pf::Size size) { m_imageSize = size; }
    BorderFactory borderClass() const { return m_borderClass; }
    void setBorderClass(BorderFactory factory) { m_borderClass = std::move(factory); }
    bool showLayersIn2D() const { return m_showLayersIn2D; }
    void setShowLayersIn2D(bool flag) { m_showLayersIn2D = flag; }

    // Selection, hover and the switch ------------------------------------------------------------------
    qint64 selectionIndex() const { return m_selectionIndex; }
    void setSelectionIndex(qint64 index);
    qint64 hoverIndex() const { return m_hoverIndex; }
    // The layer under a point of the window (base coordinates) as the stack is seen now; -1 for none.
    qint64 layerIndexAtPoint(pf::Point pointInWindow) const;
    bool show3DView() const { return m_state == In3D || m_state == GoingTo3D; }
    void setShow3DView(bool show);
    int state() const { return m_state; }
    void updateView(bool animated);
    void update3DView(bool animated);
    void update2DView(bool animated);
    // Horizontal room kept free at either side of the fan.
    double left3DMargin() const { return m_left3DMargin; }
    double right3DMargin() const { return m_right3DMargin; }

    // The container ------------------------------------------------------------------------------------
    // Adds a view (the canvas) to the container the layers lie over.
    void addControlView(pf::View* view);
    pf::Size maxControlViewSize() const;
    // The perspective layer the stack lies in (it shows the window's background behind the fan).
    std::shared_ptr<OV3DLayer> backgroundLayer() const;
    OV3DLayerView* layerContainer() const { return m_layerContainer; }
    OVStepScroller* layerScroller() const { return m_layerScroller; }
    OVButton* copyMaskButton() const { return m_copyMaskButton; }
    OVArrowView* arrowView() const { return m_arrowView; }

    // The copy of a mask -------------------------------------------------------------------------------
    bool isPasteButtonShown() const;
    qint64 pasteIndex() const { return m_pasteIndex; }
    bool forceVisible() const { return m_forceVisible; }
    bool hoveringPasteButton() const { return m_hoveringPasteButton; }
    bool hoveringStepScroller() const { return m_hoveringStepScroller; }
    // The knob pictures still flying to the button.
    const std::vector<std::shared_ptr<pf::Layer>>& animatedViews() const { return m_animatedView; }
    void interactionButtonClicked();
    void removePasteButtonTimed();

    OVLayerBrowserDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVLayerBrowserDelegate* delegate) { m_delegate = delegate; }

    // From the step scroller, the copy button and the flights.
    void scrollerDidChangeIndex(OVStepScroller* scroller, int index) override;
    void scrollerDidChangeHover(OVStepScroller* scroller, qint64 index) override;
    void buttonHovered(OVButton* button, bool hovered) override;
    void animationDidStop(const pf::Animation& animation, bool finished) override;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;
    void viewDidMoveToWindow() override;
    void mouseMoved(const pf::Event& event) override;
    void mouseDown(const pf::Event& event) override;
    void scrollWheel(const pf::Event& event) override;

signals:
    // The browser's frame changed (its size or its place).
    void frameChanged();

protected:
    void moveEvent(QMoveEvent* event) override;

private:
    // Shrinks the cards of the 3D layout until the near edge of each keeps kTopClearance below the top.
    void fitCardsBelowTheTop();
    void setHoverIndex(qint64 index);
    void startHoverTracking();
    void stopHoverTracking();
    // Opens the transaction of a switch (at once, or animated) that ends in arrivedIn3DView or
    // arrivedIn2DView, and tells the delegate a switch that way begins.
    // False when the delegate, told of the switch, deleted the browser.
    bool beginSwitch(bool animated, bool to3D);
    void arrivedIn3DView();
    void arrivedIn2DView();
    void update3DMargins();
    void hidePasteButton();
    void schedulePasteButtonRemoval(double delay);
    double switchDuration() const;
    pf::Point containerOriginInLayer3D() const;

    QPointer<OV3DLayerView> m_layerContainer;
    QPointer<OVStepScroller> m_layerScroller;
    QPointer<OVButton> m_copyMaskButton;
    QPointer<OVArrowView> m_arrowView;
    qint64 m_selectionIndex = 0;
    double m_cardScale = kCardScale;
    std::vector<std::shared_ptr<pf::Layer>> m_layers;
    std::vector<std::shared_ptr<pf::Layer>> m_borders;
    // Below the stack, so that layer i lies at sublayer 2i + 1 and its border at 2i + 2.
    std::shared_ptr<pf::Layer> m_stackBase;
    bool m_showLayersIn2D = false;
    bool m_hoveringPasteButton = false;
    bool m_hoveringStepScroller = false;
    bool m_forceVisible = false;
    qint64 m_pasteIndex = -1;
    pf::TrackingArea* m_hoverTrackingArea = nullptr;
    BorderFactory m_borderClass;
    pf::Rect m_borderFrame;
    pf::Rect m_layerFrame;
    // As given, in the container's coordinates: the 3D layer's own change when it moves into or out of a
    // window's host.
    std::optional<pf::Rect> m_layerFrameInContainer;
    pf::Size m_imageSize;
    double m_left3DMargin = 0;
    double m_right3DMargin = 0;
    std::vector<std::shared_ptr<pf::Layer>> m_animatedView;
    int m_state = In2D;
    OVLayerBrowserDelegate* m_delegate = nullptr;
    qint64 m_hoverIndex;
    double m_margin = 0;
    std::shared_ptr<pf::Timer> m_pasteButtonTimer;
    pf::ObserverToken m_commandKeyMonitor;
};
