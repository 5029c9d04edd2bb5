#pragma once

#include "Classes/Framework/Toolkit/OV3DLayer.h"
#include "Platform/UI/LayerHostView.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

namespace pf {
class LayerForView;
class TrackingArea;
} // namespace pf

// A view whose subviews live in 3D: each subview is shown live in a layer of one perspective layer
// (layer3D), so the transforms a controller gives those layers (a turn about the vertical axis, a step in
// depth) are seen through one camera. The subviews are drawn offscreen and redrawn where they repaint.
//
// Because the window knows nothing of those transforms, the view does its own event handling: its hit
// test looks through the transforms (the rearmost subview that answers wins, so a view laid over another
// does not take its clicks), presses, drags and releases go to the view under the pointer on the turned
// surface with its click count, entering, moving and leaving are synthesised for hovering, and wheel
// events go to the pressed-or-hit view's chain (else nowhere). Plain Qt widgets inside a subview (a
// scroll area's bars and viewport) receive Qt events at the mapped point; what they leave goes to the
// views around them. Cursors and tooltips the subviews ask for show over their place on the surface.
//
// Subviews join with this class's addSubview(); they then are windows of their own that are never shown,
// so their window() is null. Each entry into a window posts "3DViewActive" with the view as sender.
class OV3DView : public pf::LayerHostView
{
    Q_OBJECT

public:
    static inline const QString kActiveNotification = QStringLiteral("3DViewActive");

    explicit OV3DView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OV3DView() override;

    OV3DLayer* layer3D() const { return m_layer3D.get(); }
    double depthFactor() const { return m_layer3D->depthFactor(); }
    void setDepthFactor(double depthFactor) { m_layer3D->setDepthFactor(depthFactor); }
    double fov() const { return m_layer3D->fov(); }
    void setFov(double degrees) { m_layer3D->setFov(degrees); }
    double focalLength() const { return m_layer3D->focalLength(); }
    void setFocalLength(double millimetres) { m_layer3D->setFocalLength(millimetres); }

    // Hosts `view` (its frame is in this view's coordinates) in front of the others, or above or below
    // `relativeTo` (in front of or behind all when that is not hosted here). The view is owned from then
    // on.
    void addSubview(pf::View* view);
    void addSubview(pf::View* view, Ordering place, pf::View* relativeTo);
    // The hosted subviews, back to front.
    QList<pf::View*> hostedSubviews() const;
    // The layer showing a hosted subview, for its transform; null for other views.
    std::shared_ptr<pf::Layer> layerForSubview(const pf::View* view) const;

    // The view that receives the forwarded mouse events, set by a hit test that answers this view.
    pf::View* forwardView() const;
    // The view the pointer hovers.
    pf::View* lastHitView() const;
    // The view a hover at `pointInSuperview` would reach (a hit test that does not set forwardView).
    pf::View* hoveredViewAt(pf::Point pointInSuperview);

    pf::View* hitTest(pf::Point pointInSuperview) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;
    void viewDidMoveToWindow() override;
    void updateTrackingAreas() override;

    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    void rightMouseDown(const pf::Event& event) override;
    void rightMouseDragged(const pf::Event& event) override;
    void rightMouseUp(const pf::Event& event) override;
    void otherMouseDown(const pf::Event& event) override;
    void otherMouseDragged(const pf::Event& event) override;
    void otherMouseUp(const pf::Event& event) override;
    void mouseMoved(const pf::Event& event) override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void scrollWheel(const pf::Event& event) override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Hosted
    {
        QPointer<pf::View> view;
        std::shared_ptr<pf::LayerForView> layer;
    };
    // Where a point of this view lands in a hosted subview's own window: y-up from its lower left.
    struct Landing
    {
        const Hosted* hosted = nullptr;
        pf::Point base;
    };

    Landing land(pf::Point pointInView, const Hosted& hosted) const;
    Landing landFor(pf::Point pointInView, const QWidget* widget) const;
    // The widget under a point of this view: a view, or a plain Qt widget with no view between it and
    // the view that hit testing found.
    QWidget* locate(pf::Point pointInView, pf::View** hitView);
    QWidget* refine(pf::View* hit, pf::Point base) const;
    pf::Point pointFromSuperview(pf::Point point) const;

    // Forwards a button event to the forward view; false when there is none or forwarding is under way.
    bool forwardButton(const pf::Event& event);
    void forwardMouseEvent(const pf::Event& event, QWidget* target, pf::EventType type);
    void forwardEnterExitEvent(const pf::Event& event, pf::View* target, pf::EventType type);
    void updateMouseHoverEvent(const pf::Event& event, QWidget* target);
    void updateCursor(QWidget* hovered);
    pf::View* sendMouseToWidget(const pf::Event& event, QWidget* widget, pf::Point base, pf::EventType type);
    // Sends a Qt event to a plain widget; what it and the plain widgets around it leave is caught before
    // it reaches a view, and that view is returned.
    pf::View* sendToWidget(QWidget* widget, QEvent& event);
    void host(pf::View* view, const pf::Layer* neighbour, bool above);

    std::shared_ptr<OV3DLayer> m_layer3D;
    std::vector<Hosted> m_hosted;
    QPointer<QWidget> m_forward;       // a view, or a plain widget that took the press
    QPointer<pf::View> m_lastHit;      // the hovered view
    QPointer<QWidget> m_lastHitWidget; // the hovered plain widget, if any
    // The last point a forwarded event could be mapped to, and for which widget: where a press that is
    // dragged beyond the surface's horizon goes on and ends.
    QPointer<QWidget> m_lastLandedTarget;
    pf::Point m_lastLandedBase;
    pf::TrackingArea* m_trackingArea = nullptr;
    bool m_activeForwarding = false;
    bool m_testingMovement = false;
    bool m_guardingWidgets = false;
    QPointer<pf::View> m_caughtBy;
};
