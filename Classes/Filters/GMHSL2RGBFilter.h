#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Converts an image in HSL form back to RGB; the inverse of GMRGB2HSLFilter.
class GMHSL2RGBFilter : public GMKernelPassFilter
{
public:
    explicit GMHSL2RGBFilter(const QString& className = QStringLiteral("GMHSL2RGBFilter"));
};
