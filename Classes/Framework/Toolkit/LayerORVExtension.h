#pragma once

#include "Platform/Foundation/Point.h"

#include <QString>
#include <memory>

namespace pf {
class Layer;
}

// Copying and probing layers. Main thread only.
namespace LayerORVExtension {

// A new layer of the same class with the source's content and geometry but none of its sublayers: the
// image of an OVCIImageLayer, else the contents; anchor point and its depth, bounds, position, depth,
// contents gravity and rectangle, shadow colour, offset and radius, transform, sublayer transform,
// opacity, border colour and width, corner radius. The shadow's opacity keeps its default (none).
std::shared_ptr<pf::Layer> duplicate(const pf::Layer& layer);

// How opaque the layer (with its sublayers, as the model values give them) is at a point of its own
// coordinates, 0 to 1: the alpha of the one pixel whose lower left is at the point.
double transparencyAt(pf::Layer& layer, pf::Point point);

// "<Class: address>" followed by "\n Frame: (x, y, width, height)" and "\n Contents Rect: (...)".
QString fullDescription(const pf::Layer& layer);

} // namespace LayerORVExtension
