#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Converts an image in HSL form back to RGB; the inverse of GMRGB2HSLFilter.
class GMHSL2RGBFilter : public GMKernelFilter
{
public:
    explicit GMHSL2RGBFilter(const QString& className = QStringLiteral("GMHSL2RGBFilter"));
    pf::Image outputImage() const override;
};
