#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// The detail layer of an image, as healing carries it: every pixel minus the smooth mean of its
// neighbourhood (3 pixels around).
class GMCalcResiduumFilter : public GMKernelFilter
{
public:
    explicit GMCalcResiduumFilter(const QString& className = QStringLiteral("GMCalcResiduumFilter"));
    pf::Image outputImage() const override;
};
