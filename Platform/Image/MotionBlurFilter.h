#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIMotionBlur": the average of the input along a line of "inputRadius" pixels either side, turned by
// "inputAngle" radians, as a camera moving during the exposure records it. The extent grows by the
// radius along the line.
class MotionBlurFilter : public Filter
{
public:
    MotionBlurFilter();
    Image outputImage() const override;
};

} // namespace pf
