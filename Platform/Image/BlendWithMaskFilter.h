#pragma once

#include "Platform/Image/Filter.h"
#include "Platform/Image/Kernel.h"

namespace pf {

// "CIBlendWithMask": "inputImage" where the mask is 1, "inputBackgroundImage" where it is 0, mixed in
// between. The mask's value is its green channel (masks are grey), never its alpha, clamped to 0..1;
// outside the mask the background shows. A missing background is transparent.
class BlendWithMaskFilter : public Filter
{
public:
    BlendWithMaskFilter();
    Image outputImage() const override;
    // The kernel every such blend applies, so that renderers can tell such a blend (where the mask is 0
    // it is the background, exactly).
    static const Kernel& kernel();
};

} // namespace pf
