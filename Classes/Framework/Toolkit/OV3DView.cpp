#include "Classes/Framework/Toolkit/OV3DView.h"

#include "Classes/Framework/Toolkit/OVButtonEvents.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Clock.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/LayerForView.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

using pf::Event;
using pf::EventType;
using pf::Point;
using pf::Rect;
using pf::View;

namespace {

Qt::MouseButton qtButton(int buttonNumber)
{
    return buttonNumber == 0 ? Qt::LeftButton : buttonNumber == 1 ? Qt::RightButton : Qt::MiddleButton;
}

QEvent::Type qtMouseType(EventType type)
{
    switch (type) {
    case EventType::LeftMouseDown:
    case EventType::RightMouseDown:
    case EventType::OtherMouseDown:
        return QEvent::MouseButtonPress;
    case EventType::LeftMouseUp:
    case EventType::RightMouseUp:
    case EventType::OtherMouseUp:
        return QEvent::MouseButtonRelease;
    default:
        return QEvent::MouseMove;
    }
}

bool isPointerEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::Enter:
    case QEvent::Leave:
        return true;
    default:
        return false;
    }
}

View* outermostView(View* view)
{
    while (View* superview = view->superview())
        view = superview;
    return view;
}

// The innermost view that contains `widget`, or the widget itself when it is one.
View* enclosingView(QWidget* widget)
{
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (auto* view = qobject_cast<View*>(w))
            return view;
    return nullptr;
}

// A point of a hosted window's base coordinates (y-up from its lower left) in a widget of that window.
QPointF widgetPoint(const QWidget* widget, Point base)
{
    const QWidget* top = widget->window();
    return widget->mapFrom(top, QPointF(base.x, top->height() - base.y));
}

} // namespace

OV3DView::OV3DView(const Rect& frame, QWidget* parent)
    : LayerHostView(frame, parent), m_layer3D(OV3DLayer::create())
{
    const pf::Transaction::Scope atOnce(true);
    m_layer3D->setName(QStringLiteral("3D"));
    const Rect b = layer()->bounds();
    m_layer3D->setBounds(Rect(0, 0, b.width(), b.height()));
    m_layer3D->setPosition(Point(b.midX(), b.midY()));
    m_layer3D->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::HeightSizable);
    layer()->addSublayer(m_layer3D);
}

OV3DView::~OV3DView()
{
    if (m_guardingWidgets)
        qApp->removeEventFilter(this);
    // The hosted views go with their layers unless someone keeps a layer; they must not answer to a
    // view that is gone.
    for (Hosted& hosted : m_hosted) {
        if (hosted.view && hosted.view->nextResponder() == this)
            hosted.view->setNextResponder(nullptr);
        hosted.layer->removeFromSuperlayer();
    }
    m_hosted.clear();
}

// Hosting --------------------------------------------------------------------------------------------

void OV3DView::addSubview(View* view)
{
    host(view, nullptr, true);
}

void OV3DView::addSubview(View* view, Ordering place, View* relativeTo)
{
    const std::shared_ptr<pf::Layer> neighbour = layerForSubview(relativeTo);
    host(view, neighbour.get(), place == Ordering::Above);
}

void OV3DView::host(View* view, const pf::Layer* neighbour, bool above)
{
    if (!view || layerForSubview(view))
        return;
    const Rect frame = view->frame();
    auto layer = pf::LayerForView::create(view);
    {
        const pf::Transaction::Scope atOnce(true);
        layer->setFrame(frame);
        if (!neighbour && above)
            m_layer3D->addSublayer(layer);
        else if (!neighbour)
            m_layer3D->insertSublayer(layer, 0);
        else if (above)
            m_layer3D->insertSublayerAbove(layer, neighbour);
        else
            m_layer3D->insertSublayerBelow(layer, neighbour);
    }
    // Events the hosted views leave come back here, as from a subview to its superview.
    if (!view->nextResponder())
        view->setNextResponder(this);
    // Without a neighbour: in front of all, or behind all.
    auto at = above ? m_hosted.end() : m_hosted.begin();
    if (neighbour) {
        at = std::find_if(m_hosted.begin(), m_hosted.end(),
                          [&](const Hosted& hosted) { return hosted.layer.get() == neighbour; });
        if (at != m_hosted.end() && above)
            ++at;
    }
    m_hosted.insert(at, Hosted{view, layer});
}

