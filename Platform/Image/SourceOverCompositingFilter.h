#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CISourceOverCompositing": "inputImage" over "inputBackgroundImage" (premultiplied source-over). The
// extent is the union of the two.
class SourceOverCompositingFilter : public Filter
{
public:
    SourceOverCompositingFilter();
    Image outputImage() const override;
};

} // namespace pf
