#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIAffineTransform": the input under "inputTransform" (bilinear; reductions read a smoothed level, so
// they do not alias). The extent is the bounding box of the transformed extent.
class AffineTransformFilter : public Filter
{
public:
    AffineTransformFilter();
    Image outputImage() const override;
};

} // namespace pf
