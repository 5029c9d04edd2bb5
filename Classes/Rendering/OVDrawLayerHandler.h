#pragma once

#include "Platform/Image/Image.h"
#include "Platform/UI/LayerDelegate.h"

#include <functional>
#include <memory>

namespace pf {
class Layer;
}

// Draws one image into a layer once, on the layer's next display, without the caller being the
// layer's delegate: the handler becomes the delegate, asks the layer to redisplay, draws the image the
// block makes (stretched over the layer's bounds) when the layer asks for its content, and then lets
// go of the layer. It keeps itself alive while a drawing is pending, so the caller need not. A second
// draw() before the drawing replaces the block. Main thread only; made with std::make_shared.
class OVDrawLayerHandler : public pf::LayerDelegate, public std::enable_shared_from_this<OVDrawLayerHandler>
{
public:
    using DrawBlock = std::function<pf::Image()>;

    void draw(DrawBlock block, const std::shared_ptr<pf::Layer>& layer);
    bool isPending() const { return m_objectHandler != nullptr; }

    // pf::LayerDelegate
    void drawLayer(pf::Layer& layer, QPainter& painter) override;

private:
    DrawBlock m_drawBlock;
    std::shared_ptr<OVDrawLayerHandler> m_objectHandler; // itself, while a drawing is pending
};
