#include "Classes/Rendering/OVDrawLayerHandler.h"

#include "Classes/Rendering/LayerImageDrawing.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Layer.h"

using namespace pf;

void OVDrawLayerHandler::draw(DrawBlock block, const std::shared_ptr<Layer>& layer)
{
    if (!layer)
        return;
    m_objectHandler = shared_from_this();
    layer->setDelegate(this);
    m_drawBlock = std::move(block);
    layer->setNeedsDisplay();
}

void OVDrawLayerHandler::drawLayer(Layer& layer, QPainter& painter)
{
    // Let go at the end of this call, not before: nothing of this object is touched after it.
    const std::shared_ptr<OVDrawLayerHandler> keep = std::move(m_objectHandler);
    const DrawBlock block = std::move(m_drawBlock);
    m_drawBlock = nullptr;
    if (layer.delegate() == this)
        layer.setDelegate(nullptr);

    const Image image = block ? block() : Image();
    if (image.isNull())
        return;
    const Rect bounds = layer.bounds();
    LayerImageDrawing::drawImage(painter, *RenderContext::shared(), image, image.extent(), bounds,
                                 LayerImageDrawing::clipRect(painter, bounds));
}
