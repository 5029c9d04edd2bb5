#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Adjusts one colour channel of an image in HSL form: the hues between the borders of
// "inputChannelBorders" (a, b, c, d: full effect from b to c, fading out towards a and d) get the
// additions "inputHSLAdjustments" (hue, saturation, lightness), scaled by "inputIntensity".
class GMHSLChannelAdjustmentFilter : public GMKernelFilter
{
public:
    explicit GMHSLChannelAdjustmentFilter(
        const QString& className = QStringLiteral("GMHSLChannelAdjustmentFilter"));
    pf::Image outputImage() const override;
};
