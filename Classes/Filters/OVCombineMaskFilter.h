#pragma once

#include "Classes/Framework/OVFilter.h"

// Joins a mask image with a background mask: the background's value where the mask image is light,
// the mask image's rectangle rounded at its corners by a radius (in the mask's units, times the scale).
// Mask descriptions make one per mask image.
class OVCombineMaskFilter : public OVFilter
{
public:
    explicit OVCombineMaskFilter(const QString& className = QStringLiteral("OVCombineMaskFilter"));

    // Over the background's extent; no image without both images.
    pf::Image outputImage() const override;
};
