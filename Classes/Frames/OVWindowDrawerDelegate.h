#pragma once

class OVWindowDrawer;

// Told when a drawer starts sliding back; optional.
class OVWindowDrawerDelegate
{
public:
    virtual ~OVWindowDrawerDelegate() = default;
    virtual void windowDrawerDidHide(OVWindowDrawer*) {}
};
