#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIGaussianBlur": a Gaussian blur whose standard deviation is "inputRadius" pixels (default 10).
// The output extent is the input extent grown by 3 standard deviations (rounded up to whole pixels) on
// every side, where the blur fades out; an infinite input stays infinite.
class GaussianBlurFilter : public Filter
{
public:
    GaussianBlurFilter();
    Image outputImage() const override;
};

} // namespace pf
