#pragma once

#include "Platform/Foundation/Size.h"

class OVResizeView;

// Told of every press (state 0), drag (1) and release (2) of a resize view: the sides dragged and how
// far each dragged edge moved outward since the bounds were last applied.
class OVResizeViewDelegate
{
public:
    virtual ~OVResizeViewDelegate() = default;
    virtual void resizeViewDidResize(OVResizeView* view, unsigned sides, pf::Size by, int state) = 0;
};