QList<View*> OV3DView::hostedSubviews() const
{
    QList<View*> views;
    for (const Hosted& hosted : m_hosted)
        if (hosted.view)
            views.append(hosted.view);
    return views;
}

std::shared_ptr<pf::Layer> OV3DView::layerForSubview(const View* view) const
{
    if (!view)
        return nullptr;
    for (const Hosted& hosted : m_hosted)
        if (hosted.view == view)
            return hosted.layer;
    return nullptr;
}

View* OV3DView::forwardView() const
{
    return qobject_cast<View*>(m_forward.data());
}

View* OV3DView::lastHitView() const
{
    return m_lastHit;
}

void OV3DView::viewDidMoveToWindow()
{
    LayerHostView::viewDidMoveToWindow();
    if (!window()) {
        m_forward = nullptr;
        return;
    }
    {
        const pf::Transaction::Scope atOnce(true);
        for (const Hosted& hosted : m_hosted)
            m_layer3D->addSublayer(hosted.layer);
    }
    pf::NotificationCenter::defaultCenter().post(kActiveNotification, this);
}

void OV3DView::updateTrackingAreas()
{
    LayerHostView::updateTrackingAreas();
    ViewORVExtension::dropTrackingArea(*this, m_trackingArea);
    if (window())
        m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
            bounds(),
            pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::MouseMoved |
                pf::TrackingArea::ActiveInActiveApp,
            this));
}

void OV3DView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    LayerHostView::resizeSubviewsWithOldSize(oldSize);
    // Autoresizing works on the frames the subviews would have untransformed; their turns stay.
    const pf::Size newSize = bounds().size;
    const pf::Transaction::Scope atOnce(true);
    for (const Hosted& hosted : m_hosted) {
        if (!hosted.view)
            continue;
        const pf::Transform3D kept = hosted.layer->transform();
        hosted.layer->setTransform(pf::Transform3D::identity());
        hosted.layer->setFrame(
            View::autoresizedFrame(hosted.layer->frame(), hosted.view->autoresizingMask(), oldSize, newSize));
        hosted.layer->setTransform(kept);
    }
}

// Hit testing ----------------------------------------------------------------------------------------

Point OV3DView::pointFromSuperview(Point point) const
{
    if (View* superview = this->superview())
        return convertPointFromView(point, superview);
    const Rect f = frame(), b = bounds();
    return Point(point.x - f.minX() + b.minX(), point.y - f.minY() + b.minY());
}

OV3DView::Landing OV3DView::land(Point pointInView, const Hosted& hosted) const
{
    // Through the inverse of the map on screen now, so a turning layer takes clicks where it is seen.
    pf::Homography inverse;
    Point inLayer;
    if (!hosted.layer->presentationMapToRootSpace(pf::Clock::current().now()).invert(&inverse) ||
        !inverse.map(pointInView, &inLayer))
        return {}; // behind the eye
    const Rect b = hosted.layer->bounds().standardized();
    return Landing{&hosted, Point(inLayer.x - b.minX(), inLayer.y - b.minY())};
}

OV3DView::Landing OV3DView::landFor(Point pointInView, const QWidget* widget) const
{
    if (!widget)
        return {};
    const QWidget* top = widget->window();
    for (const Hosted& hosted : m_hosted)
        if (hosted.view == top)
            return land(pointInView, hosted);
    return {};
}

QWidget* OV3DView::locate(Point pointInView, View** hitView)
{
    *hitView = nullptr;
    // Back to front: the rearmost subview that answers wins.
    for (const Hosted& hosted : m_hosted) {
        if (!hosted.view)
            continue;
        const Landing landing = land(pointInView, hosted);
        if (!landing.hosted)
            continue;
        const Point origin = hosted.view->frame().origin;
        View* hit = hosted.view->hitTest(Point(landing.base.x + origin.x, landing.base.y + origin.y));
        if (!hit)
            continue;
        *hitView = hit;
        return refine(hit, landing.base);
    }
    return nullptr;
}

