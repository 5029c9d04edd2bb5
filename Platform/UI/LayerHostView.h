#pragma once

#include "Platform/UI/LayerTreeObserver.h"
#include "Platform/UI/View.h"

#include <memory>

namespace pf {

class Layer;
class LayerForView;
class Timer;
class Window;

// A view whose content is a layer tree. Its root layer lies in the view's own (y-up) coordinates and
// fills its bounds, following their size. The view redraws what changes in the tree, and while
// animations run it draws frames on the current clock (tests step it); once they have ended it stops.
//
// Mouse and wheel events over a layer that shows a view (LayerForView) go to that view, at the point
// under the pointer on the layer however it is turned; a press keeps its drags and release. Other
// events take the usual way up the responder chain.
//
// Layers may reach beyond the view that owns them (a fan of cards turned in perspective, a loupe over
// the whole window): those go into the window's layer host, one per window, which covers the window's
// content above its views and lets the mouse through.
class LayerHostView : public View, private LayerTreeObserver
{
    Q_OBJECT

public:
    explicit LayerHostView(const Rect& frame = Rect(), QWidget* parent = nullptr);
    ~LayerHostView() override;

    const std::shared_ptr<Layer>& layer() const { return m_root; }

    // The window's host (made on first use): it fills the content view, resizes with it and lies above
    // the content view's subviews until reordered; its coordinates are the window's base coordinates.
    static LayerHostView* windowHost(Window* window);

    // Whether frames are being drawn for running animations.
    bool isAnimating() const;
    // Frames per second while animating (60 by default).
    double frameRate() const { return m_frameRate; }
    void setFrameRate(double framesPerSecond);
    // Whether the view hides itself while none of its layers can be seen (all hidden or transparent,
    // none animating) and shows again as soon as one can: a host over each of hundreds of views then
    // costs nothing to repaint while it shows nothing. Off by default.
    bool hidesWhileNothingShows() const { return m_hidesWhileNothingShows; }
    void setHidesWhileNothingShows(bool flag);

    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    void resizeSubviewsWithOldSize(Size oldSize) override;

    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;
    void rightMouseDown(const Event& event) override;
    void rightMouseDragged(const Event& event) override;
    void rightMouseUp(const Event& event) override;
    void mouseMoved(const Event& event) override;
    void scrollWheel(const Event& event) override;

protected:
    // Runs before the tree is drawn and before an event looks for the layer under it, so a subclass
    // that places its layers lazily (once for a run of changes) can place them then.
    virtual void layoutLayersIfNeeded() {}

private:
    void layerTreeDidChange(const Rect& dirty) override;
    void layerTreeDidAddAnimation() override;
    void fitRootToBounds();
    // Passes the event to the hosted view under it (or, while a press lasts, to the one that took it);
    // false when there is none.
    bool forward(const Event& event, bool press, bool release);
    void drawAnimationFrame();
    void updateShown();

    std::shared_ptr<Layer> m_root;
    std::shared_ptr<Timer> m_frameTimer;
    std::weak_ptr<LayerForView> m_pressed;
    double m_frameRate = 60;
    bool m_hidesWhileNothingShows = false;
};

} // namespace pf
