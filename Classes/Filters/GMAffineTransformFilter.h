#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Scales an image to a target size, then moves it by a translation in output pixels.
class GMAffineTransformFilter : public GMKernelFilter
{
public:
    explicit GMAffineTransformFilter(const QString& className = QStringLiteral("GMAffineTransformFilter"));
    pf::Image outputImage() const override;
};
