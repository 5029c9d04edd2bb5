#pragma once

#include "Platform/UI/DelegateToken.h"
#include "Platform/UI/LayerAction.h"

#include <QString>

class QPainter;

namespace pf {

class Layer;

// Draws a layer's content, decides its actions and lays out its sublayers on its behalf. A layer refers
// to its delegate without owning it; a delegate that goes away first simply stops being asked. A layer
// with a delegate keeps a backing store that drawLayer() paints.
class LayerDelegate : public DelegateToken<LayerDelegate>
{
public:
    virtual ~LayerDelegate() = default;

    // The painter works in the layer's own y-up coordinates and is clipped to the part being redrawn,
    // which was cleared to transparent; the rest of the backing store keeps its pixels.
    virtual void drawLayer(Layer& /*layer*/, QPainter& /*painter*/) {}
    // The action for a change of `key`; notHandled() leaves it to the layer's default.
    virtual LayerAction actionForLayer(Layer& /*layer*/, const QString& /*key*/)
    {
        return LayerAction::notHandled();
    }
    virtual void layoutSublayersOfLayer(Layer& /*layer*/) {}
};

} // namespace pf
