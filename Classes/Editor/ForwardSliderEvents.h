#pragma once

#include "Platform/UI/View.h"

#include <QPointer>

// An overlay over a transformed view (the tilted effect strip) that lets the target's controls be
// pressed and dragged where they are seen: its hit test looks for the target's subview under the
// pointer through the target's layer transform, and the press, its drags and its release go to that
// subview as new mouse events at the re-mapped points. Where the target has nothing under the pointer
// the overlay answers nothing, so the press falls through to what lies below. It draws nothing.
//
// The target must share the overlay's superview (or the 3D view that hosts both).
class ForwardSliderEvents : public pf::View
{
    Q_OBJECT

public:
    explicit ForwardSliderEvents(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    pf::View* targetView() const { return m_targetView; }
    void setTargetView(pf::View* view);
    // The target's subview found by the last hit test.
    pf::View* forwardView() const { return m_forwardView; }
    void setForwardView(pf::View* view) { m_forwardView = view; }
    bool activeForwarding() const { return m_activeForwarding; }

    // A point of the superview as the target would have it without its transform.
    pf::Point projectedSuperPoint(pf::Point point) const;

    pf::View* hitTest(pf::Point pointInSuperview) override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

    // Sends `receiver` a new event like `event` at the re-mapped point, of the event's own type or
    // another; an event this class made itself is not forwarded again.
    void forwardMouseEvent(const pf::Event& event, pf::View* receiver);
    void forwardMouseEvent(const pf::Event& event, pf::View* receiver, pf::EventType type);

private:
    void forward(const pf::Event& event);

    bool m_activeForwarding = false;
    QPointer<pf::View> m_targetView;
    QPointer<pf::View> m_forwardView;
};
