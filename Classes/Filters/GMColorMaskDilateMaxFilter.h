#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Grows a colour mask (value in the colour channels) by three pixels: each pixel takes the largest value
// of the 7 x 7 square around it.
class GMColorMaskDilateMaxFilter : public GMKernelPassFilter
{
public:
    explicit GMColorMaskDilateMaxFilter(
        const QString& className = QStringLiteral("GMColorMaskDilateMaxFilter"));
};
