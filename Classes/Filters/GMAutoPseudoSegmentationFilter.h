#pragma once

#include "Classes/Filters/GMSegmentMaskFilter.h"

// A pseudo-segmentation of a photo along one brush segment against its blurred copy
// ("inputBlurredImage"): the pixels within "inputSize" of the segment whose region, in the blurred copy,
// is connected to the stroke and whose colour lies within "inputTolerance" of it, fading out over
// "inputOuterTolerance". With "inputBoolUseRefMask" the pixel must also lie within "inputReferenceMask",
// scaled onto the photo.
class GMAutoPseudoSegmentationFilter : public GMSegmentMaskFilter
{
public:
    explicit GMAutoPseudoSegmentationFilter(
        const QString& className = QStringLiteral("GMAutoPseudoSegmentationFilter"));
    pf::Image outputImage() const override;
};
