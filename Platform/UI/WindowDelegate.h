#pragma once

#include "Platform/Foundation/Size.h"

#include <memory>

namespace pf {

class Window;

// What a window asks and tells its delegate. Every operation is optional (empty defaults). Windows (and
// whoever stands in for a delegate for a while) hold it weakly: a delegate destroyed first reads as none.
class WindowDelegate
{
public:
    WindowDelegate() = default;
    // A copy is another delegate, with a life of its own.
    WindowDelegate(const WindowDelegate&) {}
    WindowDelegate& operator=(const WindowDelegate&) { return *this; }
    virtual ~WindowDelegate() = default;

    // Expires when the delegate is destroyed.
    std::weak_ptr<const void> windowDelegateLifetime() const { return m_lifetime; }

    // Asked before a close the user or performClose() started; false keeps the window open.
    virtual bool windowShouldClose(Window*) { return true; }
    // The size a resize to `proposed` should give instead (the proposed size by default).
    virtual Size windowWillResize(Window*, Size proposed) { return proposed; }
    virtual void windowWillClose(Window*) {}
    virtual void windowDidResize(Window*) {}
    virtual void windowDidMove(Window*) {}
    virtual void windowDidBecomeKey(Window*) {}
    virtual void windowDidResignKey(Window*) {}

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
};

} // namespace pf
