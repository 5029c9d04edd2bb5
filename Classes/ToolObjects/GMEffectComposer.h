#pragma once

#include "Platform/Image/Image.h"

#include <QString>
#include <QVariantMap>

class GMEffectBlueprint;

// One effect layer composed over a photo outside a chain, fed exactly as the chain and its render
// cache feed a layer: the content graph gets the photo as "originalImage", its size, the mask and the
// additional image; the composition graph blends the content over the photo. For checks, the review
// sheet, the effect icons and benchmarks.
class GMEffectComposer
{
public:
    // The photo with the effect laid on where `mask` (grey, over the photo's extent) says, with the
    // settings over the blueprint's defaults. A null additional image is not fed. `faceWidth` is the
    // width of the photo's typical face in pixels (0: none known). No image (and the reason in
    // `problem`) when a graph gives none.
    static pf::Image composedImage(const GMEffectBlueprint& effect, const pf::Image& photo,
                                   const pf::Image& mask, const pf::Image& additionalImage,
                                   const QVariantMap& settings = {}, QString* problem = nullptr,
                                   double faceWidth = 0);
    // The additional image a new stroke of the effect starts from at that size, as the chain prepares
    // it: the tiled stubble for the beard, none for effects whose brushes paint their own.
    static pf::Image preparedAdditionalImage(const GMEffectBlueprint& effect, const pf::Size& size,
                                             double faceWidth);
};
