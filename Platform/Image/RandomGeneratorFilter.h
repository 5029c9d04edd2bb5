#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIRandomGenerator": infinite noise; each pixel holds four independent numbers uniformly distributed
// in [0, 1), the same for a pixel in every render.
class RandomGeneratorFilter : public Filter
{
public:
    RandomGeneratorFilter();
    Image outputImage() const override;
};

} // namespace pf
