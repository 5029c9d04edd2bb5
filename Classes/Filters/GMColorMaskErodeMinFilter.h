#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Shrinks a colour mask by three pixels: each pixel takes the smallest value of the 7 x 7 square around it.
class GMColorMaskErodeMinFilter : public GMKernelPassFilter
{
public:
    explicit GMColorMaskErodeMinFilter(
        const QString& className = QStringLiteral("GMColorMaskErodeMinFilter"));
};
