#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/UI/LayerHostView.h"

#include <functional>

// The overlay's layer host. The overlay spans the whole window and is clear, so the window draws again
// whatever lies beneath what the overlay marks for drawing; and the layer tree reports most changes as
// showing anywhere. A change of the loupe marks only where the loupe and its shadow were and are: a
// carry step draws the loupe's surroundings, not the whole window. A part of a layer drawn again while
// the loupe stays where it is (a brush step in the glass) marks only that part.
class OVLoupeHost : public pf::LayerHostView
{
public:
    // `extent` tells where the loupe and its shadow show now.
    OVLoupeHost(const pf::Rect& frame, std::function<pf::Rect()> extent);

private:
    void layerTreeDidChange(const pf::Rect& dirty) override;

    std::function<pf::Rect()> m_extent;
    pf::Rect m_last = pf::Rect::null(); // where the loupe was when a change was last marked
};
