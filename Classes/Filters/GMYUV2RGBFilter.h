#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Converts an image holding Y, U and V (full-range BT.601, as GMRGB2YUVFilter makes it) back to RGB.
class GMYUV2RGBFilter : public GMKernelPassFilter
{
public:
    explicit GMYUV2RGBFilter(const QString& className = QStringLiteral("GMYUV2RGBFilter"));
};
