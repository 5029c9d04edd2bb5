#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CICrop": the input cut to "inputRectangle" (x, y, width, height; default: everything).
class CropFilter : public Filter
{
public:
    CropFilter();
    Image outputImage() const override;
};

} // namespace pf
