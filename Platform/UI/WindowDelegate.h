#pragma once

#include "Platform/Foundation/Size.h"

namespace pf {

class Window;

// What a window asks and tells its delegate. Every operation is optional (empty defaults).
class WindowDelegate
{
public:
    virtual ~WindowDelegate() = default;

    // Asked before a close the user or performClose() started; false keeps the window open.
    virtual bool windowShouldClose(Window*) { return true; }
    // The size a resize to `proposed` should give instead (the proposed size by default).
    virtual Size windowWillResize(Window*, Size proposed) { return proposed; }
    virtual void windowWillClose(Window*) {}
    virtual void windowDidResize(Window*) {}
    virtual void windowDidMove(Window*) {}
    virtual void windowDidBecomeKey(Window*) {}
    virtual void windowDidResignKey(Window*) {}
};

} // namespace pf
