#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Gives an image the hue and saturation of "inputColor" at its own luminosity (the colour blend
// mode), so texture and shading stay. "inputSaturation" scales the colour's chroma; "inputToneRange"
// (x, y, z, w) fades the change in over the luminosities x .. y and out over z .. w, keeping the
// deepest shadows and brightest highlights as they are. The output has the image's extent.
class GMRecolorFilter : public GMKernelFilter
{
public:
    explicit GMRecolorFilter(const QString& className = QStringLiteral("GMRecolorFilter"));
    pf::Image outputImage() const override;
};
