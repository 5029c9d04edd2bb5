#pragma once

#include "Classes/Editor/OVDrawSender.h"
#include "Classes/Editor/OVKeyboardWatcherDelegate.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/UI/View.h"

#include <QImage>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class OVLoupeTorusLayer;
class OVLoupeViewDelegate;
namespace pf {
class Layer;
class LayerHostView;
class TrackingArea;
class Window;
} // namespace pf

// The magnifying loupe of the editor window. It rests small in a corner (docked); the user carries it by
// its rim onto the picture, where it grows to full size and shows the picture under it magnified, live
// from the renderer's "loupe" channel. Strokes inside the glass are reported like the canvas's, and the
// ratio knob on the rim chooses 0.5, 1, 2 or 4 picture pixels per point of the glass.
//
// The view draws nothing: every visual is a layer of `loupeLayer`, which lives in an overlay window over
// the whole content area (ignoring the mouse), so that the loupe floats above every view, panels
// included. The view only takes the presses at its frame, within the circle of the loupe. The loupe's
// superview and the overlay's layers share one coordinate space (the window's content).
//
// States: 0 hidden (the layers shown in 3D), 1 docked, 2 carried beside the picture, 3 carried over it,
// 4 placed over the picture (its channel not yet visible), 5 live.
class OVLoupeView : public pf::View, public OVDrawSender, public OVKeyboardWatcherDelegate
{
    Q_OBJECT

public:
    // The needle's rotation at knob step 0 and at step 3, in radians.
    static constexpr double knobAngleMin = -119.0 / 180 * 3.141592653589793;
    static constexpr double knobAngleMax = -19.0 / 180 * 3.141592653589793;

    // Every image the loupe loads by name.
    static QStringList imageNames();

    explicit OVLoupeView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVLoupeView() override;

    int loupeState() const { return m_loupeState; }
    // Entering 4 computes the part of the picture under the glass and reports the loupe activated;
    // leaving 4 or 5 for another state reports it deactivated. The current state again does nothing.
    void setLoupeState(int state);
    // Over the picture: states 3, 4 and 5.
    bool overImage() const { return m_loupeState >= 3 && m_loupeState <= 5; }

    pf::Size zoomSize() const { return m_orgPicSize; }
    void setZoomSize(pf::Size size) { m_orgPicSize = size; }
    // The knob step 0 to 3 for 0.5, 1, 2 or 4 picture pixels per point of the glass. What the user sees is
    // the inverse: the rim labels the steps 2x, 1x, 1/2x and 1/4x the photo's size on screen.
    int zoomFactor() const;
    void setZoomFactor(int step);
    double picturePixelsPerPoint() const { return m_zoomFactor; }
    double scale() const { return m_scale; }
    void setScale(double scale);
    double smallScale() const { return m_smallScale; }

    // The part of the picture under the glass, normalised: what the glass shows of the photo, and what its
    // render channel renders (always within the photo).
    pf::Rect editRect() const { return m_editRect; }
    // The whole area under the glass, normalised to the photo; near an edge it reaches past the photo.
    pf::Rect viewRect() const { return m_viewRect; }
    // The docked frame.
    pf::Rect orgFrame() const { return m_orgFrame; }
    // The displayed picture in the superview, as read at the last carry or edit rect.
    pf::Rect fotoLayerRect() const { return m_fotoLayerRect; }
    double maxZoom() const { return m_maxZoom; }
    // The window's picture taken for the carry, in points.
    pf::Size screenshotSize() const { return m_screenshotSize; }
    pf::Size glassSize() const { return m_glassSize; }
    // What the current press does: 0 nothing (passed on), 1 turns the knob, 2 carries, 3 paints.
    int loupeActivity() const { return m_loupeActivity; }

    const std::shared_ptr<pf::Layer>& loupeLayer() const { return m_loupeLayer; }
    // The live "loupe" channel draws here.
    const std::shared_ptr<pf::Layer>& contentLayer() const { return m_contentLayer; }
    // The owner puts the preview of the picture here; it shows the edit rect of it.
    const std::shared_ptr<pf::Layer>& zoomLayer() const { return m_zoomLayer; }
    const std::shared_ptr<pf::Layer>& screenshotLayer() const { return m_screenshotLayer; }
    const std::shared_ptr<pf::Layer>& imageLayer() const { return m_imageLayer; }
    const std::shared_ptr<pf::Layer>& glassLayer() const { return m_glassLayer; }
    const std::shared_ptr<pf::Layer>& needleLayer() const { return m_needleLayer; }
    const std::shared_ptr<pf::Layer>& torusLayer() const { return m_torusLayer; }
    // The shadow the lifted loupe casts: a picture blurred once, shown (opacity 1) or not (0). It stands in
    // for a shadow of the loupe layer, which the layer tree would compose and blur anew at every step of a
    // carry.
    const std::shared_ptr<pf::Layer>& shadowLayer() const { return m_shadowLayer; }
    // The part of the screenshot the torus shows (normalised, y-up).
    pf::Rect torusSourceRect() const;
    pf::Window* attachedWindow() const { return m_attachedWindow; }

