#pragma once

#include "Classes/Document/GMDocumentWindowController.h"
#include "Platform/Foundation/Size.h"

#include <functional>
#include <memory>
#include <optional>

class GMSavedPicture;
class OVRenderCache;
class PhotoToolChain;

// The picture of a chain for saving at full size, taken while the interface waits and made on the save
// thread; its pixels are composed only where a writer reads them. Null when there is nothing to render.
using GMPictureForSaving = std::function<std::shared_ptr<GMSavedPicture>()>;

// Pictures of a tool chain for saving and printing: the stack as it is now, composed later on any
// thread, however the chain changes meanwhile.
class GMChainRenderer
{
public:
    GMChainRenderer() = delete;

    // The whole stack at full size, or fitted inside `fitInside` (aspect ratio kept), in `format`
    // (float keeps what a photo of more than 8 bits, or outside sRGB, holds). A fitted picture is
    // composed as the canvas's preview is: layer by layer at its size, the masks read reduced. Where
    // `startFrom` (a cache of this chain, the canvas's preview) holds layers of the stack as it is now
    // at the fitted size, the picture starts from them and composes only the layers above.
    static GMRenderForSaving renderForSaving(const PhotoToolChain& chain,
                                             std::optional<pf::Size> fitInside = std::nullopt,
                                             pf::Bitmap::Format format = pf::Bitmap::Format::RGBA8,
                                             const OVRenderCache* startFrom = nullptr);
    // The same, composed a part at a time where it is read (a save over a photo reads only where the
    // layers painted).
    static GMPictureForSaving pictureForSaving(const PhotoToolChain& chain,
                                               pf::Bitmap::Format format = pf::Bitmap::Format::RGBA8);
    // A picture composed already (a cache's, as the canvas shows it), made pixels of `size` later.
    static GMRenderForSaving renderForSaving(const pf::Image& composed, const pf::Size& size);
    static constexpr double previewSide = 1024;
    // The picture scaled down (smoothly, never up) to fit inside a square of that side.
    static pf::Bitmap fittedInside(const pf::Bitmap& picture, double side);
    // Gives the composed picture the transparency of the photo it was made from (same size): layers
    // lay their pictures over the photo, which would compound a translucent photo's alpha, and no
    // retouch means to change what is transparent. Colours keep their composed value.
    static void keepTransparencyOf(pf::Bitmap& picture, const pf::Bitmap& photo);
};
