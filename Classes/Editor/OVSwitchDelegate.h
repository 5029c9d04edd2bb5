#pragma once

class OVSwitch;

// Hears a two-state switch toggled by the user (not changes made from code).
class OVSwitchDelegate
{
public:
    virtual ~OVSwitchDelegate() = default;

    virtual void ovSwitchDidChangeState(OVSwitch* sender, bool state) = 0;
};
