#pragma once

#include "Classes/Editor/OVDrawSender.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/UI/LayerHostView.h"

#include <functional>
#include <memory>

class OVFrameShadowLayer;
class OVScroller;
class OVZoomViewDelegate;
namespace pf {
class Layer;
class Timer;
class TrackingArea;
} // namespace pf

// The canvas of the editor window: shows the photo magnified and panned inside a margin, with overlay
// scrollers while it moves, an inner shadow along the sides where the photo goes on beyond the view,
// and a border. It draws nothing of the photo itself: it sizes and places two layers, the zoom layer
// (for the preview image the window controller puts there) and the content layer above it (the live
// renderer's target), and tells its delegate which normalised part of the photo is visible and whether
// the change is still going on ("preview") or has settled. As a draw sender it reports mouse strokes
// normalised to that visible part.
//
// Zoom factor 1 shows the whole photo fitted, 0 the strongest magnification: four times the photo's
// pixel size. Wheel events pan by a screen distance (a classic wheel stays on the photo; a touchpad may
// pull past its edges and the photo snaps back once input stops); wheel events with Command, Option or
// Control, or while a stroke blocks scrolling, go up the responder chain instead. Gestures zoom about
// the pointer. Main thread only.
class OVZoomView : public pf::LayerHostView, public OVDrawSender
{
    Q_OBJECT

public:
    // Makes the border layer; none for no border.
    using BorderFactory = std::function<std::shared_ptr<pf::Layer>()>;

    explicit OVZoomView(const pf::Rect& frame, BorderFactory border = nullptr, QWidget* parent = nullptr);
    ~OVZoomView() override;

    // The user default that hides the scrollers once the view rests ("YES" unless the user set it).
    static const QString autohideScrollerKey;
    static constexpr double scrollerThickness = 11;
    static constexpr double innerShadowWidth = 20;

    double zoomFactor() const { return m_zoomFactor; }
    // Stores at least 0.00001 and lays out.
    void setZoomFactor(double zoomFactor);
    // A final change (preview false) ends the preview and snaps the photo back into place; `animated`
    // is accepted and has no effect.
    void setZoomFactor(double zoomFactor, bool animated, bool preview);
    // The magnification of the fitted photo relative to its pixel size, a quarter of it, at most 1.
    double minZoomFactor() const;
    // Zooms keeping the photo point under `anchor` (a point of this view) where it is: the pointer's
    // place for the wheel and gestures. Keys zoom about the middle of the visible part instead.
    void setZoomFactor(double zoomFactor, pf::Point anchor, bool preview);
    // The zoom factor that shows one photo pixel on one screen pixel; 1 (fitted) for a photo that
    // fits whole at that size.
    double actualSizeZoomFactor() const;
    // The normalised photo point shown at a point of this view (outside 0..1 beyond the photo).
    pf::Point photoPointAt(pf::Point viewPoint) const;
    // A wheel notch pans this many screen pixels, whatever the magnification.
    static constexpr double wheelNotchDistance = 48;

    pf::Point scrollCenter() const { return m_scrollCenter; }
    void setScrollCenter(pf::Point center);
    pf::Size imageSize() const { return m_imageSize; }
    void setImageSize(pf::Size size);
    pf::Size margin() const { return m_margin; }
    void setMargin(pf::Size margin);
    // The visible part of the photo, normalised.
    pf::Rect editRect() const { return m_editRect; }

    const std::shared_ptr<pf::Layer>& zoomLayer() const { return m_zoomLayer; }
    const std::shared_ptr<pf::Layer>& contentLayer() const { return m_contentLayer; }
    const std::shared_ptr<pf::Layer>& borderLayer() const { return m_border; }
    const std::shared_ptr<OVFrameShadowLayer>& innerShadow() const { return m_innerShadow; }
    OVScroller* horizontalScroller() const { return m_horizontalScroller; }
    OVScroller* verticalScroller() const { return m_verticalScroller; }

    bool previewActive() const { return m_previewActive; }
    // A change is reported to the delegate with the current visible part.
    void setPreviewActive(bool active);
    bool alwaysElastic() const { return m_alwaysElastic; }
    void setAlwaysElastic(bool elastic) { m_alwaysElastic = elastic; }
    bool blockScrolling() const { return m_blockScrolling; }
    void setBlockScrolling(bool block) { m_blockScrolling = block; }
    bool gestureActive() const { return m_gestureActive; }

    // OVDrawSender
    bool drawSenderActive() const override { return m_drawSenderActive; }
    void setDrawSenderActive(bool active) override;

    // Not owned; clear it before the delegate goes.
    OVZoomViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVZoomViewDelegate* delegate) { m_delegate = delegate; }

    // Places the layers, scrollers and shadow for the current zoom, centre, margin and size.
    void updateZoomRect();
    // Moves a photo pulled past its edges (or zoomed beyond 0..1) back into place; true when it did.
    bool activateZoomBounceAnimationIfNeeded();
    void showScroller();
    // Fades the scrollers out, unless the user keeps them.
    void hideScroller();
    // A point of the zoom layer normalised to the visible part of the photo.
    pf::Point brushLocationFor(pf::Point zoomLayerPoint) const;

    void magnifyWithEvent(const pf::Event& event);
    void beginGestureWithEvent(const pf::Event& event);
    void endGestureWithEvent(const pf::Event& event);

    void scrollWheel(const pf::Event& event) override;
    void magnify(const pf::Event& event) override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void updateTrackingAreas() override;
    void resizeWithOldSuperviewSize(pf::Size oldSuperviewSize) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;

protected:
    void cursorStateDidChange(int state) override;

private:
    enum class Stroke
    {
        Down,
        Dragged,
        Up,
    };
    void sendStroke(const pf::Event& event, Stroke stroke);
    void restartInputTimer(double interval);
    void inputTimeOut();
    void scrollerDidScroll();
    void scrollingTimedOut();
    void placeScrollers(const pf::Rect& frame);
    void stopScrollerFade();

    std::shared_ptr<pf::Layer> m_zoomLayer, m_contentLayer, m_border;
    std::shared_ptr<OVFrameShadowLayer> m_innerShadow;
    OVScroller* m_horizontalScroller = nullptr;
    OVScroller* m_verticalScroller = nullptr;
    pf::Size m_imageSize;
    pf::Point m_scrollCenter{0.5, 0.5};
    pf::Size m_margin;
    pf::Rect m_editRect{0, 0, 1, 1};
    bool m_drawSenderActive = false;
    bool m_gestureActive = false;
    bool m_previewActive = false;
    bool m_alwaysElastic = false;
    bool m_blockScrolling = false;
    bool m_settingScrollers = false;
    double m_zoomFactor = 1.0;
    std::shared_ptr<pf::Timer> m_inputTimer, m_hideScrollerTimer, m_scrollingTimer, m_scrollerFade;
    pf::TrackingArea* m_trackingArea = nullptr;
    OVZoomViewDelegate* m_delegate = nullptr;
};
