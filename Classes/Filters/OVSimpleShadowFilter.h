#pragma once

#include "Classes/Framework/OVFilter.h"

// Casts a soft drop shadow of a picture's shape: a silhouette in the shadow colour, blurred by
// "inputRadius", moved "inputDistance" pixels in "inputDirection" (degrees clockwise from up) and laid
// under the picture.
class OVSimpleShadowFilter : public OVFilter
{
public:
    explicit OVSimpleShadowFilter(const QString& className = QStringLiteral("OVSimpleShadowFilter"));

    // The shadow's offset for a distance and a direction.
    static pf::Point offset(double distance, double directionDegrees);

    // No image without a picture.
    pf::Image outputImage() const override;
};
