#pragma once

#include "Classes/Filters/GMGuidedFilter.h"

// Smooths skin by frequency separation: detail finer than a Gaussian of "inputDetailRadius" pixels
// (pores, fine hair) stays, the band between it and an edge-preserving base of "inputRadius" pixels
// ("inputEpsilon" as in the guided filter) is taken out, except along edges (a luma step above
// "inputEdgeContrast") and where the band is stronger than "inputContrast" (a feature, not a
// blotch): edges keep their crispness with no halo along them. With "inputLightenOnly" only the
// band's shadows are lifted (creases, hollows), with "inputDarkenOnly" only its highlights are taken
// down (shine); each keeps the hue. Of the finest detail "inputDetailKept" is kept (1, all of it, by
// default), whole along edges. "inputMinimumRadius" and "inputMinimumDetailRadius" (pixels) hold the
// two radii up where they are given as shares of a small face: the bands a photo's pixels carry are
// then the skin's blotches and grain however few pixels the face has. "inputMaskImage" (optional, the
// layer's mask) says where the skin is: the base is fitted and the tone kept over it alone, so eyes,
// brows and hair beside the skin neither pull its base nor shift its tone. The output has the image's
// extent.
class GMSkinSmoothingFilter : public GMGuidedFilter
{
public:
    explicit GMSkinSmoothingFilter(const QString& className = QStringLiteral("GMSkinSmoothingFilter"));
    pf::Image outputImage() const override;

protected:
    pf::Image outputForFit(const pf::Image& image, const Fit& coefficients) const override;
};