QWidget* OV3DView::refine(View* hit, Point base) const
{
    // Views find views; a plain Qt widget (a scroll area's parts) under the point takes the event when
    // no view lies between it and the view found.
    QWidget* deepest = hit->childAt(widgetPoint(hit, base).toPoint());
    if (!deepest)
        return hit;
    View* inner = enclosingView(deepest);
    if (inner == hit || !inner || inner->isDescendantOf(hit))
        return inner == hit ? deepest : hit;
    // Views inside a plain widget inside the hit view: their own chain decides, as for a window.
    View* top = outermostView(inner);
    QWidget* parent = top->parentWidget();
    const QPointF inParent = widgetPoint(parent, base);
    View* found = top->hitTest(Point(inParent.x(), parent->height() - inParent.y()));
    return found ? refine(found, base) : static_cast<QWidget*>(top->parentWidget());
}

View* OV3DView::hitTest(Point pointInSuperview)
{
    if (isHidden() || isTransparentForMouse() || !frame().contains(pointInSuperview))
        return nullptr;
    const Point local = pointFromSuperview(pointInSuperview);
    m_forward = nullptr;
    View* hit = nullptr;
    QWidget* target = locate(local, &hit);
    if (!target)
        return nullptr;
    if (m_testingMovement)
        return hit;
    m_forward = target;
    return this;
}

View* OV3DView::hoveredViewAt(Point pointInSuperview)
{
    m_testingMovement = true;
    View* hovered = hitTest(pointInSuperview);
    m_testingMovement = false;
    return hovered;
}

// Forwarding -----------------------------------------------------------------------------------------

View* OV3DView::sendToWidget(QWidget* widget, QEvent& event)
{
    // Qt hands what a widget leaves to its parents; a view among them must not take it through the
    // window's routing (it belongs to no window here): it is caught and given the event as a view.
    m_caughtBy = nullptr;
    const bool wasGuarding = m_guardingWidgets;
    if (!wasGuarding)
        qApp->installEventFilter(this);
    m_guardingWidgets = true;
    QApplication::sendEvent(widget, &event);
    m_guardingWidgets = wasGuarding;
    if (!wasGuarding)
        qApp->removeEventFilter(this);
    return m_caughtBy;
}

bool OV3DView::eventFilter(QObject* watched, QEvent* event)
{
    if (m_guardingWidgets && isPointerEvent(event->type()))
        if (auto* view = qobject_cast<View*>(watched)) {
            if (!m_caughtBy)
                m_caughtBy = view;
            return true;
        }
    return LayerHostView::eventFilter(watched, event);
}

View* OV3DView::sendMouseToWidget(const Event& event, QWidget* widget, Point base, EventType type)
{
    const QEvent::Type qtType = qtMouseType(type);
    const Qt::MouseButton button =
        qtType == QEvent::MouseMove ? Qt::NoButton : qtButton(event.buttonNumber());
    const Qt::MouseButtons held = qtType == QEvent::MouseButtonRelease || !OVButtonEvents::contains(type)
                                      ? Qt::MouseButtons(Qt::NoButton)
                                      : Qt::MouseButtons(qtButton(event.buttonNumber()));
    const QPointF local = widgetPoint(widget, base);
    QMouseEvent qtEvent(qtType, local, widget->mapToGlobal(local), button, held,
                        pf::qtModifiersFromFlags(event.modifierFlags()));
    return sendToWidget(widget, qtEvent);
}

