#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Converts an image's colours to full-range BT.601 YUV (U and V centred on one half); GMYUV2RGBFilter
// is its inverse.
class GMRGB2YUVFilter : public GMKernelPassFilter
{
public:
    explicit GMRGB2YUVFilter(const QString& className = QStringLiteral("GMRGB2YUVFilter"));
};
