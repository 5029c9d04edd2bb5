#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Cuts the rectangle "inputExtent" (x, y, width, height) out of an image and moves it to the origin.
class GMCutOutFilter : public GMKernelFilter
{
public:
    explicit GMCutOutFilter(const QString& className = QStringLiteral("GMCutOutFilter"));
    pf::Image outputImage() const override;
};
