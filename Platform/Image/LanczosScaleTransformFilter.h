#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CILanczosScaleTransform": the input scaled about the origin by "inputScale" vertically and
// "inputScale" x "inputAspectRatio" horizontally with a Lanczos kernel of three lobes, widened by the
// reduction when reducing so that nothing aliases. The extent is the scaled extent rounded out to
// whole pixels.
class LanczosScaleTransformFilter : public Filter
{
public:
    LanczosScaleTransformFilter();
    Image outputImage() const override;
};

} // namespace pf
