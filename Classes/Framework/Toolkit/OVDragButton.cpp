#include "Classes/Framework/Toolkit/OVDragButton.h"

#include <cmath>

OVDragButton::OVDragButton(const pf::Rect& frame, QWidget* parent) : OVButton(frame, parent)
{
    setName(QStringLiteral("Grab"));
}

void OVDragButton::mouseDown(const pf::Event& event)
{
    m_dragState = Pressed;
    m_startPoint = event.locationInWindow();
    m_lastDragDistance = pf::Size(0, 0);
    m_fullDragDistance = pf::Size(0, 0);
    sendAction();
}

void OVDragButton::mouseDragged(const pf::Event& event)
{
    m_dragState = Dragging;
    const pf::Point at = event.locationInWindow();
    const pf::Size full(std::round(at.x - m_startPoint.x), std::round(at.y - m_startPoint.y));
    m_lastDragDistance =
        pf::Size(full.width - m_fullDragDistance.width, full.height - m_fullDragDistance.height);
    m_fullDragDistance = full;
    sendAction();
}

void OVDragButton::mouseUp(const pf::Event&)
{
    m_lastDragDistance = pf::Size(0, 0);
    m_dragState = Released;
    // The last thing the handlers do: the action may delete the button.
    sendAction();
}
