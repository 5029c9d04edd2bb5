#pragma once

#include "Platform/UI/LayerAction.h"

#include <QString>
#include <memory>

class QPainter;

namespace pf {

class Layer;

// Draws a layer's content, decides its actions and lays out its sublayers on its behalf. A layer refers
// to its delegate without owning it; a delegate that goes away first simply stops being asked. A layer
// with a delegate keeps a backing store that drawLayer() paints.
class LayerDelegate
{
public:
    LayerDelegate() : m_token(std::make_shared<LayerDelegate*>(this)) {}
    virtual ~LayerDelegate() { *m_token = nullptr; }
    LayerDelegate(const LayerDelegate&) = delete;
    LayerDelegate& operator=(const LayerDelegate&) = delete;

    // The painter works in the layer's own y-up coordinates and is clipped to the part being redrawn,
    // which was cleared to transparent; the rest of the backing store keeps its pixels.
    virtual void drawLayer(Layer& /*layer*/, QPainter& /*painter*/) {}
    // The action for a change of `key`; notHandled() leaves it to the layer's default.
    virtual LayerAction actionForLayer(Layer& /*layer*/, const QString& /*key*/)
    {
        return LayerAction::notHandled();
    }
    virtual void layoutSublayersOfLayer(Layer& /*layer*/) {}

    std::weak_ptr<LayerDelegate*> token() const { return m_token; }

private:
    std::shared_ptr<LayerDelegate*> m_token;
};

} // namespace pf
