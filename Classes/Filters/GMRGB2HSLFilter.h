#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Converts an image's colours to HSL (hue in turns, saturation, lightness in the colour channels).
class GMRGB2HSLFilter : public GMKernelFilter
{
public:
    explicit GMRGB2HSLFilter(const QString& className = QStringLiteral("GMRGB2HSLFilter"));
    pf::Image outputImage() const override;
};
