#pragma once

#include "Classes/Filters/GMSegmentMaskFilter.h"

// What the hair and skin segment filters share: the region grows over "inputImage" from the colour under
// the brush, held back by luma ("inputToleranceHigh") and chroma ("inputToleranceMid") differences and by
// the edges of "inputEdgeImage", with a soft edge of "inputToleranceLow"; the brush radius is half of
// "inputSize". With "inputBoolUseRefMask" the pixel must also lie within "inputReferenceMask", scaled onto
// the image, inside "inputTargetFrame"; the reference edges and image count at the pixel.
class GMAutoBrushRegionFilter : public GMSegmentMaskFilter
{
public:
    pf::Image outputImage() const override;

protected:
    // `edgeTolerance`: the member has "inputToleranceEdge" and passes it after the other tolerances.
    // `scaledReferenceImages`: the reference edge image and reference image are scaled like the mask.
    GMAutoBrushRegionFilter(const QString& className, const QString& kernelResource,
                            const QString& referenceKernelResource, double highTolerance, bool edgeTolerance,
                            bool scaledReferenceImages);

private:
    bool m_edgeTolerance;
    bool m_scaledReferenceImages;
};
