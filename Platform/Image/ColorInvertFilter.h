#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIColorInvert": every colour replaced by its complement (1 - c on straight colour); alpha kept.
class ColorInvertFilter : public Filter
{
public:
    ColorInvertFilter();
    Image outputImage() const override;
};

} // namespace pf
