#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Platform/Foundation/Rect.h"

#include <QString>
#include <memory>

class GMRealTimeRenderer;
class OVBrushPathImage;

// What the real-time renderer tells the editor window, on the main thread.
class GMRealTimeRendererDelegate
{
public:
    virtual ~GMRealTimeRendererDelegate() = default;

    // A stroke on `channel` is finished. Add the container, with the rectangle unchanged, to `target`
    // (OVBrushPathImage::addContentContainerWithRect) before returning: `target` is the mask of the layer
    // the stroke was painted on, taken at brush-down, which need not be the layer selected now. Null for
    // a stroke on the background, which has no mask.
    virtual void realTimeRendererDidCalculateContentContainer(
        GMRealTimeRenderer* renderer, const OVContentContainerPtr& container, const pf::Rect& rect,
        const QString& channel, const std::shared_ptr<OVBrushPathImage>& target) = 0;
    // A freshly composed picture has just been put on the layer of `channel` ("standard" or "loupe").
    virtual void realTimeRenderChannelDidBecomeVisible(GMRealTimeRenderer* renderer,
                                                       const QString& channel) = 0;
};
