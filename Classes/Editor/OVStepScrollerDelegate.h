#pragma once

#include <QtGlobal>

class OVStepScroller;

// What a step scroller reports; every operation is optional. Reports follow the user's input only: a
// position or step set by the program is not reported back.
class OVStepScrollerDelegate
{
public:
    virtual ~OVStepScrollerDelegate() = default;

    virtual void scrollerDidChangePosition(OVStepScroller*, double /*position*/) {}
    virtual void scrollerDidChangeIndex(OVStepScroller*, int /*index*/) {}
    // The step under the pointer, or OVStepScroller::NotFound once it has left.
    virtual void scrollerDidChangeHover(OVStepScroller*, qint64 /*index*/) {}
};
