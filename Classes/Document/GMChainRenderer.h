#pragma once

#include "Classes/Document/GMDocumentWindowController.h"
#include "Platform/Foundation/Size.h"

#include <optional>

class PhotoToolChain;

// Pictures of a tool chain for saving and printing: the stack as it is now, composed later on any
// thread, however the chain changes meanwhile.
class GMChainRenderer
{
public:
    GMChainRenderer() = delete;

    // The whole stack at full size, or fitted inside `fitInside` (aspect ratio kept).
    static GMRenderForSaving renderForSaving(const PhotoToolChain& chain,
                                             std::optional<pf::Size> fitInside = std::nullopt);
    static constexpr double previewSide = 1024;
    // The picture scaled down (smoothly, never up) to fit inside a square of that side.
    static pf::Bitmap fittedInside(const pf::Bitmap& picture, double side);
};
