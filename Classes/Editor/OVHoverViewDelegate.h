#pragma once

class OVHoverView;

// Hears the pointer starting and ending to rest on a hover view, and clicks on it.
class OVHoverViewDelegate
{
public:
    virtual ~OVHoverViewDelegate() = default;

    virtual void hoverViewStatusChanged(OVHoverView* view, bool hovered) = 0;
    // A click on the view (pressed and released over it); by default nothing.
    virtual void hoverViewWasClicked(OVHoverView*) {}
};
