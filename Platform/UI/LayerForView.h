#pragma once

#include "Platform/UI/Layer.h"

#include <QPointer>
#include <memory>

namespace pf {

class Event;
class View;

// A layer that shows a live view, so that a view can lie in a layer tree under any transform (the
// canvas among the layer browser's cards). The view is drawn offscreen into the layer's backing store,
// again in the parts it repaints, and follows the layer's size. Mouse events given to the layer in its
// own coordinates reach the view under that point, which keeps the drags and the release of a press,
// as in a window. The host of the tree finds the layer under the pointer through the inverse of the
// layers' maps (LayerHostView does).
class LayerForView : public Layer
{
public:
    // Takes the view: it leaves its superview and becomes a window of its own that is never shown on
    // screen. The layer's bounds start at the view's size.
    static std::shared_ptr<LayerForView> create(View* view);
    explicit LayerForView(View* view);
    ~LayerForView() override;

    View* view() const { return m_view; }
    // Gives the view up to another owner: the layer shows and delivers nothing from then on and no longer
    // deletes it; the view is a hidden window of its own until it is placed elsewhere.
    View* releaseView();

    void setBounds(const Rect& bounds) override;
    bool drawsContent() const override { return true; }
    void drawInContext(QPainter& painter) override;

    // Delivers a mouse or wheel event at `point` (this layer's coordinates) to the view under it.
    void deliverEvent(const Event& event, Point point);

private:
    class Watcher;
    void viewRepainted(const QRect& widgetRect);

    QPointer<View> m_view;
    std::unique_ptr<Watcher> m_watcher;
    QPointer<View> m_target; // the view that took the last press
    bool m_rendering = false;
};

} // namespace pf
