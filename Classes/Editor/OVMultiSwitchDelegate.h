#pragma once

class OVMultiSwitch;

// Hears every change of a multi-state switch's state made by the user or by a change of its number of
// states (not states set from code).
class OVMultiSwitchDelegate
{
public:
    virtual ~OVMultiSwitchDelegate() = default;

    virtual void multiSwitchDidChangeState(OVMultiSwitch* sender, unsigned state) = 0;
};
