#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIDiscBlur": the average over a disc of "inputRadius" pixels. The extent grows by the radius.
class DiscBlurFilter : public Filter
{
public:
    DiscBlurFilter();
    Image outputImage() const override;
};

} // namespace pf
