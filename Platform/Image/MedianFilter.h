#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIMedianFilter": each channel replaced by the median of the 3 x 3 pixels around it.
class MedianFilter : public Filter
{
public:
    MedianFilter();
    Image outputImage() const override;
};

} // namespace pf
