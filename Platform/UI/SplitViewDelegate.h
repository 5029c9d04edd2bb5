#pragma once

#include "Platform/Foundation/Size.h"

namespace pf {

class SplitView;

// What a split view asks its owner; every operation is optional. Divider i lies between pane i and
// pane i + 1; coordinates are the split view's own, along its width.
class SplitViewDelegate
{
public:
    virtual ~SplitViewDelegate() = default;

    // The lowest and highest position the divider may be dragged to.
    virtual double splitViewConstrainMinCoordinate(SplitView*, double proposedMinimum, int /*dividerIndex*/)
    {
        return proposedMinimum;
    }
    virtual double splitViewConstrainMaxCoordinate(SplitView*, double proposedMaximum, int /*dividerIndex*/)
    {
        return proposedMaximum;
    }
    // Places the panes after the split view changed size; false leaves it to the split view.
    virtual bool splitViewResizeSubviewsWithOldSize(SplitView*, Size /*oldSize*/) { return false; }
};

} // namespace pf
