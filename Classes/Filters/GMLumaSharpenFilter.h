#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Sharpens the luma only (unsharp masking): detail finer than a Gaussian of "inputRadius" pixels,
// less "inputThreshold", is strengthened by "inputAmount", with the added light limited softly so
// strong edges get no rims. Colours do not fringe. The output has the image's extent.
class GMLumaSharpenFilter : public GMKernelFilter
{
public:
    explicit GMLumaSharpenFilter(const QString& className = QStringLiteral("GMLumaSharpenFilter"));
    pf::Image outputImage() const override;
};
