#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Limits a mask to the rectangle "inputExtent" (x, y, width, height in pixels of the mask): outside it the
// mask is 0. The output covers the mask's size at the origin.
class GMCutMaskToRectFilter : public GMKernelFilter
{
public:
    explicit GMCutMaskToRectFilter(const QString& className = QStringLiteral("GMCutMaskToRectFilter"));
    pf::Image outputImage() const override;
};
