#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Shrinks a colour mask by three pixels: each pixel takes the smallest value within a disc of radius 3. It
// asks for 33 pixels above and below (3 beside), more than the disc reaches, as the effects that use it
// have always been given.
class GMColorMaskErodeCircleFilter : public GMKernelFilter
{
public:
    explicit GMColorMaskErodeCircleFilter(
        const QString& className = QStringLiteral("GMColorMaskErodeCircleFilter"));
    pf::Image outputImage() const override;
};
