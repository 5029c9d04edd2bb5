#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CITorusLensDistortion": a ring-shaped glass lens of radius "inputRadius" and tube width "inputWidth"
// about "inputCenter", refracting with the index "inputRefraction". Outside the ring the input shows
// unchanged.
class TorusLensDistortionFilter : public Filter
{
public:
    TorusLensDistortionFilter();
    Image outputImage() const override;
};

} // namespace pf
