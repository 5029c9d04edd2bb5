#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Grows an image by three pixels in every channel, alpha included: each pixel takes the largest value of
// each channel within a disc of radius 3.
class GMDilateCircleFilter : public GMKernelFilter
{
public:
    explicit GMDilateCircleFilter(const QString& className = QStringLiteral("GMDilateCircleFilter"));
    pf::Image outputImage() const override;
};
