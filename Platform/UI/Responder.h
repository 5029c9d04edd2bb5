#pragma once

namespace pf {

class Event;

// Something that takes part in the responder chain: views and windows. Each event handler's default
// passes the event to the next responder (a view's superview, then its window); an event that reaches
// the end unhandled is marked so (Event::wasUnhandled) and offered to the surrounding Qt widgets.
class Responder
{
public:
    virtual ~Responder();

    // The next responder: the one set with setNextResponder() when there is one, else the default
    // (a view's superview or window; nothing after a window).
    Responder* nextResponder() const;
    // Inserts a responder (a controller) after this one; not owned, and it must be cleared (nullptr)
    // before it goes away.
    void setNextResponder(Responder* responder) { m_nextResponder = responder; }

    virtual void mouseDown(const Event& event);
    virtual void mouseDragged(const Event& event);
    virtual void mouseUp(const Event& event);
    virtual void rightMouseDown(const Event& event);
    virtual void rightMouseDragged(const Event& event);
    virtual void rightMouseUp(const Event& event);
    virtual void otherMouseDown(const Event& event);
    virtual void otherMouseDragged(const Event& event);
    virtual void otherMouseUp(const Event& event);
    virtual void mouseMoved(const Event& event);
    virtual void mouseEntered(const Event& event);
    virtual void mouseExited(const Event& event);
    virtual void scrollWheel(const Event& event);
    virtual void magnify(const Event& event);
    virtual void keyDown(const Event& event);
    virtual void keyUp(const Event& event);
    virtual void flagsChanged(const Event& event);

    // Calls the handler for the event's type.
    void dispatch(const Event& event);

    // First responder status (keyboard focus). Refusing to resign keeps the focus where it is.
    virtual bool acceptsFirstResponder() const { return false; }
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

protected:
    virtual Responder* defaultNextResponder() const { return nullptr; }

private:
    void passOn(const Event& event, void (Responder::*handler)(const Event&));

    Responder* m_nextResponder = nullptr;
};

} // namespace pf
