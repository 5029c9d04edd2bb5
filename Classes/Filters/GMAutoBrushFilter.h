#pragma once

#include "Classes/Filters/GMSegmentMaskFilter.h"

// Grows a mask from one brush segment over regions of similar colour: each pixel within "inputSize" of
// the segment joins when the colours on its way from the segment stay within the tolerances (with
// fading, coherence, luma bounds, a bonus near the stroke and a tolerance that adapts to the texture
// under the brush). "inputCircleMode" exactly 1 grows from "inputPoint1" alone. "inputImage" is the
// picture the region grows over, "inputOriginalImage" gives the colour under the brush.
class GMAutoBrushFilter : public GMSegmentMaskFilter
{
public:
    explicit GMAutoBrushFilter(const QString& className = QStringLiteral("GMAutoBrushFilter"));
    pf::Image outputImage() const override;
};
