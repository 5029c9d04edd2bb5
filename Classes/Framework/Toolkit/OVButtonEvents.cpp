#include "Classes/Framework/Toolkit/OVButtonEvents.h"

using pf::EventType;

bool OVButtonEvents::contains(EventType type)
{
    switch (type) {
    case EventType::LeftMouseDown:
    case EventType::LeftMouseUp:
    case EventType::LeftMouseDragged:
    case EventType::RightMouseDown:
    case EventType::RightMouseUp:
    case EventType::RightMouseDragged:
    case EventType::OtherMouseDown:
    case EventType::OtherMouseUp:
    case EventType::OtherMouseDragged:
        return true;
    default:
        return false;
    }
}
