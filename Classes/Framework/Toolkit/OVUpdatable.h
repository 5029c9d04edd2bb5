#pragma once

class QObject;

// Content inside a list entry tells the entry that its size changed.
class OVUpdatable
{
public:
    virtual ~OVUpdatable() = default;
    virtual void needsUpdate(QObject* sender, bool instant) = 0;
};
