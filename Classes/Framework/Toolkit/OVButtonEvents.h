#pragma once

#include "Platform/UI/Event.h"

// The mouse events a view passes on to another: which of them are a button's.
class OVButtonEvents
{
public:
    // A press, release or drag of any of the three buttons: the types that carry a click count and a
    // pressure.
    static bool contains(pf::EventType type);
};
