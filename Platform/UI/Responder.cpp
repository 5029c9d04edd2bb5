#include "Platform/UI/Responder.h"

#include "Platform/UI/Event.h"

namespace pf {

Responder::~Responder() = default;

Responder* Responder::nextResponder() const
{
    return m_nextResponder ? m_nextResponder : defaultNextResponder();
}

void Responder::passOn(const Event& event, void (Responder::*handler)(const Event&))
{
    if (Responder* next = nextResponder())
        (next->*handler)(event);
    else
        event.markUnhandled();
}

void Responder::mouseDown(const Event& event)
{
    passOn(event, &Responder::mouseDown);
}

void Responder::mouseDragged(const Event& event)
{
    passOn(event, &Responder::mouseDragged);
}

void Responder::mouseUp(const Event& event)
{
    passOn(event, &Responder::mouseUp);
}

void Responder::rightMouseDown(const Event& event)
{
    passOn(event, &Responder::rightMouseDown);
}

void Responder::rightMouseDragged(const Event& event)
{
    passOn(event, &Responder::rightMouseDragged);
}

void Responder::rightMouseUp(const Event& event)
{
    passOn(event, &Responder::rightMouseUp);
}

void Responder::otherMouseDown(const Event& event)
{
    passOn(event, &Responder::otherMouseDown);
}

void Responder::otherMouseDragged(const Event& event)
{
    passOn(event, &Responder::otherMouseDragged);
}

void Responder::otherMouseUp(const Event& event)
{
    passOn(event, &Responder::otherMouseUp);
}

void Responder::mouseMoved(const Event& event)
{
    passOn(event, &Responder::mouseMoved);
}

// Enter and exit go to the owner of the tracking area only, never up the chain.
void Responder::mouseEntered(const Event&) {}

void Responder::mouseExited(const Event&) {}

void Responder::scrollWheel(const Event& event)
{
    passOn(event, &Responder::scrollWheel);
}

void Responder::magnify(const Event& event)
{
    passOn(event, &Responder::magnify);
}

void Responder::keyDown(const Event& event)
{
    passOn(event, &Responder::keyDown);
}

void Responder::keyUp(const Event& event)
{
    passOn(event, &Responder::keyUp);
}

void Responder::flagsChanged(const Event& event)
{
    passOn(event, &Responder::flagsChanged);
}

void Responder::dispatch(const Event& event)
{
    switch (event.type()) {
    case EventType::LeftMouseDown:
        mouseDown(event);
        break;
    case EventType::LeftMouseUp:
        mouseUp(event);
        break;
    case EventType::LeftMouseDragged:
        mouseDragged(event);
        break;
    case EventType::RightMouseDown:
        rightMouseDown(event);
        break;
    case EventType::RightMouseUp:
        rightMouseUp(event);
        break;
    case EventType::RightMouseDragged:
        rightMouseDragged(event);
        break;
    case EventType::OtherMouseDown:
        otherMouseDown(event);
        break;
    case EventType::OtherMouseUp:
        otherMouseUp(event);
        break;
    case EventType::OtherMouseDragged:
        otherMouseDragged(event);
        break;
    case EventType::MouseMoved:
        mouseMoved(event);
        break;
    case EventType::MouseEntered:
        mouseEntered(event);
        break;
    case EventType::MouseExited:
        mouseExited(event);
        break;
    case EventType::ScrollWheel:
        scrollWheel(event);
        break;
    case EventType::Magnify:
        magnify(event);
        break;
    case EventType::KeyDown:
        keyDown(event);
        break;
    case EventType::KeyUp:
        keyUp(event);
        break;
    case EventType::FlagsChanged:
        flagsChanged(event);
        break;
    case EventType::None:
        break;
    }
}

} // namespace pf
