#pragma once

class OVButton;

// What a button's target may hear besides the action: the pointer starting or ending to hover over (or
// press) the button.
class OVButtonTarget
{
public:
    virtual ~OVButtonTarget() = default;
    virtual void buttonHovered(OVButton* button, bool hovered) = 0;
};
