#pragma once

#include "Classes/Framework/OVFilter.h"

// Replaces one colour by another: colours whose hue lies near that of "inputColor" (within half of
// "inputIntensity" of the colour circle, fading out) have their hue turned by the difference to the
// target's hue and their saturation and value scaled by the target's over the source's. How much of the
// replacement shows also follows the pixel's saturation (greys have no hue to match) and the target's
// opacity.
class OVReplaceColorFilter : public OVFilter
{
public:
    explicit OVReplaceColorFilter(const QString& className = QStringLiteral("OVReplaceColorFilter"));

    // (target saturation / source saturation, target value / source value), the source's floored at
    // 0.01 so that grey and black sources never divide by zero.
    static pf::Vector ratios(const pf::Color& source, const pf::Color& target);

    pf::Image outputImage() const override;
};
