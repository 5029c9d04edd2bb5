#pragma once

class OVHoverView;

// Hears the pointer starting and ending to rest on a hover view.
class OVHoverViewDelegate
{
public:
    virtual ~OVHoverViewDelegate() = default;

    virtual void hoverViewStatusChanged(OVHoverView* view, bool hovered) = 0;
};
