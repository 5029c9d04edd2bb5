#pragma once

#include "Platform/Foundation/Size.h"

// A view with a title tab tells its container how much room the tab takes, so that the container can
// lay its content out below (or beside) it.
class OVTitledView
{
public:
    virtual ~OVTitledView() = default;
    virtual pf::Size titleSize() const = 0;
};
