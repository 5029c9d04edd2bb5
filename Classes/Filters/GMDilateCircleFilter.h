#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Grows an image by three pixels in every channel, alpha included: each pixel takes the largest value of
// each channel within a disc of radius 3.
class GMDilateCircleFilter : public GMKernelPassFilter
{
public:
    explicit GMDilateCircleFilter(const QString& className = QStringLiteral("GMDilateCircleFilter"));
};
