#pragma once

#include "Platform/Image/TransformedImageFilter.h"

namespace pf {

// "CIAffineTransform": the input under "inputTransform" (bilinear; reductions read a smoothed level, so
// they do not alias). The extent is the bounding box of the transformed extent.
class AffineTransformFilter : public TransformedImageFilter
{
public:
    AffineTransformFilter();

protected:
    Image beforeTransform(const Image& input) const override;
};

} // namespace pf
