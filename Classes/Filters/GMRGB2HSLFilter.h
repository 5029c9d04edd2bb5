#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Converts an image's colours to HSL (hue in turns, saturation, lightness in the colour channels).
class GMRGB2HSLFilter : public GMKernelPassFilter
{
public:
    explicit GMRGB2HSLFilter(const QString& className = QStringLiteral("GMRGB2HSLFilter"));
};
