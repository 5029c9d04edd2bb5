#pragma once

namespace pf {
class Event;
}
class GMEventView;

// Offered every scroll-wheel event that reaches the window's content view.
class GMEventViewDelegate
{
public:
    virtual ~GMEventViewDelegate() = default;

    // True when the delegate consumed the event; otherwise it goes on up the responder chain.
    virtual bool eventViewDidScroll(GMEventView* view, const pf::Event& event) = 0;
};
