#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Grows a colour mask (value in the colour channels) by three pixels: each pixel takes the largest value
// of the 7 x 7 square around it.
class GMColorMaskDilateMaxFilter : public GMKernelFilter
{
public:
    explicit GMColorMaskDilateMaxFilter(
        const QString& className = QStringLiteral("GMColorMaskDilateMaxFilter"));
    pf::Image outputImage() const override;
};
