#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIAreaAverage": a 1 x 1 image at the (whole-pixel) origin of "inputExtent" holding the average of the
// input over that rectangle, pixels counted by how much of them the rectangle covers.
class AreaAverageFilter : public Filter
{
public:
    AreaAverageFilter();
    Image outputImage() const override;
};

} // namespace pf