void OV3DView::forwardMouseEvent(const Event& event, QWidget* target, EventType type)
{
    const Landing landing = landFor(convertPointFromView(event.locationInWindow(), nullptr), target);
    const bool pressed = type == EventType::LeftMouseDragged || type == EventType::RightMouseDragged ||
                         type == EventType::OtherMouseDragged || type == EventType::LeftMouseUp ||
                         type == EventType::RightMouseUp || type == EventType::OtherMouseUp;
    Point base;
    if (landing.hosted) {
        base = landing.base;
        m_lastLandedTarget = target;
        m_lastLandedBase = base;
    } else if (pressed && target && m_lastLandedTarget == target) {
        // Dragged beyond the turned surface's horizon, where no point of it lies under the pointer: the
        // press goes on, and ends, at the last point that could be mapped, so every press gets its
        // release.
        base = m_lastLandedBase;
    } else {
        return;
    }
    auto* view = qobject_cast<View*>(target);
    if (!view) {
        view = sendMouseToWidget(event, target, base, type);
        if (!view)
            return;
        // Left by the plain widgets: the view around them takes it, and the rest of the press.
        if (type == EventType::LeftMouseDown || type == EventType::RightMouseDown ||
            type == EventType::OtherMouseDown) {
            m_forward = view;
            m_lastLandedTarget = view;
        }
    }
    const bool buttons = OVButtonEvents::contains(type);
    Event forwarded = Event::mouseEvent(type, base, event.modifierFlags(), event.timestamp(), nullptr,
                                        buttons ? event.clickCount() : 0, buttons ? event.pressure() : 0);
    forwarded.setButtonNumber(event.buttonNumber());
    m_activeForwarding = true;
    // The view's own handler of the type, as a window would hand it the event.
    if (type == EventType::MouseMoved || OVButtonEvents::contains(type))
        view->dispatch(forwarded);
    m_activeForwarding = false;
}

void OV3DView::forwardEnterExitEvent(const Event& event, View* target, EventType type)
{
    const Landing landing = landFor(convertPointFromView(event.locationInWindow(), nullptr), target);
    const Event forwarded =
        Event::enterExitEvent(type, landing.base, event.modifierFlags(), event.timestamp(), nullptr, nullptr);
    m_activeForwarding = true;
    if (type == EventType::MouseEntered)
        target->mouseEntered(forwarded);
    else if (type == EventType::MouseExited)
        target->mouseExited(forwarded);
    m_activeForwarding = false;
}

void OV3DView::updateMouseHoverEvent(const Event& event, QWidget* target)
{
    // A plain widget under the pointer (a scroll bar) hears of it as from Qt.
    QWidget* plain = target && !qobject_cast<View*>(target) ? target : nullptr;
    const Landing landing = landFor(convertPointFromView(event.locationInWindow(), nullptr), plain);
    if (plain != m_lastHitWidget) {
        if (m_lastHitWidget) {
            QEvent leave(QEvent::Leave);
            sendToWidget(m_lastHitWidget, leave);
        }
        m_lastHitWidget = plain;
        if (plain && landing.hosted) {
            const QPointF local = widgetPoint(plain, landing.base);
            QEnterEvent enter(local, local, plain->mapToGlobal(local));
            sendToWidget(plain, enter);
        }
    } else if (plain && landing.hosted && plain->hasMouseTracking()) {
        sendMouseToWidget(event, plain, landing.base, EventType::MouseMoved);
    }
    updateCursor(target);

    // The views: exit from the one left, enter into the one reached, moves within one.
    View* view = enclosingView(target);
    if (!view && !m_lastHit)
        return;
    const bool same = view == m_lastHit;
    if (!same && m_lastHit)
        forwardEnterExitEvent(event, m_lastHit, EventType::MouseExited);
    m_lastHit = view;
    if (!view)
        return;
    if (same)
        forwardMouseEvent(event, view, EventType::MouseMoved);
    else
        forwardEnterExitEvent(event, view, EventType::MouseEntered);
}

void OV3DView::updateCursor(QWidget* hovered)
{
    // The cursor the hovered widget or the nearest of its parents asks for.
    for (QWidget* w = hovered; w; w = w->isWindow() ? nullptr : w->parentWidget())
        if (w->testAttribute(Qt::WA_SetCursor)) {
            setCursor(w->cursor());
            return;
        }
    unsetCursor();
}

bool OV3DView::forwardButton(const Event& event)
{
    if (!m_forward || m_activeForwarding)
        return false;
    forwardMouseEvent(event, m_forward, event.type());
    return true;
}

void OV3DView::mouseDown(const Event& event)
{
    if (!forwardButton(event))
        View::mouseDown(event);
}

void OV3DView::mouseDragged(const Event& event)
{
    if (!forwardButton(event))
        View::mouseDragged(event);
}

void OV3DView::mouseUp(const Event& event)
{
    if (!forwardButton(event))
        View::mouseUp(event);
}

void OV3DView::rightMouseDown(const Event& event)
{
    if (!forwardButton(event))
        View::rightMouseDown(event);
}

