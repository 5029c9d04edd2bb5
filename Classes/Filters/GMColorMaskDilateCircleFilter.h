#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Closes the holes of a colour mask with the hole-filling kernel of GMFillHoles22Filter, compiled into a
// slot of its own. That kernel looks 22 pixels around each pixel, so the filter asks for 23.
class GMColorMaskDilateCircleFilter : public GMKernelPassFilter
{
public:
    explicit GMColorMaskDilateCircleFilter(
        const QString& className = QStringLiteral("GMColorMaskDilateCircleFilter"));
};
