#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Brightens (positive "inputStops") or darkens (negative) an image in linear light, with black and
// white held: the shadows change by that many stops and the change eases off towards white, so
// nothing clips. Hue and saturation stay. The output has the image's extent.
class GMExposureFilter : public GMKernelFilter
{
public:
    explicit GMExposureFilter(const QString& className = QStringLiteral("GMExposureFilter"));
    pf::Image outputImage() const override;
};
