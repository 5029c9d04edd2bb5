#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIDisplacementDistortion": each pixel of "inputImage" read from a place moved by "inputScale" x
// (red - 0.5, green - 0.5) of "inputDisplacementImage" there. Mid-grey moves nothing.
class DisplacementDistortionFilter : public Filter
{
public:
    DisplacementDistortionFilter();
    Image outputImage() const override;
};

} // namespace pf
