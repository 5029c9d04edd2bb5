#pragma once

// A view whose hover state an owner may drive instead of the view's own tracking: while remote
// controlled it tracks nothing itself.
class OVCursorHovering
{
public:
    virtual ~OVCursorHovering() = default;
    virtual bool isRemoteControlled() const = 0;
    virtual void setIsRemoteControlled(bool flag) = 0;
};
