#pragma once

#include "Classes/Filters/GMGuidedFilter.h"

// Smooths skin by frequency separation: detail finer than a Gaussian of "inputDetailRadius" pixels
// (pores, fine hair) stays, the band between it and an edge-preserving base of "inputRadius" pixels
// ("inputEpsilon" as in the guided filter) is taken out where the skin is flat, and edges keep
// their crispness with no band along them. With "inputLightenOnly" only the band's shadows are lifted
// (creases and hollows), nothing is darkened. The output has the image's extent.
class GMSkinSmoothingFilter : public GMGuidedFilter
{
public:
    explicit GMSkinSmoothingFilter(const QString& className = QStringLiteral("GMSkinSmoothingFilter"));
    pf::Image outputImage() const override;
};
