#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Scales an image by "inputScale" about the origin, reading the nearest pixel.
class GMScaleFilter : public GMKernelFilter
{
public:
    explicit GMScaleFilter(const QString& className = QStringLiteral("GMScaleFilter"));
    pf::Image outputImage() const override;
};
