#pragma once

#include "Classes/Framework/OVFilter.h"

// Turns every colour's hue by "inputAngle", a fraction of the full circle (0.5, the default, gives the
// complementary colours); saturation and value stay.
class OVRotateColorFilter : public OVFilter
{
public:
    explicit OVRotateColorFilter(const QString& className = QStringLiteral("OVRotateColorFilter"));

    pf::Image outputImage() const override;
};
