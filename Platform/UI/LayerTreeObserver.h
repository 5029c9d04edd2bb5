#pragma once

#include "Platform/Foundation/Rect.h"

namespace pf {

// Told by the root of a layer tree when something in the tree changed, so that whoever shows the tree
// (a host view) can redraw. Installed on the root layer; the root refers to it without owning it.
class LayerTreeObserver
{
public:
    virtual ~LayerTreeObserver() = default;
    // `dirty` is in the coordinates of the root's superlayer (where the root's position lies); the
    // infinite rectangle when the change may show anywhere.
    virtual void layerTreeDidChange(const Rect& dirty) = 0;
    // An animation was added somewhere in the tree: frames must follow until it ends.
    virtual void layerTreeDidAddAnimation() = 0;
};

} // namespace pf
