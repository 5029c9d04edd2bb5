#pragma once

#include "Classes/Editor/OVDrawSenderDelegate.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"

class OVZoomView;

// What the canvas tells the window controller besides its strokes.
class OVZoomViewDelegate : public OVDrawSenderDelegate
{
public:
    // The visible part of the photo, normalised (origin at the lower left). `preview` is true while a
    // zoom, pan or resize is still going on; its end is reported once with false.
    virtual void zoomViewDidUpdateContentsRect(OVZoomView* view, const pf::Rect& rect, bool preview) = 0;
    // 1: the pointer is over the photo and strokes are taken; 0: it is not.
    virtual void zoomViewDidChangeCursorState(OVZoomView* view, int state) = 0;
    // A press on the photo while it takes no strokes (the loupe has them); `inWindow` is where, in the
    // window's base coordinates.
    virtual void zoomViewDidRefuseStroke(OVZoomView*, pf::Point /*inWindow*/) {}
};
