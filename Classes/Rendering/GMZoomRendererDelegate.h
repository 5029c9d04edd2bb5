#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Platform/Foundation/Rect.h"

#include <memory>

class GMZoomRenderer;
class OVBrushPathImage;

// What a zoom renderer tells its owner, on the main thread.
class GMZoomRendererDelegate
{
public:
    virtual ~GMZoomRendererDelegate() = default;

    // A stroke is finished: the container holds its clean mask (and additional picture) for `rect`, the
    // normalised part of the photo the channel shows. `target` is the mask of the layer the stroke was
    // painted on, taken when the stroke began (null on the background); the stroke belongs there even
    // when the selection changed meanwhile. Store it before returning.
    virtual void zoomRendererFinishCalculationOfContentContainer(
        GMZoomRenderer* renderer, const OVContentContainerPtr& container, const pf::Rect& rect,
        const std::shared_ptr<OVBrushPathImage>& target) = 0;
    // A freshly composed picture has just been put on the channel's layer.
    virtual void zoomRendererDidBecomeVisible(GMZoomRenderer* renderer) = 0;
};
