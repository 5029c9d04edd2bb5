#pragma once

#include "Classes/Filters/GMBlurBlendFilter.h"

// Sharpens the luma only (unsharp masking): detail finer than a Gaussian of "inputRadius" pixels,
// less "inputThreshold", is strengthened by "inputAmount", with the added light limited softly so
// strong edges get no rims. Colours do not fringe. The output has the image's extent.
class GMLumaSharpenFilter : public GMBlurBlendFilter
{
public:
    explicit GMLumaSharpenFilter(const QString& className = QStringLiteral("GMLumaSharpenFilter"));

protected:
    std::optional<pf::Image> blurred(const pf::Image& image, double radius) const override;
};
