#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Levels: "inputToneValues" (low, mid, high) maps low to black, high to white and mid to middle grey.
class GMLevelAdjustFilter : public GMKernelFilter
{
public:
    explicit GMLevelAdjustFilter(const QString& className = QStringLiteral("GMLevelAdjustFilter"));
    pf::Image outputImage() const override;
};