    // The view's frame around the loupe where it lies, and the edit rect again; the owner calls it when
    // the canvas's display changed while the loupe takes the strokes.
    void updateLoupe();

    // Where the window's picture for a carry comes from (the window's snapshot by default; tests).
    void setScreenshotSource(std::function<QImage()> source) { m_screenshotSource = std::move(source); }

    // OVDrawSender
    bool drawSenderActive() const override { return m_drawSenderActive; }
    void setDrawSenderActive(bool active) override;

    // OVKeyboardWatcherDelegate: never takes a key; over the picture Shift held alone hides the loupe.
    bool keyboardKeyDownEvent(const pf::Event& event) override;
    void keyboardFlagsChangedEvent(const pf::Event& event) override;

    // What the rim's scale means, told as its tooltip while the loupe lies on the picture: the steps count
    // the photo's own pixels, which on a large photo is many times what the canvas shows.
    QString scaleToolTip() const;
    // Whether a point of the view lies on the rim's scale (the knob and its marks).
    bool isOnScale(pf::Point inView) const;

    // The wheel and gestures belong to the canvas: they go to the delegate.
    void scrollWheel(const pf::Event& event) override;
    void magnify(const pf::Event& event) override;
    void beginGestureWithEvent(const pf::Event& event);
    void endGestureWithEvent(const pf::Event& event);

    // Hiding also fades the loupe's layers out, showing fades them in.
    void setVisible(bool visible) override;
    // Hidden, or fading out while the press under way ends.
    bool isLoupeHidden() const { return isHidden() || m_hideAfterPress; }
    // Only within the loupe's circle.
    pf::View* hitTest(pf::Point pointInSuperview) override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    void mouseEntered(const pf::Event& event) override;
    void mouseMoved(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void updateTrackingAreas() override;
    void resizeWithOldSuperviewSize(pf::Size oldSuperviewSize) override;
    void viewWillMoveToWindow(pf::Window* window) override;
    void viewDidMoveToWindow() override;

    // Not owned; clear it before the delegate goes.
    OVLoupeViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVLoupeViewDelegate* delegate) { m_delegate = delegate; }

protected:
    void cursorStateDidChange(int state) override;
    bool event(QEvent* event) override;

private:
    // Where the loupe and its shadow show in the overlay now.
    pf::Rect drawnExtent() const;

    void updateEditRect();
    // Puts the carried or placed loupe's middle over the middle of the part it shows, where the photo lies
    // now.
    void placeOverItsPart();
    void updateContentRect();
    void updateCursorForLocation(pf::Point inView);
    // A point of the content layer normalised to it.
    pf::Point brushLocationFor(pf::Point inContentLayer) const;
    std::shared_ptr<pf::Layer> maskLayer() const;
    void takeScreenshot();
    // Back in the dock: the window's picture goes, and the glass shows the middle of the photo again.
    void forgetScreenshot();
    // Put down with its middle off the photo or past the window's edge: moved in until it is over both.
    void slideIntoSight();
    void readPictureFrame();
    // A picture to place the loupe on: its size and its frame on screen known and not empty.
    bool hasPicture() const;
    // The state while carried at the loupe's position now: 3 over the picture, else 2.
    int carryState() const;
    pf::Point inSuperlayer(const pf::Event& event) const;
    void setNeedleAngle(double radians);
    double stepAngle(int step) const;
    void attachToWindow(pf::Window* window);
    void detachFromWindow();

    pf::Rect m_orgFrame;
    int m_loupeActivity = 0;
    double m_smallScale = 1;
    double m_scale = 1;
    double m_maxZoom = 0;
    double m_zoomFactor = 1;
    pf::Size m_screenshotSize;
    pf::Size m_glassSize;
    pf::Size m_orgPicSize;
    pf::Rect m_fotoLayerRect;
    pf::Rect m_editRect{0, 0, 1, 1};
    pf::Rect m_viewRect{0, 0, 1, 1};
    pf::Size m_placedInRoom; // the superview's size when the part was last chosen
    pf::Rect m_activationRect{0, 0, 1, 1};
    std::shared_ptr<pf::Layer> m_loupeLayer, m_contentLayer, m_zoomLayer, m_screenshotLayer, m_imageLayer,
        m_glassLayer, m_needleLayer;
    std::shared_ptr<OVLoupeTorusLayer> m_torus;
    std::shared_ptr<pf::Layer> m_torusLayer;
    std::shared_ptr<pf::Layer> m_shadowLayer;
    std::shared_ptr<pf::Layer> m_glassHolder; // masked: the zoom, screenshot and content layers
    pf::Point m_lastPoint;
    QPointer<pf::Window> m_attachedWindow;
    pf::LayerHostView* m_host = nullptr;
    pf::ObserverToken m_resizeObserver;
    pf::TrackingArea* m_trackingArea = nullptr;
    bool m_drawSenderActive = false;
    bool m_hideAfterPress = false;
    int m_loupeState = 1;
    OVLoupeViewDelegate* m_delegate = nullptr;
    std::function<QImage()> m_screenshotSource;
};
