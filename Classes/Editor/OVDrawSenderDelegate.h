#pragma once

#include "Platform/Foundation/Point.h"

class OVDrawSender;

// Receives a draw sender's strokes: one brush-down, any number of drags, one brush-up. Points are
// normalised to the part of the photo the sender shows, (0, 0) at its lower left and (1, 1) at its
// upper right; a stroke dragged outside reports points below 0 or above 1.
class OVDrawSenderDelegate
{
public:
    virtual ~OVDrawSenderDelegate() = default;

    virtual void drawSenderBrushDownAtPoint(OVDrawSender* sender, pf::Point point) = 0;
    virtual void drawSenderBrushDraggedAtPoint(OVDrawSender* sender, pf::Point point) = 0;
    virtual void drawSenderBrushUpAtPoint(OVDrawSender* sender, pf::Point point) = 0;
};
