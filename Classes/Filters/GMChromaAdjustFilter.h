#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Changes colour and tone apart, in YUV: the chroma scaled ("inputChromaScale") and moved
// ("inputChromaShift", a (U, V) cast laid on the midtones), the luma scaled ("inputLumaScale") and
// lifted towards white ("inputLumaLift"). "inputHueRange" (centre, width, softness in degrees of the
// UV plane) and "inputSaturationRange" (full weight up to the first chroma length, none from the
// second) limit the change to the colours they describe; zero widths take every colour; with
// "inputSurroundImage" (a wide blur of the photo) only what is clearly less coloured than its
// surroundings changes. With the defaults nothing changes. The output has the image's extent.
class GMChromaAdjustFilter : public GMKernelFilter
{
public:
    explicit GMChromaAdjustFilter(const QString& className = QStringLiteral("GMChromaAdjustFilter"));
    pf::Image outputImage() const override;
};
