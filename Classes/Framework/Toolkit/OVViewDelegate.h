#pragma once

namespace pf {
class View;
}

// What a toolkit view tells its owner, both optional: a single click on it, and that it was resized with
// its superview. A delegate that wants clicks answers true from takesClicks(); the view then keeps its
// mouse events from everything else.
class OVViewDelegate
{
public:
    virtual ~OVViewDelegate() = default;

    virtual bool takesClicks() const { return false; }
    virtual void viewWasClicked(pf::View*) {}
    virtual void viewDidAutoresize(pf::View*) {}
};
