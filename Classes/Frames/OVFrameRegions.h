#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Image.h"

#include <functional>
#include <optional>

// The regions of interest of the frame kernels (texturize, textured frame, shaped border): what each
// sampler must supply for a destination rectangle. Each makes the function an apply call takes.
class OVFrameRegions
{
public:
    using Region = std::function<pf::Rect(int, const pf::Rect&)>;

    // Sampler 1 (the tiled texture): the tile, grown by the pixel that bilinear reads reach past it;
    // zero without a tile. Others: the destination.
    static Region textureRegion(const std::optional<pf::Rect>& tile);
    // The image's extent (zero without one), for every sampler that reads it.
    static Region patternRegion(const pf::Image& image);
    static Region frameRegion(const pf::Image& image);
    // The destination grown by `step` on every side.
    static Region outerMaskRegion(double step);
    // Sampler 1: the destination; otherwise the destination grown by 1 pixel.
    static Region innerMaskRegion();
};