void OV3DView::rightMouseDragged(const Event& event)
{
    if (!forwardButton(event))
        View::rightMouseDragged(event);
}

void OV3DView::rightMouseUp(const Event& event)
{
    if (!forwardButton(event))
        View::rightMouseUp(event);
}

void OV3DView::otherMouseDown(const Event& event)
{
    if (!forwardButton(event))
        View::otherMouseDown(event);
}

void OV3DView::otherMouseDragged(const Event& event)
{
    if (!forwardButton(event))
        View::otherMouseDragged(event);
}

void OV3DView::otherMouseUp(const Event& event)
{
    if (!forwardButton(event))
        View::otherMouseUp(event);
}

void OV3DView::mouseMoved(const Event& event)
{
    if (m_activeForwarding) {
        View::mouseMoved(event);
        return;
    }
    // Hit testing reads points of the superview: the pointer is converted there, wherever this view lies.
    const Point local = convertPointFromView(event.locationInWindow(), nullptr);
    const Point inSuperview = superview() ? convertPointToView(local, superview())
                                          : Point(local.x + frame().minX() - bounds().minX(),
                                                  local.y + frame().minY() - bounds().minY());
    QWidget* target = nullptr;
    if (frame().contains(inSuperview)) {
        View* hit = nullptr;
        target = locate(local, &hit);
    }
    updateMouseHoverEvent(event, target);
}

void OV3DView::mouseEntered(const Event& event)
{
    if (m_activeForwarding)
        View::mouseEntered(event);
    else
        mouseMoved(event);
}

void OV3DView::mouseExited(const Event& event)
{
    if (m_activeForwarding)
        View::mouseExited(event);
    else
        updateMouseHoverEvent(event, nullptr);
}

void OV3DView::scrollWheel(const Event& event)
{
    if (m_activeForwarding) {
        View::scrollWheel(event);
        return;
    }
    if (!m_forward)
        return; // nothing under the pointer takes it: dropped
    const QPointer<QWidget> target = m_forward;
    const Landing landing = landFor(convertPointFromView(event.locationInWindow(), nullptr), target);
    auto wheelFor = [&](QWidget* widget) {
        const QPointF at = landing.hosted ? widgetPoint(widget, landing.base) : QPointF();
        const QPoint pixels(int(event.scrollingDeltaX()), int(event.scrollingDeltaY()));
        return QWheelEvent(at, widget->mapToGlobal(at), event.hasPreciseScrollingDeltas() ? pixels : QPoint(),
                           QPoint(int(event.deltaX() * 120), int(event.deltaY() * 120)), Qt::NoButton,
                           pf::qtModifiersFromFlags(event.modifierFlags()), Qt::NoScrollPhase,
                           event.isDirectionInvertedFromDevice());
    };
    auto* view = qobject_cast<View*>(target.data());
    if (!view) {
        QWheelEvent wheel = wheelFor(target);
        view = sendToWidget(target, wheel);
        if (!view)
            return;
    }
    // The event itself, unchanged; a copy, so that what the hosted chain leaves is not taken for this
    // view's own leftovers.
    const Event copy = event;
    m_activeForwarding = true;
    view->scrollWheel(copy);
    m_activeForwarding = false;
    if (!copy.wasUnhandled())
        return;
    // The hosted chain ends at a plain widget (a scroll area around a document view): it gets the wheel.
    View* top = outermostView(view);
    QWidget* around = top->parentWidget();
    if (around && !top->isWindow()) {
        QWheelEvent wheel = wheelFor(around);
        sendToWidget(around, wheel);
    }
}

// Tooltips -------------------------------------------------------------------------------------------

bool OV3DView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return LayerHostView::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    View* hit = nullptr;
    const Point local = pointFromWidget(help->pos());
    QWidget* target = locate(local, &hit);
    const Landing landing = landFor(local, target);
    if (target && landing.hosted) {
        // Asked of the widget under the pointer on the surface, shown where the pointer is.
        QHelpEvent asked(QEvent::ToolTip, widgetPoint(target, landing.base).toPoint(), help->globalPos());
        QApplication::sendEvent(target, &asked);
        if (asked.isAccepted())
            return true;
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}
