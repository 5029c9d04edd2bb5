#pragma once

#include "Classes/Filters/GMSegmentMaskFilter.h"

// Grows a mask from one brush segment over the white of the eye, up to the iris and the lids: luma
// ("inputToleranceHigh") and chroma ("inputToleranceMid") differences from the colour under the brush
// and edges of "inputEdgeImage" hold it back, with a soft edge of "inputToleranceLow". The brush radius
// is half of "inputSize", and so is the margin of the rectangle the output is defined on.
class GMAutoBrushWhiteEyeFilter : public GMSegmentMaskFilter
{
public:
    explicit GMAutoBrushWhiteEyeFilter(
        const QString& className = QStringLiteral("GMAutoBrushWhiteEyeFilter"));
    pf::Image outputImage() const override;
};
