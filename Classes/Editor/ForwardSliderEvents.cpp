#include "Classes/Editor/ForwardSliderEvents.h"

#include "Classes/Editor/HostedViewGeometry.h"
#include "Classes/Framework/Toolkit/OVButtonEvents.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Layer.h"

#include <optional>

using pf::Event;
using pf::EventType;
using pf::Point;

namespace {

// The last event the class made, for every overlay of the process: one that comes back is recognised.
std::optional<Event>& lastSynthesizedEvent()
{
    static std::optional<Event> event;
    return event;
}

bool sameEvent(const Event& a, const Event& b)
{
    return a.type() == b.type() && a.locationInWindow() == b.locationInWindow() && a.window() == b.window() &&
           a.timestamp() == b.timestamp() && a.modifierFlags() == b.modifierFlags() &&
           a.clickCount() == b.clickCount() && a.buttonNumber() == b.buttonNumber() &&
           a.pressure() == b.pressure();
}

} // namespace

ForwardSliderEvents::ForwardSliderEvents(const pf::Rect& frame, QWidget* parent) : View(frame, parent) {}

void ForwardSliderEvents::setTargetView(pf::View* view)
{
    m_targetView = view;
    if (view && HostedViewGeometry::enclosingView(view) != HostedViewGeometry::enclosingView(this))
        pf::log(QStringLiteral("Warning: Target-View does not have same superview as Forwarding View"));
}

Point ForwardSliderEvents::projectedSuperPoint(Point point) const
{
    if (!m_targetView)
        return point;
    const auto superLayer = HostedViewGeometry::layerOfView(HostedViewGeometry::enclosingView(this));
    const auto targetLayer = HostedViewGeometry::layerOfView(m_targetView);
    if (!superLayer || !targetLayer)
        return point;
    // Through the inverse of the target's transform, then back out by plain view geometry.
    const Point inTarget = targetLayer->convertPointFromLayer(point, superLayer.get());
    const pf::Rect layerBounds = targetLayer->bounds();
    const pf::Rect b = m_targetView->bounds();
    return HostedViewGeometry::toEnclosing(m_targetView, Point(inTarget.x - layerBounds.minX() + b.minX(),
                                                               inTarget.y - layerBounds.minY() + b.minY()));
}

pf::View* ForwardSliderEvents::hitTest(Point pointInSuperview)
{
    if (isHidden() || !frame().contains(pointInSuperview))
        return nullptr;
    m_forwardView = m_targetView ? m_targetView->hitTest(projectedSuperPoint(pointInSuperview)) : nullptr;
    return m_forwardView ? this : nullptr;
}

void ForwardSliderEvents::forward(const Event& event)
{
    m_activeForwarding = true;
    forwardMouseEvent(event, m_forwardView);
    m_activeForwarding = false;
}

void ForwardSliderEvents::mouseDown(const Event& event)
{
    if (m_forwardView && !m_activeForwarding)
        forward(event);
    else
        View::mouseDown(event);
}

void ForwardSliderEvents::mouseDragged(const Event& event)
{
    if (m_forwardView && !m_activeForwarding)
        forward(event);
    else
        View::mouseDragged(event);
}

void ForwardSliderEvents::mouseUp(const Event& event)
{
    if (m_forwardView && !m_activeForwarding)
        forward(event);
    else
        View::mouseUp(event);
}

void ForwardSliderEvents::forwardMouseEvent(const Event& event, pf::View* receiver)
{
    forwardMouseEvent(event, receiver, event.type());
}

void ForwardSliderEvents::forwardMouseEvent(const Event& event, pf::View* receiver, EventType type)
{
    if (!receiver)
        return;
    std::optional<Event>& last = lastSynthesizedEvent();
    if (last && sameEvent(*last, event))
        return;
    // The pointer in the superview, as the target would have it untransformed, and from there in the
    // receiver's window.
    const Point own = convertPointFromView(event.locationInWindow(), nullptr);
    const Point projected = projectedSuperPoint(HostedViewGeometry::toEnclosing(this, own));
    // The receiver lies in the target: the target's window is the receiver's.
    const Point location = m_targetView
                               ? m_targetView->convertPointToView(
                                     HostedViewGeometry::fromEnclosing(m_targetView, projected), nullptr)
                               : receiver->convertPointToView(projected, nullptr);
    const bool clicks = OVButtonEvents::contains(type);
    Event synthesized =
        Event::mouseEvent(type, location, event.modifierFlags(), event.timestamp(), receiver->window(),
                          clicks ? event.clickCount() : 0, clicks ? event.pressure() : 0);
    synthesized.setButtonNumber(event.buttonNumber());
    last = synthesized;
    switch (type) {
    case EventType::MouseMoved:
        receiver->mouseMoved(synthesized);
        break;
    case EventType::LeftMouseDown:
    case EventType::RightMouseDown:
    case EventType::OtherMouseDown:
        receiver->mouseDown(synthesized);
        break;
    case EventType::LeftMouseDragged:
    case EventType::RightMouseDragged:
    case EventType::OtherMouseDragged:
        receiver->mouseDragged(synthesized);
        break;
    case EventType::LeftMouseUp:
    case EventType::RightMouseUp:
    case EventType::OtherMouseUp:
        receiver->mouseUp(synthesized);
        break;
    default:
        break;
    }
}
