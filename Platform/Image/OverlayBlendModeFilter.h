#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIOverlayBlendMode": "inputImage" overlaid on "inputBackgroundImage": dark parts of the background
// multiply, light parts screen.
class OverlayBlendModeFilter : public Filter
{
public:
    OverlayBlendModeFilter();
    Image outputImage() const override;
};

} // namespace pf
