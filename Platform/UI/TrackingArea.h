#pragma once

#include "Platform/Foundation/Rect.h"

#include <QPointer>
#include <QVariantMap>

namespace pf {

class Responder;
class View;

// A rectangle of a view in which the pointer's entering, moving and leaving are reported to an owner
// (usually the view itself, but any responder, also a view elsewhere in the window). The window tests
// every installed area on each pointer movement, so areas work whatever widget lies on top.
class TrackingArea
{
public:
    enum Option : unsigned
    {
        MouseEnteredAndExited = 0x01,
        MouseMoved = 0x02,
        // When the area is active (one of these is required):
        ActiveWhenFirstResponder = 0x10, // its view is the window's first responder
        ActiveInKeyWindow = 0x20,        // its view's window is the key window
        ActiveInActiveApp = 0x40,        // the application has a key window
        ActiveAlways = 0x80,
        // The area starts as if the pointer were inside: the first event is an exit.
        AssumeInside = 0x100,
        // The area follows the view's visible rectangle; its own rectangle is ignored.
        InVisibleRect = 0x200,
        // Events are sent also while a mouse button is down; otherwise the area's inside state changes
        // silently during a drag.
        EnabledDuringMouseDrag = 0x400,
    };

    // `rect` in the view's coordinates (y-up unless the view is flipped). The owner is not owned and
    // must outlive the area or remove it; a view owner is tracked and an area whose owner is gone
    // sends nothing.
    TrackingArea(const Rect& rect, unsigned options, Responder* owner, const QVariantMap& userInfo = {});

    Rect rect() const { return m_rect; }
    unsigned options() const { return m_options; }
    Responder* owner() const;
    QVariantMap userInfo() const { return m_userInfo; }
    // The view the area is installed on (set by View::addTrackingArea).
    View* view() const;

    // Whether the pointer was inside at the last test (the starting value follows AssumeInside, or
    // the pointer's position when the area was installed).
    bool isInside() const { return m_inside; }

private:
    friend class View;
    friend class EventRouter;

    Rect m_rect;
    unsigned m_options;
    Responder* m_owner;
    bool m_ownerIsObject;
    QPointer<QObject> m_ownerObject; // notices the destruction of an owner that is a QObject
    QVariantMap m_userInfo;
    QPointer<View> m_view;
    bool m_inside = false;
    // Tells this area from a later one made at the same address (the router's pending reports).
    quint64 m_serial;
};

} // namespace pf
