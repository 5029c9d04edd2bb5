#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Adjusts an image in HSL form (convert with GMRGB2HSLFilter first and back afterwards): turns the hue
// by "inputHue" of a full turn (1 is a whole turn: no change) and scales saturation and lightness by
// "inputSaturation" and "inputLightness", mixed over the image by "inputPercentage".
class GMHSLColorAdjustFilter : public GMKernelFilter
{
public:
    explicit GMHSLColorAdjustFilter(const QString& className = QStringLiteral("GMHSLColorAdjustFilter"));
    pf::Image outputImage() const override;
};
