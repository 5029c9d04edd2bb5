#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Brightens (positive "inputStops") or darkens (negative) an image in linear light by that many
// stops, as more or less exposure would; brightening eases off towards white, which stays white, so
// nothing clips. Hue and saturation stay. The output has the image's extent.
class GMExposureFilter : public GMKernelPassFilter
{
public:
    explicit GMExposureFilter(const QString& className = QStringLiteral("GMExposureFilter"));
};
