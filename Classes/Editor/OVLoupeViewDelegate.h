#pragma once

#include "Classes/Editor/OVDrawSenderDelegate.h"
#include "Platform/Foundation/Rect.h"

class OVLoupeView;
namespace pf {
class Event;
}

// What the loupe asks of the window controller and tells it, besides its strokes (points normalised to
// the loupe's content layer).
class OVLoupeViewDelegate : public OVDrawSenderDelegate
{
public:
    // Where the displayed picture lies, in the loupe's superview.
    virtual pf::Rect activeRectForLoupe(OVLoupeView* loupe) = 0;
    // The part of the picture the canvas displays, normalised.
    virtual pf::Rect editRectForLoupe(OVLoupeView* loupe) = 0;
    // 0: the pointer is outside the loupe, 1: inside the glass, 2: on the rim.
    virtual void loupeViewDidChangeCursorState(OVLoupeView* loupe, int state) = 0;
    // Gestures and the wheel over the loupe belong to the canvas.
    virtual void loupeViewBeginGestureWithEvent(OVLoupeView* loupe, const pf::Event& event) = 0;
    virtual void loupeViewEndGestureWithEvent(OVLoupeView* loupe, const pf::Event& event) = 0;
    virtual void loupeViewMagnifyWithEvent(OVLoupeView* loupe, const pf::Event& event) = 0;
    virtual void loupeViewScrollWheel(OVLoupeView* loupe, const pf::Event& event) = 0;
    // The loupe lies over the picture with its part of the picture computed (sent at every computation).
    virtual void loupeViewActivated(OVLoupeView*) {}
    // The loupe left the picture.
    virtual void loupeViewDeactivated(OVLoupeView*) {}
};
